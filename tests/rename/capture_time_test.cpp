// The capture time of one picture: EXIF date values and what each makes of the
// name, the last-write fallback, and the existence test behind numbering.
#include "tests/rename/scan_fixture.h"

#include "capture/capture_time.h"
#include "rename/target_name.h"
#include "tests/support/heif_fixture.h"

namespace {

using Texts = std::vector<std::wstring>;

struct DateValueCase {
    uint16_t tag;
    const char* value;
    const wchar_t* newName;  // null: the picture keeps its name
};

class DateValues : public ScanTest, public testing::WithParamInterface<DateValueCase> {};

TEST_P(DateValues, NameFollowsTheValueAsItStands)
{
    PutDated(L"DSC.jpg");  // replaced below; keeps the helper's write checks
    Put(L"DSC.jpg", JpegWithDate(GetParam().tag, GetParam().value));
    Texts events = Scan();
    ASSERT_EQ(events.size(), 1u);
    if (GetParam().newName) {
        EXPECT_EQ(events[0], L"Renamed " + (folder / L"DSC.jpg") + L" to " + GetParam().newName);
    } else {
        EXPECT_EQ(events[0], L"Cannot retrieve date/time from " + (folder / L"DSC.jpg"));
        EXPECT_TRUE(PathExists(folder / L"DSC.jpg"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, DateValues,
    testing::Values(
        DateValueCase{TagDateTime, "2008:07:31 10:38:11", L"20080731_103811.jpg"},
        DateValueCase{TagDateTimeOriginal, "2023:04:01 07:29:26", L"20230401_072926.jpg"},
        DateValueCase{TagDateTimeDigitized, "2023:04:01 07:29:26", L"20230401_072926.jpg"},
        DateValueCase{TagDateTimeOriginal, "0000:00:00 00:00:00", L"00000000_000000.jpg"},
        DateValueCase{TagDateTimeOriginal, "2023:13:45 25:61:99", L"20231345_256199.jpg"},
        DateValueCase{TagDateTimeOriginal, "-1:4:1 7:2:6", L"655350401_070206.jpg"},
        DateValueCase{TagDateTimeOriginal, "12345:04:01 07:29:26", L"123450401_072926.jpg"},
        DateValueCase{TagDateTimeOriginal, "    :  :     :  :  ", nullptr},
        DateValueCase{TagDateTimeOriginal, "2023-04-01 07:29:26", nullptr},
        DateValueCase{TagDateTimeOriginal, "", nullptr}));

TEST_F(ScanTest, PictureWithoutDatesKeepsItsNameWithTheOptionOff)
{
    Put(L"nodate.jpg", JpegWithoutExif());
    Put(L"text.jpg", {'h', 'e', 'l', 'l', 'o'});
    Put(L"empty.jpg", {});
    Texts events = Scan();
    std::sort(events.begin(), events.end());
    const std::wstring tail = L" failed, File not renamed";
    EXPECT_EQ(events,
              (Texts{L"No Exif information available for " + (folder / L"empty.jpg") + tail,
                     L"No Exif information available for " + (folder / L"nodate.jpg") + tail,
                     L"No Exif information available for " + (folder / L"text.jpg") + tail}));
    EXPECT_EQ(processed, 3);
    EXPECT_EQ(renamed, 0);
}

// HEIC and HEIF pictures: left alone with the option off; with it on, named
// after their Exif date as a JPEG is, their extension kept as written, and
// one without an Exif item given the line of a JPEG without dates.
std::vector<uint8_t> HeifWithDate(const std::string& date)
{
    ExifFixture exif;
    exif.tags = {AsciiTag(TagDateTimeOriginal, date)};
    HeifFixture heif;
    heif.exifBlock = ExifBlock(exif);
    return BuildHeif(heif);
}

TEST_F(ScanTest, HeifPicturesAreLeftAloneWithTheOptionOff)
{
    Put(L"IMG_4711.HEIC", HeifWithDate("2023:04:01 07:29:26"));
    Put(L"camera.hif", HeifWithDate("2023:04:01 07:29:27"));
    EXPECT_EQ(Scan(), Texts{});
    EXPECT_EQ(processed, 0);
    EXPECT_TRUE(PathExists(folder / L"IMG_4711.HEIC"));
}

TEST_F(ScanTest, HeifPicturesAreNamedAfterTheirExifDateWithTheOptionOn)
{
    Settings.HeifPictures = 1;
    Put(L"IMG_4711.HEIC", HeifWithDate("2023:04:01 07:29:26"));
    Put(L"phone.heif", HeifWithDate("2022:12:24 18:00:01"));
    Put(L"camera.Hif", HeifWithDate("2020:10:11 12:13:14"));
    Put(L"jpeg-inside.heic", JpegWithDate(TagDateTimeOriginal, "2019:01:01 00:00:00"));
    HeifFixture undated;
    undated.withExifItem = false;
    Put(L"undated.heic", BuildHeif(undated));
    Put(L"not-heif.heics", {'h', 'e', 'l', 'l', 'o'});
    Texts events = Scan();
    std::sort(events.begin(), events.end());
    const std::wstring tail = L" failed, File not renamed";
    EXPECT_EQ(events,
              (Texts{L"No Exif information available for " + (folder / L"jpeg-inside.heic") + tail,
                     L"No Exif information available for " + (folder / L"not-heif.heics") + tail,
                     L"No Exif information available for " + (folder / L"undated.heic") + tail,
                     L"Renamed " + (folder / L"IMG_4711.HEIC") + L" to 20230401_072926.HEIC",
                     L"Renamed " + (folder / L"camera.Hif") + L" to 20201011_121314.Hif",
                     L"Renamed " + (folder / L"phone.heif") + L" to 20221224_180001.heif"}));
    EXPECT_EQ(processed, 6);
    EXPECT_EQ(renamed, 3);
}

// A file being written is neither read nor named after a time that is about
// to change: no line while the writer holds it, its name once it is done.
TEST_F(ScanTest, FallbackWaitsForAFileBeingWritten)
{
    Settings.FileModifiedDate = 1;
    Put(L"busy.jpg", JpegWithoutExif());
    HANDLE writer = CreateFileW((folder / L"busy.jpg").c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Scan(), Texts{});
    CloseHandle(writer);
    Texts lines = Scan();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(L"Renamed " + (folder / L"busy.jpg") + L" to ", 0), 0u) << lines[0];
}

// Runs with the zone two hours east of UTC (its own ctest entry).
TEST_F(ScanTest, FallbackNamesAfterTheLastWriteTimeInLocalTime)
{
    Settings.FileModifiedDate = 1;
    Put(L"nodate.jpg", JpegWithoutExif());
    SYSTEMTIME utc = {2023, 4, 0, 1, 5, 29, 26, 0};
    FILETIME lastWrite;
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &lastWrite));
    HANDLE file = CreateFileW((folder / L"nodate.jpg").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &lastWrite));
    CloseHandle(file);

    EXPECT_EQ(Scan(), Texts{L"Renamed " + (folder / L"nodate.jpg") + L" to 20230401_072926.jpg"});
}

TEST_F(ScanTest, FailedExistenceTestIsLoggedAndTheNameTakenAsFree)
{
    std::wstring missingFolder = folder / L"missing\\";
    std::wstring oldPath = missingFolder + L"DSC.jpg";
    wchar_t newPath[600];
    CaptureTime time = {2023, 4, 1, 7, 29, 26};
    ComposeTargetName(missingFolder.c_str(), oldPath.c_str(), newPath, 600, L".jpg", time);
    EXPECT_EQ(std::wstring(newPath), missingFolder + L"20230401_072926.jpg");
    EXPECT_EQ(EventTexts(), Texts{L"Unable to say if file already exists: " + missingFolder +
                                  L"20230401_072926.jpg, Error 3"});
}

TEST_F(ScanTest, UntestedPlainNameIsWrittenEvenWhenTaken)
{
    Put(L"20230401_072926.JPG", {0});
    std::wstring folderPath = folder.PathWithBackslash();
    std::vector<wchar_t> newPath(folderPath.size() + 520);
    CaptureTime time = {2023, 4, 1, 7, 29, 26};

    ComposeTargetName(folderPath.c_str(), (folder / L"DSC.JPG").c_str(), newPath.data(),
                      newPath.size(), L".JPG", time, false);
    EXPECT_EQ(std::wstring(newPath.data()), folder / L"20230401_072926.JPG");

    // A name that begins with its stamp is still tested: it keeps its number.
    std::wstring numbered = folder / L"20230401_072926 (001).JPG";
    ComposeTargetName(folderPath.c_str(), numbered.c_str(), newPath.data(), newPath.size(), L".JPG",
                      time, false);
    EXPECT_EQ(std::wstring(newPath.data()), numbered);
    EXPECT_EQ(EventTexts(), Texts{});
}

TEST_F(ScanTest, CaptureTimeIsGivenBackWithTheUntestedName)
{
    PutDated(L"DSC.jpg", "2023:04:01 07:29:26");
    Put(L"20230401_072926.jpg", {0});
    std::wstring folderPath = folder.PathWithBackslash();
    std::vector<wchar_t> newPath(folderPath.size() + 520);
    CaptureTime time = {};
    ASSERT_TRUE(ReadCaptureTime(folderPath.c_str(), (folder / L"DSC.jpg").c_str(), newPath.data(),
                                newPath.size(), L".jpg", &time));
    EXPECT_EQ(std::wstring(newPath.data()), folder / L"20230401_072926.jpg");
    EXPECT_EQ((std::vector<int>{time.Year, time.Month, time.Day, time.Hour, time.Minute,
                                time.Second}),
              (std::vector<int>{2023, 4, 1, 7, 29, 26}));

    // Without it, the taken name is looked up and numbered as ever.
    ASSERT_TRUE(ReadCaptureTime(folderPath.c_str(), (folder / L"DSC.jpg").c_str(), newPath.data(),
                                newPath.size(), L".jpg"));
    EXPECT_EQ(std::wstring(newPath.data()), folder / L"20230401_072926 (001).jpg");
    EXPECT_EQ(EventTexts(), Texts{});
}

struct TargetCase {
    const wchar_t* oldName;
    std::vector<const wchar_t*> taken;
    const wchar_t* target;
};

class TargetNames : public ScanTest, public testing::WithParamInterface<TargetCase> {};

TEST_P(TargetNames, StampNamesAndNumbering)
{
    for (const wchar_t* name : GetParam().taken)
        Put(name, {0});
    std::wstring oldPath = folder / GetParam().oldName;
    std::wstring folderPath = folder.PathWithBackslash();
    std::vector<wchar_t> newPath(folderPath.size() + 520);
    CaptureTime time = {2023, 4, 1, 7, 29, 26};
    ComposeTargetName(folderPath.c_str(), oldPath.c_str(), newPath.data(), newPath.size(), L".JPG",
                      time);
    EXPECT_EQ(std::wstring(newPath.data()), folder / GetParam().target);
    EXPECT_EQ(EventTexts(), Texts{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TargetNames,
    testing::Values(
        TargetCase{L"DSC.JPG", {}, L"20230401_072926.JPG"},
        TargetCase{L"DSC.JPG", {L"20230401_072926.JPG"}, L"20230401_072926 (001).JPG"},
        TargetCase{L"DSC.JPG",
                   {L"20230401_072926.jpg", L"20230401_072926 (001).JPG"},
                   L"20230401_072926 (002).JPG"},
        TargetCase{L"DSC.JPG",
                   {L"20230401_072926.JPG", L"20230401_072926 (002).JPG"},
                   L"20230401_072926 (001).JPG"},
        TargetCase{L"20230401_072926.JPG", {}, L"20230401_072926.JPG"},
        TargetCase{L"20230401_072926 (001).JPG",
                   {L"20230401_072926.JPG"},
                   L"20230401_072926 (001).JPG"},
        TargetCase{L"20230401_072926 (001).JPG", {}, L"20230401_072926.JPG"},
        TargetCase{L"20230401_072926x.JPG", {L"20230401_072926.JPG"}, L"20230401_072926x.JPG"},
        TargetCase{L"20230401_072926x.JPG", {}, L"20230401_072926.JPG"},
        TargetCase{L"20230401_07292.JPG", {}, L"20230401_072926.JPG"},
        TargetCase{L"20230401_07292.JPG", {L"20230401_072926.JPG"}, L"20230401_072926 (001).JPG"}));

}  // namespace
