// libFuzzer harness for the video reader. Besides the sanitizers' own
// findings it checks properties, and aborts when one breaks:
// - the reads stay within VideoMaxReads and VideoMaxReadBytes, and never ask
//   for a byte past the file's size as listed;
// - a time found is a calendar time from 1970 on;
// - the same bytes listed as a longer file (one being copied) are read within
//   the same bounds, and give no time where the file as it is gives none.
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
    VideoSearch search = ReadListed(data, size, size, &whole);
    // Listed longer than it is: the reads find its end where they stop.
    uint64_t extra = 1 + (size > 0 ? uint64_t{data[size - 1]} << 24 : 0);
    VideoTime longer{};
    VideoSearch listedLonger = ReadListed(data, size, size + extra, &longer);
    // Listed longer, the reads may stop at their bound after the movie box
    // where the exact listing reaches a last box cut short: incomplete there.
    if (listedLonger == VideoSearch::Found)
        Check(search != VideoSearch::NoTime, "a file listed longer gives no time it lacks");
    return 0;
}
