// A video's capture time as FindCaptureTime gives it, in a zone with summer
// time (the entry sets TZ for Wine): UTC times in the local time of their own
// date, times with an offset as written, the video without a time (its line,
// or its file time with the option on), and the video not yet whole, busy or
// unreadable.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capture/capture_time.h"
#include "capture/modified_time.h"
#include "events/event_history.h"
#include "settings/settings.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/video_fixture.h"

namespace {

std::string Text(const CaptureTime& t)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.Year, t.Month, t.Day,
                  t.Hour, t.Minute, t.Second);
    return text;
}

struct ConversionCase {
    CaptureTime utc;
    const char* local;
};

// Central European Time: +1, +2 from the last Sunday of March 01:00 UTC to
// the last Sunday of October 01:00 UTC.
TEST(VideoLocalTime, UtcInTheZoneOfItsDate)
{
    const ConversionCase cases[] = {
        {{2023, 1, 15, 10, 0, 0}, "2023-01-15 11:00:00"},
        {{2023, 7, 1, 10, 0, 0}, "2023-07-01 12:00:00"},
        {{2023, 3, 26, 0, 59, 59}, "2023-03-26 01:59:59"},
        {{2023, 3, 26, 1, 0, 0}, "2023-03-26 03:00:00"},
        {{2023, 10, 29, 0, 59, 59}, "2023-10-29 02:59:59"},
        {{2023, 10, 29, 1, 0, 0}, "2023-10-29 02:00:00"},
        {{2023, 12, 31, 23, 30, 0}, "2024-01-01 00:30:00"},
        {{2019, 8, 1, 21, 15, 0}, "2019-08-01 23:15:00"},
    };
    for (const ConversionCase& c : cases) {
        CaptureTime local = {};
        ASSERT_TRUE(LocalTimeOfUtc(c.utc, &local)) << Text(c.utc);
        EXPECT_EQ(Text(local), c.local) << Text(c.utc);
    }
}

class VideoCaptureTime : public testing::Test {
protected:
    void SetUp() override { ClearEventHistory(); }
    void TearDown() override { Settings.FileModifiedDate = 0; }

    std::wstring Put(const std::wstring& name, const VideoFixture& video)
    {
        std::wstring path = folder / name;
        EXPECT_TRUE(WriteFileBytes(path, BuildVideo(video)));
        return path;
    }
    // The outcome and, when found, the time, as one text.
    std::string Find(const std::wstring& path, bool* fromFileTime = nullptr)
    {
        FolderVolume volume{folder.Path()};
        CaptureTime time = {};
        unsigned long error = 0;
        bool fileTime = false;
        CaptureTimeRead read =
            FindCaptureTime(path.c_str(), JulyTenUtc, volume, &time, &error, &fileTime);
        if (fromFileTime)
            *fromFileTime = fileTime;
        switch (read) {
        case CaptureTimeRead::Found:
            return Text(time);
        case CaptureTimeRead::NoDate:
            return "no date";
        case CaptureTimeRead::Incomplete:
            return "incomplete";
        case CaptureTimeRead::Busy:
            return "busy";
        case CaptureTimeRead::ReadFailed:
            return "read failed " + std::to_string(error);
        default:
            return "other";
        }
    }
    static std::vector<std::wstring> Lines()
    {
        HistoryLockGuard lock;
        std::vector<std::wstring> texts;
        for (const std::wstring& line : EventHistory)
            texts.push_back(line.substr(20));
        return texts;
    }

    static constexpr uint64_t JulyTenUtc = 133326792000000000;  // 2023-07-01 10:00:00 UTC
    ScratchFolder folder;
};

TEST_F(VideoCaptureTime, TimesOnEitherClock)
{
    VideoFixture phone;  // UTC in the movie header, summer time here
    phone.movieSeconds = MovieSeconds(2023, 7, 1, 10, 0, 0);
    EXPECT_EQ(Find(Put(L"phone.mov", phone)), "2023-07-01 12:00:00");
    VideoFixture winter = phone;
    winter.majorBrand = "isom";
    winter.movieSeconds = MovieSeconds(2023, 1, 15, 10, 0, 0);
    EXPECT_EQ(Find(Put(L"winter.MP4", winter)), "2023-01-15 11:00:00");
    VideoFixture apple = phone;  // its own offset, written as it was there
    apple.appleCreationDate = "2023-07-01T05:00:00-0500";
    EXPECT_EQ(Find(Put(L"apple.mov", apple)), "2023-07-01 05:00:00");
    VideoFixture gopro = phone;  // the camera's clock
    gopro.firmware = "HD9.01.01.60.00";
    EXPECT_EQ(Find(Put(L"gopro.mp4", gopro)), "2023-07-01 10:00:00");
    EXPECT_TRUE(Lines().empty());
}

TEST_F(VideoCaptureTime, NoTimeIsReportedWithTheOptionOff)
{
    VideoFixture zero;
    VideoFixture future;
    future.movieSeconds = MovieSeconds(2035, 1, 1, 0, 0, 0);  // fits the 32-bit header
    std::wstring zeroPath = Put(L"zero.mov", zero);
    std::wstring futurePath = Put(L"future.3gp", future);
    EXPECT_EQ(Find(zeroPath), "no date");
    EXPECT_EQ(Find(futurePath), "no date");
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"No capture time available for " + zeroPath +
                                                      L", File not renamed",
                                                  L"No capture time available for " + futurePath +
                                                      L", File not renamed"}));
}

TEST_F(VideoCaptureTime, NoTimeTakesTheFileTimeWithTheOptionOn)
{
    Settings.FileModifiedDate = 1;
    VideoFixture zero;
    bool fromFileTime = false;
    EXPECT_EQ(Find(Put(L"zero.m4v", zero), &fromFileTime), "2023-07-01 12:00:00");
    EXPECT_TRUE(fromFileTime);
    EXPECT_TRUE(Lines().empty());
}

TEST_F(VideoCaptureTime, IncompleteBusyAndUnreadableAreWaitedFor)
{
    Settings.FileModifiedDate = 1;  // never the fallback for these
    VideoFixture video;
    video.movieSeconds = MovieSeconds(2023, 7, 1, 10, 0, 0);
    std::vector<uint8_t> bytes = BuildVideo(video);
    bytes.resize(bytes.size() - 30);  // the movie box still being written
    std::wstring cut = folder / L"cut.mov";
    ASSERT_TRUE(WriteFileBytes(cut, bytes));
    EXPECT_EQ(Find(cut), "incomplete");

    std::wstring held = Put(L"held.mov", video);
    HANDLE writer = CreateFileW(held.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Find(held), "busy");
    CloseHandle(writer);
    EXPECT_EQ(Find(held), "2023-07-01 12:00:00");

    EXPECT_EQ(Find(folder / L"gone.mov"), "read failed 2");
    EXPECT_TRUE(Lines().empty());
}

}  // namespace
