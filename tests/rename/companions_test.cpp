// Files that travel with a picture besides the ".NEF": the raw files and
// sidecars the Companions list names, another camera's raw file of the same
// base name left where it is, and a raw file landing after a restart.
#include "tests/rename/scan_fixture.h"

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "rename/folder_memory.h"
#include "rename/settled_store.h"
#include "settings/companions.h"
#include "tests/support/heif_fixture.h"
#include "tests/support/local_app_data.h"

namespace {

using Texts = std::vector<std::wstring>;
using Listed = std::vector<std::wstring>;
using Bytes = std::vector<uint8_t>;

const std::wstring EveryKind = L"NEF CR2 CR3 ARW RAF ORF RW2 DNG XMP PP3 DOP ON1";

// A TIFF-based raw file: its header and IFDs with the date as a camera writes
// it (DateTimeOriginal in the Exif IFD, unless tag says another), then image
// data. signature replaces the two bytes after the byte order ("RO" for ORF,
// "U\0" for RW2).
Bytes RawWithDate(const std::string& date, const char* signature = nullptr,
                  uint16_t tag = TagDateTimeOriginal)
{
    ExifFixture exif;
    exif.tags = {AsciiTag(tag, date)};
    Bytes bytes = ExifBlock(exif);
    if (signature) {
        bytes[2] = static_cast<uint8_t>(signature[0]);
        bytes[3] = static_cast<uint8_t>(signature[1]);
    }
    bytes.resize(bytes.size() + 3000, 0x5A);
    return bytes;
}

Bytes Cut(Bytes bytes, size_t size)
{
    bytes.resize(size);
    return bytes;
}

class Companions : public ScanTest {
protected:
    void TearDown() override
    {
        UseCompanions(nullptr);
        ScanTest::TearDown();
    }
    void List(const std::wstring& text) { UseCompanions(&text); }
    Listed Sorted()
    {
        Listed names = Names();
        std::sort(names.begin(), names.end());
        return names;
    }
    std::wstring Path(const std::wstring& name) const { return folder / name; }
    Texts Renamed(const std::wstring& from, const std::wstring& to) const
    {
        return {L"Renamed " + Path(from) + L" to " + Path(to)};
    }
};

struct TravelCase {
    std::vector<std::wstring> companions;  // put beside DSC_0001.JPG
    Listed after;                          // the folder afterwards, sorted
    int32_t renamed;                       // the picture and what followed it
};

class WhatTravels : public Companions, public testing::WithParamInterface<TravelCase> {};

TEST_P(WhatTravels, EveryListedKindFollowsItsPicture)
{
    List(EveryKind);
    PutDated(L"DSC_0001.JPG");
    for (const std::wstring& name : GetParam().companions)
        Put(name, {1, 2, 3});
    Scan();
    EXPECT_EQ(Sorted(), GetParam().after);
    EXPECT_EQ(renamed, GetParam().renamed);
}

INSTANTIATE_TEST_SUITE_P(
    Companions, WhatTravels,
    testing::Values(
        TravelCase{{L"DSC_0001.ARW"}, {L"20230401_072926.ARW", L"20230401_072926.JPG"}, 2},
        TravelCase{{L"dsc_0001.cr3"}, {L"20230401_072926.CR3", L"20230401_072926.JPG"}, 2},
        TravelCase{{L"DSC_0001.RAF", L"DSC_0001.xmp"},
                   {L"20230401_072926.JPG", L"20230401_072926.RAF", L"20230401_072926.xmp"},
                   3},
        TravelCase{{L"DSC_0001.JPG.xmp"}, {L"20230401_072926.JPG", L"20230401_072926.JPG.xmp"}, 2},
        TravelCase{{L"DSC_0001.NEF", L"DSC_0001.NEF.xmp"},
                   {L"20230401_072926.JPG", L"20230401_072926.NEF", L"20230401_072926.NEF.xmp"},
                   3},
        TravelCase{{L"DSC_0001.CR3", L"dsc_0001.cr3.XMP"},
                   {L"20230401_072926.CR3", L"20230401_072926.JPG", L"20230401_072926.cr3.XMP"},
                   3},
        TravelCase{{L"DSC_0001.DNG", L"DSC_0001.TXT", L"OTHER.xmp"},
                   {L"20230401_072926.DNG", L"20230401_072926.JPG", L"DSC_0001.TXT", L"OTHER.xmp"},
                   2},
        // RawTherapee's and DxO's sidecars, in the whole-name form they write.
        TravelCase{{L"DSC_0001.NEF", L"DSC_0001.NEF.pp3", L"DSC_0001.NEF.dop"},
                   {L"20230401_072926.JPG", L"20230401_072926.NEF", L"20230401_072926.NEF.dop",
                    L"20230401_072926.NEF.pp3"},
                   4},
        TravelCase{{L"DSC_0001.JPG.pp3", L"DSC_0001.dop", L"DSC_0001.ON1"},
                   {L"20230401_072926.JPG", L"20230401_072926.JPG.pp3", L"20230401_072926.ON1",
                    L"20230401_072926.dop"},
                   4}));

TEST_F(Companions, ARawFileTellsItsOldNameWithTheListedSpellingAndKeepsTheNumber)
{
    List(L"arw, xmp");
    PutDated(L"20230401_072926.jpg");
    PutDated(L"DSC_0001.JPG");
    Put(L"DSC_0001.ARW", {1});
    Put(L"DSC_0001.xmp", {2});
    Texts lines = Scan();
    EXPECT_EQ(lines, (Texts{L"Renamed " + Path(L"DSC_0001.JPG") + L" to 20230401_072926 (001).JPG",
                            L"Renamed " + Path(L"DSC_0001.arw") + L" to " +
                                Path(L"20230401_072926 (001).arw"),
                            L"Renamed " + Path(L"DSC_0001.xmp") + L" to " +
                                Path(L"20230401_072926 (001).xmp")}));
    EXPECT_EQ(renamed, 3);
}

TEST_F(Companions, WithoutTheValueOnlyTheNefFollows)
{
    PutDated(L"DSC_0001.JPG");
    Put(L"DSC_0001.nef", {1});
    Put(L"DSC_0001.ARW", {2});
    Put(L"DSC_0001.xmp", {3});
    Put(L"DSC_0001.NEF.xmp", {4});
    Texts lines = Scan();
    EXPECT_EQ(lines, (Texts{L"Renamed " + Path(L"DSC_0001.JPG") + L" to 20230401_072926.JPG",
                            L"Renamed " + Path(L"DSC_0001.NEF") + L" to " +
                                Path(L"20230401_072926.NEF")}));
    EXPECT_EQ(Sorted(), (Listed{L"20230401_072926.JPG", L"20230401_072926.NEF", L"DSC_0001.ARW",
                                L"DSC_0001.NEF.xmp", L"DSC_0001.xmp"}));
}

struct ShotCase {
    Bytes raw;
    bool follows;
};

class AnotherShot : public Companions, public testing::WithParamInterface<ShotCase> {};

// The picture was taken at 2023:04:01 07:29:26.
TEST_P(AnotherShot, ARawFileOfAnotherMomentStays)
{
    List(L"ARW ORF RW2 NEF XMP");
    PutDated(L"DSC_0001.JPG");
    Put(L"DSC_0001.ARW", GetParam().raw);
    Put(L"DSC_0001.ARW.xmp", {9});
    Texts lines = Scan();
    if (GetParam().follows) {
        EXPECT_EQ(Sorted(), (Listed{L"20230401_072926.ARW", L"20230401_072926.ARW.xmp",
                                    L"20230401_072926.JPG"}));
    } else {
        EXPECT_EQ(Sorted(), (Listed{L"20230401_072926.JPG", L"DSC_0001.ARW", L"DSC_0001.ARW.xmp"}));
        EXPECT_EQ(lines, (Texts{L"Renamed " + Path(L"DSC_0001.JPG") + L" to 20230401_072926.JPG",
                                Path(L"DSC_0001.ARW") + L" is not renamed with " +
                                    Path(L"20230401_072926.JPG") + L": its capture time differs"}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Companions, AnotherShot,
    testing::Values(ShotCase{RawWithDate("2023:04:01 07:29:28"), true},
                    ShotCase{RawWithDate("2023:04:01 07:29:24"), true},
                    ShotCase{RawWithDate("2023:04:01 07:29:29"), false},
                    ShotCase{RawWithDate("2023:03:31 07:29:26"), false},
                    ShotCase{RawWithDate("2021:01:01 10:00:00", "RO"), false},
                    ShotCase{RawWithDate("2021:01:01 10:00:00", "U\0"), false},
                    ShotCase{RawWithDate("2023:04:01 07:29:26", "U\0"), true},
                    ShotCase{Cut(RawWithDate("2021:01:01 10:00:00"), 40), true},  // cut short
                    ShotCase{Bytes{'I', 'I', 42, 0, 8, 0, 0, 0}, true},
                    // Only IFD0's DateTime, as some raw files hold it.
                    ShotCase{RawWithDate("2021:01:01 10:00:00", nullptr, TagDateTime), false},
                    ShotCase{RawWithDate("2023:04:01 07:29:26", nullptr, TagDateTime), true}));

// A raw file listed online-only is not opened to read its date (opening a
// placeholder downloads it): it travels by its name, whatever its date.
TEST_F(Companions, AnOnlineOnlyRawFileIsNotReadForItsDate)
{
    List(L"ARW XMP");
    PutDated(L"DSC_0001.JPG");
    Put(L"DSC_0001.ARW", RawWithDate("2021:01:01 10:00:00"));
    std::wstring folderPath = folder.PathWithBackslash();
    FolderListing listing;
    ASSERT_TRUE(ListFolder(folderPath, &listing));
    ASSERT_EQ(listing.raws.size(), 1u);
    listing.raws[0].attributes = 0x00500420;  // OneDrive's online-only file
    FolderMemory memory;
    ScanListing(folderPath, listing, memory);
    EXPECT_EQ(Sorted(), (Listed{L"20230401_072926.ARW", L"20230401_072926.JPG"}));
}

// CR3, RAF and the like never begin with a TIFF header, so they are not
// opened to look for one: even bytes that would read as another moment's
// TIFF travel by the name.
TEST_F(Companions, KindsNeverTiffBasedTravelUnread)
{
    List(L"CR3 raf MOV ARW");
    PutDated(L"DSC_0001.JPG");
    for (const wchar_t* name : {L"DSC_0001.CR3", L"DSC_0001.RAF", L"DSC_0001.mov"})
        Put(name, RawWithDate("2021:01:01 10:00:00"));
    Scan();
    EXPECT_EQ(Sorted(), (Listed{L"20230401_072926.CR3", L"20230401_072926.JPG",
                                L"20230401_072926.MOV", L"20230401_072926.raf"}));
}

TEST_F(Companions, TwoCamerasSharingBaseNamesKeepTheirPairs)
{
    List(EveryKind);
    PutDated(L"IMG_0001.JPG", "2023:04:01 07:29:26");  // a phone's, no raw file
    Put(L"IMG_0001.CR2", RawWithDate("2023:05:02 18:00:01"));
    PutDated(L"IMG_0001.jpeg", "2023:05:02 18:00:01");  // the Canon's own picture
    Scan();
    EXPECT_EQ(Sorted(),
              (Listed{L"20230401_072926.JPG", L"20230502_180001.CR2", L"20230502_180001.jpeg"}));
}

TEST_F(Companions, WithoutTheValueAnotherMomentsNefStillFollows)
{
    PutDated(L"DSC_0001.JPG");
    Put(L"DSC_0001.NEF", RawWithDate("2021:01:01 10:00:00"));
    Scan();
    EXPECT_EQ(Sorted(), (Listed{L"20230401_072926.JPG", L"20230401_072926.NEF"}));
}

class LateCompanions : public Companions {
protected:
    Texts MonitorScan(FolderMemory& memory)
    {
        ClearEventHistory();
        memory.keptFile.kept = true;
        std::wstring path = folder.PathWithBackslash();
        ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()), memory);
        return EventTexts();
    }
    LocalAppDataScope localAppData;
};

// A monitor renames the picture and ends (a restart, an OK); the raw file and
// its sidecars land afterwards, and the next monitor's scans move them.
TEST_F(LateCompanions, ARawFileLandingAfterARestartFollowsItsPicture)
{
    List(EveryKind);
    PutDated(L"DSC_0001.JPG");
    {
        FolderMemory first;
        MonitorScan(first);
        SaveKeptPictures(first, false);
    }
    Put(L"DSC_0001.ARW", RawWithDate("2023:04:01 07:29:26"));
    Put(L"DSC_0001.ARW.xmp", {1});
    FolderMemory second;
    EXPECT_EQ(MonitorScan(second),
              (Texts{L"Renamed " + Path(L"DSC_0001.ARW") + L" to " + Path(L"20230401_072926.ARW"),
                     L"Renamed " + Path(L"DSC_0001.ARW.xmp") + L" to " +
                         Path(L"20230401_072926.ARW.xmp")}));
    EXPECT_EQ(Sorted(),
              (Listed{L"20230401_072926.ARW", L"20230401_072926.ARW.xmp", L"20230401_072926.JPG"}));
}

// Whether a raw file goes with its picture, beside it at the first scan or
// landing after a restart: the picture and the raw file as their writers made
// them, with the file-time fallback on or off.
struct PairCase {
    const char* name;
    Bytes picture;
    Bytes raw;
    bool fileTimeFallback;
    bool late;                         // the raw file lands after a restart
    bool follows;                      // else it stays under its camera name
    std::wstring stamp = {};           // the picture's new base name; empty: its file time's
    std::wstring extension = L".JPG";  // the picture's, ".HEIC" with HeifPictures on
};

void PrintTo(const PairCase& pair, std::ostream* out) { *out << pair.name; }

class PairJudged : public LateCompanions, public testing::WithParamInterface<PairCase> {};

TEST_P(PairJudged, OnTheShotBothTell)
{
    const PairCase& pair = GetParam();
    List(EveryKind);
    Settings.FileModifiedDate = pair.fileTimeFallback ? 1 : 0;
    Settings.HeifPictures = pair.extension == L".HEIC" ? 1 : 0;
    Put(L"DSC_0001" + pair.extension, pair.picture);
    if (!pair.late)
        Put(L"DSC_0001.ARW", pair.raw);
    {
        FolderMemory first;
        MonitorScan(first);
        SaveKeptPictures(first, false);
    }
    if (pair.late) {
        Put(L"DSC_0001.ARW", pair.raw);
        FolderMemory second;
        MonitorScan(second);
    }
    // Stamps sort before camera names, and ".ARW" before the picture's.
    Listed names = Sorted();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_NE(names[0].substr(0, 8), L"DSC_0001");
    if (!pair.stamp.empty()) {
        EXPECT_EQ(names[pair.follows ? 1 : 0], pair.stamp + pair.extension);
    }
    if (pair.follows) {
        EXPECT_EQ(names[1], names[0].substr(0, names[0].size() - 4) + pair.extension);
    } else {
        EXPECT_EQ(names[1], L"DSC_0001.ARW");
    }
}

// A picture an editor saved again: DateTime (which names it) tells the save,
// DateTimeOriginal the shot.
ExifFixture EditedExif()
{
    ExifFixture exif;
    exif.tags = {AsciiTag(TagDateTime, "2024:01:05 10:00:00"),
                 AsciiTag(TagDateTimeOriginal, "2023:04:01 07:29:26")};
    return exif;
}

Bytes EditedPicture()
{
    JpegFixture jpeg;
    jpeg.exif = EditedExif();
    return BuildJpeg(jpeg);
}

Bytes EditedHeifPicture()
{
    HeifFixture heif;
    heif.exifBlock = ExifBlock(EditedExif());
    return BuildHeif(heif);
}

const Bytes ShotRaw = RawWithDate("2023:04:01 07:29:26");
const Bytes LaterRaw = RawWithDate("2023:04:01 07:29:30");

INSTANTIATE_TEST_SUITE_P(
    Companions, PairJudged,
    testing::Values(PairCase{"EditedOwnBeside", EditedPicture(), ShotRaw, false, false, true,
                             L"20240105_100000"},
                    PairCase{"EditedOwnLate", EditedPicture(), ShotRaw, false, true, true,
                             L"20240105_100000"},
                    PairCase{"EditedAnotherBeside", EditedPicture(), LaterRaw, false, false, false,
                             L"20240105_100000"},
                    PairCase{"EditedAnotherLate", EditedPicture(), LaterRaw, false, true, false,
                             L"20240105_100000"},
                    PairCase{"EditedHeifOwnBeside", EditedHeifPicture(), ShotRaw, false, false,
                             true, L"20240105_100000", L".HEIC"},
                    PairCase{"EditedHeifOwnLate", EditedHeifPicture(), ShotRaw, false, true, true,
                             L"20240105_100000", L".HEIC"},
                    // Named after its file time: nothing to compare the raw file with.
                    PairCase{"UndatedBeside", JpegWithoutExif(), LaterRaw, true, false, true},
                    PairCase{"UndatedLate", JpegWithoutExif(), LaterRaw, true, true, true}),
    [](const testing::TestParamInfo<PairCase>& info) { return std::string(info.param.name); });

TEST_F(LateCompanions, AnotherMomentsRawFileLandingLateStays)
{
    List(EveryKind);
    PutDated(L"DSC_0001.JPG");
    {
        FolderMemory first;
        MonitorScan(first);
        SaveKeptPictures(first, false);
    }
    Put(L"DSC_0001.NEF", RawWithDate("2019:01:01 00:00:00"));
    FolderMemory second;
    EXPECT_EQ(MonitorScan(second),
              (Texts{Path(L"DSC_0001.NEF") + L" is not renamed with " + Path(L"20230401_072926") +
                     L": its capture time differs"}));
    EXPECT_EQ(MonitorScan(second), Texts{}) << "told once";
    EXPECT_EQ(Sorted(), (Listed{L"20230401_072926.JPG", L"DSC_0001.NEF"}));
}

// Another camera's raw file whose extension is listed in lower case: it stays
// with its sidecar, beside its picture or landing after it, and is told of
// once.
TEST_F(LateCompanions, AnotherCamerasRawFileListedInLowerCaseIsToldOnce)
{
    List(L"arw xmp");
    PutDated(L"DSC_0001.JPG");
    PutDated(L"DSC_0002.JPG", "2023:04:02 08:00:00");
    Put(L"DSC_0002.ARW", RawWithDate("2019:01:01 00:00:00"));
    Put(L"DSC_0002.ARW.xmp", {1});
    FolderMemory memory;
    MonitorScan(memory);
    Put(L"DSC_0001.ARW", RawWithDate("2019:01:01 00:00:00"));
    Put(L"DSC_0001.ARW.xmp", {2});
    EXPECT_EQ(MonitorScan(memory),
              (Texts{Path(L"DSC_0001.ARW") + L" is not renamed with " + Path(L"20230401_072926") +
                     L": its capture time differs"}));
    EXPECT_EQ(MonitorScan(memory), Texts{}) << "told once";
    EXPECT_EQ(Sorted(), (Listed{L"20230401_072926.JPG", L"20230402_080000.JPG", L"DSC_0001.ARW",
                                L"DSC_0001.ARW.xmp", L"DSC_0002.ARW", L"DSC_0002.ARW.xmp"}));
}

// A raw file whose new name another file holds stays, with one line, though
// the rename stays remembered for the sidecars listed.
TEST_F(LateCompanions, ARawFileWhoseNewNameIsTakenIsToldOnce)
{
    List(EveryKind);
    PutDated(L"DSC_0001.JPG");
    FolderMemory memory;
    MonitorScan(memory);
    Put(L"20230401_072926.NEF", {9});
    Put(L"DSC_0001.NEF", RawWithDate("2023:04:01 07:29:26"));
    EXPECT_EQ(MonitorScan(memory), (Texts{L"Error 183 renaming " + Path(L"DSC_0001.NEF") + L" to " +
                                          Path(L"20230401_072926.NEF")}));
    EXPECT_EQ(MonitorScan(memory), Texts{}) << "told once";
}

// Files landing one scan after another under one monitor, or a new one after
// a restart: what each scan leaves in the folder. The picture was taken at
// 2023:04:01 07:29:26.
struct Landing {
    std::vector<std::pair<std::wstring, Bytes>> files;
    Listed after;
    bool restartBefore = false;  // the monitor ends and a new one scans
};

struct LandingCase {
    const char* name;
    std::vector<Landing> landings;
};

void PrintTo(const LandingCase& landing, std::ostream* out) { *out << landing.name; }

class LandingOrder : public LateCompanions, public testing::WithParamInterface<LandingCase> {};

TEST_P(LandingOrder, EachFileEndsWhereItBelongs)
{
    List(EveryKind);
    auto memory = std::make_unique<FolderMemory>();
    PutDated(L"DSC_0001.JPG");
    size_t step = 0;
    for (const Landing& landing : GetParam().landings) {
        if (landing.restartBefore) {
            SaveKeptPictures(*memory, false);
            memory = std::make_unique<FolderMemory>();
        }
        for (const auto& [name, bytes] : landing.files)
            Put(name, bytes);
        MonitorScan(*memory);
        EXPECT_EQ(Sorted(), landing.after) << "after landing " << ++step;
    }
}

const Bytes OwnRaw = RawWithDate("2023:04:01 07:29:26");
const Bytes OtherCamerasRaw = RawWithDate("2023:04:01 15:30:00");

INSTANTIATE_TEST_SUITE_P(
    Companions, LandingOrder,
    testing::Values(
        // Another camera's raw file of the same base name does not stand for
        // the picture's own: the Nikon's raw file landing after the Sony's
        // still follows, the Sony's sidecar stays with its raw file.
        LandingCase{"AnotherCamerasRawFileThenTheOwn",
                    {{{}, {L"20230401_072926.JPG"}},
                     {{{L"DSC_0001.ARW", OtherCamerasRaw}, {L"DSC_0001.ARW.xmp", {1}}},
                      {L"20230401_072926.JPG", L"DSC_0001.ARW", L"DSC_0001.ARW.xmp"}},
                     {{{L"DSC_0001.NEF", OwnRaw}},
                      {L"20230401_072926.JPG", L"20230401_072926.NEF", L"DSC_0001.ARW",
                       L"DSC_0001.ARW.xmp"}}}},
        LandingCase{"AnotherCamerasRawFileBesideThePicture",
                    {{{{L"DSC_0001.ARW", OtherCamerasRaw}},
                      {L"20230401_072926.JPG", L"DSC_0001.ARW"}},
                     {{{L"DSC_0001.NEF", OwnRaw}, {L"DSC_0001.NEF.xmp", {2}}},
                      {L"20230401_072926.JPG", L"20230401_072926.NEF", L"20230401_072926.NEF.xmp",
                       L"DSC_0001.ARW"}}}},
        // Both sidecar forms, the second landing after everything else
        // followed.
        LandingCase{"TheSecondSidecarFormLandingLast",
                    {{{{L"DSC_0001.NEF", OwnRaw}, {L"DSC_0001.xmp", {3}}},
                      {L"20230401_072926.JPG", L"20230401_072926.NEF", L"20230401_072926.xmp"}},
                     {{{L"DSC_0001.NEF.xmp", {4}}},
                      {L"20230401_072926.JPG", L"20230401_072926.NEF", L"20230401_072926.NEF.xmp",
                       L"20230401_072926.xmp"}}}},
        LandingCase{"TheSecondSidecarFormAfterTheRawFileLandedLate",
                    {{{}, {L"20230401_072926.JPG"}},
                     {{{L"DSC_0001.NEF", OwnRaw}, {L"DSC_0001.NEF.xmp", {5}}},
                      {L"20230401_072926.JPG", L"20230401_072926.NEF", L"20230401_072926.NEF.xmp"}},
                     {{{L"DSC_0001.xmp", {6}}},
                      {L"20230401_072926.JPG", L"20230401_072926.NEF", L"20230401_072926.NEF.xmp",
                       L"20230401_072926.xmp"}}}},
        LandingCase{"RawTherapeesAndDxOsSidecarsLandingLast",
                    {{{{L"DSC_0001.NEF", OwnRaw}, {L"DSC_0001.NEF.xmp", {7}}},
                      {L"20230401_072926.JPG", L"20230401_072926.NEF", L"20230401_072926.NEF.xmp"}},
                     {{{L"DSC_0001.NEF.pp3", {8}}, {L"DSC_0001.NEF.dop", {9}}},
                      {L"20230401_072926.JPG", L"20230401_072926.NEF", L"20230401_072926.NEF.dop",
                       L"20230401_072926.NEF.pp3", L"20230401_072926.NEF.xmp"},
                      true}}},
        // After the picture's own raw file followed, another camera's raw
        // file that cannot be read (a CR3) does not take the picture's name,
        // under the same monitor or the next.
        LandingCase{"AnUnreadRawFileAfterTheOwnFollowed",
                    {{{{L"DSC_0001.NEF", OwnRaw}},
                      {L"20230401_072926.JPG", L"20230401_072926.NEF"}},
                     {{{L"DSC_0001.CR3", {1}}},
                      {L"20230401_072926.JPG", L"20230401_072926.NEF", L"DSC_0001.CR3"}}}},
        LandingCase{"AnUnreadRawFileAfterTheOwnFollowedAndARestart",
                    {{{{L"DSC_0001.NEF", OwnRaw}},
                      {L"20230401_072926.JPG", L"20230401_072926.NEF"}},
                     {{{L"DSC_0001.CR3", {1}}},
                      {L"20230401_072926.JPG", L"20230401_072926.NEF", L"DSC_0001.CR3"},
                      true}}}),
    [](const testing::TestParamInfo<LandingCase>& info) { return std::string(info.param.name); });

// Today's one kind too: a ".NEF" landing after a restart follows.
TEST_F(LateCompanions, WithoutTheValueANefLandingAfterARestartFollows)
{
    PutDated(L"DSC_0001.JPG");
    {
        FolderMemory first;
        MonitorScan(first);
        SaveKeptPictures(first, false);
    }
    Put(L"DSC_0001.nef", {5});
    FolderMemory second;
    EXPECT_EQ(MonitorScan(second), (Texts{L"Renamed " + Path(L"DSC_0001.NEF") + L" to " +
                                          Path(L"20230401_072926.NEF")}));
}

}  // namespace
