#include "tests/ui/dialog_run.h"

#include "resources/resource_ids.h"
#include "tests/ui/window_driver.h"
#include "ui/settings_dialog.h"
#include "ui/ui_records.h"

namespace {

// The hook sees the four pages created one after the other, in tab order.
const std::set<int>* RefusedPages = nullptr;
int PagesSeen = 0;

LRESULT CALLBACK RefusePageCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        HWND window = reinterpret_cast<HWND>(wParam);
        const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        if (ClassOf(window) == L"#32770" && (create->style & WS_CHILD) &&
            RefusedPages->count(PagesSeen++))
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

DialogRun::DialogRun(std::set<int> refusedPages) : refused_(std::move(refusedPages))
{
    started_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ended_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ModuleInstance = GetModuleHandleW(nullptr);
    thread_ = std::thread([this] { Run(); });
    WaitForSingleObject(started_, INFINITE);
    dialog_ = WaitForTopWindow(GetCurrentProcessId(), threadId_, IsSettingsDialog, 20000);
}

void DialogRun::Run()
{
    threadId_ = GetCurrentThreadId();
    HHOOK hook = nullptr;
    if (!refused_.empty()) {
        RefusedPages = &refused_;
        PagesSeen = 0;
        hook = SetWindowsHookExW(WH_CBT, RefusePageCreation, nullptr, threadId_);
    }
    SetEvent(started_);

    LoadDialogControls();
    result_ = DialogBoxParamW(ModuleInstance, MAKEINTRESOURCEW(IDD_SETTINGS), nullptr,
                              SettingsDialogProc, 0);
    if (hook)
        UnhookWindowsHookEx(hook);
    SetEvent(ended_);
}

std::optional<INT_PTR> DialogRun::WaitForEnd(DWORD timeoutMs)
{
    if (WaitForSingleObject(ended_, timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    return result_;
}

DialogRun::~DialogRun()
{
    // A test that failed half-way leaves the dialog open: Cancel it, or end its
    // modal loop as the program's quit message would.
    if (WaitForSingleObject(ended_, 0) != WAIT_OBJECT_0) {
        if (dialog_)
            PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
        if (WaitForSingleObject(ended_, 10000) != WAIT_OBJECT_0)
            PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    }
    thread_.join();
    for (HWND& page : PageWindows)
        page = nullptr;
    CloseHandle(started_);
    CloseHandle(ended_);
}
