// soak_driver: the real Lumistamp.exe watching many folders while waves of
// pictures arrive from several writer processes and from card copies (pairs
// of a picture and its raw file written slowly or fast, as a file manager
// copies a camera card), some of them held open by another process while the
// program scans, with the settings dialog's OK (a restart of every monitor)
// pressed while a wave lands. At the end every
// folder, the event history and the log file are checked against what was
// sent, and the figures are printed. Exit code 0 when nothing was lost and
// every check held.
//
//   soak_driver [--folders N] [--pictures N] [--waves N] [--writers N]
//               [--ok-presses N] [--seed N] [--memory-limit-mb N]
//               [--samples FOLDER] [--data FOLDER] [--keep 1]
// The folders are removed after a passing run unless --keep 1 is given. The
// program's log file is in this user's local application data folder, so the
// soak runs only under Wine, in a prefix made for it (exit code 77 elsewhere).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/app/program_driver.h"
#include "tests/soak/soak_check.h"
#include "tests/soak/soak_plan.h"
#include "tests/soak/soak_program.h"
#include "tests/soak/soak_report.h"
#include "tests/soak/soak_samples.h"
#include "tests/soak/soak_waves.h"
#include "tests/support/message_box_catcher.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/window_driver.h"

namespace {

// Limits of the waits; none of them is a measure of speed.
const DWORD StartLimitMs = 60000;
const DWORD WaveLimitMs = 300000;
const DWORD OkLimitMs = 120000;  // the program's own stop limit on OK is 60 s
const DWORD QuietMs = 8000;      // no new event for this long: the program is idle
const DWORD QuietLimitMs = 600000;
const int SkippedExitCode = 77;  // ctest's SKIP_RETURN_CODE for soak.short

bool ParseOptions(int argc, wchar_t** argv, SoakOptions* options)
{
    for (int index = 1; index < argc; ++index) {
        std::wstring name = argv[index];
        if (index + 1 >= argc)
            return false;
        std::wstring value = argv[++index];
        int number = _wtoi(value.c_str());
        if (name == L"--folders")
            options->folders = number;
        else if (name == L"--pictures")
            options->pictures = number;
        else if (name == L"--waves")
            options->waves = number;
        else if (name == L"--writers")
            options->writers = number;
        else if (name == L"--ok-presses")
            options->okPresses = number;
        else if (name == L"--seed")
            options->seed = static_cast<uint32_t>(number);
        else if (name == L"--memory-limit-mb")
            options->memoryLimitMb = static_cast<uint32_t>(number);
        else if (name == L"--samples")
            options->samples = value;
        else if (name == L"--data")
            options->data = value;
        else if (name == L"--keep")
            options->keep = number != 0;
        else
            return false;
    }
    return options->folders >= 1 && options->folders <= 255 && options->pictures >= 1 &&
           options->waves >= 1 && options->writers >= 1 && options->okPresses >= 0;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\'));
}

ULONGLONG FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Idle: the log file, which gets every event, has not grown for QuietMs. A
// monitor logs at each scan at least the undated pictures of its folder, and
// scans follow every change within seconds.
bool WaitUntilQuiet(const std::wstring& logPath)
{
    ULONGLONG size = FileSize(logPath);
    ULONGLONG since = GetTickCount64();
    return PollUntil(
        [&] {
            ULONGLONG now = FileSize(logPath);
            if (now != size) {
                size = now;
                since = GetTickCount64();
            }
            return GetTickCount64() - since >= QuietMs;
        },
        QuietLimitMs);
}

// The settings dialog's OK while the wave's writers are at work.
bool PressOkDuringWave(const SoakPlan& plan, int wave, const RunningWave& running, HWND mainWindow,
                       DWORD processId, SoakFigures* figures, std::wstring* error)
{
    // Once the first files of the wave are there.
    std::vector<std::wstring> first;
    for (const SoakItem& item : plan.items)
        if (item.wave == wave && first.size() < 8)
            first.push_back(plan.folders[item.folder] + L"\\" + item.name);
    PollUntil(
        [&] {
            for (const std::wstring& path : first)
                if (PathExists(path))
                    return true;
            return !WritersRunning(running);
        },
        60000);

    HWND dialog = OpenSettingsDialog(mainWindow, processId);
    if (!dialog) {
        *error = L"Settings... opened no dialog";
        return false;
    }
    ULONGLONG pressed = GetTickCount64();
    figures->okWhileWriting += WritersRunning(running) ? 1 : 0;
    if (!CloseSettingsDialog(dialog, IDOK, OkLimitMs)) {
        *error = L"the settings dialog stayed after OK";
        return false;
    }
    figures->okMs = std::max(figures->okMs, GetTickCount64() - pressed);
    ++figures->okPresses;
    return true;
}

bool RunWaves(const SoakOptions& options, const SoakPlan& plan, const RunningProgram& program,
              HWND mainWindow, SoakFigures* figures, std::wstring* error)
{
    for (int wave = 0; wave < options.waves; ++wave) {
        RunningWave running;
        bool ok = StartWave(plan, wave, ProgramFolder(), &running, error);
        for (int okWave : plan.okWaves)
            if (ok && okWave == wave)
                ok = PressOkDuringWave(plan, wave, running, mainWindow, program.processId, figures,
                                       error);
        if (!ok) {
            EndWave(&running);
            return false;
        }
        if (!FinishWave(&running, WaveLimitMs, &figures->waves, error))
            return false;
        if (WaitForSingleObject(program.process, 0) != WAIT_TIMEOUT) {
            *error = L"the program ended during wave " + std::to_wstring(wave);
            return false;
        }
        wprintf(L"wave %d of %d landed: working set %.1f MB, log file %llu KB\n", wave + 1,
                options.waves,
                static_cast<double>(WorkingSetOf(program.process)) / (1024.0 * 1024.0),
                FileSize(plan.logFile) / 1024);
        fflush(stdout);
    }
    return true;
}

// The whole run but the checks; false with a reason when it could not go on.
bool Drive(const SoakOptions& options, const SoakPlan& plan, RunningProgram* program,
           SoakFigures* figures, std::vector<std::wstring>* history, std::wstring* error)
{
    ResetProgramKey();
    WriteOption(L"Autostart", 0);
    WriteOption(L"LogFile", 1);
    WriteOption(L"FileModifiedDate", 0);
    std::wstring folders;
    for (const std::wstring& folder : plan.registryFolders)
        folders += folder + L'\0';
    WriteFolders(folders);
    // The log file grows across runs: this run's starts with its folder.
    RemoveTree(ProgramLogFolder());

    ULONGLONG started = GetTickCount64();
    *program = StartProgram(plan.runFolder);
    if (!program->process) {
        *error = L"cannot start " + ProgramPath();
        return false;
    }
    CatchBoxesOfProcess(program->processId);
    HWND mainWindow = WaitForMainWindow(program->processId, StartLimitMs);
    if (!mainWindow) {
        *error = L"the program showed no main window";
        return false;
    }
    figures->startMs = GetTickCount64() - started;
    StartMemorySampler(program->process);

    bool ok = RunWaves(options, plan, *program, mainWindow, figures, error);
    ULONGLONG lastWave = GetTickCount64();
    if (ok && !WaitUntilQuiet(plan.logFile)) {
        *error = L"the program did not become idle";
        ok = false;
    }
    figures->quietMs = GetTickCount64() - lastWave;

    HWND dialog = ok ? OpenSettingsDialog(mainWindow, program->processId) : nullptr;
    if (ok && (!dialog || !ReadProgramView(dialog, &figures->view) ||
               !CloseSettingsDialog(dialog, IDCANCEL, OkLimitMs))) {
        *error = L"cannot read the Events and Statistics tabs";
        ok = false;
    }
    *history = figures->view.events;
    figures->memory = StopMemorySampler();
    if (!ok)
        return false;

    ULONGLONG exitChosen = GetTickCount64();
    if (!ChooseFromTrayMenu(mainWindow, program->processId, 2)) {
        *error = L"the tray menu did not open for Exit";
        return false;
    }
    figures->exitCode = WaitForExit(*program, ExitLimitMs);
    figures->exitMs = GetTickCount64() - exitChosen;
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    SoakOptions options;
    if (!ParseOptions(argc, argv, &options)) {
        fwprintf(stderr,
                 L"usage: soak_driver [--folders N] [--pictures N] [--waves N] [--writers N] "
                 L"[--ok-presses N] [--seed N] [--memory-limit-mb N] [--samples FOLDER] "
                 L"[--data FOLDER] [--keep 1]\n");
        return 2;
    }
    if (!RunningUnderWine()) {
        wprintf(L"soak skipped: the program would write its log file into this user's own "
                L"local application data folder; it runs only in a throwaway Wine prefix\n");
        return SkippedExitCode;
    }
    if (options.data.empty()) {
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(ARRAYSIZE(current), current);
        options.data = std::wstring(current) + L"\\soak-data";
    }
    ULONGLONG started = GetTickCount64();
    RemoveTree(options.data);

    SampleSet samples = LoadSamples(options.samples);
    wprintf(
        L"soak: %d folders, %d pictures in %d waves, %d writers per wave, %d OK presses, seed %u\n",
        options.folders, options.pictures, options.waves, options.writers, options.okPresses,
        options.seed);
    wprintf(L"pictures from: %ls\n", Printable(samples.note).c_str());
    fflush(stdout);

    SoakPlan plan;
    std::wstring error;
    if (!MakePlan(options, samples, &plan, &error)) {
        wprintf(L"FAILED: %ls\n", Printable(error).c_str());
        return 1;
    }

    StartMessageBoxCatcher();
    RunningProgram program;
    SoakFigures figures;
    std::vector<std::wstring> history;
    bool driven = Drive(options, plan, &program, &figures, &history, &error);
    EndProgram(program);
    ResetProgramKey();

    SoakFindings findings;
    if (driven) {
        CheckSoak(plan, history, ReadFileText(plan.logFile), &findings);
        if (figures.exitCode != 0)
            findings.failures.push_back(
                L"Exit did not end the program with code 0 within the limit");
        if (figures.memory.samples == 0)
            findings.failures.push_back(L"the program's memory could not be read");
        else if (figures.memory.peakWorkingSet > uint64_t{options.memoryLimitMb} * 1024 * 1024)
            findings.failures.push_back(L"the working set went past the limit");
        if (figures.view.picturesRenamed !=
            std::to_wstring(findings.pictureRenames + findings.companionRenames))
            findings.failures.push_back(
                L"the Statistics tab's renamed count differs from the events");
        if (figures.view.foldersMonitored != std::to_wstring(plan.registryFolders.size()))
            findings.failures.push_back(
                L"the Statistics tab's monitor count is not the folder count");
        if (figures.okPresses != options.okPresses)
            findings.failures.push_back(L"not every OK press was made");
    } else {
        findings.failures.push_back(error);
    }
    StopMessageBoxCatcher();
    for (const CapturedBox& box : TakeCapturedBoxes())
        findings.failures.push_back(L"message box \"" + box.caption + L"\": " + box.text);

    PrintFigures(options, plan, findings, figures, ExitLimitMs, GetTickCount64() - started);
    if (!findings.failures.empty()) {
        wprintf(L"\nFAILED: %zu findings; the folders stay in %ls\n", findings.failures.size(),
                Printable(options.data).c_str());
        size_t shown = 0;
        for (const std::wstring& failure : findings.failures)
            if (shown++ < 40)
                wprintf(L"  %ls\n", Printable(failure).c_str());
        return 1;
    }
    if (!options.keep)
        RemoveTree(options.data);
    wprintf(L"\nsoak passed: nothing lost, every picture named or its event logged\n");
    return 0;
}
