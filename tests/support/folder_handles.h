// The handles a process holds on a folder, found from outside as a handle
// viewer finds them: every handle value the process may have is copied into
// this process and asked for the path it names. The values are the process's
// own, as the device notices it receives name them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Handle values of the process (opened with PROCESS_DUP_HANDLE, or
// GetCurrentProcess()) that name the folder, trailing backslash or not.
std::vector<HANDLE> HandlesOnFolder(HANDLE process, const std::wstring& folder);
