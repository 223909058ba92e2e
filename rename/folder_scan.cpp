#include "rename/folder_scan.h"

#include <windows.h>
#include <strsafe.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "capture/ascii_text.h"
#include "capture/capture_time.h"
#include "capture/cloud_files.h"
#include "capture/in_use.h"
#include "capture/long_path.h"
#include "capture/modified_time.h"
#include "capture/raw_header.h"
#include "events/event_history.h"
#include "rename/companion.h"
#include "rename/folder_listing.h"
#include "rename/folder_memory.h"
#include "rename/target_name.h"
#include "rename/video_listing.h"
#include "settings/statistics.h"

static const wchar_t Renamed[] = L"Renamed %s to %s";
static const wchar_t RenameFailed[] = L"Error %d renaming %s to %s";
static const wchar_t CannotRead[] = L"Error %d reading %s, File not renamed";
static const wchar_t AnotherShot[] = L"%s is not renamed with %s: its capture time differs";
static const wchar_t LeftOnline[] = L"%s is online-only and was not downloaded, File not renamed";
static const wchar_t LeftCut[] = L"%s is incomplete, File not renamed";

// Room for any file name (at most 259 characters) twice over in a target path.
constexpr size_t TargetPathRoom = 520;

// Pictures a scan works through between two looks at its end events, settled
// ones included: a settled picture keeping a numbered name costs a look-up of
// its plain name, which on FAT reads the whole directory, so a big card folder
// must not keep a request to let go of it waiting (the window procedure waits
// LetGoWaitMs for it).
constexpr size_t PicturesBetweenLooks = 256;

// What a scan works with besides the picture at hand.
struct ScanState {
    const std::wstring& folder;
    const FolderListing& listing;
    FolderMemory& memory;
    FolderVolume volume;
    std::vector<wchar_t> newPath;
    uint32_t onlineOnlyWaiting;  // unnamed online-only pictures listed
    bool videosTravel;           // a video extension is among the companions
};

// Notes a file to try again on the busy schedule, counted from now: a scan of
// a big folder may take longer than a retry interval. True the first time the
// error is met for it while it lasts, when it is to be reported.
static bool WaitForRetry(ScanState& scan, const std::wstring& name, DWORD error = 0)
{
    NoteBusy(scan.memory.busy, name, GetTickCount64());
    return error != 0 && FirstReportOf(scan.memory.busy, name, error);
}

// Renames the picture to its target. The rename itself tests whether the plain
// name is free, since MoveFileW never replaces a file: under Wine a lookup of a
// name that does not exist reads the whole folder, and on a card import the
// plain name is nearly always free. Only when the rename is refused and the
// name is taken is the numbered name composed, as the lookup would have, and
// tried. On failure the last error and newPath are those to report.
static bool MoveToTarget(const std::wstring& folderPath, const std::wstring& oldPath,
                         std::vector<wchar_t>& newPath, const wchar_t* extension,
                         const CaptureTime& time)
{
    std::wstring from = LongPath(oldPath);
    if (MoveFileW(from.c_str(), LongPath(newPath.data()).c_str()))
        return true;
    DWORD error = GetLastError();
    if (FileExists(newPath.data())) {
        std::wstring plain = newPath.data();
        ComposeTargetName(folderPath.c_str(), oldPath.c_str(), newPath.data(), newPath.size(),
                          extension, time);
        if (!AsciiEqualNoCase(oldPath.c_str(), newPath.data()))
            return MoveFileW(from.c_str(), LongPath(newPath.data()).c_str()) != FALSE;
        // A picture named by its stamp keeps its name while the plain one is
        // taken; the refusal stands.
        StringCchCopyW(newPath.data(), newPath.size(), plain.c_str());
    }
    SetLastError(error);
    return false;
}

static PictureOutcome OutcomeOf(CaptureTimeRead read)
{
    switch (read) {
    case CaptureTimeRead::NoDate:
        return PictureOutcome::NoDate;
    case CaptureTimeRead::DateUnreadable:
        return PictureOutcome::DateUnreadable;
    case CaptureTimeRead::DateNotADate:
        return PictureOutcome::DateNotADate;
    default:
        return PictureOutcome::FileTimeUnread;
    }
}

// A name that is the stamp itself, or begins with it and waits for it.
static PictureOutcome NamedOutcome(const std::wstring& name, const CaptureTime& time)
{
    size_t dot = name.rfind(L'.');
    return AsciiEqualNoCase(name.substr(0, dot).c_str(), StampOf(time).c_str())
               ? PictureOutcome::BearsItsName
               : PictureOutcome::KeepsNumberedName;
}

static void Settle(ScanState& scan, const std::wstring& name, const ListedFile& picture,
                   PictureOutcome outcome, bool fromFileTime = false)
{
    SettlePicture(scan.memory.settled, name, picture, outcome, fromFileTime);
}

// Moves a listed raw file, by the name it is listed under, to its picture's new
// base name. Busy or refused, it waits on the busy schedule (a refusal is
// reported once while it lasts); false then, and when it is gone.
static CompanionMove MoveListedCompanion(ScanState& scan, const ListedFile& raw,
                                         const std::wstring& reportedOldPath,
                                         const std::wstring& newPath)
{
    CompanionMove move = MoveCompanion(scan.folder + raw.name, reportedOldPath, newPath);
    if (move == CompanionMove::Moved)
        JournalRename(scan.memory.journal, scan.folder, raw, newPath, JournalFlagCompanion);
    if (move == CompanionMove::Busy) {
        WaitForRetry(scan, raw.name);
    } else if (move == CompanionMove::Refused) {
        DWORD error = GetLastError();
        if (WaitForRetry(scan, raw.name, error))
            ReportCompanionRefused(error, reportedOldPath, newPath);
    }
    return move;
}

// Whether a raw file was taken at another moment than its picture: only
// when the list is the setting's, the picture's time its own, and the raw
// file's first bytes tell its time. Then it is left where it is, with one
// line; a raw file whose time cannot be read travels by its name. The raw
// file's time is its DateTimeOriginal; the picture's name may come from its
// DateTime, which an editor rewrites on saving, so a raw file differing from
// the name is compared with the picture's own DateTimeOriginal too (read
// from pictureFile, empty when it is not listed).
static bool IsAnotherShot(const ScanState& scan, const ListedFile& raw,
                          const RememberedRename& picture, const std::wstring& pictureFile,
                          const std::wstring& reportedPicture)
{
    if (!scan.listing.companions->fromSetting || picture.fromFileTime ||
        IsOnlineOnly(raw.attributes) || IsNeverTiffBased(raw.name.substr(raw.extension + 1)))
        return false;
    CaptureTime rawTime = {};
    CaptureTime shotTime = {};
    std::wstring rawPath = scan.folder + raw.name;
    if (!ReadRawCaptureTime(rawPath.c_str(), &rawTime) || SameShot(rawTime, picture.time) ||
        (!pictureFile.empty() && ReadPictureShotTime(pictureFile.c_str(), &shotTime) &&
         SameShot(rawTime, shotTime)))
        return false;
    LogEventFormat(AnotherShot, rawPath.c_str(), reportedPicture.c_str());
    return true;
}

// Whether the rename can be forgotten: its own raw file followed (or failed
// to). With sidecars listed it is kept until the memory's bound, since a
// sidecar in the other naming form (DSC_0001.NEF.xmp beside DSC_0001.xmp)
// may land after everything else followed.
static bool NothingMoreFollows(const ScanState& scan, const RememberedRename& rename)
{
    return rename.rawFollowed && !scan.listing.companions->sidecars;
}

// The raw extension a sidecar's whole name bears (ARW of DSC_0001.ARW.xmp),
// empty for one named after the base name alone.
static std::wstring SidecarRawExtension(const std::wstring& name, size_t baseLength)
{
    size_t last = name.rfind(L'.');
    if (last == std::wstring::npos || last <= baseLength + 1 || IsClipMetadataName(name, last))
        return {};
    return name.substr(baseLength + 1, last - baseLength - 1);
}

// The picture's raw files and sidecars follow it, or wait and follow later.
static void MoveCompanionsAlong(ScanState& scan, const ListedFile& picture,
                                const std::vector<CompanionFile>& companions,
                                const std::wstring& newPath, const CaptureTime& time,
                                bool fromFileTime)
{
    std::wstring oldBase = picture.name.substr(0, picture.extension);
    std::wstring newName = newPath.substr(newPath.rfind(L'\\') + 1);
    RememberedRename rename;
    rename.newBase = newName.substr(0, newName.rfind(L'.'));
    rename.time = time;
    rename.fromFileTime = fromFileTime;
    std::wstring newBasePath = scan.folder + rename.newBase;
    bool waiting = false;
    for (const CompanionFile& companion : companions) {
        // A sidecar of another shot's raw file stays with it.
        if (companion.ofRaw &&
            IsOtherShot(rename, companion.ofRaw->name.substr(companion.ofRaw->extension + 1)))
            continue;
        if (!companion.sidecar && IsAnotherShot(scan, *companion.file, rename, newPath, newPath)) {
            AddOtherShot(rename, companion.reportedOldName.substr(oldBase.size() + 1));
            continue;
        }
        switch (MoveListedCompanion(scan, *companion.file, scan.folder + companion.reportedOldName,
                                    newBasePath + companion.newSuffix)) {
        case CompanionMove::Busy:
        case CompanionMove::Refused:
        case CompanionMove::Gone:
            // Taken by another program since it was looked at, refused for now,
            // or gone since the listing (it may land again): it follows later.
            waiting = true;
            break;
        case CompanionMove::Moved:
        case CompanionMove::Failed:
            rename.rawFollowed = rename.rawFollowed || !companion.sidecar;
            break;
        }
    }
    if (waiting || !NothingMoreFollows(scan, rename))
        RememberRename(scan.memory.renames, oldBase, rename);
}

// A cloud provider's online-only picture is left where it is, unread: reading
// it would download it. One line tells of it, unless its name already is a
// stamp (an archive that was named before it went online-only).
static void LeaveOnlineOnly(ScanState& scan, const ListedFile& picture, const std::wstring& path)
{
    Settle(scan, picture.name, picture, PictureOutcome::OnlineOnly);
    if (!HasStampName(picture.name))
        LogEventFormat(LeftOnline, path.c_str());
}

// A video whose movie box is not written yet: waited for on the busy
// schedule, given up with one line once it stays cut and unchanged.
static void WaitForCutVideo(ScanState& scan, const ListedFile& video, const std::wstring& path)
{
    if (NoteIncomplete(scan.memory.incomplete, video.name, video.size, video.lastWrite,
                       GetTickCount64())) {
        LogEventFormat(LeftCut, path.c_str());
        Settle(scan, video.name, video, PictureOutcome::Incomplete);
        return;
    }
    WaitForRetry(scan, video.name);
}

static void ScanPicture(ScanState& scan, const ListedFile& picture)
{
    std::wstring oldPath = scan.folder + picture.name;
    const wchar_t* extension = picture.name.c_str() + picture.extension;
    unsigned failedTests = FailedExistenceTests();
    if (IsOnlineOnly(picture.attributes)) {
        LeaveOnlineOnly(scan, picture, oldPath);
        return;
    }

    CaptureTime time = {};
    unsigned long readError = 0;
    bool fromFileTime = false;
    CaptureTimeRead read = CaptureTimeRead::Found;
    if (const KnownCaptureTime* known = KeptCaptureTime(scan.memory.busy, picture.name,
                                                        picture.size, picture.lastWrite,
                                                        picture.changeTime)) {
        // Its rename was refused, the picture unchanged since: only the
        // rename is tried again.
        time = known->time;
        fromFileTime = known->fromFileTime;
    } else {
        read = FindCaptureTime(oldPath.c_str(), picture.lastWrite, scan.volume, &time, &readError,
                               &fromFileTime);
    }
    if (read == CaptureTimeRead::Busy) {
        // Still being written (or held): waited for, neither read nor named.
        WaitForRetry(scan, picture.name);
        return;
    }
    if (read == CaptureTimeRead::Incomplete) {
        WaitForCutVideo(scan, picture, oldPath);
        return;
    }
    if (read == CaptureTimeRead::ReadFailed) {
        // A bad sector, a dropped network share: tried again, reported once.
        if (WaitForRetry(scan, picture.name, readError))
            LogEventFormat(CannotRead, static_cast<int>(readError), oldPath.c_str());
        return;
    }
    if (read != CaptureTimeRead::Found) {
        Settle(scan, picture.name, picture, OutcomeOf(read));
        return;
    }

    std::vector<wchar_t>& newPath = scan.newPath;
    ComposeTargetName(scan.folder.c_str(), oldPath.c_str(), newPath.data(), newPath.size(),
                      extension, time, false);
    if (AsciiEqualNoCase(oldPath.c_str(), newPath.data())) {
        Settle(scan, picture.name, picture,
               FailedExistenceTests() != failedTests ? PictureOutcome::TargetUntested
                                                     : NamedOutcome(picture.name, time),
               fromFileTime);
        return;
    }

    // A picture and its raw file move together: while another program holds
    // the raw file, the picture waits too.
    // An online-only raw file is not opened to ask: the move will tell.
    const KnownCaptureTime known = {
        true, time, fromFileTime, picture.size, picture.lastWrite, picture.changeTime};
    std::vector<CompanionFile> companions = ListedCompanions(scan.listing, picture);
    for (const CompanionFile& companion : companions) {
        if (!IsOnlineOnly(companion.file->attributes) &&
            IsHeldOpen(scan.folder + companion.file->name)) {
            WaitForRetry(scan, picture.name);
            KeepCaptureTime(scan.memory.busy, picture.name, known);
            return;
        }
    }

    if (!MoveToTarget(scan.folder, oldPath, newPath, extension, time)) {
        DWORD error = GetLastError();
        if (IsInUseError(error) || IsPassingRefusal(error)) {
            // Held, or refused for now (Controlled folder access, an
            // antivirus, a cloud provider, a write-protected card): retried
            // on the busy schedule, reported once while it lasts.
            bool firstReport = WaitForRetry(scan, picture.name, error);
            KeepCaptureTime(scan.memory.busy, picture.name, known);
            if (!firstReport)
                return;
        } else if (FailedExistenceTests() != failedTests) {
            Settle(scan, picture.name, picture, PictureOutcome::TargetUntested);
        }
        LogEventFormat(RenameFailed, static_cast<int>(error), picture.name.c_str(), newPath.data());
        return;
    }

    const wchar_t* newName = wcsrchr(newPath.data(), L'\\') + 1;
    LogEventFormat(Renamed, oldPath.c_str(), newName);
    ++Statistics.PicturesRenamed;
    JournalRename(scan.memory.journal, scan.folder, picture, newName, 0);
    // Listed again by the next scan under its new name, with the change time
    // the rename gave it.
    SettleRenamedPicture(scan.memory.settled, newName, picture, NamedOutcome(newName, time),
                         fromFileTime);
    MoveCompanionsAlong(scan, picture, companions, newPath.data(), time, fromFileTime);
}

// A video that travels with pictures (a Live Photo's MOV with MOV listed)
// landing after its picture was renamed follows that picture as a raw file
// would, rather than being named after its own time.
static bool FollowsRenamedPicture(ScanState& scan, const ListedFile& picture)
{
    return scan.videosTravel && !scan.memory.renames.byOldBase.empty() && IsListedVideo(picture) &&
           RawExtensionOf(scan.listing, picture) &&
           FindRename(scan.memory.renames, picture.name.substr(0, picture.extension));
}

// The picture rename a companion that landed late belongs to: a raw file's
// by its base name; a sidecar's by its base name, or by the base name of the
// whole name it bears (DSC_0001.NEF.xmp).
struct LateCompanion {
    std::wstring oldBase;
    RememberedRename* rename;
    const std::wstring* rawExtension;  // as written in the list; null for a sidecar
};

static bool FindLateCompanion(ScanState& scan, const ListedFile& file, LateCompanion* late)
{
    late->oldBase = IsClipMetadataName(file.name, file.extension)
                        ? ClipBaseOf(file.name)
                        : file.name.substr(0, file.extension);
    late->rawExtension = RawExtensionOf(scan.listing, file);
    late->rename = FindRename(scan.memory.renames, late->oldBase);
    if (!late->rename && !late->rawExtension) {
        size_t dot = late->oldBase.rfind(L'.');
        if (dot == std::wstring::npos)
            return false;
        late->oldBase.resize(dot);
        late->rename = FindRename(scan.memory.renames, late->oldBase);
    }
    return late->rename != nullptr;
}

// Raw files and sidecars that landed after their pictures were renamed follow
// them. One listed beside a picture of its base name belongs to that picture.
static void FollowLateCompanions(ScanState& scan, const HANDLE* endEvents, DWORD endEventCount)
{
    if (scan.memory.renames.byOldBase.empty() || scan.listing.raws.empty())
        return;
    // The listed pictures by their base names, made only once a raw file
    // needs them.
    std::unordered_map<std::wstring, const ListedFile*> pictureBases;
    bool basesMade = false;

    for (const ListedFile& file : scan.listing.raws) {
        LateCompanion late;
        if (!FindLateCompanion(scan, file, &late))
            continue;
        RememberedRename& rename = *late.rename;
        bool sidecar = late.rawExtension == nullptr;
        if (sidecar ? IsOtherShot(rename, SidecarRawExtension(file.name, late.oldBase.size()))
                    : rename.rawFollowed || IsOtherShot(rename, *late.rawExtension))
            continue;
        if (!basesMade) {
            for (const ListedFile& picture : scan.listing.pictures) {
                if (!FollowsRenamedPicture(scan, picture))
                    pictureBases.emplace(FoldedName(picture.name.substr(0, picture.extension)),
                                         &picture);
            }
            basesMade = true;
        }
        if (pictureBases.count(FoldedName(late.oldBase)))
            continue;
        // Each move may cost a read of the whole directory (FAT, Wine).
        if (ScanCalledOff(endEvents, endEventCount))
            return;
        std::wstring newBasePath = scan.folder + rename.newBase;
        auto renamed = pictureBases.find(FoldedName(rename.newBase));
        std::wstring pictureFile =
            renamed == pictureBases.end() ? std::wstring() : scan.folder + renamed->second->name;
        if (!sidecar && IsAnotherShot(scan, file, rename, pictureFile, newBasePath)) {
            AddOtherShot(rename, *late.rawExtension);
            continue;
        }
        std::wstring reportedOld = sidecar ? file.name : late.oldBase + L"." + *late.rawExtension;
        std::wstring newSuffix = sidecar ? file.name.substr(late.oldBase.size())
                                         : L"." + *late.rawExtension;
        CompanionMove move =
            MoveListedCompanion(scan, file, scan.folder + reportedOld, newBasePath + newSuffix);
        // Gone since the listing, it may land again (a copier replacing it).
        if (move == CompanionMove::Busy || move == CompanionMove::Refused ||
            move == CompanionMove::Gone || sidecar)
            continue;
        rename.rawFollowed = true;
        scan.memory.renames.keptChanged = true;
        if (NothingMoreFollows(scan, rename))
            ForgetRename(scan.memory.renames, late.oldBase);
    }
}

// What the file-time fallback needs to know of the folder's volume, as the
// listing found it.
static FolderVolume VolumeOfListing(const std::wstring& folder, const FolderListing& listing)
{
    FolderVolume volume = {folder};
    if (!listing.fileSystem.empty())
        volume.keepsLocalTimes = KeepsLocalFileTimes(listing.fileSystem.c_str()) ? 1 : 0;
    return volume;
}

void ScanFolder(const wchar_t* folderPath, uint32_t length)
{
    FolderMemory memory;
    ScanFolder(folderPath, length, memory);
}

void ScanFolder(const wchar_t* folderPath, uint32_t length, FolderMemory& memory)
{
    ScanFolder(folderPath, length, memory, nullptr, 0);
}

void ScanFolder(const wchar_t* folderPath, uint32_t length, FolderMemory& memory,
                const HANDLE* endEvents, DWORD endEventCount)
{
    std::wstring folder(folderPath, length);
    FolderListing listing;
    switch (ListFolder(folder, &listing, &memory.listingMethod, endEvents, endEventCount)) {
    case ListingResult::Listed:
        SetApartTravellingVideos(&listing);
        break;
    case ListingResult::NotListed:
        // A folder that cannot be listed has nothing to retry: its monitor
        // waits for the next change.
        BeginBusyScan(memory.busy);
        EndBusyScan(memory.busy);
        return;
    case ListingResult::CalledOff:
        return;
    }
    KeptPicturesFile& kept = memory.keptFile;
    if (kept.kept && !kept.loaded)
        LoadKeptPictures(memory, folder, listing.volumeSerial,
                         listing.fileSystem.empty() ? FileSystemOf(folder) : listing.fileSystem);
    kept.volumeSerial = listing.volumeSerial;
    // A big kept file takes a while to load.
    if (ScanCalledOff(endEvents, endEventCount))
        return;
    ScanListing(folder, listing, memory, endEvents, endEventCount);
    SaveKeptPictures(memory, true);
}

void ScanListing(const std::wstring& folder, const FolderListing& listing, FolderMemory& memory,
                 const HANDLE* endEvents, DWORD endEventCount)
{
    BeginBusyScan(memory.busy);
    BeginIncompleteScan(memory.incomplete);
    BeginSettledScan(memory.settled);

    ScanState scan = {folder,
                      listing,
                      memory,
                      VolumeOfListing(folder, listing),
                      std::vector<wchar_t>(folder.size() + TargetPathRoom),
                      0,
                      VideosTravel(*listing.companions)};
    bool calledOff = false;
    size_t worked = 0;
    for (const ListedFile& picture : listing.pictures) {
        // Not a picture of its own: it follows the one renamed before it.
        if (FollowsRenamedPicture(scan, picture))
            continue;
        // Asked before every picture that is read, and every so many settled
        // ones.
        if (++worked % PicturesBetweenLooks == 0 && ScanCalledOff(endEvents, endEventCount)) {
            calledOff = true;
            break;
        }
        bool settled = IsSettled(memory.settled, picture, folder);
        calledOff = !settled && ScanCalledOff(endEvents, endEventCount);
        if (calledOff)
            break;
        ++Statistics.PicturesProcessed;
        if (IsOnlineOnly(picture.attributes) && !HasStampName(picture.name))
            ++scan.onlineOnlyWaiting;
        if (!settled)
            ScanPicture(scan, picture);
    }
    if (!calledOff) {
        FollowLateCompanions(scan, endEvents, endEventCount);
        // Pictures a scan called off did not reach stay remembered as they were.
        EndSettledScan(memory.settled);
        EndIncompleteScan(memory.incomplete);
        NoteOnlineOnlyPictures(memory.onlineOnly, scan.onlineOnlyWaiting, GetTickCount64());
    }
    EndBusyScan(memory.busy);
    CloseJournal(memory.journal);
}
