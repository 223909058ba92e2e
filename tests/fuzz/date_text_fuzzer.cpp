// libFuzzer harness for the EXIF date-value parse, ParseExifDateText. The
// input is the value's bytes; the parse gets exactly those bytes in a buffer of
// their size (a read beyond is an AddressSanitizer finding) and is compared,
// on a zero-terminated copy of the same bytes, with two oracles:
// - a reference model that walks the format "%d:%d:%d %d:%d:%d" directive by
//   directive as the C standard describes formatted input: a white-space
//   directive skips any run of white space, a literal must match the next
//   character, %d skips white space and reads an optional sign and at least
//   one decimal digit; the value is kept modulo 2^32;
// - the C library's own sscanf, wherever every number read fits in a long
//   (beyond that glibc saturates, and C leaves the value undefined).
// Aborts with the property's name when one breaks.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture/exif_reader.h"

namespace {

void Check(bool condition, const char* property)
{
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct ModelScan {
    int count = 0;            // conversions made before the first failure
    uint32_t values[6] = {};  // each modulo 2^32
    bool fitsLong[6] = {};    // fewer than 19 significant digits
};

ModelScan ScanModel(const char* input)
{
    static const char format[] = "%d:%d:%d %d:%d:%d";
    ModelScan scan;
    const char* in = input;
    for (const char* f = format; *f != '\0';) {
        if (IsSpace(*f)) {
            while (IsSpace(*in))
                ++in;
            ++f;
        } else if (f[0] == '%' && f[1] == 'd') {
            while (IsSpace(*in))
                ++in;
            bool negative = *in == '-';
            if (*in == '+' || *in == '-')
                ++in;
            if (!IsDigit(*in))
                return scan;
            uint32_t value = 0;
            int significant = 0;
            for (; IsDigit(*in); ++in) {
                value = value * 10u + static_cast<uint32_t>(*in - '0');
                if (significant > 0 || *in != '0')
                    ++significant;
            }
            scan.values[scan.count] = negative ? 0u - value : value;
            scan.fitsLong[scan.count] = significant < 19;
            ++scan.count;
            f += 2;
        } else {
            if (*in != *f)
                return scan;
            ++in;
            ++f;
        }
    }
    return scan;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> value(data, data + size);
    int numbers[6] = {};
    bool parsed = ParseExifDateText(value.empty() ? nullptr : value.data(), value.size(), numbers);

    std::string text(reinterpret_cast<const char*>(data), size);  // zero-terminated by c_str()
    ModelScan model = ScanModel(text.c_str());
    Check(parsed == (model.count == 6), "parses exactly when the model reads six numbers");
    if (parsed) {
        for (int i = 0; i < 6; ++i)
            Check(static_cast<uint32_t>(numbers[i]) == model.values[i],
                  "numbers are the model's, modulo 2^32");
    }

    int scanned[6] = {};
    int count = std::sscanf(text.c_str(), "%d:%d:%d %d:%d:%d", &scanned[0], &scanned[1],
                            &scanned[2], &scanned[3], &scanned[4], &scanned[5]);
    Check((count == 6) == (model.count == 6),
          "sscanf reads six numbers exactly when the model does");
    int comparable = count < model.count ? count : model.count;
    for (int i = 0; i < comparable; ++i) {
        if (model.fitsLong[i])
            Check(static_cast<uint32_t>(scanned[i]) == model.values[i],
                  "sscanf's numbers are the model's where they fit a long");
    }
    return 0;
}
