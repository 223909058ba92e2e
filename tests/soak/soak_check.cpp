#include "tests/soak/soak_check.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <set>

#include "tests/reliability/folder_contents.h"
#include "tests/support/scratch_folder.h"

namespace {

const size_t StampWidth = 20;  // "DD.MM.YYYY HH:MM:SS " before each event's text

bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

// What the events say about the files they name: the full paths of pictures
// and companions that some event reports as not renamed, each with the first
// such line, and the new name a failed rename of the file asked for.
struct EventIndex {
    std::map<std::wstring, std::wstring> reported;
    std::map<std::wstring, std::wstring> renameTargets;
};

EventIndex IndexEvents(const std::vector<std::wstring>& history, SoakFindings* findings)
{
    static const std::wstring Renamed = L"Renamed ", Error = L"Error ", Renaming = L" renaming ",
                              To = L" to ", NoExif = L"No Exif information available for ",
                              NoExifEnd = L" failed, File not renamed",
                              Unreadable = L"GetPropertyItem for ",
                              UnreadableEnd = L" failed, Error ",
                              NotADate = L"Cannot retrieve date/time from ";
    EventIndex index;
    std::set<std::wstring> renames;
    for (const std::wstring& line : history) {
        std::wstring text = line.size() >= StampWidth ? line.substr(StampWidth) : line;
        size_t renaming = text.find(Renaming);
        if (StartsWith(text, Renamed)) {
            // Two monitors of one folder may both be told that they renamed
            // the same file to the same name.
            findings->repeatedRenames += renames.insert(text).second ? 0 : 1;
            size_t to = text.rfind(To);
            bool companion = to != std::wstring::npos && text.find(L'\\', to) != std::wstring::npos;
            ++(companion ? findings->companionRenames : findings->pictureRenames);
        } else if (StartsWith(text, Error) && renaming != std::wstring::npos) {
            // "Error N renaming OLD to NEW": a picture's OLD is its short name
            // (its folder is NEW's), a companion's is its full path.
            ++findings->renameErrors[_wtoi(text.c_str() + Error.size())];
            size_t to = text.find(To, renaming + Renaming.size());
            if (to == std::wstring::npos)
                continue;
            std::wstring old =
                text.substr(renaming + Renaming.size(), to - renaming - Renaming.size());
            std::wstring target = text.substr(to + To.size());
            std::wstring path =
                old.find(L'\\') != std::wstring::npos ? old : FolderOf(target) + L"\\" + old;
            index.reported.insert({path, text});
            index.renameTargets.insert({path, target});
        } else if (StartsWith(text, Unreadable) && text.find(UnreadableEnd) != std::wstring::npos) {
            ++findings->dateUnreadableEvents;
            index.reported.insert(
                {text.substr(Unreadable.size(), text.rfind(UnreadableEnd) - Unreadable.size()),
                 text});
        } else if (StartsWith(text, NotADate)) {
            ++findings->dateUnreadableEvents;
            index.reported.insert({text.substr(NotADate.size()), text});
        } else if (StartsWith(text, NoExif) && text.size() > NoExif.size() + NoExifEnd.size()) {
            ++findings->noExifEvents;
            index.reported.insert(
                {text.substr(NoExif.size(), text.size() - NoExif.size() - NoExifEnd.size()), text});
        } else {
            ++findings->otherEvents;
        }
    }
    return index;
}

// NAME is "STAMP EXT" or "STAMP (NNN...)EXT".
bool BearsStamp(const std::wstring& name, const SoakItem& picture, bool* numbered)
{
    const std::wstring& stamp = picture.stamp;
    const std::wstring& extension = picture.extension;
    if (name.size() < stamp.size() + extension.size() || !StartsWith(name, stamp) ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
        return false;
    std::wstring middle = name.substr(stamp.size(), name.size() - stamp.size() - extension.size());
    *numbered = !middle.empty();
    if (middle.empty())
        return true;
    if (middle.size() < 6 || middle.compare(0, 2, L" (") != 0 || middle.back() != L')')
        return false;
    return std::all_of(middle.begin() + 2, middle.end() - 1, [](wchar_t c) { return iswdigit(c); });
}

// ", its line: ..." with the first line that reports the file, or ", without
// an event".
std::wstring LineOf(const EventIndex& events, const std::wstring& path)
{
    auto found = events.reported.find(path);
    return found == events.reported.end() ? L", without an event" : L", its line: " + found->second;
}

std::wstring BaseName(const std::wstring& name) { return name.substr(0, name.find_last_of(L'.')); }

std::string ToLatin1(const std::wstring& line)
{
    std::string bytes;
    for (wchar_t unit : line)
        bytes.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
    return bytes;
}

void CheckLogFile(const std::vector<std::wstring>& history, const std::string& logFile,
                  SoakFindings* findings)
{
    std::vector<std::string> records;
    size_t start = 0;
    while (start < logFile.size()) {
        size_t end = logFile.find("\r\n", start);
        if (end == std::string::npos) {
            findings->failures.push_back(L"the log file's last record has no line end");
            end = logFile.size();
        }
        records.push_back(logFile.substr(start, end - start));
        start = end + 2;
    }
    findings->logLines = records.size();
    if (history.empty() || history[0].size() < StampWidth ||
        history[0].substr(StampWidth) != L"Starting Lumistamp") {
        findings->failures.push_back(L"the history does not begin with \"Starting Lumistamp\"");
        return;
    }
    if (records.size() != history.size() - 1)
        findings->failures.push_back(L"the log file has " + std::to_wstring(records.size()) +
                                     L" lines, the history " + std::to_wstring(history.size()) +
                                     L" (the first of which never reaches the file)");
    for (size_t index = 0; index + 1 < history.size() && index < records.size(); ++index) {
        if (records[index] != ToLatin1(history[index + 1])) {
            findings->failures.push_back(L"log line " + std::to_wstring(index + 1) +
                                         L" differs from history line " +
                                         std::to_wstring(index + 2) + L": " + history[index + 1]);
            break;
        }
    }
}

}  // namespace

void CheckSoak(const SoakPlan& plan, const std::vector<std::wstring>& history,
               const std::string& logFile, SoakFindings* findings)
{
    findings->historyLines = history.size();
    EventIndex events = IndexEvents(history, findings);
    CheckLogFile(history, logFile, findings);
    std::vector<std::wstring>& failures = findings->failures;

    for (size_t folder = 0; folder < plan.folders.size(); ++folder) {
        const std::wstring& path = plan.folders[folder];
        std::map<std::wstring, uint64_t> contents = FolderContents(path);
        std::multimap<uint64_t, std::wstring> byHash;
        for (const auto& [name, hash] : contents)
            byHash.insert({hash, name});
        findings->filesChecked += static_cast<int>(contents.size());

        // Nothing lost, doubled or overwritten: the folder's contents are
        // exactly the files sent to it, whatever their names now.
        std::multiset<uint64_t> expected;
        for (const SoakItem& item : plan.items)
            if (item.folder == static_cast<int>(folder))
                expected.insert(item.hash);
        for (const auto& [hash, name] : byHash)
            if (expected.count(hash) != byHash.count(hash))
                failures.push_back(L"unexpected or doubled file " + path + L"\\" + name);

        auto nameOf = [&](const SoakItem& item) -> std::wstring {
            auto found = byHash.find(item.hash);
            return found == byHash.end() ? std::wstring() : found->second;
        };
        for (const SoakItem& item : plan.items) {
            if (item.folder != static_cast<int>(folder))
                continue;
            std::wstring name = nameOf(item);
            std::wstring arrival = path + L"\\" + item.name;
            if (name.empty()) {
                failures.push_back(L"lost: " + arrival);
                continue;
            }
            bool numbered = false;
            switch (item.kind) {
            case ItemKind::Other:
                ++findings->others;
                if (name != item.name)
                    failures.push_back(L"not a picture, but renamed: " + arrival + L" -> " + name);
                break;
            case ItemKind::UndatedPicture:
                ++findings->undatedPictures;
                if (name != item.name)
                    failures.push_back(L"undated picture renamed: " + arrival + L" -> " + name);
                else if (!events.reported.count(arrival))
                    failures.push_back(L"undated picture without its event: " + arrival);
                break;
            case ItemKind::DatedPicture:
                ++findings->datedPictures;
                if (BearsStamp(name, item, &numbered)) {
                    ++findings->namedByStamp;
                    findings->numbered += numbered ? 1 : 0;
                    findings->alreadyNamed += name == item.name ? 1 : 0;
                } else if (name == item.name) {
                    // A picture that was busy is renamed once it is free.
                    ++findings->datedLeft;
                    failures.push_back(L"dated picture " + arrival + L" (" + item.stamp +
                                       L") left under its camera name" + LineOf(events, arrival));
                } else {
                    failures.push_back(L"dated picture " + arrival + L" (" + item.stamp + L") is " +
                                       name);
                }
                break;
            case ItemKind::Companion: {
                ++findings->companions;
                const SoakItem& picture = plan.items[item.picture];
                std::wstring pictureName = nameOf(picture);
                // Its new name held by another file: the one reason a raw file
                // may stay behind a renamed picture.
                auto target = events.renameTargets.find(arrival);
                bool targetTaken = target != events.renameTargets.end() &&
                                   FolderOf(target->second) == path &&
                                   contents.count(target->second.substr(path.size() + 1));
                if (!pictureName.empty() && name == BaseName(pictureName) + L".NEF") {
                    ++findings->companionsFollowed;
                } else if (name == item.name && picture.kind == ItemKind::DatedPicture &&
                           !pictureName.empty() && pictureName != picture.name && !targetTaken) {
                    ++findings->splitPairs;
                    failures.push_back(L"split pair: " + path + L"\\" + picture.name + L" is " +
                                       pictureName + L", its raw file stays " + item.name +
                                       LineOf(events, arrival));
                } else if (events.reported.count(path + L"\\" + name)) {
                    ++findings->companionsLeft;  // under its arrival name or an earlier stamp
                } else {
                    failures.push_back(L"companion " + arrival + L" is " + name +
                                       L", its picture " + pictureName);
                }
                break;
            }
            }
            findings->stampNamed += item.stampNamed ? 1 : 0;
            findings->burstPictures += item.burst ? 1 : 0;
            findings->heldPlanned += item.held ? 1 : 0;
        }
    }
}
