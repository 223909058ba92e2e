// A camera card copied by a file manager into a folder the real Lumistamp.exe
// watches: pairs of a picture and its raw file, each file created and then
// written for a while, held open without delete sharing. Once the copy is
// done every pair must stand under its picture's stamp, and the log must hold
// nothing for files that were merely being written.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "tests/app/card_copy_run.h"
#include "tests/app/program_driver.h"
#include "tests/reliability/folder_contents.h"
#include "tests/soak/soak_samples.h"
#include "tests/support/message_box_catcher.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/window_driver.h"

namespace {

// One pair of the card, and the names both files must end under.
struct CardPair {
    std::wstring camera;  // "DSC_0001": the base name both files arrive under
    std::wstring stamp;   // the picture's capture second; empty: no date
    uint64_t pictureHash = 0, rawHash = 0;
    std::wstring Final() const { return stamp.empty() ? camera : stamp; }
};

struct CardCopyCase {
    const char* name;
    int pairs;
    uint32_t bytesPerSecond;
    bool rawFirst;
};

void PrintTo(const CardCopyCase& copy, std::ostream* out)
{
    *out << copy.name << " (" << copy.pairs << " pairs at " << copy.bytesPerSecond / MiB
         << " MiB/s)";
}

// The copy (30 pairs of a 4 MiB picture and a 20 MiB raw file at
// 40 MiB/s), the same at 2 MiB/s with fewer pairs, and raw files first.
const CardCopyCase Cases[] = {
    {"FastPictureFirst", 30, 40 * MiB, false},
    {"SlowPictureFirst", 3, 2 * MiB, false},
    {"FastRawFirst", 10, 40 * MiB, true},
};

// Capture seconds a minute and a second apart, one of every eight pictures
// without a date.
std::vector<CardPair> MakeCard(const std::wstring& card, int pairs)
{
    SampleSet samples = LoadSamples(Unslashed(LUMISTAMP_EXIF_SAMPLES));
    std::vector<CardPair> made;
    for (int index = 0; index < pairs; ++index) {
        wchar_t camera[16];
        swprintf(camera, 16, L"DSC_%04d", index + 1);
        CardPair pair;
        pair.camera = camera;
        std::vector<uint8_t> picture;
        if (index % 8 == 3) {
            picture = samples.undated[index % samples.undated.size()].bytes;
        } else {
            int seconds = 10 * 3600 + index * 61;
            char date[32];
            snprintf(date, sizeof(date), "2021:05:01 %02d:%02d:%02d", seconds / 3600,
                     seconds / 60 % 60, seconds % 60);
            wchar_t stamp[32];
            swprintf(stamp, 32, L"20210501_%02d%02d%02d", seconds / 3600, seconds / 60 % 60,
                     seconds % 60);
            pair.stamp = stamp;
            picture = WithDateText(samples.dated[index % samples.dated.size()], date);
        }
        picture = FilledTo(std::move(picture), 4 * MiB, 2 * index + 1);
        std::vector<uint8_t> raw = FilledTo({}, 20 * MiB, 2 * index + 2);
        pair.pictureHash = ContentHash(picture);
        pair.rawHash = ContentHash(raw);
        if (!WriteFileBytes(card + L"\\" + pair.camera + L".JPG", picture) ||
            !WriteFileBytes(card + L"\\" + pair.camera + L".NEF", raw))
            return {};
        made.push_back(pair);
    }
    return made;
}

// The copier runs to its end; its exit code, or STILL_ACTIVE when it did not end.
DWORD CopyCard(const std::wstring& card, const std::wstring& folder, const CardCopyCase& copy)
{
    std::wstring commandLine = CopierCommand(card, folder, copy.bytesPerSecond,
                                             std::wstring(L" --share-read alternate") +
                                                 (copy.rawFirst ? L" --raw-first" : L""));
    // Three times the copy's own time, and a minute for a loaded machine.
    uint64_t bytes = static_cast<uint64_t>(copy.pairs) * 24 * MiB;
    return RunToEnd(commandLine, static_cast<DWORD>(bytes * 3000 / copy.bytesPerSecond) + 60000);
}

std::map<std::wstring, uint64_t> ExpectedContents(const std::vector<CardPair>& pairs)
{
    std::map<std::wstring, uint64_t> expected;
    for (const CardPair& pair : pairs) {
        expected[pair.Final() + L".JPG"] = pair.pictureHash;
        expected[pair.Final() + L".NEF"] = pair.rawHash;
    }
    return expected;
}

std::vector<std::wstring> Names(const std::map<std::wstring, uint64_t>& contents)
{
    std::vector<std::wstring> names;
    for (const auto& entry : contents)
        names.push_back(entry.first);
    return names;
}

// What is wrong with each pair, in words: which pair split, which stayed.
std::vector<std::string> PairProblems(const std::vector<CardPair>& pairs,
                                      const std::map<std::wstring, uint64_t>& contents)
{
    std::map<uint64_t, std::wstring> nameOf;
    for (const auto& [name, hash] : contents)
        nameOf[hash] = name;
    auto where = [&](uint64_t hash) {
        auto found = nameOf.find(hash);
        return found == nameOf.end() ? std::wstring(L"(missing)") : found->second;
    };
    std::vector<std::string> problems;
    for (const CardPair& pair : pairs) {
        std::wstring picture = where(pair.pictureHash), raw = where(pair.rawHash);
        std::wstring wantPicture = pair.Final() + L".JPG", wantRaw = pair.Final() + L".NEF";
        if (picture == wantPicture && raw == wantRaw)
            continue;
        std::string what = "pair " + Narrow(pair.camera);
        if (!pair.stamp.empty() && picture == wantPicture)
            what +=
                " split: the picture is " + Narrow(picture) + ", its raw file stays " + Narrow(raw);
        else if (!pair.stamp.empty() && picture == pair.camera + L".JPG")
            what += " (" + Narrow(pair.stamp) + ") left under its camera name: the picture is " +
                    Narrow(picture) + ", its raw file " + Narrow(raw);
        else
            what += ": the picture is " + Narrow(picture) + ", its raw file " + Narrow(raw) +
                    "; expected " + Narrow(wantPicture) + " and " + Narrow(wantRaw);
        problems.push_back(what);
    }
    for (const auto& [name, hash] : contents) {
        bool sent = false;
        for (const CardPair& pair : pairs)
            sent = sent || hash == pair.pictureHash || hash == pair.rawHash;
        if (!sent)
            problems.push_back("a file nobody copied: " + Narrow(name));
    }
    return problems;
}

// Every line the copy may bring: the start's, the two "Renamed" lines of each
// dated pair (each once), and the undated pictures' "No Exif" line (at least
// once: every scan repeats it). Anything else is a line for a file that was
// merely being written ("Error 32 renaming ...", "No Exif ..." for a dated
// picture).
std::vector<std::string> LineProblems(const std::vector<CardPair>& pairs,
                                      const std::wstring& folder,
                                      const std::vector<std::string>& lines)
{
    std::string path = Narrow(folder);
    std::map<std::string, int> renamed;  // expected "Renamed" line -> times seen
    std::map<std::string, int> undated;  // expected "No Exif" line -> times seen
    for (const CardPair& pair : pairs) {
        std::string camera = Narrow(pair.camera), stamp = Narrow(pair.stamp);
        if (stamp.empty()) {
            undated["No Exif information available for " + path + "\\" + camera +
                    ".JPG failed, File not renamed"] = 0;
            continue;
        }
        renamed["Renamed " + path + "\\" + camera + ".JPG to " + stamp + ".JPG"] = 0;
        renamed["Renamed " + path + "\\" + camera + ".NEF to " + path + "\\" + stamp + ".NEF"] = 0;
    }
    std::vector<std::string> problems;
    for (size_t index = 0; index < lines.size(); ++index) {
        const std::string& line = lines[index];
        if ((index == 0 && line == "Querying the following folder(s):") ||
            (index == 1 && line == path))
            continue;
        auto expected = renamed.find(line);
        if (expected != renamed.end()) {
            if (++expected->second == 2)
                problems.push_back("logged twice: " + line);
            continue;
        }
        auto noExif = undated.find(line);
        if (noExif != undated.end())
            ++noExif->second;
        else
            problems.push_back("unexpected line: " + line);
    }
    for (const std::map<std::string, int>* expected : {&renamed, &undated})
        for (const auto& [line, seen] : *expected)
            if (seen == 0)
                problems.push_back("missing line: " + line);
    return problems;
}

class CardCopy : public CardCopyRun<CardCopyCase> {};

TEST_P(CardCopy, EveryPairEndsUnderItsStampWithoutALineForBusyFiles)
{
    const CardCopyCase& copy = GetParam();
    std::vector<CardPair> pairs = MakeCard(card.Path(), copy.pairs);
    ASSERT_EQ(pairs.size(), static_cast<size_t>(copy.pairs)) << "cannot write the card";

    HWND window = StartWatching();
    ASSERT_NE(window, nullptr) << "the program did not start";

    ASSERT_EQ(CopyCard(card.Path(), watched.Path(), copy), 0u) << "the copier failed";
    std::map<std::wstring, uint64_t> expected = ExpectedContents(pairs);
    WaitForNames(Names(expected));

    std::map<std::wstring, uint64_t> contents = FolderContents(watched.Path());
    std::vector<std::string> pairProblems = PairProblems(pairs, contents);
    EXPECT_TRUE(pairProblems.empty())
        << pairProblems.size() << " of " << pairs.size() << " pairs are not where they belong"
        << ListedProblems(pairProblems);

    ExitThroughTrayMenu(window);
    std::vector<std::string> lineProblems =
        LineProblems(pairs, watched.Path(), LogTexts(ProgramLogPath()));
    EXPECT_TRUE(lineProblems.empty())
        << "the log is not the copy's" << ListedProblems(lineProblems);
}

INSTANTIATE_TEST_SUITE_P(Copies, CardCopy, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<CardCopyCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
