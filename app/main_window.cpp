// The hidden main window: owner of the tray icon, its menu and the settings dialog.
#include <windows.h>

#include "app/app_state.h"
#include "app/restore_command.h"
#include "app/tray_icon.h"
#include "events/error_box.h"
#include "events/event_history.h"
#include "events/text_format.h"
#include "monitor/device_notices.h"
#include "monitor/monitors.h"
#include "resources/resource_ids.h"
#include "ui/settings_dialog.h"
#include "ui/ui_records.h"

HMENU TrayMenu = nullptr;
bool SettingsDialogOpen = false;

static const wchar_t CannotOpenSettings[] = L"Cannot open DialogBox for the Settings, Error %d";

constexpr DWORD ExitStopLimitMs = 2000;
// Return the chosen command, send no notifications while the menu is up.
constexpr UINT TrayMenuFlags = TPM_RETURNCMD | TPM_NONOTIFY;

// Broadcast by the shell when the taskbar is created anew (Explorer restarted):
// every tray icon must then be added again.
static const UINT TaskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");

static void BuildTrayMenu()
{
    TrayMenu = CreatePopupMenu();
    AppendMenuW(TrayMenu, MF_STRING, IDM_SETTINGS, L"Settings...");
    AppendMenuW(TrayMenu, MF_STRING, IDM_EXIT, L"Exit");
}

static void ExitProgram()
{
    RemoveTrayIcon();
    ClearEventHistory();
    // An open settings dialog ends as its Cancel ends it: its pages go,
    // nothing is applied, and OpenSettings sees Cancel's result, not a
    // failure. Pages left over, if any, go below.
    CancelSettingsDialog();
    for (HWND& page : PageWindows) {
        if (page)
            DestroyWindow(page);
        page = nullptr;
    }
    StopAllMonitors(ExitStopLimitMs);
    PostQuitMessage(0);
}

static void OpenSettings()
{
    if (SettingsDialogOpen)
        return;
    SettingsDialogOpen = true;
    LoadDialogControls();
    INT_PTR result = DialogBoxParamW(ModuleInstance, MAKEINTRESOURCEW(IDD_SETTINGS), MainWindow,
                                     SettingsDialogProc, 0);
    if (result != IDOK && result != IDCANCEL)
        ReportFailure(FormatText(CannotOpenSettings, static_cast<int>(GetLastError())).c_str());
    SettingsDialogOpen = false;
}

static void RunTrayMenu()
{
    POINT cursor;
    GetCursorPos(&cursor);
    // The menu closes on a click elsewhere only if our window is in front.
    SetForegroundWindow(MainWindow);
    UINT command = static_cast<UINT>(
        TrackPopupMenu(TrayMenu, TrayMenuFlags, cursor.x, cursor.y, 0, MainWindow, nullptr));
    // Lets the menu close properly if it is opened again at once.
    PostMessageW(MainWindow, WM_NULL, 0, 0);

    if (command == IDM_EXIT)
        ExitProgram();
    else if (command == IDM_SETTINGS)
        OpenSettings();
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        BuildTrayMenu();
        return 0;

    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;

    case WM_ACTIVATE:
        // Offered again at every activation; an icon already present stays single.
        AddTrayIcon();
        return 0;

    case WM_TIMER:
        if (wParam == TrayRetryTimerId)
            OnTrayRetryTimer();
        return 0;

    case WM_DEVICECHANGE:
        // A volume is going or coming: the monitors let go of their folders
        // on it, or look for them again.
        return OnDeviceChange(wParam, lParam);

    case WM_COMMAND:
        // The tray menu returns its choice to RunTrayMenu and sends nothing
        // here: this is Exit from another process, as the installer and the
        // uninstaller end a running copy, which must end as the menu's Exit does.
        if (LOWORD(wParam) == IDM_EXIT) {
            ExitProgram();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);

    case WM_COPYDATA:
        // A restore asked for on another process's command line.
        return OnRestoreRequest(reinterpret_cast<const COPYDATASTRUCT*>(lParam));

    case WMAPP_TRAYCALLBACK:
        if (LOWORD(lParam) == WM_RBUTTONDOWN)
            RunTrayMenu();
        return 0;

    default:
        if (message == TaskbarCreatedMessage && TaskbarCreatedMessage != 0) {
            OnTaskbarCreated();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
