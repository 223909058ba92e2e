// The file that keeps a folder's settled pictures between runs: what it holds
// comes back whole, and anything else (cut, foreign, damaged) is refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "rename/settled_file.h"

namespace {

const SettledFileHeader Header = {0x1234ABCD, "Z:\\PICTURES\\CARD\\"};

std::vector<SettledFileEntry> Entries()
{
    return {{"20230401_072926.jpg", 0, 4200000, 133246000000000000ull, 133246000000000001ull},
            {"20230401_072926 (001).JPG", SettledFlagNumbered, 17, 1, 2},
            {"20210615_143456.jpg", SettledFlagFileTime, 0, 0, 0},
            {"\xC3\x84rger \xE2\x82\xAC.jpeg", 0, ~0ull, ~0ull, ~0ull}};
}

using Fields = std::tuple<std::string, int, uint64_t, uint64_t, uint64_t>;

std::vector<Fields> FieldsOf(const std::vector<SettledFileEntry>& entries)
{
    std::vector<Fields> fields;
    for (const SettledFileEntry& e : entries)
        fields.emplace_back(e.name, e.flags, e.size, e.lastWrite, e.changeTime);
    return fields;
}

TEST(SettledFile, WhatIsWrittenIsReadBackWhole)
{
    std::vector<uint8_t> bytes = EncodeSettledFile(Header, Entries());
    std::vector<SettledFileEntry> read;
    ASSERT_EQ(ParseSettledFile(bytes.data(), bytes.size(), Header, &read), SettledFileRead::Loaded);
    EXPECT_EQ(FieldsOf(read), FieldsOf(Entries()));

    // 8 + 4 + 4 + (4 + 17) + 4 + 8 = 49 bytes of header; 27 bytes and the
    // name's UTF-8 bytes (19, 25, 19, 15) a picture.
    EXPECT_EQ(bytes.size(), 235u);
    std::vector<uint8_t> none = EncodeSettledFile(Header, {});
    EXPECT_EQ(ParseSettledFile(none.data(), none.size(), Header, &read), SettledFileRead::Loaded);
    EXPECT_TRUE(read.empty());
}

// A file cut at any length, inside its first eight bytes too, is damaged (and
// reported so), never taken for another program's file.
TEST(SettledFile, ACutFileIsDamagedAtEveryLength)
{
    std::vector<uint8_t> bytes = EncodeSettledFile(Header, Entries());
    for (size_t length = 0; length < bytes.size(); ++length) {
        std::vector<SettledFileEntry> read = {{"left over", 0, 0, 0, 0}};
        SettledFileRead result = ParseSettledFile(bytes.data(), length, Header, &read);
        EXPECT_TRUE(result == SettledFileRead::Truncated || result == SettledFileRead::Corrupt)
            << length << " bytes: " << static_cast<int>(result);
        EXPECT_TRUE(read.empty());
    }
}

TEST(SettledFile, AnotherFolderVolumeOrVersionIsForeign)
{
    std::vector<uint8_t> bytes = EncodeSettledFile(Header, Entries());
    std::vector<SettledFileEntry> read;
    EXPECT_EQ(ParseSettledFile(bytes.data(), bytes.size(), {0x1234ABCD, "Z:\\PICTURES\\OTHER\\"},
                               &read),
              SettledFileRead::Foreign);
    EXPECT_EQ(ParseSettledFile(bytes.data(), bytes.size(), {0x1234ABCE, Header.folder}, &read),
              SettledFileRead::Foreign)
        << "a card swapped in the same drive";
    std::vector<uint8_t> newer = bytes;
    newer[8] = 3;  // a version to come
    EXPECT_EQ(ParseSettledFile(newer.data(), newer.size(), Header, &read),
              SettledFileRead::Foreign);
    const char log[] = "10.12.2026 22:02:59 Starting Lumistamp\r\n";
    EXPECT_EQ(ParseSettledFile(reinterpret_cast<const uint8_t*>(log), sizeof(log) - 1, Header,
                               &read),
              SettledFileRead::Foreign);
}

TEST(SettledFile, AnyChangedByteOfTheEntriesIsCaught)
{
    std::vector<uint8_t> bytes = EncodeSettledFile(Header, Entries());
    const size_t entriesStart = 49;
    for (size_t at = entriesStart; at < bytes.size(); ++at) {
        std::vector<uint8_t> damaged = bytes;
        damaged[at] ^= 0x10;
        std::vector<SettledFileEntry> read;
        EXPECT_NE(ParseSettledFile(damaged.data(), damaged.size(), Header, &read),
                  SettledFileRead::Loaded)
            << "byte " << at;
    }
    // A count past the bound is refused before anything is read.
    std::vector<uint8_t> counted = bytes;
    uint32_t count = MaxSettledFileEntries + 1;
    std::memcpy(counted.data() + 37, &count, 4);
    std::vector<SettledFileEntry> read;
    EXPECT_EQ(ParseSettledFile(counted.data(), counted.size(), Header, &read),
              SettledFileRead::Corrupt);
}

}  // namespace
