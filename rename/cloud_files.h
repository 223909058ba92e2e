// Files of a cloud storage provider (OneDrive and the like) that are not on
// this machine. Such a placeholder lists like any file, but reading it makes
// the provider fetch it: a scan that opened every picture of a synced Pictures
// folder would download the whole folder.
#pragma once

#include <windows.h>

#include <cstdint>

// Not in every SDK's headers. RECALL_ON_DATA_ACCESS marks a file whose data
// is fetched when it is read (OneDrive's online-only files); RECALL_ON_OPEN
// one fetched when it is opened at all; OFFLINE the older marking of data
// moved to other storage. (File Attribute Constants, Windows documentation.)
constexpr uint32_t FileAttributeRecallOnDataAccess = 0x00400000;
constexpr uint32_t FileAttributeRecallOnOpen = 0x00040000;
constexpr uint32_t FileAttributeOffline = FILE_ATTRIBUTE_OFFLINE;  // 0x1000

// True when the listed attributes say that opening or reading the file would
// fetch it from elsewhere.
inline bool IsOnlineOnly(uint32_t attributes)
{
    return (attributes & (FileAttributeRecallOnDataAccess | FileAttributeRecallOnOpen |
                          FileAttributeOffline)) != 0;
}

// The cloud files API's errors (ERROR_CLOUD_FILE_*, winerror.h): the provider
// not running or not reachable, a file in sync or locked by it, and the like.
inline bool IsCloudFileError(DWORD error)
{
    switch (error) {
    case 362: case 363: case 364: case 365: case 366:  // provider not running .. checksum
    case 374: case 375:                                // property blobs, version
    case 377: case 378: case 379: case 380: case 381:  // not in sync .. read-only volume
    case 382: case 383:                                // connected provider only, validation
    case 386: case 387: case 388: case 389: case 390:  // authentication .. not under sync root
    case 391: case 392: case 393: case 394: case 395:  // in use, pinned, aborted, corrupt, denied
    case 396: case 397: case 398:                      // hardlinks, lock conflict, canceled
    case 404:                                          // provider terminated
    case 426:                                          // request timeout
    case 434:                                          // dehydration disallowed
    case 475:                                          // message timeout
        return true;
    default:
        return false;
    }
}
