#include "events/log_file.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "events/event_history.h"

static const wchar_t LogFolderName[] = L"Lumistamp";
static const wchar_t LogFileName[] = L"Lumistamp.Log";

// Where the log file is, worked out at its first use. Guarded by the history
// lock, as the file itself is.
struct LogFileLocation {
    bool known = false;
    std::wstring folder;  // "<local app data>\Lumistamp"
    std::wstring path;    // "<local app data>\Lumistamp\Lumistamp.Log"
};
static LogFileLocation Location;
static std::wstring LocalAppDataStandIn;  // set by tests only

std::string ToLatin1(const std::wstring& line)
{
    std::string bytes;
    bytes.reserve(line.size());
    for (wchar_t unit : line)
        bytes.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
    return bytes;
}

// The system error code an HRESULT carries, or the HRESULT itself.
static uint32_t ErrorCodeOf(HRESULT result)
{
    return HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result)
                                                      : static_cast<uint32_t>(result);
}

// Fills Location once. When the known folder cannot be found, error receives
// the reason and the next line tries again.
static bool FindLocation(uint32_t* error)
{
    if (Location.known)
        return true;
    std::wstring base = LocalAppDataStandIn;
    if (base.empty()) {
        PWSTR known = nullptr;
        HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known);
        if (SUCCEEDED(result))
            base = known;
        CoTaskMemFree(known);
        if (FAILED(result)) {
            *error = ErrorCodeOf(result);
            return false;
        }
    }
    if (!base.empty() && base.back() != L'\\')
        base += L'\\';
    Location.folder = base + LogFolderName;
    Location.path = Location.folder + L'\\' + LogFileName;
    Location.known = true;
    return true;
}

static HANDLE CreateLogFile()
{
    // Append-only access makes every write land at the end of the file, even
    // when another program has appended meanwhile.
    return CreateFileW(Location.path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The log file opened for appending, its folder made when missing (before the
// first line ever, or removed since); INVALID_HANDLE_VALUE with the reason.
static HANDLE OpenLogFile(uint32_t* error)
{
    if (!FindLocation(error))
        return INVALID_HANDLE_VALUE;
    HANDLE file = CreateLogFile();
    if (file != INVALID_HANDLE_VALUE)
        return file;
    DWORD openError = GetLastError();
    if (openError == ERROR_PATH_NOT_FOUND) {
        if (!CreateDirectoryW(Location.folder.c_str(), nullptr)) {
            DWORD folderError = GetLastError();
            if (folderError != ERROR_ALREADY_EXISTS) {
                *error = folderError;
                return INVALID_HANDLE_VALUE;
            }
        }
        file = CreateLogFile();
        if (file != INVALID_HANDLE_VALUE)
            return file;
        openError = GetLastError();
    }
    *error = openError;
    return INVALID_HANDLE_VALUE;
}

LogFileResult AppendToLogFile(const std::wstring& line, uint32_t* error)
{
    std::string record = ToLatin1(line);
    record += "\r\n";

    HANDLE file = OpenLogFile(error);
    if (file == INVALID_HANDLE_VALUE)
        return LogFileResult::OpenFailed;

    DWORD written = 0;
    LogFileResult result = LogFileResult::Written;
    if (!WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr)) {
        *error = GetLastError();
        result = LogFileResult::WriteFailed;
    }
    CloseHandle(file);
    return result;
}

std::wstring LogFilePath()
{
    HistoryLockGuard lock;
    uint32_t error = 0;
    return FindLocation(&error) ? Location.path : std::wstring();
}

std::wstring ProgramDataFolder()
{
    HistoryLockGuard lock;
    uint32_t error = 0;
    return FindLocation(&error) ? Location.folder : std::wstring();
}

std::wstring ReplaceLocalAppDataForTests(const std::wstring& folder)
{
    HistoryLockGuard lock;
    std::wstring previous = LocalAppDataStandIn;
    LocalAppDataStandIn = folder;
    Location = LogFileLocation();
    return previous;
}
