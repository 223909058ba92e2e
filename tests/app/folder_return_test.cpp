// The real Lumistamp.exe with folders that come and go: listed before they
// exist, deleted and made again, a file system of their own unmounted and
// mounted again; and left watched when a device notice names a registration
// the program does not have.
// In each case a picture that lands once the folder is back is renamed within
// 45 seconds, and the program runs on. What Wine cannot do (delete outright,
// mount) a process of the host system does on request:
// tests/support/host_requests.sh runs these tests.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/app/program_driver.h"
#include "tests/support/folder_handles.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/message_box_catcher.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/wait_until.h"

namespace {

using Lines = std::vector<std::string>;

constexpr DWORD RenamedWithinMs = 45000;
// A monitor looks for a missing folder every 15 seconds; a watched one that
// went is noticed at the same interval.
constexpr DWORD NoticedWithinMs = 30000;

std::string MissingLine(const std::wstring& folder)
{
    return "Directory '" + Narrow(folder) + "', does not exist, Directory is not monitored";
}
std::string BackLine(const std::wstring& folder)
{
    return "Directory '" + Narrow(folder) + "' is back, Directory is monitored again";
}
std::string MarkerLine(const std::wstring& folder)
{
    return "No Exif information available for " + Narrow(folder) +
           "\\marker.jpg failed, File not renamed";
}
std::string RenamedLine(const std::wstring& folder)
{
    return "Renamed " + Narrow(folder) + "\\DSC_0042.JPG to 20230401_072926.JPG";
}

size_t CountOf(const Lines& lines, const std::string& line)
{
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

// Where the line stands in the log, or npos.
size_t PlaceOf(const Lines& lines, const std::string& line)
{
    auto found = std::find(lines.begin(), lines.end(), line);
    return found == lines.end() ? std::string::npos : static_cast<size_t>(found - lines.begin());
}

class FolderReturn : public testing::Test {
protected:
    void SetUp() override
    {
        if (!RunningUnderWine())
            GTEST_SKIP() << "writes the program's log file into this user's own local "
                            "application data folder: runs only in a throwaway Wine prefix";
        ResetProgramKey();
        RemoveTree(ProgramLogFolder());
    }
    void TearDown() override
    {
        if (IsSkipped())
            return;
        EndProgram(program);
        ResetProgramKey();
    }

    // Starts the program watching the one folder, with its log file on.
    void StartWatching(const std::wstring& folder)
    {
        WriteFolders(folder + L'\0');
        WriteOption(L"LogFile", 1);
        program = StartProgram(startFolder.Path());
        ASSERT_NE(program.process, nullptr);
        CatchBoxesOfProcess(program.processId);
        window = WaitForMainWindow(program.processId, 30000);
        ASSERT_NE(window, nullptr);
    }

    Lines Log() const { return LogTexts(ProgramLogPath()); }

    bool WaitForLogLine(const std::string& line, DWORD timeoutMs) const
    {
        return WaitUntil([&] { return CountOf(Log(), line) > 0; }, timeoutMs);
    }

    // A camera picture lands: written beside the folder's contents and moved
    // in whole, so that no scan meets it half written. Then waits for its
    // rename, at most RenamedWithinMs from back, and checks the program runs.
    void LandPictureAndExpectItRenamed(const std::wstring& folder, ULONGLONG back)
    {
        std::wstring incoming = folder + L"\\incoming";
        ASSERT_TRUE(CreateDirectoryW(incoming.c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(incoming + L"\\DSC_0042.JPG",
                                   JpegWithDate(TagDateTimeOriginal, "2023:04:01 07:29:26")));
        ASSERT_TRUE(MoveFileW((incoming + L"\\DSC_0042.JPG").c_str(),
                              (folder + L"\\DSC_0042.JPG").c_str()));
        ASSERT_TRUE(RemoveDirectoryW(incoming.c_str()));
        bool renamed = WaitUntil([&] { return PathExists(folder + L"\\20230401_072926.JPG"); },
                                 RenamedWithinMs);
        ULONGLONG took = GetTickCount64() - back;
        ASSERT_TRUE(renamed) << testing::PrintToString(ListFolder(folder));
        EXPECT_LE(took, ULONGLONG{RenamedWithinMs});
        EXPECT_EQ(WaitForSingleObject(program.process, 0), static_cast<DWORD>(WAIT_TIMEOUT))
            << "the program still runs";
        std::printf("renamed %.1f s after the folder came back\n", took / 1000.0);
    }

    void CloseAndExpectCleanEnd()
    {
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(WaitForExit(program, 15000), 0u);
        std::vector<std::wstring> boxes;
        for (const CapturedBox& box : TakeCapturedBoxes())
            boxes.push_back(box.text);
        EXPECT_EQ(boxes, std::vector<std::wstring>{});
    }

    ScratchFolder startFolder;
    RunningProgram program;
    HWND window = nullptr;
};

// A folder on the host system, for the requests of host_requests.sh.
class HostFolderReturn : public FolderReturn {
protected:
    void SetUp() override
    {
        FolderReturn::SetUp();
        if (IsSkipped())
            return;
        wchar_t scratch[MAX_PATH] = {};
        if (!GetEnvironmentVariableW(L"LUMISTAMP_HOST_SCRATCH", scratch, ARRAYSIZE(scratch)))
            GTEST_SKIP() << "no host helper: run through tests/support/host_requests.sh";
        hostScratch = scratch;
    }

    // Asks the host helper, waits until it is done; the reason when it refused.
    std::string Request(const std::string& verb, const std::wstring& name)
    {
        std::wstring request =
            hostScratch + L"\\" + std::wstring(verb.begin(), verb.end()) + L"-" + name;
        EXPECT_TRUE(WriteFileText(request, Narrow(name)));
        bool done = WaitUntil([&] { return !PathExists(request); }, 20000);
        EXPECT_TRUE(done) << "the host helper did not answer " << verb;
        std::string reason = ReadFileText(request + L".refused");
        DeleteFileW((request + L".refused").c_str());
        return reason;
    }

    std::wstring hostScratch;
};

TEST_F(FolderReturn, FolderMissingAtStartIsWatchedOnceMade)
{
    std::wstring later = startFolder / L"later";
    StartWatching(later);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitForLogLine(MissingLine(later), 30000)) << testing::PrintToString(Log());

    ASSERT_TRUE(CreateDirectoryW(later.c_str(), nullptr));
    LandPictureAndExpectItRenamed(later, GetTickCount64());
    ASSERT_FALSE(HasFatalFailure());
    CloseAndExpectCleanEnd();
    EXPECT_EQ(Log(), (Lines{"Querying the following folder(s):", Narrow(later), MissingLine(later),
                            BackLine(later), RenamedLine(later)}));
}

TEST_F(HostFolderReturn, WatchedFolderDeletedAndMadeAgain)
{
    std::wstring watched = hostScratch + L"\\watched";
    ASSERT_TRUE(CreateDirectoryW(watched.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(watched + L"\\marker.jpg", JpegWithoutExif()));
    StartWatching(watched);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitForLogLine(MarkerLine(watched), 30000)) << "the first scan";

    EXPECT_EQ(Request("delete", L"watched"), "");
    ASSERT_FALSE(PathExists(watched));
    ASSERT_TRUE(WaitForLogLine(MissingLine(watched), NoticedWithinMs))
        << testing::PrintToString(Log());

    ASSERT_TRUE(CreateDirectoryW(watched.c_str(), nullptr));
    LandPictureAndExpectItRenamed(watched, GetTickCount64());
    ASSERT_FALSE(HasFatalFailure());
    CloseAndExpectCleanEnd();
    Lines log = Log();
    EXPECT_EQ(CountOf(log, MissingLine(watched)), 1u) << "nothing logged while it stayed away";
    EXPECT_EQ(CountOf(log, BackLine(watched)), 1u);
    EXPECT_LT(PlaceOf(log, MissingLine(watched)), PlaceOf(log, BackLine(watched)));
    EXPECT_LT(PlaceOf(log, BackLine(watched)), PlaceOf(log, RenamedLine(watched)))
        << testing::PrintToString(log);
}

TEST_F(HostFolderReturn, WatchedFileSystemUnmountedAndMountedAgain)
{
    std::wstring card = hostScratch + L"\\card";
    std::string refused = Request("mount", L"card");
    if (!refused.empty())
        GTEST_SKIP() << "this machine refuses to mount a tmpfs (CI runs as root): " << refused;
    ASSERT_TRUE(WriteFileBytes(card + L"\\marker.jpg", JpegWithoutExif()));
    StartWatching(card);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitForLogLine(MarkerLine(card), 30000)) << "the first scan";

    EXPECT_EQ(Request("unmount", L"card"), "");
    ASSERT_FALSE(PathExists(card));
    ASSERT_TRUE(WaitForLogLine(MissingLine(card), NoticedWithinMs))
        << testing::PrintToString(Log());

    ASSERT_EQ(Request("mount", L"card"), "");
    LandPictureAndExpectItRenamed(card, GetTickCount64());
    ASSERT_FALSE(HasFatalFailure());
    CloseAndExpectCleanEnd();
    Lines log = Log();
    EXPECT_EQ(CountOf(log, MissingLine(card)), 1u) << "nothing logged while it stayed away";
    EXPECT_GE(CountOf(log, BackLine(card)), 1u);
    EXPECT_LT(PlaceOf(log, MissingLine(card)), PlaceOf(log, BackLine(card)));
    EXPECT_EQ(CountOf(log, RenamedLine(card)), 1u) << testing::PrintToString(log);
}

// A notice about a registered handle, as Windows sends it to the hidden
// window: the registration, the handle registered and, for DBT_CUSTOMEVENT,
// the event's GUID.
LRESULT SendNotice(HWND window, WPARAM event, HDEVNOTIFY registration, HANDLE handle,
                   const GUID& volumeEvent)
{
    DEV_BROADCAST_HANDLE notice = {};
    notice.dbch_size = sizeof(notice);
    notice.dbch_devicetype = DBT_DEVTYP_HANDLE;
    notice.dbch_handle = handle;
    notice.dbch_hdevnotify = registration;
    notice.dbch_eventguid = volumeEvent;
    notice.dbch_nameoffset = -1;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&notice),
                             SMTO_NORMAL, 15000, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

// Notices go by the registration they name. The program's own cannot be
// made under Wine, which refuses registrations of directory handles (the
// monitor tests hand registrations out and let go and take up folders so);
// these name the handles it holds with a registration it never made, as a
// notice comes for a registration whose handle was closed and whose value the
// program has since opened its folder under again. The hidden window answers
// each, the program holds on, and the folder stays watched.
TEST_F(FolderReturn, NoticesOfAnotherRegistrationLeaveTheFolderWatched)
{
    std::wstring card = startFolder / L"card";
    ASSERT_TRUE(CreateDirectoryW(card.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(card + L"\\marker.jpg", JpegWithoutExif()));
    StartWatching(card);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(WaitForLogLine(MarkerLine(card), 30000)) << "the first scan";
    std::vector<HANDLE> held = HandlesOnFolder(program.process, card);
    ASSERT_FALSE(held.empty()) << "the program holds its watched folder";

    // A volume about to be locked, then dismounted (ioevent.h).
    const GUID volumeLock = {0x50708874,
                             0xc9af,
                             0x11d1,
                             {0x8f, 0xef, 0x00, 0xa0, 0xc9, 0xa0, 0x6d, 0x32}};
    const GUID volumeDismount = {0xd16a55e8,
                                 0x1059,
                                 0x11d2,
                                 {0x8f, 0xfd, 0x00, 0xa0, 0xc9, 0xa0, 0x6d, 0x32}};
    struct {
        WPARAM event;
        GUID volumeEvent;
    } const notices[] = {{DBT_DEVICEQUERYREMOVE, {}},
                         {DBT_CUSTOMEVENT, volumeLock},
                         {DBT_CUSTOMEVENT, volumeDismount},
                         {DBT_DEVICEREMOVECOMPLETE, {}}};
    auto* closedRegistration = reinterpret_cast<HDEVNOTIFY>(0x7A000010);
    ULONGLONG sent = GetTickCount64();
    for (const auto& notice : notices)
        for (HANDLE handle : held)
            EXPECT_EQ(SendNotice(window, notice.event, closedRegistration, handle,
                                 notice.volumeEvent),
                      TRUE);
    EXPECT_EQ(HandlesOnFolder(program.process, card), held);

    LandPictureAndExpectItRenamed(card, sent);
    ASSERT_FALSE(HasFatalFailure());
    CloseAndExpectCleanEnd();
    EXPECT_EQ(Log(), (Lines{"Querying the following folder(s):", Narrow(card), MarkerLine(card),
                            RenamedLine(card)}));
}

}  // namespace
