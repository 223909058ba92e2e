#include "app/tray_icon.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/app_state.h"
#include "app/tray_retry.h"
#include "resources/resource_ids.h"

// Whether the shell shows the icon, and how many offers it refused in a row
// since it last did (bounded by MaxTrayRetries, past which no timer is set).
struct TrayIconState {
    bool shown = false;
    unsigned failedAdds = 0;
};
static TrayIconState TrayState;

void AddTrayIcon()
{
    // An icon present already refuses a second add; asking it to change
    // tells the two refusals apart.
    if (Shell_NotifyIconW(NIM_ADD, &TrayIcon) || Shell_NotifyIconW(NIM_MODIFY, &TrayIcon)) {
        TrayState = {true, 0};
        KillTimer(MainWindow, TrayRetryTimerId);
        return;
    }
    if (TrayState.shown)
        return;
    ++TrayState.failedAdds;
    if (UINT retryMs = NextTrayRetryMs(TrayState.failedAdds))
        SetTimer(MainWindow, TrayRetryTimerId, retryMs, nullptr);
}

void OnTrayRetryTimer()
{
    KillTimer(MainWindow, TrayRetryTimerId);
    AddTrayIcon();
}

void OnTaskbarCreated()
{
    TrayState = {};
    AddTrayIcon();
}

void RemoveTrayIcon()
{
    KillTimer(MainWindow, TrayRetryTimerId);
    Shell_NotifyIconW(NIM_DELETE, &TrayIcon);
}

HICON LoadProgramIcon(HINSTANCE instance, int metric)
{
    // LoadIconMetric picks the image of the icon drawn nearest the size the
    // metric has at this scaling (SM_CXSMICON or SM_CXICON) and scales down
    // only when none fits; LoadIconW would hand over the 32-pixel system size,
    // which the taskbar then shrinks a second time. LoadIconW stays the last
    // resort: a comctl32 older than version 6 has no LoadIconMetric.
    HICON icon = nullptr;
    if (SUCCEEDED(LoadIconMetric(instance, MAKEINTRESOURCEW(IDI_LUMISTAMP), metric, &icon)))
        return icon;
    return LoadIconW(instance, MAKEINTRESOURCEW(IDI_LUMISTAMP));
}
