// Device notices, sent as Windows sends them for a registered handle (Wine
// sends none): a query to remove the device of a watched folder returns once
// its monitor holds nothing on the folder; a removal that fails afterwards has
// it take the folder up again at once; a device gone without a query is let
// go of too. The handles are found from outside, as a handle viewer finds them.
#include "tests/monitor/monitor_fixture.h"

#include "tests/monitor/notice_window.h"
#include "tests/support/folder_handles.h"
#include "tests/support/local_app_data.h"
#include "tests/support/message_box_catcher.h"

namespace {

using Texts = std::vector<std::wstring>;

std::vector<HANDLE> OurHandlesOn(const std::wstring& folder)
{
    return HandlesOnFolder(GetCurrentProcess(), folder);
}

// Sends the notice about every handle the process holds on the folder: only
// the one the monitor registered is its business.
void SendAboutEach(const NoticeWindow& notices, WPARAM event, const std::vector<HANDLE>& handles)
{
    for (HANDLE handle : handles)
        EXPECT_EQ(notices.SendAbout(event, handle), TRUE) << "no removal is ever refused";
}

class DeviceNoticeTest : public MonitorTest {
protected:
    NoticeWindow notices;
};

TEST_F(DeviceNoticeTest, QueryRemoveLetsGoAndAFailedRemovalTakesTheFolderUpAgain)
{
    std::wstring card = MakeFolder(L"card");
    std::wstring other = MakeFolder(L"other");
    Start({card, other});
    ASSERT_TRUE(WaitForMonitors(2));
    std::vector<HANDLE> held = OurHandlesOn(card);
    ASSERT_FALSE(held.empty());
    ASSERT_EQ(OurHandlesOn(other).size(), held.size());

    // A handle of something else: nobody lets go.
    HANDLE unrelated = CreateFileW(root.Path().c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(unrelated, INVALID_HANDLE_VALUE);
    EXPECT_EQ(notices.SendAbout(DBT_DEVICEQUERYREMOVE, unrelated), TRUE);
    CloseHandle(unrelated);
    EXPECT_EQ(OurHandlesOn(card).size(), held.size());

    // Answered only once the monitor has let go: nothing to poll for.
    ULONGLONG asked = GetTickCount64();
    SendAboutEach(notices, DBT_DEVICEQUERYREMOVE, held);
    EXPECT_LT(GetTickCount64() - asked, ULONGLONG{LetGoWaitMs})
        << "a waiting monitor lets go at once";
    EXPECT_EQ(OurHandlesOn(card), std::vector<HANDLE>{});
    EXPECT_EQ(OurHandlesOn(other).size(), held.size()) << "the other folder's monitor holds on";
    EXPECT_EQ(Statistics.FoldersMonitored, 1);

    // The removal failed: the folder is watched again now, not at the next look.
    SendAboutEach(notices, DBT_DEVICEQUERYREMOVEFAILED, held);
    ASSERT_TRUE(WaitForMonitors(2, 5000));
    EXPECT_FALSE(OurHandlesOn(card).empty());
    Texts events = EventTexts();
    ASSERT_EQ(events.size(), 4u) << testing::PrintToString(events);
    EXPECT_EQ(events[2], BackEvent(card));
    EXPECT_EQ(events[3], MarkerEvent(card + L"\\")) << "scanned as a fresh monitor scans";
}

struct GoingCase {
    const char* name;
    WPARAM event;
};

void PrintTo(const GoingCase& c, std::ostream* os) { *os << c.name; }

class DeviceGoing : public DeviceNoticeTest, public testing::WithParamInterface<GoingCase> {};

// Asked first or not, the monitor lets go; the folder can then go at once, and
// the monitor says so at its next look and waits for it to come back.
TEST_P(DeviceGoing, MonitorLetsGoThenWaitsForTheFolder)
{
    std::wstring card = MakeFolder(L"card");
    Start({card});
    ASSERT_TRUE(WaitForMonitors(1));
    std::vector<HANDLE> threads = CopyMonitorHandles();
    std::vector<HANDLE> held = OurHandlesOn(card);
    ASSERT_FALSE(held.empty());

    SendAboutEach(notices, GetParam().event, held);
    ASSERT_TRUE(WaitUntil([&] { return OurHandlesOn(card).empty(); }, LetGoWaitMs));
    EXPECT_TRUE(WaitForMonitors(0, 5000));

    // Nothing holds it: it goes at once, where a held folder would only be
    // marked for deletion.
    ASSERT_TRUE(DeleteFileW((card + L"\\marker.jpg").c_str()));
    ASSERT_TRUE(RemoveDirectoryW(card.c_str()));
    EXPECT_FALSE(PathExists(card));
    ASSERT_TRUE(WaitUntil([] { return EventTexts().size() == 2; }, 25000));
    EXPECT_EQ(EventTexts(), (Texts{MarkerEvent(card + L"\\"), MissingEvent(card)}));
    EXPECT_EQ(ExitCodes(CopyMonitorHandles(), 0), std::vector<DWORD>{STILL_ACTIVE});

    MakeFolder(L"card");
    notices.SendVolumeArrival();
    ASSERT_TRUE(WaitForMonitors(1, 5000));
    EXPECT_EQ(EventTexts().back(), MarkerEvent(card + L"\\"));
    StopAllMonitors(10000);
    EXPECT_EQ(ExitCodes(threads, 0), std::vector<DWORD>{0});
}

INSTANTIATE_TEST_SUITE_P(Notices, DeviceGoing,
                         testing::Values(GoingCase{"QueryRemove", DBT_DEVICEQUERYREMOVE},
                                         GoingCase{"RemoveCompleteWithoutQuery",
                                                   DBT_DEVICEREMOVECOMPLETE}),
                         [](const auto& info) { return std::string(info.param.name); });

// A query that comes while the monitor is inside a picture: the window waits a
// few seconds at most, and the monitor lets go before the next picture
// instead of scanning the rest. It is held in its first picture by the one
// message box a process shows for a log file that cannot be opened; this runs
// in a process of its own for that reason.
TEST_F(DeviceNoticeTest, HeldScanLetsGoBeforeItsNextPicture)
{
    std::wstring card = MakeFolder(L"card");
    for (int i = 0; i < 19; ++i)
        ASSERT_TRUE(
            WriteFileBytes(card + L"\\p" + std::to_wstring(i) + L".jpg", JpegWithoutExif()));
    LocalAppDataScope localAppData;
    ASSERT_TRUE(CreateDirectoryW(localAppData.LogFolder().c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(localAppData.LogPath().c_str(), nullptr));
    const std::wstring undated = L"No Exif information available for " + card + L"\\";
    auto undatedLines = [&] {
        Texts events = EventTexts();
        return std::count_if(events.begin(), events.end(),
                             [&](const std::wstring& text) { return text.starts_with(undated); });
    };

    HoldMessageBoxes();
    Settings.LogFile = 1;
    Start({card});
    ASSERT_TRUE(WaitForCapturedBoxes(1, 10000)) << "the first picture's line shows the box";
    std::vector<HANDLE> held = OurHandlesOn(card);
    ASSERT_FALSE(held.empty());

    ULONGLONG asked = GetTickCount64();
    SendAboutEach(notices, DBT_DEVICEQUERYREMOVE, held);
    ULONGLONG waited = GetTickCount64() - asked;
    EXPECT_GE(waited, 4900u) << "the window waited for the monitor";
    EXPECT_LT(waited, 8000u) << "but no longer than a few seconds";
    EXPECT_EQ(OurHandlesOn(card).size(), held.size()) << "still inside its picture";

    ReleaseMessageBoxes();
    ASSERT_TRUE(WaitUntil([&] { return OurHandlesOn(card).empty(); }, 10000));
    EXPECT_EQ(undatedLines(), 1) << "no picture read after the request";
    EXPECT_EQ(Statistics.FoldersMonitored, 0);

    // Taken up again, the folder is scanned whole.
    SendAboutEach(notices, DBT_DEVICEQUERYREMOVEFAILED, held);
    ASSERT_TRUE(WaitForMonitors(1, 10000));
    EXPECT_EQ(undatedLines(), 1 + 20);
    Texts events = EventTexts();
    EXPECT_EQ(std::count(events.begin(), events.end(), BackEvent(card)), 1);

    std::vector<CapturedBox> boxes = TakeCapturedBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Cannot open File to save Event History, Error 5. "
                             L"The last Event is not saved to file.");
    Settings.LogFile = 0;
}

}  // namespace
