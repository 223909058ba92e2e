// Real camera pictures: every one with a date ends up named after it, those
// sharing a second numbered, and every other keeps its name with its event.
#include "tests/rename/scan_fixture.h"

#include <fstream>
#include <map>
#include <sstream>

namespace {

using Texts = std::vector<std::wstring>;

// The samples folder as this platform sees it.
std::wstring SamplesFolder()
{
    std::string path = LUMISTAMP_EXIF_SAMPLES;
    std::wstring folder(path.begin(), path.end());
    for (wchar_t& c : folder)
        if (c == L'/')
            c = L'\\';
    return folder;
}

uint64_t ContentHash(const std::vector<uint8_t>& bytes)
{
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (uint8_t byte : bytes)
        hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

struct Sample {
    std::wstring file;  // relative, with backslashes
    std::string outcome;
    std::wstring stamp;
};

std::vector<Sample> ReadExpectations(const std::wstring& folder)
{
    std::vector<Sample> samples;
    std::istringstream lines(ReadFileText(folder + L"\\expected.tsv"));
    std::string line;
    std::getline(lines, line);  // column names
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string file, outcome, stamp;
        std::getline(fields, file, '\t');
        std::getline(fields, outcome, '\t');
        std::getline(fields, stamp, '\t');
        if (file.empty())
            continue;
        Sample sample{std::wstring(file.begin(), file.end()), outcome,
                      std::wstring(stamp.begin(), stamp.end())};
        for (wchar_t& c : sample.file)
            if (c == L'/')
                c = L'\\';
        samples.push_back(sample);
    }
    return samples;
}

bool IsStampName(const std::wstring& name, const std::wstring& stamp)
{
    if (name == stamp + L".jpg")
        return true;
    return name.size() == stamp.size() + 10 && name.starts_with(stamp + L" (") &&
           name.ends_with(L").jpg") && iswdigit(name[stamp.size() + 2]) &&
           iswdigit(name[stamp.size() + 3]) && iswdigit(name[stamp.size() + 4]);
}

TEST_F(ScanTest, CameraSamplesAreNamedAfterTheirCaptureTime)
{
    std::wstring samples = SamplesFolder();
    if (!PathExists(samples + L"\\expected.tsv"))
        GTEST_SKIP() << "camera samples not found beside the project (../shared/exif-samples)";
    std::vector<Sample> expected = ReadExpectations(samples);
    ASSERT_GT(expected.size(), 20u);

    // All in one folder: the gps pictures share seconds and need numbers.
    std::map<uint64_t, const Sample*> byContent;
    for (const Sample& sample : expected) {
        std::vector<uint8_t> bytes = ReadFileBytes(samples + L"\\" + sample.file);
        ASSERT_FALSE(bytes.empty()) << "cannot read sample";
        std::wstring name = sample.file.substr(sample.file.rfind(L'\\') + 1);
        Put(name, bytes);
        ASSERT_EQ(byContent.count(ContentHash(bytes)), 0u) << "two samples alike";
        byContent[ContentHash(bytes)] = &sample;
    }

    Texts events = Scan();
    EXPECT_EQ(processed, static_cast<int32_t>(expected.size()));

    for (const std::wstring& name : Names()) {
        auto found = byContent.find(ContentHash(ReadFileBytes(folder / name)));
        ASSERT_NE(found, byContent.end()) << "unknown file in folder";
        const Sample& sample = *found->second;
        std::wstring original = sample.file.substr(sample.file.rfind(L'\\') + 1);
        if (sample.outcome == "stamp") {
            EXPECT_TRUE(IsStampName(name, sample.stamp))
                << testing::PrintToString(original) << " became " << testing::PrintToString(name);
        } else {
            EXPECT_EQ(name, original);
            const std::wstring event = sample.outcome == "badvalue"
                                           ? L"Cannot retrieve date/time from " + (folder / name)
                                           : L"No Exif information available for " +
                                                 (folder / name) + L" failed, File not renamed";
            EXPECT_NE(std::find(events.begin(), events.end(), event), events.end())
                << testing::PrintToString(event);
        }
        byContent.erase(found);
    }
    EXPECT_TRUE(byContent.empty()) << "a sample went missing";
}

}  // namespace
