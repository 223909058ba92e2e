// How long the Events tab takes to fill with a long event history. Runs the
// real settings dialog (modeless, in this process) over 100,000 event lines and
// compares FillEventsList with the floor (the list box's own cost of taking the
// lines) and with plainer ways of filling the same list box.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "events/event_history.h"
#include "resources/resource_ids.h"
#include "ui/pages.h"
#include "ui/settings_dialog.h"
#include "ui/ui_records.h"

namespace {

constexpr int LineCount = 100000;
constexpr int Runs = 7;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// The median of a few runs of the fill, after one run that is not counted; the
// list box is emptied before each.
double Measure(HWND list, const std::function<void()>& fill)
{
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    fill();
    std::vector<double> times;
    for (int run = 0; run < Runs; ++run) {
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        fill();
        QueryPerformanceCounter(&end);
        if (SendMessageW(list, LB_GETCOUNT, 0, 0) != LineCount)
            std::printf("warning: the list holds %d lines\n",
                        static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)));
        times.push_back(Milliseconds(start, end));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Event lines as a busy folder produces them: renames with paths of varying
// length, so a new longest line turns up now and then.
void LogTypicalHistory()
{
    ClearEventHistory();
    for (int index = 0; index < LineCount; ++index) {
        wchar_t text[256];
        int depth = (index * 7919) % 23;
        swprintf(text, ARRAYSIZE(text),
                 L"Renamed C:\\Pictures\\%.*ls\\DSC_%05d.JPG to 20230401_%06d.JPG", depth,
                 L"card-import\\2023\\trip-a", index % 100000, index % 240000);
        LogEvent(text);
    }
}

// The worst case for measuring only new maxima: every line is longer than all
// before it, until the line limit is reached (then the lines stay that long).
void LogGrowingHistory()
{
    ClearEventHistory();
    for (int index = 0; index < LineCount; ++index) {
        std::wstring text = L"Renamed " + std::wstring(std::min(index, 1000), L'x');
        LogEvent(text.c_str());
    }
}

std::vector<std::wstring> HistoryCopy()
{
    HistoryLockGuard lock;
    return std::vector<std::wstring>(EventHistory.begin(), EventHistory.end());
}

int LineWidth(HWND list, const std::wstring& line)
{
    HDC listContext = GetDC(list);
    HDC memory = CreateCompatibleDC(listContext);
    HGDIOBJ previous =
        SelectObject(memory, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
    RECT bounds = {0, 0, 0, 0};
    DrawTextW(memory, line.c_str(), static_cast<int>(line.size()), &bounds,
              DT_CALCRECT | DT_NOCLIP | DT_SINGLELINE);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(list, listContext);
    return bounds.right - bounds.left;
}

const char* Platform()
{
    using WineVersion = const char*(__cdecl*)();
    FARPROC found = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
    auto version = reinterpret_cast<WineVersion>(reinterpret_cast<void*>(found));
    static char text[64];
    if (version)
        std::snprintf(text, sizeof(text), "Wine %s", version());
    else
        std::snprintf(text, sizeof(text), "Windows");
    return text;
}

void Row(const char* name, double ms, double floor)
{
    std::printf("| %-58s | %9.1f | %6.2f |\n", name, ms, ms / floor);
}

}  // namespace

int wmain()
{
    ModuleInstance = GetModuleHandleW(nullptr);
    LoadDialogControls();
    HWND dialog = CreateDialogParamW(ModuleInstance, MAKEINTRESOURCEW(IDD_SETTINGS), nullptr,
                                     SettingsDialogProc, 0);
    if (!dialog || !PageWindows[EventsPage]) {
        std::printf("cannot create the settings dialog\n");
        return 1;
    }
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    HWND list = GetDlgItem(PageWindows[EventsPage], IDC_EVENT_LIST);
    HWND tabs = GetDlgItem(dialog, IDC_TABS);

    // The floor: the list box takes every line, nothing else happens.
    auto floorFill = [list](const std::vector<std::wstring>& lines) {
        size_t characters = 0;
        for (const std::wstring& line : lines)
            characters += line.size() + 1;
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        SendMessageW(list, LB_INITSTORAGE, lines.size(), characters * sizeof(wchar_t));
        for (const std::wstring& line : lines)
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    };

    LogTypicalHistory();
    std::vector<std::wstring> lines = HistoryCopy();
    double floor = Measure(list, [&] { floorFill(lines); });
    double fill = Measure(list, [] { FillEventsList(); });
    double selected = Measure(list, [&] {
        SendMessageW(tabs, TCM_SETCURFOCUS, SettingsPage, 0);
        SendMessageW(tabs, TCM_SETCURFOCUS, EventsPage, 0);
        UpdateWindow(dialog);
        UpdateWindow(PageWindows[EventsPage]);
    });
    SendMessageW(tabs, TCM_SETCURFOCUS, SettingsPage, 0);  // the others fill a hidden page
    double plain = Measure(list, [&] {
        int longest = 0;
        for (const std::wstring& line : lines) {
            if (static_cast<int>(line.size()) > longest) {
                longest = static_cast<int>(line.size());
                SendMessageW(list, LB_SETHORIZONTALEXTENT, LineWidth(list, line), 0);
            }
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        }
    });
    double everyLine = Measure(list, [&] {
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        int widest = 0;
        for (const std::wstring& line : lines) {
            widest = std::max(widest, LineWidth(list, line));
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        }
        SendMessageW(list, LB_SETHORIZONTALEXTENT, widest, 0);
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    });

    LogGrowingHistory();
    std::vector<std::wstring> growingLines = HistoryCopy();
    double growingFloor = Measure(list, [&] { floorFill(growingLines); });
    double growing = Measure(list, [] { FillEventsList(); });

    std::printf("Events tab fill, %d event lines, median of %d runs, on %s\n", LineCount, Runs,
                Platform());
    std::printf("(no other program fills this list: the comparison is the floor and plainer "
                "fills of the same list box)\n\n");
    std::printf("| %-58s | %9s | %6s |\n", "typical history (renames, paths of varying length)",
                "ms", "ratio");
    std::printf("|%s|%s|%s|\n", std::string(60, '-').c_str(), std::string(11, '-').c_str(),
                std::string(8, '-').c_str());
    Row("floor: the list box takes the lines (no redraw, reserved)", floor, floor);
    Row("Lumistamp: FillEventsList", fill, floor);
    Row("Lumistamp: Events tab selected until painted", selected, floor);
    Row("plain: redraw on, no reserved storage, new maxima measured", plain, floor);
    Row("plain: every line measured (no redraw, no reserve)", everyLine, floor);
    std::printf("\n| %-58s | %9s | %6s |\n", "worst case (each line longer, up to the line limit)",
                "ms", "ratio");
    std::printf("|%s|%s|%s|\n", std::string(60, '-').c_str(), std::string(11, '-').c_str(),
                std::string(8, '-').c_str());
    Row("floor: the list box takes the lines (no redraw, reserved)", growingFloor, growingFloor);
    Row("Lumistamp: FillEventsList", growing, growingFloor);

    // Last, the one figure a caller takes: what the user waits for.
    std::printf("\nEvents tab with %d lines, selected until painted: %.1f ms\n", LineCount,
                selected);

    DestroyWindow(dialog);
    return 0;
}
