// libFuzzer harness for the HEIF box walk. Besides the sanitizers' own
// findings it checks properties, and aborts when one breaks:
// - an item found lies inside the file, in at most HeifMaxExifExtents pieces;
// - the walk fed what it asks for, from the first byte on, agrees with one
//   walk over all bytes; each walk gets a buffer of exactly the bytes it may
//   look at, so that a read beyond them is an AddressSanitizer finding;
// - the same bytes taken as the start of a longer file never make the walk
//   look past them, and it asks only for bytes inside that file;
// - the file reads stay within their bound and find the whole walk's block,
//   missing it only at the bounds;
// - a present date tag's value lies inside its block.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "capture/exif_reader.h"
#include "capture/heif_file.h"
#include "capture/heif_reader.h"
#include "tests/support/memory_reads.h"

namespace {

void Check(bool condition, const char* property)
{
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

struct Walk {
    HeifSearch search;
    HeifExifItem item;
    size_t needed;
};

// Over a copy of exactly size bytes.
Walk WalkOver(const uint8_t* data, size_t size, uint64_t fileSize)
{
    std::vector<uint8_t> bytes(data, data + size);
    Walk walk{};
    walk.search = FindHeifExifItem(bytes.data(), bytes.size(), fileSize, &walk.item, &walk.needed);
    return walk;
}

bool SameItem(const HeifExifItem& a, const HeifExifItem& b)
{
    return a.extentCount == b.extentCount && a.size == b.size &&
           std::memcmp(a.offsets, b.offsets, sizeof a.offsets) == 0 &&
           std::memcmp(a.lengths, b.lengths, sizeof a.lengths) == 0;
}

void CheckWholeWalk(const Walk& whole, size_t size)
{
    Check(whole.search != HeifSearch::NeedMoreBytes, "all bytes are enough");
    if (whole.search != HeifSearch::Found) {
        Check(whole.item.extentCount == 0 && whole.item.size == 0, "no item unless found");
        return;
    }
    const HeifExifItem& item = whole.item;
    Check(item.extentCount >= 1 && item.extentCount <= HeifMaxExifExtents, "extent count");
    uint64_t total = 0;
    for (size_t e = 0; e < item.extentCount; ++e) {
        Check(item.offsets[e] <= size && item.lengths[e] <= size - item.offsets[e],
              "extent inside the file");
        total += item.lengths[e];
    }
    Check(total == item.size && item.size <= size, "item size is its extents'");
}

// Steps beyond this only repeat the same check at a higher cost.
constexpr int MaxPrefixSteps = 64;

// Feeds the walk exactly what it asks for from the given start on; returns
// the bytes it needed in the end (0 when it gave up).
size_t CheckPrefixWalk(const uint8_t* data, size_t size, const Walk& whole, size_t start)
{
    size_t given = start < size ? start : size;
    for (int step = 0; step < MaxPrefixSteps; ++step) {
        Walk walk = WalkOver(data, given, size);
        if (walk.search == HeifSearch::Found) {
            Check(whole.search == HeifSearch::Found && SameItem(walk.item, whole.item),
                  "prefix walk finds the item the whole walk finds");
            return given;
        }
        if (walk.search == HeifSearch::NotFound) {
            Check(whole.search == HeifSearch::NotFound, "prefix walk gives up only when all do");
            return 0;
        }
        Check(walk.needed > given && walk.needed <= size, "asks for more, inside the file");
        given = walk.needed;
    }
    return 0;
}

void CheckLongerFile(const uint8_t* data, size_t size)
{
    uint64_t fileSize = uint64_t{size} + 1 + (size > 0 ? data[0] : 0) * uint64_t{0x1000000};
    Walk walk = WalkOver(data, size, fileSize);
    if (walk.search == HeifSearch::NeedMoreBytes)
        Check(walk.needed > size && walk.needed <= fileSize, "asks for bytes inside the file");
}

// The item's data joined, as all bytes of the file hold it.
std::vector<uint8_t> ItemData(const uint8_t* data, const HeifExifItem& item)
{
    std::vector<uint8_t> joined;
    for (size_t e = 0; e < item.extentCount; ++e)
        joined.insert(joined.end(), data + item.offsets[e],
                      data + item.offsets[e] + item.lengths[e]);
    return joined;
}

void CheckDateTags(const std::vector<uint8_t>& block)
{
    for (uint16_t tag : {uint16_t{0x0132}, uint16_t{0x9003}, uint16_t{0x9004}}) {
        ExifValue value;
        if (FindExifTag(block.data(), block.size(), tag, &value) != ExifTagStatus::Present)
            continue;
        size_t at = static_cast<size_t>(value.data - block.data());
        Check(at <= block.size() && value.size <= block.size() - at, "value inside its block");
    }
}

void CheckReads(const uint8_t* data, size_t size, const Walk& whole, size_t headerNeeded)
{
    MemoryFile file(data, size);
    std::vector<uint8_t> block;
    bool found = ReadHeifExifBlockFrom(ReadMemory, &file, size, &block);
    Check(file.bytesRead <= HeifMaxReadBytes, "read bound kept");
    Check(file.reads <= 2 + HeifBoxHeaderReads + 1 + static_cast<int>(HeifMaxExifExtents),
          "read count bounded");

    std::vector<uint8_t> item;
    size_t offset = 0;
    bool wholeBlock = whole.search == HeifSearch::Found;
    if (wholeBlock) {
        item = ItemData(data, whole.item);
        wholeBlock = FindHeifTiffBlock(item.data(), item.size(), &offset);
    }
    if (found) {
        Check(wholeBlock && block.size() <= item.size() - offset &&
                  (block.empty() ||
                   std::memcmp(block.data(), item.data() + offset, block.size()) == 0),
              "the reads find the start of the whole walk's block");
        CheckDateTags(block);
        return;
    }
    Check(block.empty(), "no block left behind on failure");
    if (wholeBlock) {
        // Missed only beyond the header bound, or with the TIFF header cut off
        // where the header reads leave too little of the read bound: those are
        // the first read and, when the boxes go on past it, the rest of the
        // header bound.
        bool headerBeyond = headerNeeded == 0 || headerNeeded > HeifMaxHeaderBytes;
        size_t header = HeifFirstReadBytes;
        if (headerNeeded > HeifFirstReadBytes)
            header = size < HeifMaxHeaderBytes ? size : HeifMaxHeaderBytes;
        bool tiffCut = offset > HeifMaxReadBytes - header;
        Check(headerBeyond || tiffCut, "the reads miss a block only at their bounds");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Walk whole = WalkOver(data, size, size);
    CheckWholeWalk(whole, size);
    CheckPrefixWalk(data, size, whole, 0);
    // The front end's road: the first read, then what the walk asks for.
    size_t headerNeeded = CheckPrefixWalk(data, size, whole, HeifFirstReadBytes);
    CheckLongerFile(data, size);
    CheckReads(data, size, whole, headerNeeded);
    if (whole.search == HeifSearch::Found) {
        std::vector<uint8_t> item = ItemData(data, whole.item);
        size_t offset = 0;
        if (FindHeifTiffBlock(item.data(), item.size(), &offset))
            CheckDateTags(std::vector<uint8_t>(item.begin() + static_cast<std::ptrdiff_t>(offset),
                                               item.end()));
    }
    return 0;
}
