#include <windows.h>
#include <pathcch.h>

#include <algorithm>
#include <memory>

#include "events/event_history.h"
#include "monitor/monitor_start.h"
#include "monitor/monitors.h"
#include "rename/folder_memory.h"
#include "rename/folder_scan.h"
#include "settings/statistics.h"

static const wchar_t PathTooLong[] =
    L"The following directory path contains %d characters, maxium is %d. It will not be monitored";
static const wchar_t FolderMissing[] = L"Directory '%s', does not exist, Directory is not monitored";
static const wchar_t CannotWatch[] = L"FindFirstFile for %s returns %d, Directory is not monitored";
static const wchar_t WaitFailed[] = L"Error %d waiting on %s. Folder is not monitored";
static const wchar_t RearmFailed[] = L"Error %d FindNextChangeNotification, %s is not monitored";

std::atomic<void (*)(const wchar_t*)> MonitorScanObserver{nullptr};

static void Scan(const wchar_t* scanPath, uint32_t scanLength, FolderMemory& memory)
{
    ScanFolder(scanPath, scanLength, memory);
    if (auto observer = MonitorScanObserver.load())
        observer(scanPath);
}

static void RequestStatisticsRefresh()
{
    HWND page = static_cast<HWND>(StatisticsPageWindow.load());
    if (page)
        PostMessageW(page, WM_PAINT, 0, 0);
}

// Watches one folder until its set's stop signal; returns the thread's exit code.
static DWORD WatchFolder(const MonitorStart& start)
{
    const wchar_t* path = start.path.c_str();
    if (start.path.size() > MaxWatchedPathLength) {
        LogEventFormat(PathTooLong, static_cast<int>(start.path.size()),
                       static_cast<int>(MaxWatchedPathLength));
        LogEvent(path);
        return 0xFFFFFFFF;
    }

    // The scan works on the path with one trailing backslash; a drive root
    // has its own already.
    wchar_t scanPath[MaxWatchedPathLength + 2];
    wcscpy_s(scanPath, path);
    PathCchAddBackslash(scanPath, ARRAYSIZE(scanPath));
    uint32_t scanLength = static_cast<uint32_t>(wcslen(scanPath));

    HANDLE change = FindFirstChangeNotificationW(path, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    if (change == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            LogEventFormat(FolderMissing, path);
        else
            LogEventFormat(CannotWatch, path, static_cast<int>(error));
        return error;
    }

    // What the scans learn stays with this monitor while it runs; what bears
    // its name is kept for the next monitor of the folder as well.
    FolderMemory memory;
    memory.keptFile.kept = true;
    Scan(scanPath, scanLength, memory);
    CountMonitor(start.set, +1);

    // The stop signal comes first, so it wins when both are signalled.
    HANDLE signals[2] = {start.stop, change};
    DWORD exitCode = 0;
    for (;;) {
        // With nothing busy and nothing to write the wait has no time limit;
        // a busy file is tried again when its retry is due, change or not, and
        // pictures settled since the last write are written within a minute.
        ULONGLONG now = GetTickCount64();
        DWORD retryWait = NextRetryWaitMs(memory.busy, now);
        DWORD woken = WaitForMultipleObjects(
            2, signals, FALSE, std::min(retryWait, NextKeptPicturesSaveMs(memory, now)));
        if (woken == WAIT_OBJECT_0)
            break;
        if (woken == WAIT_TIMEOUT) {
            if (NextRetryWaitMs(memory.busy, GetTickCount64()) == 0) {
                Scan(scanPath, scanLength, memory);
                RequestStatisticsRefresh();
            }
            SaveKeptPictures(memory, true);
            continue;
        }
        if (woken != WAIT_OBJECT_0 + 1) {
            exitCode = GetLastError();
            LogEventFormat(WaitFailed, static_cast<int>(exitCode), path);
            break;
        }

        // Let a burst of changes (a card being copied) settle into one scan.
        // The handle is armed again before the scan, not after it: some
        // platforms (Wine) drop the changes made while it is not armed, and
        // a file landing during the scan must still wake the monitor once
        // more. Where pending changes are kept (Windows) this is the same.
        Sleep(RescanDelayMs);
        bool rearmed = FindNextChangeNotification(change) != 0;
        DWORD rearmError = rearmed ? 0 : GetLastError();
        Scan(scanPath, scanLength, memory);
        if (!rearmed) {
            exitCode = rearmError;
            LogEventFormat(RearmFailed, static_cast<int>(exitCode), path);
            break;
        }
        RequestStatisticsRefresh();
    }

    FindCloseChangeNotification(change);
    CountMonitor(start.set, -1);
    SaveKeptPictures(memory, false);
    return exitCode;
}

DWORD WINAPI MonitorFolder(LPVOID parameter)
{
    std::unique_ptr<MonitorStart> start(static_cast<MonitorStart*>(parameter));
    DWORD exitCode = WatchFolder(*start);
    CloseHandle(start->stop);
    return exitCode;
}
