// A cloud provider's online-only picture made local: the download changes the
// file's attributes, not its name, so no name change wakes the monitor. Wine
// lists no placeholders, so the listing's directory query plays them: entries
// named in OnlineOnlyNames carry OneDrive's online-only attributes.
#include "tests/monitor/monitor_fixture.h"

#include <set>

#include "rename/folder_listing.h"

namespace {

std::mutex OnlineOnlyLock;
std::set<std::wstring> OnlineOnlyNames;

BOOL WINAPI QueryWithPlaceholders(HANDLE directory, FILE_INFO_BY_HANDLE_CLASS type, LPVOID buffer,
                                  DWORD size)
{
    if (!GetFileInformationByHandleEx(directory, type, buffer, size))
        return FALSE;
    if (type != FileIdBothDirectoryInfo && type != FileIdBothDirectoryRestartInfo)
        return TRUE;
    std::lock_guard<std::mutex> guard(OnlineOnlyLock);
    auto* at = static_cast<uint8_t*>(buffer);
    for (;;) {
        auto* entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(at);
        std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
        if (OnlineOnlyNames.count(name))
            entry->FileAttributes |= 0x00500420;  // RECALL_ON_DATA_ACCESS, OFFLINE, ARCHIVE
        if (entry->NextEntryOffset == 0)
            break;
        at += entry->NextEntryOffset;
    }
    return TRUE;
}

class OnlineOnlyTest : public MonitorTest {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        QueryDirectory = QueryWithPlaceholders;
    }
    void TearDown() override
    {
        MonitorTest::TearDown();
        QueryDirectory = GetFileInformationByHandleEx;
        std::lock_guard<std::mutex> guard(OnlineOnlyLock);
        OnlineOnlyNames.clear();
    }
};

bool HasEvent(const std::wstring& text)
{
    std::vector<std::wstring> texts = EventTexts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Made local, the picture is renamed within about a minute; a folder that
// lists no online-only picture is not listed again meanwhile.
TEST_F(OnlineOnlyTest, APictureMadeLocalIsRenamedWithoutANameChange)
{
    std::wstring cloud = MakeFolder(L"cloud");
    std::wstring plain = MakeFolder(L"plain");
    ASSERT_TRUE(WriteFileBytes(cloud + L"\\IMG_0001.jpg",
                               JpegWithDate(TagDateTimeOriginal, "2023:04:01 07:29:26")));
    {
        std::lock_guard<std::mutex> guard(OnlineOnlyLock);
        OnlineOnlyNames = {L"IMG_0001.jpg"};
    }
    Start({cloud, plain});
    ASSERT_TRUE(WaitForMonitors(2));
    EXPECT_TRUE(HasEvent(cloud + L"\\IMG_0001.jpg is online-only and was not downloaded, " +
                         L"File not renamed"))
        << testing::PrintToString(EventTexts());

    // Downloaded: its attributes change, its name does not.
    {
        std::lock_guard<std::mutex> guard(OnlineOnlyLock);
        OnlineOnlyNames.clear();
    }
    const std::wstring renamed = L"Renamed " + cloud + L"\\IMG_0001.jpg to 20230401_072926.jpg";
    EXPECT_TRUE(WaitUntil([&] { return HasEvent(renamed); }, 100000))
        << testing::PrintToString(EventTexts());
    EXPECT_EQ(MonitorScanCounts::Of(plain + L"\\"), 1) << "nothing waits to be made local there";
}

}  // namespace
