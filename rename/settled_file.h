// The file that keeps a folder's settled pictures across monitor restarts and
// program runs: what a start or an OK would otherwise read again. Portable
// (no Windows headers), so that the fuzzer can feed the parser anything.
//
// Layout, all numbers little-endian:
//   "LSSETTLD"             8 bytes
//   version                u32, SettledFileVersion
//   volume serial          u32, of the folder's volume
//   folder path            u32 length, then that many bytes (UTF-8)
//   entry count            u32
//   checksum               u64, FNV-1a of all the entry bytes
//   entries, each:
//     flags                u8: SettledFlag* below
//     name                 u16 length (1 to MaxSettledNameBytes), the UTF-8 bytes
//     size, last write, change time   u64 each
// About 46 bytes a picture with a stamp name; 100,000 pictures make 4.6 MB.
//
// Version 2 also keeps the renames whose raw files have not followed (see
// rename_memory.h), as entries flagged SettledFlagRename: name "<old base
// name>/<new base name>" (no file name holds a slash), size the picture's
// capture time (year << 40 | month << 32 | day << 24 | hour << 16 | minute
// << 8 | second), last write the rename's order, change time what followed
// (RenameFollowed* below). Version 1 files are read as well. An entry flagged
// SettledFlagRename whose name holds no slash is a picture a restore gave its
// old name back ("left as is"), with its size and times as a picture's;
// versions that do not know it pass over it as a rename they cannot read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t SettledFileVersion = 2;
constexpr uint32_t OldestSettledFileVersion = 1;
// Bounds for the parser: a file name has at most 255 UTF-16 units, three
// UTF-8 bytes each; the count is bounded by the memory's own bound.
constexpr size_t MaxSettledNameBytes = 1024;
constexpr uint32_t MaxSettledFileEntries = 260000;  // pictures and kept renames
constexpr size_t MaxSettledFolderBytes = size_t{32767} * 3;

constexpr uint8_t SettledFlagNumbered = 0x01;  // keeps a numbered name (else bears its name)
constexpr uint8_t SettledFlagFileTime = 0x02;  // named after its file time
constexpr uint8_t SettledFlagRename = 0x04;    // a rename, not a picture (version 2)
constexpr uint8_t SettledFlagsKnown = 0x07;

constexpr uint64_t RenameFollowedRaw = 0x01;

struct SettledFileEntry {
    std::string name;  // UTF-8
    uint8_t flags;
    uint64_t size;
    uint64_t lastWrite;
    uint64_t changeTime;
};

struct SettledFileHeader {
    uint32_t volumeSerial;
    std::string folder;  // UTF-8
};

enum class SettledFileRead {
    Loaded,
    Truncated,  // ends before its stated content (or inside its first bytes)
    Foreign,    // not such a file, another version, another folder or volume
    Corrupt,    // its checksum or an entry does not hold
};

std::vector<uint8_t> EncodeSettledFile(const SettledFileHeader& header,
                                       const std::vector<SettledFileEntry>& entries);

// Parses bytes that should be the file of the folder and volume in expected.
// Only Loaded fills entries; on anything else they are left empty.
SettledFileRead ParseSettledFile(const uint8_t* bytes, size_t size,
                                 const SettledFileHeader& expected,
                                 std::vector<SettledFileEntry>* entries);
