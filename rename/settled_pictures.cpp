#include "rename/settled_pictures.h"

#include "capture/ascii_text.h"
#include "capture/cloud_files.h"
#include "rename/target_name.h"
#include "settings/settings.h"

// "YYYYMMDD_HHMMSS" with a four-digit year.
constexpr size_t StampLength = 15;

void BeginSettledScan(SettledPictures& settled) { ++settled.scan; }

void EndSettledScan(SettledPictures& settled)
{
    std::erase_if(settled.byName, [&](const auto& entry) {
        if (entry.second.scan == settled.scan)
            return false;
        if (IsKeptOutcome(entry.second.outcome))
            settled.keptChanged = true;
        return true;
    });
}

bool ListedUnchanged(const SettledPicture& settled, const ListedFile& listed)
{
    return settled.size == listed.size && settled.lastWrite == listed.lastWrite &&
           (settled.changeTimeFromListing || settled.changeTime == listed.changeTime) &&
           (settled.creationTime == 0 || settled.creationTime == listed.creationTime);
}

bool ChangeTimeTellsRewrites(const wchar_t* fileSystemName, uint64_t listedChangeTime)
{
    static const wchar_t* const withoutChangeTimes[] = {L"FAT", L"FAT12", L"FAT16", L"FAT32",
                                                        L"exFAT"};
    if (listedChangeTime == 0)
        return false;
    for (const wchar_t* name : withoutChangeTimes)
        if (AsciiEqualNoCase(fileSystemName, name))
            return false;
    return true;
}

bool IsSettled(SettledPictures& settled, const ListedFile& picture, const std::wstring& folderPath)
{
    auto found = settled.byName.find(picture.name);
    if (found == settled.byName.end())
        return false;
    SettledPicture& entry = found->second;
    entry.scan = settled.scan;
    if (entry.outcome == PictureOutcome::OnlineOnly)
        return IsOnlineOnly(picture.attributes);
    if (!ListedUnchanged(entry, picture))
        return false;
    if (entry.changeTimeFromListing && IsKeptOutcome(entry.outcome))
        settled.keptChanged = true;  // its change time known, it is kept from now on
    entry.changeTime = picture.changeTime;
    entry.creationTime = picture.creationTime;
    entry.changeTimeFromListing = false;
    if (entry.fromFileTime && Settings.FileModifiedDate.load() == 0)
        return false;
    if (entry.outcome != PictureOutcome::KeepsNumberedName)
        return true;
    // The plain name is the stamp the name begins with and the same extension;
    // once it is free the picture moves to it.
    std::wstring plain =
        folderPath + picture.name.substr(0, StampLength) + picture.name.substr(picture.extension);
    return FileExists(plain.c_str());
}

static void Settle(SettledPictures& settled, const std::wstring& name, const ListedFile& listed,
                   PictureOutcome outcome, bool fromFileTime, bool changeTimeFromListing)
{
    auto found = settled.byName.find(name);
    if (found == settled.byName.end() && settled.byName.size() >= MaxSettledPictures)
        return;
    if (IsKeptOutcome(outcome) ||
        (found != settled.byName.end() && IsKeptOutcome(found->second.outcome)))
        settled.keptChanged = true;
    settled.byName[name] = {listed.size,           listed.lastWrite, listed.changeTime,
                            listed.creationTime,   outcome,          fromFileTime,
                            changeTimeFromListing, settled.scan};
}

void SettlePicture(SettledPictures& settled, const std::wstring& name, const ListedFile& listed,
                   PictureOutcome outcome, bool fromFileTime)
{
    Settle(settled, name, listed, outcome, fromFileTime, false);
}

void SettleRenamedPicture(SettledPictures& settled, const std::wstring& name,
                          const ListedFile& listed, PictureOutcome outcome, bool fromFileTime)
{
    Settle(settled, name, listed, outcome, fromFileTime, true);
}

void ForgetPicture(SettledPictures& settled, const std::wstring& name)
{
    settled.byName.erase(name);
}
