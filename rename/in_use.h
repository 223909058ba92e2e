// Errors of a file that another program has open: it is busy, not faulty.
#pragma once

#include <windows.h>

inline bool IsInUseError(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}
