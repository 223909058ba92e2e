// The walk over the boxes of an ISO base media file (HEIF pictures, MOV and
// MP4 videos: one format) as read from the file: a box is a 32-bit big-endian
// size and a four-letter type, size 1 meaning a 64-bit size follows and size 0
// "to the end". Boxes are passed over by their sizes, never read through, so a
// box behind gigabytes of media data is found with a few small reads. Every
// read goes through the read seam and is counted against the caller's bounds.
// Portable C++ with no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/exif_file.h"

constexpr uint32_t FourCc(const char (&code)[5])
{
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
           (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

// One file's reads: what was read so far, kept for the walk to look at again,
// and the bounds of all reads together.
struct BoxReads {
    ExifReadAt readAt;
    void* source;
    uint64_t fileSize;  // as listed; lowered to where a read found the end
    size_t maxBytes;    // bytes asked for by all reads together, at most
    int maxReads;       // reads, at most
    size_t chunkBytes;  // a read asks for at least this much (the boxes that follow)

    struct Span {
        uint64_t offset;
        std::vector<uint8_t> bytes;
    };
    std::vector<Span> spans = {};  // one per read: at most maxReads
    size_t bytesRead = 0;          // asked for, all reads together
    int reads = 0;
    bool exhausted = false;  // a read was refused by the bounds
};

// The count bytes at offset: from a read already made, or from one new read
// (of chunkBytes at least, within the file and the bounds). Null when they lie
// beyond the file's end or the bounds refuse the read (exhausted is then set).
// The bytes stay valid while reads lasts.
const uint8_t* BoxBytes(BoxReads& reads, uint64_t offset, size_t count);

uint32_t BigEndian32(const uint8_t* bytes);
uint64_t BigEndian64(const uint8_t* bytes);

struct BoxHeader {
    uint32_t type;
    uint64_t start;
    uint64_t body;  // where the box's contents start
    uint64_t end;
};

enum class BoxStep {
    Ok,
    Damaged,  // a size smaller than its header, or a box past its parent's end
    PastEnd,  // a top-level box (limit the file's end) that runs past the file's end
    Unread,   // the bounds refused a read
};

// The header of the box at pos, which must end by limit: its parent's end, or
// the file's size for a top-level box. Size 0 reaches to limit.
BoxStep ReadBoxHeader(BoxReads& reads, uint64_t pos, uint64_t limit, BoxHeader* box);

// Walks the boxes from pos to limit by their headers, handing each to visit
// until it returns false.
template <typename Visit>
BoxStep WalkBoxes(BoxReads& reads, uint64_t pos, uint64_t limit, Visit visit)
{
    while (pos < limit) {
        BoxHeader box;
        BoxStep step = ReadBoxHeader(reads, pos, limit, &box);
        if (step != BoxStep::Ok)
            return step;
        if (!visit(box))
            break;
        pos = box.end;
    }
    return BoxStep::Ok;
}

// The first top-level box of the type, passing over the others by their headers.
BoxStep FindTopLevelBox(BoxReads& reads, uint32_t type, BoxHeader* box);
