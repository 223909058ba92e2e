#include "tests/support/message_box_catcher.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace {

// The id the system gives a message box's text control.
constexpr int MessageBoxTextId = 0xFFFF;
constexpr DWORD PollIntervalMs = 10;

std::mutex CatcherLock;
std::vector<CapturedBox> Captured;
std::set<DWORD> WatchedProcesses;
std::set<HWND> Dismissed;  // pressed OK, possibly not gone yet
std::set<HWND> Held;       // captured and left open
bool Holding = false;
HANDLE StopSignal = nullptr;
std::thread Catcher;

std::wstring WindowText(HWND window)
{
    wchar_t text[4096] = {};
    GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

bool IsMessageBox(HWND window)
{
    wchar_t className[32] = {};
    GetClassNameW(window, className, ARRAYSIZE(className));
    return wcscmp(className, L"#32770") == 0 && IsWindowVisible(window) &&
           GetDlgItem(window, MessageBoxTextId) != nullptr;
}

BOOL CALLBACK InspectWindow(HWND window, LPARAM)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    {
        std::lock_guard lock(CatcherLock);
        if (!WatchedProcesses.count(processId) || Dismissed.count(window) || Held.count(window))
            return TRUE;
    }
    if (!IsMessageBox(window))
        return TRUE;

    CapturedBox box{WindowText(window), WindowText(GetDlgItem(window, MessageBoxTextId))};
    std::lock_guard lock(CatcherLock);
    Captured.push_back(box);
    if (Holding) {
        Held.insert(window);
    } else {
        Dismissed.insert(window);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    return TRUE;
}

void ForgetClosedBoxes()
{
    std::lock_guard lock(CatcherLock);
    for (auto it = Dismissed.begin(); it != Dismissed.end();)
        it = IsWindow(*it) ? std::next(it) : Dismissed.erase(it);
}

void CatchLoop()
{
    while (WaitForSingleObject(StopSignal, PollIntervalMs) == WAIT_TIMEOUT) {
        EnumWindows(InspectWindow, 0);
        ForgetClosedBoxes();
    }
}

}  // namespace

void StartMessageBoxCatcher()
{
    {
        std::lock_guard lock(CatcherLock);
        WatchedProcesses.insert(GetCurrentProcessId());
    }
    StopSignal = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Catcher = std::thread(CatchLoop);
}

void StopMessageBoxCatcher()
{
    SetEvent(StopSignal);
    Catcher.join();
    CloseHandle(StopSignal);
}

void CatchBoxesOfProcess(unsigned long processId)
{
    std::lock_guard lock(CatcherLock);
    WatchedProcesses.insert(processId);
}

void HoldMessageBoxes()
{
    std::lock_guard lock(CatcherLock);
    Holding = true;
}

void ReleaseMessageBoxes()
{
    std::lock_guard lock(CatcherLock);
    Holding = false;
    for (HWND window : Held) {
        Dismissed.insert(window);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    Held.clear();
}

std::vector<CapturedBox> TakeCapturedBoxes()
{
    std::lock_guard lock(CatcherLock);
    return std::exchange(Captured, {});
}

bool WaitForCapturedBoxes(size_t count, unsigned timeoutMs)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        {
            std::lock_guard lock(CatcherLock);
            if (Captured.size() >= count)
                return true;
        }
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(PollIntervalMs);
    }
}
