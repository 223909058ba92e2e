// Settled pictures kept between monitors: a new monitor of a folder (a new
// start of the program, an OK) reads only what changed since the last one.
#include "tests/rename/scan_fixture.h"

#include "rename/folder_listing.h"
#include "rename/folder_memory.h"
#include "rename/settled_file.h"
#include "rename/settled_store.h"
#include "tests/support/local_app_data.h"

namespace {

using Texts = std::vector<std::wstring>;
using Bytes = std::vector<uint8_t>;

class KeptPictures : public ScanTest {
protected:
    // One scan by a monitor whose memory is kept between runs.
    Texts ScanWith(FolderMemory& memory)
    {
        ClearEventHistory();
        memory.keptFile.kept = true;
        std::wstring path = folder.PathWithBackslash();
        ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()), memory);
        return EventTexts();
    }
    // A monitor's whole life: its first scan, then its end.
    Texts MonitorRun()
    {
        FolderMemory memory;
        Texts lines = ScanWith(memory);
        SaveKeptPictures(memory, false);
        retryPending = NextRetryWaitMs(memory.busy, GetTickCount64()) != INFINITE;
        return lines;
    }
    std::wstring Path(const std::wstring& name) const { return folder / name; }
    std::wstring KeptFile() const { return KeptPicturesPath(folder.PathWithBackslash()); }

    // Rewrites the picture's date in place, as a metadata editor told to keep
    // the file's time does: same size, same last-write time.
    void RewriteDateInPlace(const std::wstring& name, const std::string& date)
    {
        std::wstring path = Path(name);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        FILETIME lastWrite;
        ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &lastWrite));
        CloseHandle(file);
        Bytes bytes = JpegWithDate(TagDateTimeOriginal, date);
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        file =
            CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &lastWrite));
        CloseHandle(file);
    }

    LocalAppDataScope localAppData;
    bool retryPending = false;
};

// The next monitor neither opens nor reports what bears its name: an
// exclusive holder would make any open of it busy. Undated pictures are not
// kept: each run reports them once.
TEST_F(KeptPictures, ANewMonitorPassesOverWhatBearsItsNameUnopened)
{
    PutDated(L"20230401_072926.jpg", "2023:04:01 07:29:26");
    Put(L"nodate.jpg", JpegWithoutExif());
    const Texts undated = {L"No Exif information available for " + Path(L"nodate.jpg") +
                           L" failed, File not renamed"};
    EXPECT_EQ(MonitorRun(), undated);
    EXPECT_NE(GetFileAttributesW(KeptFile().c_str()), INVALID_FILE_ATTRIBUTES);

    HANDLE exclusive = CreateFileW(Path(L"20230401_072926.jpg").c_str(), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(MonitorRun(), undated);
    EXPECT_FALSE(retryPending) << "the kept picture was not opened";
    CloseHandle(exclusive);
}

// A date rewritten in place, size and last-write time kept: the change time
// moved, so the picture is read again, by the running monitor and by the
// next one alike.
TEST_F(KeptPictures, ADateRewrittenInPlaceIsReadAgain)
{
    PutDated(L"20230401_072926.jpg", "2023:04:01 07:29:26");
    PutDated(L"20230402_080000.jpg", "2023:04:02 08:00:00");
    FolderMemory running;
    EXPECT_EQ(ScanWith(running), Texts{});
    SaveKeptPictures(running, false);

    RewriteDateInPlace(L"20230401_072926.jpg", "2023:04:01 07:29:27");
    EXPECT_EQ(ScanWith(running),
              Texts{L"Renamed " + Path(L"20230401_072926.jpg") + L" to 20230401_072927.jpg"});

    RewriteDateInPlace(L"20230402_080000.jpg", "2023:04:02 08:00:01");
    EXPECT_EQ(MonitorRun(),
              Texts{L"Renamed " + Path(L"20230402_080000.jpg") + L" to 20230402_080001.jpg"})
        << "the kept file is keyed by the change time too";
}

// With the option on, a picture named after its file time is kept with that
// fact; with the option off, the next monitor reads it again and reports it.
TEST_F(KeptPictures, APictureNamedAfterItsFileTimeIsReadAgainWithTheOptionOff)
{
    Settings.FileModifiedDate = 1;
    Put(L"nodate.jpg", JpegWithoutExif());
    Texts renamed = MonitorRun();
    ASSERT_EQ(renamed.size(), 1u);
    std::wstring newName = renamed[0].substr(renamed[0].rfind(L' ') + 1);
    EXPECT_EQ(MonitorRun(), Texts{}) << "named, then kept";
    EXPECT_EQ(MonitorRun(), Texts{});

    Settings.FileModifiedDate = 0;
    EXPECT_EQ(MonitorRun(), Texts{L"No Exif information available for " + Path(newName) +
                                  L" failed, File not renamed"});
}

// A picture a monitor renamed is kept once the next listing gave its new
// change time, though nothing else changed before the monitor ended: the
// next monitor does not open it.
TEST_F(KeptPictures, APictureRenamedBeforeARestartIsNotOpenedAfterIt)
{
    PutDated(L"DSC_0001.jpg", "2023:04:01 07:29:26");
    FolderMemory running;
    EXPECT_EQ(ScanWith(running),
              Texts{L"Renamed " + Path(L"DSC_0001.jpg") + L" to 20230401_072926.jpg"});
    EXPECT_EQ(ScanWith(running), Texts{});
    SaveKeptPictures(running, false);

    HANDLE exclusive = CreateFileW(Path(L"20230401_072926.jpg").c_str(), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(MonitorRun(), Texts{});
    EXPECT_FALSE(retryPending) << "the kept picture was not opened";
    CloseHandle(exclusive);
}

// The kept file holds the newest 10,000 renames whose raw files have not
// followed: a raw file landing after a restart follows a picture renamed last.
TEST_F(KeptPictures, TheNewestRenamesAreKept)
{
    std::wstring path = folder.PathWithBackslash();
    FolderMemory first;
    first.keptFile.kept = true;
    LoadKeptPictures(first, path, 0x5EED, L"NTFS");
    for (int made = 0; made <= 10000; ++made)
        RememberRename(first.renames, L"IMG_" + std::to_wstring(made), L"20230401_072926");
    SaveKeptPictures(first, false);

    FolderMemory next;
    LoadKeptPictures(next, path, 0x5EED, L"NTFS");
    EXPECT_EQ(next.renames.byOldBase.size(), 10000u);
    EXPECT_EQ(RenamedTo(next.renames, L"IMG_0"), nullptr);
    EXPECT_NE(RenamedTo(next.renames, L"IMG_1"), nullptr);
    EXPECT_NE(RenamedTo(next.renames, L"IMG_10000"), nullptr);
}

// A damaged file is reported once, the folder read as if there were none, and
// the file written anew.
TEST_F(KeptPictures, ADamagedFileIsReportedOnceAndWrittenAnew)
{
    PutDated(L"20230401_072926.jpg", "2023:04:01 07:29:26");
    EXPECT_EQ(MonitorRun(), Texts{});
    std::wstring kept = KeptFile();
    Bytes bytes = ReadFileBytes(kept);
    ASSERT_GT(bytes.size(), 60u);
    bytes[bytes.size() - 3] ^= 0xFF;
    ASSERT_TRUE(WriteFileBytes(kept, bytes));

    HANDLE exclusive = CreateFileW(Path(L"20230401_072926.jpg").c_str(), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(MonitorRun(),
              Texts{L"Remembered pictures of " + folder.PathWithBackslash() + L" not loaded: " +
                    kept + L" is damaged, the folder is read anew"});
    EXPECT_TRUE(retryPending) << "read anew: the held picture was found busy";
    CloseHandle(exclusive);

    EXPECT_EQ(MonitorRun(), Texts{}) << "written anew and whole";
    EXPECT_FALSE(retryPending);
}

// A file cut inside its header (its first bytes, its folder path, its count)
// is reported as damaged once and replaced by a whole one, which the next
// monitor loads: it opens no picture that bears its name.
TEST_F(KeptPictures, AFileCutInsideItsHeaderIsReportedAndReplaced)
{
    PutDated(L"20230401_072926.jpg", "2023:04:01 07:29:26");
    EXPECT_EQ(MonitorRun(), Texts{});
    std::wstring kept = KeptFile();
    const Bytes whole = ReadFileBytes(kept);
    ASSERT_GT(whole.size(), 60u);
    const Texts damaged = {L"Remembered pictures of " + folder.PathWithBackslash() +
                           L" not loaded: " + kept + L" is damaged, the folder is read anew"};
    // The last cut falls inside the checksum, the header's last field, before
    // the one entry (27 bytes and its name's 19).
    for (size_t length : {size_t{5}, size_t{18}, size_t{30}, whole.size() - 46 - 3}) {
        ASSERT_TRUE(WriteFileBytes(kept, Bytes(whole.begin(), whole.begin() + length)));
        EXPECT_EQ(MonitorRun(), damaged) << length << " bytes";
        EXPECT_EQ(ReadFileBytes(kept), whole) << "replaced by a whole file";

        HANDLE exclusive = CreateFileW(Path(L"20230401_072926.jpg").c_str(), GENERIC_READ, 0,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
        EXPECT_EQ(MonitorRun(), Texts{});
        EXPECT_FALSE(retryPending) << "loaded: the held picture was not opened";
        CloseHandle(exclusive);
    }
}

// New files that earlier writes left behind (a crash or a power loss between
// the write and the move) are removed when the folder's file is next written;
// other files beside it stay.
TEST_F(KeptPictures, NewFilesLeftByEarlierWritesAreRemovedAtTheNextWrite)
{
    PutDated(L"20230401_072926.jpg", "2023:04:01 07:29:26");
    EXPECT_EQ(MonitorRun(), Texts{});
    std::wstring kept = KeptFile();
    std::wstring settledFolder = kept.substr(0, kept.rfind(L'\\'));
    std::wstring keptName = kept.substr(settledFolder.size() + 1);
    for (const wchar_t* leftOver : {L".1234.new", L".98765.new"})
        ASSERT_TRUE(WriteFileBytes(kept + leftOver, Bytes(100, 0xAB)));
    ASSERT_TRUE(WriteFileBytes(settledFolder + L"\\0123456789abcdef.settled.77.new", Bytes{1}));
    ASSERT_TRUE(WriteFileBytes(kept + L".notes.new", Bytes{2}));

    PutDated(L"20230402_080000.jpg", "2023:04:02 08:00:00");
    EXPECT_EQ(MonitorRun(), Texts{});
    EXPECT_EQ(ListFolder(settledFolder),
              (Texts{L"0123456789abcdef.settled.77.new", keptName, keptName + L".notes.new"}));
}

// What a new monitor, and the running one, do with a picture rewritten in
// place or replaced, size and last-write time kept, by what the folder's file
// system keeps. FAT keeps no change time (the listing gives 0); exFAT keeps
// none on disk, whatever its listing gives; a listing may give none at all.
// Where the change time cannot tell, nothing is kept between runs: a new
// monitor reads the picture again. The creation time tells a replacement.
struct FileSystemCase {
    const char* name;
    const wchar_t* fileSystem;
    uint64_t changeBefore, creationBefore;  // as listed when it was settled
    uint64_t changeAfter, creationAfter;    // as listed afterwards
    bool runningReads;                      // the running monitor reads it again
    bool nextReads;                         // a new monitor reads it again
};

void PrintTo(const FileSystemCase& c, std::ostream* out) { *out << c.name; }

class KeptByFileSystem : public KeptPictures, public testing::WithParamInterface<FileSystemCase> {};

TEST_P(KeptByFileSystem, ReadAgainWhenTheListingCanTell)
{
    const FileSystemCase& c = GetParam();
    const std::wstring name = L"20230401_072926.jpg";
    const uint32_t serial = 0x5EED;
    std::wstring path = folder.PathWithBackslash();
    auto listed = [&](uint64_t changeTime, uint64_t creationTime) {
        return ListedFile{name, 15, 4200, 133246000000000000ull, changeTime, 0x20, creationTime};
    };

    ClearEventHistory();
    FolderMemory running;
    running.keptFile.kept = true;
    LoadKeptPictures(running, path, serial, c.fileSystem);
    BeginSettledScan(running.settled);
    SettlePicture(running.settled, name, listed(c.changeBefore, c.creationBefore),
                  PictureOutcome::BearsItsName);
    EndSettledScan(running.settled);
    SaveKeptPictures(running, false);
    BeginSettledScan(running.settled);
    EXPECT_EQ(!IsSettled(running.settled, listed(c.changeAfter, c.creationAfter), path),
              c.runningReads);

    FolderMemory next;
    next.keptFile.kept = true;
    LoadKeptPictures(next, path, serial, c.fileSystem);
    BeginSettledScan(next.settled);
    EXPECT_EQ(!IsSettled(next.settled, listed(c.changeAfter, c.creationAfter), path), c.nextReads);
    EXPECT_EQ(EventTexts(), Texts{});
}

INSTANTIATE_TEST_SUITE_P(
    Listings, KeptByFileSystem,
    testing::Values(FileSystemCase{"NtfsUnchanged", L"NTFS", 300, 100, 300, 100, false, false},
                    FileSystemCase{"NtfsRewrittenInPlace", L"NTFS", 300, 100, 400, 100, true, true},
                    FileSystemCase{"NtfsReplaced", L"NTFS", 300, 100, 500, 500, true, true},
                    FileSystemCase{"Fat32Unchanged", L"FAT32", 0, 100, 0, 100, false, true},
                    // The limit: nothing the listing gives moves, so only a new monitor sees it.
                    FileSystemCase{"Fat32RewrittenInPlace", L"FAT32", 0, 100, 0, 100, false, true},
                    FileSystemCase{"Fat32Replaced", L"FAT32", 0, 100, 0, 500, true, true},
                    FileSystemCase{"FatReplaced", L"FAT", 0, 100, 0, 500, true, true},
                    FileSystemCase{"ExfatGivingItsLastWrite", L"exFAT", 200, 100, 200, 100, false,
                                   true},
                    FileSystemCase{"ExfatGivingNone", L"exFAT", 0, 100, 0, 100, false, true},
                    FileSystemCase{"ExfatReplaced", L"exFAT", 200, 100, 200, 500, true, true},
                    FileSystemCase{"ListingWithoutTheseTimes", L"NTFS", 0, 0, 0, 0, false, true}),
    [](const testing::TestParamInfo<FileSystemCase>& info) {
        return std::string(info.param.name);
    });

// An earlier version kept the pictures of a FAT volume with the change time
// the listing gave, 0: such entries are passed over at the load, without a
// line, and their pictures read again.
TEST_F(KeptPictures, EntriesKeptWithoutAChangeTimeAreReadAgain)
{
    std::wstring path = folder.PathWithBackslash();
    std::wstring folded = FoldedName(path);
    const SettledFileHeader header = {0x5EED, std::string(folded.begin(), folded.end())};
    std::wstring settledFolder = KeptFile().substr(0, KeptFile().rfind(L'\\'));
    CreateDirectoryW(settledFolder.substr(0, settledFolder.rfind(L'\\')).c_str(), nullptr);
    CreateDirectoryW(settledFolder.c_str(), nullptr);
    ASSERT_TRUE(
        WriteFileBytes(KeptFile(),
                       EncodeSettledFile(header, {{"20230401_072926.jpg", 0, 4200, 1000, 0},
                                                  {"20230402_080000.jpg", 0, 4200, 1000, 2000}})));
    ClearEventHistory();
    FolderMemory memory;
    LoadKeptPictures(memory, path, 0x5EED, L"NTFS");
    EXPECT_EQ(EventTexts(), Texts{});
    EXPECT_EQ(memory.settled.byName.count(L"20230401_072926.jpg"), 0u);
    EXPECT_EQ(memory.settled.byName.count(L"20230402_080000.jpg"), 1u) << "loaded as ever";
}

// A later version finds a folder's kept file by its name: the name may not
// change from one version to the next. FNV-1a over the folder's upper-cased
// path, as sixteen lower-case hex digits.
TEST_F(KeptPictures, KeptFileIsNamedAsEarlierVersionsNamedIt)
{
    const std::wstring tail = L"\\Settled\\e7f1a01a719981d1.settled";
    std::wstring path = KeptPicturesPath(L"c:\\Pictures\\");
    ASSERT_GT(path.size(), tail.size());
    EXPECT_EQ(path.substr(path.size() - tail.size()), tail);
}

}  // namespace
