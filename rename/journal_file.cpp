#include "rename/journal_file.h"

#include <cstring>

#include "rename/byte_record.h"

namespace {

const char Magic[8] = {'L', 'S', 'J', 'O', 'U', 'R', 'N', 'L'};

void PutName(std::vector<uint8_t>& out, const std::string& name)
{
    PutNumber(out, name.size(), 2);
    PutText(out, name);
}

bool NameFits(uint64_t bytes) { return bytes != 0 && bytes <= MaxJournalNameBytes; }

enum class RecordRead { Good, Cut, Bad };

// A disk that lost power while a record was appended may give its length as
// zeros: the file's end, not damage.
bool ZerosToTheEnd(const uint8_t* bytes, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

// One record at in.at; a record that reaches the end of the bytes and does
// not hold is a cut one.
RecordRead ReadRecord(ByteReader& in, JournalEntry* entry)
{
    size_t start = in.at;
    uint64_t length = in.Number(4);
    if (in.failed)
        return RecordRead::Cut;
    if (length < JournalRecordFixedBytes - 12 ||
        length > JournalRecordFixedBytes - 12 + 2 * MaxJournalNameBytes)
        return ZerosToTheEnd(in.bytes + start, in.size - start) ? RecordRead::Cut : RecordRead::Bad;
    if (!in.Has(static_cast<size_t>(length) + 8))
        return RecordRead::Cut;
    uint64_t hash = Fnv1a(in.bytes + start, 4 + static_cast<size_t>(length));
    ByteReader fields{in.bytes + start + 4, static_cast<size_t>(length)};
    in.at += static_cast<size_t>(length);
    bool last = in.at + 8 == in.size;
    if (in.Number(8) != hash)
        return last ? RecordRead::Cut : RecordRead::Bad;
    entry->flags = static_cast<uint8_t>(fields.Number(1));
    entry->when = fields.Number(8);
    entry->size = fields.Number(8);
    entry->lastWrite = fields.Number(8);
    uint64_t oldBytes = fields.Number(2);
    entry->oldName = NameFits(oldBytes) ? fields.Text(static_cast<size_t>(oldBytes)) : "";
    uint64_t newBytes = fields.Number(2);
    entry->newName = NameFits(newBytes) ? fields.Text(static_cast<size_t>(newBytes)) : "";
    if (fields.failed || fields.at != fields.size || (entry->flags & ~JournalFlagsKnown) != 0 ||
        !NameFits(oldBytes) || !NameFits(newBytes))
        return RecordRead::Bad;
    return RecordRead::Good;
}

}  // namespace

std::vector<uint8_t> EncodeJournalHeader(const std::string& folder)
{
    std::vector<uint8_t> out(Magic, Magic + sizeof(Magic));
    PutNumber(out, JournalFileVersion, 4);
    PutNumber(out, folder.size(), 4);
    PutText(out, folder);
    PutNumber(out, Fnv1a(out.data(), out.size()), 8);
    return out;
}

std::vector<uint8_t> EncodeJournalRecord(const JournalEntry& entry)
{
    std::vector<uint8_t> out;
    out.reserve(JournalRecordFixedBytes + entry.oldName.size() + entry.newName.size());
    PutNumber(out, 0, 4);
    out.push_back(entry.flags);
    PutNumber(out, entry.when, 8);
    PutNumber(out, entry.size, 8);
    PutNumber(out, entry.lastWrite, 8);
    PutName(out, entry.oldName);
    PutName(out, entry.newName);
    size_t length = out.size() - 4;
    for (int i = 0; i < 4; ++i)
        out[static_cast<size_t>(i)] = static_cast<uint8_t>(length >> (8 * i));
    PutNumber(out, Fnv1a(out.data(), out.size()), 8);
    return out;
}

JournalRead ParseJournal(const uint8_t* bytes, size_t size, const std::string& expectedFolded,
                         FoldText fold, std::vector<JournalEntry>* entries, size_t* goodBytes,
                         std::string* folderOut)
{
    entries->clear();
    *goodBytes = 0;
    ByteReader in{bytes, size};
    // A file cut inside its header is a journal whose first write was cut.
    if (!in.Has(sizeof(Magic)))
        return size == 0 || std::memcmp(bytes, Magic, size) == 0 ? JournalRead::Truncated
                                                                 : JournalRead::Foreign;
    if (std::memcmp(bytes, Magic, sizeof(Magic)) != 0)
        return JournalRead::Foreign;
    in.at = sizeof(Magic);
    uint64_t version = in.Number(4);
    uint64_t folderBytes = in.Number(4);
    if (in.failed)
        return JournalRead::Truncated;
    if (version != JournalFileVersion || folderBytes > MaxJournalFolderBytes)
        return JournalRead::Foreign;
    std::string folder = in.Text(static_cast<size_t>(folderBytes));
    size_t headerBytes = in.at;
    uint64_t checksum = in.Number(8);
    if (in.failed)
        return JournalRead::Truncated;
    if (checksum != Fnv1a(bytes, headerBytes))
        return JournalRead::Corrupt;
    if (fold(folder) != expectedFolded)
        return JournalRead::Foreign;

    std::vector<JournalEntry> read;
    while (in.at < size) {
        JournalEntry entry;
        size_t start = in.at;
        RecordRead record = ReadRecord(in, &entry);
        if (record == RecordRead::Bad)
            return JournalRead::Corrupt;
        if (record == RecordRead::Cut) {
            *goodBytes = start;
            *entries = std::move(read);
            *folderOut = folder;
            return JournalRead::Truncated;
        }
        read.push_back(std::move(entry));
    }
    *goodBytes = size;
    *entries = std::move(read);
    *folderOut = folder;
    return JournalRead::Loaded;
}
