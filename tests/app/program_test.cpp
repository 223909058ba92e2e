// The real Lumistamp.exe under test: what it does with a configured folder,
// its single instance, and what its resources hold.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "tests/app/program_driver.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/message_box_catcher.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/wait_until.h"

namespace {

// A folder where no file can be made, as the Windows system folder is for a
// user (the Run key starts programs there at logon): the system folder, or
// under Wine, where that one is writable, Linux's /sys, where not even root
// can make a file. Empty when there is none.
std::wstring ReadOnlyFolder()
{
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, ARRAYSIZE(system));
    for (const std::wstring& folder : {std::wstring(system), std::wstring(L"Z:\\sys")}) {
        std::wstring probe = folder + L"\\lumistamp-probe.txt";
        HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
            return folder;
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            DeleteFileW(probe.c_str());
        }
    }
    return std::wstring();
}

class Program : public testing::Test {
protected:
    // Set-up and tear-down skip with the test: they empty the program's key.
    void SetUp() override
    {
        if (!RunningUnderWine())
            GTEST_SKIP() << "writes the program's log file into this user's own local "
                            "application data folder: runs only in a throwaway Wine prefix";
        ResetProgramKey();
        // The program's own log file, in the prefix's local application data
        // folder: each test starts without it.
        RemoveTree(ProgramLogFolder());
    }
    void TearDown() override
    {
        if (IsSkipped())
            return;
        EndProgram(first);
        EndProgram(second);
        ResetProgramKey();
    }

    // The user closes the hidden window from outside: it ends with code 0.
    void CloseAndExpectCleanEnd(RunningProgram& program, HWND window)
    {
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(WaitForExit(program, 15000), 0u);
    }

    RunningProgram first;
    RunningProgram second;
};

// Started where it cannot write, as at logon: no box, and every line but the
// start line in the log file under the local application data folder, which
// the program makes.
TEST_F(Program, StartedInAReadOnlyFolderRenamesAndLogsToLocalAppData)
{
    std::wstring readOnly = ReadOnlyFolder();
    ASSERT_FALSE(readOnly.empty()) << "no folder here refuses a new file";
    ASSERT_FALSE(PathExists(ProgramLogFolder()));
    ScratchFolder watched;
    WriteFolders(watched.Path() + L'\0');
    WriteOption(L"LogFile", 1);

    first = StartProgram(readOnly);
    ASSERT_NE(first.process, nullptr);
    CatchBoxesOfProcess(first.processId);
    HWND window = WaitForMainWindow(first.processId, 30000);
    ASSERT_NE(window, nullptr);

    // A card copied in: the raw file first, then its picture. The picture is
    // written beside the folder and moved in whole: a scan that happened to
    // come between its creation and its write would log it as undated.
    ASSERT_TRUE(WriteFileBytes(watched / L"DSC_0042.NEF", {'r', 'a', 'w'}));
    ScratchFolder card;
    ASSERT_TRUE(WriteFileBytes(card / L"DSC_0042.JPG",
                               JpegWithDate(TagDateTimeOriginal, "2023:04:01 07:29:26")));
    ASSERT_TRUE(MoveFileW((card / L"DSC_0042.JPG").c_str(), (watched / L"DSC_0042.JPG").c_str()));

    ULONGLONG deadline = GetTickCount64() + 20000;
    while (!(PathExists(watched / L"20230401_072926.JPG") &&
             PathExists(watched / L"20230401_072926.NEF")) &&
           GetTickCount64() < deadline)
        Sleep(50);
    EXPECT_EQ(ListFolder(watched.Path()),
              (std::vector<std::wstring>{L"20230401_072926.JPG", L"20230401_072926.NEF"}));
    CloseAndExpectCleanEnd(first, window);

    std::vector<std::wstring> boxes;
    for (const CapturedBox& box : TakeCapturedBoxes())
        boxes.push_back(box.text);
    EXPECT_EQ(boxes, std::vector<std::wstring>{});
    EXPECT_FALSE(PathExists(readOnly + L"\\Lumistamp.Log"));
    std::string folder = Narrow(watched.Path());
    EXPECT_EQ(LogTexts(ProgramLogPath()),
              (std::vector<std::string>{
                  "Querying the following folder(s):", folder,
                  "Renamed " + folder + "\\DSC_0042.JPG to 20230401_072926.JPG",
                  "Renamed " + folder + "\\DSC_0042.NEF to " + folder + "\\20230401_072926.NEF"}));
}

// What a start remembers of the pictures that bear their names is keyed by the
// file system's change time as well: a date rewritten in place by a metadata
// editor that keeps the file's size and last-write time is read again at the
// next start, and the picture renamed to its new stamp.
TEST_F(Program, ADateRewrittenInPlaceIsRenamedAtTheNextStart)
{
    ScratchFolder watched, runFolder;
    ASSERT_TRUE(WriteFileBytes(watched / L"20230401_072926.jpg",
                               JpegWithDate(TagDateTimeOriginal, "2023:04:01 07:29:26")));
    ASSERT_TRUE(WriteFileBytes(watched / L"20230402_080000.jpg",
                               JpegWithDate(TagDateTimeOriginal, "2023:04:02 08:00:00")));
    WriteFolders(watched.Path() + L'\0');
    WriteOption(L"LogFile", 1);
    std::wstring keptFolder = ProgramLogFolder() + L"\\Settled";

    first = StartProgram(runFolder.Path());
    ASSERT_NE(first.process, nullptr);
    CatchBoxesOfProcess(first.processId);
    HWND window = WaitForMainWindow(first.processId, 30000);
    ASSERT_NE(window, nullptr);
    // The kept file is written beside its place and then moved there; a
    // listing made during the move may show neither name. The listing that
    // found the moved file is the one judged.
    auto keptFiles = [&] {
        std::vector<std::wstring> kept;
        for (const std::wstring& name : ListFolder(keptFolder))
            if (name.size() > 8 && name.compare(name.size() - 8, 8, L".settled") == 0)
                kept.push_back(name);
        return kept;
    };
    std::vector<std::wstring> kept;
    ULONGLONG deadline = GetTickCount64() + 20000;
    while ((kept = keptFiles()).empty() && GetTickCount64() < deadline)
        Sleep(50);
    ASSERT_EQ(kept.size(), 1u) << "the first scan's pictures are kept";
    CloseAndExpectCleanEnd(first, window);

    // Rewritten in place: the same size, the last-write time put back.
    std::wstring picture = watched / L"20230401_072926.jpg";
    HANDLE file = CreateFileW(picture.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME lastWrite;
    ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &lastWrite));
    CloseHandle(file);
    ASSERT_TRUE(WriteFileBytes(picture, JpegWithDate(TagDateTimeOriginal, "2023:04:01 07:29:27")));
    file =
        CreateFileW(picture.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &lastWrite));
    CloseHandle(file);

    second = StartProgram(runFolder.Path());
    ASSERT_NE(second.process, nullptr);
    CatchBoxesOfProcess(second.processId);
    window = WaitForMainWindow(second.processId, 30000);
    ASSERT_NE(window, nullptr);
    deadline = GetTickCount64() + 20000;
    while (!PathExists(watched / L"20230401_072927.jpg") && GetTickCount64() < deadline)
        Sleep(50);
    EXPECT_EQ(ListFolder(watched.Path()),
              (std::vector<std::wstring>{L"20230401_072927.jpg", L"20230402_080000.jpg"}));
    CloseAndExpectCleanEnd(second, window);
    EXPECT_EQ(TakeCapturedBoxes().size(), 0u);
}

TEST_F(Program, SecondStartIsRefusedAndTheFirstCarriesOn)
{
    WriteOption(L"LogFile", 1);
    ScratchFolder firstFolder;
    ScratchFolder secondFolder;
    first = StartProgram(firstFolder.Path());
    HWND window = WaitForMainWindow(first.processId, 30000);
    ASSERT_NE(window, nullptr);

    second = StartProgram(secondFolder.Path());
    ASSERT_NE(second.process, nullptr);
    CatchBoxesOfProcess(second.processId);
    ASSERT_TRUE(WaitForCapturedBoxes(1, 30000));
    std::vector<CapturedBox> boxes = TakeCapturedBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Lumistamp");
    EXPECT_EQ(boxes[0].text,
              L"Lumistamp is already running. Only 1 instance is allowed at the same time.");
    EXPECT_EQ(WaitForExit(second, 15000), 0u);

    EXPECT_EQ(WaitForSingleObject(first.process, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(IsWindow(window));
    CloseAndExpectCleanEnd(first, window);

    // Neither run logged a line to the file: the start line never goes there,
    // and the refused start logs nothing at all.
    EXPECT_FALSE(PathExists(ProgramLogPath()));
    EXPECT_TRUE(ListFolder(firstFolder.Path()).empty());
    EXPECT_TRUE(ListFolder(secondFolder.Path()).empty());
}

// A stand-in for the shell's tray while the taskbar is still starting, as at
// logon: a top-level window of the tray's class, which Wine's
// Shell_NotifyIconW finds first (the newest topmost one) and sends every
// request as WM_COPYDATA (dwData: the NIM_ command; the data: the icon's
// window as a 32-bit number, then its id). It refuses them all until told to
// accept, and keeps the time of each add from the program's window. It works
// on this thread's messages: WaitUntil delivers them.
class StartingTray {
public:
    StartingTray()
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"Shell_TrayWnd";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"Shell_TrayWnd", L"", WS_POPUP,
                                  0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
        Adds.clear();
        Accepting = false;
        Accepted = 0;
    }
    ~StartingTray() { DestroyWindow(window_); }
    StartingTray(const StartingTray&) = delete;
    StartingTray& operator=(const StartingTray&) = delete;

    bool Found() const { return FindWindowW(L"Shell_TrayWnd", nullptr) == window_; }

    static inline HWND Owner = nullptr;         // the program's window
    static inline std::vector<ULONGLONG> Adds;  // when each NIM_ADD came
    static inline bool Accepting = false;
    static inline int Accepted = 0;  // adds it accepted

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != WM_COPYDATA)
            return DefWindowProcW(window, message, wParam, lParam);
        auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data->cbData < 8 || *static_cast<const LONG*>(data->lpData) != HandleToLong(Owner))
            return FALSE;
        if (data->dwData == NIM_ADD)
            Adds.push_back(GetTickCount64());
        // As the shell: an icon is added once, and only an icon in can change.
        bool take = Accepting && ((data->dwData == NIM_ADD && Accepted == 0) ||
                                  (data->dwData == NIM_MODIFY && Accepted > 0));
        if (take && data->dwData == NIM_ADD)
            ++Accepted;
        return take;
    }

    HWND window_ = nullptr;
};

// At logon the program may start before the taskbar can take its icon: it
// offers it again every 5 seconds on a timer, and stops once the icon is in.
TEST_F(Program, TrayIconRefusedAtStartIsOfferedAgainUntilTheShellTakesIt)
{
    StartingTray tray;
    ASSERT_TRUE(tray.Found()) << "Wine's own tray would take the requests";
    ScratchFolder startFolder;
    first = StartProgram(startFolder.Path());
    ASSERT_NE(first.process, nullptr);
    CatchBoxesOfProcess(first.processId);
    // The window is found by its class while the tray's requests wait.
    HWND window = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (window = WaitForMainWindow(first.processId, 0)) != nullptr; },
                  30000));
    StartingTray::Owner = window;

    // The offers at start are refused; the timer's follow, 5 seconds apart.
    ASSERT_TRUE(WaitUntil([] { return StartingTray::Adds.size() >= 4; }, 30000))
        << StartingTray::Adds.size() << " offers";
    const std::vector<ULONGLONG>& adds = StartingTray::Adds;
    ULONGLONG lastGap = adds[adds.size() - 1] - adds[adds.size() - 2];
    EXPECT_GE(lastGap, 4500u) << "a timer, not a loop";
    EXPECT_LE(lastGap, 8000u);

    StartingTray::Accepting = true;
    ASSERT_TRUE(WaitUntil([] { return StartingTray::Accepted >= 1; }, 10000));
    size_t offers = adds.size();
    EXPECT_FALSE(WaitUntil([&] { return adds.size() > offers; }, 12000))
        << "no offer once the icon is in";
    EXPECT_EQ(WaitForSingleObject(first.process, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    // Closed while this thread still answers for the tray: the closing window
    // takes its icon out through it.
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(
        WaitUntil([&] { return WaitForSingleObject(first.process, 0) == WAIT_OBJECT_0; }, 15000));
    EXPECT_EQ(WaitForExit(first, 0), 0u);
    EXPECT_EQ(TakeCapturedBoxes().size(), 0u);
}

// The tray menu's Exit command sent to the hidden window from another process,
// as the installer and the uninstaller end a running copy: the program ends
// with code 0 and no box. Other commands leave it running.
TEST_F(Program, ExitCommandSentToItsWindowEndsIt)
{
    ScratchFolder watched;
    WriteFolders(watched.Path() + L'\0');
    first = StartProgram(watched.Path());
    ASSERT_NE(first.process, nullptr);
    CatchBoxesOfProcess(first.processId);
    HWND window = WaitForMainWindow(first.processId, 30000);
    ASSERT_NE(window, nullptr);

    DWORD_PTR result = 0;
    ASSERT_NE(SendMessageTimeoutW(window, WM_COMMAND, 4242, 0, SMTO_NORMAL, 10000, &result), 0);
    EXPECT_EQ(WaitForSingleObject(first.process, 500), static_cast<DWORD>(WAIT_TIMEOUT));

    // 1002: Exit in the tray menu.
    ASSERT_NE(SendMessageTimeoutW(window, WM_COMMAND, 1002, 0, SMTO_NORMAL, 10000, &result), 0);
    EXPECT_EQ(WaitForExit(first, 15000), 0u);
    EXPECT_FALSE(IsWindow(window));

    std::vector<std::wstring> boxes;
    for (const CapturedBox& box : TakeCapturedBoxes())
        boxes.push_back(box.text);
    EXPECT_EQ(boxes, std::vector<std::wstring>{});
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name)
{
    wchar_t* value = nullptr;
    UINT length = 0;
    std::wstring query = std::wstring(L"\\StringFileInfo\\200004b0\\") + name;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        return L"(missing)";
    return value;
}

TEST(ProgramResources, VersionBlockSaysTwoPointTwo)
{
    std::wstring path = ProgramPath();
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020002u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020002u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x2000);
    EXPECT_EQ(translation[1], 1200);
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Lumistamp");
    EXPECT_EQ(VersionString(block, L"ProductVersion"), L"2.2.0.0");
    EXPECT_EQ(VersionString(block, L"FileVersion"), L"2.2.0.0");
}

TEST(ProgramResources, IconStringsAndManifest)
{
    HMODULE program = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr);

    wchar_t text[64] = {};
    LoadStringW(program, 103, text, ARRAYSIZE(text));
    EXPECT_STREQ(text, L"Lumistamp");
    LoadStringW(program, 109, text, ARRAYSIZE(text));
    EXPECT_STREQ(text, L"LUMISTAMP");

    // The icon's images, one for each size the shell asks for: icon_sizes_test.cpp.
    EXPECT_NE(FindResourceW(program, MAKEINTRESOURCEW(136), RT_GROUP_ICON), nullptr);

    HRSRC manifestInfo = FindResourceW(program, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(manifestInfo, nullptr);
    std::string manifest(static_cast<const char*>(
                             LockResource(LoadResource(program, manifestInfo))),
                         SizeofResource(program, manifestInfo));
    EXPECT_NE(manifest.find("level=\"asInvoker\" uiAccess=\"false\""), std::string::npos);
    // Paths past MAX_PATH are taken by the file calls where the system allows it.
    EXPECT_NE(manifest.find("<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/"
                            "WindowsSettings\">true</longPathAware>"),
              std::string::npos);
    FreeLibrary(program);
}

}  // namespace
