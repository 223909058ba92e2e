// lumistamp_starter SHOW-STATE PROGRAM
// Starts the program as a shortcut set to "Run: Minimized" or "start /min"
// does: CreateProcessW with STARTF_USESHOWWINDOW and the given show state (a
// number: 7 is SW_SHOWMINNOACTIVE, 0 SW_HIDE). Waits for the program to end and
// returns its exit code; 2 for a wrong call, 3 when it cannot be started.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        fputs("usage: lumistamp_starter SHOW-STATE PROGRAM\n", stderr);
        return 2;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(wcstol(argv[1], nullptr, 10));
    std::wstring program = argv[2];
    for (wchar_t& c : program)
        if (c == L'/')
            c = L'\\';
    std::wstring commandLine = L"\"" + program + L"\"";
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        fprintf(stderr, "cannot start the program, error %lu\n", GetLastError());
        return 3;
    }
    CloseHandle(info.hThread);
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD exitCode = 3;
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hProcess);
    return static_cast<int>(exitCode);
}
