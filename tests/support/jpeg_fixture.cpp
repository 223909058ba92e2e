#include "tests/support/jpeg_fixture.h"

#include <algorithm>

namespace {

constexpr uint32_t TiffHeaderBytes = 8;
constexpr uint32_t EntryBytes = 12;
constexpr uint32_t OverrunEntries = 1000;

class TiffWriter {
public:
    TiffWriter(std::vector<uint8_t>* bytes, bool bigEndian) : bytes_(bytes), bigEndian_(bigEndian)
    {
    }

    void Put16(size_t at, uint32_t value)
    {
        uint8_t high = static_cast<uint8_t>(value >> 8), low = static_cast<uint8_t>(value);
        (*bytes_)[at] = bigEndian_ ? high : low;
        (*bytes_)[at + 1] = bigEndian_ ? low : high;
    }
    void Put32(size_t at, uint32_t value)
    {
        Put16(bigEndian_ ? at : at + 2, value >> 16);
        Put16(bigEndian_ ? at + 2 : at, value & 0xFFFF);
    }

private:
    std::vector<uint8_t>* bytes_;
    bool bigEndian_;
};

uint32_t IfdBytes(size_t entries) { return static_cast<uint32_t>(2 + entries * EntryBytes + 4); }

uint64_t DeclaredSize(const FixtureTag& tag)
{
    return uint64_t{tag.count} * FixtureTypeSize(tag.type);
}

// Writes one entry; a value that does not fit inline goes at valueAt.
void PutEntry(TiffWriter& tiff, std::vector<uint8_t>& block, size_t at, const FixtureTag& tag,
              uint32_t valueAt)
{
    tiff.Put16(at, tag.tag);
    tiff.Put16(at + 2, tag.type);
    tiff.Put32(at + 4, tag.count);
    if (DeclaredSize(tag) <= 4) {
        for (size_t i = 0; i < 4 && i < tag.value.size(); ++i)
            block[at + 8 + i] = tag.value[i];
    } else {
        tiff.Put32(at + 8, tag.valueOffset ? *tag.valueOffset : valueAt);
    }
}

}  // namespace

uint32_t FixtureTypeSize(uint16_t type)
{
    switch (type) {
    case 3:
    case 8:
        return 2;
    case 4:
    case 9:
    case 11:
        return 4;
    case 5:
    case 10:
    case 12:
        return 8;
    default:
        return 1;
    }
}

FixtureTag AsciiTag(uint16_t tag, FixtureIfd ifd, const std::string& text)
{
    FixtureTag entry;
    entry.tag = tag;
    entry.ifd = ifd;
    entry.type = TypeAscii;
    entry.value.assign(text.begin(), text.end());
    entry.value.push_back(0);
    entry.count = static_cast<uint32_t>(entry.value.size());
    return entry;
}

FixtureTag AsciiTag(uint16_t tag, const std::string& text)
{
    return AsciiTag(tag, tag == TagDateTime ? FixtureIfd::Ifd0 : FixtureIfd::Exif, text);
}

std::vector<uint8_t> ExifBlock(const ExifFixture& exif)
{
    std::vector<const FixtureTag*> ifd0Tags, exifTags;
    for (const FixtureTag& tag : exif.tags)
        (tag.ifd == FixtureIfd::Ifd0 ? ifd0Tags : exifTags).push_back(&tag);
    bool pointer = exif.exifPointer != ExifPointer::Omitted &&
                   (exif.exifPointer != ExifPointer::Auto || !exifTags.empty());

    uint32_t ifd0At = TiffHeaderBytes;
    size_t ifd0Entries = ifd0Tags.size() + (pointer ? 1 : 0);
    uint32_t exifAt = ifd0At + IfdBytes(ifd0Entries);
    uint32_t dataAt = pointer ? exifAt + IfdBytes(exifTags.size()) : exifAt;

    // Where each value that does not fit inline goes, in the order of the tags.
    std::vector<uint32_t> valueAt(exif.tags.size(), 0);
    uint32_t end = dataAt;
    for (size_t i = 0; i < exif.tags.size(); ++i) {
        if (DeclaredSize(exif.tags[i]) <= 4)
            continue;
        valueAt[i] = end;
        end += static_cast<uint32_t>((exif.tags[i].value.size() + 1) & ~size_t{1});
    }

    std::vector<uint8_t> block(end, 0);
    TiffWriter tiff(&block, exif.bigEndian);
    block[0] = block[1] = exif.bigEndian ? 'M' : 'I';
    if (exif.damage == TiffDamage::ByteOrderMark)
        block[1] = exif.bigEndian ? 'I' : 'M';
    tiff.Put16(2, exif.damage == TiffDamage::Magic ? 43 : 42);
    tiff.Put32(4, exif.damage == TiffDamage::Ifd0PastEnd ? end : ifd0At);

    auto valueOf = [&](const FixtureTag* tag) {
        return valueAt[static_cast<size_t>(tag - exif.tags.data())];
    };
    for (size_t i = 0; i < exif.tags.size(); ++i) {
        if (valueAt[i] != 0)
            std::copy(exif.tags[i].value.begin(), exif.tags[i].value.end(),
                      block.begin() + valueAt[i]);
    }

    tiff.Put16(ifd0At, static_cast<uint32_t>(ifd0Entries) +
                           (exif.damage == TiffDamage::Ifd0CountOverruns ? OverrunEntries : 0));
    size_t at = ifd0At + 2;
    for (const FixtureTag* tag : ifd0Tags) {
        PutEntry(tiff, block, at, *tag, valueOf(tag));
        at += EntryBytes;
    }
    if (!pointer)
        return block;

    uint32_t target = exifAt;
    if (exif.exifPointer == ExifPointer::ToIfd0)
        target = ifd0At;
    else if (exif.exifPointer == ExifPointer::PastEnd)
        target = end;
    else if (exif.exifPointer == ExifPointer::Wrapping)
        target = 0xFFFFFFF8u;
    tiff.Put16(at, TagExifIfdPointer);
    tiff.Put16(at + 2, exif.exifPointer == ExifPointer::WrongType ? TypeShort : TypeLong);
    tiff.Put32(at + 4, 1);
    tiff.Put32(at + 8, target);

    tiff.Put16(exifAt, static_cast<uint32_t>(exifTags.size()) +
                           (exif.damage == TiffDamage::ExifCountOverruns ? OverrunEntries : 0));
    at = exifAt + 2;
    for (const FixtureTag* tag : exifTags) {
        PutEntry(tiff, block, at, *tag, valueOf(tag));
        at += EntryBytes;
    }
    return block;
}

std::vector<uint8_t> JpegSegment(uint8_t marker, const std::vector<uint8_t>& payload)
{
    size_t length = payload.size() + 2;  // callers keep it within 65535
    std::vector<uint8_t> segment(2 + length);
    segment[0] = 0xFF;
    segment[1] = marker;
    segment[2] = static_cast<uint8_t>(length >> 8);
    segment[3] = static_cast<uint8_t>(length);
    std::copy(payload.begin(), payload.end(), segment.begin() + 4);
    return segment;
}

std::vector<uint8_t> JfifSegment()
{
    // "JFIF\0", version 1.1, no units, 1:1 density, no thumbnail.
    return JpegSegment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
}

std::vector<uint8_t> ExifSegment(const std::vector<uint8_t>& block)
{
    std::vector<uint8_t> payload = {'E', 'x', 'i', 'f', 0, 0};
    payload.insert(payload.end(), block.begin(), block.end());
    return JpegSegment(0xE1, payload);
}

std::vector<uint8_t> JpegImageData()
{
    // One 8x8 grey block: quantisation all ones, and Huffman tables with a
    // single one-bit code each, for DC difference 0 and for end of block.
    std::vector<uint8_t> dqt(65, 1);
    dqt[0] = 0x00;
    std::vector<uint8_t> dcTable(18, 0), acTable(18, 0);
    dcTable[0] = 0x00;
    acTable[0] = 0x10;
    dcTable[1] = acTable[1] = 1;  // one code of length 1, for symbol 0
    return Concat({JpegSegment(0xDB, dqt),
                   JpegSegment(0xC0, {8, 0, 8, 0, 8, 1, 1, 0x11, 0}),
                   JpegSegment(0xC4, dcTable),
                   JpegSegment(0xC4, acTable),
                   JpegSegment(0xDA, {1, 1, 0x00, 0, 63, 0}),
                   {0x3F},  // bits 0 (DC), 0 (EOB), padded with ones
                   {0xFF, 0xD9}});
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> bytes;
    for (const std::vector<uint8_t>& part : parts)
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

std::vector<uint8_t> BuildJpeg(const JpegFixture& jpeg)
{
    std::vector<uint8_t> bytes;
    if (jpeg.soi)
        bytes = {0xFF, 0xD8};
    if (jpeg.jfif)
        bytes = Concat({bytes, JfifSegment()});
    for (const std::vector<uint8_t>& segment : jpeg.segmentsBeforeExif)
        bytes = Concat({bytes, segment});
    std::vector<uint8_t> exif = ExifSegment(ExifBlock(jpeg.exif));
    if (jpeg.truncatedApp1) {
        exif.resize(exif.size() / 2);
        return Concat({bytes, exif});
    }
    return Concat({bytes, exif, JpegImageData()});
}

std::vector<uint8_t> JpegWithDate(uint16_t tag, const std::string& text)
{
    JpegFixture jpeg;
    jpeg.exif.tags = {AsciiTag(tag, text)};
    return BuildJpeg(jpeg);
}

std::vector<uint8_t> JpegWithoutExif()
{
    return Concat({{0xFF, 0xD8}, JfifSegment(), JpegImageData()});
}
