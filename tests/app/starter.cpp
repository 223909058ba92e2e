// lumistamp_starter SHOW-STATE PROGRAM
// Starts the program as a shortcut set to "Run: Minimized" or "start /min"
// does: CreateProcessW with STARTF_USESHOWWINDOW and the given show state (a
// number: 7 is SW_SHOWMINNOACTIVE, 0 SW_HIDE). Waits for the program to end and
// returns its exit code; 2 for a wrong call, 3 when it cannot be started.
//
// lumistamp_starter --stop
// Has a running starter end the program it started (a test that failed
// half-way); that starter then returns 4.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

static const wchar_t StopEventName[] = L"LumistampStarterStop";

static int StopRunningStarter()
{
    HANDLE stop = OpenEventW(EVENT_MODIFY_STATE, FALSE, StopEventName);
    if (!stop)
        return 0;  // none is running
    SetEvent(stop);
    CloseHandle(stop);
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && wcscmp(argv[1], L"--stop") == 0)
        return StopRunningStarter();
    if (argc != 3) {
        fputs("usage: lumistamp_starter SHOW-STATE PROGRAM | --stop\n", stderr);
        return 2;
    }
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, StopEventName);

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

    HANDLE waits[] = {info.hProcess, stop};
    DWORD exitCode = 3;
    if (WaitForMultipleObjects(stop ? 2 : 1, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
        GetExitCodeProcess(info.hProcess, &exitCode);
    } else {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 10000);
        exitCode = 4;
    }
    CloseHandle(info.hProcess);
    if (stop)
        CloseHandle(stop);
    return static_cast<int>(exitCode);
}
