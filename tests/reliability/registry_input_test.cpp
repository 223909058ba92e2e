// Registry values as another program, an old version or damage may leave them:
// every type but the expected one, sizes from none to several megabytes.
// Loading stays quiet (event lines only), falls back to the defaults, and
// never reads past a value; what is loaded goes safely on to the monitors, and
// a huge folder list is saved and loaded back exactly.
#include <gtest/gtest.h>

#include <windows.h>

#include <list>
#include <ostream>
#include <string>
#include <vector>

#include "events/event_history.h"
#include "monitor/monitors.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "tests/settings/registry_scratch.h"

using namespace std::string_literals;

namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::wstring>;

const wchar_t QueryingFolders[] = L"Querying the following folder(s):";
const wchar_t CannotQueryFolders[] =
    L"Query Folders to monitor failed, Error %d. No folder will be monitored.";

struct OptionValue {
    const wchar_t* valueName;
    std::atomic<uint32_t> SettingsRecord::*field;
    const wchar_t* cannotQuery;
};

const OptionValue Options[] = {
    {L"Autostart", &SettingsRecord::Autostart, L"Query Autostart failed, Error %d. Using Default."},
    {L"LogFile", &SettingsRecord::LogFile, L"Query LogFile failed, Error %d. Using Default."},
    {L"FileModifiedDate", &SettingsRecord::FileModifiedDate,
     L"Query File Modified date failed, Error %d. Using Default."},
};

// ---------------------------------------------------------------- options

struct StoredOptionCase {
    const char* name;
    DWORD type;
    Bytes bytes;
    uint32_t loaded;
    int code;  // 0: nothing logged
};

void PrintTo(const StoredOptionCase& c, std::ostream* os) { *os << c.name; }

const std::vector<StoredOptionCase>& StoredOptionCases()
{
    static const std::vector<StoredOptionCase> cases = {
        // Of another type: refused by its type, whatever it holds.
        {"Binary", REG_BINARY, DwordBytes(1), 0, ERROR_UNSUPPORTED_TYPE},
        {"BigEndianDword", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}, 0, ERROR_UNSUPPORTED_TYPE},
        {"Qword", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, 0, ERROR_UNSUPPORTED_TYPE},
        {"ExpandString", REG_EXPAND_SZ, BytesOf(L"1\0"s), 0, ERROR_UNSUPPORTED_TYPE},
        {"MultiString", REG_MULTI_SZ, BytesOf(L"1\0\0"s), 0, ERROR_UNSUPPORTED_TYPE},
        {"Link", REG_LINK, BytesOf(L"x"s), 0, ERROR_UNSUPPORTED_TYPE},
        {"None", REG_NONE, DwordBytes(1), 0, ERROR_UNSUPPORTED_TYPE},
        // A number of the wrong size: shorter ones are read as far as they go
        // (the rest stays 0), longer ones do not fit and are refused.
        {"DwordOfNoBytes", REG_DWORD, {}, 0, 0},
        {"DwordOfTwoBytes", REG_DWORD, {1, 0}, 1, 0},
        {"DwordOfTwoZeroBytes", REG_DWORD, {0, 0}, 0, 0},
        {"DwordOfEightBytes", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}, 0, ERROR_MORE_DATA},
        {"DwordOfFourMegabytes", REG_DWORD, Bytes(4 << 20, 1), 0, ERROR_MORE_DATA},
    };
    return cases;
}

class StoredOptions : public RedirectedRegistry,
                      public testing::WithParamInterface<StoredOptionCase> {};

// All three stored alike; each is read and reported by itself. They start at
// 1 in memory, so an option left unset shows.
TEST_P(StoredOptions, OfTheWrongTypeOrSizeFallBackQuietly)
{
    for (const OptionValue& option : Options) {
        SetValue(ProgramKey, option.valueName, GetParam().type, GetParam().bytes);
        Settings.*option.field = 1;
    }

    LoadSettings();

    Texts expected;
    for (const OptionValue& option : Options) {
        EXPECT_EQ((Settings.*option.field).load(), GetParam().loaded)
            << testing::PrintToString(option.valueName);
        if (GetParam().code != 0)
            expected.push_back(WithCode(option.cannotQuery, GetParam().code));
    }
    EXPECT_EQ(LoggedTexts(), expected);
}

INSTANTIATE_TEST_SUITE_P(Values, StoredOptions, testing::ValuesIn(StoredOptionCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- folder list

struct StoredFoldersCase {
    const char* name;
    DWORD type;
    Bytes bytes;
};

void PrintTo(const StoredFoldersCase& c, std::ostream* os) { *os << c.name; }

class FoldersOfAnotherType : public RedirectedRegistry,
                             public testing::WithParamInterface<StoredFoldersCase> {};

TEST_P(FoldersOfAnotherType, LoadNoFolderAndLogTheCode)
{
    SetValue(ProgramKey, L"Folders", GetParam().type, GetParam().bytes);
    Settings.Folders = {L"Z:\\from before"};

    LoadSettings();

    EXPECT_TRUE(Settings.Folders.empty());
    EXPECT_EQ(LoggedTexts(), Texts{WithCode(CannotQueryFolders, ERROR_UNSUPPORTED_TYPE)});
}

INSTANTIATE_TEST_SUITE_P(
    Types, FoldersOfAnotherType,
    testing::Values(StoredFoldersCase{"ExpandString", REG_EXPAND_SZ, BytesOf(L"C:\\Bilder\0"s)},
                    StoredFoldersCase{"Binary", REG_BINARY, BytesOf(L"C:\\Bilder\0\0"s)},
                    StoredFoldersCase{"Dword", REG_DWORD, DwordBytes(1)},
                    StoredFoldersCase{"BigEndianDword", REG_DWORD_BIG_ENDIAN, DwordBytes(1)},
                    StoredFoldersCase{"Qword", REG_QWORD, Bytes(8, 0)},
                    StoredFoldersCase{"None", REG_NONE, {}},
                    StoredFoldersCase{"Link", REG_LINK, BytesOf(L"C:\\Bilder"s)}),
    [](const auto& info) { return std::string(info.param.name); });

class HugeFolders : public RedirectedRegistry {};

std::list<std::wstring> ManyFolders(int count)
{
    std::list<std::wstring> folders;
    for (int i = 0; i < count; ++i) {
        std::wstring number = std::to_wstring(i);
        folders.push_back(L"Z:\\pictures\\" + std::wstring(90, L'p') + L"\\" + number);
    }
    return folders;
}

// Several megabytes of folders: saved exactly, loaded back in order, each
// logged by itself.
TEST_F(HugeFolders, ManyFoldersAreSavedAndLoadedWhole)
{
    const std::list<std::wstring> folders = ManyFolders(40000);
    Settings.Folders = folders;
    SaveSettings();
    EXPECT_TRUE(TakeBoxTexts().empty());
    RawValue stored = Value(ProgramKey, L"Folders");
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_GT(stored.bytes.size(), size_t{8} << 20);

    Settings.Folders.clear();
    ClearEventHistory();
    LoadSettings();

    EXPECT_EQ(Settings.Folders, folders);
    Texts logged = LoggedTexts();
    ASSERT_EQ(logged.size(), folders.size() + 1);
    EXPECT_EQ(logged.front(), QueryingFolders);
    EXPECT_EQ(logged.back(), folders.back());
}

// One folder of millions of characters, stored by another program without
// its closing nulls and with an odd byte count: it is loaded whole, its event
// line is cut at the line's limit, and its monitor refuses it.
TEST_F(HugeFolders, OneFolderOfMillionsOfCharactersIsLoadedAndRefusedByItsMonitor)
{
    const size_t length = 3000000;
    Bytes bytes = BytesOf(L"Z:\\" + std::wstring(length - 3, L'q'));
    bytes.push_back('r');  // half a character
    SetValue(ProgramKey, L"Folders", REG_MULTI_SZ, bytes);

    LoadSettings();

    ASSERT_EQ(Settings.Folders.size(), 1u);
    const std::wstring& path = Settings.Folders.front();
    EXPECT_EQ(path.size(), length + 1) << "the odd byte is a character of its own";
    EXPECT_EQ(path.substr(0, length), L"Z:\\" + std::wstring(length - 3, L'q'));
    EXPECT_EQ(path.back(), L'r');
    {
        HistoryLockGuard lock;
        ASSERT_EQ(EventHistory.size(), 2u);
        EXPECT_EQ(EventHistory.back().size(), 1023u);
    }

    ClearEventHistory();
    PrepareMonitorSet();
    StartMonitors();
    ASSERT_NE(MonitorThreads[0], nullptr);
    ASSERT_EQ(WaitForSingleObject(MonitorThreads[0], 10000), WAIT_OBJECT_0);
    StopAllMonitors(1000);
    Texts logged = LoggedTexts();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0], L"The following directory path contains " + std::to_wstring(length + 1) +
                             L" characters, maxium is 260. It will not be monitored");
    EXPECT_EQ(logged[1], path.substr(0, 1023 - 20)) << "the line is cut at 1023 characters";
}

}  // namespace
