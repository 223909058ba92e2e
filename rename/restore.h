// Gives a folder's pictures back the names they had, from its journal of
// renames (rename_journal.h): newest first, each picture with the files that
// travelled with it or not at all. A file that is gone, changed since its
// rename (size or last-write time), or whose old name is taken now is left as
// it is, with one line saying why. Nothing is ever overwritten, and no file
// the journal does not name is touched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class RestoreResult {
    AllRestored = 0,  // every chosen rename went back (or there was none to choose)
    SomeLeft = 1,     // some files were left as they are
    NotRun = 2,       // refused (a scan runs), or no journal to restore from
};

struct RestoreReport {
    RestoreResult result = RestoreResult::AllRestored;
    std::vector<std::wstring> lines;  // one per outcome, as logged
    size_t restored = 0;
    size_t left = 0;
};

// Restores the renames made in the folder (its path ends in a backslash) at or
// after since (FILETIME, UTC; 0 for all). Refused while a scan of the folder
// runs. Restored pictures are settled as left as is (restored_pictures.h),
// and their renames leave the journal.
RestoreReport RestoreFolder(const std::wstring& folderPath, uint64_t since);

// "YYYY-MM-DD HH:MM" in local time as FILETIME (UTC); false for anything else.
bool ParseRestoreSince(const std::wstring& text, uint64_t* since);
