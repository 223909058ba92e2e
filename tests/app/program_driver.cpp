#include "tests/app/program_driver.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <cstring>
#include <sstream>
#include <vector>

#include "tests/support/scratch_folder.h"

static const wchar_t ProgramKey[] = L"SOFTWARE\\KX-Lumistamp";
static const wchar_t RunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
static const wchar_t AutostartName[] = L"KX_Lumistamp";
static const wchar_t SavedCopyParent[] = L"Software\\LumistampTests";

std::wstring ProgramPath()
{
    std::string path = LUMISTAMP_EXE;
    std::wstring wide(path.begin(), path.end());
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    return wide;
}

RunningProgram StartProgram(const std::wstring& currentDirectory)
{
    RunningProgram program;
    std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       currentDirectory.c_str(), &startup, &info)) {
        CloseHandle(info.hThread);
        program.process = info.hProcess;
        program.processId = info.dwProcessId;
    }
    return program;
}

bool RunningUnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::wstring ProgramLogFolder()
{
    PWSTR known = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known)))
        folder = std::wstring(known) + L"\\Lumistamp";
    CoTaskMemFree(known);
    return folder;
}

std::wstring ProgramLogPath() { return ProgramLogFolder() + L"\\Lumistamp.Log"; }

struct WindowSearch {
    DWORD processId;
    HWND found;
};

static BOOL CALLBACK FindProgramWindow(HWND window, LPARAM parameter)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[64] = {};
    GetClassNameW(window, className, ARRAYSIZE(className));
    if (processId == search->processId && wcscmp(className, L"LUMISTAMP") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForMainWindow(DWORD processId, DWORD timeoutMs)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        WindowSearch search{processId, nullptr};
        EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found || GetTickCount64() >= deadline)
            return search.found;
        Sleep(20);
    }
}

DWORD WaitForExit(const RunningProgram& program, DWORD timeoutMs)
{
    if (WaitForSingleObject(program.process, timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(program.process, &exitCode);
    return exitCode;
}

void EndProgram(RunningProgram& program)
{
    if (!program.process)
        return;
    if (WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(program.process, 1);
        WaitForSingleObject(program.process, 5000);
    }
    CloseHandle(program.process);
    program.process = nullptr;
}

void ResetProgramKey() { RegDeleteTreeW(HKEY_CURRENT_USER, ProgramKey); }

SavedProgramRegistry SaveProgramRegistry()
{
    SavedProgramRegistry saved;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, ProgramKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        saved.copy = std::wstring(SavedCopyParent) + L"\\saved-" +
                     std::to_wstring(GetCurrentProcessId()) + L"-" +
                     std::to_wstring(GetTickCount64());
        HKEY copy = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, saved.copy.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &copy, nullptr) == ERROR_SUCCESS) {
            RegCopyTreeW(key, nullptr, copy);
            RegCloseKey(copy);
        }
        RegCloseKey(key);
    }
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, RunKey, AutostartName, RRF_RT_ANY | RRF_NOEXPAND, nullptr,
                     nullptr, &size) == ERROR_SUCCESS) {
        saved.runData.resize(size);
        saved.runValueExisted = RegGetValueW(HKEY_CURRENT_USER, RunKey, AutostartName,
                                             RRF_RT_ANY | RRF_NOEXPAND, &saved.runType,
                                             saved.runData.data(), &size) == ERROR_SUCCESS;
        saved.runData.resize(size);
    }
    return saved;
}

void RestoreProgramRegistry(const SavedProgramRegistry& saved)
{
    ResetProgramKey();
    if (!saved.copy.empty()) {
        HKEY copy = nullptr;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, saved.copy.c_str(), 0, KEY_READ, &copy) ==
            ERROR_SUCCESS) {
            if (RegCreateKeyExW(HKEY_CURRENT_USER, ProgramKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr) == ERROR_SUCCESS) {
                RegCopyTreeW(copy, nullptr, key);
                RegCloseKey(key);
            }
            RegCloseKey(copy);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, saved.copy.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, SavedCopyParent);  // fails while others use it
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, RunKey, AutostartName);
    if (saved.runValueExisted)
        RegSetKeyValueW(HKEY_CURRENT_USER, RunKey, AutostartName, saved.runType,
                        saved.runData.data(), static_cast<DWORD>(saved.runData.size()));
}

void WriteOption(const wchar_t* name, DWORD value)
{
    RegSetKeyValueW(HKEY_CURRENT_USER, ProgramKey, name, REG_DWORD, &value, sizeof(value));
}

void WriteTextOption(const wchar_t* name, const std::wstring& text)
{
    RegSetKeyValueW(HKEY_CURRENT_USER, ProgramKey, name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void WriteFolders(const std::wstring& multiString)
{
    RegSetKeyValueW(HKEY_CURRENT_USER, ProgramKey, L"Folders", REG_MULTI_SZ, multiString.c_str(),
                    static_cast<DWORD>((multiString.size() + 1) * sizeof(wchar_t)));
}

std::vector<std::string> LogTexts(const std::wstring& logPath)
{
    std::vector<std::string> texts;
    std::istringstream lines(ReadFileText(logPath));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        texts.push_back(line.size() >= 20 ? line.substr(20) : line);
    }
    return texts;
}

void StoreCardCopySettings(const std::wstring& watchedFolder)
{
    ResetProgramKey();
    WriteOption(L"Autostart", 0);
    WriteOption(L"LogFile", 1);
    WriteOption(L"FileModifiedDate", 0);
    WriteFolders(watchedFolder + L'\0');
}

std::string ListedProblems(const std::vector<std::string>& problems)
{
    std::string text;
    for (const std::string& problem : problems)
        text += "\n  " + problem;
    return text;
}

std::wstring Unslashed(const char* path)
{
    std::wstring wide(path, path + strlen(path));
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    return wide;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

DWORD RunToEnd(std::wstring commandLine, DWORD limitMs)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return GetLastError();
    CloseHandle(info.hThread);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(info.hProcess, limitMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    else
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    return code;
}
