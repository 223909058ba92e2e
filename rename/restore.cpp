#include "rename/restore.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <unordered_map>

#include "capture/long_path.h"
#include "events/event_history.h"
#include "events/text_format.h"
#include "rename/folder_claims.h"
#include "rename/folder_listing.h"
#include "rename/rename_journal.h"
#include "rename/restored_pictures.h"
#include "rename/utf8_text.h"

static const wchar_t Restored[] = L"Restored %s to %s";
static const wchar_t Gone[] = L"%s is gone, not restored to %s";
static const wchar_t Changed[] = L"%s changed since it was renamed, not restored to %s";
static const wchar_t NameTaken[] = L"%s is not restored to %s: the name is taken";
static const wchar_t HeldBack[] =
    L"%s is not restored to %s: a file that travels with it cannot go back";
static const wchar_t RestoreFailed[] = L"Error %d restoring %s to %s";
static const wchar_t ScanRuns[] = L"Names in %s are not restored now: a scan of the folder runs";
static const wchar_t NothingToRestore[] = L"No renames of %s to restore";

// A picture's rename and those of the files that travelled with it, by their
// places in the journal (the picture first).
struct RenameGroup {
    std::vector<size_t> members;
    uint64_t when;
};

// The stamp a new name begins with: up to a picture's extension, or up to a
// travelling file's first dot (20230401_072926.NEF.xmp); stamps hold no dot.
static std::wstring StampOf(const std::wstring& name, bool companion)
{
    size_t dot = companion ? name.find(L'.') : name.rfind(L'.');
    return FoldedName(name.substr(0, dot));
}

static std::vector<RenameGroup> GroupRenames(const std::vector<JournalEntry>& entries,
                                             const std::vector<std::wstring>& newNames)
{
    std::vector<RenameGroup> groups;
    std::unordered_map<std::wstring, size_t> byStamp;
    for (size_t i = 0; i < entries.size(); ++i) {
        bool companion = (entries[i].flags & JournalFlagCompanion) != 0;
        std::wstring stamp = StampOf(newNames[i], companion);
        auto found = byStamp.find(stamp);
        if (companion && found != byStamp.end()) {
            groups[found->second].members.push_back(i);
            continue;
        }
        groups.push_back({{i}, entries[i].when});
        if (!companion)
            byStamp[stamp] = groups.size() - 1;
    }
    return groups;
}

static void Report(RestoreReport& report, const std::wstring& line)
{
    LogEvent(line.c_str());
    report.lines.push_back(line);
}

struct GroupFile {
    std::wstring oldName;
    std::wstring newPath;
    std::wstring oldPath;
    const JournalEntry* entry;
    const wchar_t* refusal;  // why it cannot go back; null when it can
};

static const wchar_t* RefusalOf(const GroupFile& file)
{
    WIN32_FILE_ATTRIBUTE_DATA now = {};
    if (!GetFileAttributesExW(LongPath(file.newPath).c_str(), GetFileExInfoStandard, &now))
        return Gone;
    uint64_t size = uint64_t{now.nFileSizeHigh} << 32 | now.nFileSizeLow;
    uint64_t lastWrite = uint64_t{now.ftLastWriteTime.dwHighDateTime} << 32 |
                         now.ftLastWriteTime.dwLowDateTime;
    if (size != file.entry->size || lastWrite != file.entry->lastWrite)
        return Changed;
    if (GetFileAttributesW(LongPath(file.oldPath).c_str()) != INVALID_FILE_ATTRIBUTES)
        return NameTaken;
    return nullptr;
}

// Moves every file of the group back, or none: a move that fails takes the
// ones made before it back.
static bool RestoreGroup(RestoreReport& report, std::vector<GroupFile>& files)
{
    bool refused = false;
    for (GroupFile& file : files) {
        file.refusal = RefusalOf(file);
        refused = refused || file.refusal;
    }
    if (!refused) {
        for (size_t moved = 0; moved < files.size(); ++moved) {
            if (MoveFileW(LongPath(files[moved].newPath).c_str(),
                          LongPath(files[moved].oldPath).c_str()))
                continue;
            DWORD error = GetLastError();
            Report(report, FormatText(RestoreFailed, static_cast<int>(error),
                                      files[moved].newPath.c_str(), files[moved].oldName.c_str()));
            while (moved-- > 0)
                MoveFileW(LongPath(files[moved].oldPath).c_str(),
                          LongPath(files[moved].newPath).c_str());
            refused = true;
            break;
        }
    }
    for (const GroupFile& file : files) {
        const wchar_t* line = !refused ? Restored : file.refusal ? file.refusal : HeldBack;
        Report(report, FormatText(line, file.newPath.c_str(), file.oldName.c_str()));
        ++(refused ? report.left : report.restored);
    }
    return !refused;
}

// The restored pictures as the folder lists them now, for the monitor.
static void SettleRestored(const std::wstring& folderPath, const std::vector<std::wstring>& names)
{
    if (names.empty())
        return;
    FolderListing listing;
    if (!ListFolder(folderPath, &listing))
        return;
    std::unordered_map<std::wstring, const ListedFile*> listed;
    for (const ListedFile& picture : listing.pictures)
        listed[FoldedName(picture.name)] = &picture;
    std::vector<ListedFile> pictures;
    for (const std::wstring& name : names) {
        auto found = listed.find(FoldedName(name));
        if (found != listed.end())
            pictures.push_back(*found->second);
    }
    SettleRestoredPictures(folderPath, pictures);
}

static RestoreReport RestoreClaimedFolder(const std::wstring& folderPath, uint64_t since)
{
    RestoreReport report;
    std::vector<JournalEntry> entries;
    LoadJournal(folderPath, &entries);
    std::vector<std::wstring> oldNames(entries.size()), newNames(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        Wide(entries[i].oldName, &oldNames[i]);
        Wide(entries[i].newName, &newNames[i]);
    }
    std::vector<RenameGroup> groups = GroupRenames(entries, newNames);
    std::vector<bool> restored(entries.size(), false);
    std::vector<std::wstring> restoredPictures;
    bool chosen = false;
    for (auto group = groups.rbegin(); group != groups.rend(); ++group) {
        if (group->when < since)
            continue;
        chosen = true;
        std::vector<GroupFile> files;
        for (size_t i : group->members)
            files.push_back({oldNames[i], folderPath + newNames[i], folderPath + oldNames[i],
                             &entries[i], nullptr});
        if (!RestoreGroup(report, files))
            continue;
        for (size_t i : group->members)
            restored[i] = true;
        if ((entries[group->members.front()].flags & JournalFlagCompanion) == 0)
            restoredPictures.push_back(oldNames[group->members.front()]);
    }
    if (!chosen) {
        Report(report, FormatText(NothingToRestore, folderPath.c_str()));
        report.result = entries.empty() ? RestoreResult::NotRun : RestoreResult::AllRestored;
        return report;
    }
    if (report.restored != 0) {
        std::vector<JournalEntry> kept;
        for (size_t i = 0; i < entries.size(); ++i)
            if (!restored[i])
                kept.push_back(entries[i]);
        RewriteJournal(folderPath, kept);
    }
    SettleRestored(folderPath, restoredPictures);
    report.result = report.left == 0 ? RestoreResult::AllRestored : RestoreResult::SomeLeft;
    return report;
}

RestoreReport RestoreFolder(const std::wstring& folderPath, uint64_t since)
{
    if (!BeginFolderRestore(folderPath)) {
        RestoreReport report;
        Report(report, FormatText(ScanRuns, folderPath.c_str()));
        report.result = RestoreResult::NotRun;
        return report;
    }
    RestoreReport report = RestoreClaimedFolder(folderPath, since);
    EndFolderRestore(folderPath);
    return report;
}

bool ParseRestoreSince(const std::wstring& text, uint64_t* since)
{
    SYSTEMTIME local = {};
    wchar_t end = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (text.size() != 16 || swscanf(text.c_str(), L"%4d-%2d-%2d %2d:%2d%lc", &year, &month, &day,
                                     &hour, &minute, &end) != 5)
        return false;
    local.wYear = static_cast<WORD>(year);
    local.wMonth = static_cast<WORD>(month);
    local.wDay = static_cast<WORD>(day);
    local.wHour = static_cast<WORD>(hour);
    local.wMinute = static_cast<WORD>(minute);
    SYSTEMTIME utc = {};
    FILETIME time = {};
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        !TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
        !SystemTimeToFileTime(&utc, &time))
        return false;
    *since = uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
    return true;
}
