// Reading the Exif block from a file: which reads are made, files in a scratch
// folder (sharing, failures), and the camera samples with their known stamps.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "capture/exif_file.h"
#include "capture/exif_reader.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/memory_reads.h"
#include "tests/support/scratch_folder.h"

using namespace std::string_literals;

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes Soi = {0xFF, 0xD8};

Bytes DateBlock(size_t size = 0)
{
    ExifFixture exif;
    exif.tags = {AsciiTag(TagDateTime, "2023:04:01 07:29:26")};
    Bytes block = ExifBlock(exif);
    if (size > block.size())
        block.resize(size, 0x5A);
    return block;
}

// The block the walk finds when it is given the whole file at once.
Bytes WholeFileBlock(const Bytes& file)
{
    size_t offset = 0, size = 0, needed = 0;
    if (FindExifBlock(file.data(), file.size(), &offset, &size, &needed) != ExifSearch::Found)
        return {};
    return Bytes(file.begin() + offset, file.begin() + offset + size);
}

Bytes Repeat(const Bytes& part, int times)
{
    Bytes bytes;
    for (int i = 0; i < times; ++i)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

// ---- The reads made ---------------------------------------------------------

struct ReadCase {
    const char* name;
    Bytes file;
    bool found;
    int reads;         // at most
    size_t bytesRead;  // at most
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

const Bytes Jfif = JfifSegment();
const Bytes BigApp2 = JpegSegment(0xE2, Bytes(60000, 0xE2));

Bytes LargeXmp()
{
    std::string xmp = "http://ns.adobe.com/xap/1.0/\0"s + std::string(30000, ' ');
    return JpegSegment(0xE1, Bytes(xmp.begin(), xmp.end()));
}

const std::vector<ReadCase>& ReadCases()
{
    // 4096 is the first read; the rest is what the walk asked for.
    static const std::vector<ReadCase> cases = {
        {"SmallExifAfterSoi", Concat({Soi, ExifSegment(DateBlock()), JpegImageData()}), true, 1,
         4096},
        {"SmallExifAfterJfif", Concat({Soi, Jfif, ExifSegment(DateBlock()), JpegImageData()}), true,
         1, 4096},
        {"CameraSizedExifAfterSoi", Concat({Soi, ExifSegment(DateBlock(11250)), JpegImageData()}),
         true, 2, 2 + 4 + 6 + 11250},
        {"LongestExifAfterJfif",
         Concat({Soi, Jfif, ExifSegment(DateBlock(65527)), JpegImageData()}), true, 2, 20 + 65537},
        {"ExifEndsTheFile", Concat({Soi, ExifSegment(DateBlock(9000))}), true, 2, 2 + 9010},
        // Bodies passed over are not read: 4 header bytes per segment, then the
        // signature and the Exif segment.
        {"ExifAfterThreeLargeSegments",
         Concat({Soi, Jfif, BigApp2, BigApp2, BigApp2, ExifSegment(DateBlock(20000)),
                 JpegImageData()}),
         true, 6, 4096 + 3 * 4 + 20010},
        {"ExifAfterLargeXmp",
         Concat({Soi, LargeXmp(), ExifSegment(DateBlock(2000)), JpegImageData()}), true, 4,
         4096 + 4 + 2010},
        {"NoExifInFirstRead", JpegWithoutExif(), false, 1, 4096},
        {"NotAJpeg", Bytes(10000, 'x'), false, 1, 4096},
        {"Empty", {}, false, 1, 0},
        {"CutInsideSmallExif",
         [] {
             Bytes file = Concat({Soi, ExifSegment(DateBlock(3000))});
             file.resize(2000);
             return file;
         }(),
         false, 1, 2000},
        {"CutInsideLargeExif",
         [] {
             Bytes file = Concat({Soi, ExifSegment(DateBlock(30000))});
             file.resize(20000);
             return file;
         }(),
         false, 2, 20000},
        {"CutInsidePassedSegment",
         [] {
             Bytes file = Concat({Soi, BigApp2, ExifSegment(DateBlock())});
             file.resize(30000);
             return file;
         }(),
         false, 2, 4096},
        // Limits for odd files: the extent and the number of reads.
        {"ExifBeyondTheExtentLimit",
         Concat({Soi, Repeat(BigApp2, 20), ExifSegment(DateBlock()), JpegImageData()}), false,
         ExifMaxReads, 4096 + 20 * 4},
        {"ExifAfterManySmallSegmentsBeyondTheFirstRead",
         Concat({Soi, BigApp2, Repeat(JpegSegment(0xFE, Bytes(40, 'c')), 100),
                 ExifSegment(DateBlock())}),
         false, ExifMaxReads, 4096 + ExifMaxReads * 44},
    };
    return cases;
}

class ExifReads : public testing::TestWithParam<ReadCase> {};

TEST_P(ExifReads, ReadsOnlyWhatTheWalkAsksFor)
{
    const ReadCase& c = GetParam();
    MemoryFile file(&c.file);
    Bytes block = {1, 2, 3};
    bool found = ReadExifBlockFrom(ReadMemory, &file, &block);
    ASSERT_EQ(found, c.found);
    EXPECT_EQ(block, found ? WholeFileBlock(c.file) : Bytes{});
    EXPECT_GE(file.reads, 1);
    EXPECT_LE(file.reads, c.reads);
    EXPECT_LE(file.reads, ExifMaxReads);
    EXPECT_LE(file.bytesRead, c.bytesRead);
    // After the first read nothing beyond the Exif segment is asked for.
    if (found) {
        size_t offset = 0, size = 0, needed = 0;
        FindExifBlock(c.file.data(), c.file.size(), &offset, &size, &needed);
        EXPECT_LE(file.furthest, std::max<uint64_t>(ExifFirstReadBytes, offset + size));
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, ExifReads, testing::ValuesIn(ReadCases()),
                         [](const testing::TestParamInfo<ReadCase>& info) {
                             return std::string(info.param.name);
                         });

// ---- Files ------------------------------------------------------------------

struct FileCase {
    const char* name;
    Bytes file;
    bool found;
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

JpegFixture WithExif(bool bigEndian)
{
    JpegFixture jpeg;
    jpeg.exif.bigEndian = bigEndian;
    jpeg.exif.tags = {AsciiTag(TagDateTime, "2023:04:01 07:29:26"),
                      AsciiTag(TagDateTimeOriginal, "2023:04:01 07:29:25")};
    return jpeg;
}

const std::vector<FileCase>& FileCases()
{
    static const std::vector<FileCase> cases = {
        {"DateTimeIntel", BuildJpeg(WithExif(false)), true},
        {"DateTimeMotorola", BuildJpeg(WithExif(true)), true},
        {"AfterJfif",
         [] {
             JpegFixture jpeg = WithExif(false);
             jpeg.jfif = true;
             return BuildJpeg(jpeg);
         }(),
         true},
        {"AfterLargeSegments",
         [] {
             JpegFixture jpeg = WithExif(true);
             jpeg.jfif = true;
             jpeg.segmentsBeforeExif = {BigApp2, BigApp2};
             return BuildJpeg(jpeg);
         }(),
         true},
        {"OriginalOnly", JpegWithDate(TagDateTimeOriginal, "2023:04:01 07:29:26"), true},
        {"DamagedTiffHeaderIsStillABlock",
         [] {
             JpegFixture jpeg = WithExif(false);
             jpeg.exif.damage = TiffDamage::Magic;
             return BuildJpeg(jpeg);
         }(),
         true},
        {"NoExif", JpegWithoutExif(), false},
        {"TruncatedApp1",
         [] {
             JpegFixture jpeg = WithExif(false);
             jpeg.truncatedApp1 = true;
             return BuildJpeg(jpeg);
         }(),
         false},
        {"NoSoi",
         [] {
             JpegFixture jpeg = WithExif(false);
             jpeg.soi = false;
             return BuildJpeg(jpeg);
         }(),
         false},
        {"Text", Bytes{'h', 'e', 'l', 'l', 'o'}, false},
        {"Empty", {}, false},
    };
    return cases;
}

class ExifFile : public testing::TestWithParam<FileCase> {
protected:
    ScratchFolder folder;
    std::wstring path = folder / L"DSC_0042.JPG";
};

TEST_P(ExifFile, ReadsTheBlockOfTheFile)
{
    ASSERT_TRUE(WriteFileBytes(path, GetParam().file));
    Bytes block = {1, 2, 3};
    ASSERT_EQ(ReadExifBlock(path.c_str(), &block), GetParam().found);
    EXPECT_EQ(block, GetParam().found ? WholeFileBlock(GetParam().file) : Bytes{});
    // The file is closed again: it can be renamed at once.
    EXPECT_TRUE(MoveFileW(path.c_str(), (folder / L"20230401_072926.JPG").c_str()));
}

INSTANTIATE_TEST_SUITE_P(Files, ExifFile, testing::ValuesIn(FileCases()),
                         [](const testing::TestParamInfo<FileCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(ExifFileOpen, MissingFileFailsWithItsReason)
{
    ScratchFolder folder;
    Bytes block = {1, 2, 3};
    EXPECT_FALSE(ReadExifBlock((folder / L"missing.jpg").c_str(), &block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(block.empty());
}

TEST(ExifFileOpen, FolderIsNoPicture)
{
    ScratchFolder folder;
    ASSERT_TRUE(CreateDirectoryW((folder / L"album.jpg").c_str(), nullptr));
    Bytes block;
    EXPECT_FALSE(ReadExifBlock((folder / L"album.jpg").c_str(), &block));
}

// Another program holding the picture: the reader shares read and delete
// access but not write, so a program that writes the file (or shares nothing)
// keeps it out, and the refusal is told apart as busy.
struct HolderCase {
    const char* name;
    DWORD access;
    DWORD share;
    bool found;  // false: refused as busy
};

void PrintTo(const HolderCase& c, std::ostream* os) { *os << c.name; }

class ExifFileHeld : public testing::TestWithParam<HolderCase> {};

TEST_P(ExifFileHeld, ReadsUnlessTheHolderWritesOrSharesNothing)
{
    ScratchFolder folder;
    std::wstring path = folder / L"DSC_0042.JPG";
    ASSERT_TRUE(WriteFileBytes(path, BuildJpeg(WithExif(false))));
    HANDLE holder = CreateFileW(path.c_str(), GetParam().access, GetParam().share, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    Bytes block;
    unsigned long failure = 1;
    bool found = ReadExifBlock(path.c_str(), &block, &failure);
    CloseHandle(holder);
    EXPECT_EQ(found, GetParam().found);
    EXPECT_EQ(failure, GetParam().found ? 0ul : 32ul) << "refused with a sharing violation";
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

INSTANTIATE_TEST_SUITE_P(
    Holders, ExifFileHeld,
    testing::Values(HolderCase{"Reader", GENERIC_READ, FILE_SHARE_READ, true},
                    HolderCase{"Writer", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
                    HolderCase{"WriterSharingAll", GENERIC_WRITE, ShareAll, false},
                    HolderCase{"Deleter", DELETE, ShareAll, true},
                    HolderCase{"ExclusiveReader", GENERIC_READ, 0, false}),
    [](const testing::TestParamInfo<HolderCase>& info) { return std::string(info.param.name); });

// ---- Camera samples ---------------------------------------------------------

// LUMISTAMP_EXIF_SAMPLES is a narrow path with forward slashes.
std::wstring SamplesPath(const std::string& name)
{
    std::string path = std::string(LUMISTAMP_EXIF_SAMPLES) + "/" + name;
    std::wstring wide(path.begin(), path.end());
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

struct SampleRow {
    std::string file, outcome, stamp;
};

std::vector<SampleRow> ReadExpected(const std::string& text)
{
    std::vector<SampleRow> rows;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);  // the heading
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        SampleRow row;
        std::istringstream fields(line);
        std::getline(fields, row.file, '\t');
        std::getline(fields, row.outcome, '\t');
        std::getline(fields, row.stamp, '\t');
        rows.push_back(row);
    }
    return rows;
}

// The stamp as a name gets it: each number's low 16 bits, unsigned.
std::string Stamp(const int n[6])
{
    char text[64];
    std::snprintf(text, sizeof text, "%04u%02u%02u_%02u%02u%02u",
                  unsigned{static_cast<uint16_t>(n[0])}, unsigned{static_cast<uint16_t>(n[1])},
                  unsigned{static_cast<uint16_t>(n[2])}, unsigned{static_cast<uint16_t>(n[3])},
                  unsigned{static_cast<uint16_t>(n[4])}, unsigned{static_cast<uint16_t>(n[5])});
    return text;
}

TEST(CameraSamples, FirstPresentDateTagGivesTheExpectedOutcome)
{
    std::wstring expectedPath = SamplesPath("expected.tsv");
    if (!PathExists(expectedPath))
        GTEST_SKIP() << "no camera samples at " << LUMISTAMP_EXIF_SAMPLES;
    std::vector<SampleRow> rows = ReadExpected(ReadFileText(expectedPath));
    ASSERT_GE(rows.size(), 20u) << "expected.tsv read badly";

    ScratchFolder folder;
    const uint16_t dateTags[] = {TagDateTime, TagDateTimeOriginal, TagDateTimeDigitized};
    for (const SampleRow& row : rows) {
        SCOPED_TRACE(row.file + " (" + row.outcome + ")");
        std::string flat = row.file;
        std::replace(flat.begin(), flat.end(), '/', '_');
        std::wstring copy = folder / std::wstring(flat.begin(), flat.end());
        ASSERT_TRUE(CopyFileW(SamplesPath(row.file).c_str(), copy.c_str(), TRUE));

        Bytes block;
        bool read = ReadExifBlock(copy.c_str(), &block);
        EXPECT_EQ(block, WholeFileBlock(ReadFileBytes(copy))) << "sparse reads, other block";
        if (row.outcome == "notjpeg") {
            EXPECT_FALSE(read);
            continue;
        }
        ASSERT_TRUE(read);

        ExifValue value;
        ExifTagStatus status = ExifTagStatus::Absent;
        for (uint16_t tag : dateTags) {
            status = FindExifTag(block.data(), block.size(), tag, &value);
            if (status != ExifTagStatus::Absent)
                break;
        }
        int numbers[6] = {};
        if (row.outcome == "nodate") {
            EXPECT_EQ(status, ExifTagStatus::Absent);
        } else if (row.outcome == "badvalue") {
            EXPECT_FALSE(status == ExifTagStatus::Present &&
                         ParseExifDateText(value.data, value.size, numbers));
        } else {
            ASSERT_EQ(row.outcome, "stamp");
            ASSERT_EQ(status, ExifTagStatus::Present);
            ASSERT_TRUE(ParseExifDateText(value.data, value.size, numbers));
            EXPECT_EQ(Stamp(numbers), row.stamp);
        }
    }
}

}  // namespace
