#include "rename/whole_file.h"

bool ReadWholeFile(const std::wstring& path, uint64_t maxBytes, std::vector<uint8_t>* bytes,
                   DWORD* error)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    LARGE_INTEGER size = {};
    bool read = GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
                static_cast<uint64_t>(size.QuadPart) <= maxBytes;
    if (read) {
        bytes->resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        read = bytes->empty() ||
               (ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &got, nullptr) &&
                got == bytes->size());
    }
    *error = read ? ERROR_SUCCESS : ERROR_INVALID_DATA;
    CloseHandle(file);
    return read;
}

bool WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes, DWORD* error)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    // A write may take only part of the bytes (Wine's does on a full disk):
    // the rest is written again, so that the failure comes with its error.
    bool ok = true;
    for (size_t at = 0; ok && at < bytes.size();) {
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written,
                       nullptr) != FALSE;
        if (ok && written == 0) {
            SetLastError(ERROR_DISK_FULL);
            ok = false;
        }
        at += written;
    }
    ok = ok && FlushFileBuffers(file);
    *error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return ok;
}
