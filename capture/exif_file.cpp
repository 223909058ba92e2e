#include "capture/exif_file.h"

#include "capture/exif_reader.h"
#include "capture/heif_file.h"

namespace {

// A gap this small is read as it is: the rest of a marker header, fill bytes,
// or the signature of an APP1 segment.
constexpr size_t SmallGap = 16;
constexpr size_t MarkerHeaderBytes = 4;

// With the gap left unread (zeros), does the walk already find the block?
// Then the gap is the rest of the Exif segment. Otherwise it is the body of a
// segment the walk passes over, followed by the next marker header, and the
// walk needs only that header.
bool GapHoldsExifBlock(const std::vector<uint8_t>& bytes)
{
    size_t offset = 0, size = 0, needed = 0;
    return FindExifBlock(bytes.data(), bytes.size(), &offset, &size, &needed) == ExifSearch::Found;
}

}  // namespace

bool ReadExifBlockFrom(ExifReadAt readAt, void* source, std::vector<uint8_t>* block)
{
    block->clear();
    std::vector<uint8_t> bytes(ExifFirstReadBytes);
    bytes.resize(readAt(source, 0, bytes.data(), bytes.size()));
    bool atEnd = bytes.size() < ExifFirstReadBytes;
    size_t readFrom = 0;  // bytes before this may be unread segment bodies, left as zeros

    for (int reads = 1;; ++reads) {
        size_t offset = 0, size = 0, needed = 0;
        ExifSearch search = FindExifBlock(bytes.data(), bytes.size(), &offset, &size, &needed);
        if (search == ExifSearch::Found) {
            // The walk never looks into a body it passes over, so the block lies
            // in bytes that were read.
            if (offset < readFrom)
                return false;
            block->assign(bytes.data() + offset, bytes.data() + offset + size);
            return true;
        }
        if (search == ExifSearch::NotFound || atEnd || reads >= ExifMaxReads ||
            needed > ExifMaxExtent)
            return false;

        size_t from = bytes.size();
        bytes.resize(needed);
        if (needed - from > SmallGap && !GapHoldsExifBlock(bytes)) {
            from = needed - MarkerHeaderBytes;
            readFrom = from;
        }
        size_t got = readAt(source, from, bytes.data() + from, needed - from);
        if (got < needed - from) {
            bytes.resize(from + got);
            atEnd = true;
        }
    }
}

#ifdef _WIN32

#include <windows.h>

#include "capture/long_path.h"

namespace {

// The file and where its file pointer stands.
struct FileSource {
    HANDLE file;
    uint64_t position;
    DWORD readError;  // the error of a failed read, 0 if none
};

// Reads at the file pointer, moving it only when the walk skips ahead: a
// positioned read (OVERLAPPED offset) costs more than a plain one under Wine,
// and most pictures need one read only. On a disk file ReadFile returns fewer
// bytes only at the end of the file.
size_t ReadFileAt(void* source, uint64_t offset, uint8_t* dest, size_t count)
{
    FileSource* from = static_cast<FileSource*>(source);
    if (offset != from->position) {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(from->file, to, nullptr, FILE_BEGIN)) {
            from->readError = GetLastError();
            return 0;
        }
        from->position = offset;
    }
    DWORD read = 0;
    if (!ReadFile(from->file, dest, static_cast<DWORD>(count), &read, nullptr)) {
        from->readError = GetLastError();
        return 0;
    }
    from->position += read;
    return read;
}

}  // namespace

// Not sharing write refuses the open while a writer (a copy under way) holds
// the file; sharing delete means a program renaming or deleting the file
// meanwhile is not refused. The file is held for the read only.
bool ReadFileHeader(const wchar_t* path, HeaderRead read, void* context, unsigned long* failure,
                    bool needsSize)
{
    *failure = 0;
    HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *failure = GetLastError();
        SetLastError(*failure);
        return false;
    }
    // The box walks check every box against the file's size.
    LARGE_INTEGER size = {};
    bool found = false;
    FileSource source = {file, 0, 0};
    if (needsSize && !GetFileSizeEx(file, &size))
        source.readError = GetLastError();
    else
        found = read(context, ReadFileAt, &source, static_cast<uint64_t>(size.QuadPart));
    CloseHandle(file);
    // A failed read (a locked range, a bad sector, a dropped share) leaves the
    // header unread, not absent.
    *failure = source.readError;
    return found;
}

// The block of a picture, with failure 0 once it is found.
static bool ReadBlockOf(const wchar_t* path, HeaderRead read, bool needsSize,
                        std::vector<uint8_t>* block, unsigned long* failure)
{
    block->clear();
    unsigned long error = 0;
    bool found = ReadFileHeader(path, read, block, &error, needsSize);
    if (failure)
        *failure = found ? 0 : error;
    return found;
}

bool ReadExifBlock(const wchar_t* path, std::vector<uint8_t>* block, unsigned long* failure)
{
    return ReadBlockOf(
        path,
        [](void* found, ExifReadAt readAt, void* source, uint64_t) {
            return ReadExifBlockFrom(readAt, source, static_cast<std::vector<uint8_t>*>(found));
        },
        false, block, failure);
}

bool ReadHeifExifBlock(const wchar_t* path, std::vector<uint8_t>* block, unsigned long* failure)
{
    return ReadBlockOf(
        path,
        [](void* found, ExifReadAt readAt, void* source, uint64_t fileSize) {
            return ReadHeifExifBlockFrom(readAt, source, fileSize,
                                         static_cast<std::vector<uint8_t>*>(found));
        },
        true, block, failure);
}

#endif
