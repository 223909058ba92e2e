// Device notices, sent as Windows sends them for a registered handle (Wine
// sends none, and refuses the registrations, so the tests hand them out): a
// query to remove, a lock or a dismount of the device of a watched folder
// returns once its monitor holds nothing on the folder; a removal, lock or
// dismount that fails afterwards has it take the folder up again at once,
// registered anew; a device gone without a query is let go of too, and its
// registration ends. The handles are found from outside, as a handle viewer
// finds them.
#include "tests/monitor/monitor_fixture.h"

#include "tests/monitor/fake_registrations.h"
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

// A WM_DEVICECHANGE event about a registered handle; a volume event's GUID
// with DBT_CUSTOMEVENT.
struct Notice {
    WPARAM event;
    GUID volumeEvent;
};

LRESULT Send(const NoticeWindow& notices, const Notice& notice, HDEVNOTIFY registration,
             HANDLE handle)
{
    if (notice.event == DBT_CUSTOMEVENT)
        return notices.SendVolumeEvent(notice.volumeEvent, registration, handle);
    return notices.SendAbout(notice.event, registration, handle);
}

// Sends the notice about every handle the process holds on the folder, each
// with the registration made for its value (none for the change
// notification's): only the one the monitor registered is its business.
void SendAboutEach(const NoticeWindow& notices, const Notice& notice,
                   const std::vector<HANDLE>& handles)
{
    for (HANDLE handle : handles)
        EXPECT_EQ(Send(notices, notice, FakeRegistrations::Of(handle), handle), TRUE)
            << "no removal is ever refused";
}

// The registration of the first of the handles that has one; null if none.
HDEVNOTIFY RegistrationAmong(const std::vector<HANDLE>& handles)
{
    for (HANDLE handle : handles)
        if (HDEVNOTIFY notice = FakeRegistrations::Of(handle))
            return notice;
    return nullptr;
}

const Notice QueryRemove{DBT_DEVICEQUERYREMOVE, {}};
const Notice QueryRemoveFailed{DBT_DEVICEQUERYREMOVEFAILED, {}};

class DeviceNoticeTest : public MonitorTest {
protected:
    void TearDown() override
    {
        MonitorTest::TearDown();
        EXPECT_EQ(FakeRegistrations::WrongEnds(), 0) << "nothing unregistered twice";
    }

    FakeRegistrations registrations;
    NoticeWindow notices;
};

struct ReleaseCase {
    const char* name;
    Notice letGo;
    Notice takeUp;
};

void PrintTo(const ReleaseCase& c, std::ostream* os) { *os << c.name; }

class DeviceReleased : public DeviceNoticeTest, public testing::WithParamInterface<ReleaseCase> {};

TEST_P(DeviceReleased, LetGoOfThenTakenUpAgainUnderANewRegistration)
{
    const ReleaseCase& c = GetParam();
    std::wstring card = MakeFolder(L"card");
    std::wstring other = MakeFolder(L"other");
    Start({card, other});
    ASSERT_TRUE(WaitForMonitors(2));
    std::vector<HANDLE> held = OurHandlesOn(card);
    ASSERT_FALSE(held.empty());
    ASSERT_EQ(OurHandlesOn(other).size(), held.size());
    ASSERT_EQ(FakeRegistrations::All().size(), 2u) << "one registration per monitor";
    HDEVNOTIFY first = RegistrationAmong(held);
    ASSERT_NE(first, nullptr);

    // A handle of something else: nobody lets go.
    HANDLE unrelated = CreateFileW(root.Path().c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(unrelated, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Send(notices, c.letGo, nullptr, unrelated), TRUE);
    CloseHandle(unrelated);
    EXPECT_EQ(OurHandlesOn(card).size(), held.size());

    // Answered only once the monitor has let go: nothing to poll for.
    ULONGLONG asked = GetTickCount64();
    SendAboutEach(notices, c.letGo, held);
    EXPECT_LT(GetTickCount64() - asked, ULONGLONG{LetGoWaitMs})
        << "a waiting monitor lets go at once";
    EXPECT_EQ(OurHandlesOn(card), std::vector<HANDLE>{});
    EXPECT_EQ(OurHandlesOn(other).size(), held.size()) << "the other folder's monitor holds on";
    EXPECT_EQ(Statistics.FoldersMonitored, 1);
    EXPECT_TRUE(FakeRegistrations::Live(first)) << "kept, so that its failure can be told";

    // It failed: the folder is watched again now, not at the next look.
    SendAboutEach(notices, c.takeUp, held);
    ASSERT_TRUE(WaitForMonitors(2, 5000));
    std::vector<HANDLE> heldAgain = OurHandlesOn(card);
    ASSERT_FALSE(heldAgain.empty());

    // Held under a new handle, which is registered; the old registration
    // ended. The handle's value may be the old one again.
    std::vector<FakeRegistration> made = FakeRegistrations::All();
    ASSERT_EQ(made.size(), 3u);
    EXPECT_FALSE(FakeRegistrations::Live(first));
    EXPECT_NE(made[2].notice, first);
    EXPECT_TRUE(FakeRegistrations::Live(made[2].notice));
    EXPECT_EQ(std::count(heldAgain.begin(), heldAgain.end(), made[2].handle), 1);

    // The ended registration, with the handle values the folders are held
    // under now: nobody lets go.
    for (const std::wstring& folder : {card, other})
        for (HANDLE handle : OurHandlesOn(folder))
            EXPECT_EQ(Send(notices, c.letGo, first, handle), TRUE);
    EXPECT_EQ(OurHandlesOn(card).size(), held.size());
    EXPECT_EQ(OurHandlesOn(other).size(), held.size());
    EXPECT_EQ(Statistics.FoldersMonitored, 2);

    Texts events = EventTexts();
    ASSERT_EQ(events.size(), 4u) << testing::PrintToString(events);
    EXPECT_EQ(events[2], BackEvent(card));
    EXPECT_EQ(events[3], MarkerEvent(card + L"\\")) << "scanned as a fresh monitor scans";
}

INSTANTIATE_TEST_SUITE_P(Notices, DeviceReleased,
                         testing::Values(ReleaseCase{"QueryRemoveFailed", QueryRemove,
                                                     QueryRemoveFailed},
                                         ReleaseCase{"LockThenUnlock",
                                                     {DBT_CUSTOMEVENT, VolumeLock},
                                                     {DBT_CUSTOMEVENT, VolumeUnlock}},
                                         ReleaseCase{"LockFailed",
                                                     {DBT_CUSTOMEVENT, VolumeLock},
                                                     {DBT_CUSTOMEVENT, VolumeLockFailed}},
                                         ReleaseCase{"DismountFailed",
                                                     {DBT_CUSTOMEVENT, VolumeDismount},
                                                     {DBT_CUSTOMEVENT, VolumeDismountFailed}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct GoingCase {
    const char* name;
    WPARAM event;
    bool endsRegistration;
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
    HDEVNOTIFY registration = RegistrationAmong(held);
    ASSERT_NE(registration, nullptr);

    SendAboutEach(notices, {GetParam().event, {}}, held);
    EXPECT_EQ(FakeRegistrations::Live(registration), !GetParam().endsRegistration);
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
                         testing::Values(GoingCase{"QueryRemove", DBT_DEVICEQUERYREMOVE, false},
                                         GoingCase{"RemoveCompleteWithoutQuery",
                                                   DBT_DEVICEREMOVECOMPLETE, true}),
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
    SendAboutEach(notices, QueryRemove, held);
    ULONGLONG waited = GetTickCount64() - asked;
    EXPECT_GE(waited, 4900u) << "the window waited for the monitor";
    EXPECT_LT(waited, 8000u) << "but no longer than a few seconds";
    EXPECT_EQ(OurHandlesOn(card).size(), held.size()) << "still inside its picture";

    ReleaseMessageBoxes();
    ASSERT_TRUE(WaitUntil([&] { return OurHandlesOn(card).empty(); }, 10000));
    EXPECT_EQ(undatedLines(), 1) << "no picture read after the request";
    EXPECT_EQ(Statistics.FoldersMonitored, 0);

    // Taken up again, the folder is scanned whole.
    SendAboutEach(notices, QueryRemoveFailed, held);
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
