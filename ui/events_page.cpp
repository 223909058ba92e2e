// The Events page (template 132): a list box of the event history, filled by the
// dialog each time the Events tab is selected. The page itself only offers the
// list's right-click menu (restore_dialog.h).
#include <windows.h>

#include "events/event_history.h"
#include "resources/resource_ids.h"
#include "ui/pages.h"
#include "ui/restore_dialog.h"
#include "ui/settings_dialog.h"
#include "ui/ui_records.h"

INT_PTR CALLBACK EventsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND list = GetDlgItem(page, IDC_EVENT_LIST);
    if (message != WM_CONTEXTMENU || reinterpret_cast<HWND>(wParam) != list)
        return FALSE;
    RunEventsListMenu(page, list, lParam);
    return TRUE;
}

// The line's width in pixels in the list box's own font, on a memory context
// of its own for each measurement.
static int LineWidth(HWND list, const std::wstring& line)
{
    HDC listContext = GetDC(list);
    HDC memory = CreateCompatibleDC(listContext);
    HGDIOBJ previousFont =
        SelectObject(memory, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
    RECT bounds = {0, 0, 0, 0};
    DrawTextW(memory, line.c_str(), static_cast<int>(line.size()), &bounds,
              DT_CALCRECT | DT_NOCLIP | DT_SINGLELINE);
    SelectObject(memory, previousFont);
    DeleteDC(memory);
    ReleaseDC(list, listContext);
    return bounds.right - bounds.left;
}

void FillEventsList()
{
    HWND list = GetDlgItem(PageWindows[EventsPage], IDC_EVENT_LIST);
    if (!list)
        return;

    // Drawn once at the end, not after every line; storage taken in one go.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    {
        HistoryLockGuard lock;
        size_t characters = 0;
        for (const std::wstring& line : EventHistory)
            characters += line.size() + 1;
        SendMessageW(list, LB_INITSTORAGE, EventHistory.size(),
                     static_cast<LPARAM>(characters * sizeof(wchar_t)));

        // Only a line with more characters than all before it is measured: the
        // extent follows the longest line, the first of equals.
        size_t longest = 0;
        for (const std::wstring& line : EventHistory) {
            if (line.size() > longest) {
                longest = line.size();
                int extent = LineWidth(list, line) + 2 * GetSystemMetrics(SM_CXEDGE);
                SendMessageW(list, LB_SETHORIZONTALEXTENT, extent, 0);
            }
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        }
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}
