#include "tests/support/video_fixture.h"

#include "tests/support/heif_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Movie, track or media header: version, flags, creation and modification
// times, then the rest as zeros.
Bytes TimeHeader(const std::string& type, uint64_t seconds, bool version1, size_t rest)
{
    Bytes payload;
    int width = version1 ? 8 : 4;
    PutNumber(&payload, seconds, width);
    PutNumber(&payload, seconds, width);
    payload.resize(payload.size() + rest);
    return HeifFullBox(type, version1 ? 1 : 0, 0, payload);
}

Bytes DataBox(const std::string& text)
{
    Bytes payload;
    PutNumber(&payload, 1, 4);  // UTF-8
    PutNumber(&payload, 0, 4);  // locale
    return HeifBox("data", Join({payload, Text(text)}));
}

Bytes Handler(const std::string& kind)
{
    Bytes payload(4, 0);
    Bytes type = Text(kind);
    payload.insert(payload.end(), type.begin(), type.end());
    payload.resize(payload.size() + 13, 0);
    return HeifFullBox("hdlr", 0, 0, payload);
}

Bytes AppleMeta(const VideoFixture& v)
{
    Bytes keys;
    PutNumber(&keys, 2, 4);
    for (const std::string& name : {std::string("com.apple.quicktime.make"),
                                    std::string("com.apple.quicktime.creationdate")}) {
        PutNumber(&keys, 8 + name.size(), 4);
        Bytes entry = Join({Text("mdta"), Text(name)});
        keys.insert(keys.end(), entry.begin(), entry.end());
    }
    Bytes keysBox = HeifFullBox("keys", 0, 0, keys);
    Bytes make;
    PutNumber(&make, 1, 4);  // the box type: key index 1
    Bytes makeItem = HeifBox(std::string(make.begin(), make.end()), DataBox("Apple"));
    Bytes dateType;
    PutNumber(&dateType, 2, 4);
    Bytes dateItem =
        HeifBox(std::string(dateType.begin(), dateType.end()), DataBox(v.appleCreationDate));
    Bytes list = HeifBox("ilst", Join({makeItem, dateItem}));
    Bytes children = v.appleKeysAfterList ? Join({Handler("mdta"), list, keysBox})
                                          : Join({Handler("mdta"), keysBox, list});
    return HeifBox("meta", children);  // QuickTime: a plain box
}

Bytes UserData(const VideoFixture& v)
{
    Bytes entries;
    if (!v.userDay.empty()) {
        Bytes text;
        PutNumber(&text, v.userDay.size(), 2);
        PutNumber(&text, 0x55C4, 2);  // language
        entries = Join({entries, HeifBox("\xA9"
                                         "day",
                                         Join({text, Text(v.userDay)}))});
    }
    if (!v.listDay.empty()) {
        Bytes list = HeifBox("ilst", HeifBox("\xA9"
                                             "day",
                                             DataBox(v.listDay)));
        entries = Join({entries, HeifFullBox("meta", 0, 0, Join({Handler("mdir"), list}))});
    }
    if (!v.firmware.empty())
        entries = Join({entries, HeifBox("FIRM", Text(v.firmware))});
    if (!v.userXmp.empty())
        entries = Join({entries, HeifBox("XMP_", Text(v.userXmp))});
    return entries.empty() ? Bytes() : HeifBox("udta", entries);
}

Bytes Track(const VideoFixture& v, bool first)
{
    uint64_t seconds = first ? v.trackSeconds : 0;
    Bytes tables = HeifBox("stbl", Bytes(v.sampleTableBytes, 0));
    Bytes media = HeifBox("mdia", Join({TimeHeader("mdhd", seconds, false, 12), Handler("vide"),
                                        HeifBox("minf", tables)}));
    return HeifBox("trak", Join({TimeHeader("tkhd", seconds, false, 72), media}));
}

}  // namespace

uint64_t MovieSeconds(int year, int month, int day, int hour, int minute, int second)
{
    // Days from 1970 to the date (proleptic Gregorian), then from 1904.
    int y = month <= 2 ? year - 1 : year;
    int era = y / 400, yearOfEra = y - era * 400;
    int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    int64_t days = int64_t{era} * 146097 + dayOfEra - 719468;
    return uint64_t(days * 86400 + hour * 3600 + minute * 60 + second) + 2082844800;
}

std::vector<uint8_t> BuildVideo(const VideoFixture& v)
{
    Bytes header = TimeHeader("mvhd", v.movieSeconds, v.movieHeaderVersion1, 80);
    Bytes metadata = Join({v.appleCreationDate.empty() ? Bytes() : AppleMeta(v), UserData(v)});
    Bytes tracks;
    for (int t = 0; t < v.tracks; ++t)
        tracks = Join({tracks, Track(v, t == 0)});
    Bytes movie = HeifBox("moov", v.metaBeforeTracks ? Join({header, metadata, tracks})
                                                     : Join({header, tracks, metadata}));
    Bytes fileType;
    if (v.withFileType) {
        Bytes brands = Join({Text(v.majorBrand), Bytes(4, 0), Text(v.majorBrand)});
        fileType = HeifBox("ftyp", brands);
    }
    Bytes top;
    if (!v.sonyXml.empty())
        top = HeifFullBox("meta", 0, 0,
                          Join({Handler("meta"), HeifFullBox("xml ", 0, 0, Text(v.sonyXml))}));
    if (!v.xmpPacket.empty()) {
        static const uint8_t uuid[16] = {0xBE, 0x7A, 0xCF, 0xCB, 0x97, 0xA9, 0x42, 0xE8,
                                         0x9C, 0x71, 0x99, 0x94, 0x91, 0xE3, 0xAF, 0xAC};
        top = Join({top, HeifBox("uuid", Join({Bytes(uuid, uuid + 16), Text(v.xmpPacket)}))});
    }
    Bytes media = HeifBox("mdat", Bytes(v.mediaBytes, 0x11));
    return v.movieLast ? Join({fileType, HeifBox("wide", {}), media, top, movie})
                       : Join({fileType, movie, top, media});
}
