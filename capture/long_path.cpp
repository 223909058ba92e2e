#include "capture/long_path.h"

#include <windows.h>

#include <vector>

static bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

std::wstring LongPath(const std::wstring& path)
{
    if (path.size() < MAX_PATH || StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\"))
        return path;

    // The long form skips the normalising the plain calls do (separators,
    // "." and "..", a relative path), so it is done here first. A trailing
    // backslash, which a folder's search pattern base has, is kept.
    std::vector<wchar_t> full(path.size() + MAX_PATH);
    DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return path;
    std::wstring normal(full.data(), length);

    if (StartsWith(normal, L"\\\\"))
        return L"\\\\?\\UNC\\" + normal.substr(2);
    return L"\\\\?\\" + normal;
}
