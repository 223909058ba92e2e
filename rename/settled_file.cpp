#include "rename/settled_file.h"

#include <cstring>

#include "rename/byte_record.h"

namespace {

const char Magic[8] = {'L', 'S', 'S', 'E', 'T', 'T', 'L', 'D'};
constexpr size_t EntryFixedBytes = 1 + 2 + 3 * 8;

}  // namespace

std::vector<uint8_t> EncodeSettledFile(const SettledFileHeader& header,
                                       const std::vector<SettledFileEntry>& entries)
{
    std::vector<uint8_t> body;
    body.reserve(entries.size() * (EntryFixedBytes + 20));
    for (const SettledFileEntry& entry : entries) {
        body.push_back(entry.flags);
        PutNumber(body, entry.name.size(), 2);
        PutText(body, entry.name);
        PutNumber(body, entry.size, 8);
        PutNumber(body, entry.lastWrite, 8);
        PutNumber(body, entry.changeTime, 8);
    }

    std::vector<uint8_t> out(Magic, Magic + sizeof(Magic));
    PutNumber(out, SettledFileVersion, 4);
    PutNumber(out, header.volumeSerial, 4);
    PutNumber(out, header.folder.size(), 4);
    PutText(out, header.folder);
    PutNumber(out, entries.size(), 4);
    PutNumber(out, Fnv1a(body.data(), body.size()), 8);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

SettledFileRead ParseSettledFile(const uint8_t* bytes, size_t size,
                                 const SettledFileHeader& expected,
                                 std::vector<SettledFileEntry>* entries)
{
    entries->clear();
    ByteReader in{bytes, size};
    // A file cut inside its first bytes still begins as such a file does.
    if (!in.Has(sizeof(Magic)))
        return size == 0 || std::memcmp(bytes, Magic, size) == 0 ? SettledFileRead::Truncated
                                                                 : SettledFileRead::Foreign;
    if (std::memcmp(bytes, Magic, sizeof(Magic)) != 0)
        return SettledFileRead::Foreign;
    in.at = sizeof(Magic);

    uint64_t version = in.Number(4);
    uint64_t serial = in.Number(4);
    uint64_t folderBytes = in.Number(4);
    if (in.failed)
        return SettledFileRead::Truncated;
    if (version < OldestSettledFileVersion || version > SettledFileVersion ||
        serial != expected.volumeSerial || folderBytes > MaxSettledFolderBytes)
        return SettledFileRead::Foreign;
    std::string folder = in.Text(static_cast<size_t>(folderBytes));
    uint64_t count = in.Number(4);
    uint64_t checksum = in.Number(8);
    if (in.failed)
        return SettledFileRead::Truncated;
    if (folder != expected.folder)
        return SettledFileRead::Foreign;
    if (count > MaxSettledFileEntries)
        return SettledFileRead::Corrupt;
    // The least the entries can take: more than is there means a cut file.
    if (count * EntryFixedBytes + count > size - in.at)
        return SettledFileRead::Truncated;
    if (Fnv1a(bytes + in.at, size - in.at) != checksum)
        return SettledFileRead::Corrupt;

    std::vector<SettledFileEntry> read;
    read.reserve(static_cast<size_t>(count));
    for (uint64_t i = 0; i < count; ++i) {
        SettledFileEntry entry;
        entry.flags = static_cast<uint8_t>(in.Number(1));
        uint64_t nameBytes = in.Number(2);
        if (in.failed)
            return SettledFileRead::Truncated;
        uint8_t known = version >= 2 ? SettledFlagsKnown : SettledFlagsKnown & ~SettledFlagRename;
        if ((entry.flags & ~known) != 0 || nameBytes == 0 || nameBytes > MaxSettledNameBytes)
            return SettledFileRead::Corrupt;
        entry.name = in.Text(static_cast<size_t>(nameBytes));
        entry.size = in.Number(8);
        entry.lastWrite = in.Number(8);
        entry.changeTime = in.Number(8);
        if (in.failed)
            return SettledFileRead::Truncated;
        read.push_back(std::move(entry));
    }
    if (in.at != size)
        return SettledFileRead::Corrupt;
    *entries = std::move(read);
    return SettledFileRead::Loaded;
}
