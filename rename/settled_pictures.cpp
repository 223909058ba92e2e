#include "rename/settled_pictures.h"

#include "rename/cloud_files.h"
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

bool IsSettled(SettledPictures& settled, const ListedFile& picture, const std::wstring& folderPath)
{
    auto found = settled.byName.find(picture.name);
    if (found == settled.byName.end())
        return false;
    found->second.scan = settled.scan;
    if (found->second.outcome == PictureOutcome::OnlineOnly)
        return IsOnlineOnly(picture.attributes);
    if (found->second.size != picture.size || found->second.lastWrite != picture.lastWrite ||
        found->second.changeTime != picture.changeTime)
        return false;
    if (found->second.fromFileTime && Settings.FileModifiedDate.load() == 0)
        return false;
    if (found->second.outcome != PictureOutcome::KeepsNumberedName)
        return true;
    // The plain name is the stamp the name begins with and the same extension;
    // once it is free the picture moves to it.
    std::wstring plain =
        folderPath + picture.name.substr(0, StampLength) + picture.name.substr(picture.extension);
    return FileExists(plain.c_str());
}

void SettlePicture(SettledPictures& settled, const std::wstring& name, const ListedFile& listed,
                   PictureOutcome outcome, bool fromFileTime)
{
    auto found = settled.byName.find(name);
    if (found == settled.byName.end() && settled.byName.size() >= MaxSettledPictures)
        return;
    if (IsKeptOutcome(outcome) ||
        (found != settled.byName.end() && IsKeptOutcome(found->second.outcome)))
        settled.keptChanged = true;
    settled.byName[name] = {listed.size, listed.lastWrite, listed.changeTime,
                            outcome,     fromFileTime,     settled.scan};
}

void ForgetPicture(SettledPictures& settled, const std::wstring& name)
{
    settled.byName.erase(name);
}
