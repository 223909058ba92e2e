#include "app/tray_icon.h"

#include <shellapi.h>

#include "app/app_state.h"
#include "app/tray_retry.h"

// The shell's answers to the offers so far; set anew when the taskbar is.
static TrayIconState TrayState;

void AddTrayIcon()
{
    if (UINT retryMs = OfferTrayIcon(TrayState, &Shell_NotifyIconW, TrayIcon))
        SetTimer(MainWindow, TrayRetryTimerId, retryMs, nullptr);
    else
        KillTimer(MainWindow, TrayRetryTimerId);
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
