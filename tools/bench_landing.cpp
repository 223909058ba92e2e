// lumistamp-bench-landing SOURCE_FOLDER WATCHED_FOLDER
// The time from a picture landing in a watched folder to its rename: one
// folder monitor watches WATCHED_FOLDER; each picture of SOURCE_FOLDER in turn
// is copied in, and the time runs from the end of the copy until the picture's
// name is gone (renamed). Before the next one lands, the monitor's follow-up
// scan (2 s after its own renames) is awaited, so each landing meets an idle
// monitor. Prints one "LANDING microseconds=T" line per picture.
#include <windows.h>

#include <cstdio>
#include <string>

#include "monitor/monitors.h"
#include "settings/settings.h"
#include "settings/statistics.h"
#include "tools/bench_common.h"

// Upper bound of every wait, so that a broken monitor ends the run.
constexpr DWORD WaitLimitMs = 30000;

// Waits until done() holds, waking on the folder's name changes and at least
// every 10 ms; false when the limit passed first.
template <typename Done>
static bool WaitUntil(HANDLE change, Done done)
{
    ULONGLONG until = GetTickCount64() + WaitLimitMs;
    while (!done()) {
        if (GetTickCount64() > until)
            return false;
        if (WaitForSingleObject(change, 10) == WAIT_OBJECT_0)
            FindNextChangeNotification(change);
    }
    return true;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        fputs("usage: lumistamp-bench-landing SOURCE_FOLDER WATCHED_FOLDER\n", stderr);
        return 2;
    }
    std::wstring source = WithBackslash(argv[1]);
    std::wstring watched = argv[2];
    std::wstring target = WithBackslash(argv[2]);

    HANDLE change =
        FindFirstChangeNotificationW(watched.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    if (change == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot watch the folder, error %lu\n", GetLastError());
        return 1;
    }
    Settings.Folders = {watched};
    PrepareMonitorSet();
    StartMonitors();
    if (!WaitUntil(change, [] { return Statistics.FoldersMonitored.load() == 1; })) {
        fputs("the monitor did not start\n", stderr);
        return 1;
    }

    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((source + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return 1;
    int status = 0;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsPictureName(entry.cFileName))
            continue;
        std::wstring landed = target + entry.cFileName;
        int32_t processed = Statistics.PicturesProcessed.load();
        if (!CopyFileW((source + entry.cFileName).c_str(), landed.c_str(), TRUE)) {
            status = 1;
            break;
        }
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        bool renamed = WaitUntil(change, [&] {
            return GetFileAttributesW(landed.c_str()) == INVALID_FILE_ATTRIBUTES;
        });
        double microseconds = MicrosecondsSince(start);
        if (!renamed) {
            fputs("the picture was not renamed in time\n", stderr);
            status = 1;
            break;
        }
        printf("LANDING microseconds=%.0f\n", microseconds);
        // The rename scan, then the follow-up scan it causes, have both met it.
        auto bothScans = [&] { return Statistics.PicturesProcessed.load() >= processed + 2; };
        if (!WaitUntil(change, bothScans)) {
            status = 1;
            break;
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    StopAllMonitors(5000);
    FindCloseChangeNotification(change);
    return status;
}
