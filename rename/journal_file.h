// The journal of a folder's renames: every rename the program made there, so
// that the names can be given back (restore.h). Portable (no Windows headers),
// so that the fuzzer can feed the parser anything.
//
// Layout, all numbers little-endian:
//   "LSJOURNL"             8 bytes
//   version                u32, JournalFileVersion
//   folder path            u32 length, then that many bytes (UTF-8, as watched)
//   header checksum        u64, FNV-1a of all the bytes before it
//   records, appended one at a time, each:
//     length               u32, of the fields below up to the checksum
//     flags                u8: JournalFlag* below
//     when                 u64, FILETIME (UTC) of the rename
//     size, last write     u64 each, of the file after the rename
//     old name, new name   u16 length (1 to MaxJournalNameBytes), the UTF-8 bytes
//     checksum             u64, FNV-1a of the length and the fields
// A rename costs 41 bytes and its two names: about 72 bytes with a camera's
// name and a stamp name. A crash or a full disk can only cut the last record,
// which the reader tells apart from damage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t JournalFileVersion = 1;
constexpr size_t MaxJournalNameBytes = 1024;  // 255 UTF-16 units, three bytes each
constexpr size_t MaxJournalFolderBytes = size_t{32767} * 3;
constexpr size_t JournalRecordFixedBytes = 4 + 1 + 3 * 8 + 2 + 2 + 8;

constexpr uint8_t JournalFlagCompanion = 0x01;  // travelled with a picture (else the picture)
constexpr uint8_t JournalFlagsKnown = 0x01;

struct JournalEntry {
    uint8_t flags;
    uint64_t when;
    uint64_t size;
    uint64_t lastWrite;
    std::string oldName;  // UTF-8
    std::string newName;
};

enum class JournalRead {
    Loaded,
    Truncated,  // its last record cut (a crash, a full disk): the records before it are good
    Foreign,    // not a journal, another version or another folder
    Corrupt,    // a checksum or a record does not hold before the last
};

std::vector<uint8_t> EncodeJournalHeader(const std::string& folder);
std::vector<uint8_t> EncodeJournalRecord(const JournalEntry& entry);

// Parses bytes that should be the journal of the folder whose path, folded to
// upper case, is expectedFolded (the header's path is folded by the caller's
// fold). Loaded and Truncated fill entries and goodBytes (the length of the
// good part, to which a writer cuts the file); anything else leaves entries
// empty. folderOut receives the header's folder path when the header holds.
using FoldText = std::string (*)(const std::string&);
JournalRead ParseJournal(const uint8_t* bytes, size_t size, const std::string& expectedFolded,
                         FoldText fold, std::vector<JournalEntry>* entries, size_t* goodBytes,
                         std::string* folderOut);
