#include "rename/rename_memory.h"

#include "rename/folder_listing.h"

void RememberRename(RenameMemory& renames, const std::wstring& oldBase, const std::wstring& newBase)
{
    if (renames.byOldBase.size() >= MaxRememberedRenames) {
        uint64_t keepFrom = renames.made - MaxRememberedRenames / 2;
        std::erase_if(renames.byOldBase,
                      [&](const auto& entry) { return entry.second.order < keepFrom; });
    }
    renames.byOldBase[FoldedName(oldBase)] = {newBase, renames.made++};
}

const std::wstring* RenamedTo(const RenameMemory& renames, const std::wstring& oldBase)
{
    if (renames.byOldBase.empty())
        return nullptr;
    auto found = renames.byOldBase.find(FoldedName(oldBase));
    return found == renames.byOldBase.end() ? nullptr : &found->second.newBase;
}

void ForgetRename(RenameMemory& renames, const std::wstring& oldBase)
{
    renames.byOldBase.erase(FoldedName(oldBase));
}
