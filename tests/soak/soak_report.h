// What the soak prints: its figures, and text the console can show.
#pragma once

#include <windows.h>

#include <string>

#include "tests/soak/soak_check.h"
#include "tests/soak/soak_plan.h"
#include "tests/soak/soak_program.h"
#include "tests/soak/soak_waves.h"

// The Exit limit: the program's 2-second stop limit and the process's end.
constexpr DWORD ExitLimitMs = 15000;

// What the run measured, beside what the checks found.
struct SoakFigures {
    WaveFigures waves;
    int okPresses = 0, okWhileWriting = 0;
    ULONGLONG okMs = 0, exitMs = 0, quietMs = 0, startMs = 0;
    MemoryFigures memory;
    ProgramView view;
    DWORD exitCode = STILL_ACTIVE;
};

// The text with every character beyond ASCII written as a backslash, "u" and
// four hex digits: the console's code page would stop the line at the first
// character it cannot show.
std::wstring Printable(const std::wstring& text);

void PrintFigures(const SoakOptions& options, const SoakPlan& plan, const SoakFindings& findings,
                  const SoakFigures& figures, DWORD exitLimitMs, ULONGLONG durationMs);
