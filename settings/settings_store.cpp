#include "settings/settings_store.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cwchar>
#include <list>
#include <string>
#include <vector>

#include "events/error_box.h"
#include "events/event_history.h"
#include "events/text_format.h"
#include "settings/autostart.h"
#include "settings/companions.h"
#include "settings/settings.h"

static const wchar_t ProgramKey[] = L"SOFTWARE\\KX-Lumistamp";
static const wchar_t FoldersValue[] = L"Folders";
static const wchar_t CompanionsValue[] = L"Companions";

static const wchar_t CannotOpenForLoading[] = L"RegOpenKeyExW failed, Error %d";
static const wchar_t CannotQueryAutostart[] = L"Query Autostart failed, Error %d. Using Default.";
static const wchar_t CannotQueryLogFile[] = L"Query LogFile failed, Error %d. Using Default.";
static const wchar_t CannotQueryFileModifiedDate[] =
    L"Query File Modified date failed, Error %d. Using Default.";
static const wchar_t CannotQueryFolders[] =
    L"Query Folders to monitor failed, Error %d. No folder will be monitored.";
static const wchar_t CannotQueryHeifPictures[] =
    L"Query HeifPictures failed, Error %d. Using Default.";
static const wchar_t CannotSaveHeifPictures[] =
    L"Cannot save HeifPictures option, Error %d. Setting is not preserved.";
static const wchar_t CannotQueryVideoFiles[] = L"Query VideoFiles failed, Error %d. Using Default.";
static const wchar_t CannotSaveVideoFiles[] =
    L"Cannot save VideoFiles option, Error %d. Setting is not preserved.";
static const wchar_t CannotQueryCompanions[] = L"Query Companions failed, Error %d. Using Default.";
static const wchar_t QueryingFolders[] = L"Querying the following folder(s):";

static const wchar_t CannotOpenForSaving[] =
    L"Cannot open Registry Key to save settings, Error %d. Settings are not preserved.";
static const wchar_t CannotSaveAutostart[] =
    L"Cannot save Autostart (at logon) option, Error %d. Setting is not preserved.";
static const wchar_t CannotSaveLogFile[] =
    L"Cannot save LogFile option, Error %d. Setting is not preserved.";
static const wchar_t CannotSaveFileModifiedDate[] =
    L"Cannot save Use-File-Modified option, Error %d. Setting is not preserved.";
static const wchar_t CannotSaveFolders[] =
    L"Cannot save Folders to monitor in Registry, Error %d. Setting is not preserved.";
static const wchar_t CannotSaveCompanions[] =
    L"Cannot save Companions, Error %d. Setting is not preserved.";

// The options, in the order they are read and written.
struct StoredOption {
    std::atomic<uint32_t> SettingsRecord::*field;
    const wchar_t* valueName;
    const wchar_t* cannotQuery;
    const wchar_t* cannotSave;
    // For an option written only once it was on or found stored, so that a
    // registry that never had it on stays as it was: whether it is stored.
    // Null for the options always written.
    bool SettingsRecord::*stored = nullptr;
};

static const StoredOption StoredOptions[] = {
    {&SettingsRecord::Autostart, L"Autostart", CannotQueryAutostart, CannotSaveAutostart},
    {&SettingsRecord::LogFile, L"LogFile", CannotQueryLogFile, CannotSaveLogFile},
    {&SettingsRecord::FileModifiedDate, L"FileModifiedDate", CannotQueryFileModifiedDate,
     CannotSaveFileModifiedDate},
    {&SettingsRecord::HeifPictures, L"HeifPictures", CannotQueryHeifPictures,
     CannotSaveHeifPictures, &SettingsRecord::HeifPicturesStored},
    {&SettingsRecord::VideoFiles, L"VideoFiles", CannotQueryVideoFiles, CannotSaveVideoFiles,
     &SettingsRecord::VideoFilesStored},
};

// Opens the program key, creating it when it is missing.
static LSTATUS OpenProgramKey(HKEY* key)
{
    return RegCreateKeyExW(HKEY_CURRENT_USER, ProgramKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, key, nullptr);
}

static void LoadOption(HKEY key, const StoredOption& option)
{
    DWORD number = 0;
    DWORD size = sizeof(number);
    LSTATUS status =
        RegGetValueW(key, nullptr, option.valueName, RRF_RT_REG_DWORD, nullptr, &number, &size);
    if (option.stored)
        Settings.*option.stored = status == ERROR_SUCCESS;
    if (status == ERROR_SUCCESS)
        Settings.*option.field = number != 0 ? 1u : 0u;
    else if (status != ERROR_FILE_NOT_FOUND)  // a missing value simply means the default
        LogEventFormat(option.cannotQuery, static_cast<int>(status));
}

static void LoadFolders(HKEY key)
{
    Settings.Folders.clear();

    DWORD size = 0;
    LSTATUS status =
        RegGetValueW(key, nullptr, FoldersValue, RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND)
        return;
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
        LogEventFormat(CannotQueryFolders, static_cast<int>(status));
        return;
    }

    // Spare nulls after the reported bytes: a list stored without its closing
    // nulls (or with an odd byte count) still ends inside the buffer. The read
    // is told the buffer's whole size: RegGetValueW adds the closing nulls a
    // stored list lacks, and the size it reported first does not count them,
    // so given only that size it fails with ERROR_MORE_DATA (Windows; Wine
    // counts them in the size it reports).
    std::vector<wchar_t> list(size / sizeof(wchar_t) + 3, L'\0');
    size = static_cast<DWORD>(list.size() * sizeof(wchar_t));
    status =
        RegGetValueW(key, nullptr, FoldersValue, RRF_RT_REG_MULTI_SZ, nullptr, list.data(), &size);
    if (status != ERROR_SUCCESS)
        LogEventFormat(CannotQueryFolders, static_cast<int>(status));

    LogEvent(QueryingFolders);
    if (status != ERROR_SUCCESS)
        return;
    // The first empty string closes the list.
    for (const wchar_t* path = list.data(); *path != L'\0'; path += wcslen(path) + 1) {
        Settings.Folders.push_back(path);
        LogEvent(path);
    }
}

// The extensions that travel with a picture. Absent or unreadable, the list
// is the default one, as it always was.
static void LoadCompanions(HKEY key)
{
    Settings.CompanionsStored = false;
    Settings.Companions.clear();
    DWORD size = 0;
    LSTATUS status =
        RegGetValueW(key, nullptr, CompanionsValue, RRF_RT_REG_SZ, nullptr, nullptr, &size);
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        std::vector<wchar_t> text(size / sizeof(wchar_t) + 2, L'\0');
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status =
            RegGetValueW(key, nullptr, CompanionsValue, RRF_RT_REG_SZ, nullptr, text.data(), &size);
        if (status == ERROR_SUCCESS) {
            Settings.Companions = text.data();
            Settings.CompanionsStored = true;
        }
    }
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        LogEventFormat(CannotQueryCompanions, static_cast<int>(status));
    UseCompanions(Settings.CompanionsStored ? &Settings.Companions : nullptr);
}

void LoadSettings()
{
    Settings.Autostart = 0;
    Settings.LogFile = 0;
    Settings.FileModifiedDate = 0;
    Settings.HeifPictures = 0;
    Settings.HeifPicturesStored = false;
    Settings.VideoFiles = 0;
    Settings.VideoFilesStored = false;

    HKEY key = nullptr;
    LSTATUS status = OpenProgramKey(&key);
    if (status != ERROR_SUCCESS) {
        LogEventFormat(CannotOpenForLoading, static_cast<int>(status));
        return;
    }
    for (const StoredOption& option : StoredOptions)
        LoadOption(key, option);
    LoadFolders(key);
    LoadCompanions(key);
    RegCloseKey(key);
}

// Each path followed by its null, then the null that closes the list. An empty
// list is stored as two nulls, the empty multi-string that every reader takes
// as no entries; it must be stored, or the previous list would come back at the
// next start.
static std::wstring MultiString(const std::list<std::wstring>& paths)
{
    std::wstring list;
    for (const std::wstring& path : paths) {
        list += path;
        list += L'\0';
    }
    if (paths.empty())
        list += L'\0';
    list += L'\0';
    return list;
}

static void ReportWithCode(const wchar_t* format, LSTATUS status)
{
    ReportFailure(FormatText(format, static_cast<int>(status)).c_str());
}

void SaveSettings()
{
    HKEY key = nullptr;
    LSTATUS status = OpenProgramKey(&key);
    if (status != ERROR_SUCCESS) {
        ReportWithCode(CannotOpenForSaving, status);
        return;
    }

    for (const StoredOption& option : StoredOptions) {
        DWORD number = (Settings.*option.field).load() != 0 ? 1u : 0u;
        if (option.stored && number == 0 && !(Settings.*option.stored))
            continue;
        status = RegSetValueExW(key, option.valueName, 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&number), sizeof(number));
        if (status != ERROR_SUCCESS)
            ReportWithCode(option.cannotSave, status);
        else if (option.stored)
            Settings.*option.stored = true;
    }

    std::wstring folders = MultiString(Settings.Folders);
    status = RegSetValueExW(key, FoldersValue, 0, REG_MULTI_SZ,
                            reinterpret_cast<const BYTE*>(folders.data()),
                            static_cast<DWORD>(folders.size() * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS)
        ReportWithCode(CannotSaveFolders, status);

    if (Settings.CompanionsStored) {
        const std::wstring& text = Settings.Companions;
        status = RegSetValueExW(key, CompanionsValue, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        if (status != ERROR_SUCCESS)
            ReportWithCode(CannotSaveCompanions, status);
    }

    RegCloseKey(key);
    UpdateAutostartEntry();
}
