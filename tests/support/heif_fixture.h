// Writes small HEIF files around a given Exif block, in the layouts writers
// use and in damaged ones, for tests and for the fuzzer's seed corpus.
// Portable C++: it builds for Windows and natively.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HeifFixture {
    std::vector<uint8_t> exifBlock;  // TIFF header onward (see ExifBlock)
    std::string majorBrand = "heic";
    std::vector<std::string> compatibleBrands = {"mif1", "heic"};
    std::string handler = "pict";
    std::string exifItemType = "Exif";
    bool withExifItem = true;  // false: the image item alone
    uint8_t iinfVersion = 0;   // 0: 16-bit entry count, else 32-bit
    uint8_t infeVersion = 2;   // 2: 16-bit item ids, 3: 32-bit
    uint8_t ilocVersion = 1;   // 0 to 2
    uint8_t offsetSize = 4, lengthSize = 4, baseOffsetSize = 0, indexSize = 0;
    bool baseOffset = false;  // extents counted from the media data's start (base_offset)
    uint8_t constructionMethod = 0;
    int exifExtents = 1;           // the Exif item's data cut into this many pieces
    bool exifLengthZero = false;   // one extent of length 0: to the file's end (Exif last)
    bool exifAfterImage = false;   // the Exif item after the image data, not before
    uint64_t exifOffsetShift = 0;  // added to the Exif item's first extent offset
    uint32_t imageBytes = 64;      // image data in the media data box
    uint32_t metaPadding = 0;      // a free box of this size in the meta box, after iinf
    int metaSmallBoxes = 0;        // then that many free boxes of 20 bytes
    bool largeSizes = false;       // every top-level box with a 64-bit size
    bool mdatSizeZero = false;     // the media data box, last, with size 0
    bool ilocBeforeIinf = false;
    bool metaAfterData = false;  // ftyp, mdat, meta: as Samsung phones write it
    std::string tiffPrefix = std::string("Exif\0\0", 6);  // before the TIFF header
    uint32_t tiffOffsetExtra = 0;  // added to the prefix's length as the item states it
    // As some phones write the item: without the 4-byte offset (the prefix
    // first), or stating this offset whatever the prefix (-1: as above).
    bool withoutTiffOffset = false;
    int64_t statedTiffOffset = -1;
};

// ftyp, meta (hdlr, pitm, [iloc], iinf, [free], [free...], [iloc]), mdat holding the
// Exif item's data ("tiffPrefix" behind its 4-byte length) and the image data.
std::vector<uint8_t> BuildHeif(const HeifFixture& heif);

// Pieces for hand-made layouts.
std::vector<uint8_t> HeifBox(const std::string& type, const std::vector<uint8_t>& payload);
std::vector<uint8_t> HeifFullBox(const std::string& type, uint8_t version, uint32_t flags,
                                 const std::vector<uint8_t>& payload);
void PutNumber(std::vector<uint8_t>* bytes, uint64_t value, int width);  // big-endian
