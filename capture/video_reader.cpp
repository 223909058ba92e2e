#include "capture/video_reader.h"

#include <cstring>
#include <string_view>

#include "capture/box_walk.h"

namespace {

// A read asks for this much at least: a box header is usually followed by the
// small boxes the walk wants next (the movie header after the movie box's).
constexpr size_t VideoChunkBytes = 4096;
// The most of a box holding XML (XMP, a camera's own metadata) that is read:
// the creation date sits near its start.
constexpr size_t MaxXmlBytes = 16384;
// Date texts and the key table are short; longer ones are not dates.
constexpr uint64_t MaxTextBytes = 64;
constexpr uint64_t MaxKeysBytes = 4096;
// Reads the top-level walk may take, so that a file of many fragments (a
// movie box first, then hundreds of fragment boxes) leaves the rest of the
// bound for the movie box.
constexpr int TopLevelReads = VideoMaxReads / 2;

constexpr uint32_t BoxMoov = FourCc("moov");
constexpr uint32_t BoxMvhd = FourCc("mvhd");
constexpr uint32_t BoxTrak = FourCc("trak");
constexpr uint32_t BoxTkhd = FourCc("tkhd");
constexpr uint32_t BoxMdia = FourCc("mdia");
constexpr uint32_t BoxMdhd = FourCc("mdhd");
constexpr uint32_t BoxMeta = FourCc("meta");
constexpr uint32_t BoxHdlr = FourCc("hdlr");
constexpr uint32_t BoxKeys = FourCc("keys");
constexpr uint32_t BoxIlst = FourCc("ilst");
constexpr uint32_t BoxData = FourCc("data");
constexpr uint32_t BoxUdta = FourCc("udta");
constexpr uint32_t BoxUuid = FourCc("uuid");
constexpr uint32_t BoxXml = FourCc("xml ");
constexpr uint32_t BoxXmp = FourCc("XMP_");
constexpr uint32_t BoxFirm = FourCc("FIRM");
constexpr uint32_t BoxDay = 0xA9646179;  // "\xA9day"

constexpr uint8_t XmpUuid[16] = {0xBE, 0x7A, 0xCF, 0xCB, 0x97, 0xA9, 0x42, 0xE8,
                                 0x9C, 0x71, 0x99, 0x94, 0x91, 0xE3, 0xAF, 0xAC};
constexpr std::string_view AppleCreationKey = "com.apple.quicktime.creationdate";

// Seconds from 1904-01-01 (the movie clock's start) to 1970-01-01.
constexpr uint64_t Seconds1904To1970 = 2082844800;

// What the walk found, each kind of date at most once (the first counts).
struct Dates {
    bool hasZoned = false;  // written with its UTC offset: as written
    VideoTime zoned{};
    bool hasUtcText = false;  // a text ending in Z
    VideoTime utcText{};
    uint64_t movieSeconds = 0;  // the movie header's, since 1904
    uint64_t trackSeconds = 0;  // the first track's, read only when the movie's is zero
    bool localClock = false;    // a camera known to set the movie header on local time
    bool hasTrack = false;
    BoxHeader firstTrack{};
};

// The number the digits spell (checked to be digits before).
int Digits(const uint8_t* text, size_t count)
{
    int value = 0;
    for (size_t i = 0; i < count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

enum class Zone { None, Offset, Utc };

// "YYYY-MM-DDTHH:MM:SS", a space for the T, an optional fraction, then Z, an
// offset (+HH:MM, +HHMM) or nothing. Fields out of range are not a date.
bool ParseDateText(const uint8_t* text, size_t size, VideoTime* time, Zone* zone)
{
    static const char pattern[] = "0000-00-00T00:00:00";
    if (size < sizeof pattern - 1)
        return false;
    for (size_t i = 0; i < sizeof pattern - 1; ++i) {
        bool fits = text[i] == uint8_t(pattern[i]);
        if (pattern[i] == '0')
            fits = text[i] >= '0' && text[i] <= '9';
        else if (pattern[i] == 'T')
            fits = text[i] == 'T' || text[i] == ' ';
        if (!fits)
            return false;
    }
    int f[6] = {Digits(text, 4)};
    for (size_t i = 1; i < 6; ++i)
        f[i] = Digits(text + 2 + 3 * i, 2);
    if (f[1] < 1 || f[1] > 12 || f[2] < 1 || f[2] > 31 || f[3] > 23 || f[4] > 59 || f[5] > 60)
        return false;
    size_t at = sizeof pattern - 1;
    if (at < size && text[at] == '.') {
        ++at;  // a fraction of a second, dropped
        while (at < size && text[at] >= '0' && text[at] <= '9')
            ++at;
    }
    *zone = Zone::None;
    if (at < size && text[at] == 'Z')
        *zone = Zone::Utc;
    else if (at < size && (text[at] == '+' || text[at] == '-'))
        *zone = Zone::Offset;
    *time = VideoTime{f[0], f[1], f[2], f[3], f[4], f[5], VideoClock::AsWritten};
    return true;
}

// Takes a date text found in the file: one with its offset as written, one in
// UTC to be converted. A text without either says nothing of its clock and
// is passed over.
void TakeDateText(const uint8_t* text, size_t size, Dates* dates)
{
    VideoTime time;
    Zone zone;
    if (!ParseDateText(text, size, &time, &zone) || time.year < 1970)
        return;
    if (zone == Zone::Offset && !dates->hasZoned) {
        dates->zoned = time;
        dates->hasZoned = true;
    } else if (zone == Zone::Utc && !dates->hasUtcText) {
        time.clock = VideoClock::Utc;
        dates->utcText = time;
        dates->hasUtcText = true;
    }
}

// The box's body, its first count bytes at most.
const uint8_t* BodyBytes(BoxReads& reads, const BoxHeader& box, uint64_t most, size_t* size)
{
    uint64_t length = box.end - box.body < most ? box.end - box.body : most;
    *size = static_cast<size_t>(length);
    return BoxBytes(reads, box.body, *size);
}

// A date in XML text: the value after the name, as an attribute (name="...")
// or an element (<name>...).
void TakeXmlDate(const uint8_t* xml, size_t size, std::string_view name, Dates* dates)
{
    std::string_view text(reinterpret_cast<const char*>(xml), size);
    for (size_t at = text.find(name); at != std::string_view::npos; at = text.find(name, at + 1)) {
        size_t value = at + name.size();
        if (value < text.size() && (text[value] == '>' || text[value] == '=')) {
            value += text[value] == '=' ? 2 : 1;  // past =" or >
            if (value <= text.size())
                TakeDateText(xml + value, size - value, dates);
            return;
        }
    }
}

void TakeXml(BoxReads& reads, const BoxHeader& box, uint64_t skip, Dates* dates)
{
    if (box.end - box.body < skip)
        return;
    BoxHeader rest = box;
    rest.body += skip;
    size_t size = 0;
    const uint8_t* xml = BodyBytes(reads, rest, MaxXmlBytes, &size);
    if (!xml)
        return;
    TakeXmlDate(xml, size, "CreationDate value", dates);  // a camera's own XML
    TakeXmlDate(xml, size, "xmp:CreateDate", dates);
    TakeXmlDate(xml, size, "photoshop:DateCreated", dates);
}

// An item list's value: a 'data' box (type, locale, then the text).
void TakeDataBox(BoxReads& reads, const BoxHeader& item, Dates* dates)
{
    WalkBoxes(reads, item.body, item.end, [&](const BoxHeader& data) {
        if (data.type != BoxData)
            return true;
        size_t size = 0;
        const uint8_t* bytes = BodyBytes(reads, data, 8 + MaxTextBytes, &size);
        if (bytes && size > 8)
            TakeDateText(bytes + 8, size - 8, dates);
        return false;
    });
}

// The 1-based index of Apple's creation date key in a keys box, 0 if absent.
uint32_t CreationKeyIndex(BoxReads& reads, const BoxHeader& keys)
{
    size_t size = 0;
    const uint8_t* bytes = BodyBytes(reads, keys, MaxKeysBytes, &size);
    if (!bytes || size < 8)
        return 0;
    uint32_t count = BigEndian32(bytes + 4);
    size_t at = 8;
    for (uint32_t index = 1; index <= count && size - at >= 8; ++index) {
        uint32_t entry = BigEndian32(bytes + at);
        if (entry < 8 || entry > size - at)
            return 0;
        std::string_view name(reinterpret_cast<const char*>(bytes + at + 8), entry - 8);
        if (name == AppleCreationKey)
            return index;
        at += entry;
    }
    return 0;
}

// A meta box: full in MP4 (version and flags before its children), plain in
// QuickTime; told apart by where its handler box's header lies.
void TakeMeta(BoxReads& reads, const BoxHeader& meta, Dates* dates)
{
    uint64_t children = meta.body;
    if (meta.end - meta.body >= 12) {
        const uint8_t* head = BoxBytes(reads, meta.body, 12);
        if (!head)
            return;
        if (BigEndian32(head + 4) != BoxHdlr &&
            (BigEndian32(head + 8) == BoxHdlr || BigEndian32(head) == 0))
            children = meta.body + 4;
    }
    uint32_t keyIndex = 0;
    BoxHeader list{};
    bool hasList = false;
    WalkBoxes(reads, children, meta.end, [&](const BoxHeader& child) {
        if (child.type == BoxKeys && keyIndex == 0)
            keyIndex = CreationKeyIndex(reads, child);
        else if (child.type == BoxIlst && !hasList) {
            list = child;
            hasList = true;
        } else if (child.type == BoxXml)
            TakeXml(reads, child, 4, dates);  // a full box
        return true;
    });
    if (!hasList)
        return;
    WalkBoxes(reads, list.body, list.end, [&](const BoxHeader& item) {
        if (item.type == BoxDay || (keyIndex != 0 && item.type == keyIndex))
            TakeDataBox(reads, item, dates);
        return true;
    });
}

// A user-data text entry: a 16-bit length and a language code, then the
// text; some writers put an item list's data box there instead.
void TakeUserText(BoxReads& reads, const BoxHeader& entry, Dates* dates)
{
    size_t size = 0;
    const uint8_t* bytes = BodyBytes(reads, entry, 8 + MaxTextBytes, &size);
    if (!bytes || size < 4)
        return;
    if (size >= 8 && BigEndian32(bytes + 4) == BoxData) {
        TakeDataBox(reads, entry, dates);
        return;
    }
    size_t length = (size_t{bytes[0]} << 8) | bytes[1];
    TakeDateText(bytes + 4, length < size - 4 ? length : size - 4, dates);
}

void TakeUserData(BoxReads& reads, const BoxHeader& udta, Dates* dates)
{
    WalkBoxes(reads, udta.body, udta.end, [&](const BoxHeader& entry) {
        if (entry.type == BoxDay)
            TakeUserText(reads, entry, dates);
        else if (entry.type == BoxMeta)
            TakeMeta(reads, entry, dates);
        else if (entry.type == BoxXmp)
            TakeXml(reads, entry, 0, dates);
        else if (entry.type == BoxFirm) {
            // GoPro cameras name their firmware "HD..." or "H1x..." and set
            // the movie header on the camera's clock, which has no zone.
            size_t size = 0;
            const uint8_t* firm = BodyBytes(reads, entry, 2, &size);
            dates->localClock = dates->localClock || (firm && size >= 2 && firm[0] == 'H');
        }
        return true;
    });
}

// Creation time of a movie, track or media header: version 0 holds 32-bit
// times, version 1 64-bit, after the version and flags.
uint64_t HeaderSeconds(BoxReads& reads, const BoxHeader& header)
{
    if (header.end - header.body < 12)
        return 0;
    const uint8_t* bytes = BoxBytes(reads, header.body, 12);
    if (!bytes)
        return 0;
    return bytes[0] == 1 ? BigEndian64(bytes + 4) : BigEndian32(bytes + 4);
}

void TakeMovie(BoxReads& reads, const BoxHeader& moov, Dates* dates)
{
    WalkBoxes(reads, moov.body, moov.end, [&](const BoxHeader& child) {
        if (child.type == BoxMvhd && dates->movieSeconds == 0)
            dates->movieSeconds = HeaderSeconds(reads, child);
        else if (child.type == BoxMeta)
            TakeMeta(reads, child, dates);
        else if (child.type == BoxUdta)
            TakeUserData(reads, child, dates);
        else if (child.type == BoxTrak && !dates->hasTrack) {
            dates->firstTrack = child;
            dates->hasTrack = true;
        }
        return true;
    });
}

// The first track's creation time: its track header's, else its media header's.
uint64_t TrackSeconds(BoxReads& reads, const BoxHeader& trak)
{
    uint64_t seconds = 0;
    WalkBoxes(reads, trak.body, trak.end, [&](const BoxHeader& child) {
        if (child.type == BoxTkhd)
            seconds = HeaderSeconds(reads, child);
        else if (child.type == BoxMdia)
            WalkBoxes(reads, child.body, child.end, [&](const BoxHeader& media) {
                if (media.type == BoxMdhd && seconds == 0)
                    seconds = HeaderSeconds(reads, media);
                return media.type != BoxMdhd;
            });
        return seconds == 0;
    });
    return seconds;
}

// Calendar fields of seconds since 1970 (the proleptic Gregorian calendar).
VideoTime FieldsOfSeconds(uint64_t seconds, VideoClock clock)
{
    uint64_t days = seconds / 86400, rest = seconds % 86400;
    // Days to civil date, counted in 400-year eras from 0000-03-01.
    uint64_t z = days + 719468;
    uint64_t era = z / 146097, dayOfEra = z % 146097;
    uint64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    uint64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    uint64_t monthIndex = (5 * dayOfYear + 2) / 153;
    uint64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    uint64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    uint64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return VideoTime{static_cast<int>(year),
                     static_cast<int>(month),
                     static_cast<int>(day),
                     static_cast<int>(rest / 3600),
                     static_cast<int>(rest / 60 % 60),
                     static_cast<int>(rest % 60),
                     clock};
}

// A header time: seconds since 1904, none before 1970 or past year 9999.
bool TakeHeaderTime(uint64_t seconds, VideoClock clock, VideoTime* time)
{
    constexpr uint64_t Year10000 = 253402300800;  // seconds from 1970
    if (seconds < Seconds1904To1970 || seconds - Seconds1904To1970 >= Year10000)
        return false;
    *time = FieldsOfSeconds(seconds - Seconds1904To1970, clock);
    return true;
}

bool IsUuidOf(BoxReads& reads, const BoxHeader& box, const uint8_t (&uuid)[16])
{
    if (box.end - box.body < 16)
        return false;
    const uint8_t* bytes = BoxBytes(reads, box.body, 16);
    return bytes && std::memcmp(bytes, uuid, 16) == 0;
}

}  // namespace

VideoSearch ReadVideoTimeFrom(ExifReadAt readAt, void* source, uint64_t fileSize, VideoTime* time)
{
    *time = VideoTime{};
    BoxReads reads{readAt, source, fileSize, VideoMaxReadBytes, VideoMaxReads, VideoChunkBytes};

    // The top level: the movie box wherever it lies, and the boxes of XML
    // metadata beside it. A file being copied has its movie box last, so a
    // last box running past the end or no movie box at all is a file not yet
    // whole; zeros where a box header belongs, one not yet written.
    BoxHeader moov{};
    bool hasMoov = false, notWritten = false;
    Dates dates;
    reads.maxReads = TopLevelReads;
    BoxStep step = WalkBoxes(reads, 0, reads.fileSize, [&](const BoxHeader& box) {
        if (box.type == 0) {
            notWritten = true;
            return false;
        }
        if (box.type == BoxMoov && !hasMoov) {
            moov = box;
            hasMoov = true;
        } else if (box.type == BoxUuid && IsUuidOf(reads, box, XmpUuid))
            TakeXml(reads, box, 16, &dates);
        else if (box.type == BoxMeta)
            TakeMeta(reads, box, &dates);  // a camera's XML (Sony)
        return true;
    });
    if (notWritten || step == BoxStep::PastEnd || (!hasMoov && step == BoxStep::Ok))
        return VideoSearch::Incomplete;
    if (!hasMoov)
        return VideoSearch::NoTime;  // damaged, or its boxes beyond the bounds
    // Boxes past the bound after the movie box are taken as whole.
    reads.maxReads = VideoMaxReads;
    reads.exhausted = false;

    TakeMovie(reads, moov, &dates);
    if (dates.hasZoned) {
        *time = dates.zoned;
        return VideoSearch::Found;
    }
    if (dates.hasUtcText) {
        *time = dates.utcText;
        return VideoSearch::Found;
    }
    VideoClock clock = dates.localClock ? VideoClock::AsWritten : VideoClock::Utc;
    if (dates.movieSeconds == 0 && dates.hasTrack)
        dates.trackSeconds = TrackSeconds(reads, dates.firstTrack);
    uint64_t seconds = dates.movieSeconds != 0 ? dates.movieSeconds : dates.trackSeconds;
    return TakeHeaderTime(seconds, clock, time) ? VideoSearch::Found : VideoSearch::NoTime;
}
