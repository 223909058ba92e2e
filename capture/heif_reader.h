// A small, bounded walk over the boxes of a HEIF file (an ISO base media file:
// HEIC from phones, HEIF and HIF from cameras) that finds where its Exif item
// lies. Portable C++ with no Windows headers, so that it also builds natively
// for fuzzing. Every size, count, offset and extent is checked against the
// bytes given and the file's size; nothing in the file is trusted.
#pragma once

#include <cstddef>
#include <cstdint>

// An Exif item in more pieces than this is refused: writers put it in one.
constexpr size_t HeifMaxExifExtents = 4;

// Where the Exif item's data lies in the file, in order: its bytes are the
// extents joined.
struct HeifExifItem {
    uint64_t offsets[HeifMaxExifExtents] = {};
    uint64_t lengths[HeifMaxExifExtents] = {};
    size_t extentCount = 0;
    uint64_t size = 0;  // the lengths added up; at most the file's size
};

enum class HeifSearch {
    Found,          // *item tells where the Exif item's data lies
    NotFound,       // not a HEIF file, no Exif item, or damaged
    NeedMoreBytes,  // call again with at least *bytesNeeded bytes from the file's start
};

// Given the first size bytes of a file of fileSize bytes: checks the file type
// box, finds the top-level meta box, its handler ('pict'), the first item of
// type 'Exif' in its item information and that item's extents in its item
// locations (versions 0 to 2, stored in this file: construction method 0).
// Only the boxes walked through are looked at; the body of any other box,
// the image data among them, is never needed.
HeifSearch FindHeifExifItem(const uint8_t* bytes, size_t size, uint64_t fileSize,
                            HeifExifItem* item, size_t* bytesNeeded);

// The same from a top-level meta box that lies apart from the file's start
// (behind the image data, as some phones write it): bytes are the file's
// from metaOffset on, the whole meta box. True: *item tells where the Exif
// item's data lies; false when it is not found in those bytes.
bool FindHeifExifItemInMeta(const uint8_t* bytes, size_t size, uint64_t metaOffset,
                            uint64_t fileSize, HeifExifItem* item);

// True when the bytes begin with a whole file type box naming an image brand.
bool IsHeifFileType(const uint8_t* bytes, size_t size);

// The TIFF block inside an Exif item's data: the data starts with a 32-bit
// big-endian count of the bytes between it and the TIFF header (usually the
// six of "Exif\0\0"). False when that count leads past the data. Items laid
// out as some phones write them are read too, told apart by their first 14
// bytes alone: the TIFF header first (no count), or a JPEG APP1 marker and its
// length before "Exif\0\0", first or after the count.
bool FindHeifTiffBlock(const uint8_t* item, size_t size, size_t* blockOffset);
