// lumistamp-bench-floor [--heif] [--video] [--list [--passes N] | --rename [--companions]]
//                       FOLDER
// The floor of a folder scan on this platform: list the folder and, per
// picture, open it, read its first 64 KiB, close it and (with --rename) rename
// it. The least any program that reads picture headers must do. With
// --companions it also asks for the picture's .NEF and renames it when there:
// the least a program must do for the whole result of a card import. With
// --list it only lists the folder: the least any scan must do to learn that
// nothing changed; --passes N lists it N times in one process, as a monitor's
// scans do. With --heif, HEIC and HEIF pictures are pictures too, as with the
// scan's HeifPictures option; with --video, videos are pictures too, as with
// its VideoFiles option. Prints one RESULT line with the time of each
// whole pass.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tools/bench_common.h"

constexpr DWORD HeaderBytes = 64 * 1024;

int wmain(int argc, wchar_t** argv)
{
    for (; argc >= 2; --argc, ++argv) {
        if (wcscmp(argv[1], L"--heif") == 0)
            HeifPictureNames = true;
        else if (wcscmp(argv[1], L"--video") == 0)
            VideoPictureNames = true;
        else
            break;
    }
    bool listOnly = (argc == 3 || argc == 5) && wcscmp(argv[1], L"--list") == 0;
    int passes = 1;
    if (listOnly && argc == 5) {
        passes = wcscmp(argv[2], L"--passes") == 0 ? _wtoi(argv[3]) : 0;
        listOnly = passes > 0;
    }
    bool rename = argc >= 3 && wcscmp(argv[1], L"--rename") == 0;
    bool companions = argc == 4 && rename && wcscmp(argv[2], L"--companions") == 0;
    if (argc != 2 && !listOnly && !(rename && argc == 3) && !companions) {
        fputs("usage: lumistamp-bench-floor [--heif] [--video] [--list [--passes N] | "
              "--rename [--companions]] FOLDER\n",
              stderr);
        return 2;
    }
    std::wstring folder = WithBackslash(argv[argc - 1]);
    std::vector<unsigned char> header(HeaderBytes);
    for (int pass = 0; pass < passes; ++pass) {
        int pictures = 0;
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        bool listed = ForEachPicture(folder, [&](const std::wstring& path, const wchar_t* name) {
            if (listOnly) {
                ++pictures;
                return;
            }
            HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE)
                return;
            DWORD read = 0;
            ReadFile(file, header.data(), HeaderBytes, &read, nullptr);
            CloseHandle(file);
            if (rename)
                MoveFileW(path.c_str(), RenamedPath(folder, pictures, name).c_str());
            if (companions) {
                std::wstring raw = path.substr(0, path.rfind(L'.')) + L".NEF";
                if (GetFileAttributesW(raw.c_str()) != INVALID_FILE_ATTRIBUTES)
                    MoveFileW(raw.c_str(), RenamedPath(folder, pictures, L".NEF").c_str());
            }
            ++pictures;
        });
        if (!listed)
            return 1;
        PrintResult(pictures, MicrosecondsSince(start));
    }
    return 0;
}
