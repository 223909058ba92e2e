// lumistamp-bench-settled-memory COUNT
// What a monitor's memory of settled pictures costs: fills one
// SettledPictures with COUNT pictures as scans settle them (names of a
// renamed camera's pictures, "YYYYMMDD_HHMMSS.jpg", with size and last-write
// time) and prints the growth of the process's private bytes and working set
// (GetProcessMemoryInfo) and of the bytes in use in the C runtime's heap
// (_heapwalk, which counts the blocks without the heap's own overhead) as
// "SETTLED pictures=N private_bytes=P working_set_bytes=W heap_bytes=H".
// Wine reports no private bytes (0); the working set is its resident size.
#include <windows.h>
#include <malloc.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "rename/settled_pictures.h"

static PROCESS_MEMORY_COUNTERS_EX MemoryNow()
{
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof(memory));
    return memory;
}

static long long HeapBytesInUse()
{
    long long used = 0;
    _HEAPINFO entry = {};
    while (_heapwalk(&entry) == _HEAPOK)
        if (entry._useflag == _USEDENTRY)
            used += static_cast<long long>(entry._size);
    return used;
}

// The stamp name of a picture taken index * 2 s after a morning in 2024.
static std::wstring StampName(int index)
{
    SYSTEMTIME base = {2024, 6, 0, 15, 8, 0, 0, 0};
    FILETIME time;
    SystemTimeToFileTime(&base, &time);
    ULARGE_INTEGER moved;
    moved.LowPart = time.dwLowDateTime;
    moved.HighPart = time.dwHighDateTime;
    moved.QuadPart += static_cast<ULONGLONG>(index) * 2 * 10000000ULL;
    time = {moved.LowPart, moved.HighPart};
    SYSTEMTIME when;
    FileTimeToSystemTime(&time, &when);
    wchar_t name[32];
    swprintf(name, 32, L"%04u%02u%02u_%02u%02u%02u.jpg", when.wYear, when.wMonth, when.wDay,
             when.wHour, when.wMinute, when.wSecond);
    return name;
}

int wmain(int argc, wchar_t** argv)
{
    int count = argc == 2 ? _wtoi(argv[1]) : 0;
    if (count <= 0) {
        fputs("usage: lumistamp-bench-settled-memory COUNT\n", stderr);
        return 2;
    }
    PROCESS_MEMORY_COUNTERS_EX before = MemoryNow();
    long long heapBefore = HeapBytesInUse();
    SettledPictures settled;
    for (int index = 0; index < count; ++index) {
        uint64_t time = 133000000000000000ULL + static_cast<uint64_t>(index) * 20000000ULL;
        ListedFile listed = {L"", 0, 150 * 1024 + static_cast<uint64_t>(index), time, time, 0x20};
        SettlePicture(settled, StampName(index), listed, PictureOutcome::BearsItsName);
    }
    PROCESS_MEMORY_COUNTERS_EX after = MemoryNow();
    long long heapAfter = HeapBytesInUse();
    printf("SETTLED pictures=%zu private_bytes=%lld working_set_bytes=%lld heap_bytes=%lld\n",
           settled.byName.size(),
           static_cast<long long>(after.PrivateUsage) - static_cast<long long>(before.PrivateUsage),
           static_cast<long long>(after.WorkingSetSize) -
               static_cast<long long>(before.WorkingSetSize),
           heapAfter - heapBefore);
    return 0;
}
