// Folder monitors: one thread per watched folder that scans it when it starts
// and again 2 seconds after each file-name change in it. A folder that is
// missing, or goes away while watched, is waited for and watched again when it
// is back. One stop signal ends a whole set of monitors.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

constexpr int MaxMonitors = 256;
constexpr size_t MaxWatchedPathLength = 260;
constexpr DWORD RescanDelayMs = 2000;

// The current set's stop signal: a manual-reset event, signalled by
// StopAllMonitors. Owned by the user-interface thread.
extern HANDLE StopEvent;

// The thread handles of the current set, one slot per folder in list order.
extern HANDLE MonitorThreads[MaxMonitors];

// Readies the next set: a fresh, unsignalled StopEvent and FoldersMonitored at
// 0. The previous set's event stays signalled for any of its monitors that
// outlived the stop's time limit, and such a monitor no longer counts in
// FoldersMonitored. Call it before every StartMonitors (the first included).
void PrepareMonitorSet();

// Starts one monitor per folder of Settings.Folders, at most 256, and returns
// without waiting for them.
void StartMonitors();

// Signals StopEvent and waits until every monitor of the set has ended or the
// time limit has passed, then empties MonitorThreads. StopEvent stays signalled.
void StopAllMonitors(DWORD timeLimitMs);

// Told of every scan a monitor makes, with its scan path; empty in the program.
// Tests count a folder's scans with it, now that a scan reports a picture's
// outcome only once.
extern std::atomic<void (*)(const wchar_t* scanPath)> MonitorScanObserver;

// The thread routine of one monitor.
DWORD WINAPI MonitorFolder(LPVOID start);
