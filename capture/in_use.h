// Errors that say a file cannot be had now but may be soon: it is waited for
// and tried again on the busy-file schedule rather than given up on.
#pragma once

#include <windows.h>

#include "capture/cloud_files.h"

// Another program has the file open: it is busy, not faulty.
inline bool IsInUseError(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// A rename refused for a reason that usually passes: Controlled folder access
// or an antivirus vetoing the change, a file pending deletion, a read-only
// share or a card's write-protect switch (access denied, write protect,
// network access denied), or a cloud provider that is busy or away.
inline bool IsPassingRefusal(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT ||
           error == ERROR_NETWORK_ACCESS_DENIED || IsCloudFileError(error);
}
