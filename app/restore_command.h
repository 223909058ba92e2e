// The command line `Lumistamp.exe /restore "FOLDER" [/since "YYYY-MM-DD HH:MM"]`
// for scripts: handed to the running instance when there is one (WM_COPYDATA
// to its hidden window), else run by this process; one line per outcome on
// standard output and the exit code of RestoreResult (2 also for a command
// line it cannot read).
#pragma once

#include <windows.h>

// Whether the command line asks for a restore (its first argument is /restore).
bool IsRestoreCommand();
// Runs it and returns the exit code.
int RunRestoreCommand();

// The running instance's side: a request from another process's
// RunRestoreCommand, answered with its exit code + 1 (0: not a request).
LRESULT OnRestoreRequest(const COPYDATASTRUCT* request);
