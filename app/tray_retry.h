// When to offer the tray icon again after the shell refused it. At logon the
// program may start before the taskbar is ready: adding the icon then fails
// (it times out while the taskbar starts) and no "TaskbarCreated" follows, so
// the program asks again itself, every few seconds, for a bounded time.
#pragma once

#include <windows.h>

constexpr UINT TrayRetryMs = 5000;
// Ten minutes of retries: a logon slower than that still has "TaskbarCreated".
constexpr unsigned MaxTrayRetries = 120;

// The wait before the next offer after failedAdds refused offers in a row;
// 0 when the program stops asking.
UINT NextTrayRetryMs(unsigned failedAdds);
