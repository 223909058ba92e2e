// What a monitor holds on its folder while it watches it: the change
// notification, and a handle of the directory itself. The directory handle
// tells whether the path still names the directory that was opened, and is
// the one registered for device notices (device_notices.h).
#pragma once

#include <windows.h>

// How long a monitor goes without looking at its folder itself: while it waits
// for a missing folder, and while a watched one sees no change. A look is one
// open of the path, so even 256 monitors looking four times a minute cost no
// measurable time; and a card put back or a network drive connected at logon
// is watched again within 15 seconds, before a user has a copy well under way.
// A look that blocks (a network path timing out) holds up only its own monitor.
constexpr DWORD FolderLookIntervalMs = 15000;

struct FolderWatch {
    HANDLE change = INVALID_HANDLE_VALUE;  // FindFirstChangeNotificationW
    HANDLE folder = INVALID_HANDLE_VALUE;  // the directory, for its identity
};

// Opens both on the watched path. Returns 0, or the system error code with
// nothing held: the notification's when it cannot be had, else the
// directory's.
DWORD OpenFolderWatch(const wchar_t* path, FolderWatch& watch);

// Closes whatever the watch holds.
void CloseFolderWatch(FolderWatch& watch);

// The look made when the interval passes without a change: true while the
// path still opens to the directory the watch holds and that one is not being
// deleted. Under Wine a deleted folder or an unmounted file system leaves the
// notification silent; this is how the monitor finds out.
bool StillTheWatchedFolder(const wchar_t* path, const FolderWatch& watch);

// Errors after which the path can never be watched, however long one waits:
// it names a file, or is no valid path at all.
bool NeverAFolder(DWORD error);
