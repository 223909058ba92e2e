// What a monitor thread is given when it starts; it owns all of it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "monitor/folder_holds.h"

struct MonitorStart {
    std::wstring path;  // the watched folder, as listed in the settings
    HANDLE stop;        // the monitor's own handle of its set's stop signal
    uint32_t set;       // the set it belongs to, for FoldersMonitored
    FolderHold* hold;   // how device notices reach it
};

// Adds change to FoldersMonitored while the monitor's set is the current one.
void CountMonitor(uint32_t set, int change);
