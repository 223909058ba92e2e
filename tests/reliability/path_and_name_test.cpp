// Long folder paths and names in any script, through a monitor and its scans:
// what is watched, what is renamed, and the event lines and log records that
// tell of it.
#include "tests/monitor/monitor_fixture.h"

#include <ostream>

#include "rename/folder_scan.h"
#include "tests/reliability/folder_contents.h"
#include "tests/support/local_app_data.h"

namespace {

using Texts = std::vector<std::wstring>;
using Contents = std::map<std::wstring, uint64_t>;

const std::string Date = "2023:04:01 07:29:26";
const std::wstring Stamp = L"20230401_072926";

// ---------------------------------------------------------------- long paths

// A folder path of exactly the given length under the scratch folder, made of
// names short enough for any file system; created level by level.
std::wstring MakeFolderOfLength(const std::wstring& base, size_t length)
{
    std::wstring path = base;
    while (length - path.size() > 151) {
        path += L"\\" + std::wstring(150, L'd');
        EXPECT_TRUE(CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr));
    }
    path += L"\\" + std::wstring(length - path.size() - 1, L'e');
    EXPECT_TRUE(CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr));
    EXPECT_EQ(path.size(), length);
    return path;
}

// A picture name that takes its full path past 260 characters in any of the
// folders, and its companion.
const std::wstring PictureBase = L"IMG_" + std::wstring(32, L'x');

// A folder path's length and whether a monitor watches it.
struct LongFolderCase {
    size_t length;
    bool watched;
};

class LongFolderPaths : public MonitorTest, public testing::WithParamInterface<LongFolderCase> {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        folder = MakeFolderOfLength(root.Path(), GetParam().length);
        ASSERT_TRUE(
            WriteFileBytes(folder + L"\\" + PictureBase + L".jpg",
                           WithTrailer(JpegWithDate(TagDateTimeOriginal, Date), "picture")));
        ASSERT_TRUE(WriteFileBytes(folder + L"\\" + PictureBase + L".NEF", WithTrailer({}, "raw")));
        before = FolderContents(folder);
    }

    // The events of a rename of both, with their paths in the forms of the log.
    Texts Renamed() const
    {
        std::wstring old = folder + L"\\" + PictureBase;
        return {L"Renamed " + old + L".jpg to " + Stamp + L".jpg",
                L"Renamed " + old + L".NEF to " + folder + L"\\" + Stamp + L".NEF"};
    }
    Contents RenamedContents() const
    {
        return {{Stamp + L".NEF", before.at(PictureBase + L".NEF")},
                {Stamp + L".jpg", before.at(PictureBase + L".jpg")}};
    }

    std::wstring folder;
    Contents before;
};

// Up to 260 characters a folder is watched, and its pictures, whose full paths
// exceed 260 characters, are renamed by its first scan; past 260 the monitor
// refuses it and leaves it untouched.
TEST_P(LongFolderPaths, WatchedUpTo260CharactersAndRenamedPastThePathLimit)
{
    Start({folder});
    if (GetParam().watched) {
        ASSERT_TRUE(WaitForMonitors(1));
        EXPECT_EQ(EventTexts(), Renamed());
        EXPECT_EQ(FolderContents(folder), RenamedContents());
        return;
    }
    ASSERT_EQ(WaitForSingleObject(MonitorThreads[0], 10000), WAIT_OBJECT_0);
    EXPECT_EQ(EventTexts(),
              (Texts{L"The following directory path contains " + std::to_wstring(folder.size()) +
                         L" characters, maxium is 260. It will not be monitored",
                     folder}));
    EXPECT_EQ(Statistics.FoldersMonitored, 0);
    EXPECT_EQ(FolderContents(folder), before);
}

// The scan itself has no limit of its own: here it lists, reads and renames
// in folders past 260 characters as well.
TEST_P(LongFolderPaths, ScanRenamesWhateverTheLength)
{
    std::wstring scanPath = folder + L"\\";
    ScanFolder(scanPath.c_str(), static_cast<uint32_t>(scanPath.size()));
    EXPECT_EQ(EventTexts(), Renamed());
    EXPECT_EQ(FolderContents(folder), RenamedContents());
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongFolderPaths,
                         testing::Values(LongFolderCase{259, true}, LongFolderCase{260, true},
                                         LongFolderCase{261, false}, LongFolderCase{300, false}),
                         [](const auto& info) { return std::to_string(info.param.length); });

// A picture whose stamp name would be longer than a file name may be (its
// extension runs on for 240 characters) cannot be renamed: the failure is
// reported at every scan, and the picture stays.
TEST_F(MonitorTest, TargetNameTooLongForTheFileSystemIsReportedAndThePictureKept)
{
    std::wstring folder = root / L"long";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    std::wstring name = L"a.jpg" + std::wstring(240, L'x');
    ASSERT_TRUE(WriteFileBytes(folder + L"\\" + name, JpegWithDate(TagDateTimeOriginal, Date)));
    Contents before = FolderContents(folder);

    for (int scan = 0; scan < 2; ++scan) {
        ClearEventHistory();
        std::wstring scanPath = folder + L"\\";
        ScanFolder(scanPath.c_str(), static_cast<uint32_t>(scanPath.size()));
        Texts events = EventTexts();
        ASSERT_EQ(events.size(), 1u);
        std::wstring tail =
            L" renaming " + name + L" to " + folder + L"\\" + Stamp + name.substr(1);
        EXPECT_TRUE(events[0].starts_with(L"Error ") && events[0].ends_with(tail))
            << testing::PrintToString(events[0]);
        EXPECT_EQ(FolderContents(folder), before);
    }
}

// ---------------------------------------------------------------- scripts

// Each UTF-16 code unit as the log file writes it: itself up to U+00FF, else
// '?'; a character outside the Basic Multilingual Plane is two units, "??".
std::string LogRecordOf(const std::wstring& line)
{
    std::string record;
    for (wchar_t unit : line)
        record.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
    return record;
}

std::vector<std::string> LogRecords(const std::wstring& path)
{
    std::string text = ReadFileText(path);
    std::vector<std::string> records;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        records.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "the log does not end with a whole record";
    return records;
}

// A watched folder and pictures named in Cyrillic, Chinese and with emoji
// (outside the Basic Multilingual Plane, so surrogate pairs in UTF-16): the
// names are renamed whole, a picture's extension keeps its characters, the
// events hold every character, and the log file writes one '?' per code unit.
TEST_F(MonitorTest, NamesInAnyScriptAreRenamedAndLoggedUnitByUnit)
{
    const std::wstring folderName = L"\u0424\u043e\u0442\u043e \u7167\u7247 \U0001F600";
    std::wstring folder = root / folderName;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring camera = L"\u0421\u043d\u0438\u043c\u043e\u043a \U0001F4F7";
    const std::wstring emojiExtension = L".jpg\U0001F600";
    struct Named {
        std::wstring name;
        std::string date;
        std::wstring newName;
    };
    const Named pictures[] = {
        {camera + L".jpg", "2023:04:01 07:29:26", L"20230401_072926.jpg"},
        {L"\u7167\u7247.JPEG", "2023:04:01 07:29:27", L"20230401_072927.JPEG"},
        {L"emoji" + emojiExtension, "2023:04:01 07:29:28", L"20230401_072928" + emojiExtension},
    };
    for (const Named& picture : pictures)
        ASSERT_TRUE(WriteFileBytes(folder + L"\\" + picture.name,
                                   WithTrailer(JpegWithDate(TagDateTimeOriginal, picture.date),
                                               picture.date)));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\" + camera + L".nef", WithTrailer({}, "raw")));
    Contents before = FolderContents(folder);

    LocalAppDataScope localAppData;
    struct LogFileOn {
        LogFileOn() { Settings.LogFile = 1; }
        ~LogFileOn() { Settings.LogFile = 0; }
    } logFileOn;
    Start({folder});
    ASSERT_TRUE(WaitForMonitors(1));

    Texts expected;
    for (const Named& picture : pictures)
        expected.push_back(L"Renamed " + folder + L"\\" + picture.name + L" to " + picture.newName);
    expected.push_back(L"Renamed " + folder + L"\\" + camera + L".NEF to " + folder +
                       L"\\20230401_072926.NEF");
    Texts events = EventTexts();
    std::sort(events.begin(), events.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(events, expected);
    Contents after = FolderContents(folder);
    for (const Named& picture : pictures)
        EXPECT_EQ(after[picture.newName], before[picture.name])
            << testing::PrintToString(picture.newName);
    EXPECT_EQ(after[L"20230401_072926.NEF"], before[camera + L".nef"]);
    EXPECT_EQ(after.size(), 4u);

    // A picture arriving later is seen through the folder's change notification.
    const std::wstring later = L"\u043d\u043e\u0432\u044b\u0439 \U0001F600.jpg";
    ASSERT_TRUE(WriteFileBytes(folder + L"\\" + later,
                               JpegWithDate(TagDateTimeOriginal, "2023:04:01 07:29:29")));
    const std::wstring laterEvent =
        L"Renamed " + folder + L"\\" + later + L" to 20230401_072929.jpg";
    ASSERT_TRUE(WaitUntil(
        [&] {
            Texts now = EventTexts();
            return std::find(now.begin(), now.end(), laterEvent) != now.end();
        },
        20000));
    StopAllMonitors(10000);

    // The history and the log agree line by line; the folder's name, with its
    // surrogate pair, is written as "???? ?? ??".
    std::vector<std::wstring> history;
    {
        HistoryLockGuard lock;
        history.assign(EventHistory.begin(), EventHistory.end());
    }
    std::vector<std::string> records = LogRecords(localAppData.LogPath());
    ASSERT_EQ(records.size(), history.size());
    for (size_t i = 0; i < history.size(); ++i)
        EXPECT_EQ(records[i], LogRecordOf(history[i])) << "record " << i;
    std::string rootBytes = LogRecordOf(root.Path());
    const std::string laterRecord =
        "Renamed " + rootBytes + "\\???? ?? ??\\????? ??.jpg to 20230401_072929.jpg";
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [&](const std::string& r) { return r.substr(20) == laterRecord; }),
              1);
}

}  // namespace
