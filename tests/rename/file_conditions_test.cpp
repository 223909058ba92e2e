// What a scan decides from what Windows tells it of a file or a volume, for
// the conditions this platform cannot make: cloud placeholders, refusals from
// Controlled folder access or a cloud provider, FAT volumes, paths past
// MAX_PATH. Each decision is fed what the listing or the failed call gives.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "capture/cloud_files.h"
#include "capture/in_use.h"
#include "capture/long_path.h"
#include "capture/modified_time.h"
#include "events/event_history.h"
#include "rename/folder_listing.h"
#include "rename/folder_memory.h"
#include "rename/folder_scan.h"
#include "settings/settings.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/scratch_folder.h"

namespace {

// OneDrive marks an online-only file RECALL_ON_DATA_ACCESS (0x400000) and, on
// older systems, OFFLINE (0x1000); RECALL_ON_OPEN (0x40000) marks files that
// are fetched when opened. PINNED and UNPINNED (0x80000, 0x100000) only say
// what the user asked for, not where the data is.
TEST(CloudFiles, OnlineOnlyByTheListedAttributes)
{
    struct Case {
        uint32_t attributes;
        bool onlineOnly;
    };
    const Case cases[] = {
        {0x00000020, false},  // archive: a plain local file
        {0x00000001, false},  // read-only
        {0x00000422, false},  // archive, hidden, reparse point (a hydrated placeholder)
        {0x00080020, false},  // pinned: "always keep on this device"
        {0x00100020, false},  // unpinned but still local
        {0x00400000, true},   // recall on data access
        {0x00500420, true},   // OneDrive online-only: unpinned, recall on data access
        {0x00040000, true},   // recall on open
        {0x00001000, true},   // offline
        {0x00001020, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsOnlineOnly(c.attributes), c.onlineOnly) << std::hex << c.attributes;
}

// Refusals that usually pass are retried on the busy schedule and reported
// once; the others (a name taken, a name too long, a file gone) are not.
TEST(Refusals, PassingOnesAreTheAccessAndCloudRefusals)
{
    struct Case {
        DWORD error;
        bool passing;
    };
    const Case cases[] = {
        {5, true},     // access denied: Controlled folder access, antivirus, pending delete
        {19, true},    // write protected card
        {65, true},    // network access denied
        {362, true},   // cloud provider not running
        {388, true},   // cloud network unavailable
        {391, true},   // cloud file in use
        {395, true},   // cloud access denied
        {398, true},   // cloud request canceled
        {404, true},   // cloud provider terminated
        {426, true},   // cloud request timeout
        {2, false},    // file not found
        {32, false},   // sharing violation: busy, handled as such
        {183, false},  // already exists
        {206, false},  // file name too long
        {367, false},  // child process blocked: not a cloud error, though in the range
        {384, false},  // SMB1 not available
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsPassingRefusal(c.error), c.passing) << c.error;
}

TEST(LongPaths, OnlyPathsPastTheLimitTakeTheLongForm)
{
    const std::wstring folder248 = L"C:\\" + std::wstring(244, L'd') + L"\\";  // 248 characters
    const std::wstring name11 = L"DSC_001.jpg";
    const std::wstring name12 = L"DSC_0001.jpg";
    const std::wstring share = L"\\\\nas\\photos\\" + std::wstring(235, L'u') + L"\\";
    struct Case {
        std::wstring path;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"C:\\Pictures\\DSC_0001.jpg", L"C:\\Pictures\\DSC_0001.jpg"},
        // 259 characters still fit MAX_PATH with the terminating null; 260 do not.
        {folder248 + name11, folder248 + name11},
        {folder248 + name12, L"\\\\?\\" + folder248 + name12},
        {share + L"IMG_1234.jpg",
         L"\\\\?\\UNC\\nas\\photos\\" + std::wstring(235, L'u') + L"\\IMG_1234.jpg"},
        // Already in a form the file calls take whole.
        {L"\\\\?\\" + folder248 + name12, L"\\\\?\\" + folder248 + name12},
        // Normalised first, as the plain calls would have: separators and dots.
        {L"C:/" + std::wstring(244, L'd') + L"/./x/../" + name12, L"\\\\?\\" + folder248 + name12},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LongPath(c.path), c.expected) << c.path.size() << " characters";
}

// GetVolumeInformation names FAT12 and FAT16 volumes "FAT" and FAT32 ones
// "FAT32"; Windows keeps their times as local time. exFAT keeps UTC (with an
// offset field), as NTFS, ReFS and network file systems do.
TEST(FileTimes, LocalTimeVolumesAreTheFatOnes)
{
    struct Case {
        const wchar_t* fileSystem;
        bool localTimes;
    };
    const Case cases[] = {
        {L"FAT", true},    {L"FAT32", true},  {L"FAT16", true}, {L"fat32", true},
        {L"exFAT", false}, {L"NTFS", false},  {L"ReFS", false}, {L"CDFS", false},
        {L"UDF", false},   {L"FAT64", false}, {L"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KeepsLocalFileTimes(c.fileSystem), c.localTimes)
            << testing::PrintToString(std::wstring(c.fileSystem));
}

std::wstring Stamp(const CaptureTime& t)
{
    wchar_t text[32];
    swprintf(text, 32, L"%04u%02u%02u_%02u%02u%02u", t.Year, t.Month, t.Day, t.Hour, t.Minute,
             t.Second);
    return text;
}

uint64_t FileTimeOf(SYSTEMTIME utc)
{
    FILETIME time;
    EXPECT_TRUE(SystemTimeToFileTime(&utc, &time));
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Runs in Central European time (its own ctest entry): UTC+1 in winter, UTC+2
// in summer. A file written in the other season than today's is where the two
// conversions part: on a FAT volume Windows has turned the clock time written
// on the volume into UTC with today's offset, so today's offset turns it back;
// elsewhere the offset of the file's own date is the right one.
TEST(FileTimes, FatTimesTakeTodaysOffsetAndOthersTheirOwnDates)
{
    TIME_ZONE_INFORMATION zone;
    bool summerNow = GetTimeZoneInformation(&zone) == TIME_ZONE_ID_DAYLIGHT;
    ASSERT_EQ(zone.Bias, -60) << "run with TZ set to Central European time";

    struct Case {
        SYSTEMTIME utc;
        bool fat;
        const wchar_t* stamp;
    };
    // The file written in the season that is not today's.
    const Case winterNow[] = {
        {{2021, 6, 2, 15, 12, 34, 56, 0}, false, L"20210615_143456"},
        {{2021, 6, 2, 15, 12, 34, 56, 0}, true, L"20210615_133456"},
        {{2021, 1, 5, 15, 12, 34, 56, 0}, false, L"20210115_133456"},
        {{2021, 1, 5, 15, 12, 34, 56, 0}, true, L"20210115_133456"},
    };
    const Case summerNowCases[] = {
        {{2021, 1, 5, 15, 12, 34, 56, 0}, false, L"20210115_133456"},
        {{2021, 1, 5, 15, 12, 34, 56, 0}, true, L"20210115_143456"},
        {{2021, 6, 2, 15, 12, 34, 56, 0}, false, L"20210615_143456"},
        {{2021, 6, 2, 15, 12, 34, 56, 0}, true, L"20210615_143456"},
    };
    for (const Case& c : summerNow ? summerNowCases : winterNow) {
        CaptureTime local = {};
        ASSERT_TRUE(LocalTimeOfFileTime(FileTimeOf(c.utc), c.fat, &local));
        EXPECT_EQ(Stamp(local), c.stamp) << (c.fat ? "FAT" : "NTFS") << ", month " << c.utc.wMonth;
    }
}

// The road from the volume to the name: the listing names the folder's file
// system as GetVolumeInformation does, and the scan hands that on to the
// fallback. An undated picture written in the other season than today's is
// named after today's offset on a FAT volume, after its own date's elsewhere
// (Wine's drives are never FAT, so the name the listing found is replaced by
// what a card's listing reports).
TEST(FileTimes, FatTimesOfTheListedVolumeNameAnUndatedPicture)
{
    TIME_ZONE_INFORMATION zone;
    bool summerNow = GetTimeZoneInformation(&zone) == TIME_ZONE_ID_DAYLIGHT;
    ASSERT_EQ(zone.Bias, -60) << "run with TZ set to Central European time";
    // 12:34:56 UTC in the other season: 13:34:56 in winter, 14:34:56 in summer.
    SYSTEMTIME written = summerNow ? SYSTEMTIME{2021, 1, 5, 15, 12, 34, 56, 0}
                                   : SYSTEMTIME{2021, 6, 2, 15, 12, 34, 56, 0};
    const wchar_t* fatName = summerNow ? L"20210115_143456.jpg" : L"20210615_133456.jpg";
    const wchar_t* ownDateName = summerNow ? L"20210115_133456.jpg" : L"20210615_143456.jpg";

    struct Case {
        const wchar_t* fileSystem;
        const wchar_t* name;
    };
    const Case cases[] = {{L"FAT32", fatName},
                          {L"FAT", fatName},
                          {L"NTFS", ownDateName},
                          {L"exFAT", ownDateName}};
    Settings.FileModifiedDate = 1;
    for (const Case& c : cases) {
        ScratchFolder folder;
        std::wstring path = folder / L"IMG_0001.jpg";
        ASSERT_TRUE(WriteFileBytes(path, JpegWithoutExif()));
        HANDLE file =
            CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        FILETIME time;
        ASSERT_TRUE(SystemTimeToFileTime(&written, &time));
        ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
        CloseHandle(file);

        FolderListing listing;
        ASSERT_TRUE(ListFolder(folder.PathWithBackslash(), &listing));
        EXPECT_FALSE(listing.fileSystem.empty()) << "the listing names the file system";
        listing.fileSystem = c.fileSystem;
        FolderMemory memory;
        ScanListing(folder.PathWithBackslash(), listing, memory);
        EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::wstring>{c.name})
            << testing::PrintToString(std::wstring(c.fileSystem));
    }
    Settings.FileModifiedDate = 0;
    ClearEventHistory();
}

}  // namespace
