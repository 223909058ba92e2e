// Start-up after the window class exists: the hidden main window, the version
// text, the settings, the tray icon and the first set of monitors.
#include <windows.h>
#include <commctrl.h>
#include <strsafe.h>

#include <vector>

#include "app/app_state.h"
#include "app/tray_icon.h"
#include "events/error_box.h"
#include "events/text_format.h"
#include "monitor/device_notices.h"
#include "monitor/monitors.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "ui/ui_records.h"

HANDLE InstanceMutex = nullptr;
HWND MainWindow = nullptr;
NOTIFYICONDATAW TrayIcon = {};

static const wchar_t CannotCreateMainWindow[] = L"Cannot create the main window, Error %d";

// "Version <major>.<minor>" from the product version of our own version block;
// stays "unknown Version" when there is none to read.
static void BuildVersionText()
{
    StringCchCopyW(VersionText, ARRAYSIZE(VersionText), L"unknown Version");

    wchar_t path[261] = {};
    if (GetModuleFileNameW(nullptr, path, 260) == 0)
        return;
    DWORD size = GetFileVersionInfoSizeW(path, nullptr);
    if (size == 0)
        return;
    std::vector<BYTE> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (GetFileVersionInfoW(path, 0, size, block.data()) &&
        VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) && fixed)
        StringCchPrintfW(VersionText, ARRAYSIZE(VersionText), L"Version %d.%d",
                         HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS));
}

static void FillTrayIcon(HINSTANCE instance)
{
    TrayIcon = {};
    TrayIcon.cbSize = sizeof(TrayIcon);
    TrayIcon.hWnd = MainWindow;
    TrayIcon.uID = TrayIconId;
    TrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayIcon.uCallbackMessage = WMAPP_TRAYCALLBACK;
    TrayIcon.hIcon = LoadProgramIcon(instance, LIM_SMALL);
    StringCchCopyW(TrayIcon.szTip, ARRAYSIZE(TrayIcon.szTip), L"Lumistamp");
}

BOOL InitInstance(HINSTANCE instance, int showState)
{
    ModuleInstance = instance;

    // Never drawn: no size, layered without attributes, kept off the taskbar.
    // It still takes part in activation, which offers the tray icon again.
    MainWindow = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TOOLWINDOW, ClassName,
                                 TitleText, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr,
                                 nullptr, instance, nullptr);
    if (!MainWindow) {
        // No desktop to make it on (Wine started without a display) or none
        // left (an exhausted desktop heap). The settings say whether the log
        // file is kept, so they are loaded for this one line; the box shows
        // where a box still can.
        int error = static_cast<int>(GetLastError());
        LoadSettings();
        ReportFailure(FormatText(CannotCreateMainWindow, error).c_str());
        return FALSE;
    }

    BuildVersionText();
    LoadSettings();
    FillTrayIcon(instance);
    // Added now, whatever the show state: a start that does not activate the
    // window (minimised, hidden) sends no WM_ACTIVATE. Activation and the
    // shell's "TaskbarCreated" still offer it again; the shell keeps one icon
    // per window and id. A shell not ready yet (at logon) is asked again on a
    // timer.
    AddTrayIcon();

    // The monitors register their folders for device notices with this window.
    DeviceNoticeWindow = MainWindow;
    PrepareMonitorSet();
    StartMonitors();

    ShowWindow(MainWindow, showState);
    UpdateWindow(MainWindow);
    return TRUE;
}
