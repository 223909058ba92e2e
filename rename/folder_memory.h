// What a folder's monitor remembers from one scan to the next, for as long as
// it runs; a new monitor (a new start, or a set started by OK) starts empty.
#pragma once

#include "rename/busy_files.h"
#include "rename/rename_memory.h"
#include "rename/settled_pictures.h"

struct FolderMemory {
    SettledPictures settled;
    RenameMemory renames;
    BusyFiles busy;
};
