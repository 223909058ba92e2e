#include "capture/heif_reader.h"

#include <cstring>

// Positions are 64-bit file offsets. Every sum is checked against a limit
// before it is formed (a + b <= limit is tested as b <= limit - a), so a
// 64-bit box size or extent can never wrap.

namespace {

constexpr uint32_t FourCc(const char (&code)[5])
{
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
           (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

constexpr uint32_t BoxFtyp = FourCc("ftyp");
constexpr uint32_t BoxMeta = FourCc("meta");
constexpr uint32_t BoxHdlr = FourCc("hdlr");
constexpr uint32_t BoxIinf = FourCc("iinf");
constexpr uint32_t BoxInfe = FourCc("infe");
constexpr uint32_t BoxIloc = FourCc("iloc");
constexpr uint32_t HandlerPict = FourCc("pict");
constexpr uint32_t ItemTypeExif = FourCc("Exif");

// Brands that declare still images of the image file format: its structural
// brands and those of its HEVC and AV1 profiles.
constexpr uint32_t ImageBrands[] = {FourCc("mif1"), FourCc("msf1"), FourCc("mif2"), FourCc("heic"),
                                    FourCc("heix"), FourCc("heim"), FourCc("heis"), FourCc("hevc"),
                                    FourCc("hevx"), FourCc("avif"), FourCc("avis")};

constexpr uint64_t BoxHeaderBytes = 8;        // 32-bit size, type
constexpr uint64_t LargeBoxHeaderBytes = 16;  // size 1, type, 64-bit size
constexpr uint64_t FullBoxBytes = 4;          // version, 24-bit flags

// The bytes of the file given to the walk, from base on, and the file's size.
struct FileBytes {
    const uint8_t* bytes;
    uint64_t have;  // where the bytes given end, at most the file's size
    uint64_t fileSize;
    uint64_t base = 0;  // the file offset of bytes[0]; the walk never looks before it

    uint8_t Byte(uint64_t at) const { return bytes[at - base]; }
    uint64_t Number(uint64_t at, uint64_t width) const
    {
        uint64_t value = 0;
        for (uint64_t i = 0; i < width; ++i)
            value = (value << 8) | Byte(at + i);
        return value;
    }
    uint32_t U32(uint64_t at) const { return static_cast<uint32_t>(Number(at, 4)); }
    uint16_t U16(uint64_t at) const { return static_cast<uint16_t>(Number(at, 2)); }
};

struct Box {
    uint32_t type;
    uint64_t body;  // where the box's contents start
    uint64_t end;
};

enum class Step { Ok, Damaged, Short };

// What the walk came to, with the bytes it needs to go on when Short.
struct Walk {
    Step step = Step::Ok;
    uint64_t needed = 0;
};

Walk Damaged() { return Walk{Step::Damaged, 0}; }
Walk Short(uint64_t needed) { return Walk{Step::Short, needed}; }

// The header of the box at pos, which must end by limit (its parent's end). A
// size of 0 means the box reaches to the parent's end, as the file's last box
// may say; a size of 1 means a 64-bit size follows the type.
Walk ReadBox(const FileBytes& file, uint64_t pos, uint64_t limit, Box* box)
{
    if (pos > limit || limit - pos < BoxHeaderBytes)
        return Damaged();
    uint64_t headerEnd = limit - pos < LargeBoxHeaderBytes ? limit : pos + LargeBoxHeaderBytes;
    if (pos + BoxHeaderBytes > file.have)
        return Short(headerEnd);
    uint64_t size = file.U32(pos);
    uint64_t header = BoxHeaderBytes;
    if (size == 1) {
        header = LargeBoxHeaderBytes;
        if (limit - pos < header)
            return Damaged();
        if (pos + header > file.have)
            return Short(headerEnd);
        size = file.Number(pos + BoxHeaderBytes, 8);
    } else if (size == 0) {
        size = limit - pos;
    }
    if (size < header || size > limit - pos)
        return Damaged();
    *box = Box{file.U32(pos + 4), pos + header, pos + size};
    return Walk{};
}

// The box's contents must all be at hand.
Walk NeedWhole(const FileBytes& file, const Box& box)
{
    return box.end > file.have ? Short(box.end) : Walk{};
}

bool HasImageBrand(const FileBytes& file, const Box& ftyp)
{
    // Major brand, minor version, then compatible brands to the box's end.
    if (ftyp.end - ftyp.body < 8)
        return false;
    for (uint64_t at = ftyp.body; ftyp.end - at >= 4; at += at == ftyp.body ? 8 : 4) {
        for (uint32_t brand : ImageBrands) {
            if (file.U32(at) == brand)
                return true;
        }
    }
    return false;
}

// The meta box's children the Exif item is found by.
struct MetaBoxes {
    bool hdlr = false, iinf = false, iloc = false;
    Box handler{}, info{}, locations{};
};

// Walks the meta box's children until the three are found, needing the whole
// of those three and only the headers of the others.
Walk FindMetaBoxes(const FileBytes& file, const Box& meta, MetaBoxes* found)
{
    uint64_t pos = meta.body + FullBoxBytes;
    while (!(found->hdlr && found->iinf && found->iloc) && pos < meta.end) {
        Box child;
        Walk walk = ReadBox(file, pos, meta.end, &child);
        if (walk.step != Step::Ok)
            return walk;
        Box* wanted = nullptr;
        bool* seen = nullptr;
        if (child.type == BoxHdlr) {
            wanted = &found->handler;
            seen = &found->hdlr;
        } else if (child.type == BoxIinf) {
            wanted = &found->info;
            seen = &found->iinf;
        } else if (child.type == BoxIloc) {
            wanted = &found->locations;
            seen = &found->iloc;
        }
        if (wanted && !*seen) {  // the first of each counts
            walk = NeedWhole(file, child);
            if (walk.step != Step::Ok)
                return walk;
            *wanted = child;
            *seen = true;
        }
        pos = child.end;
    }
    return Walk{};
}

bool IsPictureHandler(const FileBytes& file, const Box& hdlr)
{
    // Full box header, pre_defined, handler type.
    return hdlr.end - hdlr.body >= FullBoxBytes + 8 &&
           file.U32(hdlr.body + FullBoxBytes + 4) == HandlerPict;
}

// The id of the first unprotected item of type 'Exif'. Entries of versions 0
// and 1 carry no item type and are passed over.
bool FindExifItemId(const FileBytes& file, const Box& iinf, uint32_t* itemId)
{
    if (iinf.end - iinf.body < FullBoxBytes)
        return false;
    uint8_t version = file.Byte(iinf.body);
    uint64_t countBytes = version == 0 ? 2 : 4;
    uint64_t pos = iinf.body + FullBoxBytes;
    if (iinf.end - pos < countBytes)
        return false;
    uint64_t count = file.Number(pos, countBytes);
    pos += countBytes;
    // Each entry is a box of at least 8 bytes, so the box's size bounds the walk.
    for (uint64_t i = 0; i < count && pos < iinf.end; ++i) {
        Box entry;
        if (ReadBox(file, pos, iinf.end, &entry).step != Step::Ok)
            return false;
        pos = entry.end;
        if (entry.type != BoxInfe || entry.end - entry.body < FullBoxBytes)
            continue;
        uint8_t entryVersion = file.Byte(entry.body);
        if (entryVersion < 2)
            continue;
        uint64_t idBytes = entryVersion == 2 ? 2 : 4;
        uint64_t at = entry.body + FullBoxBytes;
        if (entry.end - at < idBytes + 2 + 4)
            continue;
        uint32_t id = static_cast<uint32_t>(file.Number(at, idBytes));
        uint16_t protection = file.U16(at + idBytes);
        uint32_t type = file.U32(at + idBytes + 2);
        if (type == ItemTypeExif && protection == 0) {
            *itemId = id;
            return true;
        }
    }
    return false;
}

// Reads the iloc fields one after the other, each checked against the box's end.
struct Fields {
    const FileBytes& file;
    uint64_t pos;
    uint64_t end;
    bool ok = true;

    uint64_t Take(uint64_t width)
    {
        if (!ok || end - pos < width) {
            ok = false;
            return 0;
        }
        uint64_t value = file.Number(pos, width);
        pos += width;
        return value;
    }
    void Skip(uint64_t width)
    {
        if (!ok || end - pos < width)
            ok = false;
        else
            pos += width;
    }
};

bool ValidFieldSize(uint64_t size) { return size == 0 || size == 4 || size == 8; }

// An extent of the item at base + offset: inside the file, a length of 0
// meaning to the file's end.
bool AddExtent(uint64_t fileSize, uint64_t base, uint64_t offset, uint64_t length,
               HeifExifItem* item)
{
    if (base > fileSize || offset > fileSize - base)
        return false;
    uint64_t start = base + offset;
    if (length == 0)
        length = fileSize - start;
    if (length > fileSize - start || length > fileSize - item->size)
        return false;
    item->offsets[item->extentCount] = start;
    item->lengths[item->extentCount] = length;
    ++item->extentCount;
    item->size += length;
    return true;
}

bool FindItemLocation(const FileBytes& file, const Box& iloc, uint32_t itemId, HeifExifItem* item)
{
    Fields fields{file, iloc.body, iloc.end};
    uint64_t version = fields.Take(1);
    fields.Skip(3);
    uint64_t sizes = fields.Take(2);
    uint64_t offsetSize = sizes >> 12, lengthSize = (sizes >> 8) & 0xF;
    uint64_t baseOffsetSize = (sizes >> 4) & 0xF, indexSize = sizes & 0xF;
    if (!fields.ok || version > 2 || !ValidFieldSize(offsetSize) || !ValidFieldSize(lengthSize) ||
        !ValidFieldSize(baseOffsetSize))
        return false;
    if (version == 0)
        indexSize = 0;  // the reserved field
    else if (!ValidFieldSize(indexSize))
        return false;
    uint64_t idBytes = version < 2 ? 2 : 4;
    uint64_t count = fields.Take(idBytes);

    // Each entry takes at least 4 bytes, so the box's size bounds the walk.
    for (uint64_t i = 0; i < count && fields.ok; ++i) {
        uint64_t id = fields.Take(idBytes);
        uint64_t constructionMethod = version == 0 ? 0 : fields.Take(2) & 0xF;
        uint64_t dataReference = fields.Take(2);
        uint64_t base = fields.Take(baseOffsetSize);
        uint64_t extents = fields.Take(2);
        uint64_t extentBytes = indexSize + offsetSize + lengthSize;
        if (!fields.ok)
            return false;
        if (id != itemId) {
            fields.Skip(extents * extentBytes);  // at most 65535 x 24: no wrap
            continue;
        }
        // Only data in this file at file offsets is read: not in the meta
        // box's idat (1), not made of other items (2), not in another file.
        if (constructionMethod != 0 || dataReference != 0 || extents == 0 ||
            extents > HeifMaxExifExtents)
            return false;
        for (uint64_t e = 0; e < extents; ++e) {
            fields.Skip(indexSize);
            uint64_t offset = fields.Take(offsetSize);
            uint64_t length = fields.Take(lengthSize);
            if (!fields.ok || !AddExtent(file.fileSize, base, offset, length, item))
                return false;
        }
        return true;
    }
    return false;
}

HeifSearch AskFor(uint64_t bytes, size_t* bytesNeeded)
{
    if (bytes > SIZE_MAX)
        return HeifSearch::NotFound;
    *bytesNeeded = static_cast<size_t>(bytes);
    return HeifSearch::NeedMoreBytes;
}

HeifSearch Outcome(const Walk& walk, size_t* bytesNeeded)
{
    return walk.step == Step::Short ? AskFor(walk.needed, bytesNeeded) : HeifSearch::NotFound;
}

// The Exif item by the top-level meta box: its handler, item information and
// item locations.
HeifSearch SearchMeta(const FileBytes& file, const Box& box, HeifExifItem* item,
                      size_t* bytesNeeded)
{
    if (box.end - box.body < FullBoxBytes)
        return HeifSearch::NotFound;
    if (file.have < FullBoxBytes || box.body > file.have - FullBoxBytes)
        return AskFor(box.body + FullBoxBytes, bytesNeeded);
    if (file.Byte(box.body) != 0)
        return HeifSearch::NotFound;

    MetaBoxes meta;
    Walk walk = FindMetaBoxes(file, box, &meta);
    if (walk.step != Step::Ok)
        return Outcome(walk, bytesNeeded);
    if (!meta.hdlr || !meta.iinf || !meta.iloc || !IsPictureHandler(file, meta.handler))
        return HeifSearch::NotFound;

    uint32_t itemId = 0;
    if (!FindExifItemId(file, meta.info, &itemId) ||
        !FindItemLocation(file, meta.locations, itemId, item)) {
        *item = HeifExifItem{};
        return HeifSearch::NotFound;
    }
    return HeifSearch::Found;
}

}  // namespace

HeifSearch FindHeifExifItem(const uint8_t* bytes, size_t size, uint64_t fileSize,
                            HeifExifItem* item, size_t* bytesNeeded)
{
    *item = HeifExifItem{};
    *bytesNeeded = 0;
    if (bytes == nullptr)
        size = 0;
    FileBytes file{bytes, size < fileSize ? size : fileSize, fileSize};

    // The file type box comes first and names the image brands.
    Box box;
    Walk walk = ReadBox(file, 0, fileSize, &box);
    if (walk.step == Step::Ok && box.type != BoxFtyp)
        return HeifSearch::NotFound;
    if (walk.step == Step::Ok)
        walk = NeedWhole(file, box);
    if (walk.step != Step::Ok)
        return Outcome(walk, bytesNeeded);
    if (!HasImageBrand(file, box))
        return HeifSearch::NotFound;

    // Then the top-level meta box, passing over the headers of the others.
    for (;;) {
        uint64_t pos = box.end;
        if (pos >= fileSize)
            return HeifSearch::NotFound;
        walk = ReadBox(file, pos, fileSize, &box);
        if (walk.step != Step::Ok)
            return Outcome(walk, bytesNeeded);
        if (box.type == BoxMeta)
            break;
    }
    return SearchMeta(file, box, item, bytesNeeded);
}

bool FindHeifExifItemInMeta(const uint8_t* bytes, size_t size, uint64_t metaOffset,
                            uint64_t fileSize, HeifExifItem* item)
{
    *item = HeifExifItem{};
    if (bytes == nullptr || metaOffset > fileSize)
        return false;
    uint64_t have = size < fileSize - metaOffset ? metaOffset + size : fileSize;
    FileBytes file{bytes, have, fileSize, metaOffset};
    Box box;
    size_t needed = 0;
    if (ReadBox(file, metaOffset, fileSize, &box).step != Step::Ok || box.type != BoxMeta ||
        SearchMeta(file, box, item, &needed) != HeifSearch::Found) {
        *item = HeifExifItem{};
        return false;
    }
    return true;
}

bool IsHeifFileType(const uint8_t* bytes, size_t size)
{
    FileBytes file{bytes, size, size};
    Box box;
    return bytes != nullptr && ReadBox(file, 0, size, &box).step == Step::Ok &&
           box.type == BoxFtyp && HasImageBrand(file, box);
}

namespace {

bool IsTiffHeaderAt(const uint8_t* item, size_t size, size_t at)
{
    if (size < 4 || at > size - 4)
        return false;
    const uint8_t* p = item + at;
    return (p[0] == 'I' && p[1] == 'I' && p[2] == 42 && p[3] == 0) ||
           (p[0] == 'M' && p[1] == 'M' && p[2] == 0 && p[3] == 42);
}

// A JPEG APP1 segment's start at the position: its marker, a length, then
// "Exif\0\0" and the TIFF header.
bool IsApp1ExifAt(const uint8_t* item, size_t size, size_t at)
{
    static const uint8_t exif[] = {'E', 'x', 'i', 'f', 0, 0};
    return size >= at + 10 && item[at] == 0xFF && item[at + 1] == 0xE1 &&
           std::memcmp(item + at + 4, exif, sizeof exif) == 0 &&
           IsTiffHeaderAt(item, size, at + 10);
}

}  // namespace

bool FindHeifTiffBlock(const uint8_t* item, size_t size, size_t* blockOffset)
{
    *blockOffset = 0;
    if (item == nullptr || size < 4)
        return false;
    // Read as the count, a TIFF header or an APP1 marker would lead far past
    // any Exif item, so these layouts cannot be mistaken for a conforming one.
    // Only the first bytes decide, so that a part of the item decides as the
    // whole would.
    if (IsTiffHeaderAt(item, size, 0))
        return true;  // no count: phones that write the TIFF header first
    // The APP1 segment as a JPEG holds it, first or after the count.
    for (size_t app1 = 0; app1 <= 4; app1 += 4) {
        if (IsApp1ExifAt(item, size, app1)) {
            *blockOffset = app1 + 10;
            return true;
        }
    }
    uint64_t skip = (uint64_t{item[0]} << 24) | (uint64_t{item[1]} << 16) |
                    (uint64_t{item[2]} << 8) | item[3];
    if (skip > size - 4)
        return false;
    *blockOffset = static_cast<size_t>(4 + skip);
    return true;
}
