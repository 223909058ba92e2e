#include "app/restore_command.h"

#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

#include "rename/restore.h"
#include "rename/utf8_text.h"
#include "settings/settings_store.h"

static const wchar_t Usage[] =
    L"Usage: Lumistamp.exe /restore \"FOLDER\" [/since \"YYYY-MM-DD HH:MM\"]";

// Tells a restore request among the messages a window may be sent.
constexpr ULONG_PTR RestoreRequestId = 0x4C535253;  // "LSRS"
// A restore of a big folder takes a while; a hung instance does not hold the
// script forever.
constexpr UINT RestoreReplyLimitMs = 10 * 60 * 1000;

struct RestoreArguments {
    std::wstring folder;  // full path with its trailing backslash
    uint64_t since = 0;
};

static std::vector<std::wstring> CommandArguments()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> list;
    for (int i = 0; arguments && i < count; ++i)
        list.emplace_back(arguments[i]);
    LocalFree(arguments);
    return list;
}

bool IsRestoreCommand()
{
    std::vector<std::wstring> arguments = CommandArguments();
    return arguments.size() > 1 && _wcsicmp(arguments[1].c_str(), L"/restore") == 0;
}

static bool ReadArguments(RestoreArguments* restore)
{
    std::vector<std::wstring> arguments = CommandArguments();
    if (arguments.size() != 3 && arguments.size() != 5)
        return false;
    if (arguments.size() == 5 && (_wcsicmp(arguments[3].c_str(), L"/since") != 0 ||
                                  !ParseRestoreSince(arguments[4], &restore->since)))
        return false;
    wchar_t full[32768] = {};
    DWORD length = GetFullPathNameW(arguments[2].c_str(), ARRAYSIZE(full), full, nullptr);
    if (length == 0 || length >= ARRAYSIZE(full))
        return false;
    restore->folder = full;
    if (restore->folder.back() != L'\\')
        restore->folder += L'\\';
    return true;
}

// To the console of the shell that started us, or to wherever standard output
// was sent (a file, a pipe) as UTF-8.
static void PrintLines(const std::vector<std::wstring>& lines)
{
    AttachConsole(ATTACH_PARENT_PROCESS);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    bool console = GetConsoleMode(out, &mode) != FALSE;
    for (const std::wstring& line : lines) {
        std::wstring text = line + L"\r\n";
        DWORD written = 0;
        if (console) {
            WriteConsoleW(out, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        } else {
            std::string bytes = Utf8(text);
            WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        }
    }
}

// The request: the folder, the moment and the file for the reply's lines, one
// a line.
static std::wstring RequestText(const RestoreArguments& restore, const std::wstring& replyPath)
{
    return restore.folder + L"\n" + std::to_wstring(restore.since) + L"\n" + replyPath;
}

static std::wstring ReplyPath()
{
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t path[MAX_PATH + 1] = {};
    if (!GetTempPathW(ARRAYSIZE(folder), folder) || !GetTempFileNameW(folder, L"lsr", 0, path))
        return std::wstring();
    return path;
}

static std::wstring JoinLines(const std::vector<std::wstring>& lines)
{
    std::wstring text;
    for (const std::wstring& line : lines)
        text += line + L"\n";
    return text;
}

// Hands the restore to the running instance; false when none answers.
static bool HandOver(const RestoreArguments& restore, int* exitCode)
{
    HANDLE running = OpenMutexW(SYNCHRONIZE, FALSE, L"Lumistamp");
    if (!running)
        return false;
    CloseHandle(running);
    HWND window = FindWindowW(L"LUMISTAMP", nullptr);
    std::wstring replyPath = ReplyPath();
    if (!window || replyPath.empty())
        return false;
    std::wstring request = RequestText(restore, replyPath);
    COPYDATASTRUCT data = {RestoreRequestId,
                           static_cast<DWORD>((request.size() + 1) * sizeof(wchar_t)),
                           request.data()};
    DWORD_PTR answer = 0;
    bool answered = SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                        SMTO_ABORTIFHUNG, RestoreReplyLimitMs, &answer) != 0 &&
                    answer != 0;
    std::vector<std::wstring> lines;
    HANDLE reply = CreateFileW(replyPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (answered && reply != INVALID_HANDLE_VALUE) {
        std::string bytes(1 << 16, '\0'), all;
        DWORD got = 0;
        while (ReadFile(reply, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
               got != 0)
            all.append(bytes.data(), got);
        std::wstring text;
        Wide(all, &text);
        for (size_t at = 0, end; (end = text.find(L'\n', at)) != std::wstring::npos; at = end + 1)
            lines.push_back(text.substr(at, end - at));
    }
    if (reply != INVALID_HANDLE_VALUE)
        CloseHandle(reply);
    DeleteFileW(replyPath.c_str());
    if (!answered)
        return false;
    PrintLines(lines);
    *exitCode = static_cast<int>(answer) - 1;
    return true;
}

int RunRestoreCommand()
{
    RestoreArguments restore;
    if (!ReadArguments(&restore)) {
        PrintLines({Usage});
        return static_cast<int>(RestoreResult::NotRun);
    }
    int exitCode = 0;
    if (HandOver(restore, &exitCode))
        return exitCode;
    // No instance runs: this process restores, with the settings' log file.
    LoadSettings();
    RestoreReport report = RestoreFolder(restore.folder, restore.since);
    PrintLines(report.lines);
    return static_cast<int>(report.result);
}

LRESULT OnRestoreRequest(const COPYDATASTRUCT* request)
{
    if (!request || request->dwData != RestoreRequestId || request->cbData < sizeof(wchar_t) ||
        request->cbData % sizeof(wchar_t) != 0)
        return 0;
    std::wstring text(static_cast<const wchar_t*>(request->lpData),
                      request->cbData / sizeof(wchar_t) - 1);
    size_t first = text.find(L'\n');
    size_t second = first == std::wstring::npos ? first : text.find(L'\n', first + 1);
    if (second == std::wstring::npos)
        return 0;
    std::wstring folder = text.substr(0, first);
    uint64_t since = wcstoull(text.substr(first + 1, second - first - 1).c_str(), nullptr, 10);
    std::wstring replyPath = text.substr(second + 1);
    RestoreReport report = RestoreFolder(folder, since);
    std::string bytes = Utf8(JoinLines(report.lines));
    HANDLE reply =
        CreateFileW(replyPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (reply != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(reply, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(reply);
    }
    return static_cast<LRESULT>(report.result) + 1;
}
