// Throwaway folders and small file helpers for tests. Scratch folders live in
// the Wine prefix's temporary folder (inside the build tree) and are removed,
// with everything in them, when the test ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder's path without, or with, its trailing backslash.
    const std::wstring& Path() const { return path_; }
    std::wstring PathWithBackslash() const { return path_ + L"\\"; }
    // The full path of an entry in the folder.
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Makes the scratch folder the current directory for one scope.
class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const std::wstring& folder);
    ~CurrentDirectoryScope();
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

private:
    std::wstring previous_;
};

bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool WriteFileText(const std::wstring& path, const std::string& text);
std::vector<uint8_t> ReadFileBytes(const std::wstring& path);
std::string ReadFileText(const std::wstring& path);
bool PathExists(const std::wstring& path);
// The names in a folder (no "." and ".."), sorted.
std::vector<std::wstring> ListFolder(const std::wstring& folder);
// Removes a folder and everything under it, read-only entries included.
void RemoveTree(const std::wstring& folder);
