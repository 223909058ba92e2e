// What the benchmark programs share: a stopwatch, the process's CPU time, the picture
// test, and one result line that bench/run reads.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

// Microseconds elapsed since start, from the performance counter.
double MicrosecondsSince(LARGE_INTEGER start);

// The CPU time this process has used so far, kernel and user, in seconds.
double ProcessCpuSeconds();

// HEIF pictures counted with the JPEG ones, as the scan counts them with the
// HeifPictures option on; set once from the command line.
extern bool HeifPictureNames;

// Videos counted with the pictures, as the scan counts them with the
// VideoFiles option on; set once from the command line.
extern bool VideoPictureNames;

// The scan's own test: an extension that begins with ".jpg" or ".jpeg", with
// HeifPictureNames one that begins with ".heic", ".heif" or ".hif", and with
// VideoPictureNames a video's (IsVideoExtension).
bool IsPictureName(const wchar_t* name);

// The folder path with exactly one trailing backslash.
std::wstring WithBackslash(const wchar_t* folder);

// A name that no picture of a corpus bears: where the floor and the GDI+ route
// rename their pictures to, so that they make one rename each and no lookup.
std::wstring RenamedPath(const std::wstring& folder, int index, const wchar_t* name);

// Lists the folder and calls visit(path, name) for each picture in it, in the
// listing's order. False (with a message) when the folder cannot be listed.
template <typename Visit>
bool ForEachPicture(const std::wstring& folder, Visit visit)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot list the folder, error %lu\n", GetLastError());
        return false;
    }
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsPictureName(entry.cFileName))
            visit(folder + entry.cFileName, entry.cFileName);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return true;
}

// "RESULT pictures=N microseconds=T", the line bench/run parses.
void PrintResult(int pictures, double microseconds);
