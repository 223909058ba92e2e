// Scans that keep a monitor's memory between them: pictures and raw files a
// file manager is still writing, raw files that land after their pictures,
// and settled pictures that later scans pass over.
#include "tests/rename/scan_fixture.h"

#include "rename/folder_listing.h"
#include "rename/folder_memory.h"

namespace {

using Texts = std::vector<std::wstring>;
using Bytes = std::vector<uint8_t>;

const std::wstring Stamp = L"20230401_072926";

// A file held open by another program the way a file manager holds what it
// writes: write access, sharing read but not delete.
class Holder {
public:
    explicit Holder(const std::wstring& path, DWORD access = GENERIC_WRITE,
                    DWORD share = FILE_SHARE_READ)
        : handle_(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~Holder() { Release(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Release()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

class ScanMemoryTest : public ScanTest {
protected:
    // One scan of a monitor that remembers what its earlier scans learnt.
    Texts ScanRemembering()
    {
        ClearEventHistory();
        int32_t processedBefore = Statistics.PicturesProcessed;
        int32_t renamedBefore = Statistics.PicturesRenamed;
        std::wstring path = folder.PathWithBackslash();
        ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()), memory);
        processed = Statistics.PicturesProcessed - processedBefore;
        renamed = Statistics.PicturesRenamed - renamedBefore;
        return EventTexts();
    }
    bool RetryPending() const { return NextRetryWaitMs(memory.busy, GetTickCount64()) != INFINITE; }

    std::wstring Path(const std::wstring& name) const { return folder / name; }
    Texts PairRenamed(const std::wstring& base) const
    {
        return {L"Renamed " + Path(base + L".jpg") + L" to " + Stamp + L".jpg",
                L"Renamed " + Path(base + L".NEF") + L" to " + Path(Stamp + L".NEF")};
    }

    FolderMemory memory;
};

// ---------------------------------------------------------------- pairs

// The raw file still being written: the picture waits with it, silently, and
// the pair moves together once the raw file is closed.
TEST_F(ScanMemoryTest, PictureWaitsWhileItsRawFileIsHeld)
{
    PutDated(L"DSC_0001.jpg");
    Put(L"DSC_0001.NEF", {1, 2, 3});
    Holder raw(Path(L"DSC_0001.NEF"));
    ASSERT_TRUE(raw.Held());

    EXPECT_EQ(ScanRemembering(), Texts{});
    EXPECT_EQ(processed, 1);
    EXPECT_TRUE(RetryPending());
    EXPECT_EQ(Names(), (Texts{L"DSC_0001.NEF", L"DSC_0001.jpg"}));

    raw.Release();
    EXPECT_EQ(ScanRemembering(), PairRenamed(L"DSC_0001"));
    EXPECT_EQ(renamed, 2);
    EXPECT_FALSE(RetryPending());
}

// A raw file that lands after its picture was renamed follows it; one whose
// new name is taken stays, with one line; a raw file of a base name this
// monitor never renamed is left alone.
TEST_F(ScanMemoryTest, RawFileLandingLaterFollowsItsPicture)
{
    PutDated(L"DSC_0001.jpg");
    PutDated(L"DSC_0002.jpg", "2023:04:01 07:29:27");
    EXPECT_EQ(ScanRemembering().size(), 2u);

    Put(L"DSC_0001.nef", {1});
    Put(L"DSC_0002.NEF", {2});
    Put(L"20230401_072927.NEF", {9});  // another program's file holds the new name
    Put(L"DSC_0003.NEF", {3});
    EXPECT_EQ(ScanRemembering(),
              (Texts{L"Renamed " + Path(L"DSC_0001.NEF") + L" to " + Path(Stamp + L".NEF"),
                     L"Error 183 renaming " + Path(L"DSC_0002.NEF") + L" to " +
                         Path(L"20230401_072927.NEF")}));
    EXPECT_EQ(renamed, 1);
    EXPECT_EQ(ReadFileBytes(Path(Stamp + L".NEF")), Bytes{1});

    EXPECT_EQ(ScanRemembering(), Texts{}) << "the refused one is reported once";
    EXPECT_EQ(Names(),
              (Texts{L"20230401_072926.NEF", L"20230401_072926.jpg", L"20230401_072927.NEF",
                     L"20230401_072927.jpg", L"DSC_0002.NEF", L"DSC_0003.NEF"}));
}

// A late raw file still being written is waited for without a line.
TEST_F(ScanMemoryTest, LateRawFileBeingWrittenFollowsWhenClosed)
{
    PutDated(L"DSC_0001.jpg");
    EXPECT_EQ(ScanRemembering().size(), 1u);
    Put(L"DSC_0001.NEF", {1});
    Holder raw(Path(L"DSC_0001.NEF"));
    ASSERT_TRUE(raw.Held());
    EXPECT_EQ(ScanRemembering(), Texts{});
    EXPECT_TRUE(RetryPending());
    raw.Release();
    EXPECT_EQ(ScanRemembering(),
              Texts{L"Renamed " + Path(L"DSC_0001.NEF") + L" to " + Path(Stamp + L".NEF")});
    EXPECT_FALSE(RetryPending());
}

// A second card with the same camera names: the raw file listed beside a
// picture of its base name belongs to that picture, not to the one renamed
// from that name before.
TEST_F(ScanMemoryTest, RawFileBesideANewPictureOfTheOldNameGoesWithIt)
{
    PutDated(L"DSC_0001.jpg");
    EXPECT_EQ(ScanRemembering().size(), 1u);
    PutDated(L"DSC_0001.jpg", "2023:05:05 05:05:05");
    Put(L"DSC_0001.NEF", {2});
    EXPECT_EQ(ScanRemembering(),
              (Texts{L"Renamed " + Path(L"DSC_0001.jpg") + L" to 20230505_050505.jpg",
                     L"Renamed " + Path(L"DSC_0001.NEF") + L" to " +
                         Path(L"20230505_050505.NEF")}));
}

// A raw file deleted between the listing and its move, as a copier that
// replaces a file by deleting and writing it does, has not followed: written
// again, it follows, whether its picture moved in that scan or an earlier one.
TEST_F(ScanMemoryTest, RawFileGoneDuringTheScanFollowsOnceItIsBack)
{
    PutDated(L"DSC_0002.jpg", "2023:04:02 08:00:00");
    EXPECT_EQ(ScanRemembering().size(), 1u);
    PutDated(L"DSC_0001.jpg");
    Put(L"DSC_0001.NEF", {1});
    Put(L"DSC_0002.NEF", {2});
    std::wstring folderPath = folder.PathWithBackslash();
    FolderListing listing;
    ASSERT_TRUE(ListFolder(folderPath, &listing));
    for (const wchar_t* raw : {L"DSC_0001.NEF", L"DSC_0002.NEF"})
        ASSERT_TRUE(DeleteFileW(Path(raw).c_str()));
    ScanListing(folderPath, listing, memory);
    EXPECT_EQ(Names(), (Texts{L"20230401_072926.jpg", L"20230402_080000.jpg"}));

    Put(L"DSC_0001.NEF", {1});
    Put(L"DSC_0002.NEF", {2});
    ScanRemembering();
    EXPECT_EQ(Names(), (Texts{L"20230401_072926.NEF", L"20230401_072926.jpg",
                              L"20230402_080000.NEF", L"20230402_080000.jpg"}));
}

// ---------------------------------------------------------------- busy pictures

// A picture being written is neither read nor reported; a picture held by a
// reader that does not share delete is refused at its rename, reported once
// while that lasts and renamed once it is let go.
TEST_F(ScanMemoryTest, BusyPicturesAreWaitedForAndReportedOnce)
{
    Put(L"written.jpg", Bytes(4096, 0));  // full size, header not written yet
    PutDated(L"read.jpg");
    Holder writer(Path(L"written.jpg"));
    Holder reader(Path(L"read.jpg"), GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(writer.Held() && reader.Held());

    const Texts refused = {L"Error 32 renaming read.jpg to " + Path(Stamp + L".jpg")};
    EXPECT_EQ(ScanRemembering(), refused);
    EXPECT_EQ(ScanRemembering(), Texts{});
    EXPECT_EQ(processed, 2);
    EXPECT_TRUE(RetryPending());

    reader.Release();
    EXPECT_EQ(ScanRemembering(),
              Texts{L"Renamed " + Path(L"read.jpg") + L" to " + Stamp + L".jpg"});
    writer.Release();
    WriteFileBytes(Path(L"written.jpg"), JpegWithDate(TagDateTimeOriginal, "2023:04:01 07:29:27"));
    EXPECT_EQ(ScanRemembering(),
              Texts{L"Renamed " + Path(L"written.jpg") + L" to 20230401_072927.jpg"});
    EXPECT_FALSE(RetryPending());
}

// ---------------------------------------------------------------- cloud files

// A cloud provider's online-only picture is listed with its recall attributes
// (Wine lists none such, so they are put into the listing here). It is neither
// opened nor renamed: an exclusive holder would make any open of it busy, and
// no retry is left behind. It is reported once, unless it bears a stamp name
// already; made local again, it is read and named like any other.
TEST_F(ScanMemoryTest, OnlineOnlyPicturesAreLeftUnreadAndReportedOnce)
{
    PutDated(L"DSC_0001.jpg");
    Put(L"DSC_0001.NEF", {1});
    PutDated(L"20230402_080000.jpg", "2023:04:02 08:00:00");
    Holder exclusive(Path(L"DSC_0001.jpg"), GENERIC_READ, 0);
    ASSERT_TRUE(exclusive.Held());
    std::wstring folderPath = folder.PathWithBackslash();
    auto scanWith = [&](uint32_t attributes) {
        FolderListing listing;
        EXPECT_TRUE(ListFolder(folderPath, &listing));
        for (ListedFile& picture : listing.pictures)
            picture.attributes = attributes;
        ClearEventHistory();
        ScanListing(folderPath, listing, memory);
        return EventTexts();
    };

    const uint32_t OneDriveOnlineOnly = 0x00500420;
    const Texts reported = {Path(L"DSC_0001.jpg") +
                            L" is online-only and was not downloaded, File not renamed"};
    EXPECT_EQ(scanWith(OneDriveOnlineOnly), reported);
    EXPECT_EQ(scanWith(0x00001000), Texts{}) << "still online-only: reported once";
    EXPECT_FALSE(RetryPending()) << "never opened, so never found busy";

    exclusive.Release();
    EXPECT_EQ(scanWith(0x00000020),
              (Texts{L"Renamed " + Path(L"DSC_0001.jpg") + L" to " + Stamp + L".jpg",
                     L"Renamed " + Path(L"DSC_0001.NEF") + L" to " + Path(Stamp + L".NEF")}));
}

// An online-only raw file is not opened to ask whether another program holds
// it (opening a placeholder may fetch it): the picture moves, and the raw
// file, refused as busy at its own move, waits and follows later.
TEST_F(ScanMemoryTest, OnlineOnlyRawFileIsNotOpenedToAskWhetherItIsHeld)
{
    PutDated(L"DSC_0001.jpg");
    Put(L"DSC_0001.NEF", {1});
    Holder exclusive(Path(L"DSC_0001.NEF"), GENERIC_READ, 0);
    ASSERT_TRUE(exclusive.Held());
    std::wstring folderPath = folder.PathWithBackslash();
    FolderListing listing;
    ASSERT_TRUE(ListFolder(folderPath, &listing));
    ASSERT_EQ(listing.raws.size(), 1u);
    listing.raws[0].attributes = 0x00500420;  // OneDrive's online-only file
    ScanListing(folderPath, listing, memory);
    EXPECT_EQ(EventTexts(), Texts{L"Renamed " + Path(L"DSC_0001.jpg") + L" to " + Stamp + L".jpg"});
    EXPECT_TRUE(RetryPending()) << "the raw file waits";
    EXPECT_EQ(Names(), (Texts{L"20230401_072926.jpg", L"DSC_0001.NEF"}));

    exclusive.Release();
    EXPECT_EQ(ScanRemembering(),
              Texts{L"Renamed " + Path(L"DSC_0001.NEF") + L" to " + Path(Stamp + L".NEF")});
}

// Retries start at the rescan delay and double up to a minute; a file that a
// scan no longer finds busy leaves no retry behind.
TEST(BusySchedule, DoublesUpToAMinuteAndEndsWithTheFile)
{
    BusyFiles busy;
    ULONGLONG now = 1000;
    std::vector<DWORD> waits;
    for (int scan = 0; scan < 9; ++scan) {
        BeginBusyScan(busy);
        NoteBusy(busy, L"a.jpg", now);
        EndBusyScan(busy);
        waits.push_back(NextRetryWaitMs(busy, now));
        now += waits.back();
    }
    EXPECT_EQ(waits,
              (std::vector<DWORD>{2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000, 60000}));
    BeginBusyScan(busy);
    NoteBusy(busy, L"a.jpg", now - 1);  // a scan before the retry is due changes nothing
    EndBusyScan(busy);
    EXPECT_EQ(NextRetryWaitMs(busy, now - 1), 1u);
    BeginBusyScan(busy);
    EndBusyScan(busy);
    EXPECT_EQ(NextRetryWaitMs(busy, now), INFINITE) << "nothing pending: wait without limit";
}

// Past its bound the rename memory forgets its older half: the newest stay.
TEST(RenameMemoryBound, ForgetsTheOlderHalfPastItsBound)
{
    RenameMemory renames;
    for (int made = 0; made <= 100000; ++made)
        RememberRename(renames, L"IMG_" + std::to_wstring(made), L"20230401_072926");
    EXPECT_EQ(renames.byOldBase.size(), 50001u);
    EXPECT_EQ(RenamedTo(renames, L"IMG_49999"), nullptr);
    EXPECT_NE(RenamedTo(renames, L"IMG_50000"), nullptr);
    EXPECT_NE(RenamedTo(renames, L"IMG_100000"), nullptr);
}

// A folder that goes while a file in it is busy leaves nothing to retry: the
// monitor goes back to waiting for a change instead of scanning on its own.
TEST_F(ScanMemoryTest, NothingIsRetriedInAFolderThatCannotBeListed)
{
    PutDated(L"DSC.jpg");
    {
        Holder writer(Path(L"DSC.jpg"));
        ASSERT_TRUE(writer.Held());
        EXPECT_EQ(ScanRemembering(), Texts{});
        EXPECT_TRUE(RetryPending());
    }
    RemoveTree(folder.Path());
    EXPECT_EQ(ScanRemembering(),
              Texts{L"Directory " + folder.PathWithBackslash() + L", does not exist"});
    EXPECT_FALSE(RetryPending());
}

// ---------------------------------------------------------------- settled pictures

// Each outcome is reported once for the unchanged picture, while every scan
// still counts it; the one-shot scan (no memory) reports it every time.
TEST_F(ScanMemoryTest, UnchangedSettledPicturesAreReportedOnce)
{
    Put(L"undated.jpg", JpegWithoutExif());
    Put(L"blank.jpg", JpegWithDate(TagDateTimeOriginal, "                   "));
    PutDated(L"named.jpg");
    EXPECT_EQ(ScanRemembering().size(), 3u);
    EXPECT_EQ(processed, 3);

    for (int scan = 0; scan < 2; ++scan) {
        EXPECT_EQ(ScanRemembering(), Texts{});
        EXPECT_EQ(processed, 3);
        EXPECT_EQ(renamed, 0);
    }
    EXPECT_EQ(Scan().size(), 2u) << "without memory both are reported again";
    EXPECT_FALSE(RetryPending());
}

// A settled picture is not opened again: held without any sharing during
// the rescan, it is neither reported nor noted as busy.
TEST_F(ScanMemoryTest, SettledPictureIsNotOpenedAtARescan)
{
    Put(L"undated.jpg", JpegWithoutExif());
    PutDated(L"DSC.jpg");
    EXPECT_EQ(ScanRemembering().size(), 2u);
    EXPECT_EQ(ScanRemembering(), Texts{});
    Holder first(Path(L"undated.jpg"), GENERIC_READ, 0);
    Holder second(Path(Stamp + L".jpg"), GENERIC_READ, 0);
    ASSERT_TRUE(first.Held() && second.Held());

    EXPECT_EQ(ScanRemembering(), Texts{});
    EXPECT_EQ(processed, 2);
    EXPECT_FALSE(RetryPending()) << "a held file that was opened would be retried";
}

// A picture this monitor renamed is not read again: the rename moved its
// change time, and the next listing gives the new one. Held without any
// sharing, it is neither reported nor found busy by the next two scans, each
// made by another picture landing.
TEST_F(ScanMemoryTest, RenamedPictureIsNotOpenedByTheNextTwoScans)
{
    PutDated(L"DSC_0001.jpg");
    EXPECT_EQ(ScanRemembering(),
              Texts{L"Renamed " + Path(L"DSC_0001.jpg") + L" to " + Stamp + L".jpg"});
    Holder first(Path(Stamp + L".jpg"), GENERIC_READ, 0);
    ASSERT_TRUE(first.Held());

    PutDated(L"DSC_0002.jpg", "2023:04:02 08:00:00");
    EXPECT_EQ(ScanRemembering(),
              Texts{L"Renamed " + Path(L"DSC_0002.jpg") + L" to 20230402_080000.jpg"});
    EXPECT_FALSE(RetryPending()) << "a held file that was opened would be retried";
    Holder second(Path(L"20230402_080000.jpg"), GENERIC_READ, 0);
    ASSERT_TRUE(second.Held());

    PutDated(L"DSC_0003.jpg", "2023:04:03 09:00:00");
    EXPECT_EQ(ScanRemembering(),
              Texts{L"Renamed " + Path(L"DSC_0003.jpg") + L" to 20230403_090000.jpg"});
    EXPECT_EQ(processed, 3);
    EXPECT_FALSE(RetryPending());
}

// A picture that changed in name, size or last-write time is read again, as a
// new picture would be.
struct ChangeCase {
    const char* name;
    bool dated;     // the new content carries a date
    bool sameSize;  // else one byte longer
    bool sameTime;  // else a later last-write time
    const wchar_t* newName;
};

class ChangedPicture : public ScanMemoryTest, public testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangedPicture, IsReadAgain)
{
    const ChangeCase& change = GetParam();
    Bytes undated = JpegWithoutExif();
    Put(L"photo.jpg", undated);
    const Texts reported = {L"No Exif information available for " + Path(L"photo.jpg") +
                            L" failed, File not renamed"};
    EXPECT_EQ(ScanRemembering(), reported);

    FILETIME lastWrite = {};
    {
        HANDLE file = CreateFileW(Path(L"photo.jpg").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        GetFileTime(file, nullptr, nullptr, &lastWrite);
        CloseHandle(file);
    }
    Bytes replacement = change.dated ? JpegWithDate(TagDateTimeOriginal, "2023:04:01 07:29:26")
                                     : undated;
    replacement.resize(undated.size() + (change.sameSize ? 0 : 1), 0);
    ASSERT_TRUE(DeleteFileW(Path(L"photo.jpg").c_str()));
    Put(change.newName, replacement);
    if (change.sameTime) {
        HANDLE file = CreateFileW(Path(change.newName).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        SetFileTime(file, nullptr, nullptr, &lastWrite);
        CloseHandle(file);
    } else {
        ULARGE_INTEGER later = {{lastWrite.dwLowDateTime, lastWrite.dwHighDateTime}};
        later.QuadPart += 10'000'000;
        HANDLE file = CreateFileW(Path(change.newName).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        FILETIME time = {later.LowPart, later.HighPart};
        SetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    }

    Texts lines = ScanRemembering();
    if (change.dated)
        EXPECT_EQ(lines, Texts{L"Renamed " + Path(change.newName) + L" to " + Stamp + L".jpg"});
    else
        EXPECT_EQ(lines, Texts{L"No Exif information available for " + Path(change.newName) +
                               L" failed, File not renamed"});
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ChangedPicture,
    testing::Values(ChangeCase{"RewrittenWithADate", true, false, false, L"photo.jpg"},
                    ChangeCase{"OtherSize", false, false, true, L"photo.jpg"},
                    ChangeCase{"OtherTime", false, true, false, L"photo.jpg"},
                    ChangeCase{"OtherName", false, true, true, L"other.jpg"}),
    [](const testing::TestParamInfo<ChangeCase>& info) { return std::string(info.param.name); });

// A burst keeps its numbered names while the plain name is taken; once the
// plain name is free, the numbered picture moves to it, memory or not.
TEST_F(ScanMemoryTest, NumberedPictureMovesWhenThePlainNameIsFreed)
{
    PutDated(L"a.jpg");
    PutDated(L"b.jpg");
    EXPECT_EQ(ScanRemembering().size(), 2u);
    EXPECT_EQ(ScanRemembering(), Texts{});
    std::wstring numbered = PathExists(Path(Stamp + L" (001).jpg")) ? Stamp + L" (001).jpg" : L"";
    ASSERT_FALSE(numbered.empty());
    ASSERT_TRUE(DeleteFileW(Path(Stamp + L".jpg").c_str()));
    EXPECT_EQ(ScanRemembering(), Texts{L"Renamed " + Path(numbered) + L" to " + Stamp + L".jpg"});
}

}  // namespace
