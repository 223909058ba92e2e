#include "rename/folder_scan.h"

#include <windows.h>
#include <strsafe.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "events/event_history.h"
#include "rename/ascii_text.h"
#include "rename/capture_time.h"
#include "rename/companion.h"
#include "rename/folder_listing.h"
#include "rename/folder_memory.h"
#include "rename/in_use.h"
#include "rename/target_name.h"
#include "settings/statistics.h"

static const wchar_t Renamed[] = L"Renamed %s to %s";
static const wchar_t RenameFailed[] = L"Error %d renaming %s to %s";

// Room for any file name (at most 259 characters) twice over in a target path.
constexpr size_t TargetPathRoom = 520;

// What a scan works with besides the picture at hand.
struct ScanState {
    const std::wstring& folder;
    const FolderListing& listing;
    FolderMemory& memory;
    ULONGLONG now;
    std::vector<wchar_t> newPath;
};

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
    if (MoveFileW(oldPath.c_str(), newPath.data()))
        return true;
    DWORD error = GetLastError();
    if (FileExists(newPath.data())) {
        std::wstring plain = newPath.data();
        ComposeTargetName(folderPath.c_str(), oldPath.c_str(), newPath.data(), newPath.size(),
                          extension, time);
        if (!AsciiEqualNoCase(oldPath.c_str(), newPath.data()))
            return MoveFileW(oldPath.c_str(), newPath.data()) != FALSE;
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
    case CaptureTimeRead::NoDate: return PictureOutcome::NoDate;
    case CaptureTimeRead::DateUnreadable: return PictureOutcome::DateUnreadable;
    case CaptureTimeRead::DateNotADate: return PictureOutcome::DateNotADate;
    default: return PictureOutcome::FileTimeUnread;
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
                   PictureOutcome outcome)
{
    SettlePicture(scan.memory.settled, name, picture.size, picture.lastWrite, outcome);
}

// The picture's raw file follows it, or waits and follows later.
static void MoveCompanionAlong(ScanState& scan, const ListedFile& picture,
                               const ListedFile* companion, const std::wstring& oldPath,
                               const std::wstring& newPath)
{
    std::wstring oldBase = picture.name.substr(0, picture.extension);
    std::wstring newName = newPath.substr(newPath.rfind(L'\\') + 1);
    std::wstring newBase = newName.substr(0, newName.rfind(L'.'));
    if (!companion) {
        RememberRename(scan.memory.renames, oldBase, newBase);
        return;
    }
    switch (MoveCompanion(CompanionPath(oldPath), CompanionPath(newPath))) {
    case CompanionMove::Busy:
        // Taken by another program since it was looked at: it follows later.
        RememberRename(scan.memory.renames, oldBase, newBase);
        NoteBusy(scan.memory.busy, companion->name, scan.now);
        break;
    case CompanionMove::Gone:
        RememberRename(scan.memory.renames, oldBase, newBase);
        break;
    case CompanionMove::Moved:
    case CompanionMove::Failed:
        break;
    }
}

static void ScanPicture(ScanState& scan, const ListedFile& picture)
{
    std::wstring oldPath = scan.folder + picture.name;
    const wchar_t* extension = picture.name.c_str() + picture.extension;
    unsigned failedTests = FailedExistenceTests();

    CaptureTime time = {};
    CaptureTimeRead read = FindCaptureTime(oldPath.c_str(), &time);
    if (read == CaptureTimeRead::Busy) {
        // Still being written (or held): waited for, neither read nor named.
        NoteBusy(scan.memory.busy, picture.name, scan.now);
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
                                                     : NamedOutcome(picture.name, time));
        return;
    }

    // A picture and its raw file move together: while another program holds
    // the raw file, the picture waits too.
    const ListedFile* companion = ListedCompanion(scan.listing, picture);
    if (companion && IsHeldOpen(scan.folder + companion->name)) {
        NoteBusy(scan.memory.busy, picture.name, scan.now);
        return;
    }

    if (!MoveToTarget(scan.folder, oldPath, newPath, extension, time)) {
        DWORD error = GetLastError();
        if (IsInUseError(error)) {
            // Retried on the busy schedule; reported once while it lasts.
            NoteBusy(scan.memory.busy, picture.name, scan.now);
            if (!FirstReportOf(scan.memory.busy, picture.name, error))
                return;
        } else if (FailedExistenceTests() != failedTests) {
            Settle(scan, picture.name, picture, PictureOutcome::TargetUntested);
        }
        LogEventFormat(RenameFailed, static_cast<int>(error), picture.name.c_str(),
                       newPath.data());
        return;
    }

    const wchar_t* newName = wcsrchr(newPath.data(), L'\\') + 1;
    LogEventFormat(Renamed, oldPath.c_str(), newName);
    ++Statistics.PicturesRenamed;
    // Listed again by the next scan under its new name, unchanged.
    Settle(scan, newName, picture, NamedOutcome(newName, time));
    MoveCompanionAlong(scan, picture, companion, oldPath, newPath.data());
}

// Raw files that landed after their pictures were renamed follow them. A raw
// file listed beside a picture of its base name belongs to that picture.
static void FollowLateCompanions(ScanState& scan)
{
    if (scan.memory.renames.byOldBase.empty() || scan.listing.raws.empty())
        return;
    // The listed pictures' base names, made only once a raw file needs them.
    std::unordered_set<std::wstring> pictureBases;
    bool basesMade = false;

    for (const ListedFile& raw : scan.listing.raws) {
        std::wstring oldBase = raw.name.substr(0, raw.extension);
        const std::wstring* newBase = RenamedTo(scan.memory.renames, oldBase);
        if (!newBase)
            continue;
        if (!basesMade) {
            for (const ListedFile& picture : scan.listing.pictures)
                pictureBases.insert(FoldedName(picture.name.substr(0, picture.extension)));
            basesMade = true;
        }
        if (pictureBases.count(FoldedName(oldBase)))
            continue;
        CompanionMove move = MoveCompanion(CompanionPath(scan.folder + raw.name),
                                           CompanionPath(scan.folder + *newBase + L"."));
        if (move == CompanionMove::Busy)
            NoteBusy(scan.memory.busy, raw.name, scan.now);
        else
            ForgetRename(scan.memory.renames, oldBase);
    }
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

// Whether one of the events that end a scan early is signalled.
static bool ScanCalledOff(const HANDLE* endEvents, DWORD endEventCount)
{
    return endEventCount > 0 &&
           WaitForMultipleObjects(endEventCount, endEvents, FALSE, 0) < WAIT_OBJECT_0 + endEventCount;
}

void ScanFolder(const wchar_t* folderPath, uint32_t length, FolderMemory& memory,
                const HANDLE* endEvents, DWORD endEventCount)
{
    std::wstring folder(folderPath, length);
    FolderListing listing;
    // A folder that cannot be listed has nothing to retry: its monitor waits
    // for the next change.
    BeginBusyScan(memory.busy);
    if (!ListFolder(folder, &listing)) {
        EndBusyScan(memory.busy);
        return;
    }
    BeginSettledScan(memory.settled);

    ScanState scan = {folder, listing, memory, GetTickCount64(),
                      std::vector<wchar_t>(length + TargetPathRoom)};
    bool calledOff = false;
    for (const ListedFile& picture : listing.pictures) {
        bool settled = IsSettled(memory.settled, picture, folder);
        // Asked only before a picture is read: settled ones cost nothing.
        calledOff = !settled && ScanCalledOff(endEvents, endEventCount);
        if (calledOff)
            break;
        ++Statistics.PicturesProcessed;
        if (!settled)
            ScanPicture(scan, picture);
    }
    if (!calledOff)
        FollowLateCompanions(scan);
    EndSettledScan(memory.settled);
    EndBusyScan(memory.busy);
}
