// Event lines: the local-time stamp, the 1023-character cut, and the history.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "events/event_history.h"

namespace {

std::vector<std::wstring> HistorySnapshot()
{
    HistoryLockGuard lock;
    return {EventHistory.begin(), EventHistory.end()};
}

std::wstring StampOf(const SYSTEMTIME& time)
{
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%02u.%02u.%04u %02u:%02u:%02u ", time.wDay, time.wMonth, time.wYear,
             time.wHour, time.wMinute, time.wSecond);
    return stamp;
}

TEST(EventLine, StartsWithLocalDateAndTimeThenTheText)
{
    ClearEventHistory();
    SYSTEMTIME before, after, utc;
    GetLocalTime(&before);
    LogEvent(L"Renamed Z:\\card\\DSC_0042.JPG to 20230401_072926.JPG");
    GetLocalTime(&after);
    GetSystemTime(&utc);

    std::vector<std::wstring> history = HistorySnapshot();
    ASSERT_EQ(history.size(), 1u);
    const std::wstring text = L"Renamed Z:\\card\\DSC_0042.JPG to 20230401_072926.JPG";
    // The second may tick between the stamp and the reading of the clock.
    EXPECT_TRUE(history[0] == StampOf(before) + text || history[0] == StampOf(after) + text)
        << "line: " << testing::PrintToString(history[0]);
    // The suite runs two hours east of UTC: a stamp in UTC would not match above.
    EXPECT_NE(after.wHour, utc.wHour);
}

struct CutCase {
    size_t textLength;
    size_t lineLength;
    size_t textKept;
};

class EventLineCut : public testing::TestWithParam<CutCase> {};

TEST_P(EventLineCut, LineHoldsAtMost1023Characters)
{
    const CutCase& cut = GetParam();
    std::wstring text(cut.textLength, L'x');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<wchar_t>(L'a' + i % 26);

    ClearEventHistory();
    LogEvent(text.c_str());
    std::vector<std::wstring> history = HistorySnapshot();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].size(), cut.lineLength);
    EXPECT_EQ(history[0].substr(20), text.substr(0, cut.textKept));
}

INSTANTIATE_TEST_SUITE_P(Lengths, EventLineCut,
                         testing::Values(CutCase{0, 20, 0}, CutCase{1003, 1023, 1003},
                                         CutCase{1004, 1023, 1003}, CutCase{5000, 1023, 1003}));

TEST(EventHistory, KeepsLinesOldestFirstAndTakesNewLinesAfterClearing)
{
    ClearEventHistory();
    LogEvent(L"first");
    LogEvent(L"second");
    std::vector<std::wstring> history = HistorySnapshot();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].substr(20), L"first");
    EXPECT_EQ(history[1].substr(20), L"second");

    ClearEventHistory();
    EXPECT_TRUE(HistorySnapshot().empty());
    LogEvent(L"after exit");
    history = HistorySnapshot();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].substr(20), L"after exit");
}

TEST(EventHistory, FormattedEventsHoldLongPathsWhole)
{
    ClearEventHistory();
    std::wstring path = L"Z:\\" + std::wstring(600, L'p') + L"\\DSC_0001.JPG";
    LogEventFormat(L"Renamed %s to %s", path.c_str(), L"20230401_072926.JPG");
    std::vector<std::wstring> history = HistorySnapshot();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].substr(20), L"Renamed " + path + L" to 20230401_072926.JPG");
}

}  // namespace
