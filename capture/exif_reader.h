// A small, bounded EXIF reader over bytes already in memory. Portable C++ with
// no Windows headers, so that it also builds natively for fuzzing. Every offset
// and count is checked against the bytes given; nothing in the file is trusted.
#pragma once

#include <cstddef>
#include <cstdint>

enum class ExifSearch {
    Found,          // the Exif block lies at [*blockOffset, *blockOffset + *blockSize)
    NotFound,       // not a JPEG, no Exif segment before the image data, or damaged
    NeedMoreBytes,  // call again with at least *bytesNeeded bytes from the file's start
};

// Walks the JPEG markers from SOI to the first APP1 segment that starts with
// "Exif\0\0" (stopping at SOS or EOI). The block is the TIFF data after that
// signature, up to the end of the segment.
ExifSearch FindExifBlock(const uint8_t* bytes, size_t size, size_t* blockOffset, size_t* blockSize,
                         size_t* bytesNeeded);

struct ExifValue {
    const uint8_t* data = nullptr;  // points into the block
    uint32_t size = 0;              // count x size of the entry's type, in bytes
};

enum class ExifTagStatus {
    Absent,      // no such entry in IFD0 or the Exif sub-IFD, or the structure is damaged
    Present,     // *value holds the entry's raw value bytes
    Unreadable,  // the entry exists but its value lies outside the block
};

// Looks a tag up in IFD0, then in the Exif sub-IFD that tag 0x8769 points to.
// Either byte order; the value's type is not examined.
ExifTagStatus FindExifTag(const uint8_t* block, size_t blockSize, uint16_t tag, ExifValue* value);

// Parses an EXIF date text as the format "%d:%d:%d %d:%d:%d" would: decimal
// numbers, each optionally preceded by white space and a sign, a colon right
// after each of the first two and the last two numbers of a group, white space
// (or none) between the date and the time, anything after the sixth number
// ignored. Reads no further than size bytes. True only when six numbers were
// read; numbers[] then holds them in order.
bool ParseExifDateText(const uint8_t* text, size_t size, int numbers[6]);
