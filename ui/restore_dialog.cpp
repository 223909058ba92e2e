#include "ui/restore_dialog.h"

#include <windowsx.h>

#include <string>
#include <vector>

#include "events/error_box.h"
#include "events/text_format.h"
#include "rename/rename_journal.h"
#include "rename/restore.h"
#include "resources/resource_ids.h"
#include "ui/settings_dialog.h"
#include "ui/ui_records.h"

static const wchar_t RestoreCommand[] = L"Restore original names\u2026";
static const wchar_t FolderLine[] = L"%s \u2013 %u renames, %s to %s";
static const wchar_t* const SinceChoices[] = {L"All", L"Today", L"The last hour"};

constexpr uint64_t FileTimeHour = 36000000000ull;  // 100-nanosecond units

// The folders the dialog shows, in the order of its list; filled at its start.
// Bound: one entry per journal file.
static std::vector<JournalSummary> ShownJournals;

static std::wstring LocalText(uint64_t when)
{
    FILETIME utc = {static_cast<DWORD>(when), static_cast<DWORD>(when >> 32)};
    SYSTEMTIME universal = {}, local = {};
    FileTimeToSystemTime(&utc, &universal);
    SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local);
    return FormatText(L"%04u-%02u-%02u %02u:%02u", local.wYear, local.wMonth, local.wDay,
                      local.wHour, local.wMinute);
}

static uint64_t Now()
{
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    return uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime;
}

// The moment of the choice: 0 for all, local midnight for today.
static uint64_t SinceOf(int choice)
{
    if (choice == 2)
        return Now() - FileTimeHour;
    if (choice != 1)
        return 0;
    uint64_t since = 0;
    ParseRestoreSince(LocalText(Now()).substr(0, 10) + L" 00:00", &since);
    return since;
}

void RunEventsListMenu(HWND page, HWND list, LPARAM cursor)
{
    POINT at = {GET_X_LPARAM(cursor), GET_Y_LPARAM(cursor)};
    if (at.x == -1 && at.y == -1) {  // from the keyboard: at the list's corner
        at = {0, 0};
        ClientToScreen(list, &at);
    }
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, IDM_RESTORE_NAMES, RestoreCommand);
    UINT command = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, page, nullptr));
    DestroyMenu(menu);
    if (command == IDM_RESTORE_NAMES)
        DialogBoxParamW(ModuleInstance, MAKEINTRESOURCEW(IDD_RESTORE), GetAncestor(page, GA_ROOT),
                        RestoreDialogProc, 0);
}

static void FillRestoreDialog(HWND dialog)
{
    ShownJournals = ListJournals();
    HWND folders = GetDlgItem(dialog, IDC_RESTORE_FOLDERS);
    for (const JournalSummary& journal : ShownJournals) {
        std::wstring line =
            FormatText(FolderLine, journal.folder.c_str(), static_cast<unsigned>(journal.renames),
                       LocalText(journal.first).c_str(), LocalText(journal.last).c_str());
        SendMessageW(folders, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    SendMessageW(folders, LB_SETCURSEL, 0, 0);
    HWND since = GetDlgItem(dialog, IDC_RESTORE_SINCE);
    for (const wchar_t* choice : SinceChoices)
        SendMessageW(since, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
    SendMessageW(since, CB_SETCURSEL, 0, 0);
}

// Restores the chosen folder; a refusal is shown and the dialog stays.
static bool RestoreChosen(HWND dialog)
{
    LRESULT chosen = SendDlgItemMessageW(dialog, IDC_RESTORE_FOLDERS, LB_GETCURSEL, 0, 0);
    if (chosen < 0 || static_cast<size_t>(chosen) >= ShownJournals.size())
        return false;
    int choice =
        static_cast<int>(SendDlgItemMessageW(dialog, IDC_RESTORE_SINCE, CB_GETCURSEL, 0, 0));
    RestoreReport report =
        RestoreFolder(ShownJournals[static_cast<size_t>(chosen)].folder, SinceOf(choice));
    if (report.result == RestoreResult::NotRun && !report.lines.empty()) {
        ShowErrorBox(report.lines.front().c_str());
        return false;
    }
    return true;
}

INT_PTR CALLBACK RestoreDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        FillRestoreDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && RestoreChosen(dialog)) {
            EndDialog(dialog, IDOK);
            FillEventsList();
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    default:
        return FALSE;
    }
}
