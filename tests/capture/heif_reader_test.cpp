// The HEIF box walk over bytes and the reads it leads to: the layouts writers
// use (item location versions, field sizes, base offsets, 64-bit and
// to-the-end box sizes, joined extents), the refusals (construction methods
// other than file offsets, too many extents, items beyond the file, damaged
// or truncated boxes, files of another kind), and the bound on bytes read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "capture/exif_reader.h"
#include "capture/heif_file.h"
#include "capture/heif_reader.h"
#include "tests/support/heif_fixture.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/memory_reads.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes DateBlock(uint16_t tag = TagDateTime, bool bigEndian = false)
{
    ExifFixture exif;
    exif.bigEndian = bigEndian;
    exif.tags = {AsciiTag(tag, "2023:04:01 07:29:26")};
    return ExifBlock(exif);
}

// The date text the reads find, "" when none: the first of the three date
// tags, as the capture time reads them.
std::string DateFound(const Bytes& file, MemoryFile* reads)
{
    std::vector<uint8_t> block;
    if (!ReadHeifExifBlockFrom(ReadMemory, reads, file.size(), &block))
        return "";
    for (uint16_t tag : {TagDateTime, TagDateTimeOriginal, TagDateTimeDigitized}) {
        ExifValue value;
        if (FindExifTag(block.data(), block.size(), tag, &value) == ExifTagStatus::Present)
            return std::string(reinterpret_cast<const char*>(value.data), value.size - 1);
    }
    return "?";
}

struct LayoutCase {
    const char* name;
    std::function<void(HeifFixture&)> change;
    bool found;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

const LayoutCase LayoutCases[] = {
    {"AsWritten", [](HeifFixture&) {}, true},
    {"LocationsVersion0", [](HeifFixture& h) { h.ilocVersion = 0; }, true},
    {"LocationsVersion2WithLongIds",
     [](HeifFixture& h) {
         h.ilocVersion = 2;
         h.infeVersion = 3;
     },
     true},
    {"InfoVersion1", [](HeifFixture& h) { h.iinfVersion = 1; }, true},
    {"EightByteFieldsAndIndex",
     [](HeifFixture& h) {
         h.offsetSize = 8;
         h.lengthSize = 8;
         h.indexSize = 4;
     },
     true},
    {"BaseOffset4",
     [](HeifFixture& h) {
         h.baseOffsetSize = 4;
         h.baseOffset = true;
     },
     true},
    {"BaseOffset8WithoutExtentOffsets",
     [](HeifFixture& h) {
         h.baseOffsetSize = 8;
         h.baseOffset = true;
         h.offsetSize = 0;
     },
     true},
    {"LargeBoxSizes", [](HeifFixture& h) { h.largeSizes = true; }, true},
    {"MediaDataToTheEndAndExifToTheEnd",
     [](HeifFixture& h) {
         h.mdatSizeZero = true;
         h.exifLengthZero = true;
     },
     true},
    {"LocationsBeforeInfo", [](HeifFixture& h) { h.ilocBeforeIinf = true; }, true},
    {"TwoExtentsJoined", [](HeifFixture& h) { h.exifExtents = 2; }, true},
    {"FourExtentsJoined", [](HeifFixture& h) { h.exifExtents = 4; }, true},
    {"NoPrefixBeforeTiff", [](HeifFixture& h) { h.tiffPrefix.clear(); }, true},
    // Exif items as some phones write them.
    {"PhoneItemWithoutItsOffset",
     [](HeifFixture& h) {
         h.withoutTiffOffset = true;
         h.tiffPrefix.clear();
     },
     true},
    {"PhoneItemBeginningWithAnApp1Segment",
     [](HeifFixture& h) {
         h.withoutTiffOffset = true;
         h.tiffPrefix = std::string("\xFF\xE1\x01\x00"
                                    "Exif\0\0",
                                    10);
     },
     true},
    {"PhoneItemWithAnApp1SegmentAfterAZeroOffset",
     [](HeifFixture& h) {
         h.statedTiffOffset = 0;
         h.tiffPrefix = std::string("\xFF\xE1\x01\x00"
                                    "Exif\0\0",
                                    10);
     },
     true},
    {"PhoneItemWithAnApp1SegmentAfterAnOffsetOfSix",
     [](HeifFixture& h) {
         h.statedTiffOffset = 6;
         h.tiffPrefix = std::string("\xFF\xE1\x01\x00"
                                    "Exif\0\0",
                                    10);
     },
     true},
    {"BigEndianTiff", [](HeifFixture& h) { h.exifBlock = DateBlock(TagDateTime, true); }, true},
    {"OnlyDateTimeOriginal", [](HeifFixture& h) { h.exifBlock = DateBlock(TagDateTimeOriginal); },
     true},
    {"CameraBrands",
     [](HeifFixture& h) {
         h.majorBrand = "heix";
         h.compatibleBrands = {"mif1", "heix"};
     },
     true},
    {"MetaBeyondFirstRead", [](HeifFixture& h) { h.metaPadding = 30000; }, true},
    {"ManyBoxesBeyondFirstRead",
     [](HeifFixture& h) {
         h.metaPadding = 17000;
         h.metaSmallBoxes = 8;
     },
     true},
    {"ExifAfterLargeImage",
     [](HeifFixture& h) {
         h.exifAfterImage = true;
         h.imageBytes = 3000000;
     },
     true},

    {"FiveExtentsRefused", [](HeifFixture& h) { h.exifExtents = 5; }, false},
    {"InItemDataRefused", [](HeifFixture& h) { h.constructionMethod = 1; }, false},
    {"FromOtherItemsRefused", [](HeifFixture& h) { h.constructionMethod = 2; }, false},
    {"NoExifItem", [](HeifFixture& h) { h.withExifItem = false; }, false},
    {"ItemTypeInLowerCase", [](HeifFixture& h) { h.exifItemType = "exif"; }, false},
    {"NotAPictureHandler", [](HeifFixture& h) { h.handler = "vide"; }, false},
    {"VideoBrandsOnly",
     [](HeifFixture& h) {
         h.majorBrand = "isom";
         h.compatibleBrands = {"isom", "mp41"};
     },
     false},
    {"ItemBeyondTheFile", [](HeifFixture& h) { h.exifOffsetShift = 1000000; }, false},
    {"ItemOffsetWrapping",
     [](HeifFixture& h) {
         h.offsetSize = 8;
         h.exifOffsetShift = 0xFFFFFFFFFFFFFF00u;
     },
     false},
    {"TiffOffsetBeyondItem",
     [](HeifFixture& h) { h.tiffOffsetExtra = static_cast<uint32_t>(h.exifBlock.size()) + 1; },
     false},
    {"MetaBeyondReadBound", [](HeifFixture& h) { h.metaPadding = 60000; }, false},
    // The meta box behind the media data, as Samsung phones write it: found
    // by the box headers on the way, within the same bounds.
    {"MetaAfterSmallData", [](HeifFixture& h) { h.metaAfterData = true; }, true},
    {"MetaAfterLargeData",
     [](HeifFixture& h) {
         h.metaAfterData = true;
         h.imageBytes = 3000000;
     },
     true},
    {"MetaAfterDataWith64BitSizes",
     [](HeifFixture& h) {
         h.metaAfterData = true;
         h.largeSizes = true;
         h.imageBytes = 100000;
     },
     true},
    {"MetaAfterDataExifLast",
     [](HeifFixture& h) {
         h.metaAfterData = true;
         h.exifAfterImage = true;
         h.imageBytes = 100000;
     },
     true},
    {"MetaAfterDataBeyondReadBound",
     [](HeifFixture& h) {
         h.metaAfterData = true;
         h.imageBytes = 100000;
         h.metaPadding = 40000;
     },
     false},
    {"MetaAfterDataNotAnImageFile",
     [](HeifFixture& h) {
         h.metaAfterData = true;
         h.imageBytes = 100000;
         h.majorBrand = "isom";
         h.compatibleBrands = {"isom", "mp41"};
     },
     false},
    {"FieldSizeNotAllowed", [](HeifFixture& h) { h.offsetSize = 2; }, false},
};

class HeifLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(HeifLayout, FindsTheDateWithinTheReadBound)
{
    HeifFixture heif;
    heif.exifBlock = DateBlock();
    GetParam().change(heif);
    Bytes file = BuildHeif(heif);
    MemoryFile reads(&file);
    EXPECT_EQ(DateFound(file, &reads), GetParam().found ? "2023:04:01 07:29:26" : "");
    EXPECT_LE(reads.bytesRead, 65536u);
    EXPECT_LE(reads.reads, 5);
}

INSTANTIATE_TEST_SUITE_P(Layouts, HeifLayout, testing::ValuesIn(LayoutCases),
                         [](const testing::TestParamInfo<LayoutCase>& info) {
                             return std::string(info.param.name);
                         });

// ---- The reads made ---------------------------------------------------------

TEST(HeifReads, ExifBehindTheImageIsReadWithoutTheImage)
{
    HeifFixture heif;
    heif.exifBlock = DateBlock();
    heif.exifAfterImage = true;
    heif.imageBytes = 3000000;
    Bytes file = BuildHeif(heif);
    MemoryFile reads(&file);
    ASSERT_EQ(DateFound(file, &reads), "2023:04:01 07:29:26");
    // The first 16 KiB, then the Exif item at the file's end.
    ASSERT_EQ(reads.ranges.size(), 2u);
    EXPECT_EQ(reads.ranges[0], (std::pair<uint64_t, uint64_t>{0, 16384}));
    EXPECT_EQ(reads.ranges[1].second, file.size());
    EXPECT_LT(reads.ranges[1].second - reads.ranges[1].first, 200u);
}

// Past the first read the walk asks for each box header by itself: however
// many boxes lie there, one more read takes the rest of the header bound.
TEST(HeifReads, BoxesBeyondTheFirstReadTakeOneMoreRead)
{
    HeifFixture heif;
    heif.exifBlock = DateBlock();
    heif.metaPadding = 17000;
    heif.metaSmallBoxes = 40;
    heif.imageBytes = 100000;
    Bytes file = BuildHeif(heif);
    MemoryFile reads(&file);
    ASSERT_EQ(DateFound(file, &reads), "2023:04:01 07:29:26");
    // The Exif item lies right behind the meta box, inside the second read.
    ASSERT_EQ(reads.ranges.size(), 2u);
    EXPECT_EQ(reads.ranges[0], (std::pair<uint64_t, uint64_t>{0, 16384}));
    EXPECT_EQ(reads.ranges[1], (std::pair<uint64_t, uint64_t>{16384, 49152}));
}

// The meta box behind more than 4 GiB of media data: the first read, one box
// header, the meta box; the hole never read.
TEST(HeifReads, MetaBehind5GiBOfDataTakesThreeReads)
{
    HeifFixture heif;
    heif.exifBlock = DateBlock();
    heif.metaAfterData = true;
    heif.largeSizes = true;
    Bytes file = BuildHeif(heif);
    auto number = [&](size_t at, int width) {
        uint64_t value = 0;
        for (int i = 0; i < width; ++i)
            value = value << 8 | file[at + static_cast<size_t>(i)];
        return value;
    };
    size_t mdat = static_cast<size_t>(number(8, 8));  // the file type box's 64-bit size
    size_t meta = mdat + static_cast<size_t>(number(mdat + 8, 8));
    const uint64_t mediaSize = (uint64_t{5} << 30) + 3;
    Bytes head(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(meta));
    for (int i = 0; i < 8; ++i)
        head[mdat + 8 + static_cast<size_t>(i)] = static_cast<uint8_t>(mediaSize >> (56 - 8 * i));
    SparseFile sparse{head, mdat + mediaSize,
                      Bytes(file.begin() + static_cast<std::ptrdiff_t>(meta), file.end())};
    std::vector<uint8_t> block;
    ASSERT_TRUE(ReadHeifExifBlockFrom(ReadSparse, &sparse, sparse.Size(), &block));
    ExifValue value;
    ASSERT_EQ(FindExifTag(block.data(), block.size(), TagDateTime, &value), ExifTagStatus::Present);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(value.data), value.size - 1),
              "2023:04:01 07:29:26");
    EXPECT_EQ(sparse.reads, 3);
    EXPECT_LE(sparse.bytesRead, 65536u);
    EXPECT_EQ(sparse.furthest, sparse.Size());
}

// Where the meta box ends, read from the file: the file type box's size, then
// the meta box's.
size_t MetaEnd(const Bytes& file)
{
    auto u32 = [&](size_t at) {
        return size_t{file[at]} << 24 | size_t{file[at + 1]} << 16 | size_t{file[at + 2]} << 8 |
               file[at + 3];
    };
    size_t ftyp = u32(0);
    return ftyp + u32(ftyp);
}

TEST(HeifReads, BoxesMayEndAtTheHeaderBound)
{
    // Many small boxes past the first read, the last of the boxes the walk
    // needs (the item locations) ending exactly at the bound, then a byte
    // beyond it.
    HeifFixture heif;
    heif.exifBlock = DateBlock();
    heif.metaSmallBoxes = 8;
    heif.imageBytes = 100000;
    heif.metaPadding = 8;
    size_t padding = 49152 - MetaEnd(BuildHeif(heif)) + 8;
    for (size_t beyond : {0, 1}) {
        heif.metaPadding = static_cast<uint32_t>(padding + beyond);
        Bytes file = BuildHeif(heif);
        ASSERT_EQ(MetaEnd(file), 49152 + beyond);
        MemoryFile reads(&file);
        EXPECT_EQ(DateFound(file, &reads), beyond ? "" : "2023:04:01 07:29:26") << beyond;
        EXPECT_LE(reads.bytesRead, 65536u);
    }
}

TEST(HeifReads, SmallFileIsReadOnce)
{
    HeifFixture heif;
    heif.exifBlock = DateBlock();
    Bytes file = BuildHeif(heif);
    MemoryFile reads(&file);
    ASSERT_EQ(DateFound(file, &reads), "2023:04:01 07:29:26");
    EXPECT_EQ(reads.reads, 1);
}

TEST(HeifReads, LongExifItemIsTakenUpToTheBound)
{
    // A thumbnail behind the dates: the item is cut where 64 KiB are read,
    // and the dates before the cut are found.
    HeifFixture heif;
    heif.exifBlock = DateBlock();
    heif.exifBlock.resize(200000, 0x11);
    heif.exifAfterImage = true;
    heif.imageBytes = 100000;
    Bytes file = BuildHeif(heif);
    MemoryFile reads(&file);
    EXPECT_EQ(DateFound(file, &reads), "2023:04:01 07:29:26");
    EXPECT_EQ(reads.bytesRead, 65536u);
}

TEST(HeifReads, TruncatedFilesGiveNoBlock)
{
    HeifFixture heif;
    heif.exifBlock = DateBlock();
    heif.exifAfterImage = true;
    heif.imageBytes = 3000;
    Bytes whole = BuildHeif(heif);
    // Cut inside the file type box, the meta box, the image and the Exif item.
    for (size_t size : {size_t{0}, size_t{10}, size_t{100}, size_t{1000}, whole.size() - 20}) {
        Bytes file(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(size));
        MemoryFile reads(&file);
        EXPECT_EQ(DateFound(file, &reads), "") << size;
    }
}

// ---- The walk by itself: what it asks for and where it places the item -----

// A hand-made file: ftyp (20 bytes: heic, 0, mif1), meta (version 0) with
// hdlr 'pict' (33 bytes), iinf version 0 with one infe version 2 of item 7,
// type Exif (21 + 14 bytes), iloc version 1, offset and length 4 bytes, base
// offset 4 bytes, one item 7 with base 0x1000 and one extent at 0x20 of 0x40
// bytes (36 bytes). The meta box is 8 + 4 + 33 + 35 + 36 = 116 bytes.
Bytes HandMadeFile(uint32_t metaSizeField = 116)
{
    Bytes file = HeifBox("ftyp", {'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1'});
    Bytes meta = {0, 0, 0, 0};
    Bytes hdlr = {0, 0, 0, 0, 'p', 'i', 'c', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Bytes infe = HeifFullBox("infe", 2, 1, {0, 7, 0, 0, 'E', 'x', 'i', 'f', 0});
    Bytes iinf = {0, 1};
    for (uint8_t byte : infe)
        iinf.push_back(byte);
    Bytes iloc = {0x44, 0x40, 0, 1, 0, 7, 0, 0,    0, 0, 0, 0,
                  0x10, 0,    0, 1, 0, 0, 0, 0x20, 0, 0, 0, 0x40};
    for (const Bytes& box : {HeifFullBox("hdlr", 0, 0, hdlr), HeifFullBox("iinf", 0, 0, iinf),
                             HeifFullBox("iloc", 1, 0, iloc)})
        for (uint8_t byte : box)
            meta.push_back(byte);
    PutNumber(&file, metaSizeField, 4);
    for (uint8_t byte : Bytes{'m', 'e', 't', 'a'})
        file.push_back(byte);
    for (uint8_t byte : meta)
        file.push_back(byte);
    return file;
}

TEST(HeifWalk, PlacesTheItemAtBasePlusOffset)
{
    Bytes file = HandMadeFile();
    ASSERT_EQ(file.size(), 136u);
    HeifExifItem item;
    size_t needed = 0;
    ASSERT_EQ(FindHeifExifItem(file.data(), file.size(), 0x2000, &item, &needed),
              HeifSearch::Found);
    EXPECT_EQ(item.extentCount, 1u);
    EXPECT_EQ(item.offsets[0], 0x1020u);
    EXPECT_EQ(item.lengths[0], 0x40u);
    EXPECT_EQ(item.size, 0x40u);
}

TEST(HeifWalk, RefusesAnItemEndingBeyondTheFile)
{
    Bytes file = HandMadeFile();
    HeifExifItem item;
    size_t needed = 0;
    // The extent ends at 0x1060.
    EXPECT_EQ(FindHeifExifItem(file.data(), file.size(), 0x1060, &item, &needed),
              HeifSearch::Found);
    EXPECT_EQ(FindHeifExifItem(file.data(), file.size(), 0x105F, &item, &needed),
              HeifSearch::NotFound);
    EXPECT_EQ(item.extentCount, 0u);
}

TEST(HeifWalk, MetaOfSizeZeroReachesTheFileEnd)
{
    Bytes file = HandMadeFile(0);
    HeifExifItem item;
    size_t needed = 0;
    EXPECT_EQ(FindHeifExifItem(file.data(), file.size(), 0x2000, &item, &needed),
              HeifSearch::Found);
    EXPECT_EQ(item.offsets[0], 0x1020u);
}

TEST(HeifWalk, AsksForTheBoxesItNeedsOneAfterTheOther)
{
    Bytes file = HandMadeFile();
    struct Ask {
        size_t given;
        size_t needed;
    };
    // Nothing: a box header with room for a 64-bit size. The file type box,
    // the meta box's header, then for each of hdlr, iinf, iloc its header and
    // the whole box.
    const Ask asks[] = {{0, 16},  {16, 20},  {20, 36},   {36, 48},  {48, 65},
                        {65, 81}, {81, 100}, {100, 116}, {116, 136}};
    for (const Ask& ask : asks) {
        HeifExifItem item;
        size_t needed = 0;
        EXPECT_EQ(FindHeifExifItem(file.data(), ask.given, 0x2000, &item, &needed),
                  HeifSearch::NeedMoreBytes)
            << ask.given;
        EXPECT_EQ(needed, ask.needed) << ask.given;
    }
}

TEST(HeifWalk, DamagedBoxSizesAreRefused)
{
    struct Damage {
        size_t at;
        Bytes bytes;
    };
    const Damage damages[] = {
        {20, {0, 0, 0, 7}},         // meta shorter than its header
        {20, {0, 0, 0, 117}},       // meta beyond the file's 136 bytes
        {20, {0, 0, 0, 1}},         // a 64-bit size made of the meta box's first bytes
        {32, {0, 0, 0, 200}},       // hdlr past the meta box
        {65, {0, 0, 0, 0}},         // iinf of size 0 takes the rest: iloc is not found
        {0, {0, 0, 0, 8}},          // ftyp without brands
        {4, {'f', 't', 'y', 'q'}},  // not a file type box first
    };
    for (const Damage& damage : damages) {
        Bytes file = HandMadeFile();
        std::copy(damage.bytes.begin(), damage.bytes.end(),
                  file.begin() + static_cast<ptrdiff_t>(damage.at));
        HeifExifItem item;
        size_t needed = 0;
        EXPECT_EQ(FindHeifExifItem(file.data(), file.size(), file.size(), &item, &needed),
                  HeifSearch::NotFound)
            << damage.at;
    }
}

TEST(HeifWalk, TiffBlockFollowsItsOffset)
{
    const uint8_t item[] = {0, 0, 0, 6, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I'};
    size_t offset = 99;
    EXPECT_TRUE(FindHeifTiffBlock(item, sizeof item, &offset));
    EXPECT_EQ(offset, 10u);
    const uint8_t beyond[] = {0, 0, 0, 9, 'E', 'x', 'i', 'f', 0};
    EXPECT_FALSE(FindHeifTiffBlock(beyond, sizeof beyond, &offset));
    const uint8_t huge[] = {0xFF, 0xFF, 0xFF, 0xFF, 0};
    EXPECT_FALSE(FindHeifTiffBlock(huge, sizeof huge, &offset));
    EXPECT_FALSE(FindHeifTiffBlock(item, 3, &offset));

    // Told by the first bytes: the TIFF header first, an APP1 segment first or
    // after the count; an APP1 marker without "Exif\0\0" and a TIFF header
    // behind it is none of them.
    const uint8_t tiffFirst[] = {'M', 'M', 0, 42, 0, 0, 0, 8};
    EXPECT_TRUE(FindHeifTiffBlock(tiffFirst, sizeof tiffFirst, &offset));
    EXPECT_EQ(offset, 0u);
    const uint8_t app1First[] = {0xFF, 0xE1, 0, 9, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0};
    EXPECT_TRUE(FindHeifTiffBlock(app1First, sizeof app1First, &offset));
    EXPECT_EQ(offset, 10u);
    const uint8_t app1Second[] = {0,   0,   0,   0, 0xFF, 0xE1, 0,   9, 'E',
                                  'x', 'i', 'f', 0, 0,    'M',  'M', 0, 42};
    EXPECT_TRUE(FindHeifTiffBlock(app1Second, sizeof app1Second, &offset));
    EXPECT_EQ(offset, 14u);
    const uint8_t app1NoTiff[] = {0xFF, 0xE1, 0, 9, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 0, 42};
    EXPECT_FALSE(FindHeifTiffBlock(app1NoTiff, sizeof app1NoTiff, &offset));
}

// ---- Files made with the image tools -----------------------------------------

// ImageMagick's HEIC encoding, with the dates written by exiftool (its reading
// of each is checked by scripts/heif-crosscheck).
struct FixtureCase {
    const char* name;
    const char* date;
};

void PrintTo(const FixtureCase& c, std::ostream* os) { *os << c.name; }

const FixtureCase FixtureCases[] = {
    {"modify-and-original.heic", "2023:04:01 07:29:26"},
    {"original-only.heic", "2019:06:30 23:59:58"},
    {"digitized-only.heic", "2018:02:03 04:05:06"},
    {"gradient.heif", "2024:02:29 12:00:00"},
    {"camera.hif", "2020:10:11 12:13:14"},
    {"plain.heic", ""},
};

class HeifFixtureFile : public testing::TestWithParam<FixtureCase> {};

TEST_P(HeifFixtureFile, GivesTheDateExiftoolReads)
{
    std::string path = std::string(LUMISTAMP_HEIF_FIXTURES) + "/" + GetParam().name;
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    ASSERT_NE(stream, nullptr) << path;
    Bytes file;
    for (int c; (c = std::fgetc(stream)) != EOF;)
        file.push_back(static_cast<uint8_t>(c));
    std::fclose(stream);
    MemoryFile reads(&file);
    EXPECT_EQ(DateFound(file, &reads), GetParam().date);
    EXPECT_EQ(reads.reads, 1);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, HeifFixtureFile, testing::ValuesIn(FixtureCases),
                         [](const testing::TestParamInfo<FixtureCase>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c)
                                 name += (*c >= 'a' && *c <= 'z') ? *c : '_';
                             return name;
                         });

}  // namespace
