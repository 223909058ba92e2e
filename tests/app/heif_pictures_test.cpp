// A phone's HEIC pictures, a camera's HIF one and a JPEG copied by a file
// manager into a folder the real Lumistamp.exe watches: with the HeifPictures
// value on, the HEIF pictures are renamed by their Exif capture time (a Live
// Photo's video along with its picture when MOV travels), one without Exif
// follows the file-time rules; without the value they are left alone and the
// JPEG is renamed as ever.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "tests/app/card_copy_run.h"
#include "tests/app/program_driver.h"
#include "tests/reliability/folder_contents.h"
#include "tests/soak/soak_samples.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/message_box_catcher.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/window_driver.h"

namespace {

const uint32_t CopyRate = 8 * MiB;
const DWORD CopyLimitMs = 120000;

enum class Kind {
    Heif,   // a fixture made with the image tools, grown to a phone's size
    Video,  // a Live Photo's video: filler
    Jpeg,   // a JPEG with its DateTimeOriginal
};

struct CardFile {
    const wchar_t* name;
    Kind kind;
    const wchar_t* source;  // the HEIF fixture
    // Where it ends: with the value on and MOV travelling, with the value on
    // and the file-time fallback on, and without the value.
    const wchar_t* whenOn;
    const wchar_t* whenOnWithFileTime;
    const wchar_t* whenOff;
};

// IMG_0004.HEIC holds no Exif; its last-write time is 2020-01-02 03:04:05
// local time, kept by the copy.
const CardFile Card[] = {
    {L"IMG_0001.HEIC", Kind::Heif, L"original-only.heic", L"20190630_235958.HEIC",
     L"20190630_235958.HEIC", L"IMG_0001.HEIC"},
    {L"IMG_0001.MOV", Kind::Video, nullptr, L"20190630_235958.MOV", L"IMG_0001.MOV",
     L"IMG_0001.MOV"},
    {L"IMG_0002.heic", Kind::Heif, L"modify-and-original.heic", L"20230401_072926.heic",
     L"20230401_072926.heic", L"IMG_0002.heic"},
    {L"DSCF0003.HIF", Kind::Heif, L"camera.hif", L"20201011_121314.HIF", L"20201011_121314.HIF",
     L"DSCF0003.HIF"},
    {L"IMG_0004.HEIC", Kind::Heif, L"plain.heic", L"IMG_0004.HEIC", L"20200102_030405.HEIC",
     L"IMG_0004.HEIC"},
    {L"DSC_0005.JPG", Kind::Jpeg, nullptr, L"20210501_100000.JPG", L"20210501_100000.JPG",
     L"20210501_100000.JPG"},
};

// A HEIF file grown by a "free" box at its end, which every reader passes
// over: a phone's picture is some megabytes, most of it image data.
std::vector<uint8_t> PhoneSized(std::vector<uint8_t> bytes, uint32_t size)
{
    uint32_t box = size - static_cast<uint32_t>(bytes.size());
    uint8_t header[8] = {static_cast<uint8_t>(box >> 24),
                         static_cast<uint8_t>(box >> 16),
                         static_cast<uint8_t>(box >> 8),
                         static_cast<uint8_t>(box),
                         'f',
                         'r',
                         'e',
                         'e'};
    bytes.insert(bytes.end(), header, header + 8);
    bytes.resize(size, 0x33);
    return bytes;
}

bool SetLocalWriteTime(const std::wstring& path, WORD year, WORD month, WORD day, WORD hour,
                       WORD minute, WORD second)
{
    SYSTEMTIME local = {year, month, 0, day, hour, minute, second, 0};
    SYSTEMTIME utc;
    FILETIME time;
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
        !SystemTimeToFileTime(&utc, &time))
        return false;
    HANDLE file =
        CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool set = SetFileTime(file, nullptr, nullptr, &time) != 0;
    CloseHandle(file);
    return set;
}

// Writes the card; each file's content hash by its card name.
std::map<std::wstring, uint64_t> MakeCard(const std::wstring& card)
{
    std::wstring fixtures = Unslashed(LUMISTAMP_HEIF_FIXTURES);
    std::map<std::wstring, uint64_t> hashes;
    uint32_t seed = 0;
    for (const CardFile& file : Card) {
        ++seed;
        std::vector<uint8_t> bytes;
        switch (file.kind) {
        case Kind::Heif:
            bytes = ReadFileBytes(fixtures + L"\\" + file.source);
            if (bytes.empty())
                return {};
            bytes = PhoneSized(bytes, 2 * MiB + seed);
            break;
        case Kind::Video:
            bytes = FilledTo({}, 3 * MiB, seed);
            break;
        case Kind::Jpeg:
            bytes = FilledTo(JpegWithDate(TagDateTimeOriginal, "2021:05:01 10:00:00"), MiB, seed);
            break;
        }
        std::wstring path = card + L"\\" + file.name;
        if (!WriteFileBytes(path, bytes))
            return {};
        hashes[file.name] = ContentHash(bytes);
    }
    if (!SetLocalWriteTime(card + L"\\IMG_0004.HEIC", 2020, 1, 2, 3, 4, 5))
        return {};
    return hashes;
}

DWORD CopyCard(const std::wstring& card, const std::wstring& folder)
{
    std::wstring commandLine = CopierCommand(card, folder, CopyRate, L"");
    return RunToEnd(commandLine, CopyLimitMs);
}

enum class Setting { On, OnWithFileTime, Off };

struct HeifCase {
    const char* name;
    Setting setting;
};

void PrintTo(const HeifCase& heif, std::ostream* out) { *out << heif.name; }

const wchar_t* FinalName(const CardFile& file, Setting setting)
{
    switch (setting) {
    case Setting::On:
        return file.whenOn;
    case Setting::OnWithFileTime:
        return file.whenOnWithFileTime;
    case Setting::Off:
        break;
    }
    return file.whenOff;
}

class HeifPictures : public CardCopyRun<HeifCase> {
protected:
    void SetUp() override
    {
        CardCopyRun::SetUp();
        if (IsSkipped())
            return;
        switch (GetParam().setting) {
        case Setting::On:
            WriteOption(L"HeifPictures", 1);
            WriteTextOption(L"Companions", L"NEF MOV");
            break;
        case Setting::OnWithFileTime:
            WriteOption(L"HeifPictures", 1);
            WriteOption(L"FileModifiedDate", 1);
            break;
        case Setting::Off:
            break;
        }
    }
};

TEST_P(HeifPictures, AreRenamedByTheirCaptureTimeOnlyWithTheValue)
{
    Setting setting = GetParam().setting;
    std::map<std::wstring, uint64_t> hashes = MakeCard(card.Path());
    ASSERT_EQ(hashes.size(), std::size(Card)) << "cannot write the card";

    HWND window = StartWatching();
    ASSERT_NE(window, nullptr) << "the program did not start";

    ASSERT_EQ(CopyCard(card.Path(), watched.Path()), 0u) << "the copier failed";
    std::vector<std::wstring> expectedNames;
    for (const CardFile& file : Card)
        expectedNames.push_back(FinalName(file, setting));
    WaitForNames(expectedNames);

    std::map<uint64_t, std::wstring> nameOf;
    for (const auto& [name, hash] : FolderContents(watched.Path()))
        nameOf[hash] = name;
    for (const CardFile& file : Card) {
        auto found = nameOf.find(hashes.at(file.name));
        EXPECT_EQ(found == nameOf.end() ? std::wstring(L"(missing)") : found->second,
                  FinalName(file, setting))
            << Narrow(file.name);
    }

    ExitThroughTrayMenu(window);

    // The log: the start's two lines, then one line for each file that
    // moved and for the picture without Exif left where it is, in any order.
    std::string path = Narrow(watched.Path()) + "\\";
    std::vector<std::string> expectedLines;
    for (const CardFile& file : Card) {
        std::wstring now = FinalName(file, setting);
        if (now == file.name)
            continue;
        expectedLines.push_back("Renamed " + path + Narrow(file.name) + " to " +
                                (file.kind == Kind::Video ? path : "") + Narrow(now));
    }
    if (setting == Setting::On)
        expectedLines.push_back("No Exif information available for " + path +
                                "IMG_0004.HEIC failed, File not renamed");
    ExpectLogAfterStart(expectedLines);
}

INSTANTIATE_TEST_SUITE_P(Copies, HeifPictures,
                         testing::Values(HeifCase{"On", Setting::On},
                                         HeifCase{"OnWithFileTime", Setting::OnWithFileTime},
                                         HeifCase{"Off", Setting::Off}),
                         [](const testing::TestParamInfo<HeifCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
