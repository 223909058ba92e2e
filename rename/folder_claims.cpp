#include "rename/folder_claims.h"

#include <windows.h>

#include <unordered_map>

#include "rename/folder_listing.h"

struct FolderClaim {
    int scans = 0;
    bool restoring = false;
};

static SRWLOCK ClaimsLock = SRWLOCK_INIT;
static CONDITION_VARIABLE ClaimsChanged = CONDITION_VARIABLE_INIT;
static std::unordered_map<std::wstring, FolderClaim> FolderClaims;

static void Drop(const std::wstring& key)
{
    FolderClaim& claim = FolderClaims[key];
    if (claim.scans == 0 && !claim.restoring)
        FolderClaims.erase(key);
    WakeAllConditionVariable(&ClaimsChanged);
}

void BeginFolderScan(const std::wstring& folderPath)
{
    std::wstring key = FoldedName(folderPath);
    AcquireSRWLockExclusive(&ClaimsLock);
    while (FolderClaims[key].restoring)
        SleepConditionVariableSRW(&ClaimsChanged, &ClaimsLock, INFINITE, 0);
    ++FolderClaims[key].scans;
    ReleaseSRWLockExclusive(&ClaimsLock);
}

void EndFolderScan(const std::wstring& folderPath)
{
    std::wstring key = FoldedName(folderPath);
    AcquireSRWLockExclusive(&ClaimsLock);
    --FolderClaims[key].scans;
    Drop(key);
    ReleaseSRWLockExclusive(&ClaimsLock);
}

bool BeginFolderRestore(const std::wstring& folderPath)
{
    std::wstring key = FoldedName(folderPath);
    AcquireSRWLockExclusive(&ClaimsLock);
    FolderClaim& claim = FolderClaims[key];
    bool free = claim.scans == 0 && !claim.restoring;
    if (free)
        claim.restoring = true;
    else
        Drop(key);
    ReleaseSRWLockExclusive(&ClaimsLock);
    return free;
}

void EndFolderRestore(const std::wstring& folderPath)
{
    std::wstring key = FoldedName(folderPath);
    AcquireSRWLockExclusive(&ClaimsLock);
    FolderClaims[key].restoring = false;
    Drop(key);
    ReleaseSRWLockExclusive(&ClaimsLock);
}
