#include "rename/folder_listing.h"

#include <windows.h>
#include <pathcch.h>

#include "events/event_history.h"
#include "rename/ascii_text.h"
#include "rename/long_path.h"

static const wchar_t FolderMissing[] = L"Directory %s, does not exist";
static const wchar_t FolderNotListed[] = L"FindFirstFile for %s returns %d, Directory is not monitored";

static const wchar_t RawExtension[] = L".NEF";

// ".jpg" and ".jpeg" and every longer extension that begins so, any ASCII case.
static bool IsPictureExtension(const wchar_t* extension)
{
    return AsciiEqualNoCase(extension, L".jpg", 4) || AsciiEqualNoCase(extension, L".jpeg", 5);
}

// Directories are never pictures; one named like a raw file is listed with
// the raw files, since it takes a companion's name as a file would.
static void AddEntry(const WIN32_FIND_DATAW& entry, FolderListing* listing)
{
    const wchar_t* extension = nullptr;
    if (FAILED(PathCchFindExtension(entry.cFileName, ARRAYSIZE(entry.cFileName), &extension)))
        return;
    bool picture = !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                   IsPictureExtension(extension);
    if (!picture && !AsciiEqualNoCase(extension, RawExtension))
        return;

    ListedFile file = {entry.cFileName, static_cast<size_t>(extension - entry.cFileName),
                       (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow,
                       (static_cast<uint64_t>(entry.ftLastWriteTime.dwHighDateTime) << 32) |
                           entry.ftLastWriteTime.dwLowDateTime,
                       entry.dwFileAttributes};
    if (picture) {
        listing->pictures.push_back(std::move(file));
    } else {
        listing->rawsByName.emplace(FoldedName(file.name), listing->raws.size());
        listing->raws.push_back(std::move(file));
    }
}

bool ListFolder(const std::wstring& folderPath, FolderListing* listing)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(LongPath(folderPath + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        // An empty volume root lists no entry at all, not even "." and "..".
        if (error == ERROR_FILE_NOT_FOUND)
            return false;
        if (error == ERROR_PATH_NOT_FOUND)
            LogEventFormat(FolderMissing, folderPath.c_str());
        else
            LogEventFormat(FolderNotListed, folderPath.c_str(), static_cast<int>(error));
        return false;
    }
    do {
        AddEntry(entry, listing);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return true;
}

std::wstring FoldedName(const std::wstring& name)
{
    std::wstring folded(name);
    if (!folded.empty())
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.c_str(),
                      static_cast<int>(name.size()), folded.data(),
                      static_cast<int>(folded.size()), nullptr, nullptr, 0);
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
