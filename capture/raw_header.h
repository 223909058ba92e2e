// A raw file's own capture time, read from its first bytes only. The
// TIFF-based raws (NEF, CR2, ARW, DNG, PEF, and ORF's and RW2's TIFF-like
// headers) begin with a TIFF header, which is what the Exif walk reads:
// DateTimeOriginal of the Exif IFD, else DateTime of IFD0. Other raws (CR3,
// RAF) and sidecars have none, and neither has a short or damaged file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/capture_time.h"

// The most that is read of a raw file: its IFD0 and Exif IFD lie well inside.
constexpr size_t RawHeaderBytes = 64 * 1024;
// Two files taken together: their capture times differ by this much at most.
constexpr int64_t SameShotSeconds = 2;

// Looks for the date in a raw file's first bytes (at most RawHeaderBytes of
// them are looked at); the ORF and RW2 signatures are read as TIFF's, in the
// vector itself. True when six numbers were found: numbers[] holds them.
bool FindRawCaptureDate(std::vector<uint8_t>& header, int numbers[6]);

// Whether a companion of this extension (without its dot, ASCII case
// ignored) is of a kind known never to begin with a TIFF header: Canon's CR3
// (an ISO media file) and CRW (CIFF), Fujifilm's RAF ("FUJIFILMCCD-RAW"),
// Sigma's X3F ("FOVb"), Minolta's MRW ("\0MRM"), sidecars, and the videos and
// sounds some cameras and phones write beside a picture. Such a file travels
// by its name without being opened; a kind not named here is read.
bool IsNeverTiffBased(const std::wstring& extension);

// Whether two capture times lie at most SameShotSeconds apart, read as
// calendar times; fields out of their range count as they stand.
bool SameShot(const CaptureTime& a, const CaptureTime& b);

#ifdef _WIN32
// Reads the raw file's first bytes, in one read of at most RawHeaderBytes,
// and its date from them. False when it cannot be opened or read, or holds
// no date there.
bool ReadRawCaptureTime(const wchar_t* path, CaptureTime* time);

// The picture's (JPEG or HEIF) shot time, found as a raw file's is: the
// DateTimeOriginal of its Exif block, else its DateTime. Its name may come
// from DateTime, which an editor rewrites when it saves the picture. False
// when it cannot be read or holds neither.
bool ReadPictureShotTime(const wchar_t* path, CaptureTime* time);
#endif
