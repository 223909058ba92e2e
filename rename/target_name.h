// Target names "YYYYMMDD_HHMMSS<ext>", numbered " (001)" and on when taken.
#pragma once

#include <cstddef>
#include <string>

#include "capture/capture_time.h"

// Writes the target path for a picture taken at time into newPath (of
// newPathSize characters). The folder path ends in a backslash; the extension
// is the picture's own, case kept. With testPlainName false, a picture whose
// name does not begin with its stamp gets the plain name untested: for a
// caller whose rename tests it (MoveFileW never replaces a file) and that
// composes again with the test when the rename is refused.
void ComposeTargetName(const wchar_t* folderPath, const wchar_t* oldPath, wchar_t* newPath,
                       size_t newPathSize, const wchar_t* extension, const CaptureTime& time,
                       bool testPlainName = true);

// True when a file or directory of that path exists. A test that fails for
// another reason than a missing file is logged and answers false.
bool FileExists(const wchar_t* path);

// How many existence tests have failed (and been logged) on the calling
// thread so far: a scan compares it before and after a picture.
unsigned FailedExistenceTests();

// The stamp a picture taken at time is named by, "YYYYMMDD_HHMMSS".
std::wstring StampOf(const CaptureTime& time);

// Whether a file name is a stamp followed by the extension or a collision
// number: "YYYYMMDD_HHMMSS.jpg", "YYYYMMDD_HHMMSS (001).jpg".
bool HasStampName(const std::wstring& name);

// Finds the picture's capture time (the first of the EXIF dates 0x0132,
// 0x9003, 0x9004 it carries, or with the FileModifiedDate option its last-write
// time in local time) and writes its target path into newPath, which holds
// newPathSize characters. False when the picture is not to be renamed; the
// reason has been logged then (a file that cannot be read included). Given
// untestedTime, the plain target name is written untested (see
// ComposeTargetName) and the time is given back there, for the caller to
// compose the numbered name should its rename be refused.
bool ReadCaptureTime(const wchar_t* folderPath, const wchar_t* oldPath, wchar_t* newPath,
                     size_t newPathSize, const wchar_t* extension,
                     CaptureTime* untestedTime = nullptr);
