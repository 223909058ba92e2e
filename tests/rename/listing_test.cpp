// How a folder is listed on the file systems Windows users watch, played here
// through the directory query (Wine's file system answers every class): a
// redirector that refuses the query class, the empty root of a FAT card, and a
// request to let go that comes while a big folder is listed or worked through.
#include "tests/rename/scan_fixture.h"

#include <atomic>

#include "rename/folder_listing.h"
#include "rename/folder_memory.h"

namespace {

using Texts = std::vector<std::wstring>;

// The file system the listing meets, as the query below plays it.
struct PlayedFileSystem {
    DWORD refuseIdBoth = 0;             // error for the file-id classes, 0: answered
    DWORD refuseFull = 0;               // error for the full-directory classes, 0: answered
    bool emptyRoot = false;             // the first query finds nothing, as on an empty FAT root
    HANDLE signalAfterBatch = nullptr;  // set once a batch has been delivered
    HANDLE signalAtEnd = nullptr;       // set once the listing finds no more
    std::atomic<int> idBothQueries{0};
    std::atomic<int> fullQueries{0};
    std::atomic<int> batches{0};
};

PlayedFileSystem* Played = nullptr;

BOOL WINAPI PlayedQuery(HANDLE directory, FILE_INFO_BY_HANDLE_CLASS type, LPVOID buffer, DWORD size)
{
    bool idBoth = type == FileIdBothDirectoryInfo || type == FileIdBothDirectoryRestartInfo;
    bool full = type == FileFullDirectoryInfo || type == FileFullDirectoryRestartInfo;
    if (idBoth)
        ++Played->idBothQueries;
    if (full)
        ++Played->fullQueries;
    DWORD refusal = idBoth ? Played->refuseIdBoth : full ? Played->refuseFull : 0;
    if (refusal != 0) {
        SetLastError(refusal);
        return FALSE;
    }
    if (Played->emptyRoot) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (!GetFileInformationByHandleEx(directory, type, buffer, size)) {
        DWORD error = GetLastError();
        if (error == ERROR_NO_MORE_FILES && Played->signalAtEnd)
            SetEvent(Played->signalAtEnd);
        SetLastError(error);
        return FALSE;
    }
    ++Played->batches;
    if (Played->signalAfterBatch)
        SetEvent(Played->signalAfterBatch);
    return TRUE;
}

class ListingTest : public ScanTest {
protected:
    void SetUp() override
    {
        ScanTest::SetUp();
        Played = &played;
        QueryDirectory = PlayedQuery;
    }
    void TearDown() override
    {
        QueryDirectory = GetFileInformationByHandleEx;
        Played = nullptr;
        if (endEvent)
            CloseHandle(endEvent);
        ScanTest::TearDown();
    }

    // One scan of a watch, with its memory and, when made, its end event.
    Texts ScanWatch(FolderMemory& memory)
    {
        ClearEventHistory();
        int32_t processedBefore = Statistics.PicturesProcessed;
        int32_t renamedBefore = Statistics.PicturesRenamed;
        std::wstring path = folder.PathWithBackslash();
        ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()), memory, &endEvent,
                   endEvent ? 1 : 0);
        processed = Statistics.PicturesProcessed - processedBefore;
        renamed = Statistics.PicturesRenamed - renamedBefore;
        return EventTexts();
    }

    Texts Renamed(const std::wstring& name, const std::wstring& newName) const
    {
        return {L"Renamed " + (folder / name) + L" to " + newName};
    }

    HANDLE MakeEndEvent()
    {
        endEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        return endEvent;
    }

    PlayedFileSystem played;
    HANDLE endEvent = nullptr;
};

TEST(ListingClasses, RefusedByTheAnswersOfFileSystemsThatDoNotKnowThem)
{
    struct Case {
        DWORD error;
        bool refused;
    };
    const Case cases[] = {
        {ERROR_INVALID_PARAMETER, true},  // STATUS_INVALID_INFO_CLASS, Remote Desktop's drives
        {ERROR_INVALID_LEVEL, true},     {ERROR_NOT_SUPPORTED, true},
        {ERROR_INVALID_FUNCTION, true},  // STATUS_INVALID_DEVICE_REQUEST
        {ERROR_ACCESS_DENIED, false},    {ERROR_FILE_NOT_FOUND, false},
        {ERROR_PATH_NOT_FOUND, false},   {ERROR_NETNAME_DELETED, false},
        {ERROR_BAD_NETPATH, false},      {ERROR_NO_MORE_FILES, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ListingClassRefused(c.error), c.refused) << c.error;
}

// A redirector that refuses the file-id class is listed with the full-directory
// class, one that refuses both with the find calls; either way its pictures are
// renamed. The refused class is asked once per watch, not at every scan, and a
// new watch finds out again.
TEST_F(ListingTest, AFolderWhoseFileSystemRefusesTheQueryClassIsListedTheNextWay)
{
    struct Case {
        const char* fileSystem;
        DWORD refuseIdBoth;
        DWORD refuseFull;
        ListingMethod method;
        int fullQueriesPerScan;
    };
    const Case cases[] = {
        {"redirector refusing with 87", ERROR_INVALID_PARAMETER, 0, ListingMethod::FullDirectory,
         2},
        {"NAS refusing with 124", ERROR_INVALID_LEVEL, 0, ListingMethod::FullDirectory, 2},
        {"refusing both classes", ERROR_NOT_SUPPORTED, ERROR_INVALID_PARAMETER,
         ListingMethod::FindFiles, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileSystem);
        played.refuseIdBoth = c.refuseIdBoth;
        played.refuseFull = c.refuseFull;
        played.idBothQueries = 0;
        played.fullQueries = 0;
        PutDated(L"DSC_0001.jpg");
        FolderMemory watch;

        EXPECT_EQ(ScanWatch(watch), Renamed(L"DSC_0001.jpg", L"20230401_072926.jpg"));
        EXPECT_EQ(watch.listingMethod, c.method);
        PutDated(L"DSC_0002.jpg", "2023:04:01 07:29:27");
        EXPECT_EQ(ScanWatch(watch), Renamed(L"DSC_0002.jpg", L"20230401_072927.jpg"));
        EXPECT_EQ(ScanWatch(watch), Texts{});
        EXPECT_EQ(processed, 2);
        EXPECT_EQ(played.idBothQueries, 1) << "the refused class is asked once per watch";
        // Each listing by the full class: the first query and the one that
        // finds no more; a refused full class is asked once, too.
        EXPECT_EQ(played.fullQueries, c.refuseFull ? 1 : 3 * c.fullQueriesPerScan);

        FolderMemory nextWatch;
        EXPECT_EQ(ScanWatch(nextWatch), Texts{});
        EXPECT_EQ(played.idBothQueries, 2) << "a new watch finds out again";
        for (const std::wstring& name : Names())
            ASSERT_TRUE(DeleteFileW((folder / name).c_str()));
    }
}

// The listing by the find calls gives no change time: what it lists is never
// taken for what a listing with change times showed.
TEST_F(ListingTest, TheFindCallsListNoChangeTime)
{
    PutDated(L"DSC_0001.jpg");
    played.refuseIdBoth = ERROR_INVALID_PARAMETER;
    played.refuseFull = ERROR_INVALID_PARAMETER;
    FolderListing listing;
    ListingMethod method = ListingMethod::NotTried;
    ASSERT_EQ(ListFolder(folder.PathWithBackslash(), &listing, &method), ListingResult::Listed);
    EXPECT_EQ(method, ListingMethod::FindFiles);
    ASSERT_EQ(listing.pictures.size(), 1u);
    EXPECT_EQ(listing.pictures[0].name, L"DSC_0001.jpg");
    EXPECT_EQ(listing.pictures[0].changeTime, 0u);
    EXPECT_NE(listing.pictures[0].lastWrite, 0u);
    EXPECT_NE(listing.pictures[0].creationTime, 0u);
}

// The root of a FAT or exFAT volume has no "." and "..": with a fresh card in
// the drive its first query finds no file at all. That is an empty folder, not
// a missing one: no line, nothing counted.
TEST_F(ListingTest, AnEmptyDriveRootIsAnEmptyFolder)
{
    played.emptyRoot = true;
    FolderMemory watch;
    EXPECT_EQ(ScanWatch(watch), Texts{});
    EXPECT_EQ(ScanWatch(watch), Texts{});
    EXPECT_EQ(processed, 0);
}

// A request to let go (or a stop) is looked at between two batches of a big
// folder's listing: the scan ends after the batch in which it came, before
// the next query and before any picture.
TEST_F(ListingTest, ARequestToLetGoEndsTheListingBetweenBatches)
{
    // More entries than one 64 KiB batch holds (about 100 bytes an entry).
    for (int index = 0; index < 1500; ++index)
        ASSERT_TRUE(
            WriteFileBytes(folder / (L"IMG_" + std::to_wstring(10000 + index) + L".txt"), {1}));
    PutDated(L"DSC_0001.jpg");
    played.signalAfterBatch = MakeEndEvent();
    FolderMemory watch;
    EXPECT_EQ(ScanWatch(watch), Texts{});
    EXPECT_EQ(played.batches, 1);
    EXPECT_EQ(processed, 0);

    played.signalAfterBatch = nullptr;
    ResetEvent(endEvent);
    played.batches = 0;
    EXPECT_EQ(ScanWatch(watch), Renamed(L"DSC_0001.jpg", L"20230401_072926.jpg"));
    EXPECT_GT(played.batches, 1) << "the folder is big enough for several batches";
}

// Settled pictures cost a scan little, but not nothing (a numbered one costs a
// look-up of its plain name, which reads the whole directory on FAT): the
// request is looked at every few hundred pictures, settled or not, and before
// each raw file that follows its picture late.
TEST_F(ListingTest, ARequestToLetGoEndsTheWorkThroughSettledPicturesAndLateRawFiles)
{
    for (int index = 0; index < 600; ++index) {
        std::wstring second = std::to_wstring(10 + index % 50);
        std::wstring minute = std::to_wstring(10 + index / 50);
        Put(L"20230401_07" + minute + second + L".jpg",
            JpegWithDate(TagDateTimeOriginal,
                         "2023:04:01 07:" + std::string(minute.begin(), minute.end()) + ":" +
                             std::string(second.begin(), second.end())));
    }
    PutDated(L"DSC_0001.jpg", "2023:04:02 08:00:00");
    FolderMemory watch;
    EXPECT_EQ(ScanWatch(watch), Renamed(L"DSC_0001.jpg", L"20230402_080000.jpg"));
    EXPECT_EQ(processed, 601);
    Put(L"DSC_0001.NEF", {1});

    SetEvent(MakeEndEvent());
    ListingMethod method = watch.listingMethod;
    FolderListing listing;
    ASSERT_EQ(ListFolder(folder.PathWithBackslash(), &listing, &method), ListingResult::Listed);
    ClearEventHistory();
    int32_t processedBefore = Statistics.PicturesProcessed;
    ScanListing(folder.PathWithBackslash(), listing, watch, &endEvent, 1);
    EXPECT_LE(Statistics.PicturesProcessed - processedBefore, 256)
        << "settled pictures are not worked through to the end";
    EXPECT_EQ(EventTexts(), Texts{});

    // Nothing but the late raw file left to do.
    listing.pictures.clear();
    ScanListing(folder.PathWithBackslash(), listing, watch, &endEvent, 1);
    EXPECT_EQ(EventTexts(), Texts{}) << "the raw file waits for a scan that is not called off";

    ResetEvent(endEvent);
    EXPECT_EQ(ScanWatch(watch), (Texts{L"Renamed " + (folder / L"DSC_0001.NEF") + L" to " +
                                       (folder / L"20230402_080000.NEF")}));
    EXPECT_EQ(processed, 601);
}

// The kept file of a big folder takes a while to load: a request that came
// meanwhile ends the scan before its first picture.
TEST_F(ListingTest, ARequestToLetGoDuringTheKeptFileLoadEndsTheScan)
{
    PutDated(L"20230401_072926.jpg");
    PutDated(L"20230401_072927.jpg", "2023:04:01 07:29:27");
    FolderMemory watch;
    EXPECT_EQ(ScanWatch(watch), Texts{});
    EXPECT_EQ(processed, 2);

    // The listing is whole; the request comes before the pictures, settled
    // ones included.
    played.signalAtEnd = MakeEndEvent();
    EXPECT_EQ(ScanWatch(watch), Texts{});
    EXPECT_EQ(processed, 0);
}

}  // namespace
