#include "rename/busy_files.h"

#include <algorithm>

void BeginBusyScan(BusyFiles& busy) { ++busy.scan; }

void EndBusyScan(BusyFiles& busy)
{
    std::erase_if(busy.byName, [&](const auto& entry) { return entry.second.scan != busy.scan; });
}

void NoteBusy(BusyFiles& busy, const std::wstring& name, ULONGLONG now)
{
    auto [entry, added] =
        busy.byName.try_emplace(name, BusyFile{now + FirstRetryMs, FirstRetryMs, 0, busy.scan, {}});
    BusyFile& file = entry->second;
    file.scan = busy.scan;
    if (!added && now >= file.due) {
        file.intervalMs = std::min(file.intervalMs * 2, LongestRetryMs);
        file.due = now + file.intervalMs;
    }
}

bool FirstReportOf(BusyFiles& busy, const std::wstring& name, DWORD error)
{
    auto found = busy.byName.find(name);
    if (found == busy.byName.end())
        return true;
    if (found->second.reportedError == error)
        return false;
    found->second.reportedError = error;
    return true;
}

void KeepCaptureTime(BusyFiles& busy, const std::wstring& name, const KnownCaptureTime& time)
{
    auto found = busy.byName.find(name);
    if (found != busy.byName.end())
        found->second.captureTime = time;
}

const KnownCaptureTime* KeptCaptureTime(const BusyFiles& busy, const std::wstring& name,
                                        uint64_t size, uint64_t lastWrite, uint64_t changeTime)
{
    auto found = busy.byName.find(name);
    if (found == busy.byName.end())
        return nullptr;
    const KnownCaptureTime& kept = found->second.captureTime;
    if (!kept.known || kept.size != size || kept.lastWrite != lastWrite ||
        kept.changeTime != changeTime)
        return nullptr;
    return &kept;
}

DWORD NextRetryWaitMs(const BusyFiles& busy, ULONGLONG now)
{
    if (busy.byName.empty())
        return INFINITE;
    ULONGLONG due = ~0ull;
    for (const auto& entry : busy.byName)
        due = std::min(due, entry.second.due);
    return due <= now ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(due - now, LongestRetryMs));
}
