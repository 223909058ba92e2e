// How the window procedure reaches the monitor that holds a folder: one hold
// per running monitor, in a process-wide record. Device notices name the
// registration they are about, never the handle: Windows reuses handle values,
// and a notice may come for a registration whose handle is closed already.
#pragma once

#include <windows.h>
#include <dbt.h>

#include <atomic>

#include "monitor/folder_watch.h"

struct FolderHold {
    HANDLE letGo;       // manual reset: let go of the folder; reset by the monitor once it has
    HANDLE letGone;     // manual reset: set while the monitor holds nothing on the folder
    HANDLE lookAgain;   // auto reset: look for the folder now, not at the interval
    HANDLE folder;      // the directory handle held and registered, or null
    HDEVNOTIFY notice;  // the registration of folder, or of the one let go of when asked; or null
    bool releasedOnRequest;     // let go of when asked, until the folder is held again
    bool registrationReported;  // a failed registration is logged once per monitor
};

// The calls that register a handle for device notices and end a registration:
// RegisterDeviceNotificationW and UnregisterDeviceNotification. Tests put
// their own in (some systems, Wine among them, refuse every registration of a
// directory handle); they are set before the monitors start.
using RegisterNoticeCall = HDEVNOTIFY(WINAPI*)(HANDLE recipient, LPVOID filter, DWORD flags);
using UnregisterNoticeCall = BOOL(WINAPI*)(HDEVNOTIFY notice);
extern std::atomic<RegisterNoticeCall> RegisterNotice;
extern std::atomic<UnregisterNoticeCall> UnregisterNotice;

// A new hold, holding nothing; null when its events cannot be made (the
// system's error code is then the last error).
FolderHold* NewFolderHold();

// Ends the hold: its registration goes and it leaves the record. The monitor
// holds nothing on its folder by then.
void DeleteFolderHold(FolderHold* hold);

// The monitor of path now holds the directory: it is registered for device
// notices and can be asked to let go of it. A registration left from the
// folder's last hold ends.
void HoldFolder(FolderHold& hold, HANDLE folder, const wchar_t* path);

// Closes the watch and tells whoever waits for the monitor to let go. When it
// lets go because it was asked to, the registration stays until the folder is
// held again, so that a removal, lock or dismount that fails afterwards can
// still be told.
void LetGoOfFolder(FolderHold& hold, FolderWatch& watch, bool onRequest);

// For the window procedure. Asks the monitor whose held folder has the
// registration to let go of it, and returns a handle to wait on until it has
// (the caller closes it); null when no monitor holds a folder so registered.
HANDLE AskToLetGo(HDEVNOTIFY notice);

// Has the monitor that let go of its folder when asked, and kept the
// registration, look for the folder now.
void LookAgainAfterRelease(HDEVNOTIFY notice);

// The device of the registration is gone: the registration ends, if a monitor
// still has it.
void EndRegistration(HDEVNOTIFY notice);

// Has every monitor that waits for its folder look for it now.
void LookAgainForAll();
