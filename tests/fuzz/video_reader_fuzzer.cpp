// libFuzzer harness for the video reader. Besides the sanitizers' own
// findings it checks properties, and aborts when one breaks:
// - the reads stay within VideoMaxReads and VideoMaxReadBytes, and never ask
//   for a byte past the file's size as listed;
// - a time found is a calendar time from 1970 on;
// - the same bytes listed as a longer file (one being copied, or listed
//   before it was cut) are read within the same bounds.
#include <cstdio>
#include <cstdlib>

#include "capture/video_reader.h"
#include "tests/support/memory_reads.h"

namespace {

void Check(bool condition, const char* property)
{
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

VideoSearch ReadListed(const uint8_t* data, size_t size, uint64_t listed, VideoTime* time)
{
    MemoryFile file(data, size);
    VideoSearch search = ReadVideoTimeFrom(ReadMemory, &file, listed, time);
    Check(file.reads <= VideoMaxReads, "read count bound kept");
    size_t asked = 0;
    for (const auto& range : file.ranges) {
        Check(range.first <= range.second && range.second <= listed, "no read past the file");
        asked += static_cast<size_t>(range.second - range.first);
    }
    Check(asked <= VideoMaxReadBytes, "read bytes bound kept");
    if (search == VideoSearch::Found) {
        Check(time->year >= 1970 && time->year <= 9999 && time->month >= 1 && time->month <= 12 &&
                  time->day >= 1 && time->day <= 31 && time->hour >= 0 && time->hour <= 23 &&
                  time->minute >= 0 && time->minute <= 59 && time->second >= 0 &&
                  time->second <= 60,
              "a time found is a calendar time");
    }
    return search;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    VideoTime whole{};
    ReadListed(data, size, size, &whole);
    // Listed longer than it is: the reads find its end where they stop.
    uint64_t extra = 1 + (size > 0 ? uint64_t{data[size - 1]} << 24 : 0);
    VideoTime longer{};
    // Its outcome may differ from the file's as it is: a movie box of size 0
    // reaches the listed end, so a child cut short by the real end is whole
    // there, and the bound may stop the reads before a last box cut short.
    ReadListed(data, size, size + extra, &longer);
    return 0;
}
