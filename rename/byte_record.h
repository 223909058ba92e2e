// Little-endian numbers and checked reads for the files the program keeps
// (settled_file.h, journal_file.h). Portable, so that fuzzers can use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// FNV-1a over the bytes. The hash wraps by design; the fuzzers' check for
// unsigned wrap-around, meant for the offsets, is told so.
#if defined(__clang__)
__attribute__((no_sanitize("unsigned-integer-overflow")))
#endif
inline uint64_t
Fnv1a(const uint8_t* bytes, size_t size, uint64_t hash = 0xcbf29ce484222325ull)
{
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

inline void PutText(std::vector<uint8_t>& out, const std::string& text)
{
    for (char c : text)
        out.push_back(static_cast<uint8_t>(c));
}

inline void PutNumber(std::vector<uint8_t>& out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Reads forward through the bytes; every read is bounds-checked, and a read
// past the end leaves the reader failed for good.
struct ByteReader {
    const uint8_t* bytes;
    size_t size;
    size_t at = 0;
    bool failed = false;

    bool Has(size_t count) const { return !failed && count <= size - at; }
    uint64_t Number(int count)
    {
        if (!Has(static_cast<size_t>(count))) {
            failed = true;
            return 0;
        }
        uint64_t value = 0;
        for (int i = 0; i < count; ++i)
            value |= static_cast<uint64_t>(bytes[at + i]) << (8 * i);
        at += static_cast<size_t>(count);
        return value;
    }
    std::string Text(size_t count)
    {
        if (!Has(count)) {
            failed = true;
            return std::string();
        }
        std::string text(reinterpret_cast<const char*>(bytes + at), count);
        at += count;
        return text;
    }
};
