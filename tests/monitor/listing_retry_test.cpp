// A folder that every way fails to list part-way (OneDrive and SharePoint
// folders have failed so) is listed again within a minute, with no change in
// it to wake the monitor. Wine's file system lists every folder whole, so the
// listing's calls play the failure: every query or find call after the first
// fails with 87 while FailMidway is set.
#include "tests/monitor/monitor_fixture.h"

#include <atomic>

#include "rename/folder_listing.h"

namespace {

std::atomic<bool> FailMidway{false};

BOOL WINAPI QueryFailingMidway(HANDLE directory, FILE_INFO_BY_HANDLE_CLASS type, LPVOID buffer,
                               DWORD size)
{
    if (FailMidway && (type == FileIdBothDirectoryInfo || type == FileFullDirectoryInfo)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return GetFileInformationByHandleEx(directory, type, buffer, size);
}

BOOL WINAPI FindNextFailingMidway(HANDLE search, LPWIN32_FIND_DATAW found)
{
    if (FailMidway) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return FindNextFileW(search, found);
}

class ListingRetryTest : public MonitorTest {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        QueryDirectory = QueryFailingMidway;
        FindNextEntry = FindNextFailingMidway;
    }
    void TearDown() override
    {
        MonitorTest::TearDown();
        QueryDirectory = GetFileInformationByHandleEx;
        FindNextEntry = FindNextFileW;
        FailMidway = false;
    }
};

long EventCount(const std::wstring& text)
{
    std::vector<std::wstring> texts = EventTexts();
    return std::count(texts.begin(), texts.end(), text);
}

TEST_F(ListingRetryTest, AFolderThatFailedMidwayIsListedAgainWithinAMinute)
{
    std::wstring cloud = MakeFolder(L"cloud");
    ASSERT_TRUE(WriteFileBytes(cloud + L"\\IMG_0001.jpg",
                               JpegWithDate(TagDateTimeOriginal, "2023:04:01 07:29:26")));
    FailMidway = true;
    Start({cloud});
    ASSERT_TRUE(WaitForMonitors(1));
    const std::wstring failed = L"Listing " + cloud + L"\\ failed part-way, Error 87";
    EXPECT_EQ(EventCount(failed), 1) << testing::PrintToString(EventTexts());

    FailMidway = false;
    const std::wstring renamed = L"Renamed " + cloud + L"\\IMG_0001.jpg to 20230401_072926.jpg";
    EXPECT_TRUE(WaitUntil([&] { return EventCount(renamed) == 1; }, 100000))
        << testing::PrintToString(EventTexts());
    EXPECT_EQ(EventCount(failed), 1) << "reported once";
}

}  // namespace
