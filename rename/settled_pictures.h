// A folder's memory of settled pictures: those its scans read and could do no
// more with until they change. A later scan that lists such a picture with the
// same name, size and last-write time passes over it without opening it, and
// without reporting its outcome again.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "rename/folder_listing.h"

enum class PictureOutcome : uint8_t {
    BearsItsName,       // already named after its capture time
    KeepsNumberedName,  // named with its stamp, waits for the plain name to be free
    NoDate,             // no date property (or not a JPEG with EXIF), fallback off
    DateUnreadable,     // the date property lies outside its block
    DateNotADate,       // the date property is not six numbers
    FileTimeUnread,     // the fallback could not read the file's time
    TargetUntested,     // the existence test of its target name failed
    OnlineOnly,         // a cloud provider's placeholder, left unread
};

struct SettledPicture {
    uint64_t size;
    uint64_t lastWrite;
    uint64_t changeTime;  // moves on any write, a date rewritten in place included
    PictureOutcome outcome;
    bool fromFileTime;  // named after its last-write time: read again with the option off
    uint32_t scan;      // the last scan that listed it (or settled it)
};

// Bound: one entry per picture the folder holds, about 130 bytes each with a
// camera-length name (the benchmark measures 100,000). Entries of pictures a
// scan no longer lists are dropped when it ends. Past MaxSettledPictures
// pictures are no longer remembered: they are read at every scan again, as if
// there were no memory, and nothing is lost but time.
constexpr size_t MaxSettledPictures = 250000;

struct SettledPictures {
    std::unordered_map<std::wstring, SettledPicture> byName;
    uint32_t scan = 0;
    // Whether the pictures that bear their names (the ones kept in the
    // folder's file, see settled_store.h) changed since it was last written.
    bool keptChanged = false;
};

// The outcomes kept across monitor restarts and program runs: failures are
// read, and reported, anew by every run.
inline bool IsKeptOutcome(PictureOutcome outcome)
{
    return outcome == PictureOutcome::BearsItsName || outcome == PictureOutcome::KeepsNumberedName;
}

// Brackets one scan: pictures it neither listed nor settled are forgotten at
// its end.
void BeginSettledScan(SettledPictures& settled);
void EndSettledScan(SettledPictures& settled);

// True when the listed picture is remembered as settled and has not changed
// since (its size, last-write and change time); it is marked as listed either
// way. A picture keeping a numbered name is settled only while its plain name
// is taken; an online-only one while it is still online-only (made local, it
// keeps its size and time); one named after its file time only while the
// FileModifiedDate option is on.
bool IsSettled(SettledPictures& settled, const ListedFile& picture, const std::wstring& folderPath);

void SettlePicture(SettledPictures& settled, const std::wstring& name, const ListedFile& listed,
                   PictureOutcome outcome, bool fromFileTime = false);

void ForgetPicture(SettledPictures& settled, const std::wstring& name);
