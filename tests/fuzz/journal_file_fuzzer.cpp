// libFuzzer harness for the parser of the journal of renames, which a scan and
// a restore read from disk whatever they find there (cut by a crash, damaged,
// or written by someone else). Besides the sanitizers' own findings it checks:
// - the parser reads only the bytes it is given (the input is copied into a
//   buffer of exactly its size) and loads only records as the writer writes
//   them;
// - what it loads, written again, is the good part of the input byte for byte,
//   and that part parses as a whole journal: cutting a file back to it (as
//   the writer does before its next append) loses nothing more.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "rename/journal_file.h"

namespace {

void Check(bool condition, const char* property)
{
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

std::string Upper(const std::string& text)
{
    std::string upper = text;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

// The folder the seed files were written for.
const std::string Folder = "Z:\\PICTURES\\CARD\\";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    std::vector<JournalEntry> entries;
    size_t good = 0;
    std::string folder;
    JournalRead read =
        ParseJournal(bytes.data(), bytes.size(), Folder, Upper, &entries, &good, &folder);
    if (read != JournalRead::Loaded && read != JournalRead::Truncated) {
        Check(entries.empty(), "nothing loaded from a refused file");
        return 0;
    }
    Check(good <= size && (read == JournalRead::Truncated || good == size), "good part bounded");
    if (good == 0) {
        Check(entries.empty(), "no records without a header");
        return 0;
    }
    std::vector<uint8_t> again = EncodeJournalHeader(folder);
    for (const JournalEntry& entry : entries) {
        Check(!entry.oldName.empty() && entry.oldName.size() <= MaxJournalNameBytes &&
                  !entry.newName.empty() && entry.newName.size() <= MaxJournalNameBytes &&
                  (entry.flags & ~JournalFlagsKnown) == 0,
              "records as the writer writes them");
        std::vector<uint8_t> record = EncodeJournalRecord(entry);
        again.insert(again.end(), record.begin(), record.end());
    }
    Check(again == std::vector<uint8_t>(bytes.begin(), bytes.begin() + good),
          "loaded records written again unchanged");
    std::vector<JournalEntry> cut;
    size_t cutGood = 0;
    Check(ParseJournal(again.data(), again.size(), Folder, Upper, &cut, &cutGood, &folder) ==
                  JournalRead::Loaded &&
              cut.size() == entries.size(),
          "the good part is a whole journal");
    return 0;
}
