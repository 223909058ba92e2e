#include "events/event_history.h"

#include <windows.h>
#include <strsafe.h>

#include <cstdarg>
#include <ctime>

#include "events/error_box.h"
#include "events/log_file.h"
#include "events/text_format.h"
#include "settings/settings.h"

// Allocated once and never freed: monitor threads may still log while the
// process exits, after static destructors would have run.
std::list<std::wstring>& EventHistory = *new std::list<std::wstring>;

// Guards EventHistory, the log file and LogFileFailureReported together, so the
// file holds the lines in history order and only one thread has it open.
static SRWLOCK HistoryLock = SRWLOCK_INIT;
static bool LogFileFailureReported = false;

static const wchar_t CannotOpenLogFile[] =
    L"Cannot open File to save Event History, Error %d. The last Event is not saved to file.";
static const wchar_t CannotWriteLogFile[] =
    L"Cannot write to File to save Event History, Error %d.";

void AcquireHistoryLock() { AcquireSRWLockExclusive(&HistoryLock); }
void ReleaseHistoryLock() { ReleaseSRWLockExclusive(&HistoryLock); }

static std::wstring MakeEventLine(const wchar_t* text)
{
    __time64_t now = _time64(nullptr);
    tm local = {};
    _localtime64_s(&local, &now);

    // A longer line is cut after its 1023rd character.
    wchar_t line[MaxEventLineLength + 1];
    StringCbPrintfW(line, sizeof(line), L"%02d.%02d.%04d %02d:%02d:%02d %s", local.tm_mday,
                    local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min,
                    local.tm_sec, text);
    return line;
}

void LogEvent(const wchar_t* text)
{
    std::wstring line = MakeEventLine(text);
    std::wstring report;

    AcquireHistoryLock();
    EventHistory.push_back(line);
    if (Settings.LogFile.load() != 0) {
        uint32_t error = 0;
        LogFileResult result = AppendToLogFile(line, &error);
        if (result != LogFileResult::Written && !LogFileFailureReported) {
            LogFileFailureReported = true;
            report = FormatText(result == LogFileResult::OpenFailed ? CannotOpenLogFile
                                                                    : CannotWriteLogFile,
                                static_cast<int>(error));
        }
    }
    ReleaseHistoryLock();

    // Reported outside the lock: the box may stay up for long, and other
    // threads must go on logging meanwhile.
    if (!report.empty())
        ReportFailure(report.c_str());
}

void LogEventFormat(const wchar_t* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::wstring text = FormatTextV(format, arguments);
    va_end(arguments);
    LogEvent(text.c_str());
}

void ClearEventHistory()
{
    HistoryLockGuard lock;
    EventHistory.clear();
}

bool LogFileFailureWasReported()
{
    HistoryLockGuard lock;
    return LogFileFailureReported;
}
