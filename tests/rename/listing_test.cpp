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

// The file system the listing meets, as the calls below play it.
struct PlayedFileSystem {
    DWORD refuseIdBoth = 0;    // error for the file-id classes' first query, 0: answered
    DWORD refuseFull = 0;      // error for the full-directory classes' first query, 0: answered
    DWORD idBothMidway = 0;    // error for the file-id classes' later queries, 0: answered
    DWORD fullMidway = 0;      // error for the full-directory classes' later queries, 0: answered
    DWORD findFirstError = 0;  // error for FindFirstFileExW, 0: answered
    DWORD findNextError = 0;   // error for FindNextFileW, 0: answered
    HANDLE signalAfterBatch = nullptr;  // set once a batch has been delivered
    HANDLE signalAtEnd = nullptr;       // set once the listing finds no more
    std::atomic<int> idBothQueries{0};
    std::atomic<int> fullQueries{0};
    std::atomic<int> findFirstCalls{0};
    std::atomic<int> batches{0};
};

PlayedFileSystem* Played = nullptr;

// One row of a table of file systems: what the two query classes answer, and
// the way the watch keeps.
struct ClassAnswers {
    const char* fileSystem;
    DWORD idBoth;  // the file-id classes' error
    DWORD full;    // the full-directory classes' error
    ListingMethod method;
};

bool Fails(DWORD error)
{
    SetLastError(error);
    return error != 0;
}

BOOL WINAPI PlayedQuery(HANDLE directory, FILE_INFO_BY_HANDLE_CLASS type, LPVOID buffer, DWORD size)
{
    bool idBoth = type == FileIdBothDirectoryInfo || type == FileIdBothDirectoryRestartInfo;
    bool full = type == FileFullDirectoryInfo || type == FileFullDirectoryRestartInfo;
    bool first = type == FileIdBothDirectoryRestartInfo || type == FileFullDirectoryRestartInfo;
    if (idBoth)
        ++Played->idBothQueries;
    if (full)
        ++Played->fullQueries;
    DWORD refusal = idBoth ? Played->refuseIdBoth : full ? Played->refuseFull : 0;
    DWORD midway = idBoth ? Played->idBothMidway : full ? Played->fullMidway : 0;
    if (Fails(first ? refusal : midway))
        return FALSE;
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

// Windows serves FindExInfoBasic with the full-directory class, and
// FindExInfoStandard with FileBothDirectoryInformation, which no query asks.
HANDLE WINAPI PlayedFindFirst(LPCWSTR pattern, FINDEX_INFO_LEVELS level, LPVOID found,
                              FINDEX_SEARCH_OPS search, LPVOID filter, DWORD flags)
{
    ++Played->findFirstCalls;
    if (Fails(level == FindExInfoBasic ? Played->refuseFull : 0) || Fails(Played->findFirstError))
        return INVALID_HANDLE_VALUE;
    return FindFirstFileExW(pattern, level, found, search, filter, flags);
}

BOOL WINAPI PlayedFindNext(HANDLE search, LPWIN32_FIND_DATAW found)
{
    if (Fails(Played->findNextError))
        return FALSE;
    return FindNextFileW(search, found);
}

class ListingTest : public ScanTest {
protected:
    void SetUp() override
    {
        ScanTest::SetUp();
        Played = &played;
        QueryDirectory = PlayedQuery;
        FindFirstEntry = PlayedFindFirst;
        FindNextEntry = PlayedFindNext;
    }
    void TearDown() override
    {
        QueryDirectory = GetFileInformationByHandleEx;
        FindFirstEntry = FindFirstFileExW;
        FindNextEntry = FindNextFileW;
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
        {ERROR_INVALID_LEVEL, true},
        {ERROR_NOT_SUPPORTED, true},
        {ERROR_INVALID_FUNCTION, true},  // STATUS_INVALID_DEVICE_REQUEST
        {ERROR_GEN_FAILURE, true},       // a router's NAS
        {ERROR_INTERNAL_ERROR, true},    // DrivePool, VirtualBox's shared folders
        {ERROR_CALL_NOT_IMPLEMENTED, true},
        {static_cast<DWORD>(NTE_BAD_SIGNATURE), true},  // old Samba, signing
        {ERROR_ACCESS_DENIED, false},
        {ERROR_FILE_NOT_FOUND, false},
        {ERROR_PATH_NOT_FOUND, false},
        {ERROR_NETNAME_DELETED, false},
        {ERROR_BAD_NETPATH, false},
        {ERROR_NO_MORE_FILES, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ListingClassRefused(c.error), c.refused) << c.error;
}

TEST(ListingClasses, NoOtherWayListsAFolderThatIsGoneOrDenied)
{
    struct Case {
        DWORD error;
        bool incurable;
    };
    const Case cases[] = {
        {ERROR_FILE_NOT_FOUND, true},      {ERROR_PATH_NOT_FOUND, true},
        {ERROR_ACCESS_DENIED, true},       {ERROR_BAD_NETPATH, true},
        {ERROR_NETNAME_DELETED, true},     {ERROR_BAD_NET_NAME, true},
        {ERROR_NETWORK_UNREACHABLE, true}, {ERROR_INVALID_PARAMETER, false},
        {ERROR_GEN_FAILURE, false},        {ERROR_BAD_NET_RESP, false},
        {ERROR_UNEXP_NET_ERR, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NoOtherWayLists(c.error), c.incurable) << c.error;
}

// A redirector that refuses the file-id class is listed with the full-directory
// class, one that refuses both with the find calls; either way its pictures are
// renamed. While a watch finds its way, a first query that fails for a reason
// another way may cure counts as refused too. The refused class is asked once
// per watch, not at every scan, and a new watch finds out again.
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
        {"router's NAS refusing with 31", ERROR_GEN_FAILURE, 0, ListingMethod::FullDirectory, 2},
        {"pooled drive refusing with 1359", ERROR_INTERNAL_ERROR, 0, ListingMethod::FullDirectory,
         2},
        {"Samba signing its replies", static_cast<DWORD>(NTE_BAD_SIGNATURE), 0,
         ListingMethod::FullDirectory, 2},
        {"server answering 58 to the file-id class", ERROR_BAD_NET_RESP, 0,
         ListingMethod::FullDirectory, 2},
        // The find calls ask a third class: FindExInfoBasic would ask the
        // refused full-directory one.
        {"refusing both classes", ERROR_NOT_SUPPORTED, ERROR_INVALID_PARAMETER,
         ListingMethod::FindFiles, 0},
        {"answering 1 and 59", ERROR_INVALID_FUNCTION, ERROR_UNEXP_NET_ERR,
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
        EXPECT_EQ(watch.listingMethod.method, c.method);
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
    ListingWay way;
    ASSERT_EQ(ListFolder(folder.PathWithBackslash(), &listing, &way), ListingResult::Listed);
    EXPECT_EQ(way.method, ListingMethod::FindFiles);
    ASSERT_EQ(listing.pictures.size(), 1u);
    EXPECT_EQ(listing.pictures[0].name, L"DSC_0001.jpg");
    EXPECT_EQ(listing.pictures[0].changeTime, 0u);
    EXPECT_NE(listing.pictures[0].lastWrite, 0u);
    EXPECT_NE(listing.pictures[0].creationTime, 0u);
}

// A folder is not monitored only when no way can list it: at once when the
// answer is one no other way cures, else once every way failed; the watch
// then finds its way afresh at the next listing.
TEST_F(ListingTest, AFolderIsNotListedOnlyWhenNoWayCanList)
{
    struct Case {
        const char* fileSystem;
        DWORD error;  // of the file-id class, the full-directory class and the find calls
        int fullQueries;
        int findFirstCalls;
    };
    const Case cases[] = {
        {"access denied", ERROR_ACCESS_DENIED, 0, 0},
        {"network name gone", ERROR_NETNAME_DELETED, 0, 0},
        {"server answering 58 to every way", ERROR_BAD_NET_RESP, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileSystem);
        played.fullQueries = 0;
        played.findFirstCalls = 0;
        played.refuseIdBoth = played.refuseFull = played.findFirstError = c.error;
        PutDated(L"DSC_0001.jpg");
        FolderMemory watch;
        EXPECT_EQ(ScanWatch(watch),
                  Texts{L"FindFirstFile for " + folder.PathWithBackslash() + L" returns " +
                        std::to_wstring(c.error) + L", Directory is not monitored"});
        EXPECT_EQ(processed, 0);
        EXPECT_EQ(played.fullQueries, c.fullQueries);
        EXPECT_EQ(played.findFirstCalls, c.findFirstCalls);
        EXPECT_EQ(watch.listingMethod.method, ListingMethod::NotTried);
    }
}

// Some Remote Desktop clients answer a class they cannot serve with "no more
// files" or "no such file" at once, as only an empty FAT root may: for any
// other folder the empty answer is checked with the next way, which lists the
// pictures and is kept.
TEST_F(ListingTest, AnEmptyFirstAnswerOfAFolderIsCheckedWithTheNextWay)
{
    const DWORD answers[] = {ERROR_NO_MORE_FILES, ERROR_FILE_NOT_FOUND};
    for (DWORD answer : answers) {
        SCOPED_TRACE(answer);
        played.refuseIdBoth = answer;
        played.fullQueries = 0;
        PutDated(L"DSC_0001.jpg");
        FolderMemory watch;
        EXPECT_EQ(ScanWatch(watch), Renamed(L"DSC_0001.jpg", L"20230401_072926.jpg"));
        EXPECT_EQ(watch.listingMethod.method, ListingMethod::FullDirectory);
        EXPECT_EQ(ScanWatch(watch), Texts{});
        EXPECT_EQ(played.fullQueries, 4) << "the full-directory class lists at every scan";
        ASSERT_TRUE(DeleteFileW((folder / L"20230401_072926.jpg").c_str()));
    }
}

// The root of a FAT or exFAT volume has no "." and "..": with a fresh card in
// the drive its first query finds no file at all, and so does
// FindFirstFileExW when both query classes are refused. That is an empty
// folder, not a missing one: no line, nothing counted. (Played here on a
// folder that is no root, which every class answers alike.)
TEST_F(ListingTest, AnEmptyDriveRootIsAnEmptyFolder)
{
    const ClassAnswers cases[] = {
        {"both classes answered", ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND,
         ListingMethod::NotTried},
        {"both classes refused", ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER,
         ListingMethod::FindFiles},
    };
    for (const ClassAnswers& c : cases) {
        SCOPED_TRACE(c.fileSystem);
        played.refuseIdBoth = c.idBoth;
        played.refuseFull = c.full;
        played.findFirstError = ERROR_FILE_NOT_FOUND;
        FolderMemory watch;
        EXPECT_EQ(ScanWatch(watch), Texts{});
        EXPECT_EQ(ScanWatch(watch), Texts{});
        EXPECT_EQ(processed, 0);
        EXPECT_EQ(watch.listingMethod.method, c.method);
    }
}

// On a drive's root an empty first answer is what a FAT card says: it is
// trusted, and the way is kept without asking the next.
TEST_F(ListingTest, AnEmptyFirstAnswerOfADriveRootIsTrusted)
{
    // The Wine test runner names an empty scratch drive for this.
    wchar_t drive[8] = {};
    if (!GetEnvironmentVariableW(L"LUMISTAMP_TEST_DRIVE", drive, ARRAYSIZE(drive)))
        GTEST_SKIP() << "no scratch drive named in LUMISTAMP_TEST_DRIVE";
    played.refuseIdBoth = ERROR_FILE_NOT_FOUND;
    FolderListing listing;
    ListingWay way;
    EXPECT_EQ(ListFolder(std::wstring(drive) + L"\\", &listing, &way), ListingResult::Listed);
    EXPECT_EQ(way.method, ListingMethod::IdBothDirectory);
    EXPECT_EQ(played.fullQueries, 0);
    EXPECT_EQ(EventTexts(), Texts{});
}

// A listing that fails after its first batch (OneDrive and SharePoint folders
// have failed so with 87) is made again the next way, which the watch keeps.
TEST_F(ListingTest, AListingThatFailsMidwayIsMadeTheNextWay)
{
    const ClassAnswers cases[] = {
        {"file-id class failing part-way", ERROR_INVALID_PARAMETER, 0,
         ListingMethod::FullDirectory},
        {"both classes failing part-way", ERROR_INVALID_PARAMETER, ERROR_UNEXP_NET_ERR,
         ListingMethod::FindFiles},
    };
    for (const ClassAnswers& c : cases) {
        SCOPED_TRACE(c.fileSystem);
        played.idBothMidway = c.idBoth;
        played.fullMidway = c.full;
        PutDated(L"DSC_0001.jpg");
        FolderMemory watch;
        EXPECT_EQ(ScanWatch(watch), Renamed(L"DSC_0001.jpg", L"20230401_072926.jpg"));
        EXPECT_EQ(watch.listingMethod.method, c.method);
        PutDated(L"DSC_0002.jpg", "2023:04:01 07:29:27");
        EXPECT_EQ(ScanWatch(watch), Renamed(L"DSC_0002.jpg", L"20230401_072927.jpg"));
        EXPECT_EQ(NextListingRetryMs(watch.listingMethod, GetTickCount64()), INFINITE);
        for (const std::wstring& name : Names())
            ASSERT_TRUE(DeleteFileW((folder / name).c_str()));
    }
}

// When every way fails part-way, nothing is renamed; one line says so, not
// one per scan, and the monitor is told to list the folder again within a
// minute. Once a listing succeeds the pictures are renamed and the retry ends.
TEST_F(ListingTest, AListingThatEveryWayFailsMidwayIsReportedOnceAndTriedAgain)
{
    played.idBothMidway = ERROR_INVALID_PARAMETER;
    played.fullMidway = ERROR_INVALID_PARAMETER;
    played.findNextError = ERROR_UNEXP_NET_ERR;
    PutDated(L"DSC_0001.jpg");
    FolderMemory watch;
    EXPECT_EQ(ScanWatch(watch),
              Texts{L"Listing " + folder.PathWithBackslash() + L" failed part-way, Error 59"});
    EXPECT_EQ(NextListingRetryMs(watch.listingMethod, watch.listingMethod.failedAt), 60000u);
    EXPECT_EQ(NextListingRetryMs(watch.listingMethod, watch.listingMethod.failedAt + 60000), 0u);
    EXPECT_EQ(ScanWatch(watch), Texts{});
    EXPECT_EQ(processed, 0);
    EXPECT_NE(NextListingRetryMs(watch.listingMethod, GetTickCount64()), INFINITE);

    played.fullMidway = 0;
    EXPECT_EQ(ScanWatch(watch), Renamed(L"DSC_0001.jpg", L"20230401_072926.jpg"));
    EXPECT_EQ(watch.listingMethod.method, ListingMethod::FullDirectory);
    EXPECT_EQ(NextListingRetryMs(watch.listingMethod, GetTickCount64()), INFINITE);
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
    ListingWay way = watch.listingMethod;
    FolderListing listing;
    ASSERT_EQ(ListFolder(folder.PathWithBackslash(), &listing, &way), ListingResult::Listed);
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
