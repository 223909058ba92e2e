// The moment a picture was taken: FindCaptureTime, the one entry point the scan
// calls for any picture, reads it from the picture's own dates or falls back
// on its file time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Calendar fields in the order of SYSTEMTIME (day of week and milliseconds
// left out). Values from EXIF are taken as they are, without a range check.
struct CaptureTime {
    uint16_t Year;
    uint16_t Month;
    uint16_t Day;
    uint16_t Hour;
    uint16_t Minute;
    uint16_t Second;
};

// What reading a picture's capture time came to.
enum class CaptureTimeRead {
    Found,
    Busy,            // another program has the file open (for writing): try later
    ReadFailed,      // the file could not be opened or read: try later
    NoDate,          // none of the date properties, the fallback off
    DateUnreadable,  // the deciding property lies outside its block
    DateNotADate,    // the deciding property is not six numbers
    FileTimeUnread,  // the fallback could not convert the file's time
    Incomplete,      // a video not yet whole (no movie box yet): try later, not logged
};

// What naming a picture after its file time needs to know of its folder's
// volume, asked once per scan and only when a picture needs it.
struct FolderVolume {
    std::wstring folderPath;
    int keepsLocalTimes = -1;  // -1: not asked yet
};

// Reads the capture time of the picture at path into *time; lastWrite is its
// last-write time as listed (a FILETIME in UTC), for the fallback. Every
// outcome but Found, Busy and ReadFailed has been logged; a busy picture is
// merely waited for, and for one that could not be read *readError tells the
// system error, for the caller to report. Given fromFileTime, it tells
// whether a time found is the file's (the picture holds no date).
CaptureTimeRead FindCaptureTime(const wchar_t* path, uint64_t lastWrite, FolderVolume& volume,
                                CaptureTime* time, unsigned long* readError,
                                bool* fromFileTime = nullptr);
