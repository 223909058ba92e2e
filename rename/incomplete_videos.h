// A folder's memory of videos still being written. A copier writes a phone
// video's movie box last, so until then the file holds no capture time: it
// is waited for on the busy schedule, never named after its file time. One
// that stays cut and unchanged for CutVideoPatienceMs is taken as one that
// will not be finished (a copy that was broken off): reported once and left
// until it changes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>

constexpr ULONGLONG CutVideoPatienceMs = 120000;

struct IncompleteVideo {
    uint64_t size;
    uint64_t lastWrite;
    ULONGLONG since;  // tick count when it was first met cut with this size and time
    uint64_t scan;    // the last scan that met it
};

// Bound: one entry per video the last scan met cut; those it did not meet
// (finished, gone, or settled as given up) are dropped when it ends.
struct IncompleteVideos {
    std::unordered_map<std::wstring, IncompleteVideo> byName;
    uint64_t scan = 0;
};

// Brackets one scan, as the busy files' scan does.
void BeginIncompleteScan(IncompleteVideos& videos);
void EndIncompleteScan(IncompleteVideos& videos);

// Notes that the named video was met cut at now with the listed size and
// last-write time. True once it has stayed so, unchanged, for
// CutVideoPatienceMs: the caller reports it and leaves it until it changes.
bool NoteIncomplete(IncompleteVideos& videos, const std::wstring& name, uint64_t size,
                    uint64_t lastWrite, ULONGLONG now);
