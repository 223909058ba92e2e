// When the tray icon is offered again after the shell refused it: every few
// seconds, and for a bounded time only.
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

}  // namespace
