// When to offer the tray icon again after the shell refused it. At logon the
// program may start before the taskbar is ready: adding the icon then fails
// (it times out while the taskbar starts) and no "TaskbarCreated" follows, so
// the program asks again itself, every few seconds, for a bounded time.
#pragma once

#include <windows.h>
#include <shellapi.h>

constexpr UINT TrayRetryMs = 5000;
// Ten minutes of retries: a logon slower than that still has "TaskbarCreated".
constexpr unsigned MaxTrayRetries = 120;

// The wait before the next offer after failedAdds refused offers in a row;
// 0 when the program stops asking.
UINT NextTrayRetryMs(unsigned failedAdds);

// Whether the shell shows the icon, and how many offers it refused in a row
// since it last did (bounded by MaxTrayRetries, past which no retry is due).
struct TrayIconState {
    bool shown = false;
    unsigned failedAdds = 0;
};

// The shell's Shell_NotifyIconW.
using TrayShellCall = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAW icon);

// Offers the icon to the shell and returns the wait before the next offer; 0
// when none is due (shown, or the retries are over).
UINT OfferTrayIcon(TrayIconState& state, TrayShellCall shell, NOTIFYICONDATAW& icon);
