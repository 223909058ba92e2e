// The settings dialog as a frame: its tabs and pages, the Events list that
// each selection of the Events tab refills, and pages that cannot be created.
#include <list>

#include "events/event_history.h"
#include "tests/support/message_box_catcher.h"
#include "tests/ui/dialog_fixture.h"

#include <commctrl.h>

namespace {

using Texts = std::vector<std::wstring>;

Texts HistoryLines()
{
    HistoryLockGuard lock;
    return Texts(EventHistory.begin(), EventHistory.end());
}

std::wstring TabText(HWND tabs, int index)
{
    wchar_t text[64] = {};
    TCITEMW tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    tab.cchTextMax = ARRAYSIZE(text);
    SendMessageW(tabs, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&tab));
    return text;
}

// The width of the line in the list box's font, plus the two edges the list
// box adds, measured apart from the code under test.
int ExpectedExtent(HWND list, const std::wstring& line)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0));
    HGDIOBJ previous = SelectObject(memory, font);
    SIZE size = {};
    GetTextExtentPoint32W(memory, line.c_str(), static_cast<int>(line.size()), &size);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return size.cx + 2 * GetSystemMetrics(SM_CXEDGE);
}

class SettingsDialog : public DialogTest {};

TEST_F(SettingsDialog, OpensOnTheSettingsTabWithTheOtherPagesHiddenAndEndsWithoutThem)
{
    Open();
    HWND tabs = Tabs();
    ASSERT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 4);
    EXPECT_EQ((Texts{TabText(tabs, 0), TabText(tabs, 1), TabText(tabs, 2), TabText(tabs, 3)}),
              (Texts{L"Settings", L"Statistics", L"Events", L"About"}));
    EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(TextOf(Dialog()), L"Lumistamp");

    // Children of the dialog itself, each holding its own controls.
    const int ownControl[PageCount] = {IDC_FOLDER_LIST, IDC_FOLDERS_MONITORED, IDC_EVENT_LIST,
                                       IDC_ABOUT_TEXT};
    for (int index = 0; index < PageCount; ++index) {
        ASSERT_NE(PageWindows[index], nullptr) << "page " << index;
        EXPECT_EQ(GetParent(PageWindows[index]), Dialog()) << "page " << index;
        EXPECT_NE(PageControl(index, ownControl[index]), nullptr) << "page " << index;
    }
    EXPECT_EQ(VisiblePages(), std::set<int>{SettingsPage});

    Click(run->Control(IDCANCEL));
    EXPECT_EQ(run->WaitForEnd(), IDCANCEL);
    for (HWND page : PageWindows)
        EXPECT_EQ(page, nullptr);
    EXPECT_TRUE(HistoryLines().empty());
}

TEST_F(SettingsDialog, EachSelectedTabShowsExactlyItsOwnPage)
{
    Open();
    for (int tab : {StatisticsPage, EventsPage, AboutPage, SettingsPage, AboutPage, EventsPage}) {
        Select(tab);
        EXPECT_EQ(SendMessageW(Tabs(), TCM_GETCURSEL, 0, 0), tab);
        EXPECT_EQ(VisiblePages(), std::set<int>{tab}) << "after selecting tab " << tab;
    }
}

TEST_F(SettingsDialog, EventsTabIsRefilledAtEverySelectionOldestFirst)
{
    // The extent follows the line with the most characters, the first of
    // equals, however wide other lines render.
    LogEvent(std::wstring(40, L'W').c_str());
    LogEvent(std::wstring(60, L'i').c_str());
    LogEvent(std::wstring(60, L'M').c_str());
    LogEvent(L"short");
    Texts logged = HistoryLines();

    Open();
    HWND list = PageControl(EventsPage, IDC_EVENT_LIST);
    EXPECT_TRUE(ListTexts(list).empty()) << "filled only when its tab is selected";

    Select(EventsPage);
    EXPECT_EQ(ListTexts(list), logged);
    EXPECT_EQ(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0), ExpectedExtent(list, logged[1]));

    // Lines logged while the page is on screen wait for the next selection; a
    // selection of another tab leaves the list alone.
    LogEvent(std::wstring(80, L'x').c_str());
    LogEvent(L"last");
    EXPECT_EQ(ListTexts(list), logged);
    Select(StatisticsPage);
    EXPECT_EQ(ListTexts(list), logged);

    Select(EventsPage);
    logged = HistoryLines();
    ASSERT_EQ(logged.size(), 6u);
    EXPECT_EQ(ListTexts(list), logged);
    EXPECT_EQ(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0), ExpectedExtent(list, logged[4]));
}

// ---------------------------------------------------------------- pages that cannot be created

const wchar_t CannotCreateTab[] = L"Cannot create Tab in Settings Dialog!";

// What the platform reports for a page that is not there (Windows and Wine
// differ), taken the way the code under test takes it.
int CodeOfMissingPage()
{
    DestroyWindow(nullptr);
    return static_cast<int>(GetLastError());
}

TEST_F(SettingsDialog, WithoutTheSettingsPageOkSavesNothingAndLeavesTheMonitorsRunning)
{
    // A running program's state: its options stored, its entry in the Run
    // key, one monitor running.
    ScratchFolder watched;
    SetDword(ProgramKey, L"Autostart", 1);
    SetDword(ProgramKey, L"LogFile", 0);
    SetDword(ProgramKey, L"FileModifiedDate", 1);
    SetText(ProgramKey, L"Folders", REG_MULTI_SZ, watched.Path() + L'\0' + L'\0');
    const std::wstring entry = L"\"Z:\\Program Files\\Lumistamp\\Lumistamp.exe\"";
    SetText(RunKey, AutostartName, REG_SZ, entry + L'\0');
    Settings.Autostart = 1;
    Settings.LogFile = 0;
    Settings.FileModifiedDate = 1;
    Settings.Folders = {watched.Path()};
    StartMonitors();
    ASSERT_TRUE(PollUntil([] { return Statistics.FoldersMonitored == 1; }, 20000));
    HANDLE stopEvent = StopEvent;
    HANDLE monitor = MonitorThreads[0];
    ClearEventHistory();

    Open({SettingsPage});
    ASSERT_TRUE(WaitForCapturedBoxes(1, 10000));
    EXPECT_EQ(TakeBoxTexts(), Texts{CannotCreateTab});
    EXPECT_EQ(PageWindows[SettingsPage], nullptr);
    EXPECT_TRUE(VisiblePages().empty());

    ClickLater(run->Control(IDOK));
    EXPECT_EQ(run->WaitForEnd(), IDOK);
    EXPECT_TRUE(TakeBoxTexts().empty());

    EXPECT_EQ(Settings.Autostart.load(), 1u);
    EXPECT_EQ(Settings.FileModifiedDate.load(), 1u);
    EXPECT_EQ(Settings.Folders, std::list<std::wstring>{watched.Path()});
    EXPECT_EQ(Value(ProgramKey, L"Autostart").bytes, DwordBytes(1));
    EXPECT_EQ(Value(ProgramKey, L"FileModifiedDate").bytes, DwordBytes(1));
    EXPECT_EQ(Value(ProgramKey, L"Folders").bytes, BytesOf(watched.Path() + L'\0' + L'\0'));
    EXPECT_EQ(Value(RunKey, AutostartName).bytes, BytesOf(entry + L'\0'));

    // The same set of monitors, never stopped.
    EXPECT_EQ(StopEvent, stopEvent);
    EXPECT_EQ(WaitForSingleObject(StopEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(MonitorThreads[0], monitor);
    EXPECT_EQ(WaitForSingleObject(monitor, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(Statistics.FoldersMonitored, 1);

    // No folder line and no save: only the page that never existed, which
    // cannot be destroyed either (a line, no box).
    EXPECT_EQ(LoggedTexts(), (Texts{CannotCreateTab, WithCode(L"Cannot destroy Tab 0, Error %d",
                                                              CodeOfMissingPage())}));
}

TEST_F(SettingsDialog, PagesThatCannotBeCreatedAreReportedOnceAndTheOthersStayReachable)
{
    Open({StatisticsPage, AboutPage});
    ASSERT_TRUE(WaitForCapturedBoxes(1, 10000));
    EXPECT_EQ(TakeBoxTexts(), Texts{CannotCreateTab});
    EXPECT_EQ(LoggedTexts(), Texts{CannotCreateTab});
    EXPECT_TRUE(VisiblePages().empty()) << "no page is shown after the failure";

    Select(EventsPage);
    EXPECT_EQ(VisiblePages(), std::set<int>{EventsPage});
    Select(SettingsPage);
    EXPECT_EQ(VisiblePages(), std::set<int>{SettingsPage});
    Select(StatisticsPage);
    EXPECT_TRUE(VisiblePages().empty());

    Click(run->Control(IDCANCEL));
    EXPECT_EQ(run->WaitForEnd(), IDCANCEL);
    std::wstring code = std::to_wstring(CodeOfMissingPage());
    EXPECT_EQ(LoggedTexts(), (Texts{CannotCreateTab, L"Cannot destroy Tab 1, Error " + code,
                                    L"Cannot destroy Tab 3, Error " + code}));
}

}  // namespace
