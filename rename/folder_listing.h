// One listing of a watched folder: its pictures and raw files, with what the
// listing tells of each for free (size, creation, last-write and change time,
// attributes), taken once at the start of a scan so that companions are known
// before any picture is renamed.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "rename/listing_answers.h"
#include "settings/companions.h"

struct ListedFile {
    std::wstring name;  // the short name, as listed
    size_t extension;   // where the extension starts in name
    uint64_t size;
    uint64_t lastWrite;         // FILETIME as one number
    uint64_t changeTime;        // moves on any write or attribute change, as the file system keeps
                                // it; 0 where it keeps none (FAT) or the listing gives none
    uint32_t attributes;        // FILE_ATTRIBUTE_* as listed
    uint64_t creationTime = 0;  // FILETIME as one number
};

struct FolderListing {
    std::vector<ListedFile> pictures;  // in listing order
    // Entries that may travel with a picture: those whose extension is one of
    // the companions' in any case, and those of the sidecar kinds listed.
    std::vector<ListedFile> raws;
    // Raw files by their name in upper case, for companion look-ups.
    std::unordered_map<std::wstring, size_t> rawsByName;
    // What travels with a picture, as it stood when the listing was made.
    std::shared_ptr<const CompanionList> companions = CurrentCompanions();
    uint32_t volumeSerial = 0;  // of the volume the folder lies on
    std::wstring fileSystem;    // its file system as the volume names it ("NTFS", "FAT32"),
                                // empty when it cannot be told
};

// How a folder is listed. The directory query with file ids comes first; some
// redirectors and file systems refuse that class (Remote Desktop's redirected
// drives, some NAS), so the first listing of a watch finds the richest way the
// folder answers, and the watch keeps it.
enum class ListingMethod : uint8_t {
    NotTried,         // the next listing finds out
    IdBothDirectory,  // FileIdBothDirectoryInfo: times with the change time
    FullDirectory,    // FileFullDirectoryInfo: the same times, without file ids
    FindFiles,        // FindFirstFileExW: no change time
};

// What a watch knows of how its folder lists. Bound: a few bytes per folder.
struct ListingWay {
    ListingMethod method = ListingMethod::NotTried;
    // Every way failed part-way at the last listing (reported once): the
    // monitor lists the folder again within ListingRetryMs, change or not.
    bool failedMidway = false;
    ULONGLONG failedAt = 0;  // tick count of that listing
};

constexpr DWORD ListingRetryMs = 60000;

enum class ListingResult {
    Listed,
    NotListed,  // the reason has been logged
    CalledOff,  // one of the end events was signalled between two batches
};

// Lists the folder (its path ends in a backslash) the watch's way, finding and
// keeping the way when it is NotTried or its class is refused; a way that
// fails part-way gives the listing to the next way. Between two batches of
// entries it gives up once any of endEvents is signalled.
ListingResult ListFolder(const std::wstring& folderPath, FolderListing* listing, ListingWay* way,
                         const HANDLE* endEvents = nullptr, DWORD endEventCount = 0);

// The same, finding the way afresh. False when it cannot be listed; the
// reason has been logged then.
bool ListFolder(const std::wstring& folderPath, FolderListing* listing);

// How long the monitor may wait before it lists the folder again after every
// way failed part-way: INFINITE when the last listing did not.
DWORD NextListingRetryMs(const ListingWay& way, ULONGLONG now);

// Whether one of the events that end a scan early is signalled.
bool ScanCalledOff(const HANDLE* endEvents, DWORD endEventCount);

// The calls the listing makes: GetFileInformationByHandleEx, FindFirstFileExW
// and FindNextFileW in the program; tests put file systems that answer
// otherwise in their place.
using DirectoryQuery = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
using FindFirstCall = HANDLE(WINAPI*)(LPCWSTR, FINDEX_INFO_LEVELS, LPVOID, FINDEX_SEARCH_OPS,
                                      LPVOID, DWORD);
using FindNextCall = BOOL(WINAPI*)(HANDLE, LPWIN32_FIND_DATAW);
extern std::atomic<DirectoryQuery> QueryDirectory;
extern std::atomic<FindFirstCall> FindFirstEntry;
extern std::atomic<FindNextCall> FindNextEntry;

// The name in upper case, as the file system compares names.
std::wstring FoldedName(const std::wstring& name);

// A listed file that travels with a picture, and the names it is told by.
struct CompanionFile {
    const ListedFile* file;
    std::wstring reportedOldName;  // a raw file's: the old base name with its extension as
                                   // written in the list; a sidecar's: its listed name
    std::wstring newSuffix;        // what follows the new base name
    bool sidecar;
    const ListedFile* ofRaw;  // the raw file whose whole name a sidecar bears, if any
};

// The companions listed beside the picture: the raw files under its base
// name with each listed extension, then (with sidecars listed) the sidecars
// named after its base name, its whole name or a raw file's whole name.
std::vector<CompanionFile> ListedCompanions(const FolderListing& listing,
                                            const ListedFile& picture);

// The listed extension (as written in the list) that a listed name ends in,
// or null when it is not a raw file's.
const std::wstring* RawExtensionOf(const FolderListing& listing, const ListedFile& file);
