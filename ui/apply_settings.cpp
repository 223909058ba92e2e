// OK in the settings dialog: the Settings page becomes the Settings record, the
// record is saved, and the monitors start afresh. Runs on every OK, changed or
// not, while the dialog is still on screen; without a Settings page it does
// nothing.
#include <windows.h>

#include <vector>

#include "events/error_box.h"
#include "events/event_history.h"
#include "events/text_format.h"
#include "monitor/monitors.h"
#include "resources/resource_ids.h"
#include "settings/companions.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "ui/pages.h"
#include "ui/settings_dialog.h"
#include "ui/ui_records.h"

static const wchar_t NoFolderList[] =
    L"Unable to retrieve Listbox handle, Cannot save monitored folders, Error %d";
static const wchar_t CannotCountFolders[] = L"Unable to retrieve number of folders, Error %d";
static const wchar_t QueryingFolders[] = L"Querying the following folder(s):";

// The dialog stays on screen while the old monitors finish their scans.
constexpr DWORD OkStopLimitMs = 60000;

static void ReportWithLastError(const wchar_t* format)
{
    ReportFailure(FormatText(format, static_cast<int>(GetLastError())).c_str());
}

// A missing box reads as unchecked, so the option goes off.
static void TakeOptions(HWND page)
{
    for (const OptionBox& box : OptionBoxes)
        Settings.*box.option = IsDlgButtonChecked(page, box.controlId) == BST_CHECKED ? 1u : 0u;
}

// The list box's non-empty entries in list order, which is sorted.
static void TakeFolders(HWND list)
{
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    if (count == LB_ERR) {
        ReportWithLastError(CannotCountFolders);
        count = 0;
    }

    Settings.Folders.clear();
    LogEvent(QueryingFolders);
    for (LRESULT index = 0; index < count; ++index) {
        LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
        if (length <= 0)
            continue;
        std::vector<wchar_t> folder(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(folder.data()));
        Settings.Folders.emplace_back(folder.data());
        LogEvent(folder.data());
    }
}

// The edit box's text is stored once it differs from what the page showed:
// an untouched page leaves an absent value absent.
static void TakeCompanions(HWND page)
{
    HWND box = GetDlgItem(page, IDC_COMPANIONS);
    if (!box)
        return;
    std::vector<wchar_t> text(static_cast<size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    GetWindowTextW(box, text.data(), static_cast<int>(text.size()));
    if (!Settings.CompanionsStored && ShownCompanions() == text.data())
        return;
    Settings.Companions = text.data();
    Settings.CompanionsStored = true;
    UseCompanions(&Settings.Companions);
}

void ApplySettings()
{
    // Without the page there is nothing to take: its failure was reported when
    // it could not be made, and the stored options, the autostart entry and
    // the monitors stay as they are.
    HWND page = PageWindows[SettingsPage];
    if (!page)
        return;
    TakeOptions(page);

    HWND list = GetDlgItem(page, IDC_FOLDER_LIST);
    if (list)
        TakeFolders(list);
    else
        ReportWithLastError(NoFolderList);  // Folders keeps its entries
    TakeCompanions(page);

    SaveSettings();

    // The new set gets a fresh stop signal: a monitor that outlives the limit
    // still sees its own signal set and never counts in the new set.
    StopAllMonitors(OkStopLimitMs);
    PrepareMonitorSet();
    StartMonitors();
}
