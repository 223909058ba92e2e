// Reads a HEIF picture's Exif block from its file: the start of the file,
// where the boxes up to the meta box's item information and locations lie,
// then the Exif item where they place it. The image data is never read
// through, and never more than a small bound of bytes is read in all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/exif_file.h"

// The first read: a phone's file type and meta boxes fit in it, and its Exif
// item often too.
constexpr size_t HeifFirstReadBytes = 16384;
// How far into the file the boxes the walk needs may end: beyond it the file
// is taken as one without an Exif item. When they go on past the first read,
// the rest of this bound is read at once: two reads at most find the boxes.
constexpr size_t HeifMaxHeaderBytes = 49152;
// When the boxes go on past the header bound, a meta box behind the image
// data (as Samsung phones write it) is looked for by the top-level box headers
// on the way, each passing one box, with at most this many reads, then read
// whole in one more when it ends within the header bound.
constexpr int HeifBoxHeaderReads = 4;
// All reads of one picture together, header and Exif item: an Exif item
// longer than what is left is taken up to there (its dates come first, a
// thumbnail after them), as a JPEG's Exif segment cannot be longer either.
constexpr size_t HeifMaxReadBytes = 65536;

// Reads the Exif block (TIFF header onward) of the HEIF file of fileSize
// bytes that readAt reads. True: *block holds it. False when the file is not
// a HEIF file or holds no Exif item within the bounds above; *block is then
// empty. Portable, so that tests and the fuzzer can watch the reads.
bool ReadHeifExifBlockFrom(ExifReadAt readAt, void* source, uint64_t fileSize,
                           std::vector<uint8_t>* block);

// The same from the picture at path, opened and shared as ReadExifBlock opens
// it, with the same report of a failure.
bool ReadHeifExifBlock(const wchar_t* path, std::vector<uint8_t>* block,
                       unsigned long* failure = nullptr);

// ".heic", ".heif" and ".hif" and every longer extension that begins so, any
// ASCII case: the extensions of HEIF pictures.
bool IsHeifExtension(const wchar_t* extension);
