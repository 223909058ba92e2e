// Runs the settings dialog as the tray menu does (DialogBoxParamW with template
// 130 and SettingsDialogProc), on a user-interface thread of its own, so that a
// test drives it from outside through window_driver.h like a user.
#pragma once

#include <windows.h>

#include <optional>
#include <set>
#include <thread>

class DialogRun {
public:
    // The pages (tab indexes) whose window creation is refused, as when the
    // system cannot create them.
    explicit DialogRun(std::set<int> refusedPages = {});
    // Cancels a dialog still open and waits for its thread.
    ~DialogRun();
    DialogRun(const DialogRun&) = delete;
    DialogRun& operator=(const DialogRun&) = delete;

    // The dialog once it is on screen (waited for, bounded); null if it never came.
    HWND Dialog() const { return dialog_; }
    DWORD ThreadId() const { return threadId_; }
    HWND Control(int id) const { return GetDlgItem(dialog_, id); }

    // Waits (bounded) for the dialog to end; its result, or none if it did not.
    std::optional<INT_PTR> WaitForEnd(DWORD timeoutMs = 60000);

private:
    void Run();

    std::set<int> refused_;
    HANDLE started_ = nullptr;
    HANDLE ended_ = nullptr;
    DWORD threadId_ = 0;
    HWND dialog_ = nullptr;
    INT_PTR result_ = 0;
    std::thread thread_;
};
