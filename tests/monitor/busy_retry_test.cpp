// Files another program holds open: closing a file is no file-name change, so
// the monitor tries busy files again on its own, on a schedule that grows, and
// a stop still ends it at once.
#include "tests/monitor/monitor_fixture.h"

namespace {

using Texts = std::vector<std::wstring>;

// A picture held the way a file manager holds what it writes.
HANDLE HoldForWriting(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

class BusyRetryTest : public MonitorTest {
protected:
    // A watched folder whose one dated picture a writer holds; its monitor
    // has made its first scan.
    void StartWithHeldPicture()
    {
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(folder + L"\\DSC.jpg",
                                   JpegWithDate(TagDateTime, "2023:04:01 07:29:26")));
        writer = HoldForWriting(folder + L"\\DSC.jpg");
        ASSERT_NE(writer, INVALID_HANDLE_VALUE);
        Start({folder});
        ASSERT_TRUE(WaitForMonitors(1));
    }
    void TearDown() override
    {
        if (writer != INVALID_HANDLE_VALUE)
            CloseHandle(writer);
        MonitorTest::TearDown();
    }

    std::wstring folder = root / L"watched";
    HANDLE writer = INVALID_HANDLE_VALUE;
};

// Held across two scans with no other change in the folder, the picture is
// renamed by a retry soon after it is let go, and nothing was reported for it
// meanwhile.
TEST_F(BusyRetryTest, PictureHeldAcrossScansIsRenamedAfterItsRelease)
{
    StartWithHeldPicture();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitUntil([&] { return MonitorScanCounts::Of(folder + L"\\") == 2; }, 10000))
        << "the first retry comes without a change";
    EXPECT_EQ(EventTexts(), Texts{});
    CloseHandle(writer);
    writer = INVALID_HANDLE_VALUE;

    // The next retry is due 4 seconds after the second scan.
    ASSERT_TRUE(WaitUntil([] { return !EventTexts().empty(); }, RescanDelayMs + 8000));
    EXPECT_EQ(EventTexts(), Texts{L"Renamed " + folder + L"\\DSC.jpg to 20230401_072926.jpg"});
    EXPECT_TRUE(PathExists(folder + L"\\20230401_072926.jpg"));
}

// Held for long, the picture costs a few scans and no line, and a stop while
// a retry is pending ends the monitor at once.
TEST_F(BusyRetryTest, PictureHeldLongCostsFewScansAndTheStopEndsTheWait)
{
    StartWithHeldPicture();
    ASSERT_FALSE(HasFatalFailure());

    // Retries 2, 6 and 14 seconds after the first scan: four scans in 16 s,
    // where a retry at every delay would make eight.
    EXPECT_FALSE(WaitUntil([&] { return MonitorScanCounts::Of(folder + L"\\") > 4; }, 16000));
    EXPECT_GE(MonitorScanCounts::Of(folder + L"\\"), 3);
    EXPECT_EQ(EventTexts(), Texts{});

    ULONGLONG before = GetTickCount64();
    StopAllMonitors(60000);
    EXPECT_LT(GetTickCount64() - before, ULONGLONG{RescanDelayMs}) << "the stop ends the wait";
    EXPECT_EQ(Statistics.FoldersMonitored, 0);
}

}  // namespace
