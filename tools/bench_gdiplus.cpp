// lumistamp-bench-gdiplus [--rename] FOLDER
// The platform's own route to a picture's dates, per picture: GDI+ start-up,
// a bitmap from the file, the size queries of the three date properties,
// dispose and shut-down; with --rename the picture is then renamed, as a
// program of that design must. Prints one RESULT line, and how many pictures
// GDI+ reported a date for.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/bench_common.h"

// The flat GDI+ interface, declared here so that no C++ GDI+ header is needed.
struct GdiplusStartupInput {
    UINT32 GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};
extern "C" {
int WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
int WINAPI GdipCreateBitmapFromFile(const WCHAR* filename, void** bitmap);
int WINAPI GdipGetPropertyItemSize(void* image, ULONG id, UINT* size);
int WINAPI GdipDisposeImage(void* image);
}

static const ULONG DateProperties[] = {0x0132, 0x9003, 0x9004};

// True when GDI+ reports any of the three dates.
static bool QueryDates(const wchar_t* path)
{
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (GdiplusStartup(&token, &input, nullptr) != 0)
        return false;
    bool dated = false;
    void* bitmap = nullptr;
    if (GdipCreateBitmapFromFile(path, &bitmap) == 0) {
        for (ULONG id : DateProperties) {
            UINT size = 0;
            if (GdipGetPropertyItemSize(bitmap, id, &size) == 0 && size > 0)
                dated = true;
        }
        GdipDisposeImage(bitmap);
    }
    GdiplusShutdown(token);
    return dated;
}

int wmain(int argc, wchar_t** argv)
{
    bool rename = argc == 3 && std::wstring(argv[1]) == L"--rename";
    if (argc != 2 && !rename) {
        fputs("usage: lumistamp-bench-gdiplus [--rename] FOLDER\n", stderr);
        return 2;
    }
    std::wstring folder = WithBackslash(argv[argc - 1]);
    int pictures = 0, dated = 0;

    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    bool listed = ForEachPicture(folder, [&](const std::wstring& path, const wchar_t* name) {
        if (QueryDates(path.c_str()))
            ++dated;
        if (rename)
            MoveFileW(path.c_str(), RenamedPath(folder, pictures, name).c_str());
        ++pictures;
    });
    if (!listed)
        return 1;
    PrintResult(pictures, MicrosecondsSince(start));
    printf("DATED %d\n", dated);
    return 0;
}
