// The tray icon: offered to the shell at start, at every activation of the
// hidden window and when the taskbar is created anew; offered again on a
// window timer while the shell refuses it.
#pragma once

#include <windows.h>

// The main window's timer that offers the icon again.
constexpr UINT_PTR TrayRetryTimerId = 1;

// Offers the icon (NIM_ADD). When the shell refuses it and it is not shown
// already, the next offer is due on the retry timer.
void AddTrayIcon();

// The retry timer went off.
void OnTrayRetryTimer();

// "TaskbarCreated": the shell has forgotten every icon.
void OnTaskbarCreated();

// Exit: the icon goes, and no retry is left pending.
void RemoveTrayIcon();

// The program's icon drawn for the metric asked (LIM_SMALL: the tray's and
// a window's caption size, LIM_LARGE: Alt+Tab's), at the system's scaling.
HICON LoadProgramIcon(HINSTANCE instance, int metric);
