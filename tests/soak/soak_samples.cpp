#include "tests/soak/soak_samples.h"

#include <algorithm>
#include <sstream>

#include "tests/support/jpeg_fixture.h"
#include "tests/support/scratch_folder.h"

namespace {

// "20080731_103811" as the date text "2008:07:31 10:38:11".
std::string DateTextOfStamp(const std::string& stamp)
{
    if (stamp.size() != 15)
        return {};
    return stamp.substr(0, 4) + ":" + stamp.substr(4, 2) + ":" + stamp.substr(6, 2) + " " +
           stamp.substr(9, 2) + ":" + stamp.substr(11, 2) + ":" + stamp.substr(13, 2);
}

bool Contains(const std::vector<uint8_t>& bytes, const std::string& text)
{
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

SampleSet GeneratedSamples(const std::wstring& why)
{
    SampleSet set;
    set.note = why + L": using generated JPEGs instead of camera samples";
    const std::string placeholder = "2000:01:01 00:00:00";
    const uint16_t tags[] = {TagDateTime, TagDateTimeOriginal, TagDateTimeDigitized};
    for (uint16_t tag : tags)
        set.dated.push_back({L"generated.jpg", JpegWithDate(tag, placeholder), placeholder});
    set.undated.push_back({L"generated.jpg", JpegWithoutExif(), {}});
    return set;
}

}  // namespace

SampleSet LoadSamples(const std::wstring& folder)
{
    if (folder.empty())
        return GeneratedSamples(L"no camera sample folder given");
    std::string list = ReadFileText(folder + L"\\expected.tsv");
    if (list.empty())
        return GeneratedSamples(L"camera samples not found (" + folder + L"\\expected.tsv)");

    SampleSet set;
    std::istringstream lines(list);
    std::string line;
    std::getline(lines, line);  // the heading
    int skipped = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream fields(line);
        std::string file, outcome, stamp;
        std::getline(fields, file, '\t');
        std::getline(fields, outcome, '\t');
        std::getline(fields, stamp, '\t');
        std::wstring path = folder + L"\\" + Wide(file);
        std::replace(path.begin(), path.end(), L'/', L'\\');
        CameraSample sample{Wide(file.substr(file.find_last_of('/') + 1)), ReadFileBytes(path), {}};
        if (sample.bytes.empty()) {
            ++skipped;
        } else if (outcome == "stamp") {
            // Only a sample whose date text can be found can be given dates.
            sample.dateText = DateTextOfStamp(stamp);
            if (Contains(sample.bytes, sample.dateText))
                set.dated.push_back(sample);
            else
                ++skipped;
        } else if (outcome == "nodate") {
            set.undated.push_back(sample);
        }
    }
    if (set.dated.empty() || set.undated.empty())
        return GeneratedSamples(L"camera samples unusable in " + folder);
    set.fromCameras = true;
    set.note = std::to_wstring(set.dated.size()) + L" dated and " +
               std::to_wstring(set.undated.size()) + L" undated camera samples from " + folder;
    if (skipped)
        set.note += L" (" + std::to_wstring(skipped) + L" left out)";
    // Generated JPEGs without any EXIF block join the undated ones.
    set.undated.push_back({L"generated.jpg", JpegWithoutExif(), {}});
    return set;
}

std::vector<uint8_t> WithDateText(const CameraSample& sample, const std::string& dateText)
{
    std::vector<uint8_t> bytes = sample.bytes;
    const std::string& old = sample.dateText;
    if (old.empty() || old.size() != dateText.size())
        return bytes;
    for (auto at = std::search(bytes.begin(), bytes.end(), old.begin(), old.end());
         at != bytes.end(); at = std::search(at + old.size(), bytes.end(), old.begin(), old.end()))
        std::copy(dateText.begin(), dateText.end(), at);
    return bytes;
}

std::vector<uint8_t> FilledTo(std::vector<uint8_t> bytes, size_t size, uint32_t seed)
{
    // xorshift32: fast enough for tens of megabytes, and never stuck at 0.
    uint32_t state = seed * 2654435761u + 1;
    if (state == 0)
        state = 1;
    bytes.reserve(size);
    while (bytes.size() < size) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes.push_back(static_cast<uint8_t>(state >> 24));
    }
    return bytes;
}
