// Entry point: one instance per user session, the hidden main window, and the
// message loop that runs until Exit.
#include <windows.h>
#include <commctrl.h>

#include "app/app_state.h"
#include "app/restore_command.h"
#include "app/tray_icon.h"
#include "events/error_box.h"
#include "events/event_history.h"
#include "events/text_format.h"
#include "resources/resource_ids.h"

static const wchar_t CannotCreateMutex[] = L"Error %d creating Mutex. Program cannot start.";
static const wchar_t AlreadyRunning[] =
    L"Lumistamp is already running. Only 1 instance is allowed at the same time.";

// A start that could not make its window ends with this code, so that a
// script or an installer that started the program can tell.
static const int CannotStartExitCode = 1;

wchar_t TitleText[1024];
wchar_t ClassName[1024];

static void RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadProgramIcon(instance, LIM_LARGE);
    windowClass.hIconSm = LoadProgramIcon(instance, LIM_SMALL);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = ClassName;
    RegisterClassExW(&windowClass);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showState)
{
    if (IsRestoreCommand())
        return RunRestoreCommand();
    // The name has no session prefix: each logged-on user runs one instance.
    InstanceMutex = CreateMutexW(nullptr, TRUE, L"Lumistamp");
    if (!InstanceMutex) {
        ShowErrorBox(FormatText(CannotCreateMutex, static_cast<int>(GetLastError())).c_str());
        return 0;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ShowErrorBox(AlreadyRunning);
        return 0;
    }

    LoadStringW(instance, IDS_APP_TITLE, TitleText, ARRAYSIZE(TitleText));
    LoadStringW(instance, IDC_LUMISTAMP, ClassName, ARRAYSIZE(ClassName));
    RegisterMainWindowClass(instance);

    // Settings are not loaded yet: this line never reaches the log file.
    LogEvent(L"Starting Lumistamp");

    if (!InitInstance(instance, showState))
        return CannotStartExitCode;

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    CloseHandle(InstanceMutex);
    return static_cast<int>(message.wParam);
}
