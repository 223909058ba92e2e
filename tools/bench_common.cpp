#include "tools/bench_common.h"

#include <cstdio>
#include <cwchar>

#include "capture/video_file.h"

double MicrosecondsSince(LARGE_INTEGER start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1e6 * static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

bool HeifPictureNames = false;
bool VideoPictureNames = false;

bool IsPictureName(const wchar_t* name)
{
    const wchar_t* dot = wcsrchr(name, L'.');
    if (!dot)
        return false;
    if (_wcsnicmp(dot, L".jpg", 4) == 0 || _wcsnicmp(dot, L".jpeg", 5) == 0)
        return true;
    if (VideoPictureNames && IsVideoExtension(dot))
        return true;
    return HeifPictureNames &&
           (_wcsnicmp(dot, L".heic", 5) == 0 || _wcsnicmp(dot, L".heif", 5) == 0 ||
            _wcsnicmp(dot, L".hif", 4) == 0);
}

std::wstring WithBackslash(const wchar_t* folder)
{
    std::wstring path = folder;
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    return path;
}

std::wstring RenamedPath(const std::wstring& folder, int index, const wchar_t* name)
{
    const wchar_t* dot = wcsrchr(name, L'.');
    wchar_t stamp[32];
    swprintf(stamp, 32, L"r%06d", index);
    return folder + stamp + (dot ? dot : L"");
}

void PrintResult(int pictures, double microseconds)
{
    std::printf("RESULT pictures=%d microseconds=%.0f\n", pictures, microseconds);
}
