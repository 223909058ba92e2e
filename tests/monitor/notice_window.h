// A hidden window standing in for the program's main window: the monitors
// register their folders with it, and it hands WM_DEVICECHANGE to them as the
// main window does. Tests send it what Windows would send.
#pragma once

#include <windows.h>
#include <dbt.h>

#include "monitor/device_notices.h"

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

    // A notice about a registered handle, as Windows sends it.
    LRESULT SendAbout(WPARAM event, HANDLE handle) const
    {
        DEV_BROADCAST_HANDLE notice = {};
        notice.dbch_size = sizeof(notice);
        notice.dbch_devicetype = DBT_DEVTYP_HANDLE;
        notice.dbch_handle = handle;
        return SendMessageW(window_, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&notice));
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
