#include "rename/folder_scan.h"

#include <windows.h>
#include <pathcch.h>
#include <strsafe.h>

#include <string>
#include <vector>

#include "events/event_history.h"
#include "rename/ascii_text.h"
#include "rename/capture_time.h"
#include "rename/target_name.h"
#include "settings/statistics.h"

static const wchar_t FolderMissing[] = L"Directory %s, does not exist";
static const wchar_t FolderNotListed[] = L"FindFirstFile for %s returns %d, Directory is not monitored";
static const wchar_t Renamed[] = L"Renamed %s to %s";
static const wchar_t RenameFailed[] = L"Error %d renaming %s to %s";

// Room for any file name (at most 259 characters) twice over in a target path.
constexpr size_t TargetPathRoom = 520;

// ".jpg" and ".jpeg" and every longer extension that begins so, any ASCII case.
static bool IsPictureExtension(const wchar_t* extension)
{
    return AsciiEqualNoCase(extension, L".jpg", 4) || AsciiEqualNoCase(extension, L".jpeg", 5);
}

// The path with the text from its last dot on replaced by ".NEF"; empty when
// the path has no dot.
static std::wstring CompanionPath(const std::wstring& path)
{
    size_t dot = path.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : path.substr(0, dot) + L".NEF";
}

// The raw file of the picture's old base name follows it to its new name. The
// companion's name is not tested for collisions: it shares the picture's fate.
static void RenameCompanion(const std::wstring& oldPath, const wchar_t* newPath)
{
    std::wstring oldCompanion = CompanionPath(oldPath);
    std::wstring newCompanion = CompanionPath(newPath);
    if (oldCompanion.empty() || newCompanion.empty() || !FileExists(oldCompanion.c_str()))
        return;

    if (MoveFileW(oldCompanion.c_str(), newCompanion.c_str())) {
        LogEventFormat(Renamed, oldCompanion.c_str(), newCompanion.c_str());
        ++Statistics.PicturesRenamed;
    } else {
        int error = static_cast<int>(GetLastError());
        LogEventFormat(RenameFailed, error, oldCompanion.c_str(), newCompanion.c_str());
    }
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

static void ProcessEntry(const std::wstring& folderPath, const WIN32_FIND_DATAW& entry,
                         std::vector<wchar_t>& newPath)
{
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return;
    const wchar_t* extension = nullptr;
    if (FAILED(PathCchFindExtension(entry.cFileName, ARRAYSIZE(entry.cFileName), &extension)) ||
        !IsPictureExtension(extension))
        return;

    ++Statistics.PicturesProcessed;
    std::wstring oldPath = folderPath + entry.cFileName;
    CaptureTime time = {};
    if (!ReadCaptureTime(folderPath.c_str(), oldPath.c_str(), newPath.data(), newPath.size(),
                         extension, &time))
        return;
    if (AsciiEqualNoCase(oldPath.c_str(), newPath.data()))
        return;  // already bears its name

    if (!MoveToTarget(folderPath, oldPath, newPath, extension, time)) {
        int error = static_cast<int>(GetLastError());
        LogEventFormat(RenameFailed, error, entry.cFileName, newPath.data());
        return;
    }
    LogEventFormat(Renamed, oldPath.c_str(), wcsrchr(newPath.data(), L'\\') + 1);
    ++Statistics.PicturesRenamed;
    RenameCompanion(oldPath, newPath.data());
}

void ScanFolder(const wchar_t* folderPath, uint32_t length)
{
    std::wstring folder(folderPath, length);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        // An empty volume root lists no entry at all, not even "." and "..".
        if (error == ERROR_FILE_NOT_FOUND)
            return;
        if (error == ERROR_PATH_NOT_FOUND)
            LogEventFormat(FolderMissing, folder.c_str());
        else
            LogEventFormat(FolderNotListed, folder.c_str(), static_cast<int>(error));
        return;
    }

    std::vector<wchar_t> newPath(length + TargetPathRoom);
    do {
        ProcessEntry(folder, entry, newPath);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}
