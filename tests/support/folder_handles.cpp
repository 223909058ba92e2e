#include "tests/support/folder_handles.h"

// Handle values are multiples of 4; a process of a few hundred threads stays
// far below this.
constexpr ULONG_PTR LastHandleValue = 0x4000;

static std::wstring Comparable(std::wstring path)
{
    if (path.starts_with(L"\\\\?\\"))
        path.erase(0, 4);
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    return path;
}

std::vector<HANDLE> HandlesOnFolder(HANDLE process, const std::wstring& folder)
{
    std::wstring wanted = Comparable(folder);
    std::vector<HANDLE> found;
    for (ULONG_PTR value = 4; value <= LastHandleValue; value += 4) {
        HANDLE copy = nullptr;
        if (!DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy,
                             0, FALSE, DUPLICATE_SAME_ACCESS))
            continue;
        // Only files and directories name a path; asking anything else could block.
        if (GetFileType(copy) == FILE_TYPE_DISK) {
            wchar_t path[MAX_PATH * 2] = {};
            DWORD length = GetFinalPathNameByHandleW(copy, path, ARRAYSIZE(path), 0);
            if (length > 0 && length < ARRAYSIZE(path) && Comparable(path) == wanted)
                found.push_back(reinterpret_cast<HANDLE>(value));
        }
        CloseHandle(copy);
    }
    return found;
}
