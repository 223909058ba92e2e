// Writes small JPEG files with chosen EXIF date tags, for tests and for the
// fuzzer's seed corpus. Portable C++: it builds for Windows and natively.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t TagDateTime = 0x0132;
constexpr uint16_t TagDateTimeOriginal = 0x9003;
constexpr uint16_t TagDateTimeDigitized = 0x9004;

// A JPEG whose Exif block holds the one date tag with the given text (written
// as an ASCII value with its terminating zero): 0x0132 in IFD0, the other two
// in the Exif sub-IFD. Small image data follows, so the file is a whole JPEG.
std::vector<uint8_t> JpegWithDate(uint16_t tag, const std::string& text);

// A JPEG with no Exif segment at all.
std::vector<uint8_t> JpegWithoutExif();
