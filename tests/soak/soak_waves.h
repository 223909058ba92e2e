// One wave of the soak: its writer processes, and the holder process that
// keeps some of the wave's files open while the program scans them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/soak/soak_plan.h"

// How long the holder keeps its files open: longer than the program's wait
// after a change, so that scans meet them open.
constexpr DWORD HoldMs = 4000;

struct RunningWave {
    std::vector<HANDLE> writers;
    std::vector<HANDLE> copiers;
    HANDLE holder = nullptr;
    int holdAsked = 0;
};

struct WaveFigures {
    int writerProcesses = 0;
    int copierProcesses = 0;
    int holderProcesses = 0;
    int filesHeld = 0;
};

// Writes the wave's job files and starts its holder, writers and card copiers
// (soak_writer.exe and card_copier.exe in programFolder).
bool StartWave(const SoakPlan& plan, int wave, const std::wstring& programFolder,
               RunningWave* running, std::wstring* error);

// Whether any writer or copier of the wave is still writing.
bool WritersRunning(const RunningWave& running);

// Waits (bounded) for the wave's processes to end and takes their results;
// false with a reason when a writer failed or did not end.
bool FinishWave(RunningWave* running, DWORD timeoutMs, WaveFigures* figures, std::wstring* error);

// Ends whatever of the wave still runs (after a failure).
void EndWave(RunningWave* running);
