#include "tests/ui/window_driver.h"

#include <commctrl.h>
#include <shlobj.h>

#include "resources/resource_ids.h"

bool PollUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(10);
    }
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

std::wstring TextOf(HWND window)
{
    // WM_GETTEXT reaches a control of another process too, unlike GetWindowTextW.
    LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied =
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

namespace {

struct TopWindowSearch {
    DWORD processId;
    DWORD threadId;
    const std::function<bool(HWND)>* matches;
    HWND found;
};

BOOL CALLBACK InspectTopWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<TopWindowSearch*>(parameter);
    DWORD processId = 0;
    DWORD threadId = GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || (search->threadId != 0 && threadId != search->threadId))
        return TRUE;
    if (!IsWindowVisible(window) || !(*search->matches)(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK FindTree(HWND window, LPARAM parameter)
{
    if (ClassOf(window) == WC_TREEVIEWW) {
        *reinterpret_cast<bool*>(parameter) = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindTopWindow(DWORD processId, DWORD threadId, const std::function<bool(HWND)>& matches)
{
    TopWindowSearch search{processId, threadId, &matches, nullptr};
    EnumWindows(InspectTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsSettingsDialog(HWND window)
{
    return ClassOf(window) == L"#32770" && GetDlgItem(window, IDC_TABS) != nullptr;
}

bool IsFolderPicker(HWND window)
{
    bool hasTree = false;
    if (ClassOf(window) == L"#32770")
        EnumChildWindows(window, FindTree, reinterpret_cast<LPARAM>(&hasTree));
    return hasTree;
}

bool HasChildWithText(HWND window, const std::wstring& text)
{
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (TextOf(child) == text || HasChildWithText(child, text))
            return true;
    return false;
}

HWND WaitForTopWindow(DWORD processId, DWORD threadId, const std::function<bool(HWND)>& matches,
                      DWORD timeoutMs)
{
    HWND found = nullptr;
    PollUntil([&] { return (found = FindTopWindow(processId, threadId, matches)) != nullptr; },
              timeoutMs);
    return found;
}

void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }

void ClickLater(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void SelectTab(HWND tabs, int index) { SendMessageW(tabs, TCM_SETCURFOCUS, index, 0); }

bool IsChecked(HWND checkBox) { return SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::vector<std::wstring> ListTexts(HWND listBox)
{
    std::vector<std::wstring> texts;
    LRESULT count = SendMessageW(listBox, LB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
        LRESULT length = SendMessageW(listBox, LB_GETTEXTLEN, index, 0);
        std::wstring text(static_cast<size_t>(length < 0 ? 0 : length) + 1, L'\0');
        LRESULT copied =
            SendMessageW(listBox, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied < 0 ? 0 : static_cast<size_t>(copied));
        texts.push_back(text);
    }
    return texts;
}

static bool WaitUntilGone(HWND window)
{
    return PollUntil([window] { return !IsWindow(window) || !IsWindowVisible(window); }, 30000);
}

// The path for a message to a window of another process: a copy in that
// process's memory, freed by the caller with VirtualFreeEx.
static void* CopyIntoProcessOf(HWND window, const std::wstring& path, HANDLE* process)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    *process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId);
    if (!*process)
        return nullptr;
    size_t bytes = (path.size() + 1) * sizeof(wchar_t);
    void* copy = VirtualAllocEx(*process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    if (copy && !WriteProcessMemory(*process, copy, path.c_str(), bytes, nullptr)) {
        VirtualFreeEx(*process, copy, 0, MEM_RELEASE);
        copy = nullptr;
    }
    return copy;
}

// The name the picker's edit box shows for the selected folder: its last
// component, or for a drive's root a label that holds "X:".
static bool ShowsSelected(HWND edit, const std::wstring& path)
{
    std::wstring shown = TextOf(edit);
    std::wstring last = path.substr(path.find_last_of(L'\\') + 1);
    if (!last.empty())
        return shown == last;
    return !shown.empty() && shown.find(path.substr(0, 2)) != std::wstring::npos;
}

bool PickInFolderPicker(HWND picker, const std::wstring& path)
{
    // The picker's own selection message, as a click on the folder in its
    // tree selects it (Wine ignores a path typed into the edit box). A picker
    // whose tree is still being filled may not find the folder yet (seen on a
    // fresh Wine prefix): the selection is asked again until the edit box
    // shows the folder.
    HWND edit = FindWindowExW(picker, nullptr, L"Edit", nullptr);
    if (!edit)
        return false;
    DWORD processId = 0;
    GetWindowThreadProcessId(picker, &processId);
    HANDLE process = nullptr;
    void* copy = nullptr;
    if (processId != GetCurrentProcessId()) {
        copy = CopyIntoProcessOf(picker, path, &process);
        if (!copy) {
            if (process)
                CloseHandle(process);
            return false;
        }
    }

    // On a loaded machine the tree may take many seconds to fill: the bound is
    // generous, and a picker that answers at once costs nothing of it.
    bool selected = false;
    ULONGLONG deadline = GetTickCount64() + 60000;
    while (!selected && GetTickCount64() < deadline) {
        SendMessageW(picker, BFFM_SETSELECTIONW, TRUE,
                     reinterpret_cast<LPARAM>(copy ? copy : const_cast<wchar_t*>(path.c_str())));
        selected = PollUntil([&] { return ShowsSelected(edit, path); }, 1000);
    }
    if (copy) {
        VirtualFreeEx(process, copy, 0, MEM_RELEASE);
        CloseHandle(process);
    }
    if (!selected)
        return false;
    ClickLater(GetDlgItem(picker, IDOK));
    return WaitUntilGone(picker);
}

bool CancelFolderPicker(HWND picker)
{
    ClickLater(GetDlgItem(picker, IDCANCEL));
    return WaitUntilGone(picker);
}

bool ChooseFromTrayMenu(HWND mainWindow, DWORD processId, int position)
{
    const UINT trayCallback = WM_USER + 1;  // the program's tray icon message and id
    const UINT trayIconId = 1001;
    PostMessageW(mainWindow, trayCallback, trayIconId, WM_RBUTTONDOWN);
    HWND menu = WaitForTopWindow(
        processId, 0, [](HWND window) { return ClassOf(window) == L"#32768"; }, 15000);
    if (!menu)
        return false;
    for (int step = 0; step < position; ++step)
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    return PollUntil([menu] { return !IsWindow(menu) || !IsWindowVisible(menu); }, 15000);
}
