#include "capture/capture_time.h"

#include <windows.h>

#include <vector>

#include "capture/exif_file.h"
#include "capture/exif_reader.h"
#include "capture/heif_file.h"
#include "capture/in_use.h"
#include "capture/long_path.h"
#include "capture/modified_time.h"
#include "capture/video_file.h"
#include "events/event_history.h"
#include "settings/settings.h"

static const wchar_t NoExifDate[] =
    L"No Exif information available for %s failed, File not renamed";
static const wchar_t DateValueUnreadable[] = L"GetPropertyItem for %s failed, Error %d";
static const wchar_t DateValueNotADate[] = L"Cannot retrieve date/time from %s";
static const wchar_t NoVideoTime[] = L"No capture time available for %s, File not renamed";
static const wchar_t CannotConvertFileTime[] =
    L"Converting the modified date of %s failed, Error %d";

// Asked for in this order; the first one present decides.
static const uint16_t DateTags[] = {0x0132, 0x9003, 0x9004};

// The scan passes HEIF pictures and videos on only with their options on, and
// told them by their extension: the text from the name's last dot.
static bool HasExtension(const wchar_t* path, bool (*isExtension)(const wchar_t*))
{
    const wchar_t* dot = wcsrchr(path, L'.');
    return dot && !wcschr(dot, L'\\') && isExtension(dot);
}

// The date tag that decides, if any: Absent when the picture has none of them
// (or is not a JPEG with EXIF at all, or could not be read: *readError then
// holds the system error).
static ExifTagStatus FindDateValue(const wchar_t* path, std::vector<uint8_t>* block,
                                   ExifValue* value, unsigned long* readError)
{
    if (!(HasExtension(path, IsHeifExtension) ? ReadHeifExifBlock : ReadExifBlock)(path, block,
                                                                                   readError))
        return ExifTagStatus::Absent;
    for (uint16_t tag : DateTags) {
        ExifTagStatus status = FindExifTag(block->data(), block->size(), tag, value);
        if (status != ExifTagStatus::Absent)
            return status;
    }
    return ExifTagStatus::Absent;
}

static bool KeepsLocalTimes(FolderVolume& volume)
{
    if (volume.keepsLocalTimes < 0)
        volume.keepsLocalTimes = KeepsLocalFileTimes(FileSystemOf(volume.folderPath).c_str());
    return volume.keepsLocalTimes != 0;
}

// A picture or video that was read and holds no date: named after its last
// write with the option on, reported with noDateText without.
static CaptureTimeRead UndatedPicture(const wchar_t* path, uint64_t lastWrite, FolderVolume& volume,
                                      CaptureTime* time, const wchar_t* noDateText)
{
    if (Settings.FileModifiedDate.load() == 0) {
        LogEventFormat(noDateText, path);
        return CaptureTimeRead::NoDate;
    }
    if (!LocalTimeOfFileTime(lastWrite, KeepsLocalTimes(volume), time)) {
        LogEventFormat(CannotConvertFileTime, path, static_cast<int>(GetLastError()));
        return CaptureTimeRead::FileTimeUnread;
    }
    return CaptureTimeRead::Found;
}

// A video's time as it is named: one written with its offset (or by a camera
// on local time) as it is, a UTC time in the local zone of its date. A time
// more than a day ahead of now is a clock never set, no time at all.
static bool NameTimeOfVideo(const VideoTime& found, CaptureTime* time)
{
    CaptureTime fields = {static_cast<uint16_t>(found.year),   static_cast<uint16_t>(found.month),
                          static_cast<uint16_t>(found.day),    static_cast<uint16_t>(found.hour),
                          static_cast<uint16_t>(found.minute), static_cast<uint16_t>(found.second)};
    SYSTEMTIME given = {fields.Year,   fields.Month,  0, fields.Day, fields.Hour,
                        fields.Minute, fields.Second, 0};
    SYSTEMTIME now;
    if (found.clock == VideoClock::Utc)
        GetSystemTime(&now);
    else
        GetLocalTime(&now);
    FILETIME givenTime, nowTime;
    if (!SystemTimeToFileTime(&given, &givenTime) || !SystemTimeToFileTime(&now, &nowTime))
        return false;
    constexpr uint64_t Day = uint64_t{24} * 3600 * 10000000;  // in FILETIME units
    auto ticks = [](const FILETIME& t) {
        return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
    };
    if (ticks(givenTime) > ticks(nowTime) + Day)
        return false;
    if (found.clock == VideoClock::Utc)
        return LocalTimeOfUtc(fields, time);
    *time = fields;
    return true;
}

// A video: named after the time it holds; one without is reported or named
// after its last write as a picture without EXIF dates is; one not yet whole
// is waited for.
static CaptureTimeRead FindVideoTime(const wchar_t* path, uint64_t lastWrite, FolderVolume& volume,
                                     CaptureTime* time, unsigned long* readError,
                                     bool* fromFileTime)
{
    VideoSearch search = VideoSearch::NoTime;
    VideoTime found = {};
    if (!ReadVideoTime(path, &search, &found, readError))
        return IsInUseError(*readError) ? CaptureTimeRead::Busy : CaptureTimeRead::ReadFailed;
    if (search == VideoSearch::Incomplete)
        return CaptureTimeRead::Incomplete;
    if (search == VideoSearch::Found && NameTimeOfVideo(found, time))
        return CaptureTimeRead::Found;
    if (fromFileTime)
        *fromFileTime = true;
    return UndatedPicture(path, lastWrite, volume, time, NoVideoTime);
}

CaptureTimeRead FindCaptureTime(const wchar_t* path, uint64_t lastWrite, FolderVolume& volume,
                                CaptureTime* time, unsigned long* readError, bool* fromFileTime)
{
    std::vector<uint8_t> block;
    ExifValue value;
    *readError = 0;
    if (fromFileTime)
        *fromFileTime = false;
    if (HasExtension(path, IsVideoExtension))
        return FindVideoTime(path, lastWrite, volume, time, readError, fromFileTime);

    switch (FindDateValue(path, &block, &value, readError)) {
    case ExifTagStatus::Absent:
        // Unread is not undated: a picture that could not be read may well
        // carry a date, so it is neither reported as without one nor named
        // after its file time.
        if (*readError != 0)
            return IsInUseError(*readError) ? CaptureTimeRead::Busy : CaptureTimeRead::ReadFailed;
        if (fromFileTime)
            *fromFileTime = true;
        return UndatedPicture(path, lastWrite, volume, time, NoExifDate);

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
