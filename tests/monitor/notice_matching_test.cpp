// Which monitor a device notice reaches, and what it asks of it. A notice is
// matched on the registration it names, never on the handle: Windows hands a
// closed handle's value out again, and a notice can come for a registration
// whose handle was closed, while another monitor holds its folder under that
// same value. Two holds stand for two monitors; a stand-in plays the monitor
// thread that lets go when asked.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <ostream>

#include "monitor/device_notices.h"
#include "monitor/folder_holds.h"
#include "tests/monitor/fake_registrations.h"
#include "tests/monitor/notice_window.h"

namespace {

enum class Outcome { Nothing, LetGo, LookAgain };

void PrintTo(Outcome outcome, std::ostream* os)
{
    const char* names[] = {"Nothing", "LetGo", "LookAgain"};
    *os << names[static_cast<int>(outcome)];
}

// Lets go of the hold's folder when asked, as its monitor thread does, until
// told to end.
class StandInMonitor {
public:
    explicit StandInMonitor(FolderHold& hold)
        : hold_(hold), end_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        thread_ = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
    }
    ~StandInMonitor()
    {
        CloseHandle(thread_);
        CloseHandle(end_);
    }
    StandInMonitor(const StandInMonitor&) = delete;
    StandInMonitor& operator=(const StandInMonitor&) = delete;

    // Ends the stand-in; whether it was asked to let go.
    bool End()
    {
        SetEvent(end_);
        EXPECT_EQ(WaitForSingleObject(thread_, 5000), WAIT_OBJECT_0);
        return letGo_;
    }

private:
    static DWORD WINAPI Run(LPVOID parameter)
    {
        auto* self = static_cast<StandInMonitor*>(parameter);
        // The request first: one made before the end still counts.
        HANDLE signals[2] = {self->hold_.letGo, self->end_};
        if (WaitForMultipleObjects(2, signals, FALSE, 10000) == WAIT_OBJECT_0) {
            FolderWatch nothing;
            LetGoOfFolder(self->hold_, nothing, true);
            self->letGo_ = true;
        }
        return 0;
    }

    FolderHold& hold_;
    HANDLE end_;
    HANDLE thread_ = nullptr;
    bool letGo_ = false;
};

struct NoticeCase {
    const char* name;
    WPARAM event;
    GUID volumeEvent;  // of a DBT_CUSTOMEVENT
    Outcome whenHeld;
    Outcome whenLetGoOnRequest;
    bool endsRegistration;
};

struct Sent {
    Outcome outcome;
    bool registrationLive;
};

class NoticeMatching : public testing::Test {
protected:
    // The earlier monitor held the handle value and lost its folder (its
    // registration ended); the later one holds its own folder under the same
    // value now, or let go of it when asked. The notice carries that value and
    // the later registration, or the earlier, stale one.
    Sent Send(const NoticeCase& c, bool letGoOnRequest, bool stale)
    {
        FolderHold* earlier = NewFolderHold();
        FolderHold* later = NewFolderHold();
        EXPECT_TRUE(earlier && later);
        if (!earlier || !later)
            return {};
        FolderWatch nothing;
        HoldFolder(*earlier, reusedValue, L"Q:\\earlier");
        HDEVNOTIFY earlierNotice = FakeRegistrations::Of(reusedValue);
        LetGoOfFolder(*earlier, nothing, false);
        HoldFolder(*later, reusedValue, L"Q:\\later");
        HDEVNOTIFY laterNotice = FakeRegistrations::Of(reusedValue);
        EXPECT_NE(earlierNotice, laterNotice);
        if (letGoOnRequest)
            LetGoOfFolder(*later, nothing, true);

        StandInMonitor standIn(*later);
        HDEVNOTIFY named = stale ? earlierNotice : laterNotice;
        LRESULT answer = c.event == DBT_CUSTOMEVENT
                             ? window.SendVolumeEvent(c.volumeEvent, named, reusedValue)
                             : window.SendAbout(c.event, named, reusedValue);
        EXPECT_EQ(answer, TRUE) << "nothing is ever refused";
        bool letGo = standIn.End();
        bool lookAgain = WaitForSingleObject(later->lookAgain, 0) == WAIT_OBJECT_0;
        EXPECT_FALSE(letGo && lookAgain);
        EXPECT_EQ(WaitForSingleObject(earlier->letGo, 0), WAIT_TIMEOUT);
        EXPECT_EQ(WaitForSingleObject(earlier->lookAgain, 0), WAIT_TIMEOUT);
        Sent sent{letGo       ? Outcome::LetGo
                  : lookAgain ? Outcome::LookAgain
                              : Outcome::Nothing,
                  FakeRegistrations::Live(laterNotice)};
        DeleteFolderHold(earlier);
        DeleteFolderHold(later);
        EXPECT_FALSE(FakeRegistrations::Live(laterNotice)) << "ends with its monitor";
        EXPECT_EQ(FakeRegistrations::WrongEnds(), 0) << "nothing unregistered twice";
        return sent;
    }

    const HANDLE reusedValue = reinterpret_cast<HANDLE>(0x2A4);
    FakeRegistrations registrations;
    NoticeWindow window;
};

const NoticeCase Cases[] = {
    {"QueryRemove", DBT_DEVICEQUERYREMOVE, {}, Outcome::LetGo, Outcome::Nothing, false},
    {"QueryRemoveFailed",
     DBT_DEVICEQUERYREMOVEFAILED,
     {},
     Outcome::Nothing,
     Outcome::LookAgain,
     false},
    {"RemovePending", DBT_DEVICEREMOVEPENDING, {}, Outcome::LetGo, Outcome::Nothing, true},
    {"RemoveComplete", DBT_DEVICEREMOVECOMPLETE, {}, Outcome::LetGo, Outcome::Nothing, true},
    {"VolumeLock", DBT_CUSTOMEVENT, VolumeLock, Outcome::LetGo, Outcome::Nothing, false},
    {"VolumeDismount", DBT_CUSTOMEVENT, VolumeDismount, Outcome::LetGo, Outcome::Nothing, false},
    {"VolumeUnlock", DBT_CUSTOMEVENT, VolumeUnlock, Outcome::Nothing, Outcome::LookAgain, false},
    {"VolumeLockFailed", DBT_CUSTOMEVENT, VolumeLockFailed, Outcome::Nothing, Outcome::LookAgain,
     false},
    {"VolumeDismountFailed", DBT_CUSTOMEVENT, VolumeDismountFailed, Outcome::Nothing,
     Outcome::LookAgain, false},
    {"VolumeLabelChanged", DBT_CUSTOMEVENT, VolumeChange, Outcome::Nothing, Outcome::Nothing,
     false},
    // A device's own event, not a volume's, with a lock's GUID: not a lock.
    {"DeviceArrivalOfTheHandle", DBT_DEVICEARRIVAL, VolumeLock, Outcome::Nothing, Outcome::Nothing,
     false},
};

TEST_F(NoticeMatching, CurrentRegistrationHeld)
{
    for (const NoticeCase& c : Cases) {
        SCOPED_TRACE(c.name);
        Sent sent = Send(c, false, false);
        EXPECT_EQ(sent.outcome, c.whenHeld);
        EXPECT_EQ(sent.registrationLive, !c.endsRegistration);
    }
}

TEST_F(NoticeMatching, CurrentRegistrationLetGoOfWhenAsked)
{
    for (const NoticeCase& c : Cases) {
        SCOPED_TRACE(c.name);
        Sent sent = Send(c, true, false);
        EXPECT_EQ(sent.outcome, c.whenLetGoOnRequest);
        EXPECT_EQ(sent.registrationLive, !c.endsRegistration)
            << "kept for a failure that may follow";
    }
}

// The earlier registration ended with its handle; the value is the later
// monitor's now: nobody moves, and nothing is unregistered twice.
TEST_F(NoticeMatching, StaleRegistrationOfAReusedHandleValue)
{
    for (const NoticeCase& c : Cases) {
        for (bool letGoOnRequest : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (letGoOnRequest ? " let go of" : " held"));
            Sent sent = Send(c, letGoOnRequest, true);
            EXPECT_EQ(sent.outcome, Outcome::Nothing);
            EXPECT_TRUE(sent.registrationLive);
        }
    }
}

}  // namespace
