#include "capture/modified_time.h"

#include <windows.h>

#include <vector>

#include "capture/ascii_text.h"
#include "capture/long_path.h"

bool KeepsLocalFileTimes(const wchar_t* fileSystemName)
{
    static const wchar_t* const localTimeSystems[] = {L"FAT", L"FAT12", L"FAT16", L"FAT32"};
    for (const wchar_t* name : localTimeSystems)
        if (AsciiEqualNoCase(fileSystemName, name))
            return true;
    return false;
}

std::wstring FileSystemOf(const std::wstring& folderPath)
{
    std::wstring folder = LongPath(folderPath);
    std::vector<wchar_t> root(folder.size() + 2);
    if (!GetVolumePathNameW(folder.c_str(), root.data(), static_cast<DWORD>(root.size())))
        return std::wstring();
    wchar_t name[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root.data(), nullptr, 0, nullptr, nullptr, nullptr, name,
                               ARRAYSIZE(name)))
        return std::wstring();
    return name;
}

bool LocalTimeOfFileTime(uint64_t lastWrite, bool localTimesVolume, CaptureTime* time)
{
    FILETIME utc = {static_cast<DWORD>(lastWrite), static_cast<DWORD>(lastWrite >> 32)};
    SYSTEMTIME local;
    bool converted;
    if (localTimesVolume) {
        FILETIME localFileTime;
        converted = FileTimeToLocalFileTime(&utc, &localFileTime) &&
                    FileTimeToSystemTime(&localFileTime, &local);
    } else {
        SYSTEMTIME utcFields;
        converted = FileTimeToSystemTime(&utc, &utcFields) &&
                    SystemTimeToTzSpecificLocalTime(nullptr, &utcFields, &local);
    }
    if (!converted)
        return false;
    *time = {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
    return true;
}

bool LocalTimeOfUtc(const CaptureTime& utc, CaptureTime* local)
{
    SYSTEMTIME universal = {utc.Year, utc.Month, 0, utc.Day, utc.Hour, utc.Minute, utc.Second, 0};
    SYSTEMTIME there;
    // The zone's rule for that year: Wine 8 has no
    // SystemTimeToTzSpecificLocalTimeEx (a call aborts the process), but it has
    // this, which on Windows gives a past year's rule from the zone's history.
    TIME_ZONE_INFORMATION zone = {};
    bool converted = GetTimeZoneInformationForYear(utc.Year, nullptr, &zone) &&
                     SystemTimeToTzSpecificLocalTime(&zone, &universal, &there);
    if (!converted && !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &there))
        return false;
    *local = {there.wYear, there.wMonth, there.wDay, there.wHour, there.wMinute, there.wSecond};
    return true;
}
