// The raw file that travels with a picture: the picture's base name with the
// extension ".NEF".
#pragma once

#include <string>

// The path with the text from its last dot on replaced by ".NEF"; empty when
// the path has no dot.
std::wstring CompanionPath(const std::wstring& path);

// True when another program has the file open so that it cannot be renamed
// now (open without delete sharing, or locked).
bool IsHeldOpen(const std::wstring& path);

enum class CompanionMove {
    Moved,   // renamed, logged and counted
    Busy,    // another program has it open: nothing logged, try again later
    Gone,    // no longer there: nothing to do, nothing logged
    Failed,  // refused for another reason (its name taken, access denied): logged
};

// Renames a companion; both paths are logged in full.
CompanionMove MoveCompanion(const std::wstring& oldPath, const std::wstring& newPath);
