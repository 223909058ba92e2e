// The real program watching a folder that holds what users' volumes hold and
// Wine does not make by itself: a picture whose every read fails (a bad
// sector, a dropped share) and files whose rename is refused (Controlled
// folder access, an antivirus). Run by host_conditions.sh, which makes them as
// a process of the host system and unlocks files when asked.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/app/program_driver.h"
#include "tests/reliability/folder_contents.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/message_box_catcher.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/window_driver.h"

namespace {

const DWORD StartLimitMs = 30000;
const DWORD LandingLimitMs = 30000;
// A refusal that ended is met by the next retry: at most a minute apart, and
// the rescan delay, with room for a loaded machine.
const DWORD RetryLimitMs = 75000;

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    GetEnvironmentVariableW(name, value, MAX_PATH);
    return value;
}

std::wstring HostScratch() { return Environment(L"LUMISTAMP_HOST_SCRATCH"); }

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class HostConditions : public testing::Test {
protected:
    void SetUp() override
    {
        if (!RunningUnderWine() || HostScratch().empty())
            GTEST_SKIP() << "needs host_conditions.sh under Wine to make its files";
        watched = HostScratch() + L"\\watched";
        RemoveTree(ProgramLogFolder());
        ResetProgramKey();
        WriteOption(L"Autostart", 0);
        WriteOption(L"LogFile", 1);
        WriteOption(L"FileModifiedDate", 1);
        WriteFolders(watched + L'\0');
    }
    void TearDown() override
    {
        if (IsSkipped())
            return;
        EndProgram(program);
        ResetProgramKey();
    }

    std::string Path(const std::wstring& name) const { return Narrow(watched + L"\\" + name); }

    // Asks the host script to lock or unlock a file of the watched folder, and
    // waits until it has.
    bool AskHost(const wchar_t* what, const std::wstring& name)
    {
        std::wstring request = HostScratch() + L"\\" + what + L"-" + name;
        if (!WriteFileBytes(request, std::vector<uint8_t>(name.begin(), name.end())))
            return false;
        return PollUntil(
            [&] { return GetFileAttributesW(request.c_str()) == INVALID_FILE_ATTRIBUTES; }, 10000);
    }

    size_t Count(const std::string& line) const
    {
        std::vector<std::string> lines = LogTexts(ProgramLogPath());
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }
    bool WaitForLine(const std::string& line, DWORD limitMs)
    {
        return PollUntil([&] { return Count(line) > 0; }, limitMs);
    }

    std::wstring watched;
    ScratchFolder runFolder;
    RunningProgram program;
};

// With the file-time option on, an unreadable picture is never named after its
// file time, and its error is logged once while pictures keep landing; a
// refused picture and a refused raw file are logged once too, and follow
// within the retry schedule once the refusal ends, with no other change.
TEST_F(HostConditions, UnreadableAndRefusedFilesAreReportedOnceAndRefusalsRetried)
{
    bool immutable = Environment(L"LUMISTAMP_HOST_IMMUTABLE") == L"1";
    ASSERT_TRUE(WriteFileBytes(watched + L"\\refused.jpg",
                               JpegWithDate(TagDateTimeOriginal, "2023:04:01 07:29:26")));
    ASSERT_TRUE(WriteFileBytes(watched + L"\\pair.jpg",
                               JpegWithDate(TagDateTimeOriginal, "2023:04:02 08:00:00")));
    ASSERT_TRUE(WriteFileBytes(watched + L"\\pair.NEF", WithTrailer({}, "raw")));
    if (immutable) {
        ASSERT_TRUE(AskHost(L"lock", L"refused.jpg"));
        ASSERT_TRUE(AskHost(L"lock", L"pair.NEF"));
    }

    program = StartProgram(runFolder.Path());
    ASSERT_NE(program.process, nullptr);
    CatchBoxesOfProcess(program.processId);
    ASSERT_NE(WaitForMainWindow(program.processId, StartLimitMs), nullptr);

    // Wine reports the I/O error of the read as "device not ready".
    const std::string unreadable =
        "Error 21 reading " + Path(L"unreadable.jpg") + ", File not renamed";
    const std::string refused = "Error 5 renaming refused.jpg to " + Path(L"20230401_072926.jpg");
    const std::string rawRefused =
        "Error 5 renaming " + Path(L"pair.NEF") + " to " + Path(L"20230402_080000.NEF");
    ASSERT_TRUE(WaitForLine(unreadable, StartLimitMs))
        << testing::PrintToString(LogTexts(ProgramLogPath()));
    if (immutable) {
        ASSERT_TRUE(WaitForLine(refused, StartLimitMs));
        ASSERT_TRUE(WaitForLine(rawRefused, StartLimitMs));
    }

    // Five pictures land one by one, each renamed as ever.
    for (int day = 1; day <= 5; ++day) {
        std::wstring name = L"landing" + std::to_wstring(day) + L".jpg";
        std::string date = "2023:05:0" + std::to_string(day) + " 10:00:00";
        ASSERT_TRUE(
            WriteFileBytes(watched + L"\\" + name, JpegWithDate(TagDateTimeOriginal, date)));
        ASSERT_TRUE(WaitForLine("Renamed " + Path(name) + " to 2023050" + std::to_string(day) +
                                    "_100000.jpg",
                                LandingLimitMs))
            << testing::PrintToString(LogTexts(ProgramLogPath()));
    }
    EXPECT_LE(Count(unreadable), 2u);
    std::vector<std::wstring> names = ListFolder(watched);
    EXPECT_NE(std::find(names.begin(), names.end(), L"unreadable.jpg"), names.end())
        << "never named after its file time: " << testing::PrintToString(names);
    if (!immutable)
        GTEST_SKIP() << "this file system or user cannot make a file immutable (chattr +i): "
                        "the refused renames were not tried";
    EXPECT_LE(Count(refused), 2u);
    EXPECT_LE(Count(rawRefused), 2u);

    // The refusals end; nothing else changes in the folder.
    ASSERT_TRUE(AskHost(L"unlock", L"refused.jpg"));
    ASSERT_TRUE(AskHost(L"unlock", L"pair.NEF"));
    EXPECT_TRUE(
        WaitForLine("Renamed " + Path(L"refused.jpg") + " to 20230401_072926.jpg", RetryLimitMs));
    EXPECT_TRUE(WaitForLine("Renamed " + Path(L"pair.NEF") + " to " + Path(L"20230402_080000.NEF"),
                            RetryLimitMs))
        << testing::PrintToString(LogTexts(ProgramLogPath()));
}

}  // namespace
