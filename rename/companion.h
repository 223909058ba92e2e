// Moving a file that travels with a picture: a raw file or a sidecar under the
// picture's base name (folder_listing.h finds them).
#pragma once

#include <windows.h>

#include <string>

// True when another program has the file open so that it cannot be renamed
// now (open without delete sharing, or locked).
bool IsHeldOpen(const std::wstring& path);

enum class CompanionMove {
    Moved,    // renamed, logged and counted
    Busy,     // another program has it open: nothing logged, try again later
    Refused,  // refused for a reason that usually passes (see IsPassingRefusal):
              // nothing logged, the caller reports it once and tries again later
    Gone,     // no longer there: nothing to do, nothing logged
    Failed,   // refused for another reason (its name taken): logged
};

// Renames a companion from the name it is listed under (oldPath) to newPath.
// Its lines quote the old path as the list writes its extension, reportedOldPath, and the
// new one, both in full. After Refused, GetLastError() tells the reason.
CompanionMove MoveCompanion(const std::wstring& oldPath, const std::wstring& reportedOldPath,
                            const std::wstring& newPath);

// Reports a refused companion move: "Error %d renaming %s to %s".
void ReportCompanionRefused(DWORD error, const std::wstring& reportedOldPath,
                            const std::wstring& newPath);
