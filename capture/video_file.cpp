#include "capture/video_file.h"

#include "capture/ascii_text.h"

bool IsVideoExtension(const wchar_t* extension)
{
    static const wchar_t* const videoExtensions[] = {L".mov", L".mp4", L".m4v", L".3gp", L".3g2"};
    for (const wchar_t* known : videoExtensions)
        if (AsciiEqualNoCase(extension, known))
            return true;
    return false;
}

#ifdef _WIN32

namespace {

struct VideoRead {
    VideoSearch search;
    VideoTime time;
};

}  // namespace

bool ReadVideoTime(const wchar_t* path, VideoSearch* search, VideoTime* time,
                   unsigned long* failure)
{
    VideoRead read = {VideoSearch::NoTime, {}};
    ReadFileHeader(
        path,
        [](void* context, ExifReadAt readAt, void* source, uint64_t fileSize) {
            VideoRead* into = static_cast<VideoRead*>(context);
            into->search = ReadVideoTimeFrom(readAt, source, fileSize, &into->time);
            return true;
        },
        &read, failure);
    *search = read.search;
    *time = read.time;
    return *failure == 0;
}

#endif
