// The real program watching a folder that holds what users' volumes hold and
// Wine does not make by itself: a picture whose every read fails (a bad
// sector, a dropped share) and files whose rename is refused (Controlled
// folder access, an antivirus). Run by host_conditions.sh, which makes them as
// a process of the host system and unlocks files when asked.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <sstream>
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

// What the host's kernel saw the program do with one file.
struct FileUse {
    int opens = 0;
    int reads = 0;  // opens during which the file's data was read
};

// The host script's record of the watched folder's files ("OPEN name",
// "ACCESS name", "CLOSE_NOWRITE,CLOSE name", one a line), from its line
// firstLine on.
class FileEvents {
public:
    static bool Recorded() { return Environment(L"LUMISTAMP_HOST_FILE_EVENTS") == L"1"; }
    static std::vector<std::string> Lines()
    {
        std::istringstream text(ReadFileText(HostScratch() + L"\\file-events.log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }
    static FileUse UseOf(const std::wstring& name, size_t firstLine = 0)
    {
        std::vector<std::string> lines = Lines();
        FileUse use;
        bool readSinceOpen = false;
        for (size_t at = firstLine; at < lines.size(); ++at) {
            const std::string& line = lines[at];
            size_t blank = line.find(' ');
            if (blank == std::string::npos || line.substr(blank + 1) != Narrow(name))
                continue;
            std::string event = line.substr(0, blank);
            if (event == "OPEN") {
                ++use.opens;
                readSinceOpen = false;
            } else if (event == "ACCESS" && !readSinceOpen) {
                ++use.reads;
                readSinceOpen = true;
            }
        }
        return use;
    }
};

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
    // Each landing after the first made a scan; what the program renamed
    // before is settled under its new name, so none of those scans opened it.
    if (FileEvents::Recorded()) {
        for (const wchar_t* name :
             {L"20230501_100000.jpg", L"20230502_100000.jpg", L"20230503_100000.jpg"})
            EXPECT_EQ(FileEvents::UseOf(name).opens, 0)
                << Narrow(name) << ": " << testing::PrintToString(FileEvents::Lines());
    }
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

// A rename refused for minutes (a write-protected card, a read-only share):
// the picture's header was read once, and the retries and the scans that
// pictures landing meanwhile make try only the rename. Once the refusal ends
// the picture is renamed at the next retry.
TEST_F(HostConditions, ARenameRefusedForMinutesIsNotReadAtEveryRetry)
{
    if (Environment(L"LUMISTAMP_HOST_IMMUTABLE") != L"1" || !FileEvents::Recorded())
        GTEST_SKIP() << "needs a file system and user that can make a file immutable "
                        "(chattr +i) and inotifywait to see the program's reads";
    ASSERT_TRUE(WriteFileBytes(watched + L"\\locked.jpg",
                               JpegWithDate(TagDateTimeOriginal, "2023:06:01 12:00:00")));
    ASSERT_TRUE(AskHost(L"lock", L"locked.jpg"));
    ULONGLONG locked = GetTickCount64();

    program = StartProgram(runFolder.Path());
    ASSERT_NE(program.process, nullptr);
    CatchBoxesOfProcess(program.processId);
    ASSERT_NE(WaitForMainWindow(program.processId, StartLimitMs), nullptr);
    const std::string refused = "Error 5 renaming locked.jpg to " + Path(L"20230601_120000.jpg");
    ASSERT_TRUE(WaitForLine(refused, StartLimitMs))
        << testing::PrintToString(LogTexts(ProgramLogPath()));

    // Three minutes of refusal, with a picture landing every half minute:
    // retries at 2, 4, 8, 16 and 32 s, then every minute, and six scans more.
    const ULONGLONG RefusedMs = 180000;
    for (int landing = 1; GetTickCount64() - locked < RefusedMs; ++landing) {
        Sleep(static_cast<DWORD>(
            std::min<ULONGLONG>(30000, RefusedMs - (GetTickCount64() - locked))));
        std::wstring name = L"landing" + std::to_wstring(landing) + L".jpg";
        std::string date = "2023:07:0" + std::to_string(landing) + " 10:00:00";
        ASSERT_TRUE(
            WriteFileBytes(watched + L"\\" + name, JpegWithDate(TagDateTimeOriginal, date)));
        ASSERT_TRUE(WaitForLine("Renamed " + Path(name) + " to 2023070" + std::to_string(landing) +
                                    "_100000.jpg",
                                LandingLimitMs));
    }
    FileUse use = FileEvents::UseOf(L"locked.jpg");
    EXPECT_GE(use.reads, 1);
    EXPECT_LE(use.reads, 2) << testing::PrintToString(FileEvents::Lines());
    EXPECT_EQ(Count(refused), 1u);

    ASSERT_TRUE(AskHost(L"unlock", L"locked.jpg"));
    EXPECT_TRUE(
        WaitForLine("Renamed " + Path(L"locked.jpg") + " to 20230601_120000.jpg", RetryLimitMs))
        << testing::PrintToString(LogTexts(ProgramLogPath()));
}

}  // namespace
