// The moment a picture was taken, and the target path that follows from it.
#pragma once

#include <cstddef>
#include <cstdint>

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
    NoDate,          // none of the date properties, the fallback off
    DateUnreadable,  // the deciding property lies outside its block
    DateNotADate,    // the deciding property is not six numbers
    FileTimeUnread,  // the fallback could not read the file's time
};

// Reads the capture time of the picture at path into *time. Every outcome but
// Found and Busy has been logged; a busy picture is merely waited for.
CaptureTimeRead FindCaptureTime(const wchar_t* path, CaptureTime* time);

// Finds the picture's capture time (the first of the EXIF dates 0x0132,
// 0x9003, 0x9004 it carries, or with the FileModifiedDate option its last-write
// time in local time) and writes its target path into newPath, which holds
// newPathSize characters. False when the picture is not to be renamed; the
// reason has been logged then. Given untestedTime, the plain target name is
// written untested (see ComposeTargetName) and the time is given back there,
// for the caller to compose the numbered name should its rename be refused.
bool ReadCaptureTime(const wchar_t* folderPath, const wchar_t* oldPath, wchar_t* newPath,
                     size_t newPathSize, const wchar_t* extension,
                     CaptureTime* untestedTime = nullptr);
