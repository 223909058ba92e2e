#include "app/tray_icon.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/app_state.h"
#include "app/tray_retry.h"
#include "resources/resource_ids.h"

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
