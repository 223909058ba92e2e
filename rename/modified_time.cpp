#include "rename/modified_time.h"

#include <windows.h>

#include "events/event_history.h"
#include "rename/in_use.h"

static const wchar_t CannotOpenFile[] = L"Opening file %s to read modified date failed, Error %d";
static const wchar_t CannotReadFileTime[] = L"GetFileTime for %s failed, error %d";
static const wchar_t CannotConvertFileTime[] =
    L"Converting the modified date of %s failed, Error %d";

bool ReadModifiedTime(const wchar_t* path, CaptureTime* time, bool* busy)
{
    if (busy)
        *busy = false;
    // Sharing reads only: a file still being written elsewhere is left for a
    // later scan rather than named after a time that is about to change.
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (busy && IsInUseError(error)) {
            *busy = true;
            return false;
        }
        LogEventFormat(CannotOpenFile, path, static_cast<int>(error));
        return false;
    }

    FILETIME lastWrite;
    if (!GetFileTime(file, nullptr, nullptr, &lastWrite)) {
        LogEventFormat(CannotReadFileTime, path, static_cast<int>(GetLastError()));
        CloseHandle(file);
        return false;
    }

    SYSTEMTIME utc, local;
    bool converted = FileTimeToSystemTime(&lastWrite, &utc) &&
                     SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    if (!converted)
        LogEventFormat(CannotConvertFileTime, path, static_cast<int>(GetLastError()));
    CloseHandle(file);
    if (!converted)
        return false;

    *time = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
    return true;
}
