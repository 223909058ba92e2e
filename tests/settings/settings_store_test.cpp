// LoadSettings and SaveSettings against a redirected HKEY_CURRENT_USER: the
// first start, the options and the folder list as stored by us or by others,
// the exact bytes saved, and the program key that cannot be opened.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <list>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "events/event_history.h"
#include "settings/companions.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "tests/settings/registry_scratch.h"

using namespace std::string_literals;

namespace {

const wchar_t QueryingFolders[] = L"Querying the following folder(s):";
const wchar_t CannotQueryFolders[] =
    L"Query Folders to monitor failed, Error %d. No folder will be monitored.";
const wchar_t CannotOpenForLoading[] = L"RegOpenKeyExW failed, Error %d";
const wchar_t CannotOpenForSaving[] =
    L"Cannot open Registry Key to save settings, Error %d. Settings are not preserved.";

const std::wstring StaleEntry = L"Z:\\old place\\Lumistamp.exe";

std::list<std::wstring> Folders(std::vector<std::wstring> paths)
{
    return {paths.begin(), paths.end()};
}

std::vector<std::wstring> Then(std::vector<std::wstring> first,
                               const std::vector<std::wstring>& rest)
{
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
}

// ---------------------------------------------------------------- first start

class SettingsStore : public RedirectedRegistry {};

TEST_F(SettingsStore, FirstStartCreatesTheKeyLoadsDefaultsAndLogsNothing)
{
    Settings.Autostart = 1;
    Settings.LogFile = 1;
    Settings.FileModifiedDate = 1;

    LoadSettings();

    EXPECT_TRUE(KeyExists(ProgramKey));
    EXPECT_EQ(Settings.Autostart.load(), 0u);
    EXPECT_EQ(Settings.LogFile.load(), 0u);
    EXPECT_EQ(Settings.FileModifiedDate.load(), 0u);
    EXPECT_TRUE(Settings.Folders.empty());
    EXPECT_TRUE(LoggedTexts().empty());
}

// ---------------------------------------------------------------- one option

struct OptionCase {
    const char* name;
    const wchar_t* valueName;
    std::atomic<uint32_t> SettingsRecord::*field;
    const wchar_t* cannotQuery;
};

void PrintTo(const OptionCase& c, std::ostream* os) { *os << c.name; }

struct StoredNumberCase {
    const char* name;
    bool present;
    DWORD type;
    std::vector<uint8_t> bytes;
    uint32_t loaded;
    int failureCode;  // 0: nothing logged
};

void PrintTo(const StoredNumberCase& c, std::ostream* os) { *os << c.name; }

const OptionCase OptionCases[] = {
    {"Autostart", L"Autostart", &SettingsRecord::Autostart,
     L"Query Autostart failed, Error %d. Using Default."},
    {"LogFile", L"LogFile", &SettingsRecord::LogFile,
     L"Query LogFile failed, Error %d. Using Default."},
    {"FileModifiedDate", L"FileModifiedDate", &SettingsRecord::FileModifiedDate,
     L"Query File Modified date failed, Error %d. Using Default."},
};

const StoredNumberCase StoredNumberCases[] = {
    {"Missing", false, REG_NONE, {}, 0, 0},
    {"Zero", true, REG_DWORD, DwordBytes(0), 0, 0},
    {"One", true, REG_DWORD, DwordBytes(1), 1, 0},
    {"Two", true, REG_DWORD, DwordBytes(2), 1, 0},
    {"HighBitOnly", true, REG_DWORD, DwordBytes(0x80000000), 1, 0},
    {"Text", true, REG_SZ, BytesOf(L"1\0"s), 0, ERROR_UNSUPPORTED_TYPE},
};

class SettingsLoadOption
    : public RedirectedRegistry,
      public testing::WithParamInterface<std::tuple<OptionCase, StoredNumberCase>> {};

// All three start at 1 in memory, so an option that is not reset shows. The
// other two are stored as 1 and must load as 1 whatever happens to this one.
TEST_P(SettingsLoadOption, ReadsNonZeroAsOneAndFallsBackToZero)
{
    const auto& [option, stored] = GetParam();
    for (const OptionCase& other : OptionCases) {
        Settings.*other.field = 1;
        if (std::wstring(other.valueName) != option.valueName)
            SetDword(ProgramKey, other.valueName, 1);
    }
    if (stored.present)
        SetValue(ProgramKey, option.valueName, stored.type, stored.bytes);

    LoadSettings();

    for (const OptionCase& other : OptionCases) {
        uint32_t expected = std::wstring(other.valueName) == option.valueName ? stored.loaded : 1;
        EXPECT_EQ((Settings.*other.field).load(), expected) << other.name;
    }
    std::vector<std::wstring> expectedLog;
    if (stored.failureCode != 0)
        expectedLog.push_back(WithCode(option.cannotQuery, stored.failureCode));
    EXPECT_EQ(LoggedTexts(), expectedLog);
}

INSTANTIATE_TEST_SUITE_P(Stored, SettingsLoadOption,
                         testing::Combine(testing::ValuesIn(OptionCases),
                                          testing::ValuesIn(StoredNumberCases)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

TEST_F(SettingsStore, NumberStoredAsTwoIsSavedBackAsOne)
{
    for (const OptionCase& option : OptionCases)
        SetDword(ProgramKey, option.valueName, 2);

    LoadSettings();
    SaveSettings();

    for (const OptionCase& option : OptionCases) {
        RawValue value = Value(ProgramKey, option.valueName);
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << option.name;
        EXPECT_EQ(value.bytes, DwordBytes(1)) << option.name;
    }
}

// ---------------------------------------------------------------- opt-in options

// The options that widen what is renamed, each absent until it is first on.
struct OptInOption {
    const wchar_t* name;
    std::atomic<uint32_t> SettingsRecord::*field;
    const wchar_t* queryFailedAsAString;
};
const OptInOption OptInOptions[] = {
    {L"HeifPictures", &SettingsRecord::HeifPictures,
     L"Query HeifPictures failed, Error 1630. Using Default."},
    {L"VideoFiles", &SettingsRecord::VideoFiles,
     L"Query VideoFiles failed, Error 1630. Using Default."},
};

// Absent until it is first turned on; then kept, on or off, like the others.
TEST_F(SettingsStore, OptInOptionsAreWrittenOnlyOnceTheyWereOn)
{
    for (const OptInOption& option : OptInOptions) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(option.name)));
        LoadSettings();
        EXPECT_EQ((Settings.*option.field).load(), 0u);
        SaveSettings();
        EXPECT_FALSE(Value(ProgramKey, option.name).present);

        Settings.*option.field = 1;
        SaveSettings();
        RawValue on = Value(ProgramKey, option.name);
        EXPECT_EQ(on.type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(on.bytes, DwordBytes(1));
        for (const OptInOption& other : OptInOptions) {
            if (&other != &option) {
                EXPECT_FALSE(Value(ProgramKey, other.name).present) << other.name;
            }
        }

        ClearEventHistory();
        LoadSettings();
        EXPECT_EQ((Settings.*option.field).load(), 1u);
        Settings.*option.field = 0;
        SaveSettings();
        EXPECT_EQ(Value(ProgramKey, option.name).bytes, DwordBytes(0));
        // The reload's line for the (empty) folder list, and nothing of the option.
        EXPECT_EQ(LoggedTexts(), std::vector<std::wstring>{QueryingFolders});
        RegDeleteKeyValueW(HKEY_CURRENT_USER, ProgramKey, option.name);
    }
}

TEST_F(SettingsStore, OptInOptionsReadNonZeroAsOneAndAnotherTypeAsOff)
{
    for (const OptInOption& option : OptInOptions) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(option.name)));
        SetDword(ProgramKey, option.name, 2);
        LoadSettings();
        EXPECT_EQ((Settings.*option.field).load(), 1u);

        ClearEventHistory();
        SetText(ProgramKey, option.name, REG_SZ, L"1");
        LoadSettings();
        EXPECT_EQ((Settings.*option.field).load(), 0u);
        EXPECT_EQ(LoggedTexts(), std::vector<std::wstring>{option.queryFailedAsAString});
        Settings.*option.field = 0;
        RegDeleteKeyValueW(HKEY_CURRENT_USER, ProgramKey, option.name);
    }
}

// ---------------------------------------------------------------- folder list

struct StoredFoldersCase {
    const char* name;
    std::wstring stored;  // the value's characters, nulls included
    std::vector<std::wstring> loaded;
};

void PrintTo(const StoredFoldersCase& c, std::ostream* os) { *os << c.name; }

const std::wstring LongPath = L"Z:\\" + std::wstring(600, L'p');

const StoredFoldersCase StoredFoldersCases[] = {
    {"EmptyAsTwoNulls", L"\0\0"s, {}},
    {"EmptyAsOneNull", L"\0"s, {}},
    {"EmptyWithoutBytes", L""s, {}},
    {"OnePath", L"C:\\Bilder\0\0"s, {L"C:\\Bilder"}},
    // A drive's root keeps its backslash; no path is examined, however long.
    {"PathsInStoredOrder",
     L"Z:\\b\0C:\\\0D:\\Fotos \x00C4\x03A9\0"s + LongPath + L"\0\0"s,
     {L"Z:\\b", L"C:\\", L"D:\\Fotos \x00C4\x03A9", LongPath}},
    {"StopsAtEmptyString", L"C:\\a\0\0C:\\b\0\0"s, {L"C:\\a"}},
    {"KeepsDuplicates", L"C:\\a\0C:\\a\0\0"s, {L"C:\\a", L"C:\\a"}},
    // As another program may leave it: no closing nulls at all.
    {"WithoutClosingNulls", L"C:\\a\0C:\\b"s, {L"C:\\a", L"C:\\b"}},
};

class SettingsLoadFolders : public RedirectedRegistry,
                            public testing::WithParamInterface<StoredFoldersCase> {};

TEST_P(SettingsLoadFolders, LoadsAndLogsEachPathInStoredOrder)
{
    SetText(ProgramKey, L"Folders", REG_MULTI_SZ, GetParam().stored);
    Settings.Folders = Folders({L"Z:\\from before"});

    LoadSettings();

    EXPECT_EQ(Settings.Folders, Folders(GetParam().loaded));
    EXPECT_EQ(LoggedTexts(), Then({QueryingFolders}, GetParam().loaded));
}

INSTANTIATE_TEST_SUITE_P(Stored, SettingsLoadFolders, testing::ValuesIn(StoredFoldersCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsStore, FoldersOfAnotherTypeLoadNoFolderAndLogTheCode)
{
    SetText(ProgramKey, L"Folders", REG_SZ, L"C:\\Bilder\0"s);
    Settings.Folders = Folders({L"Z:\\from before"});

    LoadSettings();

    EXPECT_TRUE(Settings.Folders.empty());
    EXPECT_EQ(LoggedTexts(),
              std::vector<std::wstring>{WithCode(CannotQueryFolders, ERROR_UNSUPPORTED_TYPE)});
}

// ---------------------------------------------------------------- save, then load

struct SavedRecordCase {
    const char* name;
    uint32_t autostart;
    uint32_t logFile;
    uint32_t fileModifiedDate;
    std::vector<std::wstring> folders;
    std::wstring stored;  // the exact "Folders" value
};

void PrintTo(const SavedRecordCase& c, std::ostream* os) { *os << c.name; }

const SavedRecordCase SavedRecordCases[] = {
    {"AllOffOnePath", 0, 0, 0, {L"C:\\Bilder"}, L"C:\\Bilder\0\0"s},
    {"MixedSeveralPaths",
     1,
     0,
     1,
     {L"Z:\\b", L"C:\\", L"D:\\Fotos \x00C4\x03A9", L"Z:\\b"},
     L"Z:\\b\0C:\\\0D:\\Fotos \x00C4\x03A9\0Z:\\b\0\0"s},
    // Emptied by the user: stored as the empty list, not left as it was.
    {"AllOnNoFolder", 1, 1, 1, {}, L"\0\0"s},
};

class SettingsSaveAndLoad : public RedirectedRegistry,
                            public testing::WithParamInterface<SavedRecordCase> {};

TEST_P(SettingsSaveAndLoad, StoresExactValuesAndLoadsTheSameRecord)
{
    const SavedRecordCase& record = GetParam();
    const std::pair<const wchar_t*, uint32_t> options[] = {{L"Autostart", record.autostart},
                                                           {L"LogFile", record.logFile},
                                                           {L"FileModifiedDate",
                                                            record.fileModifiedDate}};
    // What an earlier save left: the opposite everywhere.
    for (const auto& [name, number] : options)
        SetDword(ProgramKey, name, 1 - number);
    SetText(ProgramKey, L"Folders", REG_MULTI_SZ, L"Z:\\earlier\0\0"s);
    Settings.Autostart = record.autostart;
    Settings.LogFile = record.logFile;
    Settings.FileModifiedDate = record.fileModifiedDate;
    Settings.Folders = Folders(record.folders);

    SaveSettings();

    EXPECT_TRUE(TakeBoxTexts().empty());
    EXPECT_TRUE(LoggedTexts().empty());
    for (const auto& [name, number] : options) {
        RawValue value = Value(ProgramKey, name);
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << testing::PrintToString(name);
        EXPECT_EQ(value.bytes, DwordBytes(number)) << testing::PrintToString(name);
    }
    RawValue folders = Value(ProgramKey, L"Folders");
    EXPECT_EQ(folders.type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(folders.bytes, BytesOf(record.stored));
    // The autostart entry follows the option as the last step.
    EXPECT_EQ(Value(RunKey, AutostartName).present, record.autostart == 1);

    Settings.Autostart = 1 - record.autostart;
    Settings.LogFile = 1 - record.logFile;
    Settings.FileModifiedDate = 1 - record.fileModifiedDate;
    Settings.Folders = Folders({L"Z:\\in memory only"});
    ClearEventHistory();

    LoadSettings();

    EXPECT_EQ(Settings.Autostart.load(), record.autostart);
    EXPECT_EQ(Settings.LogFile.load(), record.logFile);
    EXPECT_EQ(Settings.FileModifiedDate.load(), record.fileModifiedDate);
    EXPECT_EQ(Settings.Folders, Folders(record.folders));
    EXPECT_EQ(LoggedTexts(), Then({QueryingFolders}, record.folders));
}

INSTANTIATE_TEST_SUITE_P(Records, SettingsSaveAndLoad, testing::ValuesIn(SavedRecordCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- key not opened

// Ways the program key cannot be opened with full access, with the code the
// registry gives. Each also leaves an autostart entry in place, which a save
// that went on to the entry would overwrite.
struct UnopenableKeyCase {
    const char* name;
    void (*arrange)(RedirectedRegistry&);
    int code;
};

void PrintTo(const UnopenableKeyCase& c, std::ostream* os) { *os << c.name; }

// Present but read-only: the user may read the settings, not write them.
void ReadOnlyKey(RedirectedRegistry& registry)
{
    registry.SetText(RunKey, AutostartName, REG_SZ, StaleEntry + L'\0');
    registry.SetDword(ProgramKey, L"Autostart", 0);
    registry.MakeReadOnly(ProgramKey);
}

// Missing, and it cannot be created: a lasting key may not live under a
// volatile one.
void UnderVolatileKey(RedirectedRegistry& registry)
{
    registry.CreateKey(RunKey, REG_OPTION_VOLATILE);
    registry.SetText(RunKey, AutostartName, REG_SZ, StaleEntry + L'\0');
}

const UnopenableKeyCase UnopenableKeyCases[] = {
    {"ReadOnlyKey", ReadOnlyKey, ERROR_ACCESS_DENIED},
    {"UnderVolatileKey", UnderVolatileKey, ERROR_CHILD_MUST_BE_VOLATILE},
};

class SettingsKeyNotOpened : public RedirectedRegistry,
                             public testing::WithParamInterface<UnopenableKeyCase> {};

TEST_P(SettingsKeyNotOpened, LoadKeepsDefaultsAndFoldersAndLogsQuietly)
{
    GetParam().arrange(*this);
    if (HasFatalFailure())
        return;
    Settings.Autostart = 1;
    Settings.LogFile = 1;
    Settings.FileModifiedDate = 1;
    Settings.Folders = Folders({L"Z:\\kept"});

    LoadSettings();

    EXPECT_EQ(Settings.Autostart.load(), 0u);
    EXPECT_EQ(Settings.LogFile.load(), 0u);
    EXPECT_EQ(Settings.FileModifiedDate.load(), 0u);
    EXPECT_EQ(Settings.Folders, Folders({L"Z:\\kept"}));
    EXPECT_EQ(LoggedTexts(),
              std::vector<std::wstring>{WithCode(CannotOpenForLoading, GetParam().code)});
}

TEST_P(SettingsKeyNotOpened, SaveShowsOneBoxWritesNothingAndLeavesTheEntry)
{
    GetParam().arrange(*this);
    if (HasFatalFailure())
        return;
    RawValue autostartBefore = Value(ProgramKey, L"Autostart");
    Settings.Autostart = 1;
    Settings.LogFile = 1;
    Settings.FileModifiedDate = 1;
    Settings.Folders = Folders({L"C:\\Bilder"});

    SaveSettings();

    std::wstring text = WithCode(CannotOpenForSaving, GetParam().code);
    EXPECT_EQ(TakeBoxTexts(), std::vector<std::wstring>{text});
    EXPECT_EQ(LoggedTexts(), std::vector<std::wstring>{text});
    EXPECT_EQ(Value(ProgramKey, L"Autostart").bytes, autostartBefore.bytes);
    for (const wchar_t* name : {L"LogFile", L"FileModifiedDate", L"Folders"})
        EXPECT_FALSE(Value(ProgramKey, name).present) << testing::PrintToString(name);
    EXPECT_EQ(Value(RunKey, AutostartName).bytes, BytesOf(StaleEntry + L'\0'));
}

INSTANTIATE_TEST_SUITE_P(Arranged, SettingsKeyNotOpened, testing::ValuesIn(UnopenableKeyCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// ---------------------------------------------------------------- companions

namespace {

const wchar_t CompanionsIgnored[] =
    L"Companions: %s ignored (extensions without dots, at most 16 characters, 32 entries)";

class SettingsCompanions : public RedirectedRegistry {
protected:
    void TearDown() override
    {
        UseCompanions(nullptr);
        RedirectedRegistry::TearDown();
    }
};

// Bad entries are left out one by one and told of in one line; the good ones
// are taken as written, a repeat once, XMP as the sidecars' switch.
TEST_F(SettingsCompanions, BadEntriesAreIgnoredOneByOneInOneLine)
{
    SetText(ProgramKey, L"Companions", REG_SZ,
            L"cr2, .DNG;ARW\tC:x  Raw* arw 12345678901234567 xmp 1234567890123456 Cr2"s + L'\0');
    LoadSettings();
    std::shared_ptr<const CompanionList> list = CurrentCompanions();
    EXPECT_EQ(list->extensions, (std::vector<std::wstring>{L"cr2", L"ARW", L"1234567890123456"}));
    EXPECT_TRUE(list->sidecars);
    EXPECT_TRUE(list->fromSetting);
    EXPECT_EQ(LoggedTexts(),
              (std::vector<std::wstring>{
                  L"Companions: \".DNG\", \"C:x\", \"Raw*\", \"12345678901234567\" ignored "
                  L"(extensions without dots, at most 16 characters, 32 entries)"}));
    EXPECT_EQ(Settings.Companions,
              L"cr2, .DNG;ARW\tC:x  Raw* arw 12345678901234567 xmp 1234567890123456 Cr2");
}

// Sidecar kinds alone make a list of their own: their sidecars follow, and
// no raw file. Each kind is taken as written, a repeat once.
TEST_F(SettingsCompanions, SidecarKindsAloneMakeAList)
{
    const std::pair<std::wstring, std::vector<std::wstring>> cases[] = {
        {L"XMP", {L"XMP"}}, {L"pp3 XMP;dop xmp On1", {L"pp3", L"XMP", L"dop", L"On1"}}};
    for (const auto& [text, kinds] : cases) {
        SetText(ProgramKey, L"Companions", REG_SZ, text + L'\0');
        LoadSettings();
        std::shared_ptr<const CompanionList> list = CurrentCompanions();
        EXPECT_EQ(list->extensions, std::vector<std::wstring>{}) << text;
        EXPECT_EQ(list->sidecarKinds, kinds) << text;
        EXPECT_TRUE(list->sidecars) << text;
        EXPECT_TRUE(list->fromSetting) << text;
    }
    EXPECT_EQ(LoggedTexts(), std::vector<std::wstring>{});
}

TEST_F(SettingsCompanions, EntriesPastTheThirtySecondAreIgnored)
{
    std::wstring text;
    for (int i = 1; i <= 33; ++i)
        text += L"E" + std::to_wstring(i) + L" ";
    SetText(ProgramKey, L"Companions", REG_SZ, text + L'\0');
    LoadSettings();
    EXPECT_EQ(CurrentCompanions()->extensions.size(), 32u);
    EXPECT_EQ(LoggedTexts(), (std::vector<std::wstring>{
                                 L"Companions: \"E33\" ignored (extensions without dots, at most "
                                 L"16 characters, 32 entries)"}));
}

struct DefaultCompanionsCase {
    const char* name;
    bool stored;
    DWORD type;
    std::wstring text;
    std::vector<std::wstring> logged;
};

void PrintTo(const DefaultCompanionsCase& c, std::ostream* os) { *os << c.name; }

class SettingsDefaultCompanions : public SettingsCompanions,
                                  public testing::WithParamInterface<DefaultCompanionsCase> {};

// Absent, empty, only separators or unreadable: the list is today's, and
// nothing is compared.
TEST_P(SettingsDefaultCompanions, IsTheNefAloneAsBefore)
{
    const DefaultCompanionsCase& c = GetParam();
    UseCompanions(&c.text);  // something else in use before
    if (c.stored)
        SetText(ProgramKey, L"Companions", c.type, c.text + L'\0');
    LoadSettings();
    std::shared_ptr<const CompanionList> list = CurrentCompanions();
    EXPECT_EQ(list->extensions, std::vector<std::wstring>{L"NEF"});
    EXPECT_FALSE(list->sidecars);
    EXPECT_FALSE(list->fromSetting);
    EXPECT_EQ(LoggedTexts(), c.logged);
}

INSTANTIATE_TEST_SUITE_P(
    Companions, SettingsDefaultCompanions,
    testing::Values(
        DefaultCompanionsCase{"absent", false, REG_SZ, L"ARW", {}},
        DefaultCompanionsCase{"empty", true, REG_SZ, L"", {}},
        DefaultCompanionsCase{"separators", true, REG_SZ, L" ,; ", {}},
        DefaultCompanionsCase{"another_type",
                              true,
                              REG_MULTI_SZ,
                              L"ARW",
                              {L"Query Companions failed, Error 1630. Using Default."}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
