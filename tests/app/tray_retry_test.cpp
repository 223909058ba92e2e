// When the tray icon is offered again after the shell refused it: every few
// seconds, and for a bounded time only; and never again once the shell has
// taken it, whatever it answered.
#include <gtest/gtest.h>

#include "app/tray_retry.h"

namespace {

struct RetryCase {
    unsigned failedAdds;
    UINT retryMs;
};

TEST(TrayRetry, EveryFiveSecondsForTenMinutesThenNoMore)
{
    const RetryCase cases[] = {
        {0, 0},                                    // nothing refused: nothing to retry
        {1, 5000},                                 // the offer at start
        {2, 5000}, {60, 5000},       {120, 5000},  // the last retry, ten minutes on
        {121, 0},  {4000000000u, 0},
    };
    for (const RetryCase& c : cases)
        EXPECT_EQ(NextTrayRetryMs(c.failedAdds), c.retryMs) << c.failedAdds << " refused";
}

// A shell standing in for the taskbar's: it refuses every offer until it is
// ready; then it takes the icon, but answers the add FALSE when the add timed
// out while it was busy. As the shell's does, it refuses a second add of an
// icon it has, and changes an icon it has.
struct FakeShell {
    bool ready = false;
    bool addTimesOut = false;
    bool hasIcon = false;
    int iconsTaken = 0;
};
FakeShell Shell;

BOOL WINAPI FakeNotifyIcon(DWORD message, PNOTIFYICONDATAW)
{
    if (message == NIM_ADD) {
        if (!Shell.ready || Shell.hasIcon)
            return FALSE;
        Shell.hasIcon = true;
        ++Shell.iconsTaken;
        return Shell.addTimesOut ? FALSE : TRUE;
    }
    if (message == NIM_MODIFY)
        return Shell.ready && Shell.hasIcon ? TRUE : FALSE;
    return FALSE;
}

TEST(TrayOffer, AnAddThatTimedOutYetTookTheIconEndsTheRetries)
{
    Shell = {};
    TrayIconState state;
    NOTIFYICONDATAW icon = {};
    // The taskbar is starting: refused, offered again on the timer.
    EXPECT_EQ(OfferTrayIcon(state, &FakeNotifyIcon, icon), 5000u);
    EXPECT_EQ(OfferTrayIcon(state, &FakeNotifyIcon, icon), 5000u);
    EXPECT_EQ(state.failedAdds, 2u);

    // Ready but slow: it takes the icon and answers FALSE. No more offers.
    Shell.ready = true;
    Shell.addTimesOut = true;
    EXPECT_EQ(OfferTrayIcon(state, &FakeNotifyIcon, icon), 0u);
    EXPECT_TRUE(state.shown);
    EXPECT_EQ(state.failedAdds, 0u);

    // An activation offers it again: still shown, still no retry, one icon.
    EXPECT_EQ(OfferTrayIcon(state, &FakeNotifyIcon, icon), 0u);
    EXPECT_TRUE(state.shown);
    EXPECT_EQ(Shell.iconsTaken, 1);
}

TEST(TrayOffer, AShownIconIsNotRetriedWhenTheShellStopsAnswering)
{
    Shell = {};
    Shell.ready = true;
    TrayIconState state;
    NOTIFYICONDATAW icon = {};
    EXPECT_EQ(OfferTrayIcon(state, &FakeNotifyIcon, icon), 0u);
    EXPECT_TRUE(state.shown);

    Shell.ready = false;  // hung: refuses the add and the change
    EXPECT_EQ(OfferTrayIcon(state, &FakeNotifyIcon, icon), 0u);
    EXPECT_TRUE(state.shown);
    EXPECT_EQ(state.failedAdds, 0u);
}

}  // namespace
