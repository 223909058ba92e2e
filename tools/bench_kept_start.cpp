// lumistamp-bench-kept-start ROOT FOLDERS PICTURES
// What a start (or an OK) costs when the watched folders' pictures already
// bear their names: FOLDERS folders ROOT\1 .. (made here) of PICTURES stamp-
// named pictures each. Prints, as CPU seconds of this process:
//   listing   one listing of every folder, as a scan makes it
//   first     a monitor set's start with nothing kept (every picture read)
//   second    the next start, with the kept files (what a program start at
//             logon and an OK with the folders unchanged cost)
// and the kept file's size per picture and its load time against a listing.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "events/log_file.h"
#include "monitor/monitors.h"
#include "rename/folder_listing.h"
#include "rename/folder_memory.h"
#include "rename/settled_store.h"
#include "settings/settings.h"
#include "settings/statistics.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/scratch_folder.h"
#include "tools/bench_common.h"

// Starts a monitor set over Settings.Folders and waits until every monitor has
// made its first scan; the CPU seconds that took. Stops the set afterwards.
static double StartAndStop(int folders)
{
    double before = ProcessCpuSeconds();
    PrepareMonitorSet();
    StartMonitors();
    ULONGLONG until = GetTickCount64() + 600000;
    while (Statistics.FoldersMonitored.load() < folders && GetTickCount64() < until)
        Sleep(5);
    double cpu = ProcessCpuSeconds() - before;
    StopAllMonitors(60000);
    return cpu;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        fputs("usage: lumistamp-bench-kept-start ROOT FOLDERS PICTURES\n", stderr);
        return 2;
    }
    std::wstring root = WithBackslash(argv[1]);
    int folders = _wtoi(argv[2]);
    int pictures = _wtoi(argv[3]);
    CreateDirectoryW((root + L"appdata").c_str(), nullptr);
    ReplaceLocalAppDataForTests(root + L"appdata");

    std::vector<uint8_t> jpeg = JpegWithDate(0x9003, "2021:01:01 00:00:00");
    for (int f = 1; f <= folders; ++f) {
        std::wstring folder = root + std::to_wstring(f);
        CreateDirectoryW(folder.c_str(), nullptr);
        Settings.Folders.push_back(folder);
        for (int index = 0; index < pictures; ++index) {
            int day = 1 + index / 86400, second = index % 86400;
            char date[32];
            snprintf(date, sizeof(date), "2021:01:%02d %02d:%02d:%02d", day, second / 3600,
                     second / 60 % 60, second % 60);
            wchar_t name[40];
            swprintf(name, 40, L"\\202101%02d_%02d%02d%02d.jpg", day, second / 3600,
                     second / 60 % 60, second % 60);
            if (!WriteFileBytes(folder + name, JpegWithDate(0x9003, date))) {
                fputs("cannot write the pictures\n", stderr);
                return 1;
            }
        }
    }

    double before = ProcessCpuSeconds();
    LARGE_INTEGER started;
    QueryPerformanceCounter(&started);
    for (const std::wstring& folder : Settings.Folders) {
        FolderListing listing;
        ListFolder(folder + L"\\", &listing);
    }
    double listingCpu = ProcessCpuSeconds() - before;
    double listingUs = MicrosecondsSince(started);

    double first = StartAndStop(folders);
    double second = StartAndStop(folders);

    // The kept file of the first folder: its size, and its load alone.
    std::wstring folder = Settings.Folders.front() + L"\\";
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(KeptPicturesPath(folder).c_str(), GetFileExInfoStandard, &data);
    FolderListing listing;
    ListFolder(folder, &listing);
    QueryPerformanceCounter(&started);
    FolderMemory memory;
    LoadKeptPictures(memory, folder, listing.volumeSerial);
    double loadUs = MicrosecondsSince(started);
    QueryPerformanceCounter(&started);
    FolderListing again;
    ListFolder(folder, &again);
    double oneListingUs = MicrosecondsSince(started);

    printf("KEPT folders=%d pictures=%d listing_cpu=%.3f listing_ms=%.1f first_cpu=%.3f "
           "second_cpu=%.3f file_bytes=%lu loaded=%zu load_ms=%.1f one_listing_ms=%.1f\n",
           folders, pictures, listingCpu, listingUs / 1000, first, second, data.nFileSizeLow,
           memory.settled.byName.size(), loadUs / 1000, oneListingUs / 1000);
    return 0;
}
