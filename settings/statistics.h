// The process-wide counters shown on the Statistics page, and the page's window
// that monitor threads ask to repaint after a rescan. Every access is atomic.
#pragma once

#include <atomic>
#include <cstdint>

struct StatisticsRecord {
    std::atomic<int32_t> FoldersMonitored{0};
    std::atomic<int32_t> PicturesProcessed{0};
    std::atomic<int32_t> PicturesRenamed{0};
};

extern StatisticsRecord Statistics;

// The Statistics page's window while it is shown, else null. Kept as an opaque
// pointer so that this header stays free of Windows headers.
extern std::atomic<void*> StatisticsPageWindow;
