// Folders missing when their monitors start: the monitor says so once, waits
// without counting, looks for the folder at its interval (or at once when a
// volume arrives), and watches it as a fresh monitor would when it is there;
// a stop ends it at once while it waits. A folder replaced by another under
// its path is found out by the look at the interval.
#include "tests/monitor/monitor_fixture.h"

#include "tests/monitor/notice_window.h"

namespace {

using Texts = std::vector<std::wstring>;

// One look every 15 seconds: the folder is watched within one interval of its
// making, and some slack for the scan on a busy machine.
constexpr DWORD WithinOneLookMs = 20000;

TEST_F(MonitorTest, MissingFolderIsReportedOnceAndWatchedWhenMade)
{
    std::wstring later = root / L"later";
    Start({later});
    std::vector<HANDLE> threads = CopyMonitorHandles();
    ASSERT_TRUE(WaitUntil([] { return !EventTexts().empty(); }, 10000));
    EXPECT_EQ(Statistics.FoldersMonitored, 0);

    ULONGLONG made = GetTickCount64();
    MakeFolder(L"later");
    ASSERT_TRUE(WaitForMonitors(1, 2 * WithinOneLookMs));
    EXPECT_LE(GetTickCount64() - made, ULONGLONG{WithinOneLookMs});
    EXPECT_EQ(EventTexts(),
              (Texts{MissingEvent(later), BackEvent(later), MarkerEvent(later + L"\\")}))
        << "one line while it was away, one when it came";
    EXPECT_EQ(MonitorScanCounts::Of(later + L"\\"), 1) << "no scan while it was away";

    // Watched as any folder: a change brings a rescan.
    ASSERT_TRUE(WriteFileText(later + L"\\new.txt", "x"));
    ASSERT_TRUE(WaitUntil([&] { return MonitorScanCounts::Of(later + L"\\") == 2; }, 10000));
    StopAllMonitors(10000);
    EXPECT_EQ(ExitCodes(threads, 0), std::vector<DWORD>{0});
    EXPECT_EQ(Statistics.FoldersMonitored, 0);
}

TEST_F(MonitorTest, StopEndsAMonitorWaitingForItsFolderAtOnce)
{
    std::wstring absent = root / L"absent";
    Start({absent});
    std::vector<HANDLE> threads = CopyMonitorHandles();
    ASSERT_TRUE(WaitUntil([] { return !EventTexts().empty(); }, 10000));
    EXPECT_EQ(ExitCodes(CopyMonitorHandles(), 0), std::vector<DWORD>{STILL_ACTIVE}) << "it waits";

    ULONGLONG before = GetTickCount64();
    StopAllMonitors(60000);
    EXPECT_LT(GetTickCount64() - before, ULONGLONG{RescanDelayMs});
    EXPECT_EQ(ExitCodes(threads, 0), std::vector<DWORD>{0});
    EXPECT_EQ(EventTexts(), Texts{MissingEvent(absent)});
    EXPECT_EQ(Statistics.FoldersMonitored, 0);
}

// A volume that arrives (a card put in) has every waiting monitor look at once,
// not at its next interval; monitors that watch are left alone.
TEST_F(MonitorTest, ArrivingVolumeHasWaitingMonitorsLookAtOnce)
{
    NoticeWindow notices;
    std::wstring watched = MakeFolder(L"watched");
    std::wstring card = root / L"card";
    Start({watched, card});
    ASSERT_TRUE(WaitForMonitors(1));
    ASSERT_TRUE(WaitUntil([&] { return EventTexts().size() == 2; }, 10000));

    MakeFolder(L"card");
    EXPECT_EQ(notices.SendVolumeArrival(), TRUE);
    ASSERT_TRUE(WaitForMonitors(2, 5000)) << "well before the 15-second look";
    Texts events = EventTexts();
    ASSERT_EQ(events.size(), 4u) << testing::PrintToString(events);
    EXPECT_EQ(events[2], BackEvent(card));
    EXPECT_EQ(events[3], MarkerEvent(card + L"\\"));
    EXPECT_EQ(MonitorScanCounts::Of(watched + L"\\"), 1);
}

// The watched folder moved aside and a new one made under its name: the
// monitor's notification follows the old one, so nothing tells it of the new
// one's pictures until its look finds the path naming another directory.
TEST_F(MonitorTest, FolderReplacedUnderItsPathIsWatchedAnew)
{
    std::wstring watched = MakeFolder(L"watched");
    Start({watched});
    ASSERT_TRUE(WaitForMonitors(1));
    std::wstring aside = root / L"aside";
    ASSERT_TRUE(MoveFileW(watched.c_str(), aside.c_str()));
    ASSERT_TRUE(CreateDirectoryW(watched.c_str(), nullptr));
    ASSERT_TRUE(
        WriteFileBytes(watched + L"\\DSC.jpg", JpegWithDate(TagDateTime, "2023:04:01 07:29:26")));

    ASSERT_TRUE(WaitUntil([] { return EventTexts().size() == 3; }, 2 * WithinOneLookMs))
        << testing::PrintToString(EventTexts());
    EXPECT_EQ(EventTexts(), (Texts{MarkerEvent(watched + L"\\"), BackEvent(watched),
                                   L"Renamed " + watched + L"\\DSC.jpg to 20230401_072926.jpg"}))
        << "never missing, so no line says so";
    EXPECT_TRUE(WaitForMonitors(1));
    EXPECT_EQ(ListFolder(aside), Texts{L"marker.jpg"});
}

}  // namespace
