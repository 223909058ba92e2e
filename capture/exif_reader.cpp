#include "capture/exif_reader.h"

#include <cstring>

// Positions are computed in 64 bits: a segment length or a TIFF offset added to
// a position can then never wrap, whatever size_t is.

namespace {

constexpr uint8_t MarkerPrefix = 0xFF;
constexpr uint8_t MarkerTem = 0x01;
constexpr uint8_t MarkerRst0 = 0xD0;
constexpr uint8_t MarkerRst7 = 0xD7;
constexpr uint8_t MarkerSoi = 0xD8;
constexpr uint8_t MarkerEoi = 0xD9;
constexpr uint8_t MarkerSos = 0xDA;
constexpr uint8_t MarkerApp1 = 0xE1;

constexpr uint64_t MarkerHeaderBytes = 4;  // FF, code, 16-bit big-endian length
constexpr uint8_t ExifSignature[6] = {'E', 'x', 'i', 'f', 0, 0};

ExifSearch AskFor(uint64_t bytes, size_t* bytesNeeded)
{
    if (bytes > SIZE_MAX)
        return ExifSearch::NotFound;
    *bytesNeeded = static_cast<size_t>(bytes);
    return ExifSearch::NeedMoreBytes;
}

}  // namespace

// The walk looks at marker headers and at the signature of APP1 segments only:
// the body of a segment it passes over is never read, so a caller may leave it
// unread (ReadExifBlock seeks over such bodies).
ExifSearch FindExifBlock(const uint8_t* bytes, size_t size, size_t* blockOffset, size_t* blockSize,
                         size_t* bytesNeeded)
{
    *blockOffset = 0;
    *blockSize = 0;
    *bytesNeeded = 0;
    if (bytes == nullptr)
        size = 0;

    if (size < 2) {
        if (size == 1 && bytes[0] != MarkerPrefix)
            return ExifSearch::NotFound;
        return AskFor(2, bytesNeeded);
    }
    if (bytes[0] != MarkerPrefix || bytes[1] != MarkerSoi)
        return ExifSearch::NotFound;

    uint64_t pos = 2;  // where the next marker starts
    for (;;) {
        // A marker header: FF, any number of FF fill bytes, then the code.
        if (pos >= size)
            return AskFor(pos + MarkerHeaderBytes, bytesNeeded);
        if (bytes[pos] != MarkerPrefix)
            return ExifSearch::NotFound;
        if (pos + 1 >= size)
            return AskFor(pos + MarkerHeaderBytes, bytesNeeded);
        uint8_t code = bytes[pos + 1];
        if (code == MarkerPrefix) {
            ++pos;
            continue;
        }
        if (code == MarkerSos || code == MarkerEoi || code == MarkerSoi || code == 0x00)
            return ExifSearch::NotFound;
        if (code == MarkerTem || (code >= MarkerRst0 && code <= MarkerRst7)) {
            pos += 2;  // standalone: no length follows
            continue;
        }

        if (pos + MarkerHeaderBytes > size)
            return AskFor(pos + MarkerHeaderBytes, bytesNeeded);
        uint64_t length = (uint64_t{bytes[pos + 2]} << 8) | bytes[pos + 3];
        if (length < 2)
            return ExifSearch::NotFound;
        uint64_t segmentEnd = pos + 2 + length;

        uint64_t payload = pos + MarkerHeaderBytes;
        if (code == MarkerApp1 && length - 2 >= sizeof(ExifSignature)) {
            if (payload + sizeof(ExifSignature) > size)
                return AskFor(payload + sizeof(ExifSignature), bytesNeeded);
            if (std::memcmp(bytes + payload, ExifSignature, sizeof(ExifSignature)) == 0) {
                if (segmentEnd > size)
                    return AskFor(segmentEnd, bytesNeeded);
                uint64_t block = payload + sizeof(ExifSignature);
                *blockOffset = static_cast<size_t>(block);
                *blockSize = static_cast<size_t>(segmentEnd - block);
                return ExifSearch::Found;
            }
        }
        pos = segmentEnd;
    }
}

namespace {

constexpr uint16_t TagExifIfdPointer = 0x8769;
constexpr uint16_t TypeLong = 4;
constexpr uint16_t TypeIfd = 13;  // TIFF's own type for sub-IFD offsets, used by some writers

constexpr uint64_t TiffHeaderBytes = 8;
constexpr uint64_t EntryBytes = 12;

// The block with the byte order its TIFF header declares.
struct Tiff {
    const uint8_t* bytes;
    uint64_t size;
    bool bigEndian;

    uint16_t U16(uint64_t at) const
    {
        uint16_t a = bytes[at], b = bytes[at + 1];
        return static_cast<uint16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    }
    uint32_t U32(uint64_t at) const
    {
        uint32_t high = U16(bigEndian ? at : at + 2), low = U16(bigEndian ? at + 2 : at);
        return (high << 16) | low;
    }
};

// An IFD whose entries all lie inside the block.
struct Ifd {
    uint64_t offset;
    uint32_t count;
};

// Offsets below the TIFF header would read the header as entries: damaged.
bool OpenIfd(const Tiff& tiff, uint64_t offset, Ifd* ifd)
{
    if (offset < TiffHeaderBytes || offset + 2 > tiff.size)
        return false;
    uint32_t count = tiff.U16(offset);
    if (offset + 2 + count * EntryBytes > tiff.size)
        return false;
    *ifd = Ifd{offset, count};
    return true;
}

// The first entry with the tag, as the offset of its 12 bytes; 0 when none.
uint64_t FindEntry(const Tiff& tiff, const Ifd& ifd, uint16_t tag)
{
    for (uint32_t i = 0; i < ifd.count; ++i) {
        uint64_t entry = ifd.offset + 2 + i * EntryBytes;
        if (tiff.U16(entry) == tag)
            return entry;
    }
    return 0;
}

// Bytes per count of the TIFF field types 1..12. Other types are taken as one
// byte per count, so that their raw bytes are still delivered (the value's type
// is not examined by the callers).
uint64_t TypeSize(uint16_t type)
{
    switch (type) {
    case 3:  // SHORT
    case 8:  // SSHORT
        return 2;
    case 4:   // LONG
    case 9:   // SLONG
    case 11:  // FLOAT
        return 4;
    case 5:   // RATIONAL
    case 10:  // SRATIONAL
    case 12:  // DOUBLE
        return 8;
    default:  // BYTE, ASCII, SBYTE, UNDEFINED and unknown types
        return 1;
    }
}

ExifTagStatus EntryValue(const Tiff& tiff, uint64_t entry, ExifValue* value)
{
    uint64_t count = tiff.U32(entry + 4);
    uint64_t size = count * TypeSize(tiff.U16(entry + 2));  // at most 2^35: no wrap
    uint64_t at = entry + 8;                                // inline when it fits in 4 bytes
    if (size > 4) {
        at = tiff.U32(entry + 8);
        if (at > tiff.size || size > tiff.size - at)
            return ExifTagStatus::Unreadable;
    }
    value->data = tiff.bytes + at;
    value->size = static_cast<uint32_t>(size);
    return ExifTagStatus::Present;
}

}  // namespace

ExifTagStatus FindExifTag(const uint8_t* block, size_t blockSize, uint16_t tag, ExifValue* value)
{
    *value = ExifValue{};
    if (block == nullptr || blockSize < TiffHeaderBytes)
        return ExifTagStatus::Absent;

    Tiff tiff{block, blockSize, false};
    if (block[0] == 'M' && block[1] == 'M')
        tiff.bigEndian = true;
    else if (block[0] != 'I' || block[1] != 'I')
        return ExifTagStatus::Absent;
    if (tiff.U16(2) != 42)
        return ExifTagStatus::Absent;

    Ifd ifd0;
    uint32_t ifd0Offset = tiff.U32(4);
    if (!OpenIfd(tiff, ifd0Offset, &ifd0))
        return ExifTagStatus::Absent;
    if (uint64_t entry = FindEntry(tiff, ifd0, tag))
        return EntryValue(tiff, entry, value);

    // The Exif sub-IFD: one LONG (or IFD) offset held inline. An offset back to
    // IFD0 is a loop, not a second directory.
    uint64_t pointer = FindEntry(tiff, ifd0, TagExifIfdPointer);
    if (pointer == 0)
        return ExifTagStatus::Absent;
    uint16_t type = tiff.U16(pointer + 2);
    if ((type != TypeLong && type != TypeIfd) || tiff.U32(pointer + 4) != 1)
        return ExifTagStatus::Absent;
    uint32_t exifOffset = tiff.U32(pointer + 8);
    Ifd exif;
    if (exifOffset == ifd0Offset || !OpenIfd(tiff, exifOffset, &exif))
        return ExifTagStatus::Absent;
    if (uint64_t entry = FindEntry(tiff, exif, tag))
        return EntryValue(tiff, entry, value);
    return ExifTagStatus::Absent;
}

namespace {

// White space as the C locale's isspace() has it; bytes above 0x7F are not.
bool IsSpace(uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void SkipSpace(const uint8_t* text, size_t end, size_t* pos)
{
    while (*pos < end && IsSpace(text[*pos]))
        ++*pos;
}

// One "%d": white space, an optional sign, at least one digit. A value beyond
// int wraps modulo 2^32, as the C runtime's scan does.
bool ScanInt(const uint8_t* text, size_t end, size_t* pos, int* number)
{
    SkipSpace(text, end, pos);
    bool negative = false;
    if (*pos < end && (text[*pos] == '+' || text[*pos] == '-')) {
        negative = text[*pos] == '-';
        ++*pos;
    }
    size_t digitsFrom = *pos;
    uint64_t value = 0;  // kept below 2^32, so value * 10 + 9 fits
    while (*pos < end && text[*pos] >= '0' && text[*pos] <= '9') {
        value = (value * 10 + (text[*pos] - '0')) & 0xFFFFFFFFu;
        ++*pos;
    }
    if (*pos == digitsFrom)
        return false;
    if (negative)
        value = (0x100000000u - value) & 0xFFFFFFFFu;
    // Unsigned to signed conversion is modulo 2^32 (defined since C++20).
    *number = static_cast<int>(static_cast<uint32_t>(value));
    return true;
}

}  // namespace

bool ParseExifDateText(const uint8_t* text, size_t size, int numbers[6])
{
    // A zero byte matches nothing in the format, so the scan stops there just
    // as it would at the end of a C string.
    size_t end = text ? size : 0;
    size_t pos = 0;
    for (int i = 0; i < 6; ++i) {
        if (i == 3) {
            SkipSpace(text, end, &pos);  // the blank between date and time: any run, or none
        } else if (i > 0) {
            if (pos >= end || text[pos] != ':')  // a literal: no white space before it
                return false;
            ++pos;
        }
        if (!ScanInt(text, end, &pos, &numbers[i]))
            return false;
    }
    return true;
}
