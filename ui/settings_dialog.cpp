#include "ui/settings_dialog.h"

#include <commctrl.h>

#include <atomic>

#include "events/error_box.h"
#include "events/event_history.h"
#include "resources/resource_ids.h"
#include "ui/pages.h"
#include "ui/ui_records.h"

static const wchar_t CannotCreateTab[] = L"Cannot create Tab in Settings Dialog!";
static const wchar_t CannotDestroyTab[] = L"Cannot destroy Tab %d, Error %d";

struct PageDescription {
    const wchar_t* tabText;
    int templateId;
    DLGPROC procedure;
};

// In tab order, which is also the order of PageWindows.
static const PageDescription Pages[PageCount] = {
    {L"Settings", IDD_SETTINGS_PAGE, SettingsPageProc},
    {L"Statistics", IDD_STATISTICS_PAGE, StatisticsPageProc},
    {L"Events", IDD_EVENTS_PAGE, EventsPageProc},
    {L"About", IDD_ABOUT_PAGE, AboutPageProc},
};

// The dialog while it runs, from its initialisation until it ends.
static std::atomic<HWND> OpenDialog{nullptr};

void LoadDialogControls()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
}

static void InitSettingsDialog(HWND dialog)
{
    HWND tabs = GetDlgItem(dialog, IDC_TABS);
    for (int index = 0; index < PageCount; ++index) {
        TCITEMW tab = {};
        tab.mask = TCIF_TEXT;
        tab.pszText = const_cast<wchar_t*>(Pages[index].tabText);
        SendMessageW(tabs, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&tab));
    }

    // Every page is tried, even after one has failed.
    for (int index = 0; index < PageCount; ++index)
        PageWindows[index] = CreateDialogParamW(ModuleInstance,
                                                MAKEINTRESOURCEW(Pages[index].templateId), dialog,
                                                Pages[index].procedure, 0);

    for (HWND page : PageWindows) {
        if (!page) {
            // Reported once; the pages that exist stay reachable through their tabs.
            ReportFailure(CannotCreateTab);
            return;
        }
    }
    ShowWindow(PageWindows[SettingsPage], SW_SHOW);
}

static void SwitchPages(HWND dialog)
{
    HWND tabs = GetDlgItem(dialog, IDC_TABS);
    int selected = static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
    if (selected == EventsPage)
        FillEventsList();
    for (int index = 0; index < PageCount; ++index) {
        if (PageWindows[index])
            ShowWindow(PageWindows[index], index == selected ? SW_SHOW : SW_HIDE);
    }
}

void ClosePages()
{
    for (int index = 0; index < PageCount; ++index) {
        if (!DestroyWindow(PageWindows[index]))
            LogEventFormat(CannotDestroyTab, index, static_cast<int>(GetLastError()));
        PageWindows[index] = nullptr;
    }
}

// Only this dialog's own end clears the record.
static void ForgetDialog(HWND dialog) { OpenDialog.compare_exchange_strong(dialog, nullptr); }

void CancelSettingsDialog()
{
    if (HWND dialog = OpenDialog.load())
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OpenDialog = dialog;
        InitSettingsDialog(dialog);
        return TRUE;

    case WM_NOTIFY:
        // Only the tab control sends this code.
        if (reinterpret_cast<const NMHDR*>(lParam)->code == TCN_SELCHANGE)
            SwitchPages(dialog);
        return TRUE;

    case WM_COMMAND:
        // Escape and the close box arrive here as IDCANCEL.
        switch (LOWORD(wParam)) {
        case IDOK:
            ApplySettings();
            ClosePages();
            EndDialog(dialog, static_cast<INT_PTR>(wParam));
            ForgetDialog(dialog);
            break;
        case IDCANCEL:
            ClosePages();
            EndDialog(dialog, static_cast<INT_PTR>(wParam));
            ForgetDialog(dialog);
            break;
        }
        return TRUE;

    case WM_DESTROY:
        // However the dialog went (its modal loop may end without OK or
        // Cancel); not handled.
        ForgetDialog(dialog);
        return FALSE;
    }
    return FALSE;
}
