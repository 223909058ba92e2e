// A folder's memory of settled pictures: those its scans read and could do no
// more with until they change. A later scan that lists such a picture with the
// same name, size and times passes over it without opening it, and without
// reporting its outcome again.
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
    Incomplete,         // a video left cut and unchanged for minutes, reported once
    LeftAsIs,           // given its old name back by a restore: not renamed while unchanged
};

struct SettledPicture {
    uint64_t size;
    uint64_t lastWrite;
    uint64_t changeTime;  // moves on any write, a date rewritten in place included
    // Moves when another file takes the name; 0 when not known yet (a kept
    // entry: the kept file does not hold it), then taken from the next listing.
    uint64_t creationTime;
    PictureOutcome outcome;
    bool fromFileTime;  // named after its last-write time: read again with the option off
    // Renamed by this monitor: the rename moved the change time, so the next
    // listing's is taken when everything else agrees.
    bool changeTimeFromListing;
    uint32_t scan;  // the last scan that listed it (or settled it)
};

// Bound: one entry per picture the folder holds, about 140 bytes each with a
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
    return outcome == PictureOutcome::BearsItsName ||
           outcome == PictureOutcome::KeepsNumberedName || outcome == PictureOutcome::LeftAsIs;
}

// Brackets one scan: pictures it neither listed nor settled are forgotten at
// its end.
void BeginSettledScan(SettledPictures& settled);
void EndSettledScan(SettledPictures& settled);

// Whether the listing shows the picture as it was settled: the same size,
// last-write, change and creation time, a time not known yet agreeing with
// any. A time the file system does not keep is listed as 0 every time: it
// tells nothing and costs nothing.
bool ListedUnchanged(const SettledPicture& settled, const ListedFile& listed);

// Whether the change time a listing gave tells a date rewritten in place with
// the size and last-write time kept, so that an entry keyed on it can be kept
// between runs. Not on FAT12/16/32, whose driver never fills the change time
// (the listing gives 0), nor on exFAT, whose directory entry holds only the
// creation, last-modified and last-access times (Microsoft's published exFAT
// on-disk format, its "File Directory Entry"): whatever its listing gives as a
// change time is made from those or kept in memory only while the volume is
// mounted, and setting the last-write time back sets it back. A listing that
// gives none (0) tells nothing either. A running monitor still passes over
// what it settled there; a new one reads it again.
bool ChangeTimeTellsRewrites(const wchar_t* fileSystemName, uint64_t listedChangeTime);

// True when the listed picture is remembered as settled and has not changed
// since (ListedUnchanged); it is marked as listed either way, and takes the
// times it did not know from the listing. A picture keeping a numbered name is settled only while
// its plain name is taken; an online-only one while it is still online-only (made local, it keeps
// its size and time); one named after its file time only while the FileModifiedDate option is on.
bool IsSettled(SettledPictures& settled, const ListedFile& picture, const std::wstring& folderPath);

void SettlePicture(SettledPictures& settled, const std::wstring& name, const ListedFile& listed,
                   PictureOutcome outcome, bool fromFileTime = false);

// Settles a picture this monitor just renamed, under its new name, with the
// listing it was renamed from: the next listing of it is taken as settled
// when its size, last-write and creation time agree, and gives its change
// time. A rewrite in place between the rename and that listing is not seen.
void SettleRenamedPicture(SettledPictures& settled, const std::wstring& name,
                          const ListedFile& listed, PictureOutcome outcome, bool fromFileTime);

void ForgetPicture(SettledPictures& settled, const std::wstring& name);
