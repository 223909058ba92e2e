// The application shell's process-wide state; user-interface thread only.
#pragma once

#include <windows.h>
#include <shellapi.h>

constexpr UINT TrayIconId = 1001;
constexpr UINT WMAPP_TRAYCALLBACK = WM_USER + 1;  // 1025

extern HANDLE InstanceMutex;
extern wchar_t TitleText[1024];  // string 103
extern wchar_t ClassName[1024];  // string 109
extern HWND MainWindow;
extern NOTIFYICONDATAW TrayIcon;
extern HMENU TrayMenu;
extern bool SettingsDialogOpen;

BOOL InitInstance(HINSTANCE instance, int showState);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
