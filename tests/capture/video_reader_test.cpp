// The video reader over bytes: where phones, cameras and tools write the
// capture time (Apple's keys, user data in QuickTime and MP4 form, a camera's
// XML, XMP, the movie and track headers), which one wins and on which clock,
// the files not yet whole, and the bounds on reads, with the movie box behind
// gigabytes of media data and a long video's sample tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "capture/video_file.h"
#include "capture/video_reader.h"
#include "tests/support/heif_fixture.h"
#include "tests/support/memory_reads.h"
#include "tests/support/video_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

const uint64_t Noon = MovieSeconds(2023, 4, 1, 5, 29, 26);  // UTC

// What the reader came to, as one text: "2023-04-01 07:29:26 as written",
// "... UTC", "no time" or "incomplete".
std::string Outcome(VideoSearch search, const VideoTime& t)
{
    if (search == VideoSearch::NoTime)
        return "no time";
    if (search == VideoSearch::Incomplete)
        return "incomplete";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d %s", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.clock == VideoClock::Utc ? "UTC" : "as written");
    return text;
}

// Reads the file through the counting seam and checks the bounds on the way.
std::string Read(const Bytes& file, uint64_t listedSize = 0)
{
    MemoryFile reads(&file);
    VideoTime time;
    VideoSearch search =
        ReadVideoTimeFrom(ReadMemory, &reads, listedSize ? listedSize : file.size(), &time);
    EXPECT_LE(reads.reads, VideoMaxReads);
    size_t asked = 0;
    for (const auto& range : reads.ranges) {
        asked += static_cast<size_t>(range.second - range.first);
        EXPECT_LE(range.second, listedSize ? listedSize : file.size()) << "a read past the end";
    }
    EXPECT_LE(asked, VideoMaxReadBytes);
    return Outcome(search, time);
}

struct LayoutCase {
    const char* name;
    std::function<void(VideoFixture&)> change;
    const char* outcome;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

const LayoutCase LayoutCases[] = {
    // The movie header alone: UTC, the movie box first or last, 32 or 64-bit.
    {"MovieHeaderLast", [](VideoFixture& v) { v.movieSeconds = Noon; }, "2023-04-01 05:29:26 UTC"},
    {"MovieHeaderFirst",
     [](VideoFixture& v) {
         v.movieSeconds = Noon;
         v.movieLast = false;
         v.majorBrand = "isom";
     },
     "2023-04-01 05:29:26 UTC"},
    {"MovieHeaderVersion1",
     [](VideoFixture& v) {
         v.movieSeconds = Noon;
         v.movieHeaderVersion1 = true;
     },
     "2023-04-01 05:29:26 UTC"},
    {"NoFileTypeBox",
     [](VideoFixture& v) {
         v.movieSeconds = Noon;
         v.withFileType = false;
     },
     "2023-04-01 05:29:26 UTC"},
    // A zero movie header: the first track's.
    {"TrackHeaderWhenMovieZero", [](VideoFixture& v) { v.trackSeconds = Noon + 60; },
     "2023-04-01 05:30:26 UTC"},
    {"AllZero", [](VideoFixture&) {}, "no time"},
    {"Before1970", [](VideoFixture& v) { v.movieSeconds = 3600; }, "no time"},
    // Apple's creation date with its offset wins, as written, wherever its key is.
    {"AppleKeys",
     [](VideoFixture& v) {
         v.movieSeconds = Noon;
         v.appleCreationDate = "2023-04-01T07:29:26+0200";
     },
     "2023-04-01 07:29:26 as written"},
    {"AppleKeysAfterTheList",
     [](VideoFixture& v) {
         v.movieSeconds = Noon;
         v.appleCreationDate = "2023-04-01T07:29:26-0500";
         v.appleKeysAfterList = true;
         v.metaBeforeTracks = true;
     },
     "2023-04-01 07:29:26 as written"},
    {"AppleKeysBehindManyTracks",
     [](VideoFixture& v) {
         v.movieSeconds = Noon;
         v.appleCreationDate = "2023-04-01T07:29:26+0200";
         v.tracks = 5;
         v.sampleTableBytes = 2000000;
     },
     "2023-04-01 07:29:26 as written"},
    // Behind more tracks than the read bound reaches: the movie header's time.
    {"AppleKeysBeyondTheReadBound",
     [](VideoFixture& v) {
         v.movieSeconds = Noon;
         v.appleCreationDate = "2023-04-01T07:29:26+0200";
         v.tracks = 20;
         v.sampleTableBytes = 100000;
     },
     "2023-04-01 05:29:26 UTC"},
    // User data: QuickTime's text and MP4's item list, with offset or Z.
    {"UserDayWithOffset",
     [](VideoFixture& v) {
         v.movieSeconds = Noon;
         v.userDay = "2023-04-01T07:29:26+02:00";
     },
     "2023-04-01 07:29:26 as written"},
    {"UserDayInUtc", [](VideoFixture& v) { v.userDay = "2023-04-01T05:29:27Z"; },
     "2023-04-01 05:29:27 UTC"},
    {"ListDayWithOffset",
     [](VideoFixture& v) {
         v.majorBrand = "isom";
         v.movieSeconds = Noon;
         v.listDay = "2023-04-01T07:29:26.250+0200";
     },
     "2023-04-01 07:29:26 as written"},
    {"UserDayWithoutZoneLeavesTheHeader",
     [](VideoFixture& v) {
         v.movieSeconds = Noon;
         v.userDay = "2023-04-01T09:00:00";
     },
     "2023-04-01 05:29:26 UTC"},
    {"UserDayNotADate",
     [](VideoFixture& v) {
         v.movieSeconds = Noon;
         v.userDay = "2023";
     },
     "2023-04-01 05:29:26 UTC"},
    {"OffsetBeatsUtcText",
     [](VideoFixture& v) {
         v.userDay = "2023-04-01T05:29:27Z";
         v.appleCreationDate = "2023-04-01T07:29:26+0200";
     },
     "2023-04-01 07:29:26 as written"},
    // A camera's XML and XMP.
    {"SonyXml",
     [](VideoFixture& v) {
         v.majorBrand = "XAVC";
         v.movieLast = false;
         v.movieSeconds = Noon;
         v.sonyXml = "<?xml version=\"1.0\"?><NonRealTimeMeta><CreationDate "
                     "value=\"2023-04-01T07:29:26+09:00\"/></NonRealTimeMeta>";
     },
     "2023-04-01 07:29:26 as written"},
    {"XmpAttribute",
     [](VideoFixture& v) {
         v.movieSeconds = Noon;
         v.xmpPacket = "<rdf:Description xmp:CreateDate=\"2023-04-01T07:29:26+02:00\"/>";
     },
     "2023-04-01 07:29:26 as written"},
    {"XmpElementInUserData",
     [](VideoFixture& v) {
         v.movieSeconds = Noon;
         v.userXmp = "<photoshop:DateCreated>2023-04-01T07:29:26-03:00</photoshop:DateCreated>";
     },
     "2023-04-01 07:29:26 as written"},
    // A camera that sets the movie header on its own clock.
    {"GoProLocalClock",
     [](VideoFixture& v) {
         v.majorBrand = "mp41";
         v.movieSeconds = Noon;
         v.firmware = "HD9.01.01.60.00";
     },
     "2023-04-01 05:29:26 as written"},
    {"OtherFirmwareStaysUtc",
     [](VideoFixture& v) {
         v.movieSeconds = Noon;
         v.firmware = "V1.0";
     },
     "2023-04-01 05:29:26 UTC"},
};

class VideoLayouts : public testing::TestWithParam<LayoutCase> {};

TEST_P(VideoLayouts, CaptureTimeAndClock)
{
    VideoFixture video;
    GetParam().change(video);
    EXPECT_EQ(Read(BuildVideo(video)), GetParam().outcome);
}

INSTANTIATE_TEST_SUITE_P(Videos, VideoLayouts, testing::ValuesIn(LayoutCases),
                         [](const testing::TestParamInfo<LayoutCase>& info) {
                             return std::string(info.param.name);
                         });

Bytes DatedVideo(bool movieLast)
{
    VideoFixture video;
    video.movieSeconds = Noon;
    video.movieLast = movieLast;
    return BuildVideo(video);
}

// Not yet whole: the movie box still to come, cut short, or not yet written.
TEST(VideoIncomplete, CopiesUnderWayAreToldApart)
{
    Bytes whole = DatedVideo(true);
    EXPECT_EQ(Read(whole), "2023-04-01 05:29:26 UTC");
    Bytes cut(whole.begin(), whole.end() - 20);  // the movie box runs past the end
    EXPECT_EQ(Read(cut), "incomplete");
    Bytes shortListed(whole.begin(), whole.end() - 20);  // listed longer than it is
    EXPECT_EQ(Read(shortListed, whole.size()), "incomplete");
    VideoFixture noMovie;
    Bytes media = BuildVideo(noMovie);
    Bytes beforeMovie(media.begin(), media.begin() + 16 + 8 + 8 + 64);  // ftyp, wide, mdat
    EXPECT_EQ(Read(beforeMovie), "incomplete");
    EXPECT_EQ(Read(Bytes(4096, 0)), "incomplete");  // size set, nothing written yet
    EXPECT_EQ(Read(Bytes()), "incomplete");
    Bytes firstMovie = DatedVideo(false);  // the media data still arriving
    Bytes mediaCut(firstMovie.begin(), firstMovie.end() - 10);
    EXPECT_EQ(Read(mediaCut), "incomplete");
}

TEST(VideoIncomplete, DamagedBoxesAreNoTime)
{
    Bytes file = DatedVideo(false);
    file[3] = 4;  // the file type box smaller than its header
    EXPECT_EQ(Read(file), "no time");
}

TEST(VideoBounds, MovieBehindMediaOfMoreThan4GiB)
{
    const uint64_t mediaSize = uint64_t{5} << 30;
    Bytes head = HeifBox("ftyp", {'q', 't', ' ', ' ', 0, 0, 0, 0});
    PutNumber(&head, 1, 4);
    head.insert(head.end(), {'m', 'd', 'a', 't'});
    PutNumber(&head, mediaSize, 8);
    VideoFixture video;
    video.movieLast = false;
    video.withFileType = false;
    video.mediaBytes = 0;
    video.movieSeconds = Noon;
    video.appleCreationDate = "2023-04-01T07:29:26+0200";
    Bytes movie = BuildVideo(video);
    movie.resize(movie.size() - 8);  // the empty media data box
    SparseFile file{head, head.size() - 16 + mediaSize, movie};
    VideoTime time;
    VideoSearch search = ReadVideoTimeFrom(ReadSparse, &file, file.Size(), &time);
    EXPECT_EQ(Outcome(search, time), "2023-04-01 07:29:26 as written");
    EXPECT_LE(file.reads, 3);
    EXPECT_LE(file.bytesRead, size_t{8192});
    EXPECT_LE(file.furthest, file.Size());
}

// A long video's sample tables are passed over: the reads stay small.
TEST(VideoBounds, LongTablesArePassedOver)
{
    VideoFixture video;
    video.movieSeconds = Noon;
    video.sampleTableBytes = 8 << 20;
    video.tracks = 3;
    video.userDay = "2023-04-01T07:29:26+02:00";
    Bytes file = BuildVideo(video);
    MemoryFile reads(&file);
    VideoTime time;
    EXPECT_EQ(Outcome(ReadVideoTimeFrom(ReadMemory, &reads, file.size(), &time), time),
              "2023-04-01 07:29:26 as written");
    EXPECT_LE(reads.reads, 8);
    EXPECT_LE(reads.bytesRead, size_t{32768});
}

// Fragments by the hundred after the movie box leave the bound to it.
TEST(VideoBounds, ManyFragmentsAfterTheMovie)
{
    VideoFixture video;
    video.movieLast = false;
    video.majorBrand = "iso6";
    video.movieSeconds = Noon;
    Bytes file = BuildVideo(video);
    for (int i = 0; i < 400; ++i) {
        Bytes fragment = HeifBox("moof", Bytes(5000, 0));
        file.insert(file.end(), fragment.begin(), fragment.end());
    }
    EXPECT_EQ(Read(file), "2023-04-01 05:29:26 UTC");
}

struct ExtensionCase {
    const wchar_t* extension;
    bool video;
};

TEST(VideoExtensions, ExactlyTheVideoKinds)
{
    const ExtensionCase cases[] = {
        {L".mov", true},  {L".MP4", true},   {L".m4v", true},   {L".3Gp", true},
        {L".3g2", true},  {L".mp", false},   {L".mp4x", false}, {L".m4a", false},
        {L".avi", false}, {L".heic", false}, {L"mov", false},   {L"", false},
    };
    for (const ExtensionCase& c : cases)
        EXPECT_EQ(IsVideoExtension(c.extension), c.video) << c.extension;
}

}  // namespace
