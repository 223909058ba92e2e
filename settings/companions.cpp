#include "settings/companions.h"

#include <windows.h>

#include "events/event_history.h"

static const wchar_t CompanionsIgnored[] =
    L"Companions: %s ignored (extensions without dots, at most 16 characters, 32 entries)";

// The list the scans take, replaced whole under the lock: a scan keeps the
// one it took for as long as it runs.
static SRWLOCK CompanionsLock = SRWLOCK_INIT;
static std::shared_ptr<const CompanionList> Companions = std::make_shared<CompanionList>();

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
        if (AsciiSameNoCase(entry, L"XMP")) {
            list.sidecars = true;
            continue;
        }
        bool listed = false;
        for (const std::wstring& extension : list.extensions)
            listed = listed || AsciiSameNoCase(extension, entry);
        if (!listed)
            list.extensions.push_back(entry);
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
