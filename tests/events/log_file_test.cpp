// The log file: where it is, records, their 8-bit text, the option,
// concurrency, and the one report of a failing file (in a process of its own,
// since the report is made once per process). The local application data
// folder is a scratch stand-in (local_app_data.h); one test reads where the
// real one is, without writing there.
#include <gtest/gtest.h>

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <string>
#include <thread>
#include <vector>

#include "events/event_history.h"
#include "events/log_file.h"
#include "settings/settings.h"
#include "tests/support/local_app_data.h"
#include "tests/support/message_box_catcher.h"
#include "tests/support/scratch_folder.h"

namespace {

std::vector<std::wstring> HistorySnapshot()
{
    HistoryLockGuard lock;
    return {EventHistory.begin(), EventHistory.end()};
}

// Splits the file into records at CR LF; a missing final CR LF fails the test.
std::vector<std::string> ReadRecords(const std::wstring& path)
{
    std::string text = ReadFileText(path);
    std::vector<std::string> records;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        records.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "file does not end with CR LF";
    return records;
}

std::string Latin1(const std::wstring& line)
{
    std::string bytes;
    for (wchar_t unit : line)
        bytes.push_back(static_cast<char>(unit));
    return bytes;
}

class LogFile : public testing::Test {
protected:
    void SetUp() override { ClearEventHistory(); }
    void TearDown() override { Settings.LogFile = 0; }

    LocalAppDataScope localAppData;
    std::wstring logPath = localAppData.LogPath();
};

TEST(LogFileLocation, IsLumistampUnderTheKnownLocalAppDataFolder)
{
    PWSTR known = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known), S_OK);
    std::wstring expected = std::wstring(known) + L"\\Lumistamp\\Lumistamp.Log";
    CoTaskMemFree(known);

    // The path only: nothing is written into the user's own folder.
    std::wstring standIn = ReplaceLocalAppDataForTests(L"");
    std::wstring path = LogFilePath();
    ReplaceLocalAppDataForTests(standIn);
    EXPECT_EQ(path, expected);

    LocalAppDataScope localAppData;
    EXPECT_EQ(LogFilePath(), localAppData.LogPath());
}

TEST_F(LogFile, LandsInItsFolderWhateverTheCurrentDirectoryAndMakesTheFolder)
{
    ASSERT_FALSE(PathExists(localAppData.LogFolder()));
    ScratchFolder first;
    ScratchFolder second;
    Settings.LogFile = 1;
    {
        CurrentDirectoryScope inFirst(first.Path());
        LogEvent(L"started in one folder");
    }
    {
        CurrentDirectoryScope inSecond(second.Path());
        LogEvent(L"started in another");
    }

    std::vector<std::wstring> history = HistorySnapshot();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(ListFolder(localAppData.LogFolder()), std::vector<std::wstring>{L"Lumistamp.Log"});
    std::vector<std::string> records = ReadRecords(logPath);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], Latin1(history[0]));
    EXPECT_EQ(records[1], Latin1(history[1]));
    EXPECT_TRUE(ListFolder(first.Path()).empty());
    EXPECT_TRUE(ListFolder(second.Path()).empty());
    EXPECT_FALSE(LogFileFailureWasReported());
}

TEST_F(LogFile, FolderRemovedWhileRunningIsMadeAgain)
{
    Settings.LogFile = 1;
    LogEvent(L"before");
    RemoveTree(localAppData.LogFolder());
    ASSERT_FALSE(PathExists(localAppData.LogFolder()));
    LogEvent(L"after");

    std::vector<std::string> records = ReadRecords(logPath);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], Latin1(HistorySnapshot()[1]));
    EXPECT_FALSE(LogFileFailureWasReported());
}

TEST_F(LogFile, OptionOffTouchesNoFile)
{
    Settings.LogFile = 0;
    LogEvent(L"nothing to the file");
    EXPECT_FALSE(PathExists(logPath));
    EXPECT_EQ(HistorySnapshot().size(), 1u);
}

TEST_F(LogFile, OptionTurnedOnWritesFromThenOnAndAppendsToExistingFile)
{
    ASSERT_TRUE(CreateDirectoryW(localAppData.LogFolder().c_str(), nullptr));
    ASSERT_TRUE(WriteFileText(logPath, "from an earlier run\r\n"));
    LogEvent(L"before the option");
    Settings.LogFile = 1;
    LogEvent(L"after the option");
    LogEvent(L"and another");

    std::vector<std::wstring> history = HistorySnapshot();
    ASSERT_EQ(history.size(), 3u);
    std::vector<std::string> records = ReadRecords(logPath);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], "from an earlier run");
    EXPECT_EQ(records[1], Latin1(history[1]));
    EXPECT_EQ(records[2], Latin1(history[2]));
}

struct EncodingCase {
    const wchar_t* text;
    const char* bytes;  // the record's text after the 20-byte stamp
};

class LogFileEncoding : public LogFile, public testing::WithParamInterface<EncodingCase> {};

TEST_P(LogFileEncoding, WritesLatin1BytesAndQuestionMarksBeyondIt)
{
    Settings.LogFile = 1;
    LogEvent(GetParam().text);

    std::vector<std::wstring> history = HistorySnapshot();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].substr(20), GetParam().text) << "the history keeps the whole line";
    std::vector<std::string> records = ReadRecords(logPath);
    ASSERT_EQ(records.size(), 1u);
    ASSERT_EQ(records[0].size(), history[0].size());
    EXPECT_EQ(records[0].substr(0, 20), Latin1(history[0].substr(0, 20)));
    EXPECT_EQ(records[0].substr(20), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LogFileEncoding,
    testing::Values(EncodingCase{L"plain ASCII", "plain ASCII"},
                    EncodingCase{L"Caf\u00e9 \u00ff\u00a0", "Caf\xe9 \xff\xa0"},
                    EncodingCase{L"Preis 5\u20ac", "Preis 5?"},
                    EncodingCase{L"Z:\\\u0424\u043e\u0442\u043e\\a.jpg", "Z:\\????\\a.jpg"},
                    EncodingCase{L"\u7167\u7247 \u00e9", "?? \xe9"}));

TEST_F(LogFile, LongestLineMakesA1025ByteRecord)
{
    Settings.LogFile = 1;
    LogEvent(std::wstring(2000, L'x').c_str());
    std::string text = ReadFileText(logPath);
    EXPECT_EQ(text.size(), 1025u);
}

TEST_F(LogFile, ThreadsLoggingAtOnceKeepFileInHistoryOrder)
{
    Settings.LogFile = 1;
    constexpr int Threads = 8;
    constexpr int LinesEach = 150;
    std::vector<std::thread> writers;
    for (int t = 0; t < Threads; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < LinesEach; ++i)
                LogEvent(
                    (L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(i)).c_str());
        });
    for (std::thread& writer : writers)
        writer.join();

    std::vector<std::wstring> history = HistorySnapshot();
    std::vector<std::string> records = ReadRecords(logPath);
    ASSERT_EQ(history.size(), size_t{Threads * LinesEach});
    ASSERT_EQ(records.size(), history.size());
    for (size_t i = 0; i < history.size(); ++i)
        ASSERT_EQ(records[i], Latin1(history[i])) << "at record " << i;
    EXPECT_FALSE(LogFileFailureWasReported());
}

// Runs in a process of its own: the failure is reported once per process.
TEST(LogFileFailure, ReportedOnceThenSilentAndFileWrittenAgainWhenPossible)
{
    ClearEventHistory();
    LocalAppDataScope localAppData;
    std::wstring logPath = localAppData.LogPath();
    // A folder of the log file's name cannot be opened as the file.
    ASSERT_TRUE(CreateDirectoryW(localAppData.LogFolder().c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(logPath.c_str(), nullptr));
    Settings.LogFile = 1;

    LogEvent(L"first event");
    ASSERT_TRUE(WaitForCapturedBoxes(1, 0)) << "the box is shown before LogEvent returns";
    std::vector<CapturedBox> boxes = TakeCapturedBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    const std::wstring report =
        L"Cannot open File to save Event History, Error 5. The last Event is not saved to file.";
    EXPECT_EQ(boxes[0].caption, L"Lumistamp");
    EXPECT_EQ(boxes[0].text, report);
    std::vector<std::wstring> history = HistorySnapshot();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].substr(20), L"first event");
    EXPECT_EQ(history[1].substr(20), report);
    EXPECT_TRUE(LogFileFailureWasReported());

    LogEvent(L"second event");
    EXPECT_TRUE(TakeCapturedBoxes().empty());
    EXPECT_EQ(HistorySnapshot().size(), 3u);

    ASSERT_TRUE(RemoveDirectoryW(logPath.c_str()));
    LogEvent(L"third event");
    EXPECT_TRUE(TakeCapturedBoxes().empty());
    history = HistorySnapshot();
    ASSERT_EQ(history.size(), 4u);
    std::vector<std::string> records = ReadRecords(logPath);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], Latin1(history[3]));
    Settings.LogFile = 0;
}

}  // namespace
