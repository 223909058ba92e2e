// The settings dialog in this test process, against a redirected
// HKEY_CURRENT_USER, with the monitors and records of a running program.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "monitor/monitors.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"
#include "settings/statistics.h"
#include "tests/settings/registry_scratch.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/dialog_run.h"
#include "tests/ui/window_driver.h"
#include "ui/ui_records.h"

class DialogTest : public RedirectedRegistry {
protected:
    void SetUp() override
    {
        RedirectedRegistry::SetUp();
        Statistics.FoldersMonitored = 0;
        Statistics.PicturesProcessed = 0;
        Statistics.PicturesRenamed = 0;
        StatisticsPageWindow = nullptr;
        wcscpy_s(VersionText, L"Version 2.2");
        PrepareMonitorSet();
    }

    void TearDown() override
    {
        run.reset();
        StopAllMonitors(10000);
        StatisticsPageWindow = nullptr;
        RedirectedRegistry::TearDown();
    }

    // Opens the dialog; the test fails at once if it does not come up.
    void Open(std::set<int> refusedPages = {})
    {
        run = std::make_unique<DialogRun>(std::move(refusedPages));
        ASSERT_NE(run->Dialog(), nullptr) << "the settings dialog did not open";
    }

    HWND Dialog() const { return run->Dialog(); }
    HWND Tabs() const { return run->Control(IDC_TABS); }
    HWND PageControl(int page, int id) const { return GetDlgItem(PageWindows[page], id); }

    void Select(int tab) { SelectTab(Tabs(), tab); }

    // The pages visible now, by tab index.
    std::set<int> VisiblePages() const
    {
        std::set<int> visible;
        for (int index = 0; index < PageCount; ++index)
            if (PageWindows[index] && IsWindowVisible(PageWindows[index]))
                visible.insert(index);
        return visible;
    }

    std::unique_ptr<DialogRun> run;
};
