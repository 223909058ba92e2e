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
    // Runs of codes, first and last.
    static const DWORD runs[][2] = {
        {362, 366},  // provider not running .. checksum
        {374, 375},  // property blobs, version
        {377, 383},  // not in sync .. validation (connected provider only, read-only volume)
        {386, 398},  // authentication .. canceled (in use, pinned, lock conflict, hardlinks)
        {404, 404},  // provider terminated
        {426, 426},  // request timeout
        {434, 434},  // dehydration disallowed
        {475, 475},  // message timeout
    };
    for (const auto& run : runs) {
        if (error >= run[0] && error <= run[1])
            return true;
    }
    return false;
}
