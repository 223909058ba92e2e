#include "rename/incomplete_videos.h"

void BeginIncompleteScan(IncompleteVideos& videos) { ++videos.scan; }

void EndIncompleteScan(IncompleteVideos& videos)
{
    std::erase_if(videos.byName,
                  [&](const auto& entry) { return entry.second.scan != videos.scan; });
}

bool NoteIncomplete(IncompleteVideos& videos, const std::wstring& name, uint64_t size,
                    uint64_t lastWrite, ULONGLONG now)
{
    auto [entry, added] =
        videos.byName.try_emplace(name, IncompleteVideo{size, lastWrite, now, videos.scan});
    IncompleteVideo& video = entry->second;
    video.scan = videos.scan;
    if (!added && (video.size != size || video.lastWrite != lastWrite)) {
        // Still growing: the wait starts again.
        video = IncompleteVideo{size, lastWrite, now, videos.scan};
        return false;
    }
    return now - video.since >= CutVideoPatienceMs;
}
