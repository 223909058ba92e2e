#include "rename/companion.h"

#include "capture/in_use.h"
#include "capture/long_path.h"
#include "events/event_history.h"
#include "settings/statistics.h"

static const wchar_t Renamed[] = L"Renamed %s to %s";
static const wchar_t RenameFailed[] = L"Error %d renaming %s to %s";

bool IsHeldOpen(const std::wstring& path)
{
    // Asking for delete access, as a rename does, while sharing everything:
    // only a holder that does not share delete refuses it.
    HANDLE file = CreateFileW(LongPath(path).c_str(), DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return IsInUseError(GetLastError());
    CloseHandle(file);
    return false;
}

CompanionMove MoveCompanion(const std::wstring& oldPath, const std::wstring& reportedOldPath,
                            const std::wstring& newPath)
{
    if (MoveFileW(LongPath(oldPath).c_str(), LongPath(newPath).c_str())) {
        LogEventFormat(Renamed, reportedOldPath.c_str(), newPath.c_str());
        ++Statistics.PicturesRenamed;
        return CompanionMove::Moved;
    }
    DWORD error = GetLastError();
    if (IsInUseError(error))
        return CompanionMove::Busy;
    // Deleted since the folder was listed: as if it had never been there.
    if (error == ERROR_FILE_NOT_FOUND)
        return CompanionMove::Gone;
    if (IsPassingRefusal(error)) {
        SetLastError(error);
        return CompanionMove::Refused;
    }
    ReportCompanionRefused(error, reportedOldPath, newPath);
    return CompanionMove::Failed;
}

void ReportCompanionRefused(DWORD error, const std::wstring& reportedOldPath,
                            const std::wstring& newPath)
{
    LogEventFormat(RenameFailed, static_cast<int>(error), reportedOldPath.c_str(), newPath.c_str());
}
