#include "events/log_file.h"

#include <windows.h>

static const wchar_t LogFileName[] = L"Lumistamp.Log";

std::string ToLatin1(const std::wstring& line)
{
    std::string bytes;
    bytes.reserve(line.size());
    for (wchar_t unit : line)
        bytes.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
    return bytes;
}

LogFileResult AppendToLogFile(const std::wstring& line, uint32_t* error)
{
    std::string record = ToLatin1(line);
    record += "\r\n";

    // Append-only access makes every write land at the end of the file, even
    // when another program has appended meanwhile.
    HANDLE file = CreateFileW(LogFileName, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return LogFileResult::OpenFailed;
    }

    DWORD written = 0;
    LogFileResult result = LogFileResult::Written;
    if (!WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr)) {
        *error = GetLastError();
        result = LogFileResult::WriteFailed;
    }
    CloseHandle(file);
    return result;
}
