#include "events/text_format.h"

#include <windows.h>
#include <strsafe.h>

#include <cstdio>

std::wstring FormatTextV(const wchar_t* format, va_list arguments)
{
    va_list counting;
    va_copy(counting, arguments);
    int length = _vscwprintf(format, counting);
    va_end(counting);
    if (length <= 0)
        return std::wstring();

    std::wstring text(static_cast<size_t>(length), L'\0');
    StringCchVPrintfW(text.data(), text.size() + 1, format, arguments);
    return text;
}

std::wstring FormatText(const wchar_t* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::wstring text = FormatTextV(format, arguments);
    va_end(arguments);
    return text;
}
