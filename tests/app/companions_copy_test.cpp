// A card of several cameras' pairs copied by a file manager into a folder the
// real Lumistamp.exe watches, with the Companions value listing every kind
// and without it: each picture's raw file and sidecars (DSC_0001.xmp and
// DSC_0001.NEF.xmp alike) must end under the picture's new base name, another
// camera's raw file of the same base name must stay, and without the value
// only the ".NEF" may follow.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "tests/app/card_copy_run.h"
#include "tests/app/program_driver.h"
#include "tests/reliability/folder_contents.h"
#include "tests/soak/soak_samples.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/message_box_catcher.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/window_driver.h"

namespace {

const uint32_t CopyRate = 8 * MiB;
const DWORD CopyLimitMs = 120000;

enum class Kind {
    Picture,   // a dated JPEG
    TiffRaw,   // a TIFF-based raw file with its own DateTimeOriginal
    OrfRaw,    // the same with Olympus's signature
    Rw2Raw,    // the same with Panasonic's
    OtherRaw,  // a raw file without a TIFF header (CR3, RAF)
    Sidecar,   // an XMP text
};

struct CardFile {
    const wchar_t* name;  // on the card, and as it lands
    Kind kind;
    const char* date;            // the picture's or raw file's capture time
    const wchar_t* withList;     // where it ends with every kind listed
    const wchar_t* withoutList;  // where it ends without the value
};

// Eight cameras' pairs with sidecars in both naming forms, and at DSC_0010 a
// Nikon's pair beside a Sony's raw file taken hours later.
const CardFile Card[] = {
    {L"DSC_0001.JPG", Kind::Picture, "2021:05:01 10:00:00", L"20210501_100000.JPG",
     L"20210501_100000.JPG"},
    {L"DSC_0001.NEF", Kind::TiffRaw, "2021:05:01 10:00:00", L"20210501_100000.NEF",
     L"20210501_100000.NEF"},
    {L"DSC_0001.NEF.xmp", Kind::Sidecar, "", L"20210501_100000.NEF.xmp", L"DSC_0001.NEF.xmp"},
    {L"DSC_0002.JPG", Kind::Picture, "2021:05:01 10:01:01", L"20210501_100101.JPG",
     L"20210501_100101.JPG"},
    {L"DSC_0002.ARW", Kind::TiffRaw, "2021:05:01 10:01:01", L"20210501_100101.ARW",
     L"DSC_0002.ARW"},
    {L"DSC_0002.xmp", Kind::Sidecar, "", L"20210501_100101.xmp", L"DSC_0002.xmp"},
    {L"IMG_0003.JPG", Kind::Picture, "2021:05:01 10:02:02", L"20210501_100202.JPG",
     L"20210501_100202.JPG"},
    {L"IMG_0003.CR2", Kind::TiffRaw, "2021:05:01 10:02:04", L"20210501_100202.CR2",
     L"IMG_0003.CR2"},
    {L"IMG_0003.CR2.xmp", Kind::Sidecar, "", L"20210501_100202.CR2.xmp", L"IMG_0003.CR2.xmp"},
    {L"IMG_0004.JPG", Kind::Picture, "2021:05:01 10:03:03", L"20210501_100303.JPG",
     L"20210501_100303.JPG"},
    {L"IMG_0004.CR3", Kind::OtherRaw, "", L"20210501_100303.CR3", L"IMG_0004.CR3"},
    {L"IMG_0004.xmp", Kind::Sidecar, "", L"20210501_100303.xmp", L"IMG_0004.xmp"},
    {L"DSCF0005.JPG", Kind::Picture, "2021:05:01 10:04:04", L"20210501_100404.JPG",
     L"20210501_100404.JPG"},
    {L"DSCF0005.RAF", Kind::OtherRaw, "", L"20210501_100404.RAF", L"DSCF0005.RAF"},
    {L"DSCF0005.RAF.xmp", Kind::Sidecar, "", L"20210501_100404.RAF.xmp", L"DSCF0005.RAF.xmp"},
    {L"P0000006.JPG", Kind::Picture, "2021:05:01 10:05:05", L"20210501_100505.JPG",
     L"20210501_100505.JPG"},
    {L"P0000006.ORF", Kind::OrfRaw, "2021:05:01 10:05:04", L"20210501_100505.ORF", L"P0000006.ORF"},
    {L"P0000006.xmp", Kind::Sidecar, "", L"20210501_100505.xmp", L"P0000006.xmp"},
    {L"P1000007.JPG", Kind::Picture, "2021:05:01 10:06:06", L"20210501_100606.JPG",
     L"20210501_100606.JPG"},
    {L"P1000007.RW2", Kind::Rw2Raw, "2021:05:01 10:06:06", L"20210501_100606.RW2", L"P1000007.RW2"},
    {L"P1000007.RW2.xmp", Kind::Sidecar, "", L"20210501_100606.RW2.xmp", L"P1000007.RW2.xmp"},
    {L"L1000008.JPG", Kind::Picture, "2021:05:01 10:07:07", L"20210501_100707.JPG",
     L"20210501_100707.JPG"},
    {L"L1000008.DNG", Kind::TiffRaw, "2021:05:01 10:07:07", L"20210501_100707.DNG",
     L"L1000008.DNG"},
    {L"L1000008.DNG.xmp", Kind::Sidecar, "", L"20210501_100707.DNG.xmp", L"L1000008.DNG.xmp"},
    {L"L1000008.xmp", Kind::Sidecar, "", L"20210501_100707.xmp", L"L1000008.xmp"},
    {L"DSC_0010.JPG", Kind::Picture, "2021:05:01 10:09:09", L"20210501_100909.JPG",
     L"20210501_100909.JPG"},
    {L"DSC_0010.NEF", Kind::TiffRaw, "2021:05:01 10:09:09", L"20210501_100909.NEF",
     L"20210501_100909.NEF"},
    {L"DSC_0010.ARW", Kind::TiffRaw, "2021:05:01 15:30:00", L"DSC_0010.ARW", L"DSC_0010.ARW"},
};

// The line that tells of DSC_0010.ARW staying: the picture's new name is
// given with its extension when both are in one scan, without it when the
// raw file lands after the rename.
const wchar_t OtherShotRaw[] = L"DSC_0010.ARW";
const wchar_t OtherShotPicture[] = L"20210501_100909";

// A TIFF-based raw file's first bytes: header and IFDs with the date where a
// camera writes it, the two bytes after the byte order as its maker has them.
std::vector<uint8_t> RawHeader(const char* date, Kind kind)
{
    ExifFixture exif;
    exif.tags = {AsciiTag(TagDateTimeOriginal, date)};
    std::vector<uint8_t> bytes = ExifBlock(exif);
    if (kind == Kind::OrfRaw) {
        bytes[2] = 'R';
        bytes[3] = 'O';
    } else if (kind == Kind::Rw2Raw) {
        bytes[2] = 'U';
        bytes[3] = 0;
    }
    return bytes;
}

// Writes the card; each file's content hash by its card name.
std::map<std::wstring, uint64_t> MakeCard(const std::wstring& card)
{
    SampleSet samples = LoadSamples(Unslashed(LUMISTAMP_EXIF_SAMPLES));
    std::map<std::wstring, uint64_t> hashes;
    uint32_t seed = 0;
    for (const CardFile& file : Card) {
        ++seed;
        std::vector<uint8_t> bytes;
        switch (file.kind) {
        case Kind::Picture:
            bytes = FilledTo(WithDateText(samples.dated[seed % samples.dated.size()], file.date),
                             MiB, seed);
            break;
        case Kind::TiffRaw:
        case Kind::OrfRaw:
        case Kind::Rw2Raw:
            bytes = FilledTo(RawHeader(file.date, file.kind), 3 * MiB, seed);
            break;
        case Kind::OtherRaw:
            bytes = FilledTo({}, 3 * MiB, seed);
            break;
        case Kind::Sidecar: {
            std::string text = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><!-- " + Narrow(file.name) +
                               " --></x:xmpmeta>\n";
            bytes.assign(text.begin(), text.end());
            break;
        }
        }
        if (!WriteFileBytes(card + L"\\" + file.name, bytes))
            return {};
        hashes[file.name] = ContentHash(bytes);
    }
    return hashes;
}

// The copier runs to its end; its exit code, or STILL_ACTIVE when it did not end.
DWORD CopyCard(const std::wstring& card, const std::wstring& folder, bool rawFirst)
{
    std::wstring commandLine = CopierCommand(card, folder, CopyRate,
                                             std::wstring(L" --share-read alternate") +
                                                 (rawFirst ? L" --raw-first" : L""));
    return RunToEnd(commandLine, CopyLimitMs);
}

struct CompanionsCopyCase {
    const char* name;
    const wchar_t* companions;  // the value; null: absent
    bool rawFirst;
};

void PrintTo(const CompanionsCopyCase& copy, std::ostream* out) { *out << copy.name; }

const CompanionsCopyCase Cases[] = {
    {"EveryKindPictureFirst", L"NEF CR2 CR3 ARW RAF ORF RW2 DNG XMP", false},
    {"EveryKindRawFirst", L"NEF,CR2;CR3 ARW,RAF ORF;RW2 DNG XMP", true},
    {"WithoutTheValue", nullptr, false},
};

const wchar_t* FinalName(const CardFile& file, const CompanionsCopyCase& copy)
{
    return copy.companions ? file.withList : file.withoutList;
}

// Which file is not where it belongs, by content: the folder's name for each
// card file's bytes.
std::vector<std::string> PlaceProblems(const std::map<std::wstring, uint64_t>& hashes,
                                       const std::map<std::wstring, uint64_t>& contents,
                                       const CompanionsCopyCase& copy)
{
    std::map<uint64_t, std::wstring> nameOf;
    for (const auto& [name, hash] : contents)
        nameOf[hash] = name;
    std::vector<std::string> problems;
    for (const CardFile& file : Card) {
        auto found = nameOf.find(hashes.at(file.name));
        std::wstring now = found == nameOf.end() ? L"(missing)" : found->second;
        if (now != FinalName(file, copy))
            problems.push_back(Narrow(file.name) + " is " + Narrow(now) + ", expected " +
                               Narrow(FinalName(file, copy)));
    }
    return problems;
}

// Every line the copy may bring: the start's, a "Renamed" line for each file
// that moved (each once: the picture's names its new name alone, a raw
// file's or sidecar's its whole path), and,
// with the value, one line for the other camera's raw file.
std::vector<std::string> LineProblems(const std::wstring& folder, const CompanionsCopyCase& copy,
                                      const std::vector<std::string>& lines)
{
    std::string path = Narrow(folder) + "\\";
    std::map<std::string, int> expected;  // line -> times seen
    for (const CardFile& file : Card) {
        std::wstring now = FinalName(file, copy);
        if (now == file.name)
            continue;
        std::string old = Narrow(file.name);
        if (file.kind == Kind::Picture) {
            expected["Renamed " + path + old + " to " + Narrow(now)] = 0;
            continue;
        }
        expected["Renamed " + path + old + " to " + path + Narrow(now)] = 0;
    }
    std::string otherShot =
        path + Narrow(OtherShotRaw) + " is not renamed with " + path + Narrow(OtherShotPicture);
    std::string otherShotEnd = ": its capture time differs";
    int otherShotLines = 0;
    std::vector<std::string> problems;
    for (size_t index = 0; index < lines.size(); ++index) {
        const std::string& line = lines[index];
        if ((index == 0 && line == "Querying the following folder(s):") ||
            (index == 1 && line == Narrow(folder)))
            continue;
        if (line == otherShot + otherShotEnd || line == otherShot + ".JPG" + otherShotEnd) {
            ++otherShotLines;
            continue;
        }
        auto found = expected.find(line);
        if (found == expected.end())
            problems.push_back("unexpected line: " + line);
        else if (++found->second == 2)
            problems.push_back("logged twice: " + line);
    }
    for (const auto& [line, seen] : expected)
        if (seen == 0)
            problems.push_back("missing line: " + line);
    if (otherShotLines != (copy.companions ? 1 : 0))
        problems.push_back(std::to_string(otherShotLines) + " lines tell that " +
                           Narrow(OtherShotRaw) + " stays");
    return problems;
}

class CompanionsCopy : public CardCopyRun<CompanionsCopyCase> {
protected:
    void SetUp() override
    {
        CardCopyRun::SetUp();
        if (!IsSkipped() && GetParam().companions)
            WriteTextOption(L"Companions", GetParam().companions);
    }
};

TEST_P(CompanionsCopy, EveryPictureKeepsItsOwnRawFileAndSidecars)
{
    const CompanionsCopyCase& copy = GetParam();
    std::map<std::wstring, uint64_t> hashes = MakeCard(card.Path());
    ASSERT_EQ(hashes.size(), std::size(Card)) << "cannot write the card";

    HWND window = StartWatching();
    ASSERT_NE(window, nullptr) << "the program did not start";

    ASSERT_EQ(CopyCard(card.Path(), watched.Path(), copy.rawFirst), 0u) << "the copier failed";
    std::vector<std::wstring> expectedNames;
    for (const CardFile& file : Card)
        expectedNames.push_back(FinalName(file, copy));
    WaitForNames(expectedNames);

    std::vector<std::string> placeProblems =
        PlaceProblems(hashes, FolderContents(watched.Path()), copy);
    EXPECT_TRUE(placeProblems.empty()) << placeProblems.size() << " files are not where they belong"
                                       << ListedProblems(placeProblems);

    ExitThroughTrayMenu(window);
    std::vector<std::string> lineProblems =
        LineProblems(watched.Path(), copy, LogTexts(ProgramLogPath()));
    EXPECT_TRUE(lineProblems.empty())
        << "the log is not the copy's" << ListedProblems(lineProblems);
    for (const CapturedBox& box : TakeCapturedBoxes())
        ADD_FAILURE() << "a message box: " << Narrow(box.caption) << ": " << Narrow(box.text);
}

INSTANTIATE_TEST_SUITE_P(Copies, CompanionsCopy, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<CompanionsCopyCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
