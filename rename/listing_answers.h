// What file systems answer a directory query they cannot serve, and which
// answers no other way of listing can cure.
#pragma once

#include <windows.h>

// True for the answers of a file system that does not know a directory query
// class: NtQueryDirectoryFile's STATUS_INVALID_INFO_CLASS (turned into
// ERROR_INVALID_PARAMETER), STATUS_INVALID_LEVEL, STATUS_NOT_SUPPORTED and
// STATUS_INVALID_DEVICE_REQUEST (ERROR_INVALID_FUNCTION), as redirectors give,
// and those that NAS firmware, pooled drives, virtual machines' shared folders
// and old Samba servers give instead.
bool ListingClassRefused(DWORD error);

// True for the answers that no other way of listing can cure: the folder is
// gone or is no folder, access to it is denied, its drive or network is gone.
bool NoOtherWayLists(DWORD error);
