// One listing of a watched folder: its pictures and raw files, with what the
// listing tells of each for free (size, last-write and change time,
// attributes), taken once at the
// start of a scan so that companions are known before any picture is renamed.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct ListedFile {
    std::wstring name;  // the short name, as listed
    size_t extension;   // where the extension starts in name
    uint64_t size;
    uint64_t lastWrite;   // FILETIME as one number
    uint64_t changeTime;  // moves on any write or attribute change, as the file system keeps it
    uint32_t attributes;  // FILE_ATTRIBUTE_* as listed
    uint64_t creationTime = 0;  // FILETIME as one number
};

struct FolderListing {
    std::vector<ListedFile> pictures;  // in listing order
    std::vector<ListedFile> raws;      // entries whose extension is ".NEF" in any case
    // Raw files by their name in upper case, for companion look-ups.
    std::unordered_map<std::wstring, size_t> rawsByName;
    uint32_t volumeSerial = 0;  // of the volume the folder lies on
};

// Lists the folder (its path ends in a backslash). False when it cannot be
// listed; the reason has been logged then.
bool ListFolder(const std::wstring& folderPath, FolderListing* listing);

// The name in upper case, as the file system compares names.
std::wstring FoldedName(const std::wstring& name);

// The raw file listed under the picture's base name with ".NEF", if any.
const ListedFile* ListedCompanion(const FolderListing& listing, const ListedFile& picture);
