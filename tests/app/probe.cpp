// lumistamp_probe: looks, from inside the Wine prefix, at a Lumistamp that
// someone else started (its installer, its Start menu shortcut).
//
// lumistamp_probe watch SECONDS
//   Waits at most SECONDS for the program's hidden window (class LUMISTAMP),
//   then at most SECONDS for its process to end, and returns its exit code:
//   3 when no window came, 4 when its process cannot be opened, 5 when it did
//   not end in time.
//
// lumistamp_probe window SECONDS
//   Waits at most SECONDS for a window of the program's class: 0 once there
//   is one, 3 when none came.
//
// lumistamp_probe stubborn SECONDS
//   A window of the program's class that ignores every command, as a copy that
//   hangs would: lives until "lumistamp_probe stop", at most SECONDS. Returns 0.
//
// lumistamp_probe stop
//   Ends a running stubborn window.
//
// lumistamp_probe boxes
//   Prints caption and text of each message box showing, one a line
//   ("caption: text"), closes it, and returns their count.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

static const wchar_t ProgramClass[] = L"LUMISTAMP";
static const wchar_t StopEventName[] = L"LumistampProbeStop";
// The static control holding a message box's text.
constexpr int MessageBoxTextId = 0xFFFF;

// Polls for the program's window for at most the given time; null when none came.
static HWND WaitForProgramWindow(DWORD seconds)
{
    ULONGLONG deadline = GetTickCount64() + seconds * 1000ull;
    HWND window = nullptr;
    while (!(window = FindWindowW(ProgramClass, nullptr)) && GetTickCount64() < deadline)
        Sleep(50);
    return window;
}

static int Watch(DWORD seconds)
{
    HWND window = WaitForProgramWindow(seconds);
    if (!window)
        return 3;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return 4;
    DWORD exitCode = 5;
    if (WaitForSingleObject(process, seconds * 1000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);
    return static_cast<int>(exitCode);
}

static LRESULT CALLBACK StubbornProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND || message == WM_CLOSE)
        return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

static int Stubborn(DWORD seconds)
{
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, StopEventName);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = StubbornProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = ProgramClass;
    RegisterClassExW(&windowClass);
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, ProgramClass, L"Lumistamp", WS_POPUP, 0, 0, 0,
                                  0, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window || !stop)
        return 2;
    ULONGLONG deadline = GetTickCount64() + seconds * 1000ull;
    for (;;) {
        ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            break;
        DWORD wait = MsgWaitForMultipleObjects(1, &stop, FALSE, static_cast<DWORD>(deadline - now),
                                               QS_ALLINPUT);
        if (wait != WAIT_OBJECT_0 + 1)
            break;  // stopped, or the time is up
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    DestroyWindow(window);
    CloseHandle(stop);
    return 0;
}

static int Stop()
{
    HANDLE stop = OpenEventW(EVENT_MODIFY_STATE, FALSE, StopEventName);
    if (!stop)
        return 0;  // none is running
    SetEvent(stop);
    CloseHandle(stop);
    return 0;
}

static std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = {};
    if (window)
        GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

static BOOL CALLBACK CloseBox(HWND window, LPARAM parameter)
{
    wchar_t className[16] = {};
    GetClassNameW(window, className, ARRAYSIZE(className));
    if (wcscmp(className, L"#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    HWND text = GetDlgItem(window, MessageBoxTextId);
    if (!text)
        return TRUE;
    wprintf(L"%ls: %ls\n", WindowText(window).c_str(), WindowText(text).c_str());
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ++*reinterpret_cast<int*>(parameter);
    return TRUE;
}

static int Boxes()
{
    int count = 0;
    EnumWindows(CloseBox, reinterpret_cast<LPARAM>(&count));
    fflush(stdout);
    return count;
}

int wmain(int argc, wchar_t** argv)
{
    std::wstring command = argc >= 2 ? argv[1] : L"";
    DWORD seconds = argc == 3 ? wcstoul(argv[2], nullptr, 10) : 0;
    if (command == L"watch" && seconds > 0)
        return Watch(seconds);
    if (command == L"window" && seconds > 0)
        return WaitForProgramWindow(seconds) ? 0 : 3;
    if (command == L"stubborn" && seconds > 0)
        return Stubborn(seconds);
    if (command == L"stop" && argc == 2)
        return Stop();
    if (command == L"boxes" && argc == 2)
        return Boxes();
    fputs("usage: lumistamp_probe watch|window|stubborn SECONDS | stop | boxes\n", stderr);
    return 2;
}
