// A hidden window standing in for the program's main window: the monitors
// register their folders with it, and it hands WM_DEVICECHANGE to them as the
// main window does. Tests send it what Windows would send.
#pragma once

#include <windows.h>
#include <dbt.h>

#include <cstddef>

#include "monitor/device_notices.h"

// The volume events a registered handle receives as DBT_CUSTOMEVENT, with the
// values Windows documents for them (Device Events, ioevent.h).
constexpr GUID VolumeLock = {0x50708874,
                             0xc9af,
                             0x11d1,
                             {0x8f, 0xef, 0x00, 0xa0, 0xc9, 0xa0, 0x6d, 0x32}};
constexpr GUID VolumeLockFailed = {0xae2eed10,
                                   0x0ba8,
                                   0x11d2,
                                   {0x8f, 0xfb, 0x00, 0xa0, 0xc9, 0xa0, 0x6d, 0x32}};
constexpr GUID VolumeUnlock = {0x9a8c3d68,
                               0xd0cb,
                               0x11d1,
                               {0x8f, 0xef, 0x00, 0xa0, 0xc9, 0xa0, 0x6d, 0x32}};
constexpr GUID VolumeDismount = {0xd16a55e8,
                                 0x1059,
                                 0x11d2,
                                 {0x8f, 0xfd, 0x00, 0xa0, 0xc9, 0xa0, 0x6d, 0x32}};
constexpr GUID VolumeDismountFailed = {0xe3c5b178,
                                       0x105d,
                                       0x11d2,
                                       {0x8f, 0xfd, 0x00, 0xa0, 0xc9, 0xa0, 0x6d, 0x32}};
// The volume's label changed: nothing for a monitor to do.
constexpr GUID VolumeChange = {0x7373654a,
                               0x812a,
                               0x11d0,
                               {0xbe, 0xc7, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};

class NoticeWindow {
public:
    NoticeWindow()
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"LumistampTestNoticeWindow";
        RegisterClassW(&windowClass);
        window_ = CreateWindowW(windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
        DeviceNoticeWindow = window_;
    }
    ~NoticeWindow()
    {
        DeviceNoticeWindow = nullptr;
        DestroyWindow(window_);
    }
    NoticeWindow(const NoticeWindow&) = delete;
    NoticeWindow& operator=(const NoticeWindow&) = delete;

    // A notice about a registered handle, as Windows sends it: it names the
    // registration and the handle registered.
    LRESULT SendAbout(WPARAM event, HDEVNOTIFY registration, HANDLE handle) const
    {
        DEV_BROADCAST_HANDLE notice = {};
        notice.dbch_size = sizeof(notice);
        notice.dbch_devicetype = DBT_DEVTYP_HANDLE;
        notice.dbch_handle = handle;
        notice.dbch_hdevnotify = registration;
        return SendMessageW(window_, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&notice));
    }

    // A DBT_CUSTOMEVENT about a registered handle: a volume event, with no
    // data of its own (dbch_nameoffset -1).
    LRESULT SendVolumeEvent(const GUID& volumeEvent, HDEVNOTIFY registration, HANDLE handle) const
    {
        DEV_BROADCAST_HANDLE notice = {};
        notice.dbch_size = offsetof(DEV_BROADCAST_HANDLE, dbch_data);
        notice.dbch_devicetype = DBT_DEVTYP_HANDLE;
        notice.dbch_handle = handle;
        notice.dbch_hdevnotify = registration;
        notice.dbch_eventguid = volumeEvent;
        notice.dbch_nameoffset = -1;
        return SendMessageW(window_, WM_DEVICECHANGE, DBT_CUSTOMEVENT,
                            reinterpret_cast<LPARAM>(&notice));
    }

    // A volume that arrived (drive letter Q:), as Windows broadcasts it.
    LRESULT SendVolumeArrival() const
    {
        DEV_BROADCAST_VOLUME volume = {};
        volume.dbcv_size = sizeof(volume);
        volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
        volume.dbcv_unitmask = 1u << ('Q' - 'A');
        return SendMessageW(window_, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                            reinterpret_cast<LPARAM>(&volume));
    }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_DEVICECHANGE)
            return OnDeviceChange(wParam, lParam);
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
};
