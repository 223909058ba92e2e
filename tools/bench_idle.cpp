// lumistamp-bench-idle ROOT COUNT SECONDS [absent]
// Folder monitors at rest: COUNT monitors watch the empty folders ROOT\1 ..
// ROOT\COUNT (made here). Once all of them have finished their first scan, the
// file ROOT\ready appears (for a watcher outside), and the process's CPU time
// over the next SECONDS seconds and its working set are printed. With
// "absent", the folders are never made: the monitors wait for them, looking
// for each at its interval, and ROOT\ready appears once every one has said
// that its folder does not exist.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "events/event_history.h"
#include "monitor/monitors.h"
#include "settings/settings.h"
#include "settings/statistics.h"
#include "tools/bench_common.h"

int wmain(int argc, wchar_t** argv)
{
    bool absent = argc == 5 && wcscmp(argv[4], L"absent") == 0;
    if (argc != 4 && !absent) {
        fputs("usage: lumistamp-bench-idle ROOT COUNT SECONDS [absent]\n", stderr);
        return 2;
    }
    std::wstring root = WithBackslash(argv[1]);
    int count = _wtoi(argv[2]);
    DWORD seconds = static_cast<DWORD>(_wtoi(argv[3]));
    for (int index = 1; index <= count; ++index) {
        std::wstring folder = root + std::to_wstring(index);
        if (!absent)
            CreateDirectoryW(folder.c_str(), nullptr);
        Settings.Folders.push_back(folder);
    }

    PrepareMonitorSet();
    StartMonitors();
    // Every monitor at rest: watching its folder, or waiting for it once it
    // has said that it is missing.
    auto atRest = [&] {
        if (!absent)
            return Statistics.FoldersMonitored.load();
        HistoryLockGuard lock;
        return static_cast<int>(EventHistory.size());
    };
    ULONGLONG until = GetTickCount64() + 60000;
    while (atRest() < count && GetTickCount64() < until)
        Sleep(10);
    if (atRest() != count) {
        fprintf(stderr, "only %d monitors at rest\n", atRest());
        return 1;
    }

    HANDLE ready = CreateFileW((root + L"ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               0, nullptr);
    CloseHandle(ready);
    double before = ProcessCpuSeconds();
    Sleep(seconds * 1000);
    double cpu = ProcessCpuSeconds() - before;

    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    printf("IDLE monitors=%d seconds=%lu cpu_seconds=%.3f working_set_kib=%llu peak_kib=%llu\n",
           absent ? count - Statistics.FoldersMonitored.load() : Statistics.FoldersMonitored.load(),
           seconds, cpu, static_cast<unsigned long long>(memory.WorkingSetSize / 1024),
           static_cast<unsigned long long>(memory.PeakWorkingSetSize / 1024));
    StopAllMonitors(5000);
    return 0;
}
