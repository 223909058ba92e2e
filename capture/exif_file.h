// Reads a picture's Exif block from its file: only the bytes the marker walk
// asks for, with the bodies of the segments before the Exif segment seeked
// over rather than read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The first read; a camera's Exif segment usually ends within it, or it at
// least tells how long that segment is, so a second read finishes the job.
constexpr size_t ExifFirstReadBytes = 4096;
// Limits for damaged or odd files: reads per file, and how far into the file
// the Exif segment may end (it normally follows SOI, or a small APP0).
constexpr int ExifMaxReads = 64;
constexpr size_t ExifMaxExtent = size_t{1024} * 1024;

// Opens the file for reading and reads its Exif block. The open shares read
// and delete access but not write: a file another program has open for
// writing is refused with a sharing violation, so a header still being
// written is never read. True: *block holds the block's bytes, TIFF header
// onward. False when the file cannot be opened or read, is not a JPEG or has
// no Exif block within the limits above; *block is then empty. Given failure,
// it tells the two apart: 0 when the file was read (and holds no block), else
// the system error of the open or read that failed (a sharing or lock
// violation when another program has the file open).
bool ReadExifBlock(const wchar_t* path, std::vector<uint8_t>* block,
                   unsigned long* failure = nullptr);

// The same over any byte source: readAt reads count bytes at offset into dest
// and returns how many it read, fewer only at the end of the data. Portable, so
// that tests and the fuzzer can watch which reads are made.
using ExifReadAt = size_t (*)(void* source, uint64_t offset, uint8_t* dest, size_t count);
bool ReadExifBlockFrom(ExifReadAt readAt, void* source, std::vector<uint8_t>* block);

// Opens the file at path as ReadExifBlock opens it and hands read the read
// seam over it and, given needsSize, the file's size (else 0), with context.
// Returns what read returns; *failure is the system error of the open or of a
// read that failed, else 0.
using HeaderRead = bool (*)(void* context, ExifReadAt readAt, void* source, uint64_t fileSize);
bool ReadFileHeader(const wchar_t* path, HeaderRead read, void* context, unsigned long* failure,
                    bool needsSize = true);
