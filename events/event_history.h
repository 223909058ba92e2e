// Event lines: every outcome of the program is reported through LogEvent, kept in
// EventHistory for the Events tab and, with the LogFile option on, appended to
// "Lumistamp.Log" in the user's local application data folder (log_file.h).
#pragma once

#include <list>
#include <string>

// Longest event line in characters; the "DD.MM.YYYY HH:MM:SS " stamp takes 20.
constexpr int MaxEventLineLength = 1023;

// Stamps the text with the local date and time and records it. Safe from any
// thread; never fails towards the caller.
void LogEvent(const wchar_t* text);

// printf-style convenience: formats the whole text (no cut but the line's own)
// and passes it to LogEvent.
void LogEventFormat(const wchar_t* format, ...);

// Every event line of this process, oldest first. Hold the history lock while
// reading or changing it.
extern std::list<std::wstring>& EventHistory;

void AcquireHistoryLock();
void ReleaseHistoryLock();

// Holds the history lock for one scope.
struct HistoryLockGuard {
    HistoryLockGuard() { AcquireHistoryLock(); }
    ~HistoryLockGuard() { ReleaseHistoryLock(); }
    HistoryLockGuard(const HistoryLockGuard&) = delete;
    HistoryLockGuard& operator=(const HistoryLockGuard&) = delete;
};

// Empties EventHistory under the lock (the Exit command).
void ClearEventHistory();

// True once a failure of the log file has been reported; stays set for the
// life of the process.
bool LogFileFailureWasReported();
