#include "rename/folder_listing.h"

#include <windows.h>
#include <pathcch.h>

#include <vector>

#include "events/event_history.h"
#include "rename/ascii_text.h"
#include "rename/long_path.h"

static const wchar_t FolderMissing[] = L"Directory %s, does not exist";
static const wchar_t FolderNotListed[] =
    L"FindFirstFile for %s returns %d, Directory is not monitored";

static const wchar_t RawExtension[] = L".NEF";

// ".jpg" and ".jpeg" and every longer extension that begins so, any ASCII case.
static bool IsPictureExtension(const wchar_t* extension)
{
    return AsciiEqualNoCase(extension, L".jpg", 4) || AsciiEqualNoCase(extension, L".jpeg", 5);
}

// Directories are never pictures; one named like a raw file is listed with
// the raw files, since it takes a companion's name as a file would.
static void AddEntry(const FILE_ID_BOTH_DIR_INFO& entry, FolderListing* listing)
{
    std::wstring name(entry.FileName, entry.FileNameLength / sizeof(wchar_t));
    const wchar_t* extension = nullptr;
    if (FAILED(PathCchFindExtension(name.c_str(), name.size() + 1, &extension)))
        return;
    bool picture = !(entry.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                   IsPictureExtension(extension);
    if (!picture && !AsciiEqualNoCase(extension, RawExtension))
        return;

    size_t extensionAt = static_cast<size_t>(extension - name.c_str());
    ListedFile file = {std::move(name),
                       extensionAt,
                       static_cast<uint64_t>(entry.EndOfFile.QuadPart),
                       static_cast<uint64_t>(entry.LastWriteTime.QuadPart),
                       static_cast<uint64_t>(entry.ChangeTime.QuadPart),
                       entry.FileAttributes,
                       static_cast<uint64_t>(entry.CreationTime.QuadPart)};
    if (picture) {
        listing->pictures.push_back(std::move(file));
    } else {
        listing->rawsByName.emplace(FoldedName(file.name), listing->raws.size());
        listing->raws.push_back(std::move(file));
    }
}

// The directory's entries in batches, as the file system delivers them: one
// call fills the buffer with as many as fit, each with its times (the change
// time among them, which the plain find calls do not give).
static DWORD ReadEntries(HANDLE directory, FolderListing* listing)
{
    std::vector<uint64_t> buffer(size_t{64} * 1024 / sizeof(uint64_t));  // aligned for the records
    FILE_INFO_BY_HANDLE_CLASS query = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(directory, query, buffer.data(),
                                          static_cast<DWORD>(buffer.size() * sizeof(uint64_t)))) {
            DWORD error = GetLastError();
            return error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error;
        }
        query = FileIdBothDirectoryInfo;
        const uint8_t* at = reinterpret_cast<const uint8_t*>(buffer.data());
        for (;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            AddEntry(*entry, listing);
            if (entry->NextEntryOffset == 0)
                break;
            at += entry->NextEntryOffset;
        }
    }
}

bool ListFolder(const std::wstring& folderPath, FolderListing* listing)
{
    // Opened for listing only, sharing everything: a user renaming or deleting
    // the folder meanwhile is not refused.
    HANDLE directory = CreateFileW(LongPath(folderPath).c_str(), FILE_LIST_DIRECTORY,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    DWORD error = directory == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (directory != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION information;
        if (GetFileInformationByHandle(directory, &information))
            listing->volumeSerial = information.dwVolumeSerialNumber;
        error = ReadEntries(directory, listing);
        CloseHandle(directory);
    }
    if (error == ERROR_SUCCESS)
        return true;
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        LogEventFormat(FolderMissing, folderPath.c_str());
    else
        LogEventFormat(FolderNotListed, folderPath.c_str(), static_cast<int>(error));
    return false;
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

const ListedFile* ListedCompanion(const FolderListing& listing, const ListedFile& picture)
{
    if (listing.raws.empty())
        return nullptr;
    auto found = listing.rawsByName.find(
        FoldedName(picture.name.substr(0, picture.extension) + RawExtension));
    return found == listing.rawsByName.end() ? nullptr : &listing.raws[found->second];
}
