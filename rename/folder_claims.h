// Which folders a scan or a restore works in right now, so that a restore
// never meets a scan renaming the same pictures: a scan waits for a restore of
// its folder to end, a restore is refused while a scan of it runs.
// Bound: one entry per folder while something works in it.
#pragma once

#include <string>

// folderPath ends in a backslash; any spelling of its case is the same folder.
void BeginFolderScan(const std::wstring& folderPath);
void EndFolderScan(const std::wstring& folderPath);
// False while a scan of the folder, or another restore of it, runs.
bool BeginFolderRestore(const std::wstring& folderPath);
void EndFolderRestore(const std::wstring& folderPath);
