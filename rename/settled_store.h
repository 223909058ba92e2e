// A folder's settled pictures kept between monitor restarts and program runs,
// so that a start or an OK reads only what changed: one file per watched
// folder, "Settled\<hash of the folder path>.settled" in the program's folder
// under local application data (beside the log). Only the pictures that bear
// their names, or keep numbered names, are kept (settled_file.h); a file that
// does not match the folder's listing entry by entry costs just the reads it
// would have cost without it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct FolderMemory;

// How often a monitor writes the file at most while it runs; it writes it
// once more when it ends.
constexpr DWORD KeptPicturesSaveIntervalMs = 60000;
// The largest file that is read: 250,000 pictures take about 12 MB.
constexpr uint64_t MaxKeptPicturesFileBytes = 64ull * 1024 * 1024;

// The kept file's state in a monitor's memory. One-shot scans keep nothing.
struct KeptPicturesFile {
    bool kept = false;        // this memory is a monitor's, kept between runs
    bool loaded = false;      // read (or found missing or damaged) at the first scan
    std::wstring path;        // the file
    std::wstring folderPath;  // the folder, for messages
    std::string folderKey;    // the folder path as the file's header holds it
    uint32_t volumeSerial = 0;
    // As GetVolumeInformation names it: whether its change times tell rewrites
    // (ChangeTimeTellsRewrites), so that pictures can be kept.
    std::wstring fileSystem;
    ULONGLONG savedAt = 0;  // when it was last written, 0: not yet
    bool failureReported = false;
};

// The name, without its extension, of the files kept for a folder: the same
// for any spelling of the path's case.
std::wstring FolderFileName(const std::wstring& folderPath);

// The file that keeps a folder's pictures (folder path with its trailing
// backslash): the same for any spelling of the path's case.
std::wstring KeptPicturesPath(const std::wstring& folderPath);

// Reads the folder's kept pictures into the memory's settled pictures, before
// its first scan works through the listing; volumeSerial is the listed
// folder's. A missing file is no event; a truncated or corrupt one is ignored
// with one event line, a foreign one without, and either is written anew.
// Entries whose change time cannot tell a rewrite on the folder's file system
// (one an earlier version kept on a FAT volume) are passed over: their
// pictures are read again.
void LoadKeptPictures(FolderMemory& memory, const std::wstring& folderPath, uint32_t volumeSerial);
// The same, with the folder's file system as GetVolumeInformation names it.
void LoadKeptPictures(FolderMemory& memory, const std::wstring& folderPath, uint32_t volumeSerial,
                      const std::wstring& fileSystem);

// Writes the kept pictures when they changed since the last write, as a new
// file moved over the old one, so that no reader ever meets half a file:
// right away when the last write is a minute old (or there was none), or
// whenever soon is false (the monitor ends). Only pictures whose change time
// tells a rewrite are written, and no renamed picture before a listing gave
// its new change time. New files that earlier writes of the folder's file
// left behind (a crash, a power loss) are removed first.
void SaveKeptPictures(FolderMemory& memory, bool soon);

// How long the monitor may wait before a change it holds is due to be written;
// INFINITE when nothing is waiting to be written.
DWORD NextKeptPicturesSaveMs(const FolderMemory& memory, ULONGLONG now);
