#include <windows.h>
#include <pathcch.h>

#include <algorithm>
#include <memory>
#include <string>

#include "events/event_history.h"
#include "monitor/folder_holds.h"
#include "monitor/folder_watch.h"
#include "monitor/monitor_start.h"
#include "monitor/monitors.h"
#include "rename/folder_claims.h"
#include "rename/folder_memory.h"
#include "rename/folder_scan.h"
#include "rename/restored_pictures.h"
#include "settings/statistics.h"

static const wchar_t PathTooLong[] =
    L"The following directory path contains %d characters, maxium is %d. It will not be monitored";
static const wchar_t FolderMissing[] =
    L"Directory '%s', does not exist, Directory is not monitored";
static const wchar_t CannotWatch[] = L"FindFirstFile for %s returns %d, Directory is not monitored";
static const wchar_t WaitFailed[] = L"Error %d waiting on %s. Folder is not monitored";
static const wchar_t RearmFailed[] = L"Error %d FindNextChangeNotification, %s is not monitored";
static const wchar_t WatchedAgain[] = L"Directory '%s' is back, Directory is monitored again";

std::atomic<void (*)(const wchar_t*)> MonitorScanObserver{nullptr};

// Why a monitor stopped watching its folder.
enum class WatchEnd {
    Stopped,  // its set's stop signal
    LetGo,    // asked to, before the folder's drive goes
    Lost,     // the folder is gone, or the path names another directory now
    Failed,   // the wait or the re-arm failed, and said so
};

// What one monitor works with.
struct Monitor {
    const MonitorStart& start;
    const wchar_t* path;
    wchar_t scanPath[MaxWatchedPathLength + 2];  // the path with one trailing backslash
    uint32_t scanLength;
};

// A stop, or a request to let go of the folder, ends a scan, a delay or a wait.
static bool Interrupted(DWORD woken)
{
    return woken == WAIT_OBJECT_0 || woken == WAIT_OBJECT_0 + 1;
}

static WatchEnd InterruptOf(DWORD woken)
{
    return woken == WAIT_OBJECT_0 ? WatchEnd::Stopped : WatchEnd::LetGo;
}

static void Scan(const Monitor& monitor, FolderMemory& memory)
{
    HANDLE interrupts[2] = {monitor.start.stop, monitor.start.hold->letGo};
    // A restore of the folder is waited for, and what it gave back is left
    // as it is.
    std::wstring folder(monitor.scanPath, monitor.scanLength);
    BeginFolderScan(folder);
    TakeRestoredPictures(memory, folder);
    ScanFolder(monitor.scanPath, monitor.scanLength, memory, interrupts, 2);
    EndFolderScan(folder);
    if (auto observer = MonitorScanObserver.load())
        observer(monitor.scanPath);
}

static void RequestStatisticsRefresh()
{
    HWND page = static_cast<HWND>(StatisticsPageWindow.load());
    if (page)
        PostMessageW(page, WM_PAINT, 0, 0);
}

// The line of a folder that cannot be watched.
static void ReportNotWatched(const wchar_t* path, DWORD error)
{
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        LogEventFormat(FolderMissing, path);
    else
        LogEventFormat(CannotWatch, path, static_cast<int>(error));
}

// Watches the open folder from its first scan until a stop, a request to let
// go, or its loss; then lets go of it.
static WatchEnd WatchOpenFolder(const Monitor& monitor, FolderWatch& watch)
{
    const MonitorStart& start = monitor.start;
    HoldFolder(*start.hold, watch.folder, monitor.path);
    // What the scans learn stays with this watch: a folder that comes back is
    // scanned as a new one. What bears its name is kept for the next monitor
    // of the folder as well, and for this one's next watch.
    FolderMemory memory;
    memory.keptFile.kept = true;
    Scan(monitor, memory);
    CountMonitor(start.set, +1);

    // The stop signal comes first, so it wins when several are signalled.
    HANDLE signals[3] = {start.stop, start.hold->letGo, watch.change};
    WatchEnd end;
    for (;;) {
        // A busy file is tried again when its retry is due, change or not;
        // online-only pictures are looked at again for being made local, and
        // a folder that every way failed to list part-way is listed again; the
        // folder itself is looked at when the interval passes unchanged;
        // pictures settled since the kept file was written are written
        // within a minute.
        ULONGLONG now = GetTickCount64();
        DWORD waitMs = std::min({NextRetryWaitMs(memory.busy, now),
                                 NextOnlineOnlyLookMs(memory.onlineOnly, now),
                                 NextListingRetryMs(memory.listingMethod, now),
                                 FolderLookIntervalMs, NextKeptPicturesSaveMs(memory, now)});
        DWORD woken = WaitForMultipleObjects(3, signals, FALSE, waitMs);
        if (Interrupted(woken)) {
            end = InterruptOf(woken);
            break;
        }
        if (woken == WAIT_TIMEOUT) {
            if (!StillTheWatchedFolder(monitor.path, watch)) {
                end = WatchEnd::Lost;
                break;
            }
            now = GetTickCount64();
            if (NextRetryWaitMs(memory.busy, now) == 0 ||
                NextOnlineOnlyLookMs(memory.onlineOnly, now) == 0 ||
                NextListingRetryMs(memory.listingMethod, now) == 0) {
                Scan(monitor, memory);
                RequestStatisticsRefresh();
            }
            SaveKeptPictures(memory, true);
            continue;
        }
        if (woken != WAIT_OBJECT_0 + 2) {
            LogEventFormat(WaitFailed, static_cast<int>(GetLastError()), monitor.path);
            end = WatchEnd::Failed;
            break;
        }

        // Let a burst of changes (a card being copied) settle into one scan.
        DWORD delayed = WaitForMultipleObjects(2, signals, FALSE, RescanDelayMs);
        if (Interrupted(delayed)) {
            end = InterruptOf(delayed);
            break;
        }
        // The handle is armed again before the scan, not after it: some
        // platforms (Wine) drop the changes made while it is not armed, and
        // a file landing during the scan must still wake the monitor once
        // more. Where pending changes are kept (Windows) this is the same.
        bool rearmed = FindNextChangeNotification(watch.change) != 0;
        DWORD rearmError = rearmed ? 0 : GetLastError();
        Scan(monitor, memory);
        if (!rearmed) {
            LogEventFormat(RearmFailed, static_cast<int>(rearmError), monitor.path);
            end = WatchEnd::Failed;
            break;
        }
        RequestStatisticsRefresh();
    }

    CountMonitor(start.set, -1);
    LetGoOfFolder(*start.hold, watch, end == WatchEnd::LetGo);
    SaveKeptPictures(memory, false);
    return end;
}

// Waits for the folder until it can be watched again, looking for it after
// firstLookMs and then at every interval, or at once when told to; logs the
// first failure of the absence unless its line was logged already. False on
// a stop (or a wait that fails, which says so).
static bool AwaitFolder(const Monitor& monitor, FolderWatch& watch, DWORD firstLookMs,
                        bool reported)
{
    HANDLE signals[2] = {monitor.start.stop, monitor.start.hold->lookAgain};
    DWORD waitMs = firstLookMs;
    for (;;) {
        DWORD woken = WaitForMultipleObjects(2, signals, FALSE, waitMs);
        if (woken == WAIT_OBJECT_0)
            return false;
        if (woken != WAIT_OBJECT_0 + 1 && woken != WAIT_TIMEOUT) {
            LogEventFormat(WaitFailed, static_cast<int>(GetLastError()), monitor.path);
            return false;
        }
        DWORD error = OpenFolderWatch(monitor.path, watch);
        if (error == 0)
            return true;
        if (!reported)
            ReportNotWatched(monitor.path, error);
        reported = true;
        waitMs = FolderLookIntervalMs;  // nothing is logged while it stays away
    }
}

// When to look for a folder that was watched until now: at once when it went
// (it may be back already under the same name), after the interval when its
// drive is going or a failure was just reported.
static DWORD FirstLookAfter(WatchEnd end)
{
    return end == WatchEnd::Lost ? 0 : FolderLookIntervalMs;
}

// Watches one folder until its set's stop signal, waiting for it whenever it
// is missing; returns the thread's exit code.
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
    Monitor monitor{start, path, {}, 0};
    wcscpy_s(monitor.scanPath, path);
    PathCchAddBackslash(monitor.scanPath, ARRAYSIZE(monitor.scanPath));
    monitor.scanLength = static_cast<uint32_t>(wcslen(monitor.scanPath));

    FolderWatch watch;
    DWORD error = OpenFolderWatch(path, watch);
    if (error != 0) {
        ReportNotWatched(path, error);
        if (NeverAFolder(error))
            return error;
        if (!AwaitFolder(monitor, watch, FolderLookIntervalMs, true))
            return 0;
        LogEventFormat(WatchedAgain, path);
    }
    for (;;) {
        WatchEnd end = WatchOpenFolder(monitor, watch);
        if (end == WatchEnd::Stopped)
            return 0;
        if (!AwaitFolder(monitor, watch, FirstLookAfter(end), end == WatchEnd::Failed))
            return 0;
        LogEventFormat(WatchedAgain, path);
    }
}

DWORD WINAPI MonitorFolder(LPVOID parameter)
{
    std::unique_ptr<MonitorStart> start(static_cast<MonitorStart*>(parameter));
    DWORD exitCode = WatchFolder(*start);
    DeleteFolderHold(start->hold);
    CloseHandle(start->stop);
    return exitCode;
}
