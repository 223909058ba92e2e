#include "events/error_box.h"

#include <windows.h>

#include "events/event_history.h"

void ShowErrorBox(const wchar_t* text)
{
    MessageBoxW(nullptr, text, L"Lumistamp", MB_OK | MB_ICONERROR);
}

void ReportFailure(const wchar_t* text)
{
    LogEvent(text);
    ShowErrorBox(text);
}
