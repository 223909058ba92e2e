// Folder monitors under real change notifications: when they scan, which
// changes wake them, how a set starts and stops, and the refresh request.
#include "tests/monitor/monitor_fixture.h"

namespace {

using Texts = std::vector<std::wstring>;

TEST_F(MonitorTest, FileNameChangesLeadToOneRescanOthersToNone)
{
    std::wstring created = MakeFolder(L"created");
    std::wstring movedIn = MakeFolder(L"moved-in");
    std::wstring renamed = MakeFolder(L"renamed");
    std::wstring written = MakeFolder(L"written");
    std::wstring subfolder = MakeFolder(L"subfolder");
    std::wstring pictures = MakeFolder(L"pictures");
    std::wstring outside = root / L"outside.txt";
    ASSERT_TRUE(WriteFileText(outside, "elsewhere"));
    ASSERT_TRUE(WriteFileText(renamed + L"\\old.txt", "x"));
    ASSERT_TRUE(WriteFileText(written + L"\\data.txt", "x"));
    ASSERT_TRUE(CreateDirectoryW((subfolder + L"\\sub").c_str(), nullptr));

    Start({created, movedIn, renamed, written, subfolder, pictures});
    ASSERT_TRUE(WaitForMonitors(6));
    for (const std::wstring& folder : Settings.Folders)
        EXPECT_EQ(MonitorScanCounts::Of(folder + L"\\"), 1) << "one first scan of each folder";

    // All changes at once: the 2-second delays run side by side.
    ASSERT_TRUE(WriteFileText(created + L"\\new.txt", "x"));
    ASSERT_TRUE(MoveFileW(outside.c_str(), (movedIn + L"\\in.txt").c_str()));
    ASSERT_TRUE(MoveFileW((renamed + L"\\old.txt").c_str(), (renamed + L"\\new.txt").c_str()));
    HANDLE data = CreateFileW((written + L"\\data.txt").c_str(), FILE_APPEND_DATA, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(data, INVALID_HANDLE_VALUE);
    DWORD count = 0;
    ASSERT_TRUE(WriteFile(data, "more", 4, &count, nullptr));
    CloseHandle(data);
    ASSERT_TRUE(WriteFileText(subfolder + L"\\sub\\deep.txt", "x"));
    ASSERT_TRUE(
        WriteFileBytes(pictures + L"\\DSC.jpg", JpegWithDate(TagDateTime, "2023:04:01 07:29:26")));

    // A picture renamed by a scan is itself a change: one more scan follows,
    // which finds it named and leaves it.
    ASSERT_TRUE(WaitUntil(
        [&] {
            return MonitorScanCounts::Of(created + L"\\") == 2 &&
                   MonitorScanCounts::Of(movedIn + L"\\") == 2 &&
                   MonitorScanCounts::Of(renamed + L"\\") == 2 &&
                   MonitorScanCounts::Of(pictures + L"\\") == 3;
        },
        20000))
        << "scans: created " << MonitorScanCounts::Of(created + L"\\") << ", moved in "
        << MonitorScanCounts::Of(movedIn + L"\\") << ", renamed "
        << MonitorScanCounts::Of(renamed + L"\\") << ", pictures "
        << MonitorScanCounts::Of(pictures + L"\\");
    EXPECT_TRUE(PathExists(pictures + L"\\20230401_072926.jpg"));

    // Nothing more comes, for the folders that changed nor for the others.
    EXPECT_FALSE(WaitUntil(
        [&] {
            return MonitorScanCounts::Of(written + L"\\") > 1 ||
                   MonitorScanCounts::Of(subfolder + L"\\") > 1 ||
                   MonitorScanCounts::Of(created + L"\\") > 2 ||
                   MonitorScanCounts::Of(pictures + L"\\") > 3;
        },
        3 * RescanDelayMs / 2));
}

TEST_F(MonitorTest, StopWhileWaitingEndsEveryMonitorWithoutAScan)
{
    std::wstring folder = MakeFolder(L"a");
    Start({folder, folder});
    ASSERT_TRUE(WaitForMonitors(2));
    ULONGLONG before = GetTickCount64();
    StopAllMonitors(60000);
    // Ended from their wait: no delay, no scan.
    EXPECT_LT(GetTickCount64() - before, ULONGLONG{RescanDelayMs});
    EXPECT_EQ(Statistics.FoldersMonitored, 0);
    EXPECT_EQ(MonitorScanCounts::Of(folder + L"\\"), 2)
        << "the two first scans, none after the stop";
    for (HANDLE thread : MonitorThreads)
        EXPECT_EQ(thread, nullptr);
}

TEST_F(MonitorTest, AtMost256MonitorsAndEachFolderBeyondIsLoggedInOrder)
{
    std::vector<std::wstring> folders;
    for (int i = 0; i < 300; ++i) {
        folders.push_back(root / (L"f" + std::to_wstring(i)));
        ASSERT_TRUE(CreateDirectoryW(folders.back().c_str(), nullptr));
    }
    Start(folders);
    ASSERT_TRUE(WaitForMonitors(256, 60000));

    Texts expected;
    for (int i = 256; i < 300; ++i)
        expected.push_back(L"Monitoring only 256 folders. Ignoring: " + folders[i]);
    EXPECT_EQ(EventTexts(), expected);

    // One time limit covers all of them, beyond 64 handles per wait.
    StopAllMonitors(30000);
    EXPECT_EQ(Statistics.FoldersMonitored, 0);
}

TEST_F(MonitorTest, PathLengthsMissingFoldersAndRepeatedFolders)
{
    // Lengths counted in the watched path itself.
    std::wstring base = root.Path() + L"\\";
    std::wstring fits = base + std::wstring(260 - base.size(), L'a');
    std::wstring tooLong = base + std::wstring(261 - base.size(), L'b');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + fits).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + tooLong).c_str(), nullptr));
    PutMarker(L"\\\\?\\" + fits);
    std::wstring missing = root / L"missing";
    std::wstring twice = MakeFolder(L"twice");

    Start({fits, tooLong, missing, twice, twice});
    ASSERT_TRUE(WaitForMonitors(3));
    EXPECT_EQ(MonitorScanCounts::Of(fits + L"\\"), 1);
    EXPECT_EQ(MonitorScanCounts::Of(twice + L"\\"), 2);

    Texts events = EventTexts();
    auto at = std::find(events.begin(), events.end(),
                        L"The following directory path contains 261 characters, maxium is 260. "
                        L"It will not be monitored");
    ASSERT_NE(at, events.end());
    ASSERT_NE(at + 1, events.end());
    EXPECT_EQ(*(at + 1), tooLong);
    EXPECT_EQ(std::count(events.begin(), events.end(),
                         L"Directory '" + missing +
                             L"', does not exist, Directory is not monitored"),
              1);
    EXPECT_EQ(events.size(), 6u) << "three scans and three lines about refused folders";
    EXPECT_EQ(MonitorThreads[4] != nullptr, true) << "every folder takes a slot";

    std::vector<HANDLE> threads = CopyMonitorHandles();
    ASSERT_EQ(threads.size(), 5u);
    EXPECT_EQ(ExitCodes({threads[1]}, 10000), std::vector<DWORD>{0xFFFFFFFF})
        << "the long path is refused for good";
    EXPECT_EQ(ExitCodes({threads[2]}, 0), std::vector<DWORD>{STILL_ACTIVE})
        << "the missing folder is waited for";
    for (size_t i : {0u, 3u, 4u})
        CloseHandle(threads[i]);
}

TEST_F(MonitorTest, DriveRootIsScannedWithItsOwnBackslash)
{
    // The Wine test runner names an empty scratch drive for this.
    wchar_t drive[8] = {};
    if (!GetEnvironmentVariableW(L"LUMISTAMP_TEST_DRIVE", drive, ARRAYSIZE(drive)))
        GTEST_SKIP() << "no scratch drive named in LUMISTAMP_TEST_DRIVE";
    std::wstring root = std::wstring(drive) + L"\\";
    PutMarker(drive);
    Start({root});
    bool watched = WaitForMonitors(1);
    DeleteFileW((root + L"marker.jpg").c_str());
    ASSERT_TRUE(watched) << testing::PrintToString(EventTexts());
    EXPECT_EQ(MonitorScanCounts::Of(root), 1);
}

// A hidden window standing in for the Statistics page: counts the refresh
// requests posted to it.
int PaintRequests = 0;

LRESULT CALLBACK CountingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT && wParam == 0 && lParam == 0) {
        ++PaintRequests;
        ValidateRect(window, nullptr);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(MonitorTest, RescansAskTheRegisteredStatisticsPageToRefresh)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = CountingWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"LumistampTestStatisticsPage";
    RegisterClassW(&windowClass);
    HWND page = CreateWindowW(windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                              nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(page, nullptr);
    PaintRequests = 0;
    StatisticsPageWindow = page;

    std::wstring folder = MakeFolder(L"watched");
    Start({folder});
    ASSERT_TRUE(WaitForMonitors(1));
    ASSERT_TRUE(WriteFileText(folder + L"\\one.txt", "x"));
    ASSERT_TRUE(WaitUntil([] { return PaintRequests == 1; }, 10000));
    EXPECT_EQ(MonitorScanCounts::Of(folder + L"\\"), 2) << "no request after the first scan";

    StatisticsPageWindow = nullptr;
    ASSERT_TRUE(WriteFileText(folder + L"\\two.txt", "x"));
    ASSERT_TRUE(WaitUntil([&] { return MonitorScanCounts::Of(folder + L"\\") == 3; }, 10000));
    StopAllMonitors(10000);
    WaitUntil([] { return true; }, 0);  // deliver what the ended monitor posted
    EXPECT_EQ(PaintRequests, 1);
    DestroyWindow(page);
}

}  // namespace
