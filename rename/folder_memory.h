// What a folder's monitor remembers from one scan to the next, for as long as
// it runs; a new monitor (a new start, or a set started by OK) starts with
// only the settled pictures its folder's kept file holds (settled_store.h).
#pragma once

#include "rename/busy_files.h"
#include "rename/folder_listing.h"
#include "rename/incomplete_videos.h"
#include "rename/online_only.h"
#include "rename/rename_journal.h"
#include "rename/rename_memory.h"
#include "rename/settled_pictures.h"
#include "rename/settled_store.h"

struct FolderMemory {
    SettledPictures settled;
    RenameMemory renames;
    BusyFiles busy;
    IncompleteVideos incomplete;
    KeptPicturesFile keptFile;
    RenameJournal journal;
    OnlineOnlyPictures onlineOnly;
    ListingWay listingMethod;  // found by the first listing; a listing failed part-way
};
