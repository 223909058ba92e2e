#include "monitor/device_notices.h"

#include <dbt.h>
// Defines the volume events' GUIDs that ioevent.h declares, in this file only.
#include <initguid.h>
#include <ioevent.h>

#include <cstddef>

#include "monitor/folder_holds.h"

std::atomic<HWND> DeviceNoticeWindow{nullptr};

// The notice about a registered handle the data holds, or null when it is
// about something else. A custom event carries its GUID too.
static const DEV_BROADCAST_HANDLE* HandleNotice(WPARAM event, LPARAM data)
{
    auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    size_t needed = event == DBT_CUSTOMEVENT ? offsetof(DEV_BROADCAST_HANDLE, dbch_nameoffset)
                                             : offsetof(DEV_BROADCAST_HANDLE, dbch_eventguid);
    if (!header || header->dbch_devicetype != DBT_DEVTYP_HANDLE || header->dbch_size < needed)
        return nullptr;
    return reinterpret_cast<const DEV_BROADCAST_HANDLE*>(header);
}

static bool IsVolume(LPARAM data)
{
    auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    return header && header->dbch_devicetype == DBT_DEVTYP_VOLUME;
}

// What a notice about a registered handle asks of the monitor that has the
// registration.
enum class NoticeAsks {
    Nothing,
    LetGo,      // the device may go: let go, and be waited for
    Gone,       // the device went: let go, and the registration ends
    LookAgain,  // it stays after all: take the folder up again at once
};

// The ask of a WM_DEVICECHANGE event; customEvent is the GUID of a
// DBT_CUSTOMEVENT, ignored for the others.
static NoticeAsks AskedByNotice(WPARAM event, const GUID& customEvent)
{
    switch (event) {
    case DBT_DEVICEQUERYREMOVE:
        return NoticeAsks::LetGo;
    case DBT_DEVICEREMOVEPENDING:
    case DBT_DEVICEREMOVECOMPLETE:
        return NoticeAsks::Gone;
    case DBT_DEVICEQUERYREMOVEFAILED:
        return NoticeAsks::LookAgain;
    case DBT_CUSTOMEVENT:
        // A volume about to be locked (Format, chkdsk /f, a card reader's
        // Eject) or dismounted: applications are to close every handle on it,
        // and a dismount need not follow a lock. Once the lock or dismount
        // has failed, or the lock ended, the handles may be opened again.
        if (IsEqualGUID(customEvent, GUID_IO_VOLUME_LOCK) ||
            IsEqualGUID(customEvent, GUID_IO_VOLUME_DISMOUNT))
            return NoticeAsks::LetGo;
        if (IsEqualGUID(customEvent, GUID_IO_VOLUME_UNLOCK) ||
            IsEqualGUID(customEvent, GUID_IO_VOLUME_LOCK_FAILED) ||
            IsEqualGUID(customEvent, GUID_IO_VOLUME_DISMOUNT_FAILED))
            return NoticeAsks::LookAgain;
        return NoticeAsks::Nothing;
    default:
        return NoticeAsks::Nothing;
    }
}

LRESULT OnDeviceChange(WPARAM event, LPARAM data)
{
    if (event == DBT_DEVICEARRIVAL) {
        if (IsVolume(data))
            LookAgainForAll();
        return TRUE;
    }
    const DEV_BROADCAST_HANDLE* notice = HandleNotice(event, data);
    if (!notice)
        return TRUE;
    HDEVNOTIFY registration = notice->dbch_hdevnotify;
    static const GUID NoCustomEvent = {};
    const GUID& customEvent = event == DBT_CUSTOMEVENT ? notice->dbch_eventguid : NoCustomEvent;
    switch (AskedByNotice(event, customEvent)) {
    case NoticeAsks::LetGo:
        // Asked synchronously: the answer goes back once the monitor holds
        // nothing on the device, so the removal, lock or dismount can succeed.
        if (HANDLE letGone = AskToLetGo(registration)) {
            WaitForSingleObject(letGone, LetGoWaitMs);
            CloseHandle(letGone);
        }
        break;
    case NoticeAsks::Gone:
        // Gone, asked first or not (a card pulled): its handles are dead, and
        // the registration ends as the device did.
        if (HANDLE letGone = AskToLetGo(registration))
            CloseHandle(letGone);
        EndRegistration(registration);
        break;
    case NoticeAsks::LookAgain:
        LookAgainAfterRelease(registration);
        break;
    case NoticeAsks::Nothing:
        break;
    }
    return TRUE;
}
