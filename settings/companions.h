// The files that travel with a picture: the extensions of the "Companions"
// registry value, parsed, and the list the scans work with. Set on the
// user-interface thread when the settings are loaded or confirmed; each
// listing takes the list of that moment and keeps it for its scan.
#pragma once

#include <memory>
#include <string>
#include <vector>

// Bounds on the value: entries beyond them are ignored and logged.
constexpr size_t MaxCompanionEntries = 32;
constexpr size_t MaxCompanionLength = 16;

struct CompanionList {
    // The raw files' extensions as written, without their dot, no two alike
    // ignoring ASCII case; never a sidecar kind.
    std::vector<std::wstring> extensions{L"NEF"};
    // The sidecar kinds listed (see IsSidecarKind), as written, no two alike.
    std::vector<std::wstring> sidecarKinds;
    bool sidecars = false;  // a sidecar kind listed: sidecars follow
    // Set from the value: only then is a raw file's own capture time compared
    // with its picture's. Without it everything goes as it always went.
    bool fromSetting = false;
};

// Whether files of this extension (without its dot, ASCII case ignored) are
// sidecars: an editor's files beside a picture or a raw file, named after
// its base name (DSC_0001.xmp) or its whole name (DSC_0001.NEF.xmp).
bool IsSidecarKind(const std::wstring& extension);

// Parses the value's text: entries separated by blanks, tabs, commas or
// semicolons. An entry with a dot, a path character or a wildcard, longer
// than MaxCompanionLength, or beyond the first MaxCompanionEntries is left
// out and appended to *ignored. Text that leaves nothing is the default list.
CompanionList ParseCompanions(const std::wstring& text, std::vector<std::wstring>* ignored);

// Parses the text (null: the value is absent), logs the ignored entries in
// one line, and makes the list the one the next listings take.
void UseCompanions(const std::wstring* text);

// The list in use now; the default one until UseCompanions is called.
std::shared_ptr<const CompanionList> CurrentCompanions();
