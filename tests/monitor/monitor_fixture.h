// Monitors over scratch folders: each folder holds "marker.jpg", a picture
// without a date, so every scan of the folder logs one line that counts it.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "events/event_history.h"
#include "monitor/monitors.h"
#include "settings/settings.h"
#include "settings/statistics.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/wait_until.h"

inline std::vector<std::wstring> EventTexts()
{
    HistoryLockGuard lock;
    std::vector<std::wstring> texts;
    for (const std::wstring& line : EventHistory)
        texts.push_back(line.substr(20));
    return texts;
}

inline std::wstring MarkerEvent(const std::wstring& folderWithBackslash)
{
    return L"No Exif information available for " + folderWithBackslash +
           L"marker.jpg failed, File not renamed";
}

// The lines of a monitor whose folder is missing, and of one whose folder is
// back.
inline std::wstring MissingEvent(const std::wstring& folder)
{
    return L"Directory '" + folder + L"', does not exist, Directory is not monitored";
}
inline std::wstring BackEvent(const std::wstring& folder)
{
    return L"Directory '" + folder + L"' is back, Directory is monitored again";
}

// How many times the history reports the folder's marker: once per monitor
// that read it, since a monitor reports a picture's outcome only at its first
// scan. Count scans with MonitorScanCounts.
inline int MarkerLinesOf(const std::wstring& folderWithBackslash)
{
    std::vector<std::wstring> texts = EventTexts();
    return static_cast<int>(
        std::count(texts.begin(), texts.end(), MarkerEvent(folderWithBackslash)));
}

// Scans of each folder that monitors made since the counts were last cleared,
// as the monitors report them; the history shows a picture's outcome only at
// its first scan.
class MonitorScanCounts {
public:
    static void Clear()
    {
        std::lock_guard<std::mutex> guard(lock_);
        counts_.clear();
        MonitorScanObserver = &Count;
    }
    static int Of(const std::wstring& folderWithBackslash)
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto found = counts_.find(folderWithBackslash);
        return found == counts_.end() ? 0 : found->second;
    }

private:
    static void Count(const wchar_t* scanPath)
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++counts_[scanPath];
    }
    static inline std::mutex lock_;
    static inline std::map<std::wstring, int> counts_;
};

inline void PutMarker(const std::wstring& folder)
{
    ASSERT_TRUE(WriteFileBytes(folder + L"\\marker.jpg", JpegWithoutExif()));
}

// Copies of the current set's thread handles, still valid after StopAllMonitors
// has closed its own: they tell whether each monitor still runs, and how it
// ended. The caller closes them (ExitCodes does).
inline std::vector<HANDLE> CopyMonitorHandles()
{
    std::vector<HANDLE> copies;
    for (HANDLE thread : MonitorThreads) {
        HANDLE copy = nullptr;
        if (thread && DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &copy, 0,
                                      FALSE, DUPLICATE_SAME_ACCESS))
            copies.push_back(copy);
    }
    return copies;
}

// Exit codes of the threads, each waited for up to timeoutMs; STILL_ACTIVE
// for one that has not ended. Closes the copies.
inline std::vector<DWORD> ExitCodes(const std::vector<HANDLE>& threads, DWORD timeoutMs)
{
    std::vector<DWORD> codes;
    for (HANDLE thread : threads) {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0)
            GetExitCodeThread(thread, &code);
        codes.push_back(code);
        CloseHandle(thread);
    }
    return codes;
}

class MonitorTest : public testing::Test {
protected:
    void SetUp() override
    {
        ClearEventHistory();
        MonitorScanCounts::Clear();
        PrepareMonitorSet();
    }
    void TearDown() override
    {
        StopAllMonitors(10000);
        Settings.Folders.clear();
        StatisticsPageWindow = nullptr;
    }

    // A watched subfolder of the scratch folder, with its marker.
    std::wstring MakeFolder(const std::wstring& name)
    {
        std::wstring path = root / name;
        EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
        PutMarker(path);
        return path;
    }

    void Start(const std::vector<std::wstring>& folders)
    {
        Settings.Folders.assign(folders.begin(), folders.end());
        StartMonitors();
    }

    bool WaitForMonitors(int count, DWORD timeoutMs = 20000)
    {
        return WaitUntil([count] { return Statistics.FoldersMonitored == count; }, timeoutMs);
    }

    ScratchFolder root;
};
