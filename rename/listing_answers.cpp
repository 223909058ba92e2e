#include "rename/listing_answers.h"

// The list Boost.Filesystem's directory iterator (src/directory.cpp,
// is_dir_info_class_not_supported) moves on to the next class for, with the
// answer of old Samba servers that sign their replies: ERROR_GEN_FAILURE from a
// router's NAS, ERROR_INTERNAL_ERROR from DrivePool and VirtualBox's shared
// folders, ERROR_CALL_NOT_IMPLEMENTED from Wine for a class it lacks, and
// NTE_BAD_SIGNATURE when the reply to the query fails its signature check.
bool ListingClassRefused(DWORD error)
{
    switch (error) {
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_LEVEL:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
    case ERROR_GEN_FAILURE:
    case ERROR_INTERNAL_ERROR:
    case ERROR_CALL_NOT_IMPLEMENTED:
    case static_cast<DWORD>(NTE_BAD_SIGNATURE):
        return true;
    default:
        return false;
    }
}

bool NoOtherWayLists(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_ACCESS_DENIED:
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NOT_READY:
    case ERROR_DIRECTORY:  // the path names a file
    case ERROR_REM_NOT_LIST:
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
    case ERROR_BAD_NET_NAME:
    case ERROR_LOGON_FAILURE:
    case ERROR_NO_NETWORK:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_CONNECTION_ABORTED:
    case ERROR_DEVICE_NOT_CONNECTED:
        return true;
    default:
        return false;
    }
}
