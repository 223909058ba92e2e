// The frame the card-copy tests share: a card folder, a folder the real
// Lumistamp.exe watches with the card-copy settings (program_driver.h), the
// program started with its message boxes caught, the copier run to its end,
// and the program ended through its tray menu.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/app/program_driver.h"
#include "tests/support/message_box_catcher.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/window_driver.h"

constexpr uint32_t MiB = 1024 * 1024;
constexpr DWORD StartLimitMs = 30000;
// After the copier's last file: the program's wait after a change and its
// retries of files that were busy, with room for a loaded machine.
constexpr DWORD SettleLimitMs = 60000;

// The card copier's command line (tests/soak/card_copier.cpp): CARD_COPIER_EXE
// copying card into folder at the rate, with its options.
inline std::wstring CopierCommand(const std::wstring& card, const std::wstring& folder,
                                  uint32_t bytesPerSecond, const std::wstring& options)
{
    return L"\"" + Unslashed(CARD_COPIER_EXE) + L"\" \"" + card + L"\" \"" + folder + L"\" " +
           std::to_wstring(bytesPerSecond) + options;
}

template <class Case>
class CardCopyRun : public testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        if (!RunningUnderWine())
            GTEST_SKIP() << "writes the program's log file into this user's own local "
                            "application data folder: runs only in a throwaway Wine prefix";
        RemoveTree(ProgramLogFolder());
        StoreCardCopySettings(watched.Path());
    }
    void TearDown() override
    {
        if (this->IsSkipped())
            return;
        EndProgram(program);
        ResetProgramKey();
    }

    // Starts the program; its main window, or null when it did not come up.
    HWND StartWatching()
    {
        program = StartProgram(runFolder.Path());
        if (!program.process)
            return nullptr;
        CatchBoxesOfProcess(program.processId);
        return WaitForMainWindow(program.processId, StartLimitMs);
    }

    // Waits (bounded) until the watched folder holds these names and no other.
    void WaitForNames(std::vector<std::wstring> names)
    {
        std::sort(names.begin(), names.end());
        PollUntil([&] { return ListFolder(watched.Path()) == names; }, SettleLimitMs);
    }

    // The program's log: the start's two lines (the folder list), then these
    // lines in any order; and no message box was shown.
    void ExpectLogAfterStart(std::vector<std::string> expectedLines)
    {
        std::vector<std::string> lines = LogTexts(ProgramLogPath());
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0], "Querying the following folder(s):");
        EXPECT_EQ(lines[1], Narrow(watched.Path()));
        lines.erase(lines.begin(), lines.begin() + 2);
        std::sort(lines.begin(), lines.end());
        std::sort(expectedLines.begin(), expectedLines.end());
        EXPECT_EQ(lines, expectedLines);
        for (const CapturedBox& box : TakeCapturedBoxes())
            ADD_FAILURE() << "a message box: " << Narrow(box.caption) << ": " << Narrow(box.text);
    }

    // Exit from the tray menu, which must end the program with code 0.
    void ExitThroughTrayMenu(HWND window)
    {
        ASSERT_TRUE(ChooseFromTrayMenu(window, program.processId, 2)) << "no tray menu for Exit";
        EXPECT_EQ(WaitForExit(program, 15000), 0u) << "Exit did not end the program with code 0";
    }

    ScratchFolder card, watched, runFolder;
    RunningProgram program;
};
