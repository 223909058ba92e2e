// libFuzzer harness for the raw file header's date read. Besides the
// sanitizers' own findings it checks properties, and aborts when one breaks:
// - the header is looked at in a buffer of exactly its bytes (at most the
//   header limit), so that a read beyond them is an AddressSanitizer finding;
// - bytes beyond the header limit change nothing;
// - only the two bytes after the byte order are ever rewritten, and only
//   for an Olympus or Panasonic signature;
// - a TIFF header read under each maker's signature gives the same date as
//   under TIFF's own;
// - two capture times are the same shot both ways round, and a time is the
//   same shot as itself.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "capture/raw_header.h"

namespace {

void Check(bool condition, const char* property)
{
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

struct DateRead {
    bool found = false;
    int numbers[6] = {};
    std::vector<uint8_t> header;  // as the read left it
};

DateRead ReadDate(const uint8_t* data, size_t size)
{
    DateRead read;
    read.header.assign(data, data + size);
    read.found = FindRawCaptureDate(read.header, read.numbers);
    return read;
}

bool SameDate(const DateRead& a, const DateRead& b)
{
    return a.found == b.found &&
           (!a.found || std::memcmp(a.numbers, b.numbers, sizeof a.numbers) == 0);
}

bool MakersSignature(const uint8_t* data, size_t size)
{
    if (size < 4)
        return false;
    bool little = data[0] == 'I' && data[1] == 'I';
    bool big = data[0] == 'M' && data[1] == 'M';
    return (little && data[2] == 'R' && (data[3] == 'O' || data[3] == 'S')) ||
           (big && data[2] == 'O' && data[3] == 'R') || (little && data[2] == 'U' && data[3] == 0);
}

void CheckRewrite(const uint8_t* data, size_t size, const DateRead& read)
{
    size_t kept = std::min(size, RawHeaderBytes);
    Check(read.header.size() == kept, "the header is cut at its limit");
    bool rewritten = kept >= 4 && std::memcmp(read.header.data(), data, 4) != 0;
    Check(!rewritten || MakersSignature(data, size), "only a maker's signature is rewritten");
    Check(kept <= 4 || std::memcmp(read.header.data() + 4, data + 4, kept - 4) == 0,
          "nothing past the signature is rewritten");
    if (rewritten)
        Check(read.header[0] == data[0] && read.header[1] == data[1], "the byte order stays");
}

// A TIFF header (II*\0 or MM\0*) under the makers' signatures.
void CheckSignatures(const uint8_t* data, size_t size, const DateRead& read)
{
    if (size < 4)
        return;
    const uint8_t* signatures[3];
    size_t count = 0;
    if (std::memcmp(data, "II*\0", 4) == 0) {
        signatures[count++] = reinterpret_cast<const uint8_t*>("IIRO");
        signatures[count++] = reinterpret_cast<const uint8_t*>("IIRS");
        signatures[count++] = reinterpret_cast<const uint8_t*>("IIU\0");
    } else if (std::memcmp(data, "MM\0*", 4) == 0) {
        signatures[count++] = reinterpret_cast<const uint8_t*>("MMOR");
    }
    std::vector<uint8_t> other(data, data + std::min(size, RawHeaderBytes));
    for (size_t index = 0; index < count; ++index) {
        std::memcpy(other.data(), signatures[index], 4);
        Check(SameDate(ReadDate(other.data(), other.size()), read),
              "a maker's signature reads as TIFF's");
    }
}

void CheckShots(const DateRead& read, const uint8_t* data, size_t size)
{
    CaptureTime a = {};
    if (read.found)
        a = {static_cast<uint16_t>(read.numbers[0]), static_cast<uint16_t>(read.numbers[1]),
             static_cast<uint16_t>(read.numbers[2]), static_cast<uint16_t>(read.numbers[3]),
             static_cast<uint16_t>(read.numbers[4]), static_cast<uint16_t>(read.numbers[5])};
    CaptureTime b = {};
    std::memcpy(&b, data, std::min(size, sizeof b));
    Check(SameShot(a, a) && SameShot(b, b), "a time is the same shot as itself");
    Check(SameShot(a, b) == SameShot(b, a), "the same shot both ways round");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DateRead read = ReadDate(data, size);
    CheckRewrite(data, size, read);
    if (size > RawHeaderBytes)
        Check(SameDate(ReadDate(data, RawHeaderBytes), read), "bytes past the limit are not read");
    CheckSignatures(data, size, read);
    CheckShots(read, data, size);
    return 0;
}
