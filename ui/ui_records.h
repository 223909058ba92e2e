// State the application shell shares with the settings dialog. Touched only on
// the user-interface thread.
#pragma once

#include <windows.h>

enum PageIndex { SettingsPage, StatisticsPage, EventsPage, AboutPage, PageCount };

// The settings dialog's four pages in tab order; all empty while no dialog is open.
extern HWND PageWindows[PageCount];

// The program's module, for its icon, strings and dialog templates.
extern HINSTANCE ModuleInstance;

// "Version 2.2" from the executable's version block, else "unknown Version".
extern wchar_t VersionText[1024];
