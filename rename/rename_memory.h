// A folder's memory of the renames it made whose raw file (or sidecar) has not
// followed: old base name to new base name. A companion that lands under an
// old base name after its picture was renamed follows the picture to its new
// name. Kept with the folder's settled pictures (settled_store.h), so that one
// landing after a restart or an OK follows too.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "capture/capture_time.h"

struct RememberedRename {
    std::wstring newBase;
    uint64_t order;             // when it was made, for forgetting the oldest first
    CaptureTime time{};         // the picture's, for telling another camera's raw file
    bool fromFileTime = false;  // the time is the picture's file time: not compared
    bool rawFollowed = false;   // its own raw file followed or failed to
    // The extensions (folded, each followed by '|') of raw files of its base
    // name left where they are as another camera's: told once, and their
    // sidecars stay with them. Another camera's raw file does not stand for
    // the picture's own, which may land after it. Not kept across restarts: a
    // new monitor reads such a raw file's header again.
    std::wstring otherShots;
};

// Whether a raw file with this extension was left as another camera's.
bool IsOtherShot(const RememberedRename& rename, const std::wstring& extension);
void AddOtherShot(RememberedRename& rename, const std::wstring& extension);

// Bound: about 180 bytes per rename (three strings and the map's node). A
// rename is forgotten once its raw file followed or failed to; JPEG-only
// cameras leave theirs, and with sidecars listed every rename stays (a
// sidecar of the other naming form may land after the first one). Past
// MaxRememberedRenames the older half is forgotten: a raw file landing that
// late after its picture stays under its camera name, as any raw file whose
// base name the monitor never renamed.
constexpr size_t MaxRememberedRenames = 100000;
// The newest this many are kept across restarts, about 60 bytes each in the
// kept file.
constexpr size_t MaxKeptRenames = 10000;

struct RenameMemory {
    // Keyed by the old base name in upper case (see FoldedName).
    std::unordered_map<std::wstring, RememberedRename> byOldBase;
    uint64_t made = 0;
    bool keptChanged = false;  // changed since the kept file was written
};

void RememberRename(RenameMemory& renames, const std::wstring& oldBase,
                    const RememberedRename& rename);
void RememberRename(RenameMemory& renames, const std::wstring& oldBase,
                    const std::wstring& newBase);

// The rename of a picture renamed from oldBase, or null.
RememberedRename* FindRename(RenameMemory& renames, const std::wstring& oldBase);

// The new base name of a picture renamed from oldBase, or null.
const std::wstring* RenamedTo(RenameMemory& renames, const std::wstring& oldBase);

void ForgetRename(RenameMemory& renames, const std::wstring& oldBase);
