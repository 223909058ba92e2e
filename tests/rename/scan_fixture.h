// A scratch folder to scan, with the event lines and counter changes of a scan.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "events/event_history.h"
#include "rename/folder_scan.h"
#include "settings/settings.h"
#include "settings/statistics.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/scratch_folder.h"

class ScanTest : public testing::Test {
protected:
    void SetUp() override { ClearEventHistory(); }
    void TearDown() override
    {
        Settings.FileModifiedDate = 0;
        Settings.HeifPictures = 0;
    }

    // Scans the folder once; returns the texts of the events it logged (the
    // stamps left out), and sets processed and renamed to the counters' moves.
    std::vector<std::wstring> Scan()
    {
        ClearEventHistory();
        int32_t processedBefore = Statistics.PicturesProcessed;
        int32_t renamedBefore = Statistics.PicturesRenamed;
        std::wstring path = folder.PathWithBackslash();
        ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()));
        processed = Statistics.PicturesProcessed - processedBefore;
        renamed = Statistics.PicturesRenamed - renamedBefore;
        return EventTexts();
    }

    static std::vector<std::wstring> EventTexts()
    {
        HistoryLockGuard lock;
        std::vector<std::wstring> texts;
        for (const std::wstring& line : EventHistory)
            texts.push_back(line.substr(20));
        return texts;
    }

    void Put(const std::wstring& name, const std::vector<uint8_t>& bytes)
    {
        ASSERT_TRUE(WriteFileBytes(folder / name, bytes)) << "cannot write fixture";
    }
    void PutDated(const std::wstring& name, const std::string& date = "2023:04:01 07:29:26")
    {
        Put(name, JpegWithDate(TagDateTimeOriginal, date));
    }
    std::vector<std::wstring> Names() const { return ListFolder(folder.Path()); }

    ScratchFolder folder;
    int32_t processed = 0;
    int32_t renamed = 0;
};
