// The EXIF reader per picture, in memory: what a scan does with a picture's
// bytes once they are read (find the Exif block through the byte source, look
// the three date tags up in order, parse the first one present), over the
// camera samples in turn. The file reads are left out: bench/run times those
// with the whole scan under Wine.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "capture/exif_file.h"
#include "capture/exif_reader.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<Bytes> LoadSamples()
{
    std::vector<Bytes> samples;
    for (const char* folder : {LUMISTAMP_EXIF_SAMPLES, LUMISTAMP_EXIF_SAMPLES "/gps"}) {
        std::vector<std::filesystem::path> paths;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".jpg")
                paths.push_back(entry.path());
        std::sort(paths.begin(), paths.end());
        for (const auto& path : paths) {
            std::ifstream file(path, std::ios::binary);
            samples.emplace_back(std::istreambuf_iterator<char>(file),
                                 std::istreambuf_iterator<char>());
        }
    }
    return samples;
}

size_t ReadFromMemory(void* source, uint64_t offset, uint8_t* dest, size_t count)
{
    const Bytes& bytes = *static_cast<const Bytes*>(source);
    if (offset >= bytes.size())
        return 0;
    size_t got = std::min(count, static_cast<size_t>(bytes.size() - offset));
    std::memcpy(dest, bytes.data() + offset, got);
    return got;
}

// One picture: true when a capture time was found.
bool ReadCaptureTimeInMemory(Bytes& picture, std::vector<uint8_t>* block)
{
    if (!ReadExifBlockFrom(ReadFromMemory, &picture, block))
        return false;
    for (uint16_t tag : {0x0132, 0x9003, 0x9004}) {
        ExifValue value;
        ExifTagStatus status = FindExifTag(block->data(), block->size(), tag, &value);
        if (status == ExifTagStatus::Absent)
            continue;
        int numbers[6];
        return status == ExifTagStatus::Present &&
               ParseExifDateText(value.data, value.size, numbers);
    }
    return false;
}

void ReaderPerPicture(benchmark::State& state)
{
    std::vector<Bytes> samples = LoadSamples();
    if (samples.empty()) {
        state.SkipWithError("no camera samples");
        return;
    }
    std::vector<uint8_t> block;
    size_t next = 0;
    int dated = 0;
    for (auto _ : state) {
        dated += ReadCaptureTimeInMemory(samples[next], &block);
        next = next + 1 == samples.size() ? 0 : next + 1;
    }
    benchmark::DoNotOptimize(dated);
    state.counters["samples"] = static_cast<double>(samples.size());
}
BENCHMARK(ReaderPerPicture)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
