// lumistamp-scan [--file-modified-date] [--log-file] [--heif] [--video] [--companions TEXT]
//                [--time] [--scans N] FOLDER
// Developer tool: one scan of FOLDER exactly as a folder monitor makes it, with
// the options given (the log file is the program's own, under the user's local
// application data folder; --heif is the HeifPictures option, --video the
// VideoFiles option, --companions TEXT the Companions value's text); with
// --scans N, N scans one after the other with one memory, as a monitor makes
// them. Prints every event line, then the counters, and with --time the first
// scan's time and those of the scans after it. Exit code 2 on a usage error, else 0.
#include <windows.h>
#include <pathcch.h>

#include <cstdio>
#include <string>
#include <vector>

#include "events/event_history.h"
#include "rename/folder_memory.h"
#include "rename/folder_scan.h"
#include "settings/companions.h"
#include "settings/settings.h"
#include "settings/statistics.h"

static void PrintUtf8(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    bytes += '\n';
    fwrite(bytes.data(), 1, bytes.size(), stdout);
}

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* folder = nullptr;
    bool timed = false;
    int scans = 1;
    for (int i = 1; i < argc; ++i) {
        std::wstring argument = argv[i];
        if (argument == L"--file-modified-date")
            Settings.FileModifiedDate = 1;
        else if (argument == L"--log-file")
            Settings.LogFile = 1;
        else if (argument == L"--heif")
            Settings.HeifPictures = 1;
        else if (argument == L"--video")
            Settings.VideoFiles = 1;
        else if (argument == L"--companions" && i + 1 < argc) {
            std::wstring companions = argv[++i];
            UseCompanions(&companions);
        } else if (argument == L"--time")
            timed = true;
        else if (argument == L"--scans" && i + 1 < argc && _wtoi(argv[i + 1]) > 0)
            scans = _wtoi(argv[++i]);
        else if (!folder && !argument.starts_with(L"--"))
            folder = argv[i];
        else
            folder = nullptr, i = argc;  // unknown option or second folder
    }
    if (!folder) {
        fputs("usage: lumistamp-scan [--file-modified-date] [--log-file] [--heif] [--video] "
              "[--companions TEXT] [--time] [--scans N] FOLDER\n",
              stderr);
        return 2;
    }

    // The scan works on the path with exactly one trailing backslash.
    std::wstring path = folder;
    path.resize(path.size() + 2);
    PathCchAddBackslash(path.data(), path.size());
    path.resize(wcslen(path.c_str()));

    // What a monitor keeps from one scan to the next: the first scan settles
    // the pictures, the later ones pass over those that did not change.
    FolderMemory memory;
    std::vector<double> microseconds;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int scan = 0; scan < scans; ++scan) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()), memory);
        QueryPerformanceCounter(&end);
        microseconds.push_back(1e6 * static_cast<double>(end.QuadPart - start.QuadPart) /
                               static_cast<double>(frequency.QuadPart));
    }

    {
        HistoryLockGuard lock;
        for (const std::wstring& line : EventHistory)
            PrintUtf8(line);
    }
    printf("PicturesProcessed: %d\nPicturesRenamed: %d\n", Statistics.PicturesProcessed.load(),
           Statistics.PicturesRenamed.load());
    if (timed) {
        printf("ScanMicroseconds: %.0f\n", microseconds.front());
        if (scans > 1) {
            printf("RescanMicroseconds:");
            for (size_t scan = 1; scan < microseconds.size(); ++scan)
                printf(" %.0f", microseconds[scan]);
            printf("\n");
        }
    }
    return 0;
}
