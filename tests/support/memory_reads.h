// A file held in memory for the header readers' read function (ExifReadAt),
// counting what they ask for: the tests and the fuzzers check the readers'
// bounds with it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

struct MemoryFile {
    MemoryFile(const uint8_t* bytes, size_t length) : data(bytes), size(length) {}
    explicit MemoryFile(const std::vector<uint8_t>* bytes)
        : data(bytes->data()), size(bytes->size())
    {
    }
    const uint8_t* data;
    size_t size;
    int reads = 0;
    size_t bytesRead = 0;
    uint64_t furthest = 0;                              // end of the furthest read asked for
    std::vector<std::pair<uint64_t, uint64_t>> ranges;  // [offset, offset + count) asked for
};

inline size_t ReadMemory(void* source, uint64_t offset, uint8_t* dest, size_t count)
{
    MemoryFile* file = static_cast<MemoryFile*>(source);
    ++file->reads;
    file->furthest = std::max<uint64_t>(file->furthest, offset + count);
    file->ranges.emplace_back(offset, offset + count);
    if (offset >= file->size)
        return 0;
    size_t got = std::min<size_t>(count, file->size - static_cast<size_t>(offset));
    if (got > 0)
        std::memcpy(dest, file->data + offset, got);
    file->bytesRead += got;
    return got;
}

// A sparse file: its first bytes, then its last ones after a hole of zeros,
// as a file behind gigabytes of media data lies; its reads counted.
struct SparseFile {
    std::vector<uint8_t> head;
    uint64_t tailAt;
    std::vector<uint8_t> tail;
    int reads = 0;
    size_t bytesRead = 0;
    uint64_t furthest = 0;
    uint64_t Size() const { return tailAt + tail.size(); }
};

inline size_t ReadSparse(void* source, uint64_t offset, uint8_t* dest, size_t count)
{
    SparseFile* file = static_cast<SparseFile*>(source);
    ++file->reads;
    file->bytesRead += count;
    file->furthest = std::max(file->furthest, offset + count);
    for (size_t i = 0; i < count; ++i) {
        uint64_t at = offset + i;
        if (at >= file->Size())
            return i;
        if (at < file->head.size())
            dest[i] = file->head[static_cast<size_t>(at)];
        else if (at >= file->tailAt)
            dest[i] = file->tail[static_cast<size_t>(at - file->tailAt)];
        else
            dest[i] = 0;
    }
    return count;
}
