// The journal of a folder's renames on disk: "Journal\<folder file name>.journal"
// in the program's folder under local application data, beside the kept
// pictures (journal_file.h holds its layout). Every rename a scan makes is one
// record appended to it; deleting it loses only the way back.
//
// Bound: a folder keeps its newest renames, at least JournalRenamesKept: past
// JournalRenamesBound records (or MaxJournalFileBytes) the file is written
// anew with the newest JournalRenamesKept that fit in half those bytes. With
// camera names a rename costs about 72 bytes, 100,000 about 7 MB.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "rename/journal_file.h"

struct ListedFile;

constexpr size_t JournalRenamesKept = 100000;
constexpr size_t JournalRenamesBound = 200000;
constexpr uint64_t MaxJournalFileBytes = 32ull * 1024 * 1024;

// A monitor's (or a one-shot scan's) view of its folder's journal.
struct RenameJournal {
    bool checked = false;  // read once before the first append: a cut end cut off, damage set aside
    size_t records = 0;    // as last counted, for the bound
    uint64_t bytes = 0;
    bool failureReported = false;
    // Open from a scan's first rename to its end (CloseJournal), so that a
    // rename costs one write rather than an open, a write and a close.
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring path;  // found at the first rename
};

std::wstring JournalPath(const std::wstring& folderPath);

// Appends one rename (a picture's, or of a file that travelled with it) of the
// listed file to newPath (a name or a path; its last part is taken). The file
// keeps the size and last-write time the listing gave it.
void JournalRename(RenameJournal& journal, const std::wstring& folderPath, const ListedFile& file,
                   const std::wstring& newPath, uint8_t flags);

// Closes the journal a scan appended to: called when the scan ends, so that a
// restore between two scans finds it closed.
void CloseJournal(RenameJournal& journal);

// The folder's renames, oldest first. False when there is no journal, or it
// was damaged or foreign (then it is set aside, with one event line).
bool LoadJournal(const std::wstring& folderPath, std::vector<JournalEntry>* entries);

// Writes the folder's journal anew with only these renames (whole, then moved
// over the old file); no entries remove it.
bool RewriteJournal(const std::wstring& folderPath, const std::vector<JournalEntry>& entries);

// One folder's journal, as the restore dialog lists it.
struct JournalSummary {
    std::wstring folder;  // as watched, with its trailing backslash
    size_t renames;
    uint64_t first;  // FILETIME of the oldest and newest rename
    uint64_t last;
};
std::vector<JournalSummary> ListJournals();
