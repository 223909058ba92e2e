// lumistamp-scan [--file-modified-date] [--log-file] [--time] FOLDER
// Developer tool: one scan of FOLDER exactly as a folder monitor makes it, with
// the options given (the log file is the program's own, under the user's local
// application data folder). Prints every event line, then the counters. Exit code 2 on a usage error, else 0.
#include <windows.h>
#include <pathcch.h>

#include <cstdio>
#include <string>

#include "events/event_history.h"
#include "rename/folder_scan.h"
#include "settings/settings.h"
#include "settings/statistics.h"

static void PrintUtf8(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                   nullptr, 0, nullptr, nullptr);
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
    for (int i = 1; i < argc; ++i) {
        std::wstring argument = argv[i];
        if (argument == L"--file-modified-date")
            Settings.FileModifiedDate = 1;
        else if (argument == L"--log-file")
            Settings.LogFile = 1;
        else if (argument == L"--time")
            timed = true;
        else if (!folder && !argument.starts_with(L"--"))
            folder = argv[i];
        else
            folder = nullptr, i = argc;  // unknown option or second folder
    }
    if (!folder) {
        fputs("usage: lumistamp-scan [--file-modified-date] [--log-file] [--time] FOLDER\n",
              stderr);
        return 2;
    }

    // The scan works on the path with exactly one trailing backslash.
    std::wstring path = folder;
    path.resize(path.size() + 2);
    PathCchAddBackslash(path.data(), path.size());
    path.resize(wcslen(path.c_str()));

    LARGE_INTEGER start, end, frequency;
    QueryPerformanceCounter(&start);
    ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()));
    QueryPerformanceCounter(&end);

    {
        HistoryLockGuard lock;
        for (const std::wstring& line : EventHistory)
            PrintUtf8(line);
    }
    printf("PicturesProcessed: %d\nPicturesRenamed: %d\n", Statistics.PicturesProcessed.load(),
           Statistics.PicturesRenamed.load());
    if (timed) {
        QueryPerformanceFrequency(&frequency);
        double ticks = static_cast<double>(end.QuadPart - start.QuadPart);
        printf("ScanMicroseconds: %.0f\n", 1e6 * ticks / static_cast<double>(frequency.QuadPart));
    }
    return 0;
}
