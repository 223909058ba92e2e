// A monitor still busy when a restart's time limit runs out. It is held inside
// the first picture of its first scan by the one message box a process shows
// for a log file that cannot be opened; this runs in a process of its own for
// that reason.
#include "tests/monitor/monitor_fixture.h"

#include "tests/support/local_app_data.h"
#include "tests/support/message_box_catcher.h"

namespace {

TEST_F(MonitorTest, MonitorOutlivingTheStopLimitEndsLaterAndLeavesTheNewSetAlone)
{
    // Two pictures, listed in the file system's order: whichever comes first
    // holds the scan.
    std::wstring held = root / L"held";
    ASSERT_TRUE(CreateDirectoryW(held.c_str(), nullptr));
    ASSERT_TRUE(
        WriteFileBytes(held + L"\\DSC_1.jpg", JpegWithDate(TagDateTime, "2023:04:01 07:29:26")));
    ASSERT_TRUE(
        WriteFileBytes(held + L"\\DSC_2.jpg", JpegWithDate(TagDateTime, "2023:04:01 07:29:27")));
    std::wstring next = MakeFolder(L"next");
    LocalAppDataScope localAppData;
    ASSERT_TRUE(CreateDirectoryW(localAppData.LogFolder().c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(localAppData.LogPath().c_str(), nullptr));

    HoldMessageBoxes();
    Settings.LogFile = 1;
    Start({held});
    ASSERT_TRUE(WaitForCapturedBoxes(1, 10000)) << "the first scan's event shows the box";
    EXPECT_EQ(Statistics.FoldersMonitored, 0) << "not counted before its first scan ends";

    // A change arrives while the monitor is busy, and the stop comes too.
    ASSERT_TRUE(WriteFileText(held + L"\\late.txt", "x"));
    HANDLE oldMonitor = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), MonitorThreads[0], GetCurrentProcess(),
                                &oldMonitor, 0, FALSE, DUPLICATE_SAME_ACCESS));
    StopAllMonitors(300);
    EXPECT_EQ(WaitForSingleObject(oldMonitor, 0), WAIT_TIMEOUT) << "still held in its scan";

    PrepareMonitorSet();
    Start({next});
    ASSERT_TRUE(WaitForMonitors(1));

    // Released, it finishes its picture and ends the scan there: its own stop
    // wins over the next picture and over the change.
    ReleaseMessageBoxes();
    ASSERT_EQ(WaitForSingleObject(oldMonitor, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeThread(oldMonitor, &exitCode);
    CloseHandle(oldMonitor);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ListFolder(held).size(), 3u) << "the two pictures and late.txt";
    EXPECT_NE(PathExists(held + L"\\20230401_072926.jpg"),
              PathExists(held + L"\\20230401_072927.jpg"))
        << "the held picture was renamed, the next one not read: "
        << testing::PrintToString(ListFolder(held));
    EXPECT_EQ(MonitorScanCounts::Of(held + L"\\"), 1) << "no scan after the stop";
    EXPECT_EQ(Statistics.FoldersMonitored, 1) << "the new set's count is its own";

    std::vector<CapturedBox> boxes = TakeCapturedBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Cannot open File to save Event History, Error 5. "
                             L"The last Event is not saved to file.");
    Settings.LogFile = 0;
}

}  // namespace
