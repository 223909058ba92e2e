// Videos in a watched folder: left alone without the VideoFiles option; with
// it, named after their capture time in local time (this program runs in
// Central European time, with summer time), with the files that travel with
// them, a Live Photo's video following its picture, and a video still being
// written waited for and given up once it stays cut.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "rename/folder_memory.h"
#include "settings/companions.h"
#include "tests/rename/scan_fixture.h"
#include "tests/support/heif_fixture.h"
#include "tests/support/video_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::wstring>;

// 2023-04-01 05:29:31 UTC: 07:29:31 in Central European summer time.
const uint64_t SpringUtc = MovieSeconds(2023, 4, 1, 5, 29, 31);
// 2023-01-15 10:00:00 UTC: 11:00:00 in Central European winter time.
const uint64_t WinterUtc = MovieSeconds(2023, 1, 15, 10, 0, 0);

// A phone's video as a copier leaves it: the file type, the media data, then
// the movie box with its header's creation time (UTC). Cut, its movie box
// runs past the file's end: a copy not finished yet.
Bytes PhoneVideo(uint64_t creation, bool whole = true)
{
    VideoFixture video;
    video.majorBrand = "isom";
    video.mediaBytes = 4096;
    video.movieSeconds = creation;
    Bytes bytes = BuildVideo(video);
    if (!whole)
        bytes.resize(bytes.size() - 40);
    return bytes;
}

Bytes HeifWithDate(const std::string& date)
{
    ExifFixture exif;
    exif.tags = {AsciiTag(TagDateTimeOriginal, date)};
    HeifFixture heif;
    heif.exifBlock = ExifBlock(exif);
    return BuildHeif(heif);
}

class VideoScan : public ScanTest {
protected:
    void TearDown() override
    {
        Settings.VideoFiles = 0;
        UseCompanions(nullptr);
        ScanTest::TearDown();
    }
    // One scan of a monitor that remembers what its earlier scans learnt.
    Texts MonitorScan()
    {
        ClearEventHistory();
        int32_t renamedBefore = Statistics.PicturesRenamed;
        std::wstring path = folder.PathWithBackslash();
        ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()), memory);
        renamed = Statistics.PicturesRenamed - renamedBefore;
        return EventTexts();
    }
    std::vector<std::wstring> Sorted() const
    {
        std::vector<std::wstring> names = Names();
        std::sort(names.begin(), names.end());
        return names;
    }
    std::wstring Path(const std::wstring& name) const { return folder / name; }
    std::wstring Renamed(const std::wstring& from, const std::wstring& to) const
    {
        return L"Renamed " + Path(from) + L" to " + to;
    }
    std::wstring Followed(const std::wstring& from, const std::wstring& to) const
    {
        return L"Renamed " + Path(from) + L" to " + Path(to);
    }

    FolderMemory memory;
};

TEST_F(VideoScan, VideosAreLeftAloneWithTheOptionOff)
{
    Put(L"VID_0001.mp4", PhoneVideo(SpringUtc));
    Put(L"IMG_0002.MOV", PhoneVideo(SpringUtc));
    Put(L"C0003.MP4", PhoneVideo(SpringUtc, false));
    Put(L"C0003M01.XML", {'<', '?'});
    PutDated(L"DSC_0004.JPG");
    EXPECT_EQ(Scan(), (Texts{Renamed(L"DSC_0004.JPG", L"20230401_072926.JPG")}));
    EXPECT_EQ(processed, 1);
    EXPECT_EQ(renamed, 1);
    EXPECT_EQ(Sorted(),
              (std::vector<std::wstring>{L"20230401_072926.JPG", L"C0003.MP4", L"C0003M01.XML",
                                         L"IMG_0002.MOV", L"VID_0001.mp4"}));
}

// Every video extension in any case, named in the local time of the date it
// was taken (summer and winter time), its extension kept as written; one
// whose header holds no time gets its own line.
TEST_F(VideoScan, VideosAreNamedInTheLocalTimeOfTheirDate)
{
    Settings.VideoFiles = 1;
    Put(L"VID_0001.mp4", PhoneVideo(SpringUtc));
    Put(L"IMG_0002.Mov", PhoneVideo(WinterUtc));
    Put(L"clip.M4V", PhoneVideo(WinterUtc + 1));
    Put(L"old.3gp", PhoneVideo(WinterUtc + 2));
    Put(L"old.3G2", PhoneVideo(WinterUtc + 3));
    Put(L"unset.mp4", PhoneVideo(0));
    Put(L"VID_0001.mp4.part", PhoneVideo(SpringUtc));
    Texts lines = Scan();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines,
              (Texts{L"No capture time available for " + Path(L"unset.mp4") + L", File not renamed",
                     Renamed(L"IMG_0002.Mov", L"20230115_110000.Mov"),
                     Renamed(L"VID_0001.mp4", L"20230401_072931.mp4"),
                     Renamed(L"clip.M4V", L"20230115_110001.M4V"),
                     Renamed(L"old.3G2", L"20230115_110003.3G2"),
                     Renamed(L"old.3gp", L"20230115_110002.3gp")}));
    EXPECT_EQ(processed, 6);
    EXPECT_EQ(renamed, 5);
}

// What travels with a video: the listed extensions under its base name (a
// GoPro's THM and LRV), a Sony clip's metadata file; a video listed as a
// companion follows the picture of its base name (a Live Photo) and is not
// named after its own time.
TEST_F(VideoScan, FilesTravelWithVideosAndLivePhotoVideosWithTheirPictures)
{
    Settings.VideoFiles = 1;
    Settings.HeifPictures = 1;
    std::wstring list = L"THM LRV MOV";
    UseCompanions(&list);
    Put(L"GOPR0001.MP4", PhoneVideo(SpringUtc));
    Put(L"GOPR0001.THM", {1});
    Put(L"GOPR0001.LRV", {2});
    Put(L"C0002.MP4", PhoneVideo(WinterUtc));
    Put(L"C0002M01.XML", {3});
    Put(L"IMG_0003.HEIC", HeifWithDate("2022:12:24 18:00:01"));
    Put(L"IMG_0003.MOV", PhoneVideo(SpringUtc));
    Texts lines = Scan();
    Texts expected = {Renamed(L"C0002.MP4", L"20230115_110000.MP4"),
                      Followed(L"C0002M01.XML", L"20230115_110000M01.XML"),
                      Renamed(L"GOPR0001.MP4", L"20230401_072931.MP4"),
                      Followed(L"GOPR0001.LRV", L"20230401_072931.LRV"),
                      Followed(L"GOPR0001.THM", L"20230401_072931.THM"),
                      Renamed(L"IMG_0003.HEIC", L"20221224_180001.HEIC"),
                      Followed(L"IMG_0003.MOV", L"20221224_180001.MOV")};
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(processed, 3);
    EXPECT_EQ(renamed, 7);
}

// A Live Photo's video and a clip's metadata file landing after their
// picture and clip were renamed follow them; the video is not named after its
// own time.
TEST_F(VideoScan, LateLivePhotoVideosAndClipMetadataFollow)
{
    Settings.VideoFiles = 1;
    Settings.HeifPictures = 1;
    std::wstring list = L"MOV";
    UseCompanions(&list);
    Put(L"IMG_0003.HEIC", HeifWithDate("2022:12:24 18:00:01"));
    Put(L"C0002.MP4", PhoneVideo(WinterUtc));
    EXPECT_EQ(MonitorScan().size(), 2u);
    Put(L"IMG_0003.MOV", PhoneVideo(SpringUtc));
    Put(L"C0002M01.XML", {3});
    Texts lines = MonitorScan();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (Texts{Followed(L"C0002M01.XML", L"20230115_110000M01.XML"),
                            Followed(L"IMG_0003.MOV", L"20221224_180001.MOV")}));
    EXPECT_EQ(Sorted(),
              (std::vector<std::wstring>{L"20221224_180001.HEIC", L"20221224_180001.MOV",
                                         L"20230115_110000.MP4", L"20230115_110000M01.XML"}));
}

// A video whose movie box is not written yet is waited for on the busy
// schedule, never named after its file time (the fallback is on); once it has
// stayed cut and unchanged for two minutes it is reported once and left until
// it changes; finished, it is renamed.
TEST_F(VideoScan, AVideoStillBeingWrittenIsWaitedForAndGivenUpOnceItStaysCut)
{
    Settings.VideoFiles = 1;
    Settings.FileModifiedDate = 1;
    Bytes whole = PhoneVideo(SpringUtc);
    Bytes cut = PhoneVideo(SpringUtc, false);
    Put(L"VID_0001.mp4", cut);
    EXPECT_EQ(MonitorScan(), Texts{});
    EXPECT_NE(NextRetryWaitMs(memory.busy, GetTickCount64()), INFINITE) << "a retry is due";

    // Two minutes later, unchanged.
    ASSERT_EQ(memory.incomplete.byName.size(), 1u);
    memory.incomplete.byName.begin()->second.since -= CutVideoPatienceMs;
    const Texts givenUp = {Path(L"VID_0001.mp4") + L" is incomplete, File not renamed"};
    EXPECT_EQ(MonitorScan(), givenUp);
    EXPECT_EQ(MonitorScan(), Texts{}) << "told once";
    EXPECT_EQ(NextRetryWaitMs(memory.busy, GetTickCount64()), INFINITE) << "no more retries";

    // It grows: waited for again, the two minutes counted afresh.
    Bytes longer = cut;
    longer.resize(cut.size() + 16, 0);
    Put(L"VID_0001.mp4", longer);
    EXPECT_EQ(MonitorScan(), Texts{});
    memory.incomplete.byName.begin()->second.since -= CutVideoPatienceMs - 1000;
    EXPECT_EQ(MonitorScan(), Texts{}) << "a second short of two minutes";

    Put(L"VID_0001.mp4", whole);
    EXPECT_EQ(MonitorScan(), (Texts{Renamed(L"VID_0001.mp4", L"20230401_072931.mp4")}));
}

}  // namespace
