#include "app/tray_icon.h"

#include <shellapi.h>

#include "app/app_state.h"
#include "app/tray_retry.h"

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
