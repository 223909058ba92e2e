// A folder's memory of busy files to retry: pictures and raw files that
// another program held open when a scan met them. Closing a file is no
// file-name change, so nothing would wake the monitor when it becomes free;
// instead it scans again on a schedule that starts at the rescan delay and
// doubles up to a minute, so that a file held for hours costs a listing a
// minute. The failure line of a busy file is logged once while its cause lasts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>

#include "capture/capture_time.h"
#include "capture/in_use.h"

constexpr DWORD FirstRetryMs = 2000;
constexpr DWORD LongestRetryMs = 60000;

// A picture whose rename was refused keeps the capture time it was read for,
// with what the listing showed of the file then: a refusal that lasts (a
// write-protected card, a read-only share) then costs a rename a retry, not
// another read of the picture from the card or the network.
struct KnownCaptureTime {
    bool known = false;
    CaptureTime time = {};
    bool fromFileTime = false;
    uint64_t size = 0;
    uint64_t lastWrite = 0;
    uint64_t changeTime = 0;
};

struct BusyFile {
    ULONGLONG due;        // tick count of the next retry
    DWORD intervalMs;     // the wait before it
    DWORD reportedError;  // the error already logged for it, 0 if none
    uint64_t scan;        // the last scan that found it busy
    KnownCaptureTime captureTime;
};

// Bound: one entry per file the last scan found busy. Every scan notes again
// the files still busy; the others are dropped when it ends, so no retry is
// ever due for a file that is free, gone or no longer looked at.
struct BusyFiles {
    std::unordered_map<std::wstring, BusyFile> byName;
    uint64_t scan = 0;
};

// Brackets one scan: files not noted busy in between are forgotten at its end.
void BeginBusyScan(BusyFiles& busy);
void EndBusyScan(BusyFiles& busy);

// Notes that the named file was busy at a scan made at now: a new one is
// retried after FirstRetryMs; one found busy again at or after its retry
// waits twice as long, up to LongestRetryMs.
void NoteBusy(BusyFiles& busy, const std::wstring& name, ULONGLONG now);

// True the first time error is reported for the busy file (call NoteBusy
// first); false while the same error lasts.
bool FirstReportOf(BusyFiles& busy, const std::wstring& name, DWORD error);

// Keeps the capture time read for a busy file (call NoteBusy first), with the
// size and times it was listed with.
void KeepCaptureTime(BusyFiles& busy, const std::wstring& name, const KnownCaptureTime& time);

// The capture time kept for the busy file, when it is still listed with the
// same size and times; null when there is none or the file changed since.
const KnownCaptureTime* KeptCaptureTime(const BusyFiles& busy, const std::wstring& name,
                                        uint64_t size, uint64_t lastWrite, uint64_t changeTime);

// How long the monitor may wait for a change before the next retry is due:
// INFINITE when no file is busy.
DWORD NextRetryWaitMs(const BusyFiles& busy, ULONGLONG now);
