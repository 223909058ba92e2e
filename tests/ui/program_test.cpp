// The settings dialog in the real Lumistamp.exe, reached through its tray menu
// as a user reaches it, and watched from outside: its windows, its registry
// key and the folder it renames pictures in.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/app/program_driver.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/message_box_catcher.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/window_driver.h"

namespace {

using Texts = std::vector<std::wstring>;

const wchar_t RunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
int CountSettingsDialogs(DWORD processId)
{
    struct Search {
        DWORD processId;
        int count;
    } search{processId, 0};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* s = reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId && IsWindowVisible(window) && IsSettingsDialog(window))
                ++s->count;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.count;
}

// The page of the dialog that holds the control.
HWND PageWith(HWND dialog, int controlId)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == L"#32770" && GetDlgItem(child, controlId))
            return child;
    return nullptr;
}

Texts WithoutStamps(const Texts& lines)
{
    Texts texts;
    for (const std::wstring& line : lines)
        texts.push_back(line.size() >= 20 ? line.substr(20) : line);
    return texts;
}

bool Contains(const Texts& texts, const std::wstring& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

DWORD StoredOption(const wchar_t* name)
{
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof(value);
    RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\KX-Lumistamp", name, RRF_RT_REG_DWORD, nullptr,
                 &value, &size);
    return value;
}

std::wstring StoredFolders()
{
    wchar_t list[4096] = {};
    DWORD size = sizeof(list) - sizeof(wchar_t);
    RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\KX-Lumistamp", L"Folders", RRF_RT_REG_MULTI_SZ,
                 nullptr, list, &size);
    return std::wstring(list, size / sizeof(wchar_t));
}

bool AutostartEntryExists()
{
    return RegGetValueW(HKEY_CURRENT_USER, RunKey, L"KX_Lumistamp", RRF_RT_ANY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

class ProgramDialog : public testing::Test {
protected:
    // The program reads the user's own key: kept and put back, on Windows too.
    void SetUp() override
    {
        saved = SaveProgramRegistry();
        ResetProgramKey();
        RegDeleteKeyValueW(HKEY_CURRENT_USER, RunKey, L"KX_Lumistamp");
    }
    void TearDown() override
    {
        EndProgram(program);
        RestoreProgramRegistry(saved);
    }

    // Starts the program and opens its settings dialog through the tray menu.
    void StartAndOpenSettings()
    {
        program = StartProgram(runFolder.Path());
        ASSERT_NE(program.process, nullptr);
        CatchBoxesOfProcess(program.processId);
        mainWindow = WaitForMainWindow(program.processId, 30000);
        ASSERT_NE(mainWindow, nullptr);
        OpenSettings();
    }

    void OpenSettings()
    {
        ASSERT_TRUE(ChooseFromTrayMenu(mainWindow, program.processId, 1));
        dialog = WaitForTopWindow(program.processId, 0, IsSettingsDialog, 15000);
        ASSERT_NE(dialog, nullptr) << "Settings... opened no dialog";
    }

    void CloseDialogWith(int button)
    {
        ClickLater(GetDlgItem(dialog, button));
        ASSERT_TRUE(PollUntil([this] { return !IsWindow(dialog); }, 60000));
    }

    void ExitThroughTrayMenu()
    {
        ASSERT_TRUE(ChooseFromTrayMenu(mainWindow, program.processId, 2));
        EXPECT_EQ(WaitForExit(program, 15000), 0u);
    }

    SavedProgramRegistry saved;
    ScratchFolder runFolder;
    RunningProgram program;
    HWND mainWindow = nullptr;
    HWND dialog = nullptr;
};

TEST_F(ProgramDialog, AFolderAddedInSettingsIsWatchedAndItsRenameShowsOnTheEventsTab)
{
    ScratchFolder watched;
    StartAndOpenSettings();

    // The About page carries the version of the program's own version block.
    SelectTab(GetDlgItem(dialog, IDC_TABS), 3);
    std::wstring about = TextOf(GetDlgItem(PageWith(dialog, IDC_ABOUT_TEXT), IDC_ABOUT_TEXT));
    EXPECT_EQ(about.substr(0, 24), L"Lumistamp\r\nVersion 2.2\r\n");

    SelectTab(GetDlgItem(dialog, IDC_TABS), 0);
    HWND settingsPage = PageWith(dialog, IDC_FOLDER_LIST);
    ASSERT_NE(settingsPage, nullptr);
    ClickLater(GetDlgItem(settingsPage, IDC_ADD_FOLDER));
    HWND picker = WaitForTopWindow(program.processId, 0, IsFolderPicker, 15000);
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(PickInFolderPicker(picker, watched.Path()));
    HWND folders = GetDlgItem(settingsPage, IDC_FOLDER_LIST);
    ASSERT_TRUE(PollUntil([&] { return ListTexts(folders) == Texts{watched.Path()}; }, 10000));
    CloseDialogWith(IDOK);
    EXPECT_EQ(StoredFolders(), watched.Path() + L'\0' + L'\0');

    ASSERT_TRUE(WriteFileBytes(watched / L"DSC_0042.JPG",
                               JpegWithDate(TagDateTimeOriginal, "2023:04:01 07:29:26")));
    EXPECT_TRUE(PollUntil([&] { return PathExists(watched / L"20230401_072926.JPG"); }, 20000));

    OpenSettings();
    HWND events = GetDlgItem(PageWith(dialog, IDC_EVENT_LIST), IDC_EVENT_LIST);
    EXPECT_TRUE(ListTexts(events).empty());
    SelectTab(GetDlgItem(dialog, IDC_TABS), 2);
    Texts lines = WithoutStamps(ListTexts(events));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), L"Starting Lumistamp");
    auto querying = std::find(lines.begin(), lines.end(), L"Querying the following folder(s):");
    ASSERT_NE(querying, lines.end());
    ASSERT_NE(querying + 1, lines.end());
    EXPECT_EQ(*(querying + 1), watched.Path());
    std::wstring renamed = L"Renamed " + watched.Path() + L"\\DSC_0042.JPG to 20230401_072926.JPG";
    EXPECT_TRUE(Contains(lines, renamed)) << testing::PrintToString(lines);

    CloseDialogWith(IDCANCEL);
    ExitThroughTrayMenu();
    EXPECT_TRUE(TakeCapturedBoxes().empty());
}

TEST_F(ProgramDialog, SettingsWhileOpenIsIgnoredAndExitEndsTheProgramAsCancelWould)
{
    // The log file holds what the program logs, also after Exit has emptied
    // the history and while a box may vanish before it is seen.
    if (!RunningUnderWine())
        GTEST_SKIP() << "writes the program's log file into this user's own local "
                        "application data folder: runs only in a throwaway Wine prefix";
    RemoveTree(ProgramLogFolder());
    WriteOption(L"Autostart", 0);
    WriteOption(L"LogFile", 1);
    StartAndOpenSettings();
    HWND settingsPage = PageWith(dialog, IDC_FOLDER_LIST);
    Click(GetDlgItem(settingsPage, IDC_AUTOSTART));
    ASSERT_TRUE(IsChecked(GetDlgItem(settingsPage, IDC_AUTOSTART)));

    // The menu still opens; its "Settings..." does nothing. The program answers
    // only once it is back in the dialog's loop.
    ASSERT_TRUE(ChooseFromTrayMenu(mainWindow, program.processId, 1));
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(mainWindow, WM_NULL, 0, 0, SMTO_NORMAL, 15000, &answer));
    EXPECT_EQ(CountSettingsDialogs(program.processId), 1);
    EXPECT_TRUE(IsWindow(dialog));

    // Exit with the dialog open: the dialog ends as Cancel ends it, nothing is
    // applied, no failure is reported, and the program ends with 0.
    ExitThroughTrayMenu();
    EXPECT_EQ(StoredOption(L"Autostart"), 0u);
    EXPECT_FALSE(AutostartEntryExists());
    EXPECT_TRUE(TakeCapturedBoxes().empty());
    // No line at all: no failure, no folder list of an OK, no lost page.
    EXPECT_EQ(ReadFileText(ProgramLogPath()), "");
}

}  // namespace
