// One scan of a folder: which entries are pictures, the renames with their
// companions, the events with their path forms, and the counters.
#include "tests/rename/scan_fixture.h"

namespace {

using NameList = std::vector<std::wstring>;
using Texts = std::vector<std::wstring>;

TEST_F(ScanTest, EmptyFolderGivesNoEventAndNoCount)
{
    EXPECT_EQ(Scan(), Texts{});
    EXPECT_EQ(processed, 0);
    EXPECT_EQ(renamed, 0);
}

TEST_F(ScanTest, MissingFolderIsReportedWithItsTrailingBackslash)
{
    std::wstring missing = folder / L"gone\\";
    ScanFolder(missing.c_str(), static_cast<uint32_t>(missing.size()));
    EXPECT_EQ(EventTexts(), Texts{L"Directory " + missing + L", does not exist"});
}

TEST_F(ScanTest, PictureAndCompanionAreRenamedWithTheirPathForms)
{
    PutDated(L"DSC_0042.JPG");
    Put(L"DSC_0042.NEF", {1, 2, 3});

    EXPECT_EQ(Scan(), (Texts{L"Renamed " + (folder / L"DSC_0042.JPG") + L" to 20230401_072926.JPG",
                             L"Renamed " + (folder / L"DSC_0042.NEF") + L" to " +
                                 (folder / L"20230401_072926.NEF")}));
    EXPECT_EQ(processed, 1);
    EXPECT_EQ(renamed, 2);
    EXPECT_EQ(ReadFileBytes(folder / L"20230401_072926.NEF"), (std::vector<uint8_t>{1, 2, 3}));

    // The next scan finds the picture named already: counted, nothing else.
    EXPECT_EQ(Scan(), Texts{});
    EXPECT_EQ(processed, 1);
    EXPECT_EQ(renamed, 0);
    EXPECT_EQ(Names(), (NameList{L"20230401_072926.JPG", L"20230401_072926.NEF"}));
}

struct CompanionCase {
    const wchar_t* picture;
    const wchar_t* companion;
    NameList after;
};

class CompanionNames : public ScanTest, public testing::WithParamInterface<CompanionCase> {};

TEST_P(CompanionNames, CompanionFollowsUnderUpperCaseNef)
{
    PutDated(GetParam().picture);
    Put(GetParam().companion, {7});
    Scan();
    EXPECT_EQ(Names(), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, CompanionNames,
    testing::Values(
        CompanionCase{L"DSC_0042.jpg",
                      L"DSC_0042.nef",
                      {L"20230401_072926.NEF", L"20230401_072926.jpg"}},
        CompanionCase{L"a.b.jpeg", L"a.b.NEF", {L"20230401_072926.NEF", L"20230401_072926.jpeg"}},
        CompanionCase{L"IMG.JPG", L"IMG.JPG.NEF", {L"20230401_072926.JPG", L"IMG.JPG.NEF"}},
        CompanionCase{L"IMG.JPG", L"OTHER.NEF", {L"20230401_072926.JPG", L"OTHER.NEF"}}));

TEST_F(ScanTest, LowerCaseCompanionEventsShowUpperCaseNef)
{
    PutDated(L"dsc.jpg");
    Put(L"dsc.nef", {7});
    Texts events = Scan();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1],
              L"Renamed " + (folder / L"dsc.NEF") + L" to " + (folder / L"20230401_072926.NEF"));
}

struct PictureNameCase {
    const wchar_t* name;
    bool picture;
};

class PictureNames : public ScanTest, public testing::WithParamInterface<PictureNameCase> {};

TEST_P(PictureNames, OnlyJpegExtensionsAreScanned)
{
    PutDated(GetParam().name);
    Scan();
    EXPECT_EQ(processed, GetParam().picture ? 1 : 0);
    EXPECT_EQ(renamed, GetParam().picture ? 1 : 0);
    EXPECT_EQ(PathExists(folder / GetParam().name), !GetParam().picture);
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, PictureNames,
    testing::Values(PictureNameCase{L"a.jpg", true}, PictureNameCase{L"a.JPG", true},
                    PictureNameCase{L"a.JpEg", true}, PictureNameCase{L"a.jpgx", true},
                    PictureNameCase{L"a.JPEG2", true}, PictureNameCase{L"a.b.jpg", true},
                    PictureNameCase{L"a.jpe", false}, PictureNameCase{L"a.jfif", false},
                    PictureNameCase{L"a.jp", false}, PictureNameCase{L"jpg", false},
                    PictureNameCase{L"a.jpg.txt", false}, PictureNameCase{L"a. jpg", false},
                    PictureNameCase{L"a.NEF", false}));

TEST_F(ScanTest, DirectoriesAreNeitherCountedNorEntered)
{
    ASSERT_TRUE(CreateDirectoryW((folder / L"album.jpg").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(folder / L"album.jpg\\inner.jpg",
                               JpegWithDate(TagDateTime, "2023:04:01 07:29:26")));
    EXPECT_EQ(Scan(), Texts{});
    EXPECT_EQ(processed, 0);
    EXPECT_TRUE(PathExists(folder / L"album.jpg\\inner.jpg"));
}

TEST_F(ScanTest, HiddenSystemAndReadOnlyPicturesAreRenamedLikeAnyOther)
{
    const DWORD attributes[] = {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                                FILE_ATTRIBUTE_READONLY};
    for (int i = 0; i < 3; ++i) {
        DWORD attribute = attributes[i];
        std::wstring name = L"attr" + std::to_wstring(attribute) + L".jpg";
        PutDated(name, "2023:04:01 07:29:" + std::to_string(11 + i));
        ASSERT_TRUE(SetFileAttributesW((folder / name).c_str(), attribute));
    }
    Scan();
    EXPECT_EQ(processed, 3);
    EXPECT_EQ(renamed, 3);
    EXPECT_EQ(Names(),
              (NameList{L"20230401_072911.jpg", L"20230401_072912.jpg", L"20230401_072913.jpg"}));
}

TEST_F(ScanTest, SameSecondGetsNumbersInOrder)
{
    PutDated(L"a.jpg");
    PutDated(L"b.jpg");
    PutDated(L"c.jpg");
    Scan();
    EXPECT_EQ(renamed, 3);
    EXPECT_EQ(Names(), (NameList{L"20230401_072926 (001).jpg", L"20230401_072926 (002).jpg",
                                 L"20230401_072926.jpg"}));

    // A burst renamed once stays as it is: no retries, no events.
    EXPECT_EQ(Scan(), Texts{});
    EXPECT_EQ(processed, 3);
}

TEST_F(ScanTest, NumberedPictureTakesThePlainNameOnceItIsFree)
{
    PutDated(L"20230401_072926.jpg");
    PutDated(L"20230401_072926 (001).jpg");
    PutDated(L"20230401_072926 holiday.jpg");
    EXPECT_EQ(Scan(), Texts{});

    ASSERT_TRUE(DeleteFileW((folder / L"20230401_072926.jpg").c_str()));
    Texts events = Scan();
    EXPECT_EQ(renamed, 1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].ends_with(L" to 20230401_072926.jpg"))
        << testing::PrintToString(events[0]);
    EXPECT_EQ(Names().size(), 2u);
    EXPECT_TRUE(PathExists(folder / L"20230401_072926.jpg"));
}

TEST_F(ScanTest, TakenPlainNameEndsInTheNumberedNameWithinTheScan)
{
    // The plain name is taken (in other case) by a picture of the same second;
    // the rename to it is refused and the next free number follows at once.
    PutDated(L"20230401_072926.JPG");
    std::vector<uint8_t> taken = ReadFileBytes(folder / L"20230401_072926.JPG");
    PutDated(L"DSC_0001.jpg");
    Put(L"DSC_0001.NEF", {7});

    EXPECT_EQ(Scan(),
              (Texts{L"Renamed " + (folder / L"DSC_0001.jpg") + L" to 20230401_072926 (001).jpg",
                     L"Renamed " + (folder / L"DSC_0001.NEF") + L" to " +
                         (folder / L"20230401_072926 (001).NEF")}));
    EXPECT_EQ(processed, 2);
    EXPECT_EQ(renamed, 2);
    EXPECT_EQ(ReadFileBytes(folder / L"20230401_072926.JPG"), taken);
    EXPECT_EQ(ReadFileBytes(folder / L"20230401_072926 (001).NEF"), (std::vector<uint8_t>{7}));
    EXPECT_EQ(Names(), (NameList{L"20230401_072926 (001).NEF", L"20230401_072926 (001).jpg",
                                 L"20230401_072926.JPG"}));
}

TEST_F(ScanTest, CollisionNumbersGoOnPastNineHundredNinetyNine)
{
    // Directories of a candidate's name count as taken, and are never scanned.
    ASSERT_TRUE(CreateDirectoryW((folder / L"20230401_072926.jpg").c_str(), nullptr));
    for (int n = 1; n <= 999; ++n) {
        wchar_t name[64];
        swprintf(name, 64, L"20230401_072926 (%03d).jpg", n);
        ASSERT_TRUE(CreateDirectoryW((folder / name).c_str(), nullptr));
    }
    PutDated(L"DSC_0001.jpg");
    EXPECT_EQ(Scan(),
              Texts{L"Renamed " + (folder / L"DSC_0001.jpg") + L" to 20230401_072926 (1000).jpg"});
}

TEST_F(ScanTest, LoneCompanionIsNeverTouched)
{
    Put(L"DSC_0001.NEF", {1});
    EXPECT_EQ(Scan(), Texts{});
    EXPECT_EQ(Names(), NameList{L"DSC_0001.NEF"});
}

TEST_F(ScanTest, PictureHeldOpenElsewhereIsRetriedAtTheNextScan)
{
    PutDated(L"DSC_0001.jpg");
    // Another program reading the picture without sharing deletion blocks the rename.
    HANDLE holder = CreateFileW((folder / L"DSC_0001.jpg").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Scan(),
              Texts{L"Error 32 renaming DSC_0001.jpg to " + (folder / L"20230401_072926.jpg")});
    EXPECT_EQ(renamed, 0);
    CloseHandle(holder);

    EXPECT_EQ(Scan(), Texts{L"Renamed " + (folder / L"DSC_0001.jpg") + L" to 20230401_072926.jpg"});
}

TEST_F(ScanTest, CompanionWhoseNameIsTakenStaysAndIsReportedOnce)
{
    PutDated(L"DSC_0001.jpg");
    Put(L"DSC_0001.NEF", {1});
    Put(L"20230401_072926.NEF", {2});
    Texts events = Scan();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], L"Error 183 renaming " + (folder / L"DSC_0001.NEF") + L" to " +
                             (folder / L"20230401_072926.NEF"));
    EXPECT_EQ(renamed, 1);
    EXPECT_EQ(Scan(), Texts{});
    EXPECT_EQ(Names(), (NameList{L"20230401_072926.NEF", L"20230401_072926.jpg", L"DSC_0001.NEF"}));
}

}  // namespace
