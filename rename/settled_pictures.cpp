#include "rename/settled_pictures.h"

#include <unordered_set>

#include "rename/target_name.h"

// "YYYYMMDD_HHMMSS" with a four-digit year.
constexpr size_t StampLength = 15;

void ForgetUnlistedPictures(SettledPictures& settled, const FolderListing& listing)
{
    if (settled.byName.empty())
        return;
    std::unordered_set<std::wstring> listed;
    listed.reserve(listing.pictures.size());
    for (const ListedFile& picture : listing.pictures)
        listed.insert(picture.name);
    std::erase_if(settled.byName, [&](const auto& entry) { return !listed.count(entry.first); });
}

bool IsSettled(const SettledPictures& settled, const ListedFile& picture,
               const std::wstring& folderPath)
{
    auto found = settled.byName.find(picture.name);
    if (found == settled.byName.end() || found->second.size != picture.size ||
        found->second.lastWrite != picture.lastWrite)
        return false;
    if (found->second.outcome != PictureOutcome::KeepsNumberedName)
        return true;
    // The plain name is the stamp the name begins with and the same extension;
    // once it is free the picture moves to it.
    std::wstring plain = folderPath + picture.name.substr(0, StampLength) +
                         picture.name.substr(picture.extension);
    return FileExists(plain.c_str());
}

void SettlePicture(SettledPictures& settled, const std::wstring& name, uint64_t size,
                   uint64_t lastWrite, PictureOutcome outcome)
{
    if (settled.byName.size() >= MaxSettledPictures && !settled.byName.count(name))
        return;
    settled.byName[name] = {size, lastWrite, outcome};
}

void ForgetPicture(SettledPictures& settled, const std::wstring& name)
{
    settled.byName.erase(name);
}
