// The program's icon as its resources hold it: an image drawn for each size
// the shell asks for, so that the tray (16 to 32 pixels by scaling) and
// Explorer (48, 256) never shrink a larger one.
#include <windows.h>
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "resources/resource_ids.h"

namespace {

// The icon group's directory as it lies in the resource (GRPICONDIR): packed,
// a 6-byte head and 14-byte entries.
#pragma pack(push, 2)
struct IconGroupHead {
    WORD reserved;
    WORD type;
    WORD count;
};
struct IconGroupEntry {
    BYTE width;  // 0 stands for 256
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitsPerPixel;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

struct IconImage {
    unsigned width;
    unsigned height;
    unsigned bitsPerPixel;
};

// The images of the program's icon group, read from Lumistamp.exe itself.
std::vector<IconImage> ProgramIconImages()
{
    std::vector<IconImage> images;
    HMODULE program = LoadLibraryExW(LUMISTAMP_EXE, nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    EXPECT_NE(program, nullptr) << "cannot load " << LUMISTAMP_EXE << ", error " << GetLastError();
    if (!program)
        return images;
    HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(IDI_LUMISTAMP), RT_GROUP_ICON);
    HGLOBAL loaded = found ? LoadResource(program, found) : nullptr;
    const auto* bytes = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    EXPECT_NE(bytes, nullptr) << "no icon group " << IDI_LUMISTAMP;
    if (bytes) {
        DWORD size = SizeofResource(program, found);
        IconGroupHead head = {};
        CopyMemory(&head, bytes, sizeof(head));
        for (WORD i = 0; i < head.count; ++i) {
            size_t at = sizeof(head) + i * sizeof(IconGroupEntry);
            if (at + sizeof(IconGroupEntry) > size)
                break;
            IconGroupEntry entry = {};
            CopyMemory(&entry, bytes + at, sizeof(entry));
            images.push_back({entry.width ? entry.width : 256u, entry.height ? entry.height : 256u,
                              entry.bitsPerPixel});
        }
    }
    FreeLibrary(program);
    return images;
}

TEST(ProgramIcon, HoldsAnImageForEverySizeTheShellAsksFor)
{
    std::vector<IconImage> images = ProgramIconImages();
    std::set<unsigned> sizes;
    for (const IconImage& image : images) {
        EXPECT_EQ(image.width, image.height)
            << "a " << image.width << " x " << image.height << " image";
        EXPECT_EQ(image.bitsPerPixel, 32u) << "the " << image.width << "-pixel image";
        sizes.insert(image.width);
    }
    // 16, 20, 24 and 32: the tray at 100, 125, 150 and 200 %; 48 and 256:
    // Explorer's icons; 40 and 64 between.
    for (unsigned wanted : {16u, 20u, 24u, 32u, 40u, 48u, 64u, 256u})
        EXPECT_EQ(sizes.count(wanted), 1u) << "no " << wanted << "-pixel image";
}

}  // namespace
