#include "tests/soak/soak_program.h"

#include <psapi.h>

#include <atomic>
#include <thread>

#include "resources/resource_ids.h"
#include "tests/ui/window_driver.h"

namespace {

// The page of the dialog that holds the control.
HWND PageWith(HWND dialog, int controlId)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == L"#32770" && GetDlgItem(child, controlId))
            return child;
    return nullptr;
}

std::atomic<bool> Sampling{false};
std::thread Sampler;
MemoryFigures Sampled;

bool SampleMemory(HANDLE process, PROCESS_MEMORY_COUNTERS* counters)
{
    *counters = {};
    counters->cb = sizeof(*counters);
    return GetProcessMemoryInfo(process, counters, sizeof(*counters)) != 0;
}

void SampleUntilStopped(HANDLE process)
{
    while (Sampling.load()) {
        PROCESS_MEMORY_COUNTERS counters;
        if (SampleMemory(process, &counters)) {
            if (Sampled.samples++ == 0)
                Sampled.firstWorkingSet = counters.WorkingSetSize;
            Sampled.lastWorkingSet = counters.WorkingSetSize;
            Sampled.peakWorkingSet =
                std::max<uint64_t>(Sampled.peakWorkingSet, counters.WorkingSetSize);
            Sampled.systemPeakWorkingSet = counters.PeakWorkingSetSize;
        }
        Sleep(250);
    }
}

}  // namespace

HWND OpenSettingsDialog(HWND mainWindow, DWORD processId)
{
    if (!ChooseFromTrayMenu(mainWindow, processId, 1))
        return nullptr;
    return WaitForTopWindow(processId, 0, IsSettingsDialog, 15000);
}

bool CloseSettingsDialog(HWND dialog, int button, DWORD timeoutMs)
{
    ClickLater(GetDlgItem(dialog, button));
    return PollUntil([dialog] { return !IsWindow(dialog); }, timeoutMs);
}

bool ReadProgramView(HWND dialog, ProgramView* view)
{
    HWND tabs = GetDlgItem(dialog, IDC_TABS);
    SelectTab(tabs, 1);
    HWND statistics = PageWith(dialog, IDC_FOLDERS_MONITORED);
    if (!statistics)
        return false;
    // The counters are written at the page's paint, as after a monitor's rescan.
    HWND renamed = GetDlgItem(statistics, IDC_PICTURES_RENAMED);
    SendMessageW(statistics, WM_PAINT, 0, 0);
    if (!PollUntil([renamed] { return !TextOf(renamed).empty(); }, 10000))
        return false;
    view->foldersMonitored = TextOf(GetDlgItem(statistics, IDC_FOLDERS_MONITORED));
    view->picturesProcessed = TextOf(GetDlgItem(statistics, IDC_PICTURES_PROCESSED));
    view->picturesRenamed = TextOf(GetDlgItem(statistics, IDC_PICTURES_RENAMED));

    // The list is filled from the history when its tab is selected.
    SelectTab(tabs, 2);
    HWND events = PageWith(dialog, IDC_EVENT_LIST);
    if (!events)
        return false;
    view->events = ListTexts(GetDlgItem(events, IDC_EVENT_LIST));
    return true;
}

uint64_t WorkingSetOf(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters;
    return SampleMemory(process, &counters) ? counters.WorkingSetSize : 0;
}

void StartMemorySampler(HANDLE process)
{
    Sampled = {};
    Sampling = true;
    Sampler = std::thread(SampleUntilStopped, process);
}

MemoryFigures StopMemorySampler()
{
    Sampling = false;
    if (Sampler.joinable())
        Sampler.join();
    return Sampled;
}
