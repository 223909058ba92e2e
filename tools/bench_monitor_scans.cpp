// lumistamp-bench-monitor-scans touched SCANS FOLDER
// lumistamp-bench-monitor-scans landing SOURCE_FOLDER FOLDER
// lumistamp-bench-monitor-scans history [--fresh] SOURCE_FOLDER FOLDER
// A big folder's scans as its monitor makes them, with one memory, the first
// scan (the monitor's start) untimed:
//   touched: before each of the SCANS - 1 later scans every picture's
//            last-write time moves on (untimed), so that nothing is unchanged;
//            prints "RESULT pictures=N microseconds=T" per timed scan.
//   landing: each picture of SOURCE_FOLDER in turn is copied in (untimed),
//            then the two scans it causes run: the landing scan, which renames
//            it, and the rescan after that rename; prints
//            "LANDING microseconds=T renamed=R" per picture.
//   history: each picture of SOURCE_FOLDER lands as above; prints
//            "HISTORY lines=L first_scan_lines=F scans=S", the event lines of
//            all the scans. With --fresh every scan starts with an empty
//            memory, as every scan did before monitors remembered.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "events/event_history.h"
#include "rename/folder_memory.h"
#include "rename/folder_scan.h"
#include "settings/statistics.h"
#include "tools/bench_common.h"

struct MonitorScans {
    std::wstring folder;  // with its trailing backslash
    FolderMemory memory;
    bool fresh = false;
    int scans = 0;
};

static void Scan(MonitorScans& monitor)
{
    if (monitor.fresh)
        monitor.memory = FolderMemory();
    ScanFolder(monitor.folder.c_str(), static_cast<uint32_t>(monitor.folder.size()),
               monitor.memory);
    ++monitor.scans;
}

static size_t HistoryLines()
{
    HistoryLockGuard lock;
    return EventHistory.size();
}

// Moves every picture's last-write time on by seconds, so that a scan meets
// each one as changed.
static bool TouchPictures(const std::wstring& folder, int seconds)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER moved;
    moved.LowPart = now.dwLowDateTime;
    moved.HighPart = now.dwHighDateTime;
    moved.QuadPart += static_cast<ULONGLONG>(seconds) * 10000000ULL;
    FILETIME when = {moved.LowPart, moved.HighPart};
    bool touched = true;
    bool listed = ForEachPicture(folder, [&](const std::wstring& path, const wchar_t*) {
        HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE || !SetFileTime(file, nullptr, nullptr, &when))
            touched = false;
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    });
    return listed && touched;
}

static int Touched(MonitorScans& monitor, int scans)
{
    Scan(monitor);
    for (int scan = 1; scan < scans; ++scan) {
        if (!TouchPictures(monitor.folder, scan)) {
            fputs("cannot touch the pictures\n", stderr);
            return 1;
        }
        int32_t processed = Statistics.PicturesProcessed.load();
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        Scan(monitor);
        PrintResult(Statistics.PicturesProcessed.load() - processed, MicrosecondsSince(start));
    }
    return 0;
}

// Lands each picture of source in turn: copied in, then the landing scan and
// the rescan after its rename. report(microseconds, renamed) follows each.
template <typename Report>
static bool LandEach(MonitorScans& monitor, const std::wstring& source, Report report)
{
    std::vector<std::wstring> names;
    if (!ForEachPicture(source,
                        [&](const std::wstring&, const wchar_t* name) { names.push_back(name); }))
        return false;
    for (const std::wstring& name : names) {
        if (!CopyFileW((source + name).c_str(), (monitor.folder + name).c_str(), TRUE)) {
            fprintf(stderr, "cannot copy a picture in, error %lu\n", GetLastError());
            return false;
        }
        int32_t renamed = Statistics.PicturesRenamed.load();
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        Scan(monitor);
        Scan(monitor);
        report(MicrosecondsSince(start), Statistics.PicturesRenamed.load() - renamed);
    }
    return true;
}

static int Landing(MonitorScans& monitor, const std::wstring& source)
{
    Scan(monitor);
    bool landed = LandEach(monitor, source, [](double microseconds, int32_t renamed) {
        printf("LANDING microseconds=%.0f renamed=%d\n", microseconds, renamed);
    });
    return landed ? 0 : 1;
}

static int History(MonitorScans& monitor, const std::wstring& source)
{
    Scan(monitor);
    size_t firstScanLines = HistoryLines();
    if (!LandEach(monitor, source, [](double, int32_t) {}))
        return 1;
    printf("HISTORY lines=%zu first_scan_lines=%zu scans=%d\n", HistoryLines(), firstScanLines,
           monitor.scans);
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    std::wstring mode = argc > 1 ? argv[1] : L"";
    MonitorScans monitor;
    if (mode == L"touched" && argc == 4 && _wtoi(argv[2]) > 1) {
        monitor.folder = WithBackslash(argv[3]);
        return Touched(monitor, _wtoi(argv[2]));
    }
    if (mode == L"landing" && argc == 4) {
        monitor.folder = WithBackslash(argv[3]);
        return Landing(monitor, WithBackslash(argv[2]));
    }
    monitor.fresh = argc == 5 && wcscmp(argv[2], L"--fresh") == 0;
    if (mode == L"history" && (argc == 4 || monitor.fresh)) {
        monitor.folder = WithBackslash(argv[argc - 1]);
        return History(monitor, WithBackslash(argv[argc - 2]));
    }
    fputs("usage: lumistamp-bench-monitor-scans touched SCANS FOLDER\n"
          "       lumistamp-bench-monitor-scans landing SOURCE_FOLDER FOLDER\n"
          "       lumistamp-bench-monitor-scans history [--fresh] SOURCE_FOLDER FOLDER\n",
          stderr);
    return 2;
}
