#include "rename/settled_store.h"

#include <algorithm>
#include <vector>

#include "capture/modified_time.h"
#include "events/event_history.h"
#include "events/log_file.h"
#include "rename/folder_listing.h"
#include "rename/folder_memory.h"
#include "rename/settled_file.h"
#include "rename/utf8_text.h"
#include "rename/whole_file.h"

static const wchar_t CannotLoad[] =
    L"Remembered pictures of %s not loaded: %s is damaged, the folder is read anew";
static const wchar_t CannotSave[] = L"Cannot save the remembered pictures of %s to %s, Error %d";

// Writes are made one at a time: two monitors of one folder (listed twice)
// would otherwise race to replace the same file.
static SRWLOCK KeptFileWrites = SRWLOCK_INIT;

std::wstring FolderFileName(const std::wstring& folderPath)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (wchar_t unit : FoldedName(folderPath)) {
        hash ^= static_cast<uint16_t>(unit);
        hash *= 0x100000001b3ull;
    }
    // Sixteen lower-case hex digits, as files of earlier versions are named.
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring name(16, L'0');
    for (size_t at = name.size(); at-- > 0; hash >>= 4)
        name[at] = digits[hash & 0xf];
    return name;
}

std::wstring KeptPicturesPath(const std::wstring& folderPath)
{
    std::wstring program = ProgramDataFolder();
    if (program.empty())
        return std::wstring();
    return program + L"\\Settled\\" + FolderFileName(folderPath) + L".settled";
}

// Capture time fields packed into one number, as the kept file holds them.
static uint64_t PackedTime(const CaptureTime& time)
{
    return uint64_t{time.Year} << 40 | uint64_t{time.Month} << 32 | uint64_t{time.Day} << 24 |
           uint64_t{time.Hour} << 16 | uint64_t{time.Minute} << 8 | time.Second;
}

static CaptureTime UnpackedTime(uint64_t packed)
{
    return {static_cast<uint16_t>(packed >> 40),
            static_cast<uint16_t>((packed >> 32) & 0xff),
            static_cast<uint16_t>((packed >> 24) & 0xff),
            static_cast<uint16_t>((packed >> 16) & 0xff),
            static_cast<uint16_t>((packed >> 8) & 0xff),
            static_cast<uint16_t>(packed & 0xff)};
}

// "<old base>/<new base>": a rename whose raw file had not followed when the
// file was written.
static void LoadKeptRename(RenameMemory& renames, const std::wstring& names,
                           const SettledFileEntry& entry)
{
    size_t slash = names.find(L'/');
    if (slash == 0 || slash == std::wstring::npos || slash + 1 == names.size() ||
        renames.byOldBase.size() >= MaxKeptRenames)
        return;
    RememberedRename rename;
    rename.newBase = names.substr(slash + 1);
    rename.time = UnpackedTime(entry.size);
    rename.fromFileTime = (entry.flags & SettledFlagFileTime) != 0;
    rename.rawFollowed = (entry.changeTime & RenameFollowedRaw) != 0;
    bool changed = renames.keptChanged;
    RememberRename(renames, names.substr(0, slash), rename);
    renames.keptChanged = changed;
}

// The newest MaxKeptRenames renames, as entries of the kept file.
static void AddKeptRenames(const RenameMemory& renames, std::vector<SettledFileEntry>& entries)
{
    std::vector<std::pair<uint64_t, const std::wstring*>> newest;
    for (const auto& [oldBase, rename] : renames.byOldBase)
        newest.emplace_back(rename.order, &oldBase);
    if (newest.size() > MaxKeptRenames) {
        std::nth_element(newest.begin(), newest.begin() + MaxKeptRenames, newest.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        newest.resize(MaxKeptRenames);
    }
    std::sort(newest.begin(), newest.end());  // oldest first, as they are made again
    for (const auto& [order, oldBase] : newest) {
        const RememberedRename& rename = renames.byOldBase.at(*oldBase);
        uint8_t flags = SettledFlagRename | (rename.fromFileTime ? SettledFlagFileTime : 0);
        uint64_t followed = rename.rawFollowed ? RenameFollowedRaw : 0;
        entries.push_back({Utf8(*oldBase + L"/" + rename.newBase), flags, PackedTime(rename.time),
                           order, followed});
    }
}

void LoadKeptPictures(FolderMemory& memory, const std::wstring& folderPath, uint32_t volumeSerial)
{
    LoadKeptPictures(memory, folderPath, volumeSerial, FileSystemOf(folderPath));
}

void LoadKeptPictures(FolderMemory& memory, const std::wstring& folderPath, uint32_t volumeSerial,
                      const std::wstring& fileSystem)
{
    KeptPicturesFile& file = memory.keptFile;
    file.loaded = true;
    file.path = KeptPicturesPath(folderPath);
    file.folderPath = folderPath;
    file.folderKey = Utf8(FoldedName(folderPath));
    file.volumeSerial = volumeSerial;
    file.fileSystem = fileSystem;
    if (file.path.empty())
        return;

    std::vector<uint8_t> bytes;
    DWORD error = ERROR_SUCCESS;
    if (!ReadWholeFile(file.path, MaxKeptPicturesFileBytes, &bytes, &error)) {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return;
        LogEventFormat(CannotLoad, folderPath.c_str(), file.path.c_str());
        memory.settled.keptChanged = true;
        return;
    }
    std::vector<SettledFileEntry> entries;
    SettledFileRead read =
        ParseSettledFile(bytes.data(), bytes.size(), {volumeSerial, file.folderKey}, &entries);
    if (read != SettledFileRead::Loaded) {
        // Another volume in the same drive (a card swapped) is no damage:
        // its pictures are simply read.
        if (read != SettledFileRead::Foreign)
            LogEventFormat(CannotLoad, folderPath.c_str(), file.path.c_str());
        memory.settled.keptChanged = true;
        return;
    }
    for (const SettledFileEntry& entry : entries) {
        std::wstring name;
        bool leftAsIs = (entry.flags & SettledFlagRename) != 0 &&
                        entry.name.find('/') == std::string::npos;
        if ((entry.flags & SettledFlagRename) != 0 && !leftAsIs) {
            if (Wide(entry.name, &name))
                LoadKeptRename(memory.renames, name, entry);
            continue;
        }
        if (!ChangeTimeTellsRewrites(fileSystem.c_str(), entry.changeTime)) {
            memory.settled.keptChanged = true;  // written again without it
            continue;
        }
        if (!Wide(entry.name, &name) || memory.settled.byName.size() >= MaxSettledPictures)
            continue;
        PictureOutcome outcome = leftAsIs ? PictureOutcome::LeftAsIs
                                 : (entry.flags & SettledFlagNumbered) != 0
                                     ? PictureOutcome::KeepsNumberedName
                                     : PictureOutcome::BearsItsName;
        // The creation time is not kept: the change time moves whenever
        // another file takes the name, so it is taken from the next listing.
        memory.settled.byName[name] = {entry.size,
                                       entry.lastWrite,
                                       entry.changeTime,
                                       0,
                                       outcome,
                                       (entry.flags & SettledFlagFileTime) != 0,
                                       false,
                                       memory.settled.scan};
    }
}

// New files of the kept file ("<file>.<thread id>.new") that a crash or a
// power loss left: no write of this process is under way (the caller holds the
// lock), and removing them first makes room for the new one.
static void RemoveLeftOverNewFiles(const std::wstring& path)
{
    std::wstring folder = path.substr(0, path.rfind(L'\\') + 1);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW((path + L".*.new").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return;
    std::wstring prefix = path.substr(folder.size()) + L".";
    do {
        // The wildcard also matches short names: only the exact form is removed.
        std::wstring name = found.cFileName;
        bool threadDigits = name.size() > prefix.size() + 4 &&
                            name.compare(0, prefix.size(), prefix) == 0 &&
                            name.compare(name.size() - 4, 4, L".new") == 0;
        for (size_t at = prefix.size(); threadDigits && at < name.size() - 4; ++at)
            threadDigits = name[at] >= L'0' && name[at] <= L'9';
        if (threadDigits && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW((folder + name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void SaveKeptPictures(FolderMemory& memory, bool soon)
{
    KeptPicturesFile& file = memory.keptFile;
    if (!file.kept || !file.loaded || file.path.empty() ||
        !(memory.settled.keptChanged || memory.renames.keptChanged))
        return;
    ULONGLONG now = GetTickCount64();
    if (soon && file.savedAt != 0 && now - file.savedAt < KeptPicturesSaveIntervalMs)
        return;

    std::vector<SettledFileEntry> entries;
    for (const auto& [name, picture] : memory.settled.byName) {
        if (!IsKeptOutcome(picture.outcome) || picture.changeTimeFromListing ||
            !ChangeTimeTellsRewrites(file.fileSystem.c_str(), picture.changeTime))
            continue;
        uint8_t flags = picture.outcome == PictureOutcome::KeepsNumberedName ? SettledFlagNumbered
                                                                             : 0;
        if (picture.fromFileTime)
            flags |= SettledFlagFileTime;
        if (picture.outcome == PictureOutcome::LeftAsIs)
            flags = SettledFlagRename;
        entries.push_back({Utf8(name), flags, picture.size, picture.lastWrite, picture.changeTime});
    }
    AddKeptRenames(memory.renames, entries);
    std::vector<uint8_t> bytes = EncodeSettledFile({file.volumeSerial, file.folderKey}, entries);

    // Written whole under a name of this thread's, then moved over the old
    // file in one step: a crash, a logoff or a second monitor of the same
    // folder leaves the old file or the new one, never half of either.
    std::wstring folder = file.path.substr(0, file.path.rfind(L'\\'));
    CreateDirectoryW(folder.substr(0, folder.rfind(L'\\')).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring temporary = file.path + L"." + std::to_wstring(GetCurrentThreadId()) + L".new";
    DWORD error = ERROR_SUCCESS;
    AcquireSRWLockExclusive(&KeptFileWrites);
    RemoveLeftOverNewFiles(file.path);
    bool saved = WriteWholeFile(temporary, bytes, &error);
    if (saved && !MoveFileExW(temporary.c_str(), file.path.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        saved = false;
    }
    if (!saved)
        DeleteFileW(temporary.c_str());
    ReleaseSRWLockExclusive(&KeptFileWrites);
    if (!saved) {
        if (!file.failureReported) {
            LogEventFormat(CannotSave, file.folderPath.c_str(), file.path.c_str(),
                           static_cast<int>(error));
            file.failureReported = true;
        }
    }
    // Tried again at the next interval either way, not after every scan.
    file.savedAt = now;
    if (saved) {
        memory.settled.keptChanged = false;
        memory.renames.keptChanged = false;
    }
}

DWORD NextKeptPicturesSaveMs(const FolderMemory& memory, ULONGLONG now)
{
    const KeptPicturesFile& file = memory.keptFile;
    if (!file.kept || !file.loaded || file.path.empty() ||
        !(memory.settled.keptChanged || memory.renames.keptChanged))
        return INFINITE;
    ULONGLONG due = file.savedAt + KeptPicturesSaveIntervalMs;
    return due <= now ? 0 : static_cast<DWORD>(due - now);
}
