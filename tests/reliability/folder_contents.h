// What a folder holds, by content: the check that nothing was lost, overwritten
// or duplicated. Each file's bytes are reduced to a 64-bit FNV-1a hash; tests
// give every file they write bytes of its own, so a hash names one file.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

inline uint64_t ContentHash(const std::vector<uint8_t>& bytes)
{
    uint64_t hash = 14695981039346656037ull;
    for (uint8_t byte : bytes)
        hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

// Name -> content hash of every file in the folder (subfolders left out).
inline std::map<std::wstring, uint64_t> FolderContents(const std::wstring& folder)
{
    std::map<std::wstring, uint64_t> contents;
    for (const std::wstring& name : ListFolder(folder)) {
        std::wstring path = folder + L"\\" + name;
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            contents[name] = ContentHash(ReadFileBytes(path));
    }
    return contents;
}

// The hashes alone, sorted: equal lists mean the same files, whatever their names.
inline std::vector<uint64_t> SortedHashes(const std::map<std::wstring, uint64_t>& contents)
{
    std::vector<uint64_t> hashes;
    for (const auto& entry : contents)
        hashes.push_back(entry.second);
    std::sort(hashes.begin(), hashes.end());
    return hashes;
}

// Bytes that make a file's content its own: appended after a JPEG's end they
// change nothing a reader looks at.
inline std::vector<uint8_t> WithTrailer(std::vector<uint8_t> bytes, const std::string& trailer)
{
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    return bytes;
}
