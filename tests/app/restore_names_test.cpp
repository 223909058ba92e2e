// The real Lumistamp.exe renames a folder of pictures named by hand, with
// their raw files and sidecars, that was watched by mistake: "Restore original
// names…" on the Events list gives every name back, and the monitor leaves
// them so for two minutes and after a restart; new pictures restored from the
// command line, handed to the running program, come back the same way; the
// second watched folder stays as the program named it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/app/card_copy_run.h"
#include "tests/app/program_driver.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/message_box_catcher.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/window_driver.h"

namespace {

using Names = std::vector<std::wstring>;
using Contents = std::map<std::wstring, std::vector<uint8_t>>;

constexpr int Pictures = 200;
constexpr DWORD RenameLimitMs = 90000;
constexpr DWORD LeftAloneMs = 120000;

std::wstring Numbered(const wchar_t* prefix, int number, const wchar_t* extension)
{
    std::wstring digits = std::to_wstring(1000 + number).substr(1);
    return prefix + digits + extension;
}

// Pictures named by hand, each with a raw file and a sidecar of its own bytes,
// a second apart from first.
Contents PutPictures(const std::wstring& folder, const wchar_t* prefix, int count, int first)
{
    Contents contents;
    for (int i = 1; i <= count; ++i) {
        int second = first + i;
        char date[32];
        snprintf(date, sizeof(date), "2023:04:01 %02d:%02d:%02d", 10 + second / 3600,
                 second / 60 % 60, second % 60);
        contents[Numbered(prefix, i, L".jpg")] = JpegWithDate(TagDateTimeOriginal, date);
        contents[Numbered(prefix, i, L".NEF")] = {'r', 'a', 'w', static_cast<uint8_t>(i),
                                                  static_cast<uint8_t>(first)};
        contents[Numbered(prefix, i, L".xmp")] = {'<', 'x', static_cast<uint8_t>(i), '/', '>'};
    }
    for (const auto& [name, bytes] : contents)
        WriteFileBytes(folder + L"\\" + name, bytes);
    return contents;
}

Names NamesOf(const Contents& contents)
{
    Names names;
    for (const auto& entry : contents)
        names.push_back(entry.first);
    std::sort(names.begin(), names.end());
    return names;
}

// Every name a stamp: the program renamed all of them.
bool AllRenamed(const std::wstring& folder, size_t count)
{
    Names names = ListFolder(folder);
    return names.size() == count && std::all_of(names.begin(), names.end(), [](const auto& n) {
               return n.compare(0, 4, L"2023") == 0;
           });
}

bool HoldsExactly(const std::wstring& folder, const Contents& contents)
{
    if (ListFolder(folder) != NamesOf(contents))
        return false;
    for (const auto& [name, bytes] : contents)
        if (ReadFileBytes(folder + L"\\" + name) != bytes)
            return false;
    return true;
}

HWND FindChildById(HWND parent, int id, const wchar_t* className)
{
    struct Search {
        int id;
        const wchar_t* className;
        HWND found;
    } search = {id, className, nullptr};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            Search* s = reinterpret_cast<Search*>(data);
            if (GetDlgCtrlID(child) == s->id && ClassOf(child) == s->className) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs `Lumistamp.exe /restore "folder"` to its end with its standard output
// sent to a file; its exit code and the lines it wrote.
DWORD RunRestoreCommand(const std::wstring& folder, std::vector<std::string>* lines)
{
    ScratchFolder outFolder;
    std::wstring outPath = outFolder / L"out.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + ProgramPath() + L"\" /restore \"" + folder + L"\"";
    BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &process);
    CloseHandle(out);
    if (!started)
        return GetLastError();
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &exitCode);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::string text = ReadFileText(outPath);
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines->push_back(text.substr(at, end - at));
    return exitCode;
}

class RestoreNames : public CardCopyRun<int> {
protected:
    void SetUp() override
    {
        CardCopyRun::SetUp();
        if (IsSkipped())
            return;
        WriteFolders(wedding.Path() + L'\0' + other.Path() + L'\0');
        WriteTextOption(L"Companions", L"NEF XMP");
    }
    void Restart(HWND* window)
    {
        ExitThroughTrayMenu(*window);
        CloseHandle(program.process);
        *window = StartWatching();
    }
    // Settings..., the Events tab, the list's right-click menu, then the
    // Restore dialog with the folder's line chosen and "All"; Restore.
    void RestoreFromDialog(HWND window, const std::wstring& folder)
    {
        ASSERT_TRUE(ChooseFromTrayMenu(window, program.processId, 1)) << "no tray menu";
        HWND settings = WaitForTopWindow(program.processId, 0, IsSettingsDialog, 15000);
        ASSERT_NE(settings, nullptr) << "no settings dialog";
        SelectTab(GetDlgItem(settings, 1000), 2);
        HWND list = FindChildById(settings, 1002, L"ListBox");
        ASSERT_NE(list, nullptr) << "no events list";
        PostMessageW(GetParent(list), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
        HWND menu = WaitForTopWindow(
            program.processId, 0, [](HWND w) { return ClassOf(w) == L"#32768"; }, 15000);
        ASSERT_NE(menu, nullptr) << "no menu on the events list";
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
        HWND dialog = WaitForTopWindow(
            program.processId, 0, [](HWND w) { return TextOf(w) == L"Restore original names"; },
            15000);
        ASSERT_NE(dialog, nullptr) << "no Restore original names dialog";
        std::vector<std::wstring> lines = ListTexts(GetDlgItem(dialog, 1030));
        std::wstring expected = folder + L"\\ \u2013 600 renames, ";
        auto line = std::find_if(lines.begin(), lines.end(), [&](const std::wstring& text) {
            return text.compare(0, expected.size(), expected) == 0;
        });
        ASSERT_NE(line, lines.end()) << "the folder is not listed with its 600 renames";
        ASSERT_EQ(lines.size(), 2u) << "both watched folders have renames";
        SendMessageW(GetDlgItem(dialog, 1030), LB_SETCURSEL, line - lines.begin(), 0);
        EXPECT_EQ(TextOf(GetDlgItem(dialog, 1031)), L"All");
        ClickLater(GetDlgItem(dialog, IDOK));
        ASSERT_TRUE(PollUntil([dialog] { return !IsWindow(dialog); }, RenameLimitMs))
            << "the dialog stayed";
        ClickLater(GetDlgItem(settings, IDCANCEL));
        ASSERT_TRUE(PollUntil([settings] { return !IsWindow(settings); }, 15000));
    }

    const ScratchFolder& wedding = watched;
    ScratchFolder other;
};

TEST_P(RestoreNames, AFolderWatchedByMistakeGetsEveryNameBackAndKeepsIt)
{
    Contents named = PutPictures(wedding.Path(), L"Wedding_", Pictures, 0);
    Contents others = PutPictures(other.Path(), L"DSC_", 3, 20000);
    HWND window = StartWatching();
    ASSERT_NE(window, nullptr) << "the program did not start";
    ASSERT_TRUE(PollUntil([&] { return AllRenamed(wedding.Path(), 600); }, RenameLimitMs))
        << "the wedding pictures were not renamed: " << ListFolder(wedding.Path()).size()
        << " names, the first " << Narrow(ListFolder(wedding.Path()).front())
        << ", log:" << ListedProblems(LogTexts(ProgramLogPath()));
    ASSERT_TRUE(PollUntil([&] { return AllRenamed(other.Path(), 9); }, RenameLimitMs));
    Names otherNames = ListFolder(other.Path());

    RestoreFromDialog(window, wedding.Path());
    ASSERT_TRUE(PollUntil([&] { return HoldsExactly(wedding.Path(), named); }, RenameLimitMs))
        << "the names did not come back";
    // Left as they are while the monitor keeps watching.
    EXPECT_FALSE(PollUntil([&] { return !HoldsExactly(wedding.Path(), named); }, LeftAloneMs))
        << "restored names were renamed again";
    EXPECT_EQ(ListFolder(other.Path()), otherNames);

    // Pictures that land anew are renamed as ever; the command line, handed to
    // the running program, gives them their names back too.
    Contents extra = PutPictures(wedding.Path(), L"Extra_", 2, 30000);
    ASSERT_TRUE(PollUntil(
        [&] {
            return ListFolder(wedding.Path()).size() == 606 &&
                   !PathExists(wedding / L"Extra_001.jpg") &&
                   !PathExists(wedding / L"Extra_002.NEF");
        },
        RenameLimitMs))
        << "new pictures were not renamed";
    std::vector<std::string> lines;
    EXPECT_EQ(RunRestoreCommand(wedding.Path(), &lines), 0u);
    std::string path = Narrow(wedding.Path()) + "\\";
    EXPECT_EQ(lines,
              (std::vector<std::string>{"Restored " + path + "20230401_182002.jpg to Extra_002.jpg",
                                        "Restored " + path + "20230401_182002.NEF to Extra_002.NEF",
                                        "Restored " + path + "20230401_182002.xmp to Extra_002.xmp",
                                        "Restored " + path + "20230401_182001.jpg to Extra_001.jpg",
                                        "Restored " + path + "20230401_182001.NEF to Extra_001.NEF",
                                        "Restored " + path +
                                            "20230401_182001.xmp to Extra_001.xmp"}));
    Contents all = named;
    all.insert(extra.begin(), extra.end());
    EXPECT_TRUE(HoldsExactly(wedding.Path(), all));

    // After a restart the kept file still tells them apart: a picture landing
    // after it is renamed, the restored ones stay.
    Restart(&window);
    ASSERT_NE(window, nullptr) << "the program did not start again";
    Contents late = PutPictures(wedding.Path(), L"Late_", 1, 40000);
    ASSERT_TRUE(
        PollUntil([&] { return PathExists(wedding / L"20230401_210641.jpg"); }, RenameLimitMs))
        << "a picture landing after the restart was not renamed";
    ASSERT_TRUE(PollUntil([&] { return !PathExists(wedding / L"Late_001.xmp"); }, RenameLimitMs));
    EXPECT_TRUE(std::all_of(all.begin(), all.end(), [&](const auto& entry) {
        return ReadFileBytes(wedding / entry.first) == entry.second;
    })) << "restored pictures were renamed after the restart";
    EXPECT_EQ(ListFolder(other.Path()), otherNames);
    ExitThroughTrayMenu(window);
    for (const CapturedBox& box : TakeCapturedBoxes())
        ADD_FAILURE() << "a message box: " << Narrow(box.caption) << ": " << Narrow(box.text);
}

INSTANTIATE_TEST_SUITE_P(Once, RestoreNames, testing::Values(0));

}  // namespace
