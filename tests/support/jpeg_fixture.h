// Writes small JPEG files with chosen EXIF date tags, for tests and for the
// fuzzer's seed corpus. Portable C++: it builds for Windows and natively.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

constexpr uint16_t TagDateTime = 0x0132;
constexpr uint16_t TagDateTimeOriginal = 0x9003;
constexpr uint16_t TagDateTimeDigitized = 0x9004;
constexpr uint16_t TagExifIfdPointer = 0x8769;

// A JPEG whose Exif block holds the one date tag with the given text (written
// as an ASCII value with its terminating zero): 0x0132 in IFD0, the other two
// in the Exif sub-IFD. Small image data follows, so the file is a whole JPEG.
std::vector<uint8_t> JpegWithDate(uint16_t tag, const std::string& text);

// A JPEG with no Exif segment at all.
std::vector<uint8_t> JpegWithoutExif();

// ---- The general builder -------------------------------------------------

// TIFF field types as an entry writes them.
constexpr uint16_t TypeByte = 1;
constexpr uint16_t TypeAscii = 2;
constexpr uint16_t TypeShort = 3;
constexpr uint16_t TypeLong = 4;
constexpr uint16_t TypeRational = 5;
constexpr uint16_t TypeUndefined = 7;
constexpr uint16_t TypeDouble = 12;

// Bytes per count of a type: the TIFF sizes for 1..12, one byte for others.
uint32_t FixtureTypeSize(uint16_t type);

enum class FixtureIfd { Ifd0, Exif };

// One IFD entry. Its value lies inline when count x size(type) is at most 4
// bytes (value's first 4 bytes, zero padded), else value is written to the
// data area after the IFDs and the entry points at it.
struct FixtureTag {
    uint16_t tag = 0;
    FixtureIfd ifd = FixtureIfd::Ifd0;
    uint16_t type = TypeAscii;
    uint32_t count = 0;
    std::vector<uint8_t> value;
    // Written as the entry's offset instead of where the value went (for a
    // value beyond the block). Only for values that are not inline.
    std::optional<uint32_t> valueOffset;
};

// An ASCII tag holding text and its terminating zero, in the IFD where EXIF
// keeps it (0x0132 in IFD0, the others in the Exif sub-IFD).
FixtureTag AsciiTag(uint16_t tag, const std::string& text);
FixtureTag AsciiTag(uint16_t tag, FixtureIfd ifd, const std::string& text);

// The IFD0 entry 0x8769 that leads to the Exif sub-IFD.
enum class ExifPointer {
    Auto,       // written when some tag lives in the Exif sub-IFD
    Omitted,    // never written (tags meant for the Exif sub-IFD are lost)
    ToIfd0,     // points back at IFD0: a loop
    PastEnd,    // points at the block's end
    Wrapping,   // 0xFFFFFFF8: wraps 32-bit offset arithmetic
    WrongType,  // the right offset, but typed SHORT
};

enum class TiffDamage {
    None,
    ByteOrderMark,      // "IM" instead of "II" or "MM"
    Magic,              // 43 instead of 42
    Ifd0PastEnd,        // IFD0 offset at the block's end
    Ifd0CountOverruns,  // IFD0 claims 1000 more entries than it has
    ExifCountOverruns,  // so does the Exif sub-IFD
};

struct ExifFixture {
    bool bigEndian = false;  // "MM", else "II"
    std::vector<FixtureTag> tags;
    ExifPointer exifPointer = ExifPointer::Auto;
    TiffDamage damage = TiffDamage::None;
};

// The Exif block, TIFF header onward: header, IFD0, Exif sub-IFD (when it has
// tags or a pointer is forced), then the values that do not fit inline, in the
// order of the tags. The last such value ends at the block's end (padded to an
// even length, as TIFF offsets are even).
std::vector<uint8_t> ExifBlock(const ExifFixture& exif);

struct JpegFixture {
    ExifFixture exif;
    bool soi = true;    // false: the file starts with the segments (not a JPEG)
    bool jfif = false;  // an APP0 JFIF segment right after SOI
    // Whole segments (see JpegSegment) between the APP0 and the Exif segment.
    std::vector<std::vector<uint8_t>> segmentsBeforeExif;
    bool truncatedApp1 = false;  // the file ends halfway through the Exif segment
};

// SOI, [APP0], segmentsBeforeExif, APP1 "Exif\0\0" + block, then JpegImageData().
std::vector<uint8_t> BuildJpeg(const JpegFixture& jpeg);

// Pieces for hand-made layouts.
std::vector<uint8_t> JpegSegment(uint8_t marker, const std::vector<uint8_t>& payload);
std::vector<uint8_t> JfifSegment();
std::vector<uint8_t> ExifSegment(const std::vector<uint8_t>& block);
// DQT, SOF0, DHT, SOS, the scan of one 8x8 grey block, EOI.
std::vector<uint8_t> JpegImageData();

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts);
