// printf-style formatting of wide text into a string of the exact size needed,
// so that messages always hold their paths whole.
#pragma once

#include <cstdarg>
#include <string>

std::wstring FormatTextV(const wchar_t* format, va_list arguments);
std::wstring FormatText(const wchar_t* format, ...);
