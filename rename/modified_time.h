// The file's last-write time in local time: the capture time of a picture
// without EXIF dates when the FileModifiedDate option is on.
#pragma once

#include "rename/capture_time.h"

// False when the time could not be read; the reason has been logged then,
// unless busy is given and another program has the file open (sharing or
// lock violation): *busy is set then and nothing is logged, the file being
// merely busy.
bool ReadModifiedTime(const wchar_t* path, CaptureTime* time, bool* busy = nullptr);
