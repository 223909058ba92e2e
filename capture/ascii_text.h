// Comparisons that ignore the case of ASCII letters only, as file names are
// matched here whatever the user's locale.
#pragma once

#include <cstddef>

inline wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; }

// Compares at most count characters; the end of a text counts as a character,
// so a shorter text matches only an equal one.
inline bool AsciiEqualNoCase(const wchar_t* a, const wchar_t* b, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
        if (a[i] == L'\0')
            return true;
    }
    return true;
}

inline bool AsciiEqualNoCase(const wchar_t* a, const wchar_t* b)
{
    return AsciiEqualNoCase(a, b, static_cast<size_t>(-1));
}
