// Prints the date each HEIF file given gives, the way the capture time reads
// it: the first of the tags 0x0132, 0x9003, 0x9004, its text up to its first
// zero byte. "-" when the file gives no block or none of the tags.
//   heif_dates <file>...
#include <cstdio>
#include <string>
#include <vector>

#include "capture/exif_reader.h"
#include "capture/heif_file.h"

namespace {

size_t ReadStdioFile(void* source, uint64_t offset, uint8_t* dest, size_t count)
{
    std::FILE* file = static_cast<std::FILE*>(source);
    if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0)
        return 0;
    return std::fread(dest, 1, count, file);
}

std::string DateOf(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return "unreadable";
    std::fseek(file, 0, SEEK_END);
    long size = std::ftell(file);
    std::vector<uint8_t> block;
    bool found = size >= 0 &&
                 ReadHeifExifBlockFrom(ReadStdioFile, file, static_cast<uint64_t>(size), &block);
    std::fclose(file);
    if (!found)
        return "-";
    for (uint16_t tag : {uint16_t{0x0132}, uint16_t{0x9003}, uint16_t{0x9004}}) {
        ExifValue value;
        ExifTagStatus status = FindExifTag(block.data(), block.size(), tag, &value);
        if (status == ExifTagStatus::Unreadable)
            return "unreadable";
        if (status == ExifTagStatus::Present) {
            std::string text(reinterpret_cast<const char*>(value.data), value.size);
            return text.substr(0, text.find('\0'));
        }
    }
    return "-";
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        std::printf("%s\t%s\n", argv[i], DateOf(argv[i]).c_str());
    return 0;
}
