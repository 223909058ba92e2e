#include "capture/raw_header.h"

#include "capture/ascii_text.h"
#include "capture/exif_reader.h"

namespace {

constexpr uint16_t DateTimeOriginal = 0x9003;
constexpr uint16_t DateTime = 0x0132;

// Olympus writes "IIRO", "IIRS" or "MMOR" where TIFF has 42, Panasonic "IIU\0":
// the rest of the header and the IFDs are laid out as TIFF's.
void ReadAsTiff(std::vector<uint8_t>& header)
{
    if (header.size() < 4)
        return;
    bool little = header[0] == 'I' && header[1] == 'I';
    bool big = header[0] == 'M' && header[1] == 'M';
    bool olympus = (little && header[2] == 'R' && (header[3] == 'O' || header[3] == 'S')) ||
                   (big && header[2] == 'O' && header[3] == 'R');
    bool panasonic = little && header[2] == 'U' && header[3] == 0;
    if (!olympus && !panasonic)
        return;
    header[little ? 2 : 3] = 42;
    header[little ? 3 : 2] = 0;
}

// Days since 1 March of year 0 in the proleptic Gregorian calendar, for any
// field values: only differences are used.
int64_t DaysOf(int64_t year, int64_t month, int64_t day)
{
    year -= month <= 2 ? 1 : 0;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yearOfEra = year - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra;
}

int64_t SecondsOf(const CaptureTime& time)
{
    return DaysOf(time.Year, time.Month, time.Day) * 86400 + int64_t{time.Hour} * 3600 +
           int64_t{time.Minute} * 60 + time.Second;
}

// Kinds whose first bytes are never a TIFF header (see IsNeverTiffBased).
const wchar_t* const NeverTiffBased[] = {L"CR3", L"CRW", L"RAF", L"X3F",  L"MRW",  L"XMP",
                                         L"MOV", L"MP4", L"WAV", L"HEIC", L"HEIF", L"HIF"};

}  // namespace

bool IsNeverTiffBased(const std::wstring& extension)
{
    for (const wchar_t* kind : NeverTiffBased)
        if (AsciiEqualNoCase(extension.c_str(), kind))
            return true;
    return false;
}

bool FindRawCaptureDate(std::vector<uint8_t>& header, int numbers[6])
{
    if (header.size() > RawHeaderBytes)
        header.resize(RawHeaderBytes);
    ReadAsTiff(header);
    for (uint16_t tag : {DateTimeOriginal, DateTime}) {
        ExifValue value;
        if (FindExifTag(header.data(), header.size(), tag, &value) == ExifTagStatus::Present &&
            ParseExifDateText(value.data, value.size, numbers))
            return true;
    }
    return false;
}

bool SameShot(const CaptureTime& a, const CaptureTime& b)
{
    int64_t apart = SecondsOf(a) - SecondsOf(b);
    return apart <= SameShotSeconds && apart >= -SameShotSeconds;
}

#ifdef _WIN32

#include <windows.h>

#include "capture/exif_file.h"
#include "capture/heif_file.h"
#include "capture/long_path.h"

// The date in the first bytes of a raw file or of an Exif block.
static bool FindCaptureTimeIn(std::vector<uint8_t>& header, CaptureTime* time)
{
    int numbers[6];
    if (!FindRawCaptureDate(header, numbers))
        return false;
    *time = {static_cast<uint16_t>(numbers[0]), static_cast<uint16_t>(numbers[1]),
             static_cast<uint16_t>(numbers[2]), static_cast<uint16_t>(numbers[3]),
             static_cast<uint16_t>(numbers[4]), static_cast<uint16_t>(numbers[5])};
    return true;
}

bool ReadRawCaptureTime(const wchar_t* path, CaptureTime* time)
{
    HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<uint8_t> header(RawHeaderBytes);
    DWORD read = 0;
    bool readOk = ReadFile(file, header.data(), static_cast<DWORD>(header.size()), &read, nullptr);
    CloseHandle(file);
    if (!readOk)
        return false;
    header.resize(read);
    return FindCaptureTimeIn(header, time);
}

bool ReadPictureShotTime(const wchar_t* path, CaptureTime* time)
{
    const wchar_t* dot = wcsrchr(path, L'.');
    bool heif = dot && !wcschr(dot, L'\\') && IsHeifExtension(dot);
    std::vector<uint8_t> block;
    return (heif ? ReadHeifExifBlock : ReadExifBlock)(path, &block, nullptr) &&
           FindCaptureTimeIn(block, time);
}

#endif
