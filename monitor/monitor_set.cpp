#include "monitor/monitors.h"

#include <string>

#include "events/event_history.h"
#include "monitor/monitor_start.h"
#include "settings/settings.h"
#include "settings/statistics.h"

HANDLE StopEvent = nullptr;
HANDLE MonitorThreads[MaxMonitors] = {};

static const wchar_t TooManyFolders[] = L"Monitoring only %d folders. Ignoring: %s";
static const wchar_t CannotStartThread[] = L"Cannot start monitoring thread, Error %d";
static const wchar_t CannotMakeStopEvent[] =
    L"Cannot create the stop signal for monitors, Error %d";

// Which set counts in FoldersMonitored; a monitor of an earlier set that is
// still running leaves the count alone. The lock makes the test and the change
// of the count one step against the switch to a new set.
static uint32_t CurrentMonitorSet = 0;
static SRWLOCK MonitorCountLock = SRWLOCK_INIT;

void CountMonitor(uint32_t set, int change)
{
    AcquireSRWLockExclusive(&MonitorCountLock);
    if (set == CurrentMonitorSet)
        Statistics.FoldersMonitored += change;
    ReleaseSRWLockExclusive(&MonitorCountLock);
}

void PrepareMonitorSet()
{
    HANDLE fresh = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (fresh) {
        // Monitors hold their own duplicates of the old event.
        if (StopEvent)
            CloseHandle(StopEvent);
        StopEvent = fresh;
    } else {
        LogEventFormat(CannotMakeStopEvent, static_cast<int>(GetLastError()));
        ResetEvent(StopEvent);
    }

    AcquireSRWLockExclusive(&MonitorCountLock);
    ++CurrentMonitorSet;
    Statistics.FoldersMonitored = 0;
    ReleaseSRWLockExclusive(&MonitorCountLock);
}

// Hands a monitor its own copy of the path and of the set's stop signal, and
// its hold for device notices.
static HANDLE StartMonitor(const std::wstring& folder)
{
    MonitorStart* start = new MonitorStart{folder, nullptr, CurrentMonitorSet, NewFolderHold()};
    HANDLE process = GetCurrentProcess();
    HANDLE thread = nullptr;
    if (start->hold &&
        DuplicateHandle(process, StopEvent, process, &start->stop, SYNCHRONIZE, FALSE, 0))
        thread = CreateThread(nullptr, 0, MonitorFolder, start, 0, nullptr);
    if (!thread) {
        DWORD error = GetLastError();
        if (start->stop)
            CloseHandle(start->stop);
        if (start->hold)
            DeleteFolderHold(start->hold);
        delete start;
        SetLastError(error);
    }
    return thread;
}

void StartMonitors()
{
    for (HANDLE& slot : MonitorThreads)
        slot = nullptr;

    int slot = 0;
    for (const std::wstring& folder : Settings.Folders) {
        if (slot == MaxMonitors) {
            LogEventFormat(TooManyFolders, MaxMonitors, folder.c_str());
            continue;
        }
        MonitorThreads[slot] = StartMonitor(folder);
        if (!MonitorThreads[slot])
            LogEventFormat(CannotStartThread, static_cast<int>(GetLastError()));
        ++slot;  // a slot whose thread failed is used up all the same
    }
}

void StopAllMonitors(DWORD timeLimitMs)
{
    SetEvent(StopEvent);

    // One overall limit, however many monitors: the platform waits on at most
    // MAXIMUM_WAIT_OBJECTS handles per call.
    ULONGLONG deadline = GetTickCount64() + timeLimitMs;
    HANDLE batch[MAXIMUM_WAIT_OBJECTS];
    DWORD count = 0;
    for (int slot = 0; slot <= MaxMonitors; ++slot) {
        if (slot < MaxMonitors && MonitorThreads[slot])
            batch[count++] = MonitorThreads[slot];
        if (count == MAXIMUM_WAIT_OBJECTS || (slot == MaxMonitors && count > 0)) {
            ULONGLONG now = GetTickCount64();
            DWORD remaining = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
            WaitForMultipleObjects(count, batch, TRUE, remaining);
            count = 0;
        }
    }

    for (HANDLE& thread : MonitorThreads) {
        if (thread)
            CloseHandle(thread);
        thread = nullptr;
    }
}
