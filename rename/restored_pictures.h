// Pictures a restore gave their old names back, settled in their folder's
// memory as "left as is" so that no scan renames them again while they stay
// unchanged: in the kept file at once (for the next start), and in the memory
// of the folder's running monitor before its next scan.
#pragma once

#include <string>
#include <vector>

#include "rename/folder_listing.h"

struct FolderMemory;

// The restored pictures as the folder's listing shows them after the restore.
void SettleRestoredPictures(const std::wstring& folderPath,
                            const std::vector<ListedFile>& pictures);

// For a monitor, before each scan: the pictures restored in its folder since
// its last scan, settled in its memory. Bound: what waits is one entry per
// restored picture until the folder's next scan takes it, or the program ends.
void TakeRestoredPictures(FolderMemory& memory, const std::wstring& folderPath);
