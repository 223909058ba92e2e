// Drives dialogs from outside, as a user would: finds windows, clicks buttons,
// selects tabs, reads controls and answers the system's folder picker. Works on
// the windows of another thread of this process and of another process alike,
// through messages the system carries across both.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Polls the condition every 10 ms for at most timeoutMs; whether it came true.
bool PollUntil(const std::function<bool()>& condition, DWORD timeoutMs);

std::wstring ClassOf(HWND window);
std::wstring TextOf(HWND window);

// The first visible top-level window of the process (or, with threadId not 0,
// of that thread) that matches, or null.
HWND FindTopWindow(DWORD processId, DWORD threadId, const std::function<bool(HWND)>& matches);

// The settings dialog: a dialog holding the tab control.
bool IsSettingsDialog(HWND window);
// The folder picker: a dialog holding a tree of folders.
bool IsFolderPicker(HWND window);
// Whether a child of the window shows exactly this text.
bool HasChildWithText(HWND window, const std::wstring& text);

// Waits (bounded) for such a window; null when none came.
HWND WaitForTopWindow(DWORD processId, DWORD threadId, const std::function<bool(HWND)>& matches,
                      DWORD timeoutMs);

// A right-button press on the program's tray icon, as the shell reports it to
// the program's main window, then the menu item at the given position (from 1:
// "Settings...", then "Exit")
// chosen with the keyboard. Whether the menu came and went.
bool ChooseFromTrayMenu(HWND mainWindow, DWORD processId, int position);

// Clicks a button and returns once the click has been handled.
void Click(HWND button);
// Clicks a button without waiting: for buttons whose command runs a modal
// loop or takes long (OK, Add Folder).
void ClickLater(HWND button);

// Selects a tab through the tab control's own selection path, which notifies
// the dialog of the change as a click on the tab does.
void SelectTab(HWND tabs, int index);

bool IsChecked(HWND checkBox);
std::vector<std::wstring> ListTexts(HWND listBox);

// Selects the folder in the picker and confirms, or cancels it; then waits
// (bounded) until the picker is gone. Whether it went.
bool PickInFolderPicker(HWND picker, const std::wstring& path);
bool CancelFolderPicker(HWND picker);
