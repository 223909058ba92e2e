#include "monitor/device_notices.h"

#include <dbt.h>

#include <cstddef>

#include "monitor/folder_holds.h"

std::atomic<HWND> DeviceNoticeWindow{nullptr};

// The handle a notice is about, or null when it is about something else.
static HANDLE NoticeHandle(LPARAM data)
{
    auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (!header || header->dbch_devicetype != DBT_DEVTYP_HANDLE ||
        header->dbch_size < offsetof(DEV_BROADCAST_HANDLE, dbch_eventguid))
        return nullptr;
    return reinterpret_cast<const DEV_BROADCAST_HANDLE*>(header)->dbch_handle;
}

static bool IsVolume(LPARAM data)
{
    auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    return header && header->dbch_devicetype == DBT_DEVTYP_VOLUME;
}

LRESULT OnDeviceChange(WPARAM event, LPARAM data)
{
    HANDLE folder = NoticeHandle(data);
    switch (event) {
    case DBT_DEVICEQUERYREMOVE:
        // Asked synchronously: the answer goes back once the monitor holds
        // nothing on the device, so the removal can succeed.
        if (HANDLE letGone = folder ? AskToLetGo(folder) : nullptr) {
            WaitForSingleObject(letGone, LetGoWaitMs);
            CloseHandle(letGone);
        }
        break;
    case DBT_DEVICEREMOVEPENDING:
    case DBT_DEVICEREMOVECOMPLETE:
        // Gone without being asked first (a card pulled): its handles are dead.
        if (HANDLE letGone = folder ? AskToLetGo(folder) : nullptr)
            CloseHandle(letGone);
        break;
    case DBT_DEVICEQUERYREMOVEFAILED:
        if (folder)
            LookAgainAfterRelease(folder);
        break;
    case DBT_DEVICEARRIVAL:
        if (IsVolume(data))
            LookAgainForAll();
        break;
    default:
        break;
    }
    return TRUE;
}
