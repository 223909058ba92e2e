#include "monitor/folder_watch.h"

#include <cstring>

#include "capture/long_path.h"

// Opens the directory for its identity only: no right to read or change it,
// and every sharing mode, so that nobody else is refused anything.
static HANDLE OpenDirectory(const wchar_t* path)
{
    return CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

DWORD OpenFolderWatch(const wchar_t* path, FolderWatch& watch)
{
    // A folder of 260 characters is past MAX_PATH with its terminating null.
    watch.change =
        FindFirstChangeNotificationW(LongPath(path).c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    if (watch.change == INVALID_HANDLE_VALUE)
        return GetLastError();
    watch.folder = OpenDirectory(path);
    if (watch.folder == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        CloseFolderWatch(watch);
        return error;
    }
    return 0;
}

void CloseFolderWatch(FolderWatch& watch)
{
    if (watch.change != INVALID_HANDLE_VALUE)
        FindCloseChangeNotification(watch.change);
    if (watch.folder != INVALID_HANDLE_VALUE)
        CloseHandle(watch.folder);
    watch = FolderWatch{};
}

struct FolderIdentity {
    ULONGLONG volume;
    BYTE file[16];
};

// The volume and the file number of an open directory; the 128-bit form
// where the file system has it, else the older 64-bit one. False when the
// system tells neither.
static bool IdentityOf(HANDLE directory, FolderIdentity& identity)
{
    identity = {};
    FILE_ID_INFO id;
    if (GetFileInformationByHandleEx(directory, FileIdInfo, &id, sizeof(id))) {
        identity.volume = id.VolumeSerialNumber;
        memcpy(identity.file, &id.FileId, sizeof(identity.file));
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(directory, &info))
        return false;
    identity.volume = info.dwVolumeSerialNumber;
    memcpy(identity.file, &info.nFileIndexLow, sizeof(info.nFileIndexLow));
    memcpy(identity.file + 4, &info.nFileIndexHigh, sizeof(info.nFileIndexHigh));
    return true;
}

static bool DeletePending(HANDLE directory)
{
    FILE_STANDARD_INFO standard;
    return GetFileInformationByHandleEx(directory, FileStandardInfo, &standard, sizeof(standard)) &&
           standard.DeletePending;
}

bool StillTheWatchedFolder(const wchar_t* path, const FolderWatch& watch)
{
    if (DeletePending(watch.folder))
        return false;
    HANDLE now = OpenDirectory(path);
    if (now == INVALID_HANDLE_VALUE)
        return false;
    // Both asked now: under Wine the volume number follows where the directory
    // is mounted at the time of asking.
    FolderIdentity held, found;
    bool same = !IdentityOf(watch.folder, held) || !IdentityOf(now, found) ||
                memcmp(&held, &found, sizeof(held)) == 0;
    CloseHandle(now);
    return same;
}

bool NeverAFolder(DWORD error)
{
    switch (error) {
    case ERROR_DIRECTORY:     // a file
    case ERROR_INVALID_NAME:  // a character no name may hold, or a file asked for as a folder
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return true;
    default:
        return false;
    }
}
