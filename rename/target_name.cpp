#include "rename/target_name.h"

#include <windows.h>
#include <strsafe.h>

#include "capture/ascii_text.h"
#include "capture/long_path.h"
#include "events/event_history.h"

static const wchar_t PlainTargetFormat[] = L"%s%04d%02d%02d_%02d%02d%02d%s";
static const wchar_t NumberedTargetFormat[] = L"%s%04d%02d%02d_%02d%02d%02d (%03d)%s";
static const wchar_t CannotTestExistence[] = L"Unable to say if file already exists: %s, Error %d";
static const wchar_t CannotRead[] = L"Error %d reading %s, File not renamed";

// "YYYYMMDD_HHMMSS" with a four-digit year.
constexpr size_t StampLength = 15;

// The file name without folder and without the text from its last dot on.
static std::wstring BaseName(const wchar_t* path)
{
    const wchar_t* name = wcsrchr(path, L'\\');
    name = name ? name + 1 : path;
    const wchar_t* dot = wcsrchr(name, L'.');
    return dot ? std::wstring(name, dot) : std::wstring(name);
}

static void WriteTarget(const wchar_t* folderPath, wchar_t* newPath, size_t newPathSize,
                        const wchar_t* extension, const CaptureTime& t, int number)
{
    if (number == 0)
        StringCchPrintfW(newPath, newPathSize, PlainTargetFormat, folderPath, t.Year, t.Month,
                         t.Day, t.Hour, t.Minute, t.Second, extension);
    else
        StringCchPrintfW(newPath, newPathSize, NumberedTargetFormat, folderPath, t.Year, t.Month,
                         t.Day, t.Hour, t.Minute, t.Second, number, extension);
}

void ComposeTargetName(const wchar_t* folderPath, const wchar_t* oldPath, wchar_t* newPath,
                       size_t newPathSize, const wchar_t* extension, const CaptureTime& time,
                       bool testPlainName)
{
    WriteTarget(folderPath, newPath, newPathSize, extension, time, 0);

    // A name that already begins with its stamp: the plain name itself, or one
    // numbered (or extended) when the plain name was taken. Such a picture
    // moves to the plain name only once that is free; otherwise it keeps its
    // name, so a burst of one second is left alone at every later scan.
    if (AsciiEqualNoCase(BaseName(oldPath).c_str(), BaseName(newPath).c_str(), StampLength)) {
        if (!AsciiEqualNoCase(oldPath, newPath) && FileExists(newPath))
            StringCchCopyW(newPath, newPathSize, oldPath);
        return;
    }

    if (!testPlainName || !FileExists(newPath))
        return;
    for (int number = 1;; ++number) {
        WriteTarget(folderPath, newPath, newPathSize, extension, time, number);
        if (!FileExists(newPath))
            return;
    }
}

static thread_local unsigned ExistenceTestFailures = 0;

unsigned FailedExistenceTests() { return ExistenceTestFailures; }

std::wstring StampOf(const CaptureTime& t)
{
    wchar_t stamp[40];
    StringCchPrintfW(stamp, ARRAYSIZE(stamp), PlainTargetFormat, L"", t.Year, t.Month, t.Day,
                     t.Hour, t.Minute, t.Second, L"");
    return stamp;
}

bool FileExists(const wchar_t* path)
{
    // The attribute query answers in one step where the name exists (or plainly
    // does not); any other failure goes to the directory search, whose answer
    // and error code decide as before.
    std::wstring longPath = LongPath(path);
    if (GetFileAttributesW(longPath.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    if (GetLastError() == ERROR_FILE_NOT_FOUND)
        return false;

    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(longPath.c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        return true;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
        LogEventFormat(CannotTestExistence, path, static_cast<int>(error));
        ++ExistenceTestFailures;
    }
    return false;
}

bool HasStampName(const std::wstring& name)
{
    if (name.size() <= StampLength || (name[StampLength] != L'.' && name[StampLength] != L' '))
        return false;
    for (size_t i = 0; i < StampLength; ++i)
        if (i == 8 ? name[i] != L'_' : (name[i] < L'0' || name[i] > L'9'))
            return false;
    return true;
}

bool ReadCaptureTime(const wchar_t* folderPath, const wchar_t* oldPath, wchar_t* newPath,
                     size_t newPathSize, const wchar_t* extension, CaptureTime* untestedTime)
{
    // Outside a scan there is no listing: the last-write time is looked up as
    // a listing would give it, without opening the file. Should that fail, so
    // does the read that follows, and that is what is reported.
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    GetFileAttributesExW(LongPath(oldPath).c_str(), GetFileExInfoStandard, &attributes);
    uint64_t lastWrite = (static_cast<uint64_t>(attributes.ftLastWriteTime.dwHighDateTime) << 32) |
                         attributes.ftLastWriteTime.dwLowDateTime;
    FolderVolume volume = {folderPath};
    CaptureTime time = {};
    unsigned long readError = 0;
    CaptureTimeRead read = FindCaptureTime(oldPath, lastWrite, volume, &time, &readError);
    if (read == CaptureTimeRead::Busy || read == CaptureTimeRead::ReadFailed)
        LogEventFormat(CannotRead, static_cast<int>(readError), oldPath);
    if (read != CaptureTimeRead::Found)
        return false;
    ComposeTargetName(folderPath, oldPath, newPath, newPathSize, extension, time,
                      untestedTime == nullptr);
    if (untestedTime)
        *untestedTime = time;
    return true;
}
