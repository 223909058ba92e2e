#include "rename/restored_pictures.h"

#include <windows.h>

#include <unordered_map>

#include "capture/modified_time.h"
#include "rename/folder_memory.h"
#include "rename/settled_store.h"

static SRWLOCK WaitingLock = SRWLOCK_INIT;
// By folded folder path: what its monitor's next scan takes.
static std::unordered_map<std::wstring, std::vector<ListedFile>> RestoredWaiting;

void SettleRestoredPictures(const std::wstring& folderPath, const std::vector<ListedFile>& pictures)
{
    if (pictures.empty())
        return;
    AcquireSRWLockExclusive(&WaitingLock);
    std::vector<ListedFile>& waiting = RestoredWaiting[FoldedName(folderPath)];
    waiting.insert(waiting.end(), pictures.begin(), pictures.end());
    ReleaseSRWLockExclusive(&WaitingLock);

    // The kept file as the next start reads it; a running monitor's own write
    // keeps them once it took them.
    FolderListing listing;
    if (!ListFolder(folderPath, &listing))
        return;
    FolderMemory memory;
    memory.keptFile.kept = true;
    LoadKeptPictures(memory, folderPath, listing.volumeSerial,
                     listing.fileSystem.empty() ? FileSystemOf(folderPath) : listing.fileSystem);
    for (const ListedFile& picture : pictures)
        SettlePicture(memory.settled, picture.name, picture, PictureOutcome::LeftAsIs);
    SaveKeptPictures(memory, false);
}

void TakeRestoredPictures(FolderMemory& memory, const std::wstring& folderPath)
{
    std::vector<ListedFile> pictures;
    AcquireSRWLockExclusive(&WaitingLock);
    auto found = RestoredWaiting.find(FoldedName(folderPath));
    if (found != RestoredWaiting.end()) {
        pictures = std::move(found->second);
        RestoredWaiting.erase(found);
    }
    ReleaseSRWLockExclusive(&WaitingLock);
    for (const ListedFile& picture : pictures)
        SettlePicture(memory.settled, picture.name, picture, PictureOutcome::LeftAsIs);
}
