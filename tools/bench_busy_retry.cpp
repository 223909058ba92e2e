// lumistamp-bench-busy-retry ROOT PICTURES SECONDS
// What a file refused for a long time costs its monitor: one monitor watches
// ROOT\watched (made here) with PICTURES pictures that already bear their
// stamp names and one more that another program holds open without delete
// sharing, so that its rename is refused at every try. After the monitor's
// first scan the process's CPU time and the monitor's scans are counted over
// SECONDS seconds; the hold lasts all along. Prints
// "BUSY pictures=N seconds=S scans=K cpu_seconds=C lines=L".
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "events/event_history.h"
#include "monitor/monitors.h"
#include "settings/settings.h"
#include "settings/statistics.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/scratch_folder.h"
#include "tools/bench_common.h"

static std::atomic<int> Scans{0};

static void CountScan(const wchar_t*) { ++Scans; }

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        fputs("usage: lumistamp-bench-busy-retry ROOT PICTURES SECONDS\n", stderr);
        return 2;
    }
    std::wstring folder = WithBackslash(argv[1]) + L"watched";
    int pictures = _wtoi(argv[2]);
    DWORD seconds = static_cast<DWORD>(_wtoi(argv[3]));
    CreateDirectoryW(folder.c_str(), nullptr);

    // Pictures a second apart from 2021-01-01 00:00:00, each under its stamp.
    for (int index = 0; index < pictures; ++index) {
        int day = 1 + index / 86400, second = index % 86400;
        char date[32];
        snprintf(date, sizeof(date), "2021:01:%02d %02d:%02d:%02d", day, second / 3600,
                 second / 60 % 60, second % 60);
        wchar_t name[40];
        swprintf(name, 40, L"\\202101%02d_%02d%02d%02d.jpg", day, second / 3600, second / 60 % 60,
                 second % 60);
        if (!WriteFileBytes(folder + name, JpegWithDate(0x9003, date))) {
            fprintf(stderr, "cannot write the pictures\n");
            return 1;
        }
    }
    std::wstring held = folder + L"\\DSC_0001.jpg";
    WriteFileBytes(held, JpegWithDate(0x9003, "2022:06:01 12:00:00"));
    HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);

    MonitorScanObserver = &CountScan;
    Settings.Folders.push_back(folder);
    PrepareMonitorSet();
    StartMonitors();
    ULONGLONG until = GetTickCount64() + 120000;
    while (Statistics.FoldersMonitored.load() < 1 && GetTickCount64() < until)
        Sleep(10);
    if (Statistics.FoldersMonitored.load() != 1) {
        fputs("the monitor did not start\n", stderr);
        return 1;
    }

    int scansBefore = Scans.load();
    double before = ProcessCpuSeconds();
    Sleep(seconds * 1000);
    double cpu = ProcessCpuSeconds() - before;
    int scans = Scans.load() - scansBefore;
    size_t lines = 0;
    {
        HistoryLockGuard lock;
        lines = EventHistory.size();
    }
    printf("BUSY pictures=%d seconds=%lu scans=%d cpu_seconds=%.3f lines=%zu\n", pictures, seconds,
           scans, cpu, lines);
    StopAllMonitors(5000);
    CloseHandle(holder);
    return 0;
}
