// Device notices: before a card, a USB disk or another volume goes, or is
// locked or dismounted, Windows tells every window that registered a handle
// on it (WM_DEVICECHANGE), and the removal, lock or dismount fails while any
// handle stays open. Each monitor registers the directory it watches with
// DeviceNoticeWindow; the window procedure hands the messages to
// OnDeviceChange, which has the monitor of that registration let go of the
// folder before the answer goes back.
#pragma once

#include <windows.h>

#include <atomic>

// The window that receives the notices for the monitors: the program's hidden
// main window, set before the first monitors start. Null: nothing registers.
extern std::atomic<HWND> DeviceNoticeWindow;

// How long the window procedure waits for a monitor to let go: long enough
// for a 2-second delay or the picture a scan is reading, short enough that
// the shell is never kept waiting for long.
constexpr DWORD LetGoWaitMs = 5000;

// What the window procedure answers WM_DEVICECHANGE with (always TRUE: no
// removal is ever refused). A notice is matched on the registration it names,
// never on the handle, whose value may since belong to another folder. A query
// to remove, a lock or a dismount of the device of a watched folder returns
// once its monitor has closed every handle on the folder, or after
// LetGoWaitMs. A failed removal, lock or dismount, or an unlock, has the
// monitor take the folder up again at once; a volume that arrives has the
// monitors that wait for their folders look for them at once.
LRESULT OnDeviceChange(WPARAM event, LPARAM data);
