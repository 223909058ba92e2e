// How the window procedure reaches the monitor that holds a folder: one hold
// per running monitor, in a process-wide record.
#pragma once

#include <windows.h>
#include <dbt.h>

#include "monitor/folder_watch.h"

struct FolderHold {
    HANDLE letGo;      // manual reset: let go of the folder; reset by the monitor once it has
    HANDLE letGone;    // manual reset: set while the monitor holds nothing on the folder
    HANDLE lookAgain;  // auto reset: look for the folder now, not at the interval
    HANDLE folder;     // the directory handle held and registered, or null
    HANDLE releasedOnRequest;   // the one let go of when asked, until the folder is held again
    HDEVNOTIFY notice;          // the registration of folder, or of releasedOnRequest; null if none
    bool registrationReported;  // a failed registration is logged once per monitor
};

// A new hold, holding nothing; null when its events cannot be made (the
// system's error code is then the last error).
FolderHold* NewFolderHold();

// Ends the hold: its registration goes and it leaves the record. The monitor
// holds nothing on its folder by then.
void DeleteFolderHold(FolderHold* hold);

// The monitor of path now holds the directory: it is registered for device
// notices and can be asked to let go of it.
void HoldFolder(FolderHold& hold, HANDLE folder, const wchar_t* path);

// Closes the watch and tells whoever waits for the monitor to let go. When it
// lets go because it was asked to, the registration stays until the folder is
// held again, so that a removal that fails afterwards can still be told.
void LetGoOfFolder(FolderHold& hold, FolderWatch& watch, bool onRequest);

// For the window procedure. Asks the monitor that holds folder to let go of
// it, and returns a handle to wait on until it has (the caller closes it);
// null when no monitor holds that handle.
HANDLE AskToLetGo(HANDLE folder);

// Has the monitor that let go of released when asked look for its folder now.
void LookAgainAfterRelease(HANDLE released);

// Has every monitor that waits for its folder look for it now.
void LookAgainForAll();
