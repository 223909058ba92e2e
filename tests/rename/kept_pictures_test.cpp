// Settled pictures kept between monitors: a new monitor of a folder (a new
// start of the program, an OK) reads only what changed since the last one.
#include "tests/rename/scan_fixture.h"

#include "rename/folder_memory.h"
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
