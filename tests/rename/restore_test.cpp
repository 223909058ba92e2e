// Giving a folder's pictures their old names back from the journal: each
// outcome a restore can meet, the moment it restores from, its refusal while
// a scan runs, and scans that leave what it gave back as it is.
#include "tests/rename/scan_fixture.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "rename/folder_claims.h"
#include "rename/folder_memory.h"
#include "rename/restore.h"
#include "rename/restored_pictures.h"
#include "settings/companions.h"
#include "tests/support/local_app_data.h"

namespace {

using Texts = std::vector<std::wstring>;
using Bytes = std::vector<uint8_t>;

const Bytes Raw = {'I', 'I', 42, 0, 1, 2, 3, 4};
const Bytes Sidecar = {'<', 'x', '/', '>'};

class Restore : public ScanTest {
protected:
    void SetUp() override
    {
        ScanTest::SetUp();
        const std::wstring kinds = L"NEF XMP";
        UseCompanions(&kinds);
    }
    void TearDown() override
    {
        UseCompanions(nullptr);
        ScanTest::TearDown();
    }
    std::wstring Path(const std::wstring& name) const { return folder / name; }
    std::wstring Folder() const { return folder.PathWithBackslash(); }
    // A picture with its raw file and sidecar, renamed by a scan.
    void PutShot(const std::wstring& base, const std::string& date)
    {
        PutDated(base + L".JPG", date);
        Put(base + L".NEF", Raw);
        Put(base + L".xmp", Sidecar);
    }
    RestoreReport RestoreSince(uint64_t since = 0)
    {
        ClearEventHistory();
        return RestoreFolder(Folder(), since);
    }
    std::vector<std::wstring> Sorted()
    {
        std::vector<std::wstring> names = Names();
        std::sort(names.begin(), names.end());
        return names;
    }

    LocalAppDataScope appData;
};

struct OutcomeCase {
    const char* what;
    std::function<void(const std::wstring&)>
        meanwhile;                    // on the folder, between rename and restore
    std::vector<std::wstring> after;  // the folder afterwards, sorted
    // The lines, with "@" for the folder path.
    std::vector<std::wstring> lines;
    RestoreResult result;
};

std::wstring Filled(std::wstring text, const std::wstring& folder)
{
    for (size_t at; (at = text.find(L'@')) != std::wstring::npos;)
        text.replace(at, 1, folder);
    return text;
}

const std::vector<std::wstring> Renamed = {L"20230401_072926.JPG", L"20230401_072926.NEF",
                                           L"20230401_072926.xmp"};

const OutcomeCase OutcomeCases[] = {
    {"every file back",
     [](const std::wstring&) {},
     {L"DSC_0001.JPG", L"DSC_0001.NEF", L"DSC_0001.xmp"},
     {L"Restored @20230401_072926.JPG to DSC_0001.JPG",
      L"Restored @20230401_072926.NEF to DSC_0001.NEF",
      L"Restored @20230401_072926.xmp to DSC_0001.xmp"},
     RestoreResult::AllRestored},
    {"the picture gone",
     [](const std::wstring& f) { DeleteFileW((f + L"20230401_072926.JPG").c_str()); },
     {L"20230401_072926.NEF", L"20230401_072926.xmp"},
     {L"@20230401_072926.JPG is gone, not restored to DSC_0001.JPG",
      L"@20230401_072926.NEF is not restored to DSC_0001.NEF: a file that travels with it "
      L"cannot go back",
      L"@20230401_072926.xmp is not restored to DSC_0001.xmp: a file that travels with it "
      L"cannot go back"},
     RestoreResult::SomeLeft},
    {"the raw file changed",
     [](const std::wstring& f) {
         WriteFileBytes(f + L"20230401_072926.NEF", {9, 9, 9});
     },
     Renamed,
     {L"@20230401_072926.JPG is not restored to DSC_0001.JPG: a file that travels with it "
      L"cannot go back",
      L"@20230401_072926.NEF changed since it was renamed, not restored to DSC_0001.NEF",
      L"@20230401_072926.xmp is not restored to DSC_0001.xmp: a file that travels with it "
      L"cannot go back"},
     RestoreResult::SomeLeft},
    {"the sidecar's old name taken",
     [](const std::wstring& f) { WriteFileBytes(f + L"DSC_0001.xmp", {7}); },
     {L"20230401_072926.JPG", L"20230401_072926.NEF", L"20230401_072926.xmp", L"DSC_0001.xmp"},
     {L"@20230401_072926.JPG is not restored to DSC_0001.JPG: a file that travels with it "
      L"cannot go back",
      L"@20230401_072926.NEF is not restored to DSC_0001.NEF: a file that travels with it "
      L"cannot go back",
      L"@20230401_072926.xmp is not restored to DSC_0001.xmp: the name is taken"},
     RestoreResult::SomeLeft},
};

class RestoreOutcome : public Restore, public testing::WithParamInterface<OutcomeCase> {};

TEST_P(RestoreOutcome, APictureGoesBackWithItsFilesOrNotAtAll)
{
    const OutcomeCase& c = GetParam();
    PutShot(L"DSC_0001", "2023:04:01 07:29:26");
    Bytes picture = ReadFileBytes(Path(L"DSC_0001.JPG"));
    Scan();
    ASSERT_EQ(Sorted(), Renamed);
    c.meanwhile(Folder());
    RestoreReport report = RestoreSince();
    Texts lines;
    for (const std::wstring& line : c.lines)
        lines.push_back(Filled(line, Folder()));
    EXPECT_EQ(report.lines, lines);
    EXPECT_EQ(EventTexts(), lines);
    EXPECT_EQ(report.result, c.result);
    EXPECT_EQ(Sorted(), c.after);
    if (c.result == RestoreResult::AllRestored) {
        EXPECT_EQ(ReadFileBytes(Path(L"DSC_0001.JPG")), picture);
        EXPECT_EQ(ReadFileBytes(Path(L"DSC_0001.NEF")), Raw);
        // Restored renames leave the journal: nothing more to restore.
        EXPECT_EQ(RestoreSince().lines, Texts{L"No renames of " + Folder() + L" to restore"});
    }
}

INSTANTIATE_TEST_SUITE_P(Restore, RestoreOutcome, testing::ValuesIn(OutcomeCases),
                         [](const testing::TestParamInfo<OutcomeCase>& info) {
                             std::string name;
                             for (const char* c = info.param.what; *c; ++c)
                                 if (isalpha(static_cast<unsigned char>(*c)))
                                     name += *c;
                             return name;
                         });

uint64_t Now()
{
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    return uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime;
}

// Newest first, and only since the moment chosen: an older rename to the
// same old name then finds it taken.
TEST_F(Restore, SinceAMomentNewestFirst)
{
    PutShot(L"DSC_0001", "2023:04:01 07:29:26");
    Scan();
    uint64_t between = Now();
    PutShot(L"DSC_0001", "2023:04:01 08:00:00");
    PutDated(L"DSC_0002.JPG", "2023:04:01 09:00:00");
    Scan();
    RestoreReport report = RestoreSince(between);
    EXPECT_EQ(report.result, RestoreResult::AllRestored);
    EXPECT_EQ(Sorted(),
              (Texts{L"20230401_072926.JPG", L"20230401_072926.NEF", L"20230401_072926.xmp",
                     L"DSC_0001.JPG", L"DSC_0001.NEF", L"DSC_0001.xmp", L"DSC_0002.JPG"}));
    report = RestoreSince();
    EXPECT_EQ(report.result, RestoreResult::SomeLeft);
    EXPECT_EQ(report.lines.front(), Folder() + L"20230401_072926.JPG is not restored to "
                                               L"DSC_0001.JPG: the name is taken");
    EXPECT_EQ(report.restored, 0u);
    EXPECT_EQ(report.left, 3u);
}

TEST_F(Restore, RefusedWhileAScanRunsAndWithoutAJournal)
{
    EXPECT_EQ(RestoreSince().lines, Texts{L"No renames of " + Folder() + L" to restore"});
    PutShot(L"DSC_0001", "2023:04:01 07:29:26");
    Scan();
    BeginFolderScan(Folder());
    RestoreReport report = RestoreSince();
    EndFolderScan(Folder());
    EXPECT_EQ(report.result, RestoreResult::NotRun);
    EXPECT_EQ(report.lines,
              Texts{L"Names in " + Folder() + L" are not restored now: a scan of the folder runs"});
    EXPECT_EQ(Sorted(), Renamed);
    EXPECT_EQ(RestoreSince().result, RestoreResult::AllRestored);
}

// A monitor's scans, and a new monitor's after a restart, leave a restored
// picture as it is while it stays unchanged; changed, it is renamed again.
TEST_F(Restore, ScansLeaveRestoredPicturesAsTheyAre)
{
    PutShot(L"DSC_0001", "2023:04:01 07:29:26");
    PutShot(L"DSC_0002", "2023:04:01 07:29:27");
    std::wstring path = Folder();
    FolderMemory running;
    running.keptFile.kept = true;
    ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()), running);
    SaveKeptPictures(running, false);
    ASSERT_EQ(RestoreSince().result, RestoreResult::AllRestored);
    const Texts restored = {L"DSC_0001.JPG", L"DSC_0001.NEF", L"DSC_0001.xmp",
                            L"DSC_0002.JPG", L"DSC_0002.NEF", L"DSC_0002.xmp"};
    for (int scan = 0; scan < 2; ++scan) {
        TakeRestoredPictures(running, path);
        ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()), running);
    }
    SaveKeptPictures(running, false);
    EXPECT_EQ(Sorted(), restored);
    FolderMemory restarted;
    restarted.keptFile.kept = true;
    ClearEventHistory();
    ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()), restarted);
    EXPECT_EQ(Sorted(), restored);
    EXPECT_EQ(EventTexts(), Texts{});

    PutDated(L"DSC_0002.JPG", "2023:04:01 07:29:28");  // written anew
    ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()), restarted);
    EXPECT_EQ(Sorted(),
              (Texts{L"20230401_072928.JPG", L"20230401_072928.NEF", L"20230401_072928.xmp",
                     L"DSC_0001.JPG", L"DSC_0001.NEF", L"DSC_0001.xmp"}));
}

}  // namespace
