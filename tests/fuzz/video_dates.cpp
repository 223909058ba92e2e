// Prints the time each video given gives, as it is named: a time on the
// camera's or the writer's clock as written, a UTC time in the local time of
// this process's zone (TZ), as "YYYY:MM:DD HH:MM:SS"; "-" for none,
// "incomplete" for a file not yet whole.
//   video_dates <file>...
#include <cstdio>
#include <ctime>
#include <string>

#include "capture/video_reader.h"

namespace {

size_t ReadStdioFile(void* source, uint64_t offset, uint8_t* dest, size_t count)
{
    std::FILE* file = static_cast<std::FILE*>(source);
    if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0)
        return 0;
    return std::fread(dest, 1, count, file);
}

std::string TimeOf(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return "unreadable";
    std::fseek(file, 0, SEEK_END);
    long size = std::ftell(file);
    VideoTime time{};
    VideoSearch search =
        size < 0 ? VideoSearch::NoTime
                 : ReadVideoTimeFrom(ReadStdioFile, file, static_cast<uint64_t>(size), &time);
    std::fclose(file);
    if (search == VideoSearch::Incomplete)
        return "incomplete";
    if (search != VideoSearch::Found)
        return "-";
    std::tm fields{};
    fields.tm_year = time.year - 1900;
    fields.tm_mon = time.month - 1;
    fields.tm_mday = time.day;
    fields.tm_hour = time.hour;
    fields.tm_min = time.minute;
    fields.tm_sec = time.second;
    if (time.clock == VideoClock::Utc) {
        std::time_t seconds = timegm(&fields);
        localtime_r(&seconds, &fields);
    }
    char text[32];
    std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &fields);
    return text;
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        std::printf("%s\t%s\n", argv[i], TimeOf(argv[i]).c_str());
    return 0;
}
