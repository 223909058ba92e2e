// One pass over a watched folder: every picture renamed to its capture time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct FolderListing;
struct FolderMemory;

// folderPath ends in a backslash; length is its length in characters. Every
// outcome is logged; the counters PicturesProcessed and PicturesRenamed move.
// This one-shot form remembers nothing between calls.
void ScanFolder(const wchar_t* folderPath, uint32_t length);

// The same for a folder's monitor, which keeps its memory from one scan to the
// next: settled pictures are not read again, a raw file landing after its
// picture was renamed follows it, and busy files are noted for retries.
void ScanFolder(const wchar_t* folderPath, uint32_t length, FolderMemory& memory);

// The same, ended before the next picture it would read once any of the
// events is signalled (a monitor told to stop, or to let go of its folder).
// The pictures not reached wait for a later scan; what the memory knew of
// them stays as it was.
void ScanFolder(const wchar_t* folderPath, uint32_t length, FolderMemory& memory,
                const HANDLE* endEvents, DWORD endEventCount);

// The part of a scan after the listing: the listed pictures worked through,
// ended early as above when endEvents are given.
void ScanListing(const std::wstring& folderPath, const FolderListing& listing, FolderMemory& memory,
                 const HANDLE* endEvents = nullptr, DWORD endEventCount = 0);
