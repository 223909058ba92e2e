#include "monitor/folder_holds.h"

#include <algorithm>
#include <vector>

#include "events/event_history.h"
#include "monitor/device_notices.h"

std::atomic<RegisterNoticeCall> RegisterNotice{&RegisterDeviceNotificationW};
std::atomic<UnregisterNoticeCall> UnregisterNotice{&UnregisterDeviceNotification};

static const wchar_t CannotRegister[] =
    L"Error %d RegisterDeviceNotification, %s may block the safe removal of its drive";

// Every running monitor's hold. Bound: one entry per monitor thread, at most
// 256 for the current set and those of earlier sets that outlived their stop.
// The lock guards the entries' folder, notice and releasedOnRequest too.
static std::vector<FolderHold*> Holds;
static SRWLOCK HoldsLock = SRWLOCK_INIT;

struct HoldsGuard {
    HoldsGuard() { AcquireSRWLockExclusive(&HoldsLock); }
    ~HoldsGuard() { ReleaseSRWLockExclusive(&HoldsLock); }
    HoldsGuard(const HoldsGuard&) = delete;
    HoldsGuard& operator=(const HoldsGuard&) = delete;
};

FolderHold* NewFolderHold()
{
    FolderHold* hold = new FolderHold{CreateEventW(nullptr, TRUE, FALSE, nullptr),
                                      CreateEventW(nullptr, TRUE, TRUE, nullptr),
                                      CreateEventW(nullptr, FALSE, FALSE, nullptr),
                                      nullptr,
                                      nullptr,
                                      false,
                                      false};
    if (!hold->letGo || !hold->letGone || !hold->lookAgain) {
        DWORD error = GetLastError();
        DeleteFolderHold(hold);
        SetLastError(error);
        return nullptr;
    }
    HoldsGuard guard;
    Holds.push_back(hold);
    return hold;
}

void DeleteFolderHold(FolderHold* hold)
{
    {
        HoldsGuard guard;
        std::erase(Holds, hold);
    }
    if (hold->notice)
        UnregisterNotice.load()(hold->notice);
    // A window procedure still waiting holds its own copy of letGone.
    if (hold->letGone)
        SetEvent(hold->letGone);
    for (HANDLE event : {hold->letGo, hold->letGone, hold->lookAgain})
        if (event)
            CloseHandle(event);
    delete hold;
}

// Systems that keep no device notices for a directory handle (Wine, some
// network redirectors) refuse the registration so. Nothing can then ask for
// the folder before its drive goes, so there is nothing to tell the user.
static bool NoNoticesForHandles(DWORD error)
{
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_CALL_NOT_IMPLEMENTED;
}

void HoldFolder(FolderHold& hold, HANDLE folder, const wchar_t* path)
{
    HDEVNOTIFY stale = nullptr;
    {
        HoldsGuard guard;
        stale = hold.notice;
        hold.notice = nullptr;
        hold.releasedOnRequest = false;
        hold.folder = folder;
        ResetEvent(hold.letGone);
    }
    // The registration kept after a request to let go: after a failed
    // removal the folder is held under a new handle, registered anew.
    if (stale)
        UnregisterNotice.load()(stale);

    HWND window = DeviceNoticeWindow.load();
    if (!window)
        return;
    DEV_BROADCAST_HANDLE filter = {};
    filter.dbch_size = sizeof(filter);
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = folder;
    // Allowed from any thread: the notices go to the window's own thread.
    HDEVNOTIFY notice = RegisterNotice.load()(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!notice) {
        DWORD error = GetLastError();
        if (!NoNoticesForHandles(error) && !hold.registrationReported) {
            hold.registrationReported = true;
            LogEventFormat(CannotRegister, static_cast<int>(error), path);
        }
        return;
    }
    HoldsGuard guard;
    hold.notice = notice;
}

void LetGoOfFolder(FolderHold& hold, FolderWatch& watch, bool onRequest)
{
    HDEVNOTIFY done = nullptr;
    {
        HoldsGuard guard;
        if (onRequest) {
            hold.releasedOnRequest = true;
        } else {
            done = hold.notice;
            hold.notice = nullptr;
        }
        hold.folder = nullptr;
    }
    CloseFolderWatch(watch);
    ResetEvent(hold.letGo);
    SetEvent(hold.letGone);
    // Unregistered only once the waiter is let go: the system may be in the
    // middle of asking this very window.
    if (done)
        UnregisterNotice.load()(done);
}

// The hold that has the registration; null for one that ended or was never
// this process's. The caller holds the lock.
static FolderHold* HoldOf(HDEVNOTIFY notice)
{
    if (!notice)
        return nullptr;
    auto found = std::find_if(Holds.begin(), Holds.end(),
                              [&](const FolderHold* hold) { return hold->notice == notice; });
    return found == Holds.end() ? nullptr : *found;
}

HANDLE AskToLetGo(HDEVNOTIFY notice)
{
    HoldsGuard guard;
    FolderHold* hold = HoldOf(notice);
    if (!hold || !hold->folder)
        return nullptr;
    HANDLE process = GetCurrentProcess();
    HANDLE letGone = nullptr;
    if (!DuplicateHandle(process, hold->letGone, process, &letGone, SYNCHRONIZE, FALSE, 0))
        letGone = nullptr;
    SetEvent(hold->letGo);
    return letGone;
}

void LookAgainAfterRelease(HDEVNOTIFY notice)
{
    HoldsGuard guard;
    FolderHold* hold = HoldOf(notice);
    if (hold && !hold->folder && hold->releasedOnRequest)
        SetEvent(hold->lookAgain);
}

void EndRegistration(HDEVNOTIFY notice)
{
    {
        HoldsGuard guard;
        FolderHold* hold = HoldOf(notice);
        if (!hold)
            return;
        hold->notice = nullptr;
    }
    UnregisterNotice.load()(notice);
}

void LookAgainForAll()
{
    HoldsGuard guard;
    for (FolderHold* hold : Holds)
        if (!hold->folder)
            SetEvent(hold->lookAgain);
}
