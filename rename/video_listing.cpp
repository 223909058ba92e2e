#include "rename/video_listing.h"

#include <algorithm>
#include <unordered_set>

#include "capture/ascii_text.h"
#include "capture/video_file.h"

constexpr size_t ClipMetadataSuffixLength = sizeof ClipMetadataSuffix / sizeof(wchar_t) - 1;

bool IsClipMetadataName(const std::wstring& name, size_t extension)
{
    return name.size() > ClipMetadataSuffixLength && extension == name.size() - 4 &&
           AsciiEqualNoCase(name.c_str() + name.size() - ClipMetadataSuffixLength,
                            ClipMetadataSuffix);
}

std::wstring ClipBaseOf(const std::wstring& metadataName)
{
    return metadataName.substr(0, metadataName.size() - ClipMetadataSuffixLength);
}

bool IsListedVideo(const ListedFile& file)
{
    return IsVideoExtension(file.name.c_str() + file.extension);
}

bool VideosTravel(const CompanionList& list)
{
    return std::any_of(list.extensions.begin(), list.extensions.end(),
                       [](const std::wstring& extension) {
                           return IsVideoExtension((L"." + extension).c_str());
                       });
}

void SetApartTravellingVideos(FolderListing* listing)
{
    if (!VideosTravel(*listing->companions))
        return;
    std::vector<ListedFile>& pictures = listing->pictures;
    auto travels = [&](const ListedFile& file) {
        return IsListedVideo(file) && RawExtensionOf(*listing, file) != nullptr;
    };
    if (std::none_of(pictures.begin(), pictures.end(), travels))
        return;
    std::unordered_set<std::wstring> stillBases;
    for (const ListedFile& picture : pictures) {
        if (!IsListedVideo(picture))
            stillBases.insert(FoldedName(picture.name.substr(0, picture.extension)));
    }
    std::erase_if(pictures, [&](const ListedFile& file) {
        return travels(file) && stillBases.count(FoldedName(file.name.substr(0, file.extension)));
    });
}
