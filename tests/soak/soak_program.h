// The real Lumistamp.exe as the soak drives it: through its tray menu and its
// settings dialog, as a user would, and watched from outside (its memory).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/app/program_driver.h"
#include "tests/ui/window_driver.h"

// Opens the settings dialog through the tray menu; null when it did not come.
HWND OpenSettingsDialog(HWND mainWindow, DWORD processId);

// Presses the dialog's OK (or Cancel) and waits, bounded, until it is gone.
bool CloseSettingsDialog(HWND dialog, int button, DWORD timeoutMs);

struct ProgramView {
    std::vector<std::wstring> events;  // the Events tab's list, top to bottom
    std::wstring foldersMonitored, picturesProcessed, picturesRenamed;  // Statistics tab
};

// Reads the Events and Statistics tabs of an open settings dialog.
bool ReadProgramView(HWND dialog, ProgramView* view);

// Samples the process's memory in the background until stopped.
struct MemoryFigures {
    uint64_t firstWorkingSet = 0;
    uint64_t peakWorkingSet = 0;  // the largest sample
    uint64_t lastWorkingSet = 0;
    uint64_t systemPeakWorkingSet = 0;  // the peak the system kept for the process
    int samples = 0;
};

void StartMemorySampler(HANDLE process);
// The process's working set now; 0 when it cannot be read.
uint64_t WorkingSetOf(HANDLE process);
MemoryFigures StopMemorySampler();
