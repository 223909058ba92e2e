// A folder's memory of the renames it made whose raw file has not followed:
// old base name to new base name. A ".NEF" that lands under an old base name
// after its picture was renamed follows the picture to its new name.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

struct RememberedRename {
    std::wstring newBase;
    uint64_t order;  // when it was made, for forgetting the oldest first
};

// Bound: about 150 bytes per rename (two names and the map's node). A rename
// is forgotten once its raw file followed or failed to; JPEG-only cameras
// leave theirs. Past MaxRememberedRenames the older half is forgotten: a raw
// file landing that late after its picture stays under its camera name, as
// any ".NEF" whose base name the monitor never renamed.
constexpr size_t MaxRememberedRenames = 100000;

struct RenameMemory {
    // Keyed by the old base name in upper case (see FoldedName).
    std::unordered_map<std::wstring, RememberedRename> byOldBase;
    uint64_t made = 0;
};

void RememberRename(RenameMemory& renames, const std::wstring& oldBase,
                    const std::wstring& newBase);

// The new base name of a picture renamed from oldBase, or null.
const std::wstring* RenamedTo(const RenameMemory& renames, const std::wstring& oldBase);

void ForgetRename(RenameMemory& renames, const std::wstring& oldBase);
