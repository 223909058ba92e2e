// Phones' and cameras' videos copied by a file manager into a folder the real
// Lumistamp.exe watches, Windows set to Central European time: with the
// VideoFiles value on, each video is renamed to its capture time as a clock
// there showed it (a time stored with its offset as written, a UTC time in
// the zone's time of that date), with the files that travel with it, and a
// Live Photo's video follows its picture; without the value they are left
// alone and only the JPEG is renamed.
//
// Three of the videos are real phones' (tests/app/videos, README.md there):
// an iPhone 5's MOV whose creation date is stored with its offset
// (2012-11-26 15:33:10-08:00), an Android phone's MP4 and a Samsung phone's
// MP4 whose movie headers hold UTC (2019-12-20 20:08:34 and 2014-11-05
// 13:51:33, winter time here: one hour east).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
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
#include "tests/support/video_fixture.h"
#include "tests/ui/window_driver.h"

namespace {

const uint32_t CopyRate = 8 * MiB;
const DWORD CopyLimitMs = 120000;

enum class Kind {
    Real,       // a real phone's video from tests/app/videos
    Sony,       // a camera clip with its creation date in Sony's XML, offset +09:00
    Action,     // an action camera's clip: the movie header in UTC, summer time here
    LivePhoto,  // a Live Photo's video, its own header hours off its picture's time
    Heif,       // the Live Photo's picture (tests/capture/heif)
    Jpeg,
    Other,  // a file that travels with a clip
};

struct CardFile {
    const wchar_t* name;
    Kind kind;
    const wchar_t* source;  // the real video or HEIF fixture
    const wchar_t* whenOn;  // where it ends with the value on
    bool picture;           // logged with its new name alone (a companion: its path)
};

const CardFile Card[] = {
    {L"IMG_0010.MOV", Kind::Real, L"iphone5_motion.mov", L"20121126_153310.MOV", true},
    {L"VID_20191220_170832.mp4", Kind::Real, L"VID_20191220_170832.mp4", L"20191220_210834.mp4",
     true},
    {L"VID_0003.mp4", Kind::Real, L"samsung_realshort.mp4", L"20141105_145133.mp4", true},
    {L"C0004.MP4", Kind::Sony, nullptr, L"20230401_072926.MP4", true},
    {L"C0004M01.XML", Kind::Other, nullptr, L"20230401_072926M01.XML", false},
    {L"GX010005.MP4", Kind::Action, nullptr, L"20230701_120000.MP4", true},
    {L"GX010005.THM", Kind::Other, nullptr, L"20230701_120000.THM", false},
    {L"IMG_0006.HEIC", Kind::Heif, L"original-only.heic", L"20190630_235958.HEIC", true},
    {L"IMG_0006.MOV", Kind::LivePhoto, nullptr, L"20190630_235958.MOV", false},
    {L"DSC_0007.JPG", Kind::Jpeg, nullptr, L"20210501_100000.JPG", true},
};

// A camera's clip of some megabytes, most of it media data.
std::vector<uint8_t> CameraClip(Kind kind)
{
    VideoFixture video;
    video.majorBrand = "mp42";
    video.mediaBytes = 3 * MiB;
    switch (kind) {
    case Kind::Sony:
        video.movieSeconds = MovieSeconds(2023, 3, 31, 22, 29, 26);
        video.sonyXml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                        "<NonRealTimeMeta xmlns=\"urn:schemas-professionalDisc:nonRealTimeMeta:"
                        "ver.2.00\">\n<CreationDate value=\"2023-04-01T07:29:26+09:00\"/>\n"
                        "</NonRealTimeMeta>\n";
        break;
    case Kind::Action:
        video.movieSeconds = MovieSeconds(2023, 7, 1, 10, 0, 0);
        break;
    default:
        video.majorBrand = "qt  ";
        video.movieSeconds = MovieSeconds(2020, 1, 1, 0, 0, 0);
        break;
    }
    return BuildVideo(video);
}

// Writes the card; each file's content hash by its card name.
std::map<std::wstring, uint64_t> MakeCard(const std::wstring& card)
{
    std::wstring videos = Unslashed(LUMISTAMP_REAL_VIDEOS);
    std::wstring heif = Unslashed(LUMISTAMP_HEIF_FIXTURES);
    std::map<std::wstring, uint64_t> hashes;
    uint32_t seed = 0;
    for (const CardFile& file : Card) {
        ++seed;
        std::vector<uint8_t> bytes;
        switch (file.kind) {
        case Kind::Real:
            bytes = ReadFileBytes(videos + L"\\" + file.source);
            break;
        case Kind::Heif:
            bytes = FilledTo(ReadFileBytes(heif + L"\\" + file.source), 0, seed);
            break;
        case Kind::Sony:
        case Kind::Action:
        case Kind::LivePhoto:
            bytes = CameraClip(file.kind);
            break;
        case Kind::Jpeg:
            bytes = FilledTo(JpegWithDate(TagDateTimeOriginal, "2021:05:01 10:00:00"), MiB, seed);
            break;
        case Kind::Other:
            bytes = FilledTo({}, 4096, seed);
            break;
        }
        if (bytes.empty())
            return {};
        if (!WriteFileBytes(card + L"\\" + file.name, bytes))
            return {};
        hashes[file.name] = ContentHash(bytes);
    }
    return hashes;
}

struct VideoCase {
    const char* name;
    bool on;
};

void PrintTo(const VideoCase& video, std::ostream* out) { *out << video.name; }

class VideoFiles : public CardCopyRun<VideoCase> {
protected:
    void SetUp() override
    {
        CardCopyRun::SetUp();
        if (IsSkipped())
            return;
        if (GetParam().on) {
            WriteOption(L"VideoFiles", 1);
            WriteOption(L"HeifPictures", 1);
            WriteTextOption(L"Companions", L"NEF MOV THM LRV");
        }
    }
};

TEST_P(VideoFiles, AreRenamedToTheirLocalCaptureTimeOnlyWithTheValue)
{
    bool on = GetParam().on;
    std::map<std::wstring, uint64_t> hashes = MakeCard(card.Path());
    ASSERT_EQ(hashes.size(), std::size(Card)) << "cannot write the card";

    HWND window = StartWatching();
    ASSERT_NE(window, nullptr) << "the program did not start";
    std::wstring command = CopierCommand(card.Path(), watched.Path(), CopyRate, L"");
    ASSERT_EQ(RunToEnd(command, CopyLimitMs), 0u) << "the copier failed";

    auto finalName = [&](const CardFile& file) {
        if (on)
            return std::wstring(file.whenOn);
        return std::wstring(file.kind == Kind::Jpeg ? file.whenOn : file.name);
    };
    std::vector<std::wstring> expectedNames;
    for (const CardFile& file : Card)
        expectedNames.push_back(finalName(file));
    WaitForNames(expectedNames);

    std::map<uint64_t, std::wstring> nameOf;
    for (const auto& [name, hash] : FolderContents(watched.Path()))
        nameOf[hash] = name;
    for (const CardFile& file : Card) {
        auto found = nameOf.find(hashes.at(file.name));
        EXPECT_EQ(found == nameOf.end() ? std::wstring(L"(missing)") : found->second,
                  finalName(file))
            << Narrow(file.name);
    }

    ExitThroughTrayMenu(window);

    // The log: the start's two lines, then one line for each file that moved.
    std::string path = Narrow(watched.Path()) + "\\";
    std::vector<std::string> expectedLines;
    for (const CardFile& file : Card) {
        std::wstring now = finalName(file);
        if (now != file.name)
            expectedLines.push_back("Renamed " + path + Narrow(file.name) + " to " +
                                    (file.picture ? "" : path) + Narrow(now));
    }
    ExpectLogAfterStart(expectedLines);
}

INSTANTIATE_TEST_SUITE_P(Copies, VideoFiles,
                         testing::Values(VideoCase{"On", true}, VideoCase{"Off", false}),
                         [](const testing::TestParamInfo<VideoCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
