// lumistamp-bench-journal FOLDER
// What the journal of renames costs a scan: one scan of FOLDER as a monitor
// makes it (its renames journaled as ever), then, in the same process, as
// many journal appends as the scan made renames, on a journal of their own
// kept under a folder name of its own. Prints one JOURNAL line with the
// scan's time, the renames and the appends' time; the appends' share of the
// scan is what journaling costs it. Both journals are removed at the end.
#include <windows.h>
#include <pathcch.h>

#include <cstdio>
#include <string>

#include "rename/folder_listing.h"
#include "rename/folder_memory.h"
#include "rename/folder_scan.h"
#include "rename/rename_journal.h"
#include "settings/statistics.h"
#include "tools/bench_common.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        fputs("usage: lumistamp-bench-journal FOLDER\n", stderr);
        return 2;
    }
    std::wstring folder = WithBackslash(argv[1]);

    FolderMemory memory;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    ScanFolder(folder.c_str(), static_cast<uint32_t>(folder.size()), memory);
    double scanMicroseconds = MicrosecondsSince(start);
    int renames = Statistics.PicturesRenamed.load();

    // The same appends alone, as the scan made them: the listed file's name,
    // size and time, and its new name.
    std::wstring other = folder + L"journal-alone\\";
    RenameJournal journal;
    ListedFile file = {L"DSC_0001.JPG", 8, 4 * 1024 * 1024, 0, 0, FILE_ATTRIBUTE_NORMAL, 0};
    QueryPerformanceCounter(&start);
    for (int rename = 0; rename < renames; ++rename) {
        wchar_t name[32];
        swprintf(name, 32, L"DSC_%04d.JPG", rename % 10000);
        file.name = name;
        swprintf(name, 32, L"20240615_%06d.JPG", rename);
        JournalRename(journal, other, file, name, 0);
    }
    CloseJournal(journal);
    double journalMicroseconds = MicrosecondsSince(start);

    DeleteFileW(JournalPath(other).c_str());
    DeleteFileW(JournalPath(folder).c_str());
    std::printf("JOURNAL scan_microseconds=%.0f renames=%d journal_microseconds=%.0f\n",
                scanMicroseconds, renames, journalMicroseconds);
    return 0;
}
