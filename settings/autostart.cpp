#include "settings/autostart.h"

#include <windows.h>

#include <string>

#include "events/error_box.h"
#include "events/text_format.h"
#include "settings/settings.h"

static const wchar_t RunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
static const wchar_t AutostartValue[] = L"KX_Lumistamp";

// Room for the executable's path, terminating null included (the quotes come
// on top). A longer path is refused rather than stored cut short.
constexpr DWORD ExecutablePathCapacity = MAX_PATH + 128;

static const wchar_t CannotOpenRunKey[] =
    L"Cannot open Registry Key to save autostart, Error %d. Autostart option was not changed.";
static const wchar_t CannotGetExecutablePath[] =
    L"Unable to find current directory, Error %d. Autostart option was not changed.";
static const wchar_t CannotUpdateEntry[] =
    L"Unable to update Autostart option in Registry, Error %d. Autostart option was not changed.";

static void ReportWithCode(const wchar_t* format, DWORD code)
{
    ReportFailure(FormatText(format, static_cast<int>(code)).c_str());
}

// Sets the entry to the executable's path in double quotes: unquoted, a path
// with blanks would be read at logon as a shorter program path with arguments.
static void WriteEntry(HKEY runKey)
{
    wchar_t path[ExecutablePathCapacity];
    // A successful call need not clear the last error: cleared here, a code
    // left over from an earlier call cannot pass for a failure.
    SetLastError(0);
    DWORD length = GetModuleFileNameW(nullptr, path, ExecutablePathCapacity);
    DWORD error = GetLastError();
    if (length == 0 || length >= ExecutablePathCapacity || error != 0) {
        ReportWithCode(CannotGetExecutablePath, error);
        return;
    }
    std::wstring entry = L"\"" + std::wstring(path, length) + L"\"";
    // With its terminating null, as the registry asks of string data.
    LSTATUS status = RegSetValueExW(runKey, AutostartValue, 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(entry.c_str()),
                                    static_cast<DWORD>((entry.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS)
        ReportWithCode(CannotUpdateEntry, status);
}

static void DeleteEntry(HKEY runKey)
{
    LSTATUS status = RegDeleteValueW(runKey, AutostartValue);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)  // absent already is fine
        ReportWithCode(CannotUpdateEntry, status);
}

void UpdateAutostartEntry()
{
    HKEY runKey = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, RunKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &runKey, nullptr);
    if (status != ERROR_SUCCESS) {
        ReportWithCode(CannotOpenRunKey, status);
        return;
    }
    if (Settings.Autostart.load() != 0)
        WriteEntry(runKey);
    else
        DeleteEntry(runKey);
    RegCloseKey(runKey);
}
