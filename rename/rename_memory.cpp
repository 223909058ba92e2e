#include "rename/rename_memory.h"

#include "rename/folder_listing.h"

void RememberRename(RenameMemory& renames, const std::wstring& oldBase,
                    const RememberedRename& rename)
{
    if (renames.byOldBase.size() >= MaxRememberedRenames) {
        uint64_t keepFrom = renames.made - MaxRememberedRenames / 2;
        std::erase_if(renames.byOldBase,
                      [&](const auto& entry) { return entry.second.order < keepFrom; });
    }
    RememberedRename& kept = renames.byOldBase[FoldedName(oldBase)];
    kept = rename;
    kept.order = renames.made++;
    renames.keptChanged = true;
}

void RememberRename(RenameMemory& renames, const std::wstring& oldBase, const std::wstring& newBase)
{
    RememberedRename rename;
    rename.newBase = newBase;
    rename.fromFileTime = true;
    RememberRename(renames, oldBase, rename);
}

RememberedRename* FindRename(RenameMemory& renames, const std::wstring& oldBase)
{
    if (renames.byOldBase.empty())
        return nullptr;
    auto found = renames.byOldBase.find(FoldedName(oldBase));
    return found == renames.byOldBase.end() ? nullptr : &found->second;
}

const std::wstring* RenamedTo(RenameMemory& renames, const std::wstring& oldBase)
{
    const RememberedRename* rename = FindRename(renames, oldBase);
    return rename ? &rename->newBase : nullptr;
}

void ForgetRename(RenameMemory& renames, const std::wstring& oldBase)
{
    if (renames.byOldBase.erase(FoldedName(oldBase)) != 0)
        renames.keptChanged = true;
}
