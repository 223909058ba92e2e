// Damaged and odd files in a scanned folder: each is read without a crash or a
// hang, reported by its event, and keeps its bytes, whether it is renamed or
// not; with the last-write fallback on, a file whose date cannot be found is
// named after its last write instead.
#include "tests/rename/scan_fixture.h"

#include <ostream>
#include <tuple>

#include "tests/reliability/folder_contents.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::wstring>;
using NameList = std::vector<std::wstring>;

const std::string Date = "2023:04:01 07:29:26";
const std::wstring Stamp = L"20230401_072926";

const Bytes Soi = {0xFF, 0xD8};

Bytes DateBlock()
{
    ExifFixture exif;
    exif.tags = {AsciiTag(TagDateTimeOriginal, Date)};
    return ExifBlock(exif);
}

Bytes Repeat(const Bytes& part, int times)
{
    Bytes bytes;
    for (int i = 0; i < times; ++i)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

Bytes WithExif(const ExifFixture& exif)
{
    JpegFixture jpeg;
    jpeg.exif = exif;
    return BuildJpeg(jpeg);
}

Bytes CutBy(Bytes bytes, size_t count)
{
    bytes.resize(bytes.size() - count);
    return bytes;
}

// What the reader makes of a file.
enum class Outcome {
    Dated,         // the date is found: named after it
    NoDate,        // no date found: no name, or the last write with the fallback
    ValueOutside,  // the date entry points outside its block
    NotADate,      // the date value is no date text
};

struct BadJpegCase {
    const char* name;
    Bytes bytes;
    Outcome outcome;
};

void PrintTo(const BadJpegCase& c, std::ostream* os) { *os << c.name; }

const std::vector<BadJpegCase>& BadJpegCases()
{
    static const Bytes largest = [] {
        Bytes block = DateBlock();
        block.resize(65535 - 2 - 6, 0);  // the longest APP1 segment there is
        return Concat({Soi, ExifSegment(block), JpegImageData()});
    }();
    static const Bytes bigApp2 = JpegSegment(0xE2, Bytes(65533, 0xE2));
    static const Bytes comment = {0xFF, 0xFE, 0x00, 0x02};  // an empty COM segment

    static const std::vector<BadJpegCase> cases = {
        // Truncated.
        {"ZeroLength", {}, Outcome::NoDate},
        {"OnlySoi", Soi, Outcome::NoDate},
        {"CutInsideAMarkerHeader", {0xFF, 0xD8, 0xFF, 0xE1, 0x00}, Outcome::NoDate},
        {"CutInsideTheExifSegment",
         [] {
             JpegFixture jpeg;
             jpeg.exif.tags = {AsciiTag(TagDateTimeOriginal, Date)};
             jpeg.truncatedApp1 = true;
             return BuildJpeg(jpeg);
         }(),
         Outcome::NoDate},
        {"CutInsideTheImageData", CutBy(JpegWithDate(TagDateTimeOriginal, Date), 30),
         Outcome::Dated},
        // Huge segments.
        {"LongestExifSegment", largest, Outcome::Dated},
        {"LargeSegmentsBeforeExif",
         Concat({Soi, Repeat(bigApp2, 8), ExifSegment(DateBlock()), JpegImageData()}),
         Outcome::Dated},
        {"SegmentsBeyondTheOneMegabyteLimit",
         Concat({Soi, Repeat(bigApp2, 17), ExifSegment(DateBlock()), JpegImageData()}),
         Outcome::NoDate},
        {"TinySegmentsBeyondTheReadLimit",
         Concat({Soi, Repeat(comment, 3000), ExifSegment(DateBlock()), JpegImageData()}),
         Outcome::NoDate},
        {"SegmentLengthPastTheEnd", Concat({Soi, {0xFF, 0xE2, 0xFF, 0xFF}, Bytes(100, 0xE2)}),
         Outcome::NoDate},
        // Wrong markers.
        {"SegmentLengthBelowTwo", Concat({Soi, {0xFF, 0xE2, 0x00, 0x01}, ExifSegment(DateBlock())}),
         Outcome::NoDate},
        {"EndOfImageFirst", Concat({Soi, {0xFF, 0xD9}, ExifSegment(DateBlock())}), Outcome::NoDate},
        {"ImageDataBeforeExif", Concat({Soi, JpegImageData(), ExifSegment(DateBlock())}),
         Outcome::NoDate},
        {"NoMarkerAfterSoi", Concat({Soi, {0x00, 0x00}, ExifSegment(DateBlock())}),
         Outcome::NoDate},
        {"SecondSoi", Concat({Soi, Soi, ExifSegment(DateBlock())}), Outcome::NoDate},
        {"PngNamedJpeg",
         {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'},
         Outcome::NoDate},
        // Cyclic and damaged directories.
        {"ExifPointerLoopsToIfd0",
         [] {
             ExifFixture exif;
             exif.tags = {AsciiTag(TagDateTimeOriginal, Date)};
             exif.exifPointer = ExifPointer::ToIfd0;
             return WithExif(exif);
         }(),
         Outcome::NoDate},
        // The next-directory link of IFD0 leads back to IFD0 itself: only IFD0
        // and the Exif sub-IFD are read, so the loop is never followed.
        {"NextIfdLoopsToItself",
         [] {
             ExifFixture exif;
             exif.tags = {AsciiTag(TagDateTime, Date)};
             Bytes block = ExifBlock(exif);
             block[8 + 2 + 12] = 8;  // IFD0 at 8, one entry, then its next link
             return Concat({Soi, ExifSegment(block), JpegImageData()});
         }(),
         Outcome::Dated},
        {"Ifd0CountOverruns",
         [] {
             ExifFixture exif;
             exif.tags = {AsciiTag(TagDateTime, Date)};
             exif.damage = TiffDamage::Ifd0CountOverruns;
             return WithExif(exif);
         }(),
         Outcome::NoDate},
        {"DateValuePastTheBlock",
         [] {
             ExifFixture exif;
             FixtureTag date = AsciiTag(TagDateTimeOriginal, Date);
             date.valueOffset = 0xFFFFFFF0u;
             exif.tags = {date};
             return WithExif(exif);
         }(),
         Outcome::ValueOutside},
        {"DateCountBeyondTheBlock",
         [] {
             ExifFixture exif;
             FixtureTag date = AsciiTag(TagDateTimeOriginal, Date);
             date.count = 0xFFFFFFF0u;
             exif.tags = {date};
             return WithExif(exif);
         }(),
         Outcome::ValueOutside},
        {"DateOfBinaryBytes",
         [] {
             ExifFixture exif;
             FixtureTag date;
             date.tag = TagDateTimeOriginal;
             date.ifd = FixtureIfd::Exif;
             date.type = TypeUndefined;
             date.value = Bytes(20, 0xFF);
             date.count = 20;
             exif.tags = {date};
             return WithExif(exif);
         }(),
         Outcome::NotADate},
    };
    return cases;
}

class BadJpegs : public ScanTest,
                 public testing::WithParamInterface<std::tuple<BadJpegCase, bool>> {};

// The last write the file is given, in UTC, and the name it makes in local
// time. The _Fallback cases run in Central European time (their ctest entry
// sets TZ): this June moment is 14:34:56 in summer time there, an hour later
// than standard time would make it and two hours later than UTC.
const SYSTEMTIME LastWriteUtc = {2021, 6, 2, 15, 12, 34, 56, 0};
const wchar_t LastWriteStamp[] = L"20210615_143456";

TEST_P(BadJpegs, ReadWithoutCrashReportedAndKeptWhole)
{
    const auto& [bad, fallback] = GetParam();
    Settings.FileModifiedDate = fallback ? 1 : 0;
    Put(L"bad.jpg", bad.bytes);
    FILETIME lastWrite;
    ASSERT_TRUE(SystemTimeToFileTime(&LastWriteUtc, &lastWrite));
    HANDLE file = CreateFileW((folder / L"bad.jpg").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &lastWrite));
    CloseHandle(file);

    std::wstring path = folder / L"bad.jpg";
    std::wstring newName = L"bad.jpg";
    std::wstring event;
    switch (bad.outcome) {
    case Outcome::Dated:
        newName = Stamp + L".jpg";
        break;
    case Outcome::NoDate:
        if (fallback)
            newName = std::wstring(LastWriteStamp) + L".jpg";
        else
            event = L"No Exif information available for " + path + L" failed, File not renamed";
        break;
    case Outcome::ValueOutside:
        event = L"GetPropertyItem for " + path + L" failed, Error 13";
        break;
    case Outcome::NotADate:
        event = L"Cannot retrieve date/time from " + path;
        break;
    }
    if (event.empty())
        event = L"Renamed " + path + L" to " + newName;

    EXPECT_EQ(Scan(), Texts{event});
    EXPECT_EQ(processed, 1);
    EXPECT_EQ(FolderContents(folder.Path()),
              (std::map<std::wstring, uint64_t>{{newName, ContentHash(bad.bytes)}}));
}

INSTANTIATE_TEST_SUITE_P(Files, BadJpegs,
                         testing::Combine(testing::ValuesIn(BadJpegCases()), testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Fallback" : "_NoFallback");
                         });

// ---------------------------------------------------------------- attributes

// Read-only, hidden and system pictures and companions are renamed (the
// renames themselves are covered by the folder scan's tests); they keep their
// attributes and their bytes.
struct AttributeCase {
    const char* name;
    DWORD picture;
    DWORD companion;
};

void PrintTo(const AttributeCase& c, std::ostream* os) { *os << c.name; }

class AttributesKept : public ScanTest, public testing::WithParamInterface<AttributeCase> {};

TEST_P(AttributesKept, RenamedWithTheirAttributesAndBytes)
{
    Put(L"DSC.jpg", WithTrailer(JpegWithDate(TagDateTimeOriginal, Date), "picture"));
    Put(L"DSC.NEF", WithTrailer({}, "raw"));
    std::map<std::wstring, uint64_t> before = FolderContents(folder.Path());
    ASSERT_TRUE(SetFileAttributesW((folder / L"DSC.jpg").c_str(), GetParam().picture));
    ASSERT_TRUE(SetFileAttributesW((folder / L"DSC.NEF").c_str(), GetParam().companion));
    // As the system reports them (it may add the archive attribute).
    DWORD pictureAttributes = GetFileAttributesW((folder / L"DSC.jpg").c_str());
    DWORD companionAttributes = GetFileAttributesW((folder / L"DSC.NEF").c_str());
    ASSERT_EQ(pictureAttributes & ~FILE_ATTRIBUTE_ARCHIVE,
              GetParam().picture & ~FILE_ATTRIBUTE_ARCHIVE);

    Scan();
    EXPECT_EQ(renamed, 2);
    EXPECT_EQ(GetFileAttributesW((folder / (Stamp + L".jpg")).c_str()), pictureAttributes);
    EXPECT_EQ(GetFileAttributesW((folder / (Stamp + L".NEF")).c_str()), companionAttributes);
    EXPECT_EQ(FolderContents(folder.Path()),
              (std::map<std::wstring, uint64_t>{{Stamp + L".jpg", before[L"DSC.jpg"]},
                                                {Stamp + L".NEF", before[L"DSC.NEF"]}}));
}

INSTANTIATE_TEST_SUITE_P(
    Attributes, AttributesKept,
    testing::Values(
        AttributeCase{"ReadOnlyBoth", FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY},
        AttributeCase{"HiddenSystemPictureHiddenCompanion",
                      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_HIDDEN},
        AttributeCase{"AllThreeOnThePicture",
                      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
                      FILE_ATTRIBUTE_ARCHIVE}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- directories

// A directory bearing the companion's name exists as far as the companion
// step can tell, so it follows the picture to its new name, whole.
TEST_F(ScanTest, DirectoryNamedLikeTheCompanionFollowsWithItsContent)
{
    PutDated(L"DSC.jpg", Date);
    ASSERT_TRUE(CreateDirectoryW((folder / L"DSC.NEF").c_str(), nullptr));
    Put(L"DSC.NEF\\inside.txt", {1, 2, 3});

    EXPECT_EQ(Scan(), (Texts{L"Renamed " + (folder / L"DSC.jpg") + L" to " + Stamp + L".jpg",
                             L"Renamed " + (folder / L"DSC.NEF") + L" to " +
                                 (folder / (Stamp + L".NEF"))}));
    EXPECT_EQ(ReadFileBytes(folder / (Stamp + L".NEF\\inside.txt")), (Bytes{1, 2, 3}));
}

}  // namespace
