// The EXIF reader over bytes: the date text scan, tag lookup in either byte
// order and in both IFDs, and the marker walk with its requests for more bytes.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "capture/exif_reader.h"
#include "tests/support/jpeg_fixture.h"

using namespace std::string_literals;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string ToText(const uint8_t* data, size_t size)
{
    if (size == 0)
        return std::string();
    return std::string(reinterpret_cast<const char*>(data), size);
}

// ---- ParseExifDateText ------------------------------------------------------

constexpr size_t WholeText = SIZE_MAX;

struct DateCase {
    const char* name;
    std::string text;  // may hold zero bytes; bytes after size stay readable
    size_t size;       // bytes given to the parse
    bool parsed;
    int numbers[6];
    bool runtimeAgrees;  // the C runtime's scan gives the same (runtimes differ beyond int)
};

void PrintTo(const DateCase& c, std::ostream* os) { *os << c.name; }

const DateCase DateCases[] = {
    {"Plain", "2023:04:01 07:29:26", WholeText, true, {2023, 4, 1, 7, 29, 26}, true},
    {"WithItsZero", "2008:07:31 10:38:11\0"s, WholeText, true, {2008, 7, 31, 10, 38, 11}, true},
    {"LeadingBlanks", "   2023:04:01 07:29:26", WholeText, true, {2023, 4, 1, 7, 29, 26}, true},
    {"LeadingWhiteSpaceOfEveryKind",
     "\t\n\v\f\r 2023:04:01 07:29:26",
     WholeText,
     true,
     {2023, 4, 1, 7, 29, 26},
     true},
    {"Signs", "+2023:-4:+1 -7:+29:-26", WholeText, true, {2023, -4, 1, -7, 29, -26}, true},
    {"ClockNeverSet", "0000:00:00 00:00:00", WholeText, true, {0, 0, 0, 0, 0, 0}, true},
    {"FiveDigitYear", "12345:01:02 03:04:05", WholeText, true, {12345, 1, 2, 3, 4, 5}, true},
    {"MonthThirteen", "2023:13:01 07:29:26", WholeText, true, {2023, 13, 1, 7, 29, 26}, true},
    {"LeadingZeros",
     "02023:004:0001 007:0029:00026",
     WholeText,
     true,
     {2023, 4, 1, 7, 29, 26},
     true},
    {"SingleDigits", "2023:4:1 7:5:3", WholeText, true, {2023, 4, 1, 7, 5, 3}, true},
    {"TrailingWords", "2023:04:01 07:29:26 PM", WholeText, true, {2023, 4, 1, 7, 29, 26}, true},
    {"TrailingFraction", "2023:04:01 07:29:26.250", WholeText, true, {2023, 4, 1, 7, 29, 26}, true},
    {"TrailingLetter", "2023:04:01 07:29:26Z", WholeText, true, {2023, 4, 1, 7, 29, 26}, true},
    {"TabBetween", "2023:04:01\t07:29:26", WholeText, true, {2023, 4, 1, 7, 29, 26}, true},
    {"NewlineBetween", "2023:04:01\n07:29:26", WholeText, true, {2023, 4, 1, 7, 29, 26}, true},
    {"RunOfWhiteSpaceBetween",
     "2023:04:01 \t\r\n 07:29:26",
     WholeText,
     true,
     {2023, 4, 1, 7, 29, 26},
     true},
    {"BlanksAfterColons",
     "2023: 04: 01 07: 29: 26",
     WholeText,
     true,
     {2023, 4, 1, 7, 29, 26},
     true},
    // The third number swallows the hour ("0107"); a number must then begin at ":29".
    {"NothingBetween", "2023:04:0107:29:26", WholeText, false, {}, true},
    {"BlankBeforeColon", "2023 :04:01 07:29:26", WholeText, false, {}, true},
    {"BlankBeforeTimeColon", "2023:04:01 07 :29:26", WholeText, false, {}, true},
    {"BlankDate", "    :  :     :  :  ", WholeText, false, {}, true},
    {"Empty", "", WholeText, false, {}, true},
    {"DashedDate", "2023-04-01 07:29:26", WholeText, false, {}, true},
    {"SlashedDate", "2023/04/01 07:29:26", WholeText, false, {}, true},
    {"MissingTime", "2023:04:01", WholeText, false, {}, true},
    {"MissingSeconds", "2023:04:01 07:29", WholeText, false, {}, true},
    {"MissingSecondsAfterColon", "2023:04:01 07:29:", WholeText, false, {}, true},
    {"ColonFirst", ":2023:04:01 07:29:26", WholeText, false, {}, true},
    {"SignWithoutDigits", "2023:+:01 07:29:26", WholeText, false, {}, true},
    {"BlankAfterSign", "2023:- 4:01 07:29:26", WholeText, false, {}, true},
    {"TwoSigns", "2023:--4:01 07:29:26", WholeText, false, {}, true},
    {"NonBreakingSpaceIsNoWhiteSpace",
     "\xA0"
     "2023:04:01 07:29:26",
     WholeText,
     false,
     {},
     true},
    {"ZeroByteInsideDate", "2023:04:01\0 07:29:26"s, WholeText, false, {}, true},
    {"ZeroByteEndsLastNumber",
     "2023:04:01 07:29:2\0"s
     "6",
     WholeText,
     true,
     {2023, 4, 1, 7, 29, 2},
     true},
    {"SizeEndsBeforeLastNumber", "2023:04:01 07:29:26", 17, false, {}, true},
    {"SizeEndsInsideLastNumber", "2023:04:01 07:29:26", 18, true, {2023, 4, 1, 7, 29, 2}, true},
    {"SizeEndsInsideFirstNumber", "2023:04:01 07:29:26", 2, false, {}, true},
    {"SizeZero", "2023:04:01 07:29:26", 0, false, {}, true},
    {"LargestInt", "2147483647:04:01 07:29:26", WholeText, true, {INT_MAX, 4, 1, 7, 29, 26}, true},
    {"SmallestInt",
     "-2147483648:04:01 07:29:26",
     WholeText,
     true,
     {INT_MIN, 4, 1, 7, 29, 26},
     true},
    {"WrapsPastLargestInt",
     "2147483648:04:01 07:29:26",
     WholeText,
     true,
     {INT_MIN, 4, 1, 7, 29, 26},
     false},
    {"WrapsAt2To32",
     "4294967296:4294967295:01 07:29:26",
     WholeText,
     true,
     {0, -1, 1, 7, 29, 26},
     false},
    {"WrapsEleven9s",
     "99999999999:04:01 07:29:26",
     WholeText,
     true,
     {1215752191, 4, 1, 7, 29, 26},
     false},
    {"WrapsNegative", "-4294967297:04:01 07:29:26", WholeText, true, {-1, 4, 1, 7, 29, 26}, false},
    {"WrapsManyDigits",
     "2023:04:01 07:29:000000000000000000000000000000000000026",
     WholeText,
     true,
     {2023, 4, 1, 7, 29, 26},
     true},
};

int RuntimeScan(const char* text, int n[6])
{
#ifdef _MSC_VER
    return sscanf_s(text, "%d:%d:%d %d:%d:%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]);
#else
    return std::sscanf(text, "%d:%d:%d %d:%d:%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]);
#endif
}

class DateText : public testing::TestWithParam<DateCase> {};

TEST_P(DateText, ScansAsTheDateFormatDoes)
{
    const DateCase& c = GetParam();
    size_t size = c.size == WholeText ? c.text.size() : c.size;
    int numbers[6] = {-7, -7, -7, -7, -7, -7};
    bool parsed = ParseExifDateText(reinterpret_cast<const uint8_t*>(c.text.data()), size, numbers);
    ASSERT_EQ(parsed, c.parsed);
    if (parsed) {
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(numbers[i], c.numbers[i]) << "number " << i;
    }

    // The table itself is checked against the C runtime's scan of the same text.
    if (c.runtimeAgrees) {
        std::string cut = c.text.substr(0, size);  // c_str() ends at a zero byte, as the parse does
        int scanned[6] = {};
        int count = RuntimeScan(cut.c_str(), scanned);
        EXPECT_EQ(count == 6, c.parsed) << "the C runtime read " << count << " numbers";
        if (count == 6 && c.parsed) {
            for (int i = 0; i < 6; ++i)
                EXPECT_EQ(scanned[i], c.numbers[i]) << "runtime, number " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, DateText, testing::ValuesIn(DateCases),
                         [](const testing::TestParamInfo<DateCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(DateTextBounds, NullTextWithoutBytesIsNoDate)
{
    int numbers[6];
    EXPECT_FALSE(ParseExifDateText(nullptr, 0, numbers));
}

// ---- FindExifTag ------------------------------------------------------------

const std::string DateA = "2023:04:01 07:29:26";
const std::string DateB = "2008:07:31 10:38:11";
const std::string DateC = "1999:12:31 23:59:59";

FixtureTag Tag(uint16_t tag, FixtureIfd ifd, uint16_t type, uint32_t count, Bytes value)
{
    FixtureTag entry;
    entry.tag = tag;
    entry.ifd = ifd;
    entry.type = type;
    entry.count = count;
    entry.value = std::move(value);
    return entry;
}

FixtureTag At(FixtureTag tag, uint32_t valueOffset)
{
    tag.valueOffset = valueOffset;
    return tag;
}

ExifFixture Exif(std::vector<FixtureTag> tags, ExifPointer pointer = ExifPointer::Auto,
                 TiffDamage damage = TiffDamage::None)
{
    ExifFixture exif;
    exif.tags = std::move(tags);
    exif.exifPointer = pointer;
    exif.damage = damage;
    return exif;
}

struct TagCase {
    const char* name;
    ExifFixture exif;  // byte order set by the test
    uint16_t tag;
    ExifTagStatus status;
    std::string value;  // the raw value bytes when present
};

void PrintTo(const TagCase& c, std::ostream* os) { *os << c.name; }

// One ASCII tag of 20 bytes in IFD0 makes a block of 8 (header) + 18 (IFD0) + 20.
constexpr uint32_t OneTagBlockSize = 46;

const std::vector<TagCase>& TagCases()
{
    static const std::vector<TagCase> cases = {
        {"DateTimeInIfd0", Exif({AsciiTag(TagDateTime, DateA)}), TagDateTime,
         ExifTagStatus::Present, DateA + '\0'},
        {"OriginalInExifIfd", Exif({AsciiTag(TagDateTimeOriginal, DateB)}), TagDateTimeOriginal,
         ExifTagStatus::Present, DateB + '\0'},
        {"DigitizedInExifIfd", Exif({AsciiTag(TagDateTimeDigitized, DateC)}), TagDateTimeDigitized,
         ExifTagStatus::Present, DateC + '\0'},
        {"Ifd0IsAskedFirst",
         Exif({AsciiTag(TagDateTimeOriginal, FixtureIfd::Exif, DateB),
               AsciiTag(TagDateTimeOriginal, FixtureIfd::Ifd0, DateA)}),
         TagDateTimeOriginal, ExifTagStatus::Present, DateA + '\0'},
        {"ExifTagKeptInIfd0", Exif({AsciiTag(TagDateTimeDigitized, FixtureIfd::Ifd0, DateC)}),
         TagDateTimeDigitized, ExifTagStatus::Present, DateC + '\0'},
        {"DateTimeKeptInExifIfd", Exif({AsciiTag(TagDateTime, FixtureIfd::Exif, DateA)}),
         TagDateTime, ExifTagStatus::Present, DateA + '\0'},
        {"FirstOfTwoEntries", Exif({AsciiTag(TagDateTime, DateA), AsciiTag(TagDateTime, DateB)}),
         TagDateTime, ExifTagStatus::Present, DateA + '\0'},
        {"AmongOtherTags",
         Exif({AsciiTag(0x010F, "Canon"), AsciiTag(0x0110, FixtureIfd::Ifd0, "Canon EOS 40D"),
               Tag(0x0112, FixtureIfd::Ifd0, TypeShort, 1, {1, 0}),
               Tag(0x829A, FixtureIfd::Exif, TypeRational, 1, {1, 0, 0, 0, 125, 0, 0, 0}),
               AsciiTag(TagDateTimeOriginal, DateB), AsciiTag(TagDateTimeDigitized, DateC),
               AsciiTag(TagDateTime, DateA)}),
         TagDateTimeDigitized, ExifTagStatus::Present, DateC + '\0'},

        {"AbsentFromBoth", Exif({AsciiTag(TagDateTime, DateA)}), TagDateTimeOriginal,
         ExifTagStatus::Absent, ""},
        {"NoTagsAtAll", Exif({}), TagDateTime, ExifTagStatus::Absent, ""},
        {"ExifIfdWithoutPointer",
         Exif({AsciiTag(TagDateTimeOriginal, DateB)}, ExifPointer::Omitted), TagDateTimeOriginal,
         ExifTagStatus::Absent, ""},

        // Value size is count x size(type); up to 4 bytes it sits in the entry.
        {"InlineAscii", Exif({Tag(TagDateTime, FixtureIfd::Ifd0, TypeAscii, 4, ToBytes("abc\0"s))}),
         TagDateTime, ExifTagStatus::Present, "abc\0"s},
        {"InlineShorterThanField",
         Exif({Tag(TagDateTime, FixtureIfd::Ifd0, TypeAscii, 2, ToBytes("7\0"s))}), TagDateTime,
         ExifTagStatus::Present, "7\0"s},
        {"InlineTwoShorts",
         Exif({Tag(TagDateTimeOriginal, FixtureIfd::Exif, TypeShort, 2, {1, 2, 3, 4})}),
         TagDateTimeOriginal, ExifTagStatus::Present, "\1\2\3\4"},
        {"InlineLong", Exif({Tag(TagDateTime, FixtureIfd::Ifd0, TypeLong, 1, {9, 8, 7, 6})}),
         TagDateTime, ExifTagStatus::Present, "\11\10\7\6"},
        {"FiveBytesAtOffset",
         Exif({Tag(TagDateTime, FixtureIfd::Ifd0, TypeAscii, 5, ToBytes("abcd\0"s))}), TagDateTime,
         ExifTagStatus::Present, "abcd\0"s},
        {"RationalAtOffset",
         Exif({Tag(TagDateTimeOriginal, FixtureIfd::Exif, TypeRational, 1,
                   {1, 2, 3, 4, 5, 6, 7, 8})}),
         TagDateTimeOriginal, ExifTagStatus::Present, "\1\2\3\4\5\6\7\10"},
        {"CountZero", Exif({Tag(TagDateTime, FixtureIfd::Ifd0, TypeAscii, 0, {})}), TagDateTime,
         ExifTagStatus::Present, ""},

        // A value that ends exactly at the block's end is whole; one byte more is not.
        {"ValueEndsAtBlockEnd", Exif({At(AsciiTag(TagDateTime, DateA), OneTagBlockSize - 20)}),
         TagDateTime, ExifTagStatus::Present, DateA + '\0'},
        {"ValueOneBytePastEnd", Exif({At(AsciiTag(TagDateTime, DateA), OneTagBlockSize - 19)}),
         TagDateTime, ExifTagStatus::Unreadable, ""},
        {"ValueOffsetPastEnd", Exif({At(AsciiTag(TagDateTime, DateA), OneTagBlockSize + 100)}),
         TagDateTime, ExifTagStatus::Unreadable, ""},
        {"ValueOffsetWrapsIn32Bits", Exif({At(AsciiTag(TagDateTime, DateA), 0xFFFFFFF0u)}),
         TagDateTime, ExifTagStatus::Unreadable, ""},
        // 0x20000001 doubles are 2^32 + 8 bytes: 8 if the product wrapped.
        {"ValueSizeWrapsIn32Bits",
         Exif({Tag(TagDateTime, FixtureIfd::Ifd0, TypeDouble, 0x20000001u,
                   {1, 2, 3, 4, 5, 6, 7, 8})}),
         TagDateTime, ExifTagStatus::Unreadable, ""},
        {"LargestCount",
         Exif({Tag(TagDateTime, FixtureIfd::Ifd0, TypeAscii, 0xFFFFFFFFu, ToBytes(DateA))}),
         TagDateTime, ExifTagStatus::Unreadable, ""},
        {"UnreadableInExifIfd", Exif({At(AsciiTag(TagDateTimeOriginal, DateB), 0x7FFFFFFFu)}),
         TagDateTimeOriginal, ExifTagStatus::Unreadable, ""},
        {"UnreadableInIfd0EndsTheLookup",
         Exif({At(AsciiTag(TagDateTimeOriginal, FixtureIfd::Ifd0, DateA), 60000),
               AsciiTag(TagDateTimeOriginal, FixtureIfd::Exif, DateB)}),
         TagDateTimeOriginal, ExifTagStatus::Unreadable, ""},

        // Damaged structure: the lookup finds nothing.
        {"ByteOrderMarkDamaged",
         Exif({AsciiTag(TagDateTime, DateA)}, ExifPointer::Auto, TiffDamage::ByteOrderMark),
         TagDateTime, ExifTagStatus::Absent, ""},
        {"MagicDamaged", Exif({AsciiTag(TagDateTime, DateA)}, ExifPointer::Auto, TiffDamage::Magic),
         TagDateTime, ExifTagStatus::Absent, ""},
        {"Ifd0PastEnd",
         Exif({AsciiTag(TagDateTime, DateA)}, ExifPointer::Auto, TiffDamage::Ifd0PastEnd),
         TagDateTime, ExifTagStatus::Absent, ""},
        {"Ifd0CountOverruns",
         Exif({AsciiTag(TagDateTime, DateA)}, ExifPointer::Auto, TiffDamage::Ifd0CountOverruns),
         TagDateTime, ExifTagStatus::Absent, ""},
        {"ExifCountOverruns",
         Exif({AsciiTag(TagDateTimeOriginal, DateB)}, ExifPointer::Auto,
              TiffDamage::ExifCountOverruns),
         TagDateTimeOriginal, ExifTagStatus::Absent, ""},
        {"Ifd0TagDespiteExifCountOverrun",
         Exif({AsciiTag(TagDateTime, DateA), AsciiTag(TagDateTimeOriginal, DateB)},
              ExifPointer::Auto, TiffDamage::ExifCountOverruns),
         TagDateTime, ExifTagStatus::Present, DateA + '\0'},
        {"ExifPointerBackToIfd0", Exif({AsciiTag(TagDateTimeOriginal, DateB)}, ExifPointer::ToIfd0),
         TagDateTimeOriginal, ExifTagStatus::Absent, ""},
        {"Ifd0TagDespiteLoopingPointer", Exif({AsciiTag(TagDateTime, DateA)}, ExifPointer::ToIfd0),
         TagDateTime, ExifTagStatus::Present, DateA + '\0'},
        {"ExifPointerPastEnd", Exif({AsciiTag(TagDateTimeOriginal, DateB)}, ExifPointer::PastEnd),
         TagDateTimeOriginal, ExifTagStatus::Absent, ""},
        {"ExifPointerWraps", Exif({AsciiTag(TagDateTimeOriginal, DateB)}, ExifPointer::Wrapping),
         TagDateTimeOriginal, ExifTagStatus::Absent, ""},
        {"ExifPointerNotALong",
         Exif({AsciiTag(TagDateTimeOriginal, DateB)}, ExifPointer::WrongType), TagDateTimeOriginal,
         ExifTagStatus::Absent, ""},
    };
    return cases;
}

class ExifTag : public testing::TestWithParam<std::tuple<TagCase, bool>> {};

TEST_P(ExifTag, FoundInIfd0ThenExifIfd)
{
    const TagCase& c = std::get<0>(GetParam());
    ExifFixture exif = c.exif;
    exif.bigEndian = std::get<1>(GetParam());
    Bytes block = ExifBlock(exif);

    ExifValue value;
    value.size = 12345;
    ExifTagStatus status = FindExifTag(block.data(), block.size(), c.tag, &value);
    ASSERT_EQ(status, c.status);
    if (status != ExifTagStatus::Present) {
        EXPECT_EQ(value.data, nullptr);
        EXPECT_EQ(value.size, 0u);
        return;
    }
    ASSERT_NE(value.data, nullptr);
    EXPECT_GE(value.data, block.data());
    EXPECT_LE(value.data + value.size, block.data() + block.size());
    EXPECT_EQ(ToText(value.data, value.size), c.value);
}

INSTANTIATE_TEST_SUITE_P(Blocks, ExifTag,
                         testing::Combine(testing::ValuesIn(TagCases()), testing::Bool()),
                         [](const testing::TestParamInfo<std::tuple<TagCase, bool>>& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Motorola" : "_Intel");
                         });

TEST(ExifTagBlock, LayoutOfTheOneTagBlockIsAsTheTableAssumes)
{
    EXPECT_EQ(ExifBlock(Exif({AsciiTag(TagDateTime, DateA)})).size(), OneTagBlockSize);
}

// Value sizes per type, away from the fixture's own table: count 3 of each.
struct TypeCase {
    uint16_t type;
    uint32_t size;  // of three values
};

void PrintTo(const TypeCase& c, std::ostream* os)
{
    *os << "type " << c.type << ", 3 values of " << c.size << " bytes";
}

class ExifTagType : public testing::TestWithParam<TypeCase> {};

TEST_P(ExifTagType, ValueIsCountTimesTypeSize)
{
    Bytes value(GetParam().size);
    for (size_t i = 0; i < value.size(); ++i)
        value[i] = static_cast<uint8_t>('a' + i);
    Bytes block = ExifBlock(Exif({Tag(TagDateTime, FixtureIfd::Ifd0, GetParam().type, 3, value)}));
    ExifValue found;
    ASSERT_EQ(FindExifTag(block.data(), block.size(), TagDateTime, &found), ExifTagStatus::Present);
    EXPECT_EQ(found.size, GetParam().size);
    EXPECT_EQ(ToText(found.data, found.size), std::string(value.begin(), value.end()));
    // Inline values sit in the entry: IFD0's first entry holds them at offset 18.
    EXPECT_EQ(found.data == block.data() + 18, GetParam().size <= 4);
}

INSTANTIATE_TEST_SUITE_P(Types, ExifTagType,
                         testing::Values(TypeCase{1, 3}, TypeCase{2, 3}, TypeCase{3, 6},
                                         TypeCase{4, 12}, TypeCase{5, 24}, TypeCase{6, 3},
                                         TypeCase{7, 3}, TypeCase{8, 6}, TypeCase{9, 12},
                                         TypeCase{10, 24}, TypeCase{11, 12}, TypeCase{12, 24},
                                         // Types beyond TIFF's twelve count one byte each.
                                         TypeCase{0, 3}, TypeCase{13, 3}, TypeCase{0xFFFF, 3}));

// Blocks written out byte by byte, independent of the fixture's writer.
struct LiteralCase {
    const char* name;
    std::string block;
    uint16_t tag;
    ExifTagStatus status;
    std::string value;
};

void PrintTo(const LiteralCase& c, std::ostream* os) { *os << c.name; }

const LiteralCase LiteralCases[] = {
    {"BigEndian",
     "MM\0*\0\0\0\x08"
     "\0\x01"
     "\x01\x32\0\x02\0\0\0\x14\0\0\0\x1A"
     "\0\0\0\0"
     "2023:04:01 07:29:26\0"s,
     TagDateTime, ExifTagStatus::Present, "2023:04:01 07:29:26\0"s},
    {"LittleEndian",
     "II*\0\x08\0\0\0"
     "\x01\0"
     "\x32\x01\x02\0\x14\0\0\0\x1A\0\0\0"
     "\0\0\0\0"
     "2023:04:01 07:29:26\0"s,
     TagDateTime, ExifTagStatus::Present, "2023:04:01 07:29:26\0"s},
    {"LittleEndianExifIfdViaPointer",
     "II*\0\x08\0\0\0"
     "\x01\0"
     "\x69\x87\x04\0\x01\0\0\0\x1A\0\0\0"
     "\0\0\0\0"
     "\x01\0"
     "\x03\x90\x02\0\x04\0\0\0"
     "abc\0"
     "\0\0\0\0"s,
     TagDateTimeOriginal, ExifTagStatus::Present, "abc\0"s},
    {"PointerOfTypeIfd",
     "MM\0*\0\0\0\x08"
     "\0\x01"
     "\x87\x69\0\x0D\0\0\0\x01\0\0\0\x1A"
     "\0\0\0\0"
     "\0\x01"
     "\x90\x04\0\x02\0\0\0\x04"
     "xyz\0"
     "\0\0\0\0"s,
     TagDateTimeDigitized, ExifTagStatus::Present, "xyz\0"s},
    {"PointerIntoHeader",
     "II*\0\x08\0\0\0"
     "\x01\0"
     "\x69\x87\x04\0\x01\0\0\0\x02\0\0\0"
     "\0\0\0\0"s,
     TagDateTimeOriginal, ExifTagStatus::Absent, ""},
    {"EmptyIfd0", "II*\0\x08\0\0\0\0\0\0\0\0\0"s, TagDateTime, ExifTagStatus::Absent, ""},
    {"Ifd0AtEnd", "II*\0\x08\0\0\0"s, TagDateTime, ExifTagStatus::Absent, ""},
    {"Ifd0CountCutShort", "II*\0\x08\0\0\0\x01"s, TagDateTime, ExifTagStatus::Absent, ""},
    {"Ifd0InsideHeader", "II*\0\x00\0\0\0\x01\0\0\0"s, TagDateTime, ExifTagStatus::Absent, ""},
    {"HeaderCutShort", "II*\0\x08\0\0"s, TagDateTime, ExifTagStatus::Absent, ""},
    {"Empty", "", TagDateTime, ExifTagStatus::Absent, ""},
    {"BigTiff", "II+\0\x08\0\0\0\0\0\0\0\0\0\0\0"s, TagDateTime, ExifTagStatus::Absent, ""},
};

class ExifTagLiteral : public testing::TestWithParam<LiteralCase> {};

TEST_P(ExifTagLiteral, ReadsTheBytesAsWritten)
{
    const LiteralCase& c = GetParam();
    Bytes block = ToBytes(c.block);
    ExifValue value;
    ASSERT_EQ(FindExifTag(block.data(), block.size(), c.tag, &value), c.status);
    EXPECT_EQ(ToText(value.data, value.size), c.value);
}

INSTANTIATE_TEST_SUITE_P(Blocks, ExifTagLiteral, testing::ValuesIn(LiteralCases),
                         [](const testing::TestParamInfo<LiteralCase>& info) {
                             return std::string(info.param.name);
                         });

// ---- FindExifBlock ----------------------------------------------------------

const Bytes Soi = {0xFF, 0xD8};
const Bytes Eoi = {0xFF, 0xD9};

Bytes DateBlock() { return ExifBlock(Exif({AsciiTag(TagDateTime, DateA)})); }

Bytes BlockOfSize(size_t size)
{
    Bytes block = DateBlock();
    block.resize(size, 0x5A);
    return block;
}

Bytes Xmp() { return JpegSegment(0xE1, ToBytes("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>"s)); }

struct WalkCase {
    const char* name;
    Bytes file;
    ExifSearch search;
    size_t offset;  // Found: the block's offset; NeedMoreBytes: the bytes needed
    Bytes block;    // Found: the block
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

const std::vector<WalkCase>& WalkCases()
{
    static const std::vector<WalkCase> cases = {
        {"ExifRightAfterSoi", Concat({Soi, ExifSegment(DateBlock()), JpegImageData()}),
         ExifSearch::Found, 12, DateBlock()},
        {"ExifAfterJfif", Concat({Soi, JfifSegment(), ExifSegment(DateBlock()), JpegImageData()}),
         ExifSearch::Found, 30, DateBlock()},
        {"ExifAfterXmp", Concat({Soi, Xmp(), ExifSegment(DateBlock())}), ExifSearch::Found,
         2 + Xmp().size() + 10, DateBlock()},
        {"ExifAfterApp1TooShortForTheSignature",
         Concat({Soi, JpegSegment(0xE1, ToBytes("Exi")), ExifSegment(DateBlock())}),
         ExifSearch::Found, 2 + 7 + 10, DateBlock()},
        {"ExifAfterOtherSegments",
         Concat({Soi, JfifSegment(), JpegSegment(0xE2, Bytes(65533, 0xE1)),
                 JpegSegment(0xFE, ToBytes("comment")), ExifSegment(DateBlock())}),
         ExifSearch::Found, 2 + 18 + 65537 + 11 + 10, DateBlock()},
        {"ExifAfterFillBytes", Concat({Soi, {0xFF, 0xFF, 0xFF}, ExifSegment(DateBlock())}),
         ExifSearch::Found, 15, DateBlock()},
        {"ExifAfterStandaloneMarkers",
         Concat({Soi, {0xFF, 0xD0, 0xFF, 0x01, 0xFF, 0xD7}, ExifSegment(DateBlock())}),
         ExifSearch::Found, 18, DateBlock()},
        {"ExifAfterImageHeaders",
         Concat({Soi, JpegSegment(0xDB, Bytes(65, 1)), ExifSegment(DateBlock())}),
         ExifSearch::Found, 2 + 69 + 10, DateBlock()},
        {"LongestExifSegment", Concat({Soi, ExifSegment(BlockOfSize(65527)), Eoi}),
         ExifSearch::Found, 12, BlockOfSize(65527)},
        {"EmptyExifSegment",
         Concat({Soi, ExifSegment({}), JpegImageData()}),
         ExifSearch::Found,
         12,
         {}},
        {"ExifSegmentEndsTheFile", Concat({Soi, ExifSegment(DateBlock())}), ExifSearch::Found, 12,
         DateBlock()},

        {"ExifAfterImageData",
         Concat({Soi, JpegImageData(), ExifSegment(DateBlock())}),
         ExifSearch::NotFound,
         0,
         {}},
        {"ExifAfterScanStart",
         Concat({Soi, JpegSegment(0xDA, {1, 1, 0, 0, 63, 0}), ExifSegment(DateBlock())}),
         ExifSearch::NotFound,
         0,
         {}},
        {"ExifAfterEoi", Concat({Soi, Eoi, ExifSegment(DateBlock())}), ExifSearch::NotFound, 0, {}},
        {"NoExifSegment", JpegWithoutExif(), ExifSearch::NotFound, 0, {}},
        {"OnlyXmp", Concat({Soi, Xmp(), JpegImageData()}), ExifSearch::NotFound, 0, {}},
        {"SignatureWithoutItsZeros",
         Concat({Soi, JpegSegment(0xE1, ToBytes("Exif\0\xFF"s + "II*\0")), JpegImageData()}),
         ExifSearch::NotFound,
         0,
         {}},
        {"NoSoi", Concat({ExifSegment(DateBlock()), JpegImageData()}), ExifSearch::NotFound, 0, {}},
        {"Gif", ToBytes("GIF89a\x01\0\x01\0"s), ExifSearch::NotFound, 0, {}},
        {"Png", ToBytes("\x89PNG\r\n\x1A\n"s), ExifSearch::NotFound, 0, {}},
        {"OneOtherByte", {'G'}, ExifSearch::NotFound, 0, {}},
        {"GarbageBetweenSegments",
         Concat({Soi, JfifSegment(), {0x00}, ExifSegment(DateBlock())}),
         ExifSearch::NotFound,
         0,
         {}},
        {"LengthBelowTwo",
         Concat({Soi, {0xFF, 0xE0, 0x00, 0x01}, ExifSegment(DateBlock())}),
         ExifSearch::NotFound,
         0,
         {}},
        {"StuffedZeroAsMarker",
         Concat({Soi, {0xFF, 0x00}, ExifSegment(DateBlock())}),
         ExifSearch::NotFound,
         0,
         {}},
        {"SecondSoi", Concat({Soi, Soi, ExifSegment(DateBlock())}), ExifSearch::NotFound, 0, {}},

        {"Nothing", {}, ExifSearch::NeedMoreBytes, 2, {}},
        {"MarkerByteAlone", {0xFF}, ExifSearch::NeedMoreBytes, 2, {}},
        {"SoiAlone", Soi, ExifSearch::NeedMoreBytes, 6, {}},
        {"MarkerWithoutLength",
         Concat({Soi, {0xFF, 0xE1, 0x00}}),
         ExifSearch::NeedMoreBytes,
         6,
         {}},
        {"App1WithoutSignature",
         Concat({Soi, {0xFF, 0xE1, 0x01, 0x00, 'E', 'x'}}),
         ExifSearch::NeedMoreBytes,
         12,
         {}},
        {"ExifSegmentCut",
         {0xFF, 0xD8, 0xFF, 0xE1, 0x10, 0x00, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I'},
         ExifSearch::NeedMoreBytes,
         2 + 2 + 0x1000,
         {}},
        {"SkippedSegmentCut",
         Concat({Soi, JfifSegment(), {0xFF, 0xE2, 0xFF, 0xFF, 1, 2, 3}}),
         ExifSearch::NeedMoreBytes,
         20 + 2 + 0xFFFF + 4,
         {}},
        {"FillByteAtEnd", Concat({Soi, {0xFF, 0xFF}}), ExifSearch::NeedMoreBytes, 7, {}},
    };
    return cases;
}

class ExifWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(ExifWalk, StopsAtTheFirstExifSegment)
{
    const WalkCase& c = GetParam();
    size_t offset = 1, size = 1, needed = 1;
    ExifSearch search = FindExifBlock(c.file.data(), c.file.size(), &offset, &size, &needed);
    ASSERT_EQ(search, c.search);
    if (search == ExifSearch::Found) {
        EXPECT_EQ(offset, c.offset);
        ASSERT_LE(offset + size, c.file.size());
        EXPECT_EQ(Bytes(c.file.begin() + offset, c.file.begin() + offset + size), c.block);
    } else if (search == ExifSearch::NeedMoreBytes) {
        EXPECT_EQ(needed, c.offset);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ExifWalk, testing::ValuesIn(WalkCases()),
                         [](const testing::TestParamInfo<WalkCase>& info) {
                             return std::string(info.param.name);
                         });

// Fed as a file reader feeds it: each time exactly the bytes it asked for.
TEST(ExifWalkRequests, AskForHeadersThenTheSignatureThenTheSegment)
{
    Bytes file = Concat({Soi, JfifSegment(), ExifSegment(DateBlock()), JpegImageData()});
    size_t exifEnd = 20 + 2 + 8 + DateBlock().size();
    std::vector<size_t> asked;
    size_t size = 0, offset = 0, blockSize = 0, needed = 0;
    ExifSearch search;
    while ((search = FindExifBlock(file.data(), size, &offset, &blockSize, &needed)) ==
               ExifSearch::NeedMoreBytes &&
           asked.size() < 10) {
        asked.push_back(needed);
        size = needed;
    }
    EXPECT_EQ(search, ExifSearch::Found);
    // SOI; APP0's header; APP1's header (APP0's body is passed over); its
    // signature; the whole segment.
    EXPECT_EQ(asked, (std::vector<size_t>{2, 6, 24, 30, exifEnd}));
    EXPECT_EQ(offset, 30u);
    EXPECT_EQ(blockSize, DateBlock().size());
}

// Every cut of a file short of its Exif segment's end asks for more, never for
// bytes past that end, and never finds a block it could not see whole.
class ExifWalkPrefixes : public testing::TestWithParam<WalkCase> {};

TEST_P(ExifWalkPrefixes, EveryShorterCutAsksForMore)
{
    const WalkCase& c = GetParam();
    size_t exifEnd = c.offset + c.block.size();
    for (size_t cut = 0; cut < exifEnd; ++cut) {
        size_t offset = 0, size = 0, needed = 0;
        ASSERT_EQ(FindExifBlock(c.file.data(), cut, &offset, &size, &needed),
                  ExifSearch::NeedMoreBytes)
            << "cut at " << cut;
        ASSERT_GT(needed, cut) << "cut at " << cut;
        ASSERT_LE(needed, exifEnd) << "cut at " << cut;
        ASSERT_LE(needed - cut, 65537u + 4) << "cut at " << cut;
    }
    size_t offset = 0, size = 0, needed = 0;
    ASSERT_EQ(FindExifBlock(c.file.data(), exifEnd, &offset, &size, &needed), ExifSearch::Found);
    EXPECT_EQ(offset, c.offset);
    EXPECT_EQ(size, c.block.size());
}

INSTANTIATE_TEST_SUITE_P(Files, ExifWalkPrefixes, testing::ValuesIn([] {
                             std::vector<WalkCase> found;
                             for (const WalkCase& c : WalkCases())
                                 if (c.search == ExifSearch::Found)
                                     found.push_back(c);
                             return found;
                         }()),
                         [](const testing::TestParamInfo<WalkCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
