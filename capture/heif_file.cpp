#include "capture/heif_file.h"

#include <cstring>

#include "capture/ascii_text.h"
#include "capture/box_walk.h"
#include "capture/heif_reader.h"

bool IsHeifExtension(const wchar_t* extension)
{
    return AsciiEqualNoCase(extension, L".heic", 5) || AsciiEqualNoCase(extension, L".heif", 5) ||
           AsciiEqualNoCase(extension, L".hif", 4);
}

namespace {

// The first count bytes of the item's data, its extents joined: copied from
// the header bytes where they lie there, read where not. False when the file
// ends before them.
bool GatherItem(ExifReadAt readAt, void* source, const std::vector<uint8_t>& header,
                const HeifExifItem& item, size_t count, std::vector<uint8_t>* data)
{
    data->resize(count);
    size_t filled = 0;
    for (size_t e = 0; e < item.extentCount && filled < count; ++e) {
        uint64_t offset = item.offsets[e];
        size_t length = item.lengths[e] < count - filled ? static_cast<size_t>(item.lengths[e])
                                                         : count - filled;
        uint8_t* dest = data->data() + filled;
        if (offset <= header.size() && length <= header.size() - offset) {
            std::memcpy(dest, header.data() + offset, length);
        } else if (readAt(source, offset, dest, length) != length) {
            return false;
        }
        filled += length;
    }
    return true;
}

// A meta box behind the boxes the first reads hold (phones that write the
// file type, the media data, then the meta box): found by the box headers on
// the way, then read whole when it fits in what is left of the header bound,
// with bytes counting what was read before. Its Exif item is then located as
// for a meta box at the file's start. *bytesRead counts all header reads.
bool FindMetaBehindData(ExifReadAt readAt, void* source, uint64_t fileSize,
                        const std::vector<uint8_t>& header, HeifExifItem* item, size_t* bytesRead)
{
    if (!IsHeifFileType(header.data(), header.size()))
        return false;
    // The header bytes stand for the reads made so far.
    BoxReads reads{readAt, source, fileSize, HeifMaxHeaderBytes, 1 + HeifBoxHeaderReads, 16};
    reads.spans.push_back({0, header});
    reads.bytesRead = header.size();
    reads.reads = 1;
    BoxHeader meta{};
    if (FindTopLevelBox(reads, FourCc("meta"), &meta) != BoxStep::Ok ||
        meta.end - meta.start > reads.maxBytes - reads.bytesRead)
        return false;
    // One more read for the meta box itself.
    ++reads.maxReads;
    size_t size = static_cast<size_t>(meta.end - meta.start);
    const uint8_t* bytes = BoxBytes(reads, meta.start, size);
    *bytesRead = reads.bytesRead;
    return bytes && FindHeifExifItemInMeta(bytes, size, meta.start, reads.fileSize, item);
}

}  // namespace

bool ReadHeifExifBlockFrom(ExifReadAt readAt, void* source, uint64_t fileSize,
                           std::vector<uint8_t>* block)
{
    block->clear();
    size_t first = fileSize < HeifFirstReadBytes ? static_cast<size_t>(fileSize)
                                                 : HeifFirstReadBytes;
    std::vector<uint8_t> bytes(first);
    bytes.resize(readAt(source, 0, bytes.data(), first));
    if (bytes.size() < first)
        fileSize = bytes.size();  // shorter than listed: it ends where the read did

    HeifExifItem item;
    size_t needed = 0;
    HeifSearch search = FindHeifExifItem(bytes.data(), bytes.size(), fileSize, &item, &needed);
    if (search == HeifSearch::NeedMoreBytes && needed <= HeifMaxHeaderBytes) {
        // The boxes reach past the first read. The walk asks for one box
        // header or box at a time, and a meta box may hold any number of
        // small boxes there: reading what it asks for, step by step, would
        // take a read per box. The rest of the header bound is read at once
        // instead, so the boxes are found wherever they end within it.
        size_t from = bytes.size();
        size_t upTo = fileSize < HeifMaxHeaderBytes ? static_cast<size_t>(fileSize)
                                                    : HeifMaxHeaderBytes;
        bytes.resize(upTo);
        size_t got = readAt(source, from, bytes.data() + from, upTo - from);
        if (got < upTo - from) {
            bytes.resize(from + got);
            fileSize = bytes.size();  // shorter than listed, as above
        }
        search = FindHeifExifItem(bytes.data(), bytes.size(), fileSize, &item, &needed);
    }
    size_t headerRead = bytes.size();
    if (search == HeifSearch::NeedMoreBytes &&
        FindMetaBehindData(readAt, source, fileSize, bytes, &item, &headerRead))
        search = HeifSearch::Found;
    if (search != HeifSearch::Found)
        return false;  // boxes ending beyond the header bound among the reasons

    size_t count = HeifMaxReadBytes - headerRead;
    if (item.size < count)
        count = static_cast<size_t>(item.size);
    std::vector<uint8_t> data;
    size_t offset = 0;
    if (!GatherItem(readAt, source, bytes, item, count, &data) ||
        !FindHeifTiffBlock(data.data(), data.size(), &offset))
        return false;
    block->assign(data.begin() + static_cast<std::ptrdiff_t>(offset), data.end());
    return true;
}
