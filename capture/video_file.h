// A video's capture time from its file: the top-level box headers, then only
// the boxes inside the movie box that hold a date, never the media data and
// never more than the bounds in capture/video_reader.h.
#pragma once

#include "capture/video_reader.h"

// ".mov", ".mp4", ".m4v", ".3gp" and ".3g2", any ASCII case: the extensions of
// the phones' and cameras' videos named after their capture time.
bool IsVideoExtension(const wchar_t* extension);

// ReadVideoTimeFrom over the video at path, opened and shared as ReadExifBlock
// opens a picture, so a file open for writing is refused with a sharing
// violation. False when the file could not be opened or read: *failure then
// holds the system error.
bool ReadVideoTime(const wchar_t* path, VideoSearch* search, VideoTime* time,
                   unsigned long* failure);
