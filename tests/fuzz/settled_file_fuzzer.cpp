// libFuzzer harness for the parser of the kept settled-pictures file, which a
// start reads from disk whatever it finds there (cut by a crash, damaged, or
// written by someone else). Besides the sanitizers' own findings it checks:
// - the parser reads only the bytes it is given (the input is copied into a
//   buffer of exactly its size, so a read beyond is an AddressSanitizer
//   finding) and never loads more entries than its bound;
// - what it loads, written again, is the same bytes: nothing is read that the
//   writer would not have written.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "rename/settled_file.h"

namespace {

void Check(bool condition, const char* property)
{
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

// The entries' checksum made right for the input, so that mutated entries
// reach the entry loop rather than stopping at the checksum.
void FixChecksum(std::vector<uint8_t>& bytes)
{
    if (bytes.size() < 20)
        return;
    uint64_t folderBytes = 0;
    for (int i = 0; i < 4; ++i)
        folderBytes |= static_cast<uint64_t>(bytes[16 + i]) << (8 * i);
    uint64_t at = 20 + folderBytes + 4;  // the checksum
    if (at + 8 > bytes.size())
        return;
    uint64_t hash = 0xcbf29ce484222325ull;
    for (size_t i = at + 8; i < bytes.size(); ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3ull;
    }
    for (int i = 0; i < 8; ++i)
        bytes[at + i] = static_cast<uint8_t>(hash >> (8 * i));
}

void ParseAndCheck(const std::vector<uint8_t>& bytes)
{
    // The folder the seed files were written for.
    SettledFileHeader expected = {0x1234ABCD, "Z:\\PICTURES\\CARD\\"};
    std::vector<SettledFileEntry> entries;
    SettledFileRead read = ParseSettledFile(bytes.data(), bytes.size(), expected, &entries);
    Check(entries.size() <= MaxSettledFileEntries, "entries within the bound");
    if (read != SettledFileRead::Loaded) {
        Check(entries.empty(), "nothing loaded from a refused file");
        return;
    }
    for (const SettledFileEntry& entry : entries)
        Check(!entry.name.empty() && entry.name.size() <= MaxSettledNameBytes &&
                  (entry.flags & ~SettledFlagsKnown) == 0,
              "entries as the writer writes them");
    // A file of an older version is written again as the current one.
    std::vector<uint8_t> current = bytes;
    current[8] = static_cast<uint8_t>(SettledFileVersion);
    Check(EncodeSettledFile(expected, entries) == current, "loaded bytes written again unchanged");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    ParseAndCheck(bytes);
    FixChecksum(bytes);
    ParseAndCheck(bytes);
    return 0;
}
