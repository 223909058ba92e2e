#include "tests/support/heif_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Byte by byte: GCC 12 at -O3 warns falsely about insert() from short vectors.
void Append(Bytes* bytes, const Bytes& more)
{
    for (uint8_t byte : more)
        bytes->push_back(byte);
}

void PutText(Bytes* bytes, const std::string& text)
{
    for (char c : text)
        bytes->push_back(static_cast<uint8_t>(c));
}

Bytes TopBox(const HeifFixture& heif, const std::string& type, const Bytes& payload, bool sizeZero)
{
    Bytes box;
    if (sizeZero) {
        PutNumber(&box, 0, 4);
        PutText(&box, type);
    } else if (heif.largeSizes) {
        PutNumber(&box, 1, 4);
        PutText(&box, type);
        PutNumber(&box, payload.size() + 16, 8);
    } else {
        return HeifBox(type, payload);
    }
    Append(&box, payload);
    return box;
}

Bytes Infe(const HeifFixture& heif, uint32_t id, const std::string& type)
{
    Bytes payload;
    PutNumber(&payload, id, heif.infeVersion == 2 ? 2 : 4);
    PutNumber(&payload, 0, 2);  // not protected
    PutText(&payload, type);
    payload.push_back(0);  // empty name
    return HeifFullBox("infe", heif.infeVersion, 0, payload);
}

struct Extent {
    uint64_t offset, length;
};

struct Location {
    uint32_t id;
    uint8_t constructionMethod;
    uint64_t base;
    std::vector<Extent> extents;
};

Bytes Iloc(const HeifFixture& heif, const std::vector<Location>& items)
{
    Bytes payload;
    payload.push_back(static_cast<uint8_t>(heif.offsetSize << 4 | heif.lengthSize));
    payload.push_back(static_cast<uint8_t>(heif.baseOffsetSize << 4 | heif.indexSize));
    int idBytes = heif.ilocVersion < 2 ? 2 : 4;
    PutNumber(&payload, items.size(), idBytes);
    for (const Location& item : items) {
        PutNumber(&payload, item.id, idBytes);
        if (heif.ilocVersion > 0)
            PutNumber(&payload, item.constructionMethod, 2);
        PutNumber(&payload, 0, 2);  // this file
        PutNumber(&payload, item.base, heif.baseOffsetSize);
        PutNumber(&payload, item.extents.size(), 2);
        for (const Extent& extent : item.extents) {
            if (heif.ilocVersion > 0)
                PutNumber(&payload, 0, heif.indexSize);
            PutNumber(&payload, extent.offset, heif.offsetSize);
            PutNumber(&payload, extent.length, heif.lengthSize);
        }
    }
    return HeifFullBox("iloc", heif.ilocVersion, 0, payload);
}

Bytes Meta(const HeifFixture& heif, const std::vector<Location>& items)
{
    Bytes hdlr;
    PutNumber(&hdlr, 0, 4);
    PutText(&hdlr, heif.handler);
    PutNumber(&hdlr, 0, 12);
    hdlr.push_back(0);
    Bytes pitm;
    PutNumber(&pitm, 1, 2);

    Bytes entries;
    PutNumber(&entries, heif.withExifItem ? 2 : 1, heif.iinfVersion == 0 ? 2 : 4);
    Append(&entries, Infe(heif, 1, "hvc1"));
    if (heif.withExifItem)
        Append(&entries, Infe(heif, 2, heif.exifItemType));

    Bytes payload = HeifFullBox("hdlr", 0, 0, hdlr);
    Append(&payload, HeifFullBox("pitm", 0, 0, pitm));
    if (heif.ilocBeforeIinf)
        Append(&payload, Iloc(heif, items));
    Append(&payload, HeifFullBox("iinf", heif.iinfVersion, 0, entries));
    if (heif.metaPadding >= 8)
        Append(&payload, HeifBox("free", Bytes(heif.metaPadding - 8, 0)));
    for (int i = 0; i < heif.metaSmallBoxes; ++i)
        Append(&payload, HeifBox("free", Bytes(12, 0)));
    if (!heif.ilocBeforeIinf)
        Append(&payload, Iloc(heif, items));
    Bytes meta;
    PutNumber(&meta, 0, 4);  // version, flags
    Append(&meta, payload);
    return meta;
}

}  // namespace

void PutNumber(std::vector<uint8_t>* bytes, uint64_t value, int width)
{
    for (int i = width - 1; i >= 0; --i)
        bytes->push_back(i < 8 ? static_cast<uint8_t>(value >> (8 * i)) : 0);
}

std::vector<uint8_t> HeifBox(const std::string& type, const std::vector<uint8_t>& payload)
{
    Bytes box;
    PutNumber(&box, payload.size() + 8, 4);
    PutText(&box, type);
    Append(&box, payload);
    return box;
}

std::vector<uint8_t> HeifFullBox(const std::string& type, uint8_t version, uint32_t flags,
                                 const std::vector<uint8_t>& payload)
{
    Bytes body;
    body.push_back(version);
    PutNumber(&body, flags, 3);
    Append(&body, payload);
    return HeifBox(type, body);
}

std::vector<uint8_t> BuildHeif(const HeifFixture& heif)
{
    Bytes ftypPayload;
    PutText(&ftypPayload, heif.majorBrand);
    PutNumber(&ftypPayload, 0, 4);
    for (const std::string& brand : heif.compatibleBrands)
        PutText(&ftypPayload, brand);
    Bytes ftyp = TopBox(heif, "ftyp", ftypPayload, false);

    Bytes exifData;
    if (!heif.withoutTiffOffset)
        PutNumber(&exifData,
                  heif.statedTiffOffset >= 0 ? static_cast<uint64_t>(heif.statedTiffOffset)
                                             : heif.tiffPrefix.size() + heif.tiffOffsetExtra,
                  4);
    PutText(&exifData, heif.tiffPrefix);
    Append(&exifData, heif.exifBlock);
    Bytes image(heif.imageBytes, 0xA5);
    bool exifLast = heif.exifAfterImage || heif.exifLengthZero;
    Bytes mdatPayload = exifLast ? image : exifData;
    Append(&mdatPayload, exifLast ? exifData : image);

    // The meta box's size does not depend on the offsets it holds, so a first
    // build tells where the media data will start.
    auto locations = [&](uint64_t mdatBody) {
        uint64_t exifAt = mdatBody + (exifLast ? image.size() : 0);
        uint64_t imageAt = mdatBody + (exifLast ? 0 : exifData.size());
        uint64_t base = heif.baseOffset ? mdatBody : 0;
        Location imageItem{1, 0, base, {{imageAt - base, image.size()}}};
        Location exifItem{2, heif.constructionMethod, base, {}};
        int pieces = heif.exifExtents;
        for (int i = 0; i < pieces; ++i) {
            uint64_t from = exifData.size() * i / pieces, to = exifData.size() * (i + 1) / pieces;
            exifItem.extents.push_back({exifAt - base + from, to - from});
        }
        if (heif.exifLengthZero)
            exifItem.extents = {{exifAt - base, 0}};
        if (!exifItem.extents.empty())
            exifItem.extents[0].offset += heif.exifOffsetShift;
        std::vector<Location> items = {imageItem};
        if (heif.withExifItem)
            items.push_back(exifItem);
        return items;
    };
    uint64_t mdatHeader = heif.largeSizes && !heif.mdatSizeZero ? 16 : 8;
    Bytes meta = TopBox(heif, "meta", Meta(heif, locations(0)), false);
    uint64_t mdatBody = ftyp.size() + (heif.metaAfterData ? 0 : meta.size()) + mdatHeader;
    meta = TopBox(heif, "meta", Meta(heif, locations(mdatBody)), false);

    Bytes file = ftyp;
    if (!heif.metaAfterData)
        Append(&file, meta);
    Append(&file, TopBox(heif, "mdat", mdatPayload, heif.mdatSizeZero));
    if (heif.metaAfterData)
        Append(&file, meta);
    return file;
}
