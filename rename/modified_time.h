// The file's last-write time in local time: the capture time of a picture
// without EXIF dates when the FileModifiedDate option is on.
#pragma once

#include "rename/capture_time.h"

// False when the time could not be read; the reason has been logged then.
bool ReadModifiedTime(const wchar_t* path, CaptureTime* time);
