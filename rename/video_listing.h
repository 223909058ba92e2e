// What a listing makes of videos once the VideoFiles option is on: a video is
// renamed as a picture is, unless it travels with a picture of its base name
// (a Live Photo's MOV with MOV in the companions list), and a Sony clip's own
// metadata file travels with its clip.
#pragma once

#include <string>

#include "rename/folder_listing.h"

// What follows a Sony clip's base name in its metadata file's name
// (C0001M01.XML beside C0001.MP4).
constexpr wchar_t ClipMetadataSuffix[] = L"M01.XML";

// Whether the listed name is a Sony camera's clip metadata file: a base name
// and ClipMetadataSuffix, any ASCII case. extension is where the name's
// extension starts.
bool IsClipMetadataName(const std::wstring& name, size_t extension);

// The clip base name a clip metadata file belongs to (C0001 of C0001M01.XML).
std::wstring ClipBaseOf(const std::wstring& metadataName);

// Whether a listed picture is a video (the extension test of the reader).
bool IsListedVideo(const ListedFile& file);

// Whether any video extension is among the files that travel: only then can a
// listed video be one of a picture's companions.
bool VideosTravel(const CompanionList& list);

// Takes out of the listing's pictures every video that travels with a listed
// picture of its base name that is not a video: it is one of that picture's
// companions (it is listed with them too).
void SetApartTravellingVideos(FolderListing* listing);
