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

bool IsOtherShot(const RememberedRename& rename, const std::wstring& extension)
{
    if (rename.otherShots.empty())
        return false;
    std::wstring entry = FoldedName(extension) + L"|";
    for (size_t at = 0; at < rename.otherShots.size(); at = rename.otherShots.find(L'|', at) + 1) {
        if (rename.otherShots.compare(at, entry.size(), entry) == 0)
            return true;
    }
    return false;
}

void AddOtherShot(RememberedRename& rename, const std::wstring& extension)
{
    if (!IsOtherShot(rename, extension))
        rename.otherShots += FoldedName(extension) + L"|";
}
