// Files that change while a scan is under way. The scan is held, for real,
// inside its first event: with the log file unopenable, the first failure of a
// process shows the error box, and the logging thread stays in it until the
// box is closed. The first event of a scan of two dated pictures is the rename
// of whichever the listing gave first (P); at that moment P's companion has
// not been looked at, and the other picture (Q) has been listed but not read.
// While the scan waits, a test changes P's companion or Q, then lets the scan
// go on. Each test runs in a process of its own (the box comes once a process).
//
// Between the existence test of a picture's target name and its rename no
// event is logged, so that window cannot be held this way; names taken in it
// are raced for instead (folder_fault_test.cpp: another program takes the
// names a scan gives out).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "events/event_history.h"
#include "rename/folder_memory.h"
#include "rename/folder_scan.h"
#include "settings/settings.h"
#include "tests/reliability/folder_contents.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/local_app_data.h"
#include "tests/support/message_box_catcher.h"
#include "tests/support/scratch_folder.h"

namespace {

using Texts = std::vector<std::wstring>;
using Contents = std::map<std::wstring, uint64_t>;

const wchar_t LogFileReport[] =
    L"Cannot open File to save Event History, Error 5. The last Event is not saved to file.";

std::vector<uint8_t> Dated(const std::string& date, const std::string& trailer)
{
    return WithTrailer(JpegWithDate(TagDateTimeOriginal, date), trailer);
}

class HeldScan : public testing::Test {
protected:
    struct Pair {
        std::wstring base;   // "A" or "B"
        std::wstring stamp;  // its capture time as a name
    };

    void SetUp() override
    {
        ClearEventHistory();
        // The log file's name is taken by a folder: the first event cannot be
        // written to it, and its report shows the box.
        ASSERT_TRUE(CreateDirectoryW(localAppData.LogFolder().c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(localAppData.LogPath().c_str(), nullptr));
        Put(L"A.jpg", Dated("2023:04:01 07:29:26", "picture A"));
        Put(L"A.NEF", WithTrailer({}, "raw A"));
        Put(L"B.jpg", Dated("2023:04:01 07:29:27", "picture B"));
        Put(L"B.NEF", WithTrailer({}, "raw B"));
        before = FolderContents(folder.Path());
    }

    void TearDown() override
    {
        ReleaseMessageBoxes();
        if (scanner.joinable())
            scanner.join();
        Settings.LogFile = 0;
        Settings.FileModifiedDate = 0;
    }

    void Put(const std::wstring& name, const std::vector<uint8_t>& bytes)
    {
        ASSERT_TRUE(WriteFileBytes(folder / name, bytes));
    }

    // Starts the scan on a thread of its own and waits until it is held in the
    // box of its first event, which must be the rename of P. Given a memory,
    // the scan is a monitor's that keeps it.
    void ScanUntilHeld(FolderMemory* memory = nullptr)
    {
        HoldMessageBoxes();
        Settings.LogFile = 1;
        scanner = std::thread([this, memory] {
            std::wstring path = folder.PathWithBackslash();
            if (memory)
                ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()), *memory);
            else
                ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()));
        });
        ASSERT_TRUE(WaitForCapturedBoxes(1, 20000)) << "the scan never showed the box";
        Texts held = Events();
        ASSERT_EQ(held.size(), 2u) << testing::PrintToString(held);
        EXPECT_EQ(held[1], LogFileReport);
        const Pair pairs[] = {{L"A", L"20230401_072926"}, {L"B", L"20230401_072927"}};
        for (const Pair& pair : pairs) {
            if (held[0] == L"Renamed " + (folder / pair.base) + L".jpg to " + pair.stamp + L".jpg")
                p = pair;
            else
                q = pair;
        }
        ASSERT_FALSE(p.base.empty())
            << "the first event is not a rename: " << testing::PrintToString(held[0]);
    }

    // Lets the scan go on to its end; returns the events after the two of the
    // hold, and checks the one box shown.
    Texts FinishScan()
    {
        ReleaseMessageBoxes();
        scanner.join();
        std::vector<CapturedBox> boxes = TakeCapturedBoxes();
        EXPECT_EQ(boxes.size(), 1u);
        for (const CapturedBox& box : boxes) {
            EXPECT_EQ(box.caption, L"Lumistamp");
            EXPECT_EQ(box.text, LogFileReport);
        }
        Texts events = Events();
        return events.size() < 2 ? Texts{} : Texts(events.begin() + 2, events.end());
    }

    static Texts Events()
    {
        HistoryLockGuard lock;
        Texts texts;
        for (const std::wstring& line : EventHistory)
            texts.push_back(line.substr(20));
        return texts;
    }

    std::wstring Path(const std::wstring& name) const { return folder / name; }

    // The events of Q's rename with its companion, to the given stamp.
    Texts QRenamed(const std::wstring& newBase) const
    {
        return {L"Renamed " + Path(q.base + L".jpg") + L" to " + newBase + L".jpg",
                L"Renamed " + Path(q.base + L".NEF") + L" to " + Path(newBase + L".NEF")};
    }

    ScratchFolder folder;
    LocalAppDataScope localAppData;
    Contents before;
    std::thread scanner;
    Pair p, q;
};

// ---------------------------------------------------------------- P's companion

TEST_F(HeldScan, CompanionDeletedBeforeItsTurnIsPassedOverQuietly)
{
    ScanUntilHeld();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(DeleteFileW(Path(p.base + L".NEF").c_str()));

    EXPECT_EQ(FinishScan(), QRenamed(q.stamp));
    Contents expected = {{p.stamp + L".jpg", before[p.base + L".jpg"]},
                         {q.stamp + L".jpg", before[q.base + L".jpg"]},
                         {q.stamp + L".NEF", before[q.base + L".NEF"]}};
    EXPECT_EQ(FolderContents(folder.Path()), expected);
}

TEST_F(HeldScan, CompanionReplacedBeforeItsTurnFollowsWithItsNewContent)
{
    ScanUntilHeld();
    ASSERT_FALSE(HasFatalFailure());
    std::vector<uint8_t> replacement = WithTrailer({}, "raw P, written again");
    ASSERT_TRUE(WriteFileBytes(Path(p.base + L".NEF"), replacement));

    Texts events = FinishScan();
    Texts expected = {L"Renamed " + Path(p.base + L".NEF") + L" to " + Path(p.stamp + L".NEF")};
    for (const std::wstring& line : QRenamed(q.stamp))
        expected.push_back(line);
    EXPECT_EQ(events, expected);
    Contents contents = FolderContents(folder.Path());
    EXPECT_EQ(contents[p.stamp + L".NEF"], ContentHash(replacement));
    EXPECT_EQ(contents.size(), 4u);
}

// The companion's new name is not tested before its rename: the picture's
// name was free, so the companion's is expected to be. Taken meanwhile, the
// rename fails with the system's code and both files stay as they are.
TEST_F(HeldScan, CompanionTargetTakenAfterThePictureMovedFailsAndKeepsBoth)
{
    ScanUntilHeld();
    ASSERT_FALSE(HasFatalFailure());
    std::vector<uint8_t> intruder = WithTrailer({}, "another program's file");
    ASSERT_TRUE(WriteFileBytes(Path(p.stamp + L".NEF"), intruder));

    Texts events = FinishScan();
    Texts expected = {L"Error 183 renaming " + Path(p.base + L".NEF") + L" to " +
                      Path(p.stamp + L".NEF")};
    for (const std::wstring& line : QRenamed(q.stamp))
        expected.push_back(line);
    EXPECT_EQ(events, expected);
    Contents contents = FolderContents(folder.Path());
    EXPECT_EQ(contents[p.base + L".NEF"], before[p.base + L".NEF"]);
    EXPECT_EQ(contents[p.stamp + L".NEF"], ContentHash(intruder));
    EXPECT_EQ(contents.size(), 5u);
}

// ---------------------------------------------------------------- Q, listed

// Gone before it was read: it is reported as a file without a date (the
// option off) or as a file whose time cannot be read (the option on). Its
// companion is not touched.
TEST_F(HeldScan, ListedPictureDeletedIsReportedAndItsCompanionLeft)
{
    ScanUntilHeld();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(DeleteFileW(Path(q.base + L".jpg").c_str()));

    EXPECT_EQ(FinishScan(),
              (Texts{L"Renamed " + Path(p.base + L".NEF") + L" to " + Path(p.stamp + L".NEF"),
                     L"Error 2 reading " + Path(q.base + L".jpg") + L", File not renamed"}));
    Contents expected = {{p.stamp + L".jpg", before[p.base + L".jpg"]},
                         {p.stamp + L".NEF", before[p.base + L".NEF"]},
                         {q.base + L".NEF", before[q.base + L".NEF"]}};
    EXPECT_EQ(FolderContents(folder.Path()), expected);
}

// Unread is not undated: with the fallback on it is not named after a file
// time either.
TEST_F(HeldScan, ListedPictureDeletedWithTheFallbackOnIsReportedUnread)
{
    Settings.FileModifiedDate = 1;
    ScanUntilHeld();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(DeleteFileW(Path(q.base + L".jpg").c_str()));

    EXPECT_EQ(FinishScan(),
              (Texts{L"Renamed " + Path(p.base + L".NEF") + L" to " + Path(p.stamp + L".NEF"),
                     L"Error 2 reading " + Path(q.base + L".jpg") + L", File not renamed"}));
    EXPECT_EQ(FolderContents(folder.Path()).size(), 3u);
}

// Q is found busy only after the scan was held longer than the first retry
// interval: its retry falls that interval after it was found busy, not after
// the scan began (which would make every wait after a long scan 0, and the
// scans run back to back).
TEST_F(HeldScan, BusyRetryCountsFromWhenTheFileWasFoundBusy)
{
    FolderMemory memory;
    ScanUntilHeld(&memory);
    ASSERT_FALSE(HasFatalFailure());
    HANDLE writer = CreateFileW(Path(q.base + L".jpg").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    // The hold lasts past the first retry interval of 2 s.
    for (ULONGLONG until = GetTickCount64() + 3000; GetTickCount64() < until;)
        Sleep(50);

    Texts events = FinishScan();
    DWORD wait = NextRetryWaitMs(memory.busy, GetTickCount64());
    CloseHandle(writer);
    EXPECT_EQ(events,
              Texts{L"Renamed " + Path(p.base + L".NEF") + L" to " + Path(p.stamp + L".NEF")})
        << "Q, being written, is waited for without a line";
    EXPECT_GT(wait, 1000u) << "the retry is due about 2 s after Q was found busy";
    EXPECT_LE(wait, 2000u);
}

// Replaced before it was read: the new content is what is read and named.
TEST_F(HeldScan, ListedPictureReplacedIsNamedAfterItsNewContent)
{
    ScanUntilHeld();
    ASSERT_FALSE(HasFatalFailure());
    std::vector<uint8_t> replacement = Dated("2023:05:05 05:05:05", "picture Q, written again");
    ASSERT_TRUE(WriteFileBytes(Path(q.base + L".jpg"), replacement));

    Texts expected = {L"Renamed " + Path(p.base + L".NEF") + L" to " + Path(p.stamp + L".NEF")};
    for (const std::wstring& line : QRenamed(L"20230505_050505"))
        expected.push_back(line);
    EXPECT_EQ(FinishScan(), expected);
    Contents contents = FolderContents(folder.Path());
    EXPECT_EQ(contents[L"20230505_050505.jpg"], ContentHash(replacement));
    EXPECT_EQ(contents[L"20230505_050505.NEF"], before[q.base + L".NEF"]);
    EXPECT_EQ(contents.size(), 4u);
}

// Its target name taken after the listing: the existence test is made when Q
// is named, so Q takes the next number and nothing is overwritten.
TEST_F(HeldScan, TargetTakenAfterTheListingGivesTheNextNumber)
{
    ScanUntilHeld();
    ASSERT_FALSE(HasFatalFailure());
    std::vector<uint8_t> intruder = WithTrailer({}, "another program's picture");
    ASSERT_TRUE(WriteFileBytes(Path(q.stamp + L".jpg"), intruder));

    Texts expected = {L"Renamed " + Path(p.base + L".NEF") + L" to " + Path(p.stamp + L".NEF")};
    for (const std::wstring& line : QRenamed(q.stamp + L" (001)"))
        expected.push_back(line);
    EXPECT_EQ(FinishScan(), expected);
    Contents contents = FolderContents(folder.Path());
    EXPECT_EQ(contents[q.stamp + L".jpg"], ContentHash(intruder));
    EXPECT_EQ(contents[q.stamp + L" (001).jpg"], before[q.base + L".jpg"]);
    EXPECT_EQ(contents.size(), 5u);
}

}  // namespace
