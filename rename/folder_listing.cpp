#include "rename/folder_listing.h"

#include <pathcch.h>

#include <vector>

#include "capture/ascii_text.h"
#include "capture/heif_file.h"
#include "capture/long_path.h"
#include "events/event_history.h"
#include "settings/settings.h"

static const wchar_t FolderMissing[] = L"Directory %s, does not exist";
static const wchar_t FolderNotListed[] =
    L"FindFirstFile for %s returns %d, Directory is not monitored";

// Entries a listing by FindNextFileW takes between two looks at the end
// events, about what one batch of a directory query holds.
constexpr size_t EntriesBetweenLooks = 512;

std::atomic<DirectoryQuery> QueryDirectory{GetFileInformationByHandleEx};

// ".jpg" and ".jpeg" and every longer extension that begins so, any ASCII
// case; with the HeifPictures option on, the HEIF extensions too.
static bool IsPictureExtension(const wchar_t* extension)
{
    return AsciiEqualNoCase(extension, L".jpg", 4) || AsciiEqualNoCase(extension, L".jpeg", 5) ||
           (Settings.HeifPictures.load() != 0 && IsHeifExtension(extension));
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
// the raw files, since it takes a companion's name as a file would.
static void AddEntry(std::wstring name, ListedFile times, FolderListing* listing)
{
    const wchar_t* extension = nullptr;
    if (FAILED(PathCchFindExtension(name.c_str(), name.size() + 1, &extension)))
        return;
    bool picture = !(times.attributes & FILE_ATTRIBUTE_DIRECTORY) && IsPictureExtension(extension);
    if (!picture && !IsCompanionExtension(*listing->companions, extension))
        return;

    times.extension = static_cast<size_t>(extension - name.c_str());
    times.name = std::move(name);
    if (picture) {
        listing->pictures.push_back(std::move(times));
    } else {
        listing->rawsByName.emplace(FoldedName(times.name), listing->raws.size());
        listing->raws.push_back(std::move(times));
    }
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
struct ListingRead {
    DWORD error;        // ERROR_SUCCESS when listed
    bool classRefused;  // the file system does not know the query's class
    bool calledOff;
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
    bool first = true;
    for (;;) {
        if (!query(directory, first ? restartClass : nextClass, buffer.data(),
                   static_cast<DWORD>(buffer.size() * sizeof(uint64_t)))) {
            DWORD error = GetLastError();
            // A FAT or exFAT root has no "." and "..": its first query finds
            // nothing at all when it is empty, and says "no such file".
            if (error == ERROR_NO_MORE_FILES || (first && error == ERROR_FILE_NOT_FOUND))
                return {ERROR_SUCCESS, false, false};
            return {error, first && ListingClassRefused(error), false};
        }
        first = false;
        AddBatch<Entry>(reinterpret_cast<const uint8_t*>(buffer.data()), listing);
        if (ScanCalledOff(endEvents, endEventCount))
            return {ERROR_SUCCESS, false, true};
    }
}

// The last resort, for file systems that refuse both query classes. It gives
// no change time, so nothing listed so is kept between runs.
static ListingRead FindEntries(const std::wstring& folderPath, FolderListing* listing,
                               const HANDLE* endEvents, DWORD endEventCount)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(LongPath(folderPath + L"*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        // The empty root of a volume.
        return {error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error, false, false};
    }
    ListingRead read = {ERROR_SUCCESS, false, false};
    for (size_t entries = 1;; ++entries) {
        uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        AddEntry(found.cFileName,
                 {std::wstring(), 0, size, Number(found.ftLastWriteTime), 0, found.dwFileAttributes,
                  Number(found.ftCreationTime)},
                 listing);
        if (entries % EntriesBetweenLooks == 0 && ScanCalledOff(endEvents, endEventCount)) {
            read.calledOff = true;
            break;
        }
        if (!FindNextFileW(search, &found)) {
            DWORD error = GetLastError();
            read.error = error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error;
            break;
        }
    }
    FindClose(search);
    return read;
}

// Lists the open directory by method; a refused class moves the method on to
// the next way and lists again.
static ListingRead ReadEntries(const std::wstring& folderPath, HANDLE directory,
                               FolderListing* listing, ListingMethod* method,
                               const HANDLE* endEvents, DWORD endEventCount)
{
    if (*method == ListingMethod::NotTried)
        *method = ListingMethod::IdBothDirectory;
    if (*method == ListingMethod::IdBothDirectory) {
        ListingRead read = QueryEntries<FILE_ID_BOTH_DIR_INFO>(directory,
                                                               FileIdBothDirectoryRestartInfo,
                                                               FileIdBothDirectoryInfo, listing,
                                                               endEvents, endEventCount);
        if (!read.classRefused)
            return read;
        *method = ListingMethod::FullDirectory;
    }
    if (*method == ListingMethod::FullDirectory) {
        ListingRead read = QueryEntries<FILE_FULL_DIR_INFO>(directory, FileFullDirectoryRestartInfo,
                                                            FileFullDirectoryInfo, listing,
                                                            endEvents, endEventCount);
        if (!read.classRefused)
            return read;
        *method = ListingMethod::FindFiles;
    }
    return FindEntries(folderPath, listing, endEvents, endEventCount);
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

ListingResult ListFolder(const std::wstring& folderPath, FolderListing* listing,
                         ListingMethod* method, const HANDLE* endEvents, DWORD endEventCount)
{
    // Opened for listing only, sharing everything: a user renaming or deleting
    // the folder meanwhile is not refused.
    HANDLE directory = CreateFileW(LongPath(folderPath).c_str(), FILE_LIST_DIRECTORY,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ListingRead read = {directory == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS, false,
                        false};
    if (directory != INVALID_HANDLE_VALUE) {
        ReadVolume(directory, listing);
        read = ReadEntries(folderPath, directory, listing, method, endEvents, endEventCount);
        CloseHandle(directory);
    }
    if (read.calledOff)
        return ListingResult::CalledOff;
    if (read.error == ERROR_SUCCESS)
        return ListingResult::Listed;
    if (read.error == ERROR_FILE_NOT_FOUND || read.error == ERROR_PATH_NOT_FOUND)
        LogEventFormat(FolderMissing, folderPath.c_str());
    else
        LogEventFormat(FolderNotListed, folderPath.c_str(), static_cast<int>(read.error));
    return ListingResult::NotListed;
}

bool ListFolder(const std::wstring& folderPath, FolderListing* listing)
{
    ListingMethod method = ListingMethod::NotTried;
    return ListFolder(folderPath, listing, &method) == ListingResult::Listed;
}

bool ListingClassRefused(DWORD error)
{
    return error == ERROR_INVALID_PARAMETER || error == ERROR_INVALID_LEVEL ||
           error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
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
        if (const ListedFile* raw = ListedByName(listing, name))
            companions.push_back({raw, name, L"." + extension, false, nullptr});
    }
    if (!list.sidecars)
        return companions;

    // Named after the picture, after its whole name, or after a raw file's.
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
    return companions;
}
