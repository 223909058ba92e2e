// Writes the fuzzer's seed corpus into a folder: JPEG files from the test
// fixtures in many layouts, bare Exif blocks and date texts; with --heif, HEIF
// files in the layouts writers use and in refused ones (named "refused-...");
// with --raw small raw files for the raw header fuzzer; with --video MOV and
// MP4 files with their dates where writers put them; with --settled kept
// settled-pictures files.
//   fuzz_seed_writer <folder> [--settled | --heif | --raw | --video]
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "rename/settled_file.h"
#include "tests/support/heif_fixture.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/video_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool WriteSeed(const std::string& folder, const std::string& name, const Bytes& bytes)
{
    std::string path = folder + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

ExifFixture CameraExif(bool bigEndian)
{
    ExifFixture exif;
    exif.bigEndian = bigEndian;
    FixtureTag orientation;
    orientation.tag = 0x0112;
    orientation.type = TypeShort;
    orientation.count = 1;
    orientation.value = bigEndian ? Bytes{0, 1} : Bytes{1, 0};
    FixtureTag exposure;
    exposure.tag = 0x829A;
    exposure.ifd = FixtureIfd::Exif;
    exposure.type = TypeRational;
    exposure.count = 1;
    exposure.value = bigEndian ? Bytes{0, 0, 0, 1, 0, 0, 0, 125} : Bytes{1, 0, 0, 0, 125, 0, 0, 0};
    exif.tags = {AsciiTag(0x010F, FixtureIfd::Ifd0, "Camera maker"),
                 AsciiTag(0x0110, FixtureIfd::Ifd0, "Model 1"),
                 orientation,
                 AsciiTag(TagDateTime, "2023:04:01 07:29:26"),
                 exposure,
                 AsciiTag(TagDateTimeOriginal, "2023:04:01 07:29:25"),
                 AsciiTag(TagDateTimeDigitized, "2023:04:01 07:29:24")};
    return exif;
}

struct Seed {
    std::string name;
    Bytes bytes;
};

std::vector<Seed> Seeds()
{
    std::vector<Seed> seeds;
    auto jpeg = [&](const std::string& name, const JpegFixture& fixture) {
        seeds.push_back({name + ".jpg", BuildJpeg(fixture)});
    };

    for (bool bigEndian : {false, true}) {
        std::string order = bigEndian ? "mm-" : "ii-";
        JpegFixture camera;
        camera.exif = CameraExif(bigEndian);
        jpeg(order + "camera", camera);
        camera.jfif = true;
        jpeg(order + "camera-jfif", camera);

        for (uint16_t tag : {TagDateTime, TagDateTimeOriginal, TagDateTimeDigitized}) {
            JpegFixture one;
            one.exif.bigEndian = bigEndian;
            one.exif.tags = {AsciiTag(tag, "2023:04:01 07:29:26")};
            jpeg(order + "date-" + std::to_string(tag), one);
        }

        const TiffDamage damages[] = {TiffDamage::ByteOrderMark, TiffDamage::Magic,
                                      TiffDamage::Ifd0PastEnd, TiffDamage::Ifd0CountOverruns,
                                      TiffDamage::ExifCountOverruns};
        for (TiffDamage damage : damages) {
            JpegFixture damaged;
            damaged.exif = CameraExif(bigEndian);
            damaged.exif.damage = damage;
            jpeg(order + "damage-" + std::to_string(static_cast<int>(damage)), damaged);
        }
        const ExifPointer pointers[] = {ExifPointer::Omitted, ExifPointer::ToIfd0,
                                        ExifPointer::PastEnd, ExifPointer::Wrapping,
                                        ExifPointer::WrongType};
        for (ExifPointer pointer : pointers) {
            JpegFixture odd;
            odd.exif = CameraExif(bigEndian);
            odd.exif.exifPointer = pointer;
            jpeg(order + "pointer-" + std::to_string(static_cast<int>(pointer)), odd);
        }

        JpegFixture beyond;
        beyond.exif.bigEndian = bigEndian;
        FixtureTag date = AsciiTag(TagDateTimeOriginal, "2023:04:01 07:29:26");
        date.valueOffset = 0xFFFFFFF0u;
        beyond.exif.tags = {date};
        jpeg(order + "value-beyond", beyond);

        JpegFixture inlined;
        inlined.exif.bigEndian = bigEndian;
        FixtureTag shortDate = AsciiTag(TagDateTime, "1:2");
        FixtureTag unknown;
        unknown.tag = TagDateTimeDigitized;
        unknown.ifd = FixtureIfd::Exif;
        unknown.type = 0x00FF;
        unknown.count = 20;
        unknown.value = Text("2023:04:01 07:29:26");
        inlined.exif.tags = {shortDate, unknown};
        jpeg(order + "inline-and-unknown-type", inlined);

        seeds.push_back({order + "block.tif", ExifBlock(CameraExif(bigEndian))});
    }

    JpegFixture layout;
    layout.exif = CameraExif(false);
    layout.jfif = true;
    layout.segmentsBeforeExif = {
        JpegSegment(0xE1, Text(std::string("http://ns.adobe.com/xap/1.0/") + '\0' + "<x/>")),
        JpegSegment(0xE2, Bytes(3000, 0xE2)), JpegSegment(0xFE, Text("comment")),
        Bytes{0xFF, 0xD0, 0xFF, 0x01, 0xFF, 0xFF}};
    jpeg("segments-before-exif", layout);
    layout.segmentsBeforeExif = {JpegSegment(0xE2, Bytes(65533, 0xE2))};
    jpeg("large-segment-before-exif", layout);
    // Segments beyond the first read, which the file reader seeks over.
    layout.segmentsBeforeExif = {
        JpegSegment(0xE2, Bytes(8000, 0xE2)),
        JpegSegment(0xFE, Text("a comment of some length")),
        JpegSegment(0xED, Bytes(300, 0xED)),
        Bytes{0xFF, 0xFF, 0xD1},
        JpegSegment(0xE1, Text(std::string("http://ns.adobe.com/xap/1.0/") + '\0' + "<x/>")),
        JpegSegment(0xE1, Text("Exif")),
        JpegSegment(0xE1, Text(std::string("Exif") + '\0'))};
    jpeg("segments-beyond-first-read", layout);
    layout.exif.bigEndian = true;
    layout.segmentsBeforeExif = {JpegSegment(0xE2, Bytes(5000, 0xE2)),
                                 JpegSegment(0xDB, Bytes(65, 1)), JpegSegment(0xE3, Bytes(20, 3)),
                                 JpegSegment(0xE4, Bytes(17, 4))};
    jpeg("small-segments-beyond-first-read", layout);

    JpegFixture truncated;
    truncated.exif = CameraExif(true);
    truncated.truncatedApp1 = true;
    jpeg("truncated-app1", truncated);
    JpegFixture noSoi;
    noSoi.exif = CameraExif(false);
    noSoi.soi = false;
    jpeg("no-soi", noSoi);
    seeds.push_back({"without-exif.jpg", JpegWithoutExif()});
    seeds.push_back(
        {"exif-after-image.jpg",
         Concat({{0xFF, 0xD8}, JpegImageData(), ExifSegment(ExifBlock(CameraExif(false)))})});

    const char* texts[] = {"2023:04:01 07:29:26", "  +2023:-4:01\t07:29:26 PM",
                           "    :  :     :  :  ", "2023:04:0107:29:26",
                           "99999999999:04:01 07:29:26"};
    int index = 0;
    for (const char* text : texts)
        seeds.push_back({"text-" + std::to_string(index++) + ".txt", Text(text)});
    return seeds;
}

std::vector<Seed> HeifSeeds()
{
    struct Layout {
        const char* name;
        void (*change)(HeifFixture&);
    };
    const Layout layouts[] = {
        {"as-written", [](HeifFixture&) {}},
        {"iloc-v0", [](HeifFixture& h) { h.ilocVersion = 0; }},
        {"iloc-v2-infe-v3",
         [](HeifFixture& h) {
             h.ilocVersion = 2;
             h.infeVersion = 3;
         }},
        {"iinf-v1", [](HeifFixture& h) { h.iinfVersion = 1; }},
        {"wide-fields",
         [](HeifFixture& h) {
             h.offsetSize = 8;
             h.lengthSize = 8;
             h.indexSize = 4;
         }},
        {"base-offset",
         [](HeifFixture& h) {
             h.baseOffsetSize = 4;
             h.baseOffset = true;
         }},
        {"base-offset-only",
         [](HeifFixture& h) {
             h.baseOffsetSize = 8;
             h.baseOffset = true;
             h.offsetSize = 0;
         }},
        {"large-sizes", [](HeifFixture& h) { h.largeSizes = true; }},
        {"standard-to-the-end",
         [](HeifFixture& h) {
             h.mdatSizeZero = true;
             h.exifLengthZero = true;
         }},
        {"iloc-first", [](HeifFixture& h) { h.ilocBeforeIinf = true; }},
        {"two-extents", [](HeifFixture& h) { h.exifExtents = 2; }},
        {"four-extents", [](HeifFixture& h) { h.exifExtents = 4; }},
        {"exif-after-image",
         [](HeifFixture& h) {
             h.exifAfterImage = true;
             h.imageBytes = 20000;
         }},
        {"meta-beyond-first-read", [](HeifFixture& h) { h.metaPadding = 17000; }},
        {"boxes-beyond-first-read",
         [](HeifFixture& h) {
             h.metaPadding = 17000;
             h.metaSmallBoxes = 8;
         }},
        {"camera-brands",
         [](HeifFixture& h) {
             h.majorBrand = "heix";
             h.compatibleBrands = {"mif1", "heix"};
         }},
        {"meta-after-data", [](HeifFixture& h) { h.metaAfterData = true; }},
        {"meta-after-large-data",
         [](HeifFixture& h) {
             h.metaAfterData = true;
             h.imageBytes = 70000;
         }},
        {"meta-after-data-large-sizes",
         [](HeifFixture& h) {
             h.metaAfterData = true;
             h.largeSizes = true;
             h.exifAfterImage = true;
             h.imageBytes = 70000;
         }},
        {"no-exif", [](HeifFixture& h) { h.withExifItem = false; }},
        {"refused-five-extents", [](HeifFixture& h) { h.exifExtents = 5; }},
        {"refused-in-idat", [](HeifFixture& h) { h.constructionMethod = 1; }},
        {"refused-not-pict", [](HeifFixture& h) { h.handler = "vide"; }},
        {"refused-beyond-file", [](HeifFixture& h) { h.exifOffsetShift = 1000000; }},
    };
    std::vector<Seed> seeds;
    for (bool bigEndian : {false, true}) {
        for (const Layout& layout : layouts) {
            HeifFixture heif;
            heif.exifBlock = ExifBlock(CameraExif(bigEndian));
            layout.change(heif);
            seeds.push_back({std::string(layout.name) + (bigEndian ? "-mm" : "-ii") + ".heic",
                             BuildHeif(heif)});
        }
    }
    return seeds;
}

}  // namespace

// Small raw files for the raw header fuzzer: TIFF-based ones in both byte
// orders and under the makers' signatures, with the date in the Exif IFD, in
// IFD0 only, damaged or cut short; the openings of raws that are not TIFF;
// and one longer than the header limit with its date past it.
static std::vector<Seed> RawSeeds()
{
    std::vector<Seed> seeds;
    auto raw = [](const ExifFixture& exif, const char* signature, size_t image) {
        Bytes bytes = ExifBlock(exif);
        if (signature)
            std::copy(signature, signature + 4, bytes.begin());
        bytes.resize(bytes.size() + image, 0x5A);
        return bytes;
    };
    for (bool bigEndian : {false, true}) {
        std::string order = bigEndian ? "mm-" : "ii-";
        ExifFixture camera = CameraExif(bigEndian);
        seeds.push_back({order + "camera.nef", raw(camera, nullptr, 200)});
        ExifFixture ifd0;
        ifd0.bigEndian = bigEndian;
        ifd0.tags = {AsciiTag(TagDateTime, "2021:01:01 10:00:00")};
        seeds.push_back({order + "ifd0-date.cr2", raw(ifd0, nullptr, 100)});
        ExifFixture damaged = CameraExif(bigEndian);
        damaged.damage = TiffDamage::ExifCountOverruns;
        seeds.push_back({order + "damaged.arw", raw(damaged, nullptr, 0)});
        Bytes cut = raw(camera, nullptr, 0);
        cut.resize(cut.size() / 2);
        seeds.push_back({order + "cut.dng", cut});
    }
    seeds.push_back({"olympus-ro.orf", raw(CameraExif(false), "IIRO", 100)});
    seeds.push_back({"olympus-rs.orf", raw(CameraExif(false), "IIRS", 100)});
    seeds.push_back({"olympus-mm.orf", raw(CameraExif(true), "MMOR", 100)});
    seeds.push_back({"panasonic.rw2", raw(CameraExif(false), "IIU\0", 100)});
    seeds.push_back({"canon.cr3", Concat({{0, 0, 0, 0x18}, Text("ftypcrx "), Bytes(64, 0)})});
    seeds.push_back({"fujifilm.raf", Concat({Text("FUJIFILMCCD-RAW 0201"), Bytes(64, 0)})});
    // The date's value placed past the first 64 KiB: not read.
    ExifFixture far;
    FixtureTag date = AsciiTag(TagDateTimeOriginal, "2021:01:01 10:00:00");
    date.valueOffset = 70000;
    far.tags = {date};
    Bytes beyond = raw(far, nullptr, 0);
    beyond.resize(70000, 0);
    Bytes text = Text("2021:01:01 10:00:00");
    beyond.insert(beyond.end(), text.begin(), text.end());
    beyond.resize(beyond.size() + 1, 0);
    seeds.push_back({"date-past-limit.nef", beyond});
    return seeds;
}

// Videos with each kind of date, the movie box first and last, and cut short.
static std::vector<Seed> VideoSeeds()
{
    const uint64_t noon = MovieSeconds(2023, 4, 1, 5, 29, 26);
    struct Layout {
        const char* name;
        void (*change)(VideoFixture&);
    };
    static const Layout layouts[] = {
        {"header", [](VideoFixture&) {}},
        {"header-first", [](VideoFixture& v) { v.movieLast = false; }},
        {"header-v1", [](VideoFixture& v) { v.movieHeaderVersion1 = true; }},
        {"track",
         [](VideoFixture& v) {
             v.trackSeconds = v.movieSeconds;
             v.movieSeconds = 0;
         }},
        {"apple", [](VideoFixture& v) { v.appleCreationDate = "2023-04-01T07:29:26+0200"; }},
        {"apple-keys-last",
         [](VideoFixture& v) {
             v.appleCreationDate = "2023-04-01T07:29:26+0200";
             v.appleKeysAfterList = true;
         }},
        {"user-day", [](VideoFixture& v) { v.userDay = "2023-04-01T07:29:26+02:00"; }},
        {"user-day-z", [](VideoFixture& v) { v.userDay = "2023-04-01T05:29:26Z"; }},
        {"list-day", [](VideoFixture& v) { v.listDay = "2023-04-01T07:29:26+0200"; }},
        {"gopro", [](VideoFixture& v) { v.firmware = "HD9.01.01.60.00"; }},
        {"sony",
         [](VideoFixture& v) {
             v.sonyXml = "<NonRealTimeMeta><CreationDate value=\"2023-04-01T07:29:26+09:00\"/>";
         }},
        {"xmp",
         [](VideoFixture& v) {
             v.xmpPacket = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                           "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                           "<rdf:Description xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" "
                           "xmp:CreateDate=\"2023-04-01T07:29:26Z\"/></rdf:RDF></x:xmpmeta>";
         }},
        {"user-xmp",
         [](VideoFixture& v) {
             v.userXmp = "<photoshop:DateCreated>2023-04-01T07:29:26+01:00</photoshop:DateCreated>";
         }},
        {"tracks",
         [](VideoFixture& v) {
             v.tracks = 3;
             v.sampleTableBytes = 3000;
         }},
    };
    std::vector<Seed> seeds;
    for (const Layout& layout : layouts) {
        VideoFixture video;
        video.movieSeconds = noon;
        layout.change(video);
        Bytes bytes = BuildVideo(video);
        seeds.push_back({std::string(layout.name) + ".mov", bytes});
        bytes.resize(bytes.size() * 3 / 4);
        seeds.push_back({std::string(layout.name) + "-cut.mov", bytes});
    }
    return seeds;
}

// Kept settled-pictures files for the folder the settled_file fuzzer expects.
static int WriteSettledSeeds(const std::string& folder)
{
    SettledFileHeader header = {0x1234ABCD, "Z:\\PICTURES\\CARD\\"};
    const std::vector<std::vector<SettledFileEntry>> files = {
        {},
        {{"20230401_072926.jpg", 0, 4200000, 133246000000000000ull, 133246000000000001ull}},
        {{"20230401_072926.jpg", 0, 1, 2, 3},
         {"20230401_072926 (001).JPG", SettledFlagNumbered, 4, 5, 6},
         {"20210615_143456.jpeg", SettledFlagFileTime, 7, 8, 9},
         {"\xC3\x84rger \xE2\x82\xAC.jpg", SettledFlagNumbered | SettledFlagFileTime, 0, 0, 0}},
    };
    int written = 0;
    for (const auto& file : files) {
        std::vector<uint8_t> bytes = EncodeSettledFile(header, file);
        if (!WriteSeed(folder, "settled-" + std::to_string(written) + ".seed", bytes))
            return 1;
        ++written;
    }
    std::printf("%d seeds written to %s\n", written, folder.c_str());
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[2]) == "--settled")
        return WriteSettledSeeds(argv[1]);
    std::string mode = argc == 3 ? argv[2] : "";
    if (argc != 2 && mode != "--heif" && mode != "--raw" && mode != "--video") {
        std::fprintf(stderr,
                     "usage: fuzz_seed_writer <folder> [--settled | --heif | --raw | --video]\n");
        return 2;
    }
    int written = 0;
    for (const Seed& seed : mode == "--heif"    ? HeifSeeds()
                            : mode == "--raw"   ? RawSeeds()
                            : mode == "--video" ? VideoSeeds()
                                                : Seeds()) {
        if (!WriteSeed(argv[1], seed.name, seed.bytes)) {
            std::fprintf(stderr, "cannot write %s/%s\n", argv[1], seed.name.c_str());
            return 1;
        }
        ++written;
    }
    std::printf("%d seeds written to %s\n", written, argv[1]);
    return 0;
}
