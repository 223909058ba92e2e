#include "capture/box_walk.h"

// Positions are 64-bit file offsets; every sum is checked against a limit
// before it is formed (a + b <= limit is tested as b <= limit - a).

uint32_t BigEndian32(const uint8_t* bytes)
{
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           bytes[3];
}

uint64_t BigEndian64(const uint8_t* bytes)
{
    return (uint64_t{BigEndian32(bytes)} << 32) | BigEndian32(bytes + 4);
}

const uint8_t* BoxBytes(BoxReads& reads, uint64_t offset, size_t count)
{
    if (offset > reads.fileSize || count > reads.fileSize - offset)
        return nullptr;
    for (const BoxReads::Span& span : reads.spans) {
        if (offset >= span.offset && offset - span.offset <= span.bytes.size() &&
            count <= span.bytes.size() - (offset - span.offset))
            return span.bytes.data() + (offset - span.offset);
    }
    uint64_t want = count > reads.chunkBytes ? count : reads.chunkBytes;
    if (want > reads.fileSize - offset)
        want = reads.fileSize - offset;
    if (want > reads.maxBytes - reads.bytesRead)
        want = reads.maxBytes - reads.bytesRead;
    if (reads.reads >= reads.maxReads || want < count) {
        reads.exhausted = true;
        return nullptr;
    }
    if (reads.spans.empty())
        reads.spans.reserve(static_cast<size_t>(reads.maxReads));
    reads.spans.push_back({offset, std::vector<uint8_t>(static_cast<size_t>(want))});
    std::vector<uint8_t>& bytes = reads.spans.back().bytes;
    ++reads.reads;
    reads.bytesRead += bytes.size();
    size_t got = reads.readAt(reads.source, offset, bytes.data(), bytes.size());
    if (got < bytes.size()) {
        bytes.resize(got);
        reads.fileSize = offset + got;  // shorter than listed: it ends where the read did
    }
    return got < count ? nullptr : bytes.data();
}

BoxStep ReadBoxHeader(BoxReads& reads, uint64_t pos, uint64_t limit, BoxHeader* box)
{
    bool topLevel = limit >= reads.fileSize;
    if (topLevel)
        limit = reads.fileSize;
    if (pos > limit || limit - pos < 8)
        return topLevel ? BoxStep::PastEnd : BoxStep::Damaged;
    const uint8_t* header = BoxBytes(reads, pos, 8);
    if (!header)
        return reads.exhausted ? BoxStep::Unread : BoxStep::PastEnd;
    uint64_t size = BigEndian32(header);
    uint32_t type = BigEndian32(header + 4);
    uint64_t headerBytes = 8;
    if (size == 1) {
        headerBytes = 16;
        if (limit - pos < headerBytes)
            return topLevel ? BoxStep::PastEnd : BoxStep::Damaged;
        const uint8_t* large = BoxBytes(reads, pos, 16);
        if (!large)
            return reads.exhausted ? BoxStep::Unread : BoxStep::PastEnd;
        size = BigEndian64(large + 8);
    } else if (size == 0) {
        size = limit - pos;
    }
    if (size < headerBytes)
        return BoxStep::Damaged;
    if (size > limit - pos)
        return topLevel ? BoxStep::PastEnd : BoxStep::Damaged;
    *box = BoxHeader{type, pos, pos + headerBytes, pos + size};
    return BoxStep::Ok;
}

BoxStep FindTopLevelBox(BoxReads& reads, uint32_t type, BoxHeader* box)
{
    bool found = false;
    BoxStep step = WalkBoxes(reads, 0, reads.fileSize, [&](const BoxHeader& each) {
        found = each.type == type;
        if (found)
            *box = each;
        return !found;
    });
    return step == BoxStep::Ok && !found ? BoxStep::Damaged : step;
}
