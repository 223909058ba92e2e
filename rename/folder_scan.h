// One pass over a watched folder: every picture renamed to its capture time.
#pragma once

#include <cstdint>

// folderPath ends in a backslash; length is its length in characters. Every
// outcome is logged; the counters PicturesProcessed and PicturesRenamed move.
void ScanFolder(const wchar_t* folderPath, uint32_t length);
