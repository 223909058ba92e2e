// The pages that only show things: the Statistics counters and their refresh,
// and the About text.
#include "events/event_history.h"
#include "tests/monitor/monitor_fixture.h"
#include "tests/ui/dialog_fixture.h"
#include "ui/pages.h"

namespace {

using Texts = std::vector<std::wstring>;

class InfoPages : public DialogTest {
protected:
    Texts Counters() const
    {
        return {TextOf(PageControl(StatisticsPage, IDC_FOLDERS_MONITORED)),
                TextOf(PageControl(StatisticsPage, IDC_PICTURES_PROCESSED)),
                TextOf(PageControl(StatisticsPage, IDC_PICTURES_RENAMED))};
    }
    bool CountersBecome(const Texts& expected) const
    {
        return PollUntil([&] { return Counters() == expected; }, 10000);
    }
};

TEST_F(InfoPages, StatisticsShowsTheCountersSignedAndRegistersOnlyWhileItLives)
{
    Statistics.FoldersMonitored = 3;
    Statistics.PicturesProcessed = -5;
    Statistics.PicturesRenamed = 2147483647;
    Open();
    HWND page = PageWindows[StatisticsPage];
    EXPECT_EQ(StatisticsPageWindow.load(), nullptr) << "not painted before its tab is selected";
    EXPECT_EQ(Counters(), (Texts{L"Static", L"Static", L"Static"}));

    Select(StatisticsPage);
    EXPECT_TRUE(CountersBecome({L"3", L"-5", L"2147483647"})) << testing::PrintToString(Counters());
    EXPECT_EQ(StatisticsPageWindow.load(), page);

    // Shown again, it paints the values of that moment.
    Select(AboutPage);
    Statistics.PicturesRenamed = 0;
    Statistics.PicturesProcessed = 7;
    EXPECT_EQ(StatisticsPageWindow.load(), page) << "stays registered while hidden";
    Select(StatisticsPage);
    EXPECT_TRUE(CountersBecome({L"3", L"7", L"0"})) << testing::PrintToString(Counters());

    Click(run->Control(IDCANCEL));
    EXPECT_EQ(run->WaitForEnd(), IDCANCEL);
    EXPECT_EQ(StatisticsPageWindow.load(), nullptr);
}

TEST_F(InfoPages, StatisticsFollowsEveryRescanWhileRegisteredEvenWhenHidden)
{
    ScratchFolder watched;
    PutMarker(watched.Path());
    Settings.Folders = {watched.Path()};
    StartMonitors();
    ASSERT_TRUE(PollUntil([] { return Statistics.FoldersMonitored == 1; }, 20000));

    Open();
    Select(StatisticsPage);
    ASSERT_TRUE(CountersBecome({L"1", L"1", L"0"})) << testing::PrintToString(Counters());
    Select(EventsPage);

    // A picture that lands is renamed; the rescan and the one its rename
    // causes each refresh the hidden page.
    ASSERT_TRUE(WriteFileBytes(watched / L"DSC_0001.JPG",
                               JpegWithDate(TagDateTime, "2024:05:06 07:08:09")));
    EXPECT_TRUE(CountersBecome({L"1", L"5", L"1"})) << testing::PrintToString(Counters());
    EXPECT_FALSE(IsWindowVisible(PageWindows[StatisticsPage]));
}

struct AboutCase {
    const char* name;
    const wchar_t* versionText;
};

void PrintTo(const AboutCase& c, std::ostream* os) { *os << c.name; }

class AboutPageShows : public InfoPages, public testing::WithParamInterface<AboutCase> {};

TEST_P(AboutPageShows, TheNameTheVersionAndTheHelpTextReadOnly)
{
    wcscpy_s(VersionText, GetParam().versionText);
    Open();
    HWND edit = PageControl(AboutPage, IDC_ABOUT_TEXT);
    std::wstring expected =
        std::wstring(L"Lumistamp\r\n") + GetParam().versionText + L"\r\n" + AboutText;
    EXPECT_EQ(TextOf(edit), expected);

    EXPECT_TRUE(GetWindowLongW(edit, GWL_STYLE) & ES_READONLY);
    SendMessageW(edit, WM_CHAR, L'x', 0);
    SendMessageW(edit, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(TextOf(edit), expected) << "typing changes nothing";
}

INSTANTIATE_TEST_SUITE_P(Versions, AboutPageShows,
                         testing::Values(AboutCase{"with_version_block", L"Version 2.2"},
                                         AboutCase{"without_version_block", L"unknown Version"}),
                         [](const testing::TestParamInfo<AboutCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(AboutText, FitsItsBufferBreaksLinesWithCrLfAndHoldsTheFixedLines)
{
    std::wstring text = AboutText;
    EXPECT_LE(text.size(), 1586u);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
    for (size_t at = text.find(L'\n'); at != std::wstring::npos; at = text.find(L'\n', at + 1))
        EXPECT_TRUE(at > 0 && text[at - 1] == L'\r') << "a bare line feed at " << at;
    EXPECT_EQ(text.find(L"\r\r"), std::wstring::npos);

    // Whole lines the text must hold, in this order.
    const Texts fixedLines = {
        L"Purpose of this program:",
        L"Monitor some folders and rename JPEG Files to their Date and Time",
        L"Than this program is right for you!",
        L"Basically, it monitors up to 256 folders.",
        L"That's it.",
        L"It consumes minimal resources only while running.",
        L"All settings are saved to Registry under the current user:",
        L"\\HKCU\\SOFTWARE\\KX-Lumistamp",
        L"%LOCALAPPDATA%\\Lumistamp\\Lumistamp.Log",  // where the log file is
        L"For JPEG's this should be close to the Exif timestamp.",
        L"\\HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    };
    size_t from = 0;
    for (const std::wstring& line : fixedLines) {
        size_t at = text.find(L"\r\n" + line + L"\r\n", from);
        EXPECT_NE(at, std::wstring::npos) << testing::PrintToString(line);
        if (at != std::wstring::npos)
            from = at + 1;
    }
    EXPECT_NE(text.find(L"\r\nEvents are shown in the 'Events'-Tab."), std::wstring::npos);
    EXPECT_NE(text.find(L"\r\nThat's it.\r\n\r\n\r\n"), std::wstring::npos);
}

}  // namespace
