// Watched folders that go wrong under their monitors: moved away or deleted
// while watched, deleted by another program, paths on which no change
// notification can be had; target names taken by another program while a scan
// gives them out; and one folder watched twice so that two scans race for the
// same pictures. No monitor may crash or hang, every stop must still end it,
// and no picture may be lost or overwritten.
#include "tests/monitor/monitor_fixture.h"

#include <atomic>
#include <regex>
#include <set>
#include <thread>

#include "rename/folder_scan.h"
#include "tests/reliability/folder_contents.h"

namespace {

using Texts = std::vector<std::wstring>;

// ---------------------------------------------------------------- moved away

struct MoveCase {
    const char* name;
    const wchar_t* destination;  // relative to the scratch root
};

void PrintTo(const MoveCase& c, std::ostream* os) { *os << c.name; }

class WatchedFolderMoved : public MonitorTest, public testing::WithParamInterface<MoveCase> {};

// The monitor keeps its notification on the folder wherever it went, but it
// scans the path it was given: a change in the moved folder brings one scan
// that finds the path gone. When the interval passes without a change it
// looks at the path itself, finds no folder there, says so and waits, no
// longer counted. The pictures wait, unchanged, until the folder is back under
// its path; it is then scanned and watched as a new folder.
TEST_P(WatchedFolderMoved, IsReportedMissingAndWatchedAgainWhenMovedBack)
{
    std::wstring watched = MakeFolder(L"watched");
    ASSERT_TRUE(CreateDirectoryW((root / L"bin").c_str(), nullptr));
    Start({watched});
    ASSERT_TRUE(WaitForMonitors(1));
    std::vector<HANDLE> threads = CopyMonitorHandles();

    std::wstring moved = root / GetParam().destination;
    ASSERT_TRUE(MoveFileW(watched.c_str(), moved.c_str()));
    ASSERT_TRUE(
        WriteFileBytes(moved + L"\\DSC.jpg", JpegWithDate(TagDateTime, "2023:04:01 07:29:26")));
    std::map<std::wstring, uint64_t> before = FolderContents(moved);

    const std::wstring missing = L"Directory " + watched + L"\\, does not exist";
    ASSERT_TRUE(WaitUntil([] { return EventTexts().size() == 3; }, 30000))
        << testing::PrintToString(EventTexts());
    EXPECT_EQ(EventTexts(), (Texts{MarkerEvent(watched + L"\\"), missing, MissingEvent(watched)}));
    EXPECT_EQ(Statistics.FoldersMonitored, 0);
    EXPECT_EQ(FolderContents(moved), before) << "nothing renamed, nothing lost";

    ASSERT_TRUE(MoveFileW(moved.c_str(), watched.c_str()));
    ASSERT_TRUE(WaitForMonitors(1, 30000));
    StopAllMonitors(10000);
    EXPECT_EQ(ExitCodes(threads, 0), std::vector<DWORD>{0});
    EXPECT_EQ(Statistics.FoldersMonitored, 0);
    Texts events = EventTexts();
    ASSERT_EQ(events.size(), 6u) << testing::PrintToString(events);
    EXPECT_EQ(Texts(events.begin(), events.begin() + 4),
              (Texts{MarkerEvent(watched + L"\\"), missing, MissingEvent(watched),
                     BackEvent(watched)}));
    // Scanned as a new folder: both pictures, in the order the folder lists them.
    Texts scan(events.begin() + 4, events.end());
    std::sort(scan.begin(), scan.end());
    EXPECT_EQ(scan, (Texts{MarkerEvent(watched + L"\\"),
                           L"Renamed " + watched + L"\\DSC.jpg to 20230401_072926.jpg"}));
}

INSTANTIATE_TEST_SUITE_P(Moves, WatchedFolderMoved,
                         testing::Values(MoveCase{"RenamedInPlace", L"renamed"},
                                         MoveCase{"MovedIntoAnotherFolder", L"bin\\watched"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- deleted

// A hidden window standing in for the Statistics page: the refresh request it
// receives marks the end of a rescan.
class RefreshCounter {
public:
    RefreshCounter()
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"LumistampReliabilityRefreshCounter";
        RegisterClassW(&windowClass);
        window_ = CreateWindowW(windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
        Requests = 0;
        StatisticsPageWindow = window_;
    }
    ~RefreshCounter()
    {
        StatisticsPageWindow = nullptr;
        DestroyWindow(window_);
    }
    RefreshCounter(const RefreshCounter&) = delete;
    RefreshCounter& operator=(const RefreshCounter&) = delete;

    static int Requests;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_PAINT && wParam == 0 && lParam == 0) {
            ++Requests;
            ValidateRect(window, nullptr);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
};

int RefreshCounter::Requests = 0;

// Deleting a folder that is open (its monitor holds a change notification on
// it) only marks it for deletion; it goes once the last handle is closed. The
// monitor's rescan finds it empty, and its stop lets it go.
TEST_F(MonitorTest, WatchedFolderDeletedGoesWhenItsMonitorStops)
{
    RefreshCounter refreshes;
    std::wstring watched = MakeFolder(L"watched");
    Start({watched});
    ASSERT_TRUE(WaitForMonitors(1));
    std::vector<HANDLE> threads = CopyMonitorHandles();

    ASSERT_TRUE(DeleteFileW((watched + L"\\marker.jpg").c_str()));
    ASSERT_TRUE(RemoveDirectoryW(watched.c_str()));
    ASSERT_TRUE(WaitUntil([] { return RefreshCounter::Requests == 1; }, 20000))
        << "one rescan after the marker went";
    EXPECT_EQ(EventTexts(), Texts{MarkerEvent(watched + L"\\")}) << "the rescan found nothing";

    StopAllMonitors(10000);
    EXPECT_EQ(ExitCodes(threads, 0), std::vector<DWORD>{0});
    EXPECT_EQ(Statistics.FoldersMonitored, 0);
    EXPECT_FALSE(PathExists(watched)) << "the monitor let go of the folder";
}

// Another program (here a process of the host system that Wine runs on)
// deletes the watched folder outright. The test asks for the deletion by
// writing "delete-<name>" into the folder named by LUMISTAMP_HOST_SCRATCH;
// tests/support/host_requests.sh runs this test and does the deleting.
TEST_F(MonitorTest, WatchedFolderDeletedByAnotherProgramIsWatchedAgainWhenMadeAgain)
{
    wchar_t scratch[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"LUMISTAMP_HOST_SCRATCH", scratch, ARRAYSIZE(scratch)))
        GTEST_SKIP() << "no deleting helper: run through tests/support/host_requests.sh";
    std::wstring watched = std::wstring(scratch) + L"\\watched";
    std::wstring request = std::wstring(scratch) + L"\\delete-watched";
    ASSERT_TRUE(CreateDirectoryW(watched.c_str(), nullptr));
    PutMarker(watched);

    Start({watched});
    ASSERT_TRUE(WaitForMonitors(1));
    std::vector<HANDLE> threads = CopyMonitorHandles();
    ASSERT_TRUE(WriteFileText(request, "watched"));
    ASSERT_TRUE(WaitUntil([&] { return !PathExists(watched) && !PathExists(request); }, 20000))
        << "the helper did not delete the folder";

    // The deletion of the marker is a change: one rescan, which finds no
    // folder. The look at the interval finds none either, and says so.
    const std::wstring missing = L"Directory " + watched + L"\\, does not exist";
    ASSERT_TRUE(WaitUntil([&] { return EventTexts().size() == 3; }, 30000))
        << testing::PrintToString(EventTexts());
    EXPECT_EQ(EventTexts(), (Texts{MarkerEvent(watched + L"\\"), missing, MissingEvent(watched)}));
    EXPECT_EQ(Statistics.FoldersMonitored, 0);

    // Made again under the same name, it is watched again by the same monitor.
    ASSERT_TRUE(CreateDirectoryW(watched.c_str(), nullptr));
    ASSERT_TRUE(
        WriteFileBytes(watched + L"\\DSC.jpg", JpegWithDate(TagDateTime, "2023:04:01 07:29:26")));
    ASSERT_TRUE(WaitForMonitors(1, 30000));
    StopAllMonitors(10000);
    EXPECT_EQ(ExitCodes(threads, 0), std::vector<DWORD>{0});
    EXPECT_EQ(EventTexts(), (Texts{MarkerEvent(watched + L"\\"), missing, MissingEvent(watched),
                                   BackEvent(watched),
                                   L"Renamed " + watched + L"\\DSC.jpg to 20230401_072926.jpg"}));
    RemoveTree(watched);
}

// ---------------------------------------------------------------- no notification

// Paths on which the system gives no change notification: the monitor says so
// with the system's code, ends at once with that code, counts nothing and
// touches nothing.
TEST_F(MonitorTest, PathsWithoutNotificationsAreReportedAndLeftAlone)
{
    std::wstring file = root / L"notes.jpg";
    ASSERT_TRUE(WriteFileBytes(file, JpegWithDate(TagDateTime, "2023:04:01 07:29:26")));
    std::map<std::wstring, uint64_t> before = FolderContents(root.Path());
    struct Refused {
        std::wstring path;
        DWORD code;
    };
    const Refused refused[] = {
        {file, ERROR_DIRECTORY},                   // a file, not a folder
        {file + L"\\", ERROR_INVALID_NAME},        // a file, asked for as a folder
        {root / L"bad|name", ERROR_INVALID_NAME},  // a character no name may hold
    };
    std::vector<std::wstring> paths;
    for (const Refused& r : refused)
        paths.push_back(r.path);

    Start(paths);
    std::vector<HANDLE> threads = CopyMonitorHandles();
    ASSERT_EQ(threads.size(), 3u);
    std::vector<DWORD> codes = ExitCodes(threads, 10000);

    Texts expected;
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(codes[i], refused[i].code) << testing::PrintToString(refused[i].path);
        expected.push_back(L"FindFirstFile for " + refused[i].path + L" returns " +
                           std::to_wstring(refused[i].code) + L", Directory is not monitored");
    }
    Texts events = EventTexts();
    std::sort(events.begin(), events.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(events, expected);
    EXPECT_EQ(Statistics.FoldersMonitored, 0);
    EXPECT_EQ(FolderContents(root.Path()), before);
}

// ---------------------------------------------------------------- watched twice

// The same folder listed twice: two monitors whose first scans run at once over
// the same pictures, round after round, with many pictures per second (so the
// scans compete for the same target names), companions, pictures without a
// date and other files. After each round every picture bears a stamp name of
// its own date, or keeps its name with an event about it; every companion
// stands beside its picture; every failed rename is a lost race (the source
// gone, or the target taken); nothing is lost or doubled. A last single scan
// names whatever the races left.
class SameFolderWatchedTwice : public MonitorTest {
protected:
    struct Picture {
        std::wstring name;   // as written
        std::wstring stamp;  // empty: no date
        uint64_t hash;
        bool companion;
        uint64_t companionHash;
    };

    void PutRound(int round)
    {
        for (int i = 0; i < PicturesPerRound; ++i) {
            wchar_t base[32];
            swprintf(base, 32, L"r%d_%03d", round, i);
            Picture picture{std::wstring(base) + L".jpg", L"", 0, i % 4 == 0, 0};
            std::string trailer = "picture " + std::to_string(round) + "/" + std::to_string(i);
            std::vector<uint8_t> bytes;
            if (i % 10 == 9) {
                bytes = WithTrailer(JpegWithoutExif(), trailer);
            } else {
                int second = 10 + i % Seconds;
                bytes = WithTrailer(JpegWithDate(TagDateTimeOriginal,
                                                 "2023:04:01 07:30:" + std::to_string(second)),
                                    trailer);
                picture.stamp = L"20230401_0730" + std::to_wstring(second);
            }
            picture.hash = ContentHash(bytes);
            ASSERT_TRUE(WriteFileBytes(folder + L"\\" + picture.name, bytes));
            if (picture.companion) {
                std::vector<uint8_t> raw = WithTrailer({}, "raw " + trailer);
                picture.companionHash = ContentHash(raw);
                ASSERT_TRUE(WriteFileBytes(folder + L"\\" + base + L".NEF", raw));
            }
            pictures.push_back(picture);
        }
        std::vector<uint8_t> other = WithTrailer({}, "other file " + std::to_string(round));
        ASSERT_TRUE(WriteFileBytes(folder + L"\\notes" + std::to_wstring(round) + L".txt", other));
        others.push_back(ContentHash(other));
    }

    std::vector<uint64_t> AllHashes() const
    {
        std::vector<uint64_t> hashes = others;
        for (const Picture& picture : pictures) {
            hashes.push_back(picture.hash);
            if (picture.companion)
                hashes.push_back(picture.companionHash);
        }
        std::sort(hashes.begin(), hashes.end());
        return hashes;
    }

    static bool IsStampName(const std::wstring& name, const std::wstring& stamp)
    {
        static const std::wregex numbered(L" \\(\\d{3,}\\)\\.jpg");
        return name == stamp + L".jpg" ||
               (name.starts_with(stamp) && std::regex_match(name.substr(stamp.size()), numbered));
    }

    // Checks one round's end state; counts the failed renames it saw by code.
    void CheckRound(const Texts& events)
    {
        std::map<std::wstring, uint64_t> contents = FolderContents(folder);
        EXPECT_EQ(SortedHashes(contents), AllHashes()) << "files lost or doubled";
        std::map<uint64_t, std::wstring> nameOf;
        for (const auto& [name, hash] : contents)
            nameOf[hash] = name;

        static const std::wregex failedRename(L"Error (\\d+) renaming (\\S+) to .*");
        std::set<std::wstring> reported;  // short names with an event
        for (const std::wstring& text : events) {
            std::wsmatch match;
            if (std::regex_match(text, match, failedRename)) {
                int code = std::stoi(match[1].str());
                ++lostRaces[code];
                EXPECT_TRUE(code == ERROR_FILE_NOT_FOUND || code == ERROR_ALREADY_EXISTS)
                    << "not a lost race: " << testing::PrintToString(text);
                reported.insert(match[2].str());
            }
            const std::wstring noDate = L"No Exif information available for " + folder + L"\\";
            if (text.starts_with(noDate))
                reported.insert(
                    text.substr(noDate.size(), text.find(L' ', noDate.size()) - noDate.size()));
        }

        for (const Picture& picture : pictures) {
            const std::wstring& name = nameOf[picture.hash];
            if (picture.stamp.empty() || name == picture.name) {
                EXPECT_EQ(name, picture.name);
                EXPECT_TRUE(reported.count(picture.name))
                    << "kept its name without an event: " << testing::PrintToString(picture.name);
            } else {
                EXPECT_TRUE(IsStampName(name, picture.stamp))
                    << testing::PrintToString(picture.name) << " became "
                    << testing::PrintToString(name);
            }
            if (picture.companion) {
                std::wstring expected = name.substr(0, name.rfind(L'.')) + L".NEF";
                EXPECT_EQ(nameOf[picture.companionHash], expected)
                    << "companion of " << testing::PrintToString(picture.name);
            }
        }
    }

    static constexpr int Rounds = 3;
    static constexpr int PicturesPerRound = 120;
    static constexpr int Seconds = 6;  // 20 pictures per second in each round

    std::wstring folder = root / L"twice";
    std::vector<Picture> pictures;
    std::vector<uint64_t> others;
    std::map<int, int> lostRaces;  // failed renames by error code
};

// Another program creates files under the very names a scan gives out: while
// the scan names a burst of pictures of one second, it takes the lowest free
// numbered name again and again, so both test the same names at the same time
// and one of them finds its name taken after its test. Whoever comes first
// keeps the name: nothing is overwritten, and a picture that loses its name
// keeps its own and is reported with error 183.
TEST_F(MonitorTest, NamesTakenByAnotherProgramDuringTheScanOverwriteNothing)
{
    std::wstring folder = root / L"burst";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    constexpr int Pictures = 150;
    std::map<uint64_t, std::wstring> pictures;  // hash -> name as written
    for (int i = 0; i < Pictures; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"burst_%03d.jpg", i);
        std::vector<uint8_t> bytes =
            WithTrailer(JpegWithDate(TagDateTimeOriginal, "2023:04:01 07:29:26"),
                        "burst picture " + std::to_string(i));
        ASSERT_TRUE(WriteFileBytes(folder + L"\\" + name, bytes));
        pictures[ContentHash(bytes)] = name;
    }
    const std::wstring stamp = L"20230401_072926";

    std::atomic<bool> scanning{true};
    std::vector<uint64_t> taken;  // what the other program wrote
    std::thread other([&] {
        for (int file = 0; scanning && file < Pictures; ++file) {
            std::wstring name = folder + L"\\" + stamp + L".jpg";
            for (int n = 1; GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; ++n) {
                wchar_t numbered[48];
                swprintf(numbered, 48, L"%ls (%03d).jpg", stamp.c_str(), n);
                name = folder + L"\\" + numbered;
            }
            HANDLE created = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
            if (created == INVALID_HANDLE_VALUE)
                continue;  // the scan was first
            std::string text = "another program's file " + std::to_string(file);
            DWORD written = 0;
            WriteFile(created, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            CloseHandle(created);
            taken.push_back(ContentHash(std::vector<uint8_t>(text.begin(), text.end())));
        }
    });
    std::wstring scanPath = folder + L"\\";
    ScanFolder(scanPath.c_str(), static_cast<uint32_t>(scanPath.size()));
    scanning = false;
    other.join();

    std::map<std::wstring, uint64_t> contents = FolderContents(folder);
    std::vector<uint64_t> expected = taken;
    for (const auto& picture : pictures)
        expected.push_back(picture.first);
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(SortedHashes(contents), expected) << "files lost or overwritten";

    static const std::wregex failedRename(L"Error (\\d+) renaming (\\S+) to .*");
    std::set<std::wstring> failed;
    for (const std::wstring& text : EventTexts()) {
        std::wsmatch match;
        if (std::regex_match(text, match, failedRename)) {
            EXPECT_EQ(match[1].str(), L"183") << testing::PrintToString(text);
            failed.insert(match[2].str());
        }
    }
    static const std::wregex stampName(L"20230401_072926( \\(\\d{3,}\\))?\\.jpg");
    for (const auto& [name, hash] : contents) {
        auto picture = pictures.find(hash);
        if (picture == pictures.end())
            continue;  // the other program's
        if (name == picture->second)
            EXPECT_TRUE(failed.count(name))
                << "kept its name unreported: " << testing::PrintToString(name);
        else
            EXPECT_TRUE(std::regex_match(name, stampName)) << testing::PrintToString(name);
    }
    std::printf("%d pictures of one second, %zu names taken by the other program meanwhile, "
                "%zu pictures that lost their name to it (error 183)\n",
                Pictures, taken.size(), failed.size());
}

TEST_F(SameFolderWatchedTwice, EveryPictureEndsNamedOrReportedAndNothingIsLost)
{
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    for (int round = 0; round < Rounds; ++round) {
        PutRound(round);
        if (HasFatalFailure())
            return;
        ClearEventHistory();
        PrepareMonitorSet();
        Start({folder, folder});
        ASSERT_TRUE(WaitForMonitors(2, 120000)) << "round " << round;
        StopAllMonitors(60000);
        CheckRound(EventTexts());
    }

    ClearEventHistory();
    std::wstring scanPath = folder + L"\\";
    ScanFolder(scanPath.c_str(), static_cast<uint32_t>(scanPath.size()));
    std::map<std::wstring, uint64_t> contents = FolderContents(folder);
    EXPECT_EQ(SortedHashes(contents), AllHashes());
    for (const Picture& picture : pictures) {
        if (picture.stamp.empty())
            continue;
        auto at = std::find_if(contents.begin(), contents.end(),
                               [&](const auto& entry) { return entry.second == picture.hash; });
        ASSERT_NE(at, contents.end());
        EXPECT_TRUE(IsStampName(at->first, picture.stamp)) << testing::PrintToString(at->first);
    }
    std::printf("%d pictures in %d rounds; lost races reported as failed renames: %d with "
                "error 2 (picture gone), %d with error 183 (name taken)\n",
                Rounds * PicturesPerRound, Rounds, lostRaces[ERROR_FILE_NOT_FOUND],
                lostRaces[ERROR_ALREADY_EXISTS]);
}

}  // namespace
