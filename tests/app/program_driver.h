// Starts the real Lumistamp.exe and watches it from outside, as a user's
// system would: its process, its windows, its files and its registry key.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The program under test (LUMISTAMP_EXE, as this platform sees it).
std::wstring ProgramPath();

struct RunningProgram {
    HANDLE process = nullptr;
    DWORD processId = 0;
};

// Starts the program with the given current directory.
RunningProgram StartProgram(const std::wstring& currentDirectory);

// Whether this process runs under Wine, whose prefix the test run made and
// throws away. The program's log file is in the user's own local application
// data folder: tests that have the real program write it run only there, and
// skip elsewhere, never writing into a real user's folder.
bool RunningUnderWine();

// The log file's lines without their time stamps.
std::vector<std::string> LogTexts(const std::wstring& logPath);

// The program's log file as the program finds it: "Lumistamp\Lumistamp.Log"
// under this user's local application data known folder.
std::wstring ProgramLogFolder();
std::wstring ProgramLogPath();

// Waits (bounded) for the program's hidden main window; null when it never came.
HWND WaitForMainWindow(DWORD processId, DWORD timeoutMs);

// Waits (bounded) for the process to end; returns its exit code, or
// STILL_ACTIVE when it did not end in time.
DWORD WaitForExit(const RunningProgram& program, DWORD timeoutMs);

// Ends a program still running (after a failed test) and closes its handle.
void EndProgram(RunningProgram& program);

// The program's key in this prefix's HKEY_CURRENT_USER, emptied: the run gets
// exactly the settings a test writes.
void ResetProgramKey();
void WriteOption(const wchar_t* name, DWORD value);
void WriteTextOption(const wchar_t* name, const std::wstring& text);
void WriteFolders(const std::wstring& multiString);

// What a test that starts the real program changes in this user's own
// registry, kept to be put back: a copy of the program's key (under
// Software\LumistampTests) and the Run value. On Windows the program reads the
// user's real key, which no redirection reaches from another process.
struct SavedProgramRegistry {
    std::wstring copy;  // empty: the key did not exist
    bool runValueExisted = false;
    DWORD runType = REG_NONE;
    std::vector<BYTE> runData;
};
SavedProgramRegistry SaveProgramRegistry();
// Puts the key and the Run value back as they were, and removes the copy.
void RestoreProgramRegistry(const SavedProgramRegistry& saved);

// The settings of a card-copy run: the program's key emptied, one watched
// folder, the log file on, autostart and the file-time fallback off.
void StoreCardCopySettings(const std::wstring& watchedFolder);

// A path CMake wrote (forward slashes) as Windows writes it.
std::wstring Unslashed(const char* path);

// ASCII text (paths and lines of the tests) as bytes.
std::string Narrow(const std::wstring& text);

// Runs a helper program (the card copier) to its end; its exit code,
// STILL_ACTIVE when it did not end within the limit (it is ended then), or
// the error when it could not start.
DWORD RunToEnd(std::wstring commandLine, DWORD limitMs);

// The problems a run found, one an indented line, for a failure message.
std::string ListedProblems(const std::vector<std::string>& problems);
