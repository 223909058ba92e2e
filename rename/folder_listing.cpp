#include "rename/folder_listing.h"

#include <pathcch.h>

#include <vector>

#include "capture/ascii_text.h"
#include "capture/heif_file.h"
#include "capture/long_path.h"
#include "capture/video_file.h"
#include "events/event_history.h"
#include "rename/video_listing.h"
#include "settings/settings.h"

static const wchar_t FolderMissing[] = L"Directory %s, does not exist";
static const wchar_t FolderNotListed[] =
    L"FindFirstFile for %s returns %d, Directory is not monitored";
static const wchar_t ListingFailedMidway[] = L"Listing %s failed part-way, Error %d";

// Entries a listing by FindNextFileW takes between two looks at the end
// events, about what one batch of a directory query holds.
constexpr size_t EntriesBetweenLooks = 512;

std::atomic<DirectoryQuery> QueryDirectory{GetFileInformationByHandleEx};
std::atomic<FindFirstCall> FindFirstEntry{FindFirstFileExW};
std::atomic<FindNextCall> FindNextEntry{FindNextFileW};

// ".jpg" and ".jpeg" and every longer extension that begins so, any ASCII
// case; with the HeifPictures option on, the HEIF extensions too, and with
// the VideoFiles option on, the videos'.
static bool IsPictureExtension(const wchar_t* extension)
{
    return AsciiEqualNoCase(extension, L".jpg", 4) || AsciiEqualNoCase(extension, L".jpeg", 5) ||
           (Settings.HeifPictures.load() != 0 && IsHeifExtension(extension)) ||
           (Settings.VideoFiles.load() != 0 && IsVideoExtension(extension));
}

static uint64_t Number(const LARGE_INTEGER& value) { return static_cast<uint64_t>(value.QuadPart); }

static uint64_t Number(const FILETIME& time)
{
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The entry (as written) of the list that the extension, dot included, names.
static const std::wstring* ListedExtension(const std::vector<std::wstring>& list,
                                           const wchar_t* extension)
{
    if (*extension != L'.')
        return nullptr;
    for (const std::wstring& listed : list) {
        if (AsciiEqualNoCase(extension + 1, listed.c_str()))
            return &listed;
    }
    return nullptr;
}

static bool IsCompanionExtension(const CompanionList& list, const wchar_t* extension)
{
    return ListedExtension(list.extensions, extension) ||
           ListedExtension(list.sidecarKinds, extension);
}

// Directories are never pictures; one named like a raw file is listed with
// the raw files, since it takes a companion's name as a file would. A video
// whose extension is a companion's is listed as both: it is renamed as a
// picture unless it travels with one (video_listing.h).
static void AddEntry(std::wstring name, ListedFile times, FolderListing* listing)
{
    const wchar_t* extension = nullptr;
    if (FAILED(PathCchFindExtension(name.c_str(), name.size() + 1, &extension)))
        return;
    size_t at = static_cast<size_t>(extension - name.c_str());
    bool picture = !(times.attributes & FILE_ATTRIBUTE_DIRECTORY) && IsPictureExtension(extension);
    bool travels = IsCompanionExtension(*listing->companions, extension) ||
                   (Settings.VideoFiles.load() != 0 && IsClipMetadataName(name, at));
    if (!picture && !travels)
        return;

    times.extension = at;
    times.name = std::move(name);
    if (!picture || (travels && IsVideoExtension(extension))) {
        listing->rawsByName.emplace(FoldedName(times.name), listing->raws.size());
        listing->raws.push_back(times);
    }
    if (picture)
        listing->pictures.push_back(std::move(times));
}

template <typename Entry>
static void AddEntryOf(const Entry& entry, FolderListing* listing)
{
    AddEntry(std::wstring(entry.FileName, entry.FileNameLength / sizeof(wchar_t)),
             {std::wstring(), 0, Number(entry.EndOfFile), Number(entry.LastWriteTime),
              Number(entry.ChangeTime), entry.FileAttributes, Number(entry.CreationTime)},
             listing);
}

template <typename Entry>
static void AddBatch(const uint8_t* at, FolderListing* listing)
{
    for (;;) {
        const auto* entry = reinterpret_cast<const Entry*>(at);
        AddEntryOf(*entry, listing);
        if (entry->NextEntryOffset == 0)
            break;
        at += entry->NextEntryOffset;
    }
}

// What one way of listing came to.
enum class WayOutcome : uint8_t {
    Listed,
    Empty,         // the first answer found nothing
    FirstFailed,   // the first query or call failed with error
    FailedMidway,  // a later one failed with error
    CalledOff,
};

struct ListingRead {
    WayOutcome outcome;
    DWORD error;  // ERROR_SUCCESS unless failed
};

// The directory's entries in batches, as the file system delivers them: one
// call fills the buffer with as many as fit, each with its times (the change
// time among them, which the find calls do not give).
template <typename Entry>
static ListingRead QueryEntries(HANDLE directory, FILE_INFO_BY_HANDLE_CLASS restartClass,
                                FILE_INFO_BY_HANDLE_CLASS nextClass, FolderListing* listing,
                                const HANDLE* endEvents, DWORD endEventCount)
{
    std::vector<uint64_t> buffer(size_t{64} * 1024 / sizeof(uint64_t));  // aligned for the records
    DirectoryQuery query = QueryDirectory.load();
    for (bool first = true;; first = false) {
        if (!query(directory, first ? restartClass : nextClass, buffer.data(),
                   static_cast<DWORD>(buffer.size() * sizeof(uint64_t)))) {
            DWORD error = GetLastError();
            // A FAT or exFAT root has no "." and "..": its first query finds
            // nothing at all when it is empty, and says "no such file".
            if (error == ERROR_NO_MORE_FILES || (first && error == ERROR_FILE_NOT_FOUND))
                return {first ? WayOutcome::Empty : WayOutcome::Listed, ERROR_SUCCESS};
            return {first ? WayOutcome::FirstFailed : WayOutcome::FailedMidway, error};
        }
        AddBatch<Entry>(reinterpret_cast<const uint8_t*>(buffer.data()), listing);
        if (ScanCalledOff(endEvents, endEventCount))
            return {WayOutcome::CalledOff, ERROR_SUCCESS};
    }
}

// The last resort, for file systems that refuse both query classes. It gives
// no change time, so nothing listed so is kept between runs. It asks with
// FindExInfoStandard, which Windows serves with FileBothDirectoryInformation,
// a class neither query asks: FindExInfoBasic is served with
// FileFullDirectoryInformation, the class just refused (Microsoft's
// FINDEX_INFO_LEVELS: Basic "does not query the short file name"; ReactOS's
// kernel32 find.c asks the two classes so).
static ListingRead FindEntries(const std::wstring& folderPath, FolderListing* listing,
                               const HANDLE* endEvents, DWORD endEventCount)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstEntry.load()(LongPath(folderPath + L"*").c_str(), FindExInfoStandard,
                                          &found, FindExSearchNameMatch, nullptr,
                                          FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        // The empty root of a volume.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES)
            return {WayOutcome::Empty, ERROR_SUCCESS};
        return {WayOutcome::FirstFailed, error};
    }
    FindNextCall findNext = FindNextEntry.load();
    ListingRead read = {WayOutcome::Listed, ERROR_SUCCESS};
    for (size_t entries = 1;; ++entries) {
        uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        AddEntry(found.cFileName,
                 {std::wstring(), 0, size, Number(found.ftLastWriteTime), 0, found.dwFileAttributes,
                  Number(found.ftCreationTime)},
                 listing);
        if (entries % EntriesBetweenLooks == 0 && ScanCalledOff(endEvents, endEventCount)) {
            read.outcome = WayOutcome::CalledOff;
            break;
        }
        if (!findNext(search, &found)) {
            DWORD error = GetLastError();
            if (error != ERROR_NO_MORE_FILES)
                read = {WayOutcome::FailedMidway, error};
            break;
        }
    }
    FindClose(search);
    return read;
}

static ListingRead ReadWay(ListingMethod method, const std::wstring& folderPath, HANDLE directory,
                           FolderListing* listing, const HANDLE* endEvents, DWORD endEventCount)
{
    switch (method) {
    case ListingMethod::IdBothDirectory:
        return QueryEntries<FILE_ID_BOTH_DIR_INFO>(directory, FileIdBothDirectoryRestartInfo,
                                                   FileIdBothDirectoryInfo, listing, endEvents,
                                                   endEventCount);
    case ListingMethod::FullDirectory:
        return QueryEntries<FILE_FULL_DIR_INFO>(directory, FileFullDirectoryRestartInfo,
                                                FileFullDirectoryInfo, listing, endEvents,
                                                endEventCount);
    default:
        return FindEntries(folderPath, listing, endEvents, endEventCount);
    }
}

// A drive's root ("E:\", "\\?\E:\"): the only folder that may list neither
// "." nor "..", and so answer its first query with nothing.
static bool IsDriveRoot(const std::wstring& folderPath)
{
    size_t at = folderPath.rfind(L"\\\\?\\", 0) == 0 ? 4 : 0;
    return folderPath.size() == at + 3 && folderPath[at + 1] == L':' && folderPath[at + 2] == L'\\';
}

static void ForgetEntries(FolderListing* listing)
{
    listing->pictures.clear();
    listing->raws.clear();
    listing->rawsByName.clear();
}

// Lists the open directory the watch's way, each way afresh:
// - a way whose class is refused moves the listing on to the next way; while
//   the watch finds its way, so does any failure of a first query that another
//   way may cure;
// - a way that fails part-way (OneDrive and SharePoint folders have failed so
//   with 87) moves it on too, and so does any failure after that;
// - while the watch finds its way, an empty first answer from a folder that is
//   no drive root (some Remote Desktop clients answer a class they cannot serve
//   with "no more files") is checked with the next way that answers: a way
//   that lists entries is kept; if none does, the folder is empty and the way
//   is found at a later listing.
// The way that lists is kept for the watch.
static ListingRead ReadEntries(const std::wstring& folderPath, HANDLE directory,
                               FolderListing* listing, ListingWay* way, const HANDLE* endEvents,
                               DWORD endEventCount)
{
    bool finding = way->method == ListingMethod::NotTried;
    bool emptyAnswered = false;
    ListingRead midway = {WayOutcome::Listed, ERROR_SUCCESS};
    ListingMethod method = finding ? ListingMethod::IdBothDirectory : way->method;
    for (;; method = method == ListingMethod::IdBothDirectory ? ListingMethod::FullDirectory
                                                              : ListingMethod::FindFiles) {
        ForgetEntries(listing);
        ListingRead read =
            ReadWay(method, folderPath, directory, listing, endEvents, endEventCount);
        bool lastWay = method == ListingMethod::FindFiles;
        bool movesOn = true;
        switch (read.outcome) {
        case WayOutcome::Listed:
            way->method = method;
            return read;
        case WayOutcome::CalledOff:
            return read;
        case WayOutcome::Empty:
            if (midway.error != ERROR_SUCCESS)
                break;
            if (emptyAnswered)
                return read;  // the check agrees
            if (finding && !lastWay && !IsDriveRoot(folderPath)) {
                emptyAnswered = true;
                break;
            }
            way->method = method;
            return read;
        case WayOutcome::FirstFailed:
            movesOn = midway.error != ERROR_SUCCESS || ListingClassRefused(read.error) ||
                      (finding && !NoOtherWayLists(read.error));
            break;
        case WayOutcome::FailedMidway:
            midway = read;
            break;
        }
        if (movesOn && !lastWay)
            continue;
        ForgetEntries(listing);
        if (midway.error != ERROR_SUCCESS)
            return midway;
        if (emptyAnswered)
            return {WayOutcome::Empty, ERROR_SUCCESS};
        return read;
    }
}

// The volume's serial number and file system, from the open directory.
static void ReadVolume(HANDLE directory, FolderListing* listing)
{
    DWORD serial = 0;
    wchar_t fileSystem[MAX_PATH + 1] = {};
    if (GetVolumeInformationByHandleW(directory, nullptr, 0, &serial, nullptr, nullptr, fileSystem,
                                      ARRAYSIZE(fileSystem))) {
        listing->volumeSerial = serial;
        listing->fileSystem = fileSystem;
        return;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(directory, &information))
        listing->volumeSerial = information.dwVolumeSerialNumber;
}

ListingResult ListFolder(const std::wstring& folderPath, FolderListing* listing, ListingWay* way,
                         const HANDLE* endEvents, DWORD endEventCount)
{
    // Opened for listing only, sharing everything: a user renaming or deleting
    // the folder meanwhile is not refused.
    HANDLE directory = CreateFileW(LongPath(folderPath).c_str(), FILE_LIST_DIRECTORY,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ListingRead read = {WayOutcome::FirstFailed, GetLastError()};
    if (directory != INVALID_HANDLE_VALUE) {
        ReadVolume(directory, listing);
        read = ReadEntries(folderPath, directory, listing, way, endEvents, endEventCount);
        CloseHandle(directory);
    }
    bool failedMidway = way->failedMidway;
    way->failedMidway = read.outcome == WayOutcome::FailedMidway;
    switch (read.outcome) {
    case WayOutcome::CalledOff:
        way->failedMidway = failedMidway;
        return ListingResult::CalledOff;
    case WayOutcome::Listed:
    case WayOutcome::Empty:
        return ListingResult::Listed;
    case WayOutcome::FailedMidway:
        way->failedAt = GetTickCount64();
        if (!failedMidway)
            LogEventFormat(ListingFailedMidway, folderPath.c_str(), static_cast<int>(read.error));
        return ListingResult::NotListed;
    case WayOutcome::FirstFailed:
        break;
    }
    if (read.error == ERROR_FILE_NOT_FOUND || read.error == ERROR_PATH_NOT_FOUND)
        LogEventFormat(FolderMissing, folderPath.c_str());
    else
        LogEventFormat(FolderNotListed, folderPath.c_str(), static_cast<int>(read.error));
    return ListingResult::NotListed;
}

bool ListFolder(const std::wstring& folderPath, FolderListing* listing)
{
    ListingWay way;
    return ListFolder(folderPath, listing, &way) == ListingResult::Listed;
}

DWORD NextListingRetryMs(const ListingWay& way, ULONGLONG now)
{
    if (!way.failedMidway)
        return INFINITE;
    ULONGLONG due = way.failedAt + ListingRetryMs;
    return due <= now ? 0 : static_cast<DWORD>(due - now);
}

bool ScanCalledOff(const HANDLE* endEvents, DWORD endEventCount)
{
    return endEventCount > 0 && WaitForMultipleObjects(endEventCount, endEvents, FALSE, 0) <
                                    WAIT_OBJECT_0 + endEventCount;
}

std::wstring FoldedName(const std::wstring& name)
{
    std::wstring folded(name);
    if (!folded.empty())
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.c_str(),
                      static_cast<int>(name.size()), folded.data(), static_cast<int>(folded.size()),
                      nullptr, nullptr, 0);
    return folded;
}

static const ListedFile* ListedByName(const FolderListing& listing, const std::wstring& name)
{
    auto found = listing.rawsByName.find(FoldedName(name));
    return found == listing.rawsByName.end() ? nullptr : &listing.raws[found->second];
}

const std::wstring* RawExtensionOf(const FolderListing& listing, const ListedFile& file)
{
    return ListedExtension(listing.companions->extensions, file.name.c_str() + file.extension);
}

// The sidecars named after the picture, after its whole name, or after one of
// its raw files' whole names, each kind once.
static void AddSidecars(const FolderListing& listing, const ListedFile& picture,
                        const std::wstring& base, std::vector<CompanionFile>* found)
{
    std::vector<CompanionFile>& companions = *found;
    const CompanionList& list = *listing.companions;
    std::vector<std::pair<std::wstring, const ListedFile*>> named = {{base, nullptr},
                                                                     {picture.name, nullptr}};
    for (size_t raw = 0, raws = companions.size(); raw < raws; ++raw)
        named.emplace_back(companions[raw].file->name, companions[raw].file);
    for (const auto& [name, ofRaw] : named) {
        for (const std::wstring& kind : list.sidecarKinds) {
            std::wstring sidecarName = name;
            sidecarName += L'.';
            sidecarName += kind;
            const ListedFile* sidecar = ListedByName(listing, sidecarName);
            bool met = false;
            for (const CompanionFile& companion : companions)
                met = met || companion.file == sidecar;
            if (sidecar && !met)
                companions.push_back(
                    {sidecar, sidecar->name, sidecar->name.substr(base.size()), true, ofRaw});
        }
    }
}

std::vector<CompanionFile> ListedCompanions(const FolderListing& listing, const ListedFile& picture)
{
    std::vector<CompanionFile> companions;
    if (listing.raws.empty())
        return companions;
    const CompanionList& list = *listing.companions;
    std::wstring base = picture.name.substr(0, picture.extension);
    for (const std::wstring& extension : list.extensions) {
        std::wstring name = base;
        name += L'.';
        name += extension;
        // A video listed as a companion is not its own.
        const ListedFile* raw = ListedByName(listing, name);
        if (raw && !AsciiEqualNoCase(raw->name.c_str(), picture.name.c_str()))
            companions.push_back({raw, name, L"." + extension, false, nullptr});
    }
    if (list.sidecars)
        AddSidecars(listing, picture, base, &companions);
    // A Sony clip's own metadata file (C0001M01.XML) goes with it.
    if (IsListedVideo(picture)) {
        if (const ListedFile* metadata = ListedByName(listing, base + ClipMetadataSuffix))
            companions.push_back(
                {metadata, metadata->name, metadata->name.substr(base.size()), true, nullptr});
    }
    return companions;
}
