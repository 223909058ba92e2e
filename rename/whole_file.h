// Whole-file reads and writes of the files the program keeps (the settled
// pictures, the journal of renames).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// False, with the error, when the file cannot be opened or read, or is longer
// than maxBytes (ERROR_INVALID_DATA).
bool ReadWholeFile(const std::wstring& path, uint64_t maxBytes, std::vector<uint8_t>* bytes,
                   DWORD* error);
// Creates (or empties) the file and writes the bytes through to the disk.
bool WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes, DWORD* error);
