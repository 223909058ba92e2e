// The Settings page (template 133): the three options as check boxes and the
// watched folders as a sorted list box, edited here and taken by OK. The page
// never writes the Settings record.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "events/error_box.h"
#include "events/text_format.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"
#include "ui/pages.h"

static const wchar_t CannotFillAutostart[] = L"Cannot fill Autostart value, Error %d";
static const wchar_t CannotFillLogFile[] = L"Cannot fill LogFile value, Error %d";
static const wchar_t CannotFillFileModifiedDate[] =
    L"Cannot fill Use-File-Modified-Date value, Error %d";
static const wchar_t CannotFillHeifPictures[] = L"Cannot fill HeifPictures value, Error %d";
static const wchar_t CannotFillVideoFiles[] = L"Cannot fill VideoFiles value, Error %d";
static const wchar_t CannotShowFolders[] =
    L"Unable to retrieve Listbox handle, Cannot show monitored folders, Error %d";
static const wchar_t CannotAddFolder[] = L"Unable to add folder, Error %d";
static const wchar_t PickerTitle[] = L"Browse for folder to monitor in...";

const OptionBox OptionBoxes[5] = {
    {IDC_AUTOSTART, &SettingsRecord::Autostart, CannotFillAutostart},
    {IDC_LOG_FILE, &SettingsRecord::LogFile, CannotFillLogFile},
    {IDC_FILE_MODIFIED_DATE, &SettingsRecord::FileModifiedDate, CannotFillFileModifiedDate},
    {IDC_HEIF_PICTURES, &SettingsRecord::HeifPictures, CannotFillHeifPictures},
    {IDC_VIDEO_FILES, &SettingsRecord::VideoFiles, CannotFillVideoFiles},
};

static void ReportWithLastError(const wchar_t* format)
{
    ReportFailure(FormatText(format, static_cast<int>(GetLastError())).c_str());
}

std::wstring ShownCompanions()
{
    return Settings.CompanionsStored ? Settings.Companions : std::wstring(L"NEF");
}

static void FillSettingsPage(HWND page)
{
    for (const OptionBox& box : OptionBoxes) {
        UINT state = (Settings.*box.option).load() != 0 ? BST_CHECKED : BST_UNCHECKED;
        if (!CheckDlgButton(page, box.controlId, state))
            ReportWithLastError(box.cannotFill);
    }

    SetDlgItemTextW(page, IDC_COMPANIONS, ShownCompanions().c_str());

    HWND list = GetDlgItem(page, IDC_FOLDER_LIST);
    if (!list) {
        ReportWithLastError(CannotShowFolders);
        return;
    }
    // The list box sorts them.
    for (const std::wstring& folder : Settings.Folders)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    SetFocus(list);
}

// The system's folder picker; the path exactly as it returns it (a drive's
// root keeps its backslash), or empty when the user cancelled.
static std::wstring PickFolder(HWND page)
{
    // The new dialog style needs COM on this thread.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    BROWSEINFOW picker = {};
    picker.hwndOwner = page;
    picker.lpszTitle = PickerTitle;
    picker.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE picked = SHBrowseForFolderW(&picker);

    wchar_t path[MAX_PATH] = {};
    if (picked) {
        if (!SHGetPathFromIDListW(picked, path))
            path[0] = L'\0';
        IMalloc* allocator = nullptr;
        if (SUCCEEDED(SHGetMalloc(&allocator))) {
            allocator->Free(picked);
            allocator->Release();
        }
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return path;
}

// Adds whatever the picker gives: no check for duplicates, count or length.
static void AddFolder(HWND page)
{
    std::wstring folder = PickFolder(page);
    if (folder.empty())
        return;
    HWND list = GetDlgItem(page, IDC_FOLDER_LIST);
    if (!list) {
        ReportWithLastError(CannotAddFolder);
        return;
    }
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    SetFocus(list);
}

// Removes the selected entry without asking; afterwards none is selected.
static void DeleteFolder(HWND page)
{
    HWND list = GetDlgItem(page, IDC_FOLDER_LIST);
    if (!list)
        return;
    LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (selected < 0)
        return;
    SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
}

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        FillSettingsPage(page);
        return TRUE;

    case WM_COMMAND:
        // The check boxes toggle by themselves; list notifications are ignored.
        if (LOWORD(wParam) == IDC_ADD_FOLDER)
            AddFolder(page);
        else if (LOWORD(wParam) == IDC_DELETE_FOLDER)
            DeleteFolder(page);
        return TRUE;

    case WM_DESTROY:
        return TRUE;
    }
    return FALSE;
}
