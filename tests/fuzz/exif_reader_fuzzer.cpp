// libFuzzer harness for the EXIF reader. Besides the sanitizers' own findings
// it checks properties, and aborts when one breaks:
// - the marker walk fed as a file reader feeds it (exactly the bytes asked
//   for, growing, the bodies it passes over left unread) agrees with one walk
//   over all bytes; each walk gets a buffer of exactly the bytes it may look
//   at, so that a read beyond them is an AddressSanitizer finding;
// - the sparse file reads (segment bodies seeked over) find the same block,
//   within the read limits;
// - a present tag's value lies inside its block;
// - the date text scan agrees with the C library's sscanf.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture/exif_file.h"
#include "capture/exif_reader.h"
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
    ExifSearch search;
    size_t offset, size, needed;
};

Walk WalkOver(const uint8_t* bytes, size_t size)
{
    Walk walk{};
    walk.search = FindExifBlock(bytes, size, &walk.offset, &walk.size, &walk.needed);
    return walk;
}

void CheckWholeWalk(const Walk& whole, size_t size)
{
    if (whole.search == ExifSearch::Found) {
        Check(whole.offset <= size && whole.size <= size - whole.offset, "block inside the bytes");
        Check(whole.size <= 65535 - 8, "block within one segment");
    } else if (whole.search == ExifSearch::NeedMoreBytes) {
        Check(whole.needed > size, "asks for more than it has");
        Check(whole.needed - size <= 65535 + 2 + 4, "asks for at most one segment more");
    }
}

// Steps beyond this only repeat the same check at a higher cost.
constexpr int MaxPrefixSteps = 256;
// A request for more than this is for the Exif segment or for the next marker
// header after a body the walk passes over (a signature asks for 6 bytes).
constexpr size_t LargestSmallRequest = 10;
constexpr size_t MarkerHeaderBytes = 4;

// Feeds the walk exactly what it asks for, from the first byte on, and leaves
// the bodies it passes over as zeros: it must never look at them.
void CheckPrefixWalk(const uint8_t* data, size_t size, const Walk& whole)
{
    std::vector<uint8_t> bytes;
    for (int step = 0; step < MaxPrefixSteps; ++step) {
        Walk walk = WalkOver(bytes.data(), bytes.size());
        if (walk.search == ExifSearch::Found) {
            Check(whole.search == ExifSearch::Found && whole.offset == walk.offset &&
                      whole.size == walk.size &&
                      (walk.size == 0 ||
                       std::memcmp(bytes.data() + walk.offset, data + walk.offset, walk.size) == 0),
                  "prefix walk finds the block the whole walk finds");
            return;
        }
        if (walk.search == ExifSearch::NotFound) {
            Check(whole.search == ExifSearch::NotFound, "prefix walk gives up only when all do");
            return;
        }
        Check(walk.needed > bytes.size(), "each request asks for more");
        if (walk.needed > size) {
            Check(whole.search != ExifSearch::Found, "no block left unseen by the prefix walk");
            return;
        }
        size_t from = bytes.size();
        bytes.resize(walk.needed);  // zeros
        if (walk.needed - from > LargestSmallRequest &&
            WalkOver(bytes.data(), bytes.size()).search != ExifSearch::Found)
            from = walk.needed - MarkerHeaderBytes;
        std::memcpy(bytes.data() + from, data + from, walk.needed - from);
    }
}

void CheckSparseReads(const uint8_t* data, size_t size, const Walk& whole)
{
    MemoryFile file(data, size);
    std::vector<uint8_t> block;
    bool found = ReadExifBlockFrom(ReadMemory, &file, &block);
    Check(file.reads <= ExifMaxReads, "read limit kept");
    // Small gaps of at most 16 bytes, marker headers, and one read of the Exif segment.
    Check(file.bytesRead <= ExifFirstReadBytes + size_t(file.reads) * 16 + 65537,
          "segment bodies passed over are not read");
    if (found) {
        Check(whole.search == ExifSearch::Found && block.size() == whole.size &&
                  (whole.size == 0 ||
                   std::memcmp(block.data(), data + whole.offset, whole.size) == 0),
              "sparse reads find the block of the whole walk");
    } else {
        Check(block.empty(), "no block left behind on failure");
        Check(whole.search != ExifSearch::Found || file.reads >= ExifMaxReads ||
                  whole.offset + whole.size > ExifMaxExtent,
              "sparse reads miss a block only at their limits");
    }
}

void CheckDateTags(const uint8_t* block, size_t size)
{
    const uint16_t dateTags[] = {0x0132, 0x9003, 0x9004};
    for (uint16_t tag : dateTags) {
        ExifValue value;
        ExifTagStatus status = FindExifTag(block, size, tag, &value);
        if (status != ExifTagStatus::Present) {
            Check(value.data == nullptr && value.size == 0, "no value unless present");
            continue;
        }
        Check(value.data >= block && static_cast<size_t>(value.data - block) <= size &&
                  value.size <= size - static_cast<size_t>(value.data - block),
              "value inside its block");
        std::vector<uint8_t> copy(value.data, value.data + value.size);
        int numbers[6];
        ParseExifDateText(copy.data(), copy.size(), numbers);
    }
}

// sscanf stores a %d that does not fit a long differently (C leaves it
// undefined); below 19 significant digits glibc wraps modulo 2^32 as we do.
bool HasHugeNumber(const std::string& text)
{
    size_t significant = 0;
    bool inNumber = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (inNumber || c != '0')
                ++significant;
            inNumber = inNumber || c != '0';
            if (significant >= 19)
                return true;
        } else {
            inNumber = false;
            significant = 0;
        }
    }
    return false;
}

void CheckDateText(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> text(data, data + size);
    int numbers[6] = {};
    bool parsed = ParseExifDateText(text.data(), text.size(), numbers);

    std::string cText(reinterpret_cast<const char*>(data), size);
    cText.resize(std::strlen(cText.c_str()));  // a zero byte ends the text
    int scanned[6] = {};
    int count = std::sscanf(cText.c_str(), "%d:%d:%d %d:%d:%d", &scanned[0], &scanned[1],
                            &scanned[2], &scanned[3], &scanned[4], &scanned[5]);
    Check(parsed == (count == 6), "parses when sscanf reads six numbers");
    if (parsed && !HasHugeNumber(cText))
        Check(std::memcmp(numbers, scanned, sizeof numbers) == 0, "numbers as sscanf reads them");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Walk whole = WalkOver(data, size);
    CheckWholeWalk(whole, size);
    CheckPrefixWalk(data, size, whole);
    CheckSparseReads(data, size, whole);
    if (whole.search == ExifSearch::Found) {
        std::vector<uint8_t> block(data + whole.offset, data + whole.offset + whole.size);
        CheckDateTags(block.data(), block.size());
    }
    // The input taken as a block and as a date text by itself.
    std::vector<uint8_t> input(data, data + size);
    CheckDateTags(input.data(), input.size());
    CheckDateText(data, size);
    return 0;
}
