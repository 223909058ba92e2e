// A video's capture time from its boxes (QuickTime .mov and MP4 .mp4 .m4v .3gp
// .3g2: the box format HEIF uses too). Portable C++ with no Windows headers,
// over the same read seam as the HEIF file side, so that tests and the fuzzer
// watch every read. Every size, count and offset is checked against the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "capture/exif_file.h"

// Bounds of one video's reads: the bytes of all reads together and their
// number. The movie box of a long video holds megabytes of sample tables:
// its children are walked by their headers and only the small ones that
// hold a date are read.
constexpr size_t VideoMaxReadBytes = 65536;
constexpr int VideoMaxReads = 16;

// Which clock a video's time is on.
enum class VideoClock {
    AsWritten,  // the wall-clock time where it was taken: named as it is
    Utc,        // to be shown in the local time zone of that date
};

struct VideoTime {
    int year, month, day, hour, minute, second;
    VideoClock clock;
};

enum class VideoSearch {
    Found,       // *time holds the capture time
    NoTime,      // whole, but no time within the bounds, zero or before 1970
    Incomplete,  // no movie box yet, or the last box runs past the file's end
};

// Reads the capture time of the video of fileSize bytes that readAt reads.
VideoSearch ReadVideoTimeFrom(ExifReadAt readAt, void* source, uint64_t fileSize, VideoTime* time);
