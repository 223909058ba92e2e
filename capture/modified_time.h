// A file's last-write time in local time: the capture time of a picture
// without EXIF dates when the FileModifiedDate option is on. The time comes
// from the folder's listing, so the file is not opened for it.
#pragma once

#include <cstdint>
#include <string>

#include "capture/capture_time.h"

// True for the file systems whose times Windows keeps as local time (FAT12,
// FAT16, FAT32: "FAT" or "FAT32" as GetVolumeInformation names them); exFAT,
// NTFS, ReFS and network file systems keep UTC.
bool KeepsLocalFileTimes(const wchar_t* fileSystemName);

// The name of the file system the folder lies on; empty when it cannot be
// told (it is then taken as one that keeps UTC).
std::wstring FileSystemOf(const std::wstring& folderPath);

// The last-write time (a FILETIME in UTC, as listed) in local time. Windows
// turns a FAT volume's local times into UTC with today's offset from UTC, so
// on such a volume (localTimesVolume) the time is turned back with today's
// offset too (FileTimeToLocalFileTime), giving the clock time the file was
// written at. Elsewhere the offset of the file's own date applies
// (SystemTimeToTzSpecificLocalTime), right across a change to or from summer
// time. False when the time cannot be converted.
bool LocalTimeOfFileTime(uint64_t lastWrite, bool localTimesVolume, CaptureTime* time);

// A UTC time in Windows' local time zone with that zone's rule for the time's
// own year (GetTimeZoneInformationForYear: a past year's summer time as it was
// then, where the system keeps the zone's history), summer time included.
// False when the time cannot be converted.
bool LocalTimeOfUtc(const CaptureTime& utc, CaptureTime* local);
