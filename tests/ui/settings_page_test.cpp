// The Settings page and what OK and Cancel make of it: the record shown in the
// controls, the folder picker, deleting, and the ten OK steps against the
// registry and the monitors.
#include <algorithm>
#include <list>

#include "events/event_history.h"
#include "settings/companions.h"
#include "settings/settings_store.h"
#include "tests/monitor/monitor_fixture.h"
#include "tests/support/message_box_catcher.h"
#include "tests/ui/dialog_fixture.h"
#include "ui/settings_dialog.h"

namespace {

using Texts = std::vector<std::wstring>;

const wchar_t QueryingFolders[] = L"Querying the following folder(s):";

class SettingsPageTest : public DialogTest {
protected:
    HWND Box(int id) const { return PageControl(SettingsPage, id); }
    HWND FolderList() const { return Box(IDC_FOLDER_LIST); }

    // Add Folder, then the picker answered with the path (or cancelled).
    void AddThroughPicker(const std::wstring* path)
    {
        LRESULT before = SendMessageW(FolderList(), LB_GETCOUNT, 0, 0);
        ClickLater(Box(IDC_ADD_FOLDER));
        HWND picker =
            WaitForTopWindow(GetCurrentProcessId(), run->ThreadId(), IsFolderPicker, 20000);
        ASSERT_NE(picker, nullptr) << "the folder picker did not open";
        EXPECT_TRUE(HasChildWithText(picker, L"Browse for folder to monitor in..."));
        if (path) {
            ASSERT_TRUE(PickInFolderPicker(picker, *path));
            ASSERT_TRUE(PollUntil(
                [&] { return SendMessageW(FolderList(), LB_GETCOUNT, 0, 0) == before + 1; }, 10000))
                << "nothing added for " << testing::PrintToString(*path);
        } else {
            ASSERT_TRUE(CancelFolderPicker(picker));
            // The page is back in the dialog's loop once it answers.
            SendMessageW(PageWindows[SettingsPage], WM_NULL, 0, 0);
        }
    }

    // A folder that a monitor scans once per start: it holds an undated picture.
    std::wstring WatchedFolder(const std::wstring& name)
    {
        std::wstring path = scratch / name;
        EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
        PutMarker(path);
        return path;
    }

    // Stored settings as a previous run left them, loaded and watched as at
    // start-up; the start-up lines are then cleared.
    void StartAsProgram(DWORD autostart, DWORD logFile, DWORD fileModifiedDate,
                        const Texts& folders)
    {
        SetDword(ProgramKey, L"Autostart", autostart);
        SetDword(ProgramKey, L"LogFile", logFile);
        SetDword(ProgramKey, L"FileModifiedDate", fileModifiedDate);
        std::wstring list;
        for (const std::wstring& folder : folders)
            list += folder + L'\0';
        SetText(ProgramKey, L"Folders", REG_MULTI_SZ, list + L'\0');
        LoadSettings();
        StartMonitors();
        int count = static_cast<int>(folders.size());
        ASSERT_TRUE(PollUntil([count] { return Statistics.FoldersMonitored == count; }, 20000));
        ClearEventHistory();
    }

    ScratchFolder scratch;
};

// ---------------------------------------------------------------- the record shown

struct ShownRecord {
    const char* name;
    uint32_t autostart, logFile, fileModifiedDate;
    Texts folders;
    Texts listed;
};

void PrintTo(const ShownRecord& c, std::ostream* os) { *os << c.name; }

class SettingsPageShows : public SettingsPageTest,
                          public testing::WithParamInterface<ShownRecord> {};

TEST_P(SettingsPageShows, TheOptionsAndTheFoldersSortedIgnoringCase)
{
    const ShownRecord& c = GetParam();
    Settings.Autostart = c.autostart;
    Settings.LogFile = c.logFile;
    Settings.FileModifiedDate = c.fileModifiedDate;
    Settings.Folders.assign(c.folders.begin(), c.folders.end());

    Open();
    EXPECT_EQ(IsChecked(Box(IDC_AUTOSTART)), c.autostart != 0);
    EXPECT_EQ(IsChecked(Box(IDC_LOG_FILE)), c.logFile != 0);
    EXPECT_EQ(IsChecked(Box(IDC_FILE_MODIFIED_DATE)), c.fileModifiedDate != 0);
    EXPECT_EQ(ListTexts(FolderList()), c.listed);
}

INSTANTIATE_TEST_SUITE_P(
    Records, SettingsPageShows,
    testing::Values(ShownRecord{"first_and_last_on",
                                1,
                                0,
                                1,
                                {L"Z:\\pictures\\beta", L"z:\\Pictures\\alpha", L"C:\\",
                                 L"Z:\\PICTURES\\Gamma", L"Z:\\pictures\\beta"},
                                {L"C:\\", L"z:\\Pictures\\alpha", L"Z:\\pictures\\beta",
                                 L"Z:\\pictures\\beta", L"Z:\\PICTURES\\Gamma"}},
                    ShownRecord{"middle_on_no_folders", 0, 1, 0, {}, {}}),
    [](const testing::TestParamInfo<ShownRecord>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- editing the list

TEST_F(SettingsPageTest, AddFolderTakesWhatThePickerReturnsAndNothingWhenCancelled)
{
    std::wstring beta = WatchedFolder(L"beta");
    std::wstring alpha = WatchedFolder(L"Alpha");
    Settings.Folders = {beta};
    Open();

    AddThroughPicker(&alpha);
    EXPECT_EQ(ListTexts(FolderList()), (Texts{alpha, beta})) << "at its sorted place";
    AddThroughPicker(&beta);
    EXPECT_EQ(ListTexts(FolderList()), (Texts{alpha, beta, beta})) << "a duplicate is added again";
    AddThroughPicker(nullptr);
    EXPECT_EQ(ListTexts(FolderList()), (Texts{alpha, beta, beta})) << "cancelled";

    wchar_t drive[8] = {};
    if (GetEnvironmentVariableW(L"LUMISTAMP_TEST_DRIVE", drive, ARRAYSIZE(drive))) {
        std::wstring root = std::wstring(drive) + L"\\";
        AddThroughPicker(&root);
        Texts listed = ListTexts(FolderList());
        EXPECT_NE(std::find(listed.begin(), listed.end(), root), listed.end())
            << "a drive's root keeps its backslash";
    }
}

TEST_F(SettingsPageTest, DeleteFolderRemovesTheSelectedEntryAndNothingWithoutOne)
{
    Settings.Folders = {L"Z:\\c", L"Z:\\a", L"Z:\\b"};
    Open();
    HWND list = FolderList();

    Click(Box(IDC_DELETE_FOLDER));
    EXPECT_EQ(ListTexts(list), (Texts{L"Z:\\a", L"Z:\\b", L"Z:\\c"})) << "nothing selected";

    SendMessageW(list, LB_SETCURSEL, 1, 0);
    Click(Box(IDC_DELETE_FOLDER));
    EXPECT_EQ(ListTexts(list), (Texts{L"Z:\\a", L"Z:\\c"}));
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR) << "none selected afterwards";

    Click(Box(IDC_DELETE_FOLDER));
    EXPECT_EQ(ListTexts(list), (Texts{L"Z:\\a", L"Z:\\c"})) << "a second click does nothing";
}

// ---------------------------------------------------------------- OK

TEST_F(SettingsPageTest, OkStoresThePageLogsTheFoldersAndRestartsEveryMonitor)
{
    std::wstring beta = WatchedFolder(L"beta");
    std::wstring alpha = WatchedFolder(L"Alpha");
    std::wstring gamma = WatchedFolder(L"gamma");
    StartAsProgram(0, 0, 0, {gamma, beta});
    HANDLE oldMonitor = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), MonitorThreads[0], GetCurrentProcess(),
                                &oldMonitor, SYNCHRONIZE, FALSE, 0));
    ASSERT_TRUE(PollUntil([] { return Statistics.FoldersMonitored == 2; }, 20000));
    // From here on only the new set's scans count.
    MonitorScanCounts::Clear();

    Open();
    Click(Box(IDC_AUTOSTART));
    AddThroughPicker(&alpha);
    SendMessageW(FolderList(), LB_SETCURSEL, 2, 0);  // gamma
    Click(Box(IDC_DELETE_FOLDER));
    // An entry without text is dropped.
    SendMessageW(FolderList(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L""));

    ClickLater(run->Control(IDOK));
    EXPECT_EQ(run->WaitForEnd(), IDOK);
    for (HWND page : PageWindows)
        EXPECT_EQ(page, nullptr);

    EXPECT_EQ(Settings.Autostart.load(), 1u);
    EXPECT_EQ(Settings.LogFile.load(), 0u);
    EXPECT_EQ(Settings.FileModifiedDate.load(), 0u);
    EXPECT_EQ(Settings.Folders, (std::list<std::wstring>{alpha, beta}));

    EXPECT_EQ(Value(ProgramKey, L"Autostart").bytes, DwordBytes(1));
    EXPECT_EQ(Value(ProgramKey, L"LogFile").bytes, DwordBytes(0));
    EXPECT_EQ(Value(ProgramKey, L"FileModifiedDate").bytes, DwordBytes(0));
    EXPECT_EQ(Value(ProgramKey, L"Folders").bytes, BytesOf(alpha + L'\0' + beta + L'\0' + L'\0'));
    EXPECT_TRUE(Value(RunKey, AutostartName).present);

    // The old set has ended; the new one scanned every folder once more.
    EXPECT_EQ(WaitForSingleObject(oldMonitor, 0), WAIT_OBJECT_0);
    CloseHandle(oldMonitor);
    ASSERT_TRUE(PollUntil([] { return Statistics.FoldersMonitored == 2; }, 20000));
    EXPECT_EQ(MonitorScanCounts::Of(alpha + L"\\"), 1);
    EXPECT_EQ(MonitorScanCounts::Of(beta + L"\\"), 1);
    EXPECT_EQ(MonitorScanCounts::Of(gamma + L"\\"), 0);
    Texts logged = LoggedTexts();
    ASSERT_GE(logged.size(), 3u);
    EXPECT_EQ(Texts(logged.begin(), logged.begin() + 3), (Texts{QueryingFolders, alpha, beta}));
}

TEST_F(SettingsPageTest, OkWithAnEmptyListEmptiesTheFoldersAndStartsNoMonitor)
{
    std::wstring only = WatchedFolder(L"only");
    StartAsProgram(0, 1, 0, {only});
    Open();
    SendMessageW(FolderList(), LB_SETCURSEL, 0, 0);
    Click(Box(IDC_DELETE_FOLDER));
    Click(Box(IDC_LOG_FILE));
    Click(Box(IDC_FILE_MODIFIED_DATE));

    ClickLater(run->Control(IDOK));
    EXPECT_EQ(run->WaitForEnd(), IDOK);
    EXPECT_EQ(Settings.LogFile.load(), 0u);
    EXPECT_EQ(Settings.FileModifiedDate.load(), 1u);
    EXPECT_TRUE(Settings.Folders.empty());
    EXPECT_EQ(LoggedTexts(), Texts{QueryingFolders});
    EXPECT_EQ(Statistics.FoldersMonitored, 0);
    EXPECT_TRUE(std::all_of(std::begin(MonitorThreads), std::end(MonitorThreads),
                            [](HANDLE thread) { return thread == nullptr; }));
    EXPECT_EQ(Value(ProgramKey, L"Folders").bytes, BytesOf(std::wstring(2, L'\0')));
    EXPECT_EQ(Value(ProgramKey, L"LogFile").bytes, DwordBytes(0));
    EXPECT_EQ(Value(ProgramKey, L"FileModifiedDate").bytes, DwordBytes(1));
}

// The edit box shows the list; an untouched box leaves an absent value
// absent, a typed one is stored and used at once, Cancel keeps what was.
TEST_F(SettingsPageTest, CompanionsAreShownStoredByOkAndKeptByCancel)
{
    StartAsProgram(0, 0, 0, {});
    auto text = [this] {
        wchar_t shown[64] = {};
        GetWindowTextW(Box(IDC_COMPANIONS), shown, 64);
        return std::wstring(shown);
    };
    Open();
    EXPECT_EQ(text(), L"NEF");
    ClickLater(run->Control(IDOK));
    EXPECT_EQ(run->WaitForEnd(), IDOK);
    EXPECT_FALSE(Value(ProgramKey, L"Companions").present);
    EXPECT_FALSE(CurrentCompanions()->fromSetting);

    run.reset();  // each run of the dialog ends before the next one starts
    Open();
    SendMessageW(Box(IDC_COMPANIONS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"CR2;xmp"));
    ClickLater(run->Control(IDOK));
    EXPECT_EQ(run->WaitForEnd(), IDOK);
    EXPECT_EQ(Value(ProgramKey, L"Companions").bytes, BytesOf(std::wstring(L"CR2;xmp") + L'\0'));
    EXPECT_EQ(CurrentCompanions()->extensions, Texts{L"CR2"});
    EXPECT_TRUE(CurrentCompanions()->sidecars);

    run.reset();
    Open();
    EXPECT_EQ(text(), L"CR2;xmp");
    SendMessageW(Box(IDC_COMPANIONS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"ARW"));
    Click(run->Control(IDCANCEL));
    EXPECT_EQ(run->WaitForEnd(), IDCANCEL);
    EXPECT_EQ(Settings.Companions, L"CR2;xmp");
    EXPECT_EQ(Value(ProgramKey, L"Companions").bytes, BytesOf(std::wstring(L"CR2;xmp") + L'\0'));
    EXPECT_EQ(CurrentCompanions()->extensions, Texts{L"CR2"});
    UseCompanions(nullptr);
}

// The opt-in boxes (HEIF pictures, videos): unticked and untouched, OK leaves
// the value absent (as every run before the option); ticked, OK stores and
// uses it, and only it; Cancel keeps what was; unticked again, OK stores the 0.
struct OptInBox {
    int id;
    const wchar_t* valueName;
    std::atomic<uint32_t> SettingsRecord::*option;
};

TEST_F(SettingsPageTest, OptInBoxesAreShownStoredByOkAndKeptByCancel)
{
    const OptInBox boxes[] = {{IDC_HEIF_PICTURES, L"HeifPictures", &SettingsRecord::HeifPictures},
                              {IDC_VIDEO_FILES, L"VideoFiles", &SettingsRecord::VideoFiles}};
    StartAsProgram(0, 0, 0, {});
    for (const OptInBox& box : boxes) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(box.valueName)));
        const OptInBox& other = &box == &boxes[0] ? boxes[1] : boxes[0];
        run.reset();
        Open();
        EXPECT_FALSE(IsChecked(Box(box.id)));
        ClickLater(run->Control(IDOK));
        EXPECT_EQ(run->WaitForEnd(), IDOK);
        EXPECT_FALSE(Value(ProgramKey, box.valueName).present);

        run.reset();
        Open();
        Click(Box(box.id));
        ClickLater(run->Control(IDOK));
        EXPECT_EQ(run->WaitForEnd(), IDOK);
        EXPECT_EQ((Settings.*box.option).load(), 1u);
        EXPECT_EQ(Value(ProgramKey, box.valueName).bytes, DwordBytes(1));
        EXPECT_EQ((Settings.*other.option).load(), 0u);

        run.reset();
        Open();
        EXPECT_TRUE(IsChecked(Box(box.id)));
        EXPECT_FALSE(IsChecked(Box(other.id)));
        Click(Box(box.id));
        Click(run->Control(IDCANCEL));
        EXPECT_EQ(run->WaitForEnd(), IDCANCEL);
        EXPECT_EQ((Settings.*box.option).load(), 1u);
        EXPECT_EQ(Value(ProgramKey, box.valueName).bytes, DwordBytes(1));

        run.reset();
        Open();
        Click(Box(box.id));
        ClickLater(run->Control(IDOK));
        EXPECT_EQ(run->WaitForEnd(), IDOK);
        EXPECT_EQ((Settings.*box.option).load(), 0u);
        EXPECT_EQ(Value(ProgramKey, box.valueName).bytes, DwordBytes(0));
    }
}

// ---------------------------------------------------------------- Cancel, Escape, close box, Exit

// Exit from the tray menu ends an open dialog with CancelSettingsDialog, on the
// program's one user-interface thread; here it is called from the test's
// thread, and its message reaches the dialog's thread all the same.
enum class Dismissal { CancelButton, EscapeKey, CloseBox, ExitWhileOpen };

struct DismissCase {
    const char* name;
    Dismissal how;
};

void PrintTo(const DismissCase& c, std::ostream* os) { *os << c.name; }

class DismissingTheDialog : public SettingsPageTest,
                            public testing::WithParamInterface<DismissCase> {
protected:
    void Dismiss(Dismissal how)
    {
        switch (how) {
        case Dismissal::CancelButton:
            Click(run->Control(IDCANCEL));
            break;
        case Dismissal::EscapeKey: {
            // The key goes to the window with the focus, as typed.
            GUITHREADINFO thread = {};
            thread.cbSize = sizeof(thread);
            GetGUIThreadInfo(run->ThreadId(), &thread);
            HWND target = thread.hwndFocus ? thread.hwndFocus : run->Control(IDOK);
            PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
            break;
        }
        case Dismissal::CloseBox:
            PostMessageW(Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case Dismissal::ExitWhileOpen:
            CancelSettingsDialog();
            break;
        }
    }
};

TEST_P(DismissingTheDialog, DiscardsThePageAndLeavesRecordRegistryAndMonitorsAlone)
{
    std::wstring kept = WatchedFolder(L"kept");
    std::wstring added = WatchedFolder(L"added");
    StartAsProgram(1, 0, 1, {kept});
    HANDLE monitor = MonitorThreads[0];
    RawValue storedFolders = Value(ProgramKey, L"Folders");

    Open();
    Click(Box(IDC_AUTOSTART));
    Click(Box(IDC_LOG_FILE));
    AddThroughPicker(&added);
    SendMessageW(FolderList(), LB_SETCURSEL, 1, 0);  // kept
    Click(Box(IDC_DELETE_FOLDER));
    ASSERT_EQ(ListTexts(FolderList()), Texts{added});

    Dismiss(GetParam().how);
    EXPECT_EQ(run->WaitForEnd(), IDCANCEL);
    for (HWND page : PageWindows)
        EXPECT_EQ(page, nullptr);
    CancelSettingsDialog();  // with no dialog open: nothing

    EXPECT_EQ(Settings.Autostart.load(), 1u);
    EXPECT_EQ(Settings.LogFile.load(), 0u);
    EXPECT_EQ(Settings.FileModifiedDate.load(), 1u);
    EXPECT_EQ(Settings.Folders, std::list<std::wstring>{kept});
    EXPECT_EQ(Value(ProgramKey, L"Autostart").bytes, DwordBytes(1));
    EXPECT_EQ(Value(ProgramKey, L"LogFile").bytes, DwordBytes(0));
    EXPECT_EQ(Value(ProgramKey, L"Folders").bytes, storedFolders.bytes);
    EXPECT_FALSE(Value(RunKey, AutostartName).present);

    EXPECT_EQ(MonitorThreads[0], monitor);
    EXPECT_EQ(WaitForSingleObject(monitor, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(StopEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(Statistics.FoldersMonitored, 1);
    EXPECT_TRUE(LoggedTexts().empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, DismissingTheDialog,
                         testing::Values(DismissCase{"cancel_button", Dismissal::CancelButton},
                                         DismissCase{"escape_key", Dismissal::EscapeKey},
                                         DismissCase{"close_box", Dismissal::CloseBox},
                                         DismissCase{"exit_while_open", Dismissal::ExitWhileOpen}),
                         [](const testing::TestParamInfo<DismissCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
