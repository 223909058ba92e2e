#include "settings/companions.h"

#include <windows.h>

#include "events/event_history.h"

static const wchar_t CompanionsIgnored[] =
    L"Companions: %s ignored (extensions without dots, at most 16 characters, 32 entries)";

// The list the scans take, replaced whole under the lock: a scan keeps the
// one it took for as long as it runs.
static SRWLOCK CompanionsLock = SRWLOCK_INIT;
static std::shared_ptr<const CompanionList> Companions = std::make_shared<CompanionList>();

// The sidecar kinds whose writers document where they put them: XMP (Adobe's
// and many others'); PP3, RawTherapee's ("for IMG001.NEF there should be a
// IMG001.NEF.pp3", its manual page, option -s); DOP, DxO PhotoLab's
// ("file_name.ext.dop" beside the photo); ON1, ON1 Photo RAW's ("stored
// alongside the image they belong to with the same name", its help on
// enabling sidecar files).
static const wchar_t* const SidecarKinds[] = {L"XMP", L"PP3", L"DOP", L"ON1"};

static bool IsSeparator(wchar_t c) { return c == L' ' || c == L'\t' || c == L',' || c == L';'; }

static bool AsciiSameNoCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// An extension is a plain name part: no dot, nothing a path or a wildcard
// gives a meaning to, no control character.
static bool IsPlainExtension(const std::wstring& entry)
{
    if (entry.size() > MaxCompanionLength)
        return false;
    for (wchar_t c : entry) {
        if (c < L' ' || wcschr(L".\\/:*?\"<>|", c) != nullptr)
            return false;
    }
    return true;
}

bool IsSidecarKind(const std::wstring& extension)
{
    for (const wchar_t* kind : SidecarKinds)
        if (AsciiSameNoCase(extension, kind))
            return true;
    return false;
}

// Adds the entry to the list unless it holds one alike.
static void AddOnce(std::vector<std::wstring>& list, const std::wstring& entry)
{
    for (const std::wstring& listed : list)
        if (AsciiSameNoCase(listed, entry))
            return;
    list.push_back(entry);
}

CompanionList ParseCompanions(const std::wstring& text, std::vector<std::wstring>* ignored)
{
    CompanionList list;
    list.extensions.clear();
    size_t entries = 0;
    for (size_t at = 0; at < text.size();) {
        if (IsSeparator(text[at])) {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < text.size() && !IsSeparator(text[end]))
            ++end;
        std::wstring entry = text.substr(at, end - at);
        at = end;
        if (++entries > MaxCompanionEntries || !IsPlainExtension(entry)) {
            ignored->push_back(entry);
            continue;
        }
        if (IsSidecarKind(entry)) {
            AddOnce(list.sidecarKinds, entry);
            list.sidecars = true;
        } else {
            AddOnce(list.extensions, entry);
        }
    }
    if (list.extensions.empty() && !list.sidecars)
        return CompanionList();
    list.fromSetting = true;
    return list;
}

void UseCompanions(const std::wstring* text)
{
    std::vector<std::wstring> ignored;
    auto list = std::make_shared<const CompanionList>(text ? ParseCompanions(*text, &ignored)
                                                           : CompanionList());
    if (!ignored.empty()) {
        std::wstring entries;
        for (const std::wstring& entry : ignored)
            entries += (entries.empty() ? L"\"" : L", \"") + entry + L"\"";
        LogEventFormat(CompanionsIgnored, entries.c_str());
    }
    AcquireSRWLockExclusive(&CompanionsLock);
    Companions = list;
    ReleaseSRWLockExclusive(&CompanionsLock);
}

std::shared_ptr<const CompanionList> CurrentCompanions()
{
    AcquireSRWLockShared(&CompanionsLock);
    std::shared_ptr<const CompanionList> list = Companions;
    ReleaseSRWLockShared(&CompanionsLock);
    return list;
}
