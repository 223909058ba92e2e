#include "rename/capture_time.h"

#include <windows.h>

#include <vector>

#include "events/event_history.h"
#include "rename/exif_file.h"
#include "rename/exif_reader.h"
#include "rename/modified_time.h"
#include "rename/target_name.h"
#include "settings/settings.h"

static const wchar_t NoExifDate[] = L"No Exif information available for %s failed, File not renamed";
static const wchar_t DateValueUnreadable[] = L"GetPropertyItem for %s failed, Error %d";
static const wchar_t DateValueNotADate[] = L"Cannot retrieve date/time from %s";

// Asked for in this order; the first one present decides.
static const uint16_t DateTags[] = {0x0132, 0x9003, 0x9004};

// The date tag that decides, if any: Absent when the picture has none of them
// (or cannot be read as a JPEG with EXIF at all). *busy tells a file refused
// because another program has it open.
static ExifTagStatus FindDateValue(const wchar_t* path, std::vector<uint8_t>* block,
                                   ExifValue* value, bool* busy)
{
    if (!ReadExifBlock(path, block, busy))
        return ExifTagStatus::Absent;
    for (uint16_t tag : DateTags) {
        ExifTagStatus status = FindExifTag(block->data(), block->size(), tag, value);
        if (status != ExifTagStatus::Absent)
            return status;
    }
    return ExifTagStatus::Absent;
}

CaptureTimeRead FindCaptureTime(const wchar_t* path, CaptureTime* time)
{
    std::vector<uint8_t> block;
    ExifValue value;
    bool busy = false;

    switch (FindDateValue(path, &block, &value, &busy)) {
    case ExifTagStatus::Absent:
        if (busy)
            return CaptureTimeRead::Busy;
        if (Settings.FileModifiedDate.load() == 0) {
            LogEventFormat(NoExifDate, path);
            return CaptureTimeRead::NoDate;
        }
        if (!ReadModifiedTime(path, time, &busy))
            return busy ? CaptureTimeRead::Busy : CaptureTimeRead::FileTimeUnread;
        return CaptureTimeRead::Found;

    case ExifTagStatus::Unreadable:
        // The entry names a value beyond the end of its block.
        LogEventFormat(DateValueUnreadable, path, ERROR_INVALID_DATA);
        return CaptureTimeRead::DateUnreadable;

    case ExifTagStatus::Present:
        break;
    }

    int numbers[6];
    if (!ParseExifDateText(value.data, value.size, numbers)) {
        LogEventFormat(DateValueNotADate, path);
        return CaptureTimeRead::DateNotADate;
    }
    // Low 16 bits, unchecked: a clock never set gives zeros, and those still
    // make a name.
    *time = {static_cast<uint16_t>(numbers[0]), static_cast<uint16_t>(numbers[1]),
             static_cast<uint16_t>(numbers[2]), static_cast<uint16_t>(numbers[3]),
             static_cast<uint16_t>(numbers[4]), static_cast<uint16_t>(numbers[5])};
    return CaptureTimeRead::Found;
}

bool ReadCaptureTime(const wchar_t* folderPath, const wchar_t* oldPath, wchar_t* newPath,
                     size_t newPathSize, const wchar_t* extension, CaptureTime* untestedTime)
{
    CaptureTime time = {};
    if (FindCaptureTime(oldPath, &time) != CaptureTimeRead::Found)
        return false;
    ComposeTargetName(folderPath, oldPath, newPath, newPathSize, extension, time,
                      untestedTime == nullptr);
    if (untestedTime)
        *untestedTime = time;
    return true;
}
