// The journal of renames: what is appended comes back whole, a cut last
// record costs only that record, and anything else (foreign, damaged) is
// refused; on disk a damaged journal is set aside and a new one begins.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "events/event_history.h"
#include "rename/folder_listing.h"
#include "rename/rename_journal.h"
#include "tests/support/local_app_data.h"
#include "tests/support/scratch_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The header's folder as it is, so that another spelling is another folder.
std::string AsIs(const std::string& text) { return text; }

const std::vector<JournalEntry> Renames = {
    {0, 133246000000000000ull, 4200000, 133245000000000000ull, "DSC_0001.JPG",
     "20230401_072926.JPG"},
    {JournalFlagCompanion, 133246000000000001ull, 25000000, 133245000000000001ull, "DSC_0001.NEF",
     "20230401_072926.NEF"},
    {0, ~0ull, ~0ull, ~0ull, "\xC3\x84rger \xE2\x82\xAC.jpeg", "20210615_143456 (001).jpeg"}};

Bytes Journal(const std::string& folder, const std::vector<JournalEntry>& entries)
{
    Bytes bytes = EncodeJournalHeader(folder);
    for (const JournalEntry& entry : entries) {
        Bytes record = EncodeJournalRecord(entry);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    return bytes;
}

using Fields = std::tuple<int, uint64_t, uint64_t, uint64_t, std::string, std::string>;

std::vector<Fields> FieldsOf(const std::vector<JournalEntry>& entries)
{
    std::vector<Fields> fields;
    for (const JournalEntry& e : entries)
        fields.emplace_back(e.flags, e.when, e.size, e.lastWrite, e.oldName, e.newName);
    return fields;
}

struct Parsed {
    JournalRead read;
    std::vector<JournalEntry> entries;
    size_t good;
};

Parsed Parse(const Bytes& bytes, const std::string& folder = "Z:\\Pictures\\Card\\")
{
    Parsed parsed = {};
    std::string header;
    parsed.read = ParseJournal(bytes.data(), bytes.size(), folder, AsIs, &parsed.entries,
                               &parsed.good, &header);
    return parsed;
}

const std::string Folder = "Z:\\Pictures\\Card\\";

TEST(JournalFile, WhatIsAppendedIsReadBackWhole)
{
    Bytes bytes = Journal(Folder, Renames);
    Parsed parsed = Parse(bytes);
    ASSERT_EQ(parsed.read, JournalRead::Loaded);
    EXPECT_EQ(FieldsOf(parsed.entries), FieldsOf(Renames));
    EXPECT_EQ(parsed.good, bytes.size());
    // 41 bytes and the names: a camera's name and a stamp name take 72.
    EXPECT_EQ(EncodeJournalRecord(Renames[0]).size(), 72u);
    EXPECT_EQ(Parse(EncodeJournalHeader(Folder)).read, JournalRead::Loaded);
}

// A cut anywhere in the last record (a crash while appending) keeps the records
// before it; a cut inside the header is a journal whose first write was cut.
TEST(JournalFile, ACutLastRecordCostsOnlyThatRecord)
{
    Bytes two = Journal(Folder, {Renames[0], Renames[1]});
    Bytes one = Journal(Folder, {Renames[0]});
    for (size_t size = one.size() + 1; size < two.size(); ++size) {
        Parsed parsed = Parse(Bytes(two.begin(), two.begin() + static_cast<ptrdiff_t>(size)));
        ASSERT_EQ(parsed.read, JournalRead::Truncated) << size;
        EXPECT_EQ(FieldsOf(parsed.entries), FieldsOf({Renames[0]})) << size;
        EXPECT_EQ(parsed.good, one.size()) << size;
    }
    size_t header = EncodeJournalHeader(Folder).size();
    for (size_t size = 0; size < header; ++size)
        EXPECT_EQ(Parse(Bytes(one.begin(), one.begin() + static_cast<ptrdiff_t>(size))).read,
                  JournalRead::Truncated)
            << size;
    // A power loss may leave the last record at its length with its bytes
    // not all written, or the appended bytes as zeros.
    Bytes torn = two;
    std::fill(torn.end() - 20, torn.end(), 0);
    Parsed tornParsed = Parse(torn);
    EXPECT_EQ(tornParsed.read, JournalRead::Truncated);
    EXPECT_EQ(tornParsed.good, one.size());
    Bytes zeros = one;
    zeros.resize(one.size() + 30, 0);
    Parsed parsed = Parse(zeros);
    EXPECT_EQ(parsed.read, JournalRead::Truncated);
    EXPECT_EQ(parsed.good, one.size());
}

TEST(JournalFile, ForeignAndDamagedFormsAreRefused)
{
    Bytes good = Journal(Folder, Renames);
    size_t header = EncodeJournalHeader(Folder).size();
    auto changed = [&](size_t at, uint8_t value) {
        Bytes bytes = good;
        bytes[at] = value;
        return bytes;
    };
    struct Case {
        const char* what;
        Bytes bytes;
        JournalRead read;
    };
    std::vector<Case> cases = {
        {"another file", Bytes{'G', 'I', 'F', '8', '9', 'a'}, JournalRead::Foreign},
        {"another magic", changed(7, 'X'), JournalRead::Foreign},
        {"a version to come", changed(8, 2), JournalRead::Foreign},
        {"another folder", Journal("Z:\\Pictures\\Other\\", Renames), JournalRead::Foreign},
        {"a header byte changed", changed(20, 'X'), JournalRead::Corrupt},
        {"a name byte of the first record changed", changed(header + 4 + 25 + 2, 'X'),
         JournalRead::Corrupt},
        {"a record length out of bounds", changed(header + 3, 0x7f), JournalRead::Corrupt},
        {"an unknown flag",
         [&] {
             JournalEntry entry = Renames[0];
             entry.flags = 0x80;
             return Journal(Folder, {entry, Renames[1]});
         }(),
         JournalRead::Corrupt},
        {"an empty name",
         [&] {
             JournalEntry entry = Renames[0];
             entry.oldName.clear();
             return Journal(Folder, {entry, Renames[1]});
         }(),
         JournalRead::Corrupt},
    };
    for (const Case& c : cases) {
        Parsed parsed = Parse(c.bytes);
        EXPECT_EQ(parsed.read, c.read) << c.what;
        EXPECT_TRUE(parsed.entries.empty()) << c.what;
    }
}

std::vector<std::wstring> Events()
{
    HistoryLockGuard lock;
    std::vector<std::wstring> texts;
    for (const std::wstring& line : EventHistory)
        texts.push_back(line.substr(20));
    return texts;
}

ListedFile Listed(const std::wstring& name)
{
    return {name, name.rfind(L'.'), 4200000, 133245000000000000ull, 0, 0};
}

// On disk: appends begin a journal, go on after a cut end, and begin anew
// after damage, which is set aside with one line.
TEST(JournalStore, AppendsSurviveACutEndAndDamageIsSetAside)
{
    LocalAppDataScope appData;
    ClearEventHistory();
    std::wstring folder = L"Z:\\Pictures\\Card\\";
    {
        RenameJournal journal;
        JournalRename(journal, folder, Listed(L"DSC_0001.JPG"), folder + L"20230401_072926.JPG", 0);
        CloseJournal(journal);  // as a scan does at its end
    }
    std::wstring path = JournalPath(folder);
    Bytes bytes = ReadFileBytes(path);
    bytes.insert(bytes.end(), {40, 0, 0, 0, 1, 2, 3});  // an append cut short
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    RenameJournal journal;
    JournalRename(journal, folder, Listed(L"DSC_0002.JPG"), L"20230401_072927.JPG", 0);
    CloseJournal(journal);
    std::vector<JournalEntry> entries;
    ASSERT_TRUE(LoadJournal(folder, &entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].oldName, "DSC_0001.JPG");
    EXPECT_EQ(entries[1].newName, "20230401_072927.JPG");
    EXPECT_TRUE(Events().empty());

    bytes = ReadFileBytes(path);
    bytes[bytes.size() - 90] ^= 0x20;  // inside the first record
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    EXPECT_FALSE(LoadJournal(folder, &entries));
    EXPECT_EQ(Events(),
              std::vector<std::wstring>{L"The journal of renames of " + folder +
                                        L" was damaged and is set aside as " + path + L".damaged"});
    EXPECT_EQ(ReadFileBytes(path + L".damaged"), bytes);
    RenameJournal fresh;
    JournalRename(fresh, folder, Listed(L"DSC_0003.JPG"), L"20230401_072928.JPG", 0);
    CloseJournal(fresh);
    ASSERT_TRUE(LoadJournal(folder, &entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].oldName, "DSC_0003.JPG");
}

}  // namespace
