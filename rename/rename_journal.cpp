#include "rename/rename_journal.h"

#include "events/event_history.h"
#include "events/log_file.h"
#include "rename/folder_listing.h"
#include "rename/settled_store.h"
#include "rename/utf8_text.h"
#include "rename/whole_file.h"

static const wchar_t SetAside[] =
    L"The journal of renames of %s was damaged and is set aside as %s";
static const wchar_t CannotWrite[] = L"Cannot write the journal of renames of %s to %s, Error %d";

// Appends, rewrites and reads are made one at a time: two monitors of one
// folder (listed twice) and a restore share its file.
static SRWLOCK JournalWrites = SRWLOCK_INIT;

class JournalLock {
public:
    JournalLock() { AcquireSRWLockExclusive(&JournalWrites); }
    ~JournalLock() { ReleaseSRWLockExclusive(&JournalWrites); }
    JournalLock(const JournalLock&) = delete;
    JournalLock& operator=(const JournalLock&) = delete;
};

static std::string FoldedUtf8(const std::string& text)
{
    std::wstring wide;
    return Wide(text, &wide) ? Utf8(FoldedName(wide)) : text;
}

static std::string AnyFolder(const std::string&) { return std::string(); }

std::wstring JournalPath(const std::wstring& folderPath)
{
    std::wstring program = ProgramDataFolder();
    if (program.empty())
        return std::wstring();
    return program + L"\\Journal\\" + FolderFileName(folderPath) + L".journal";
}

static void MakeJournalFolder(const std::wstring& path)
{
    std::wstring folder = path.substr(0, path.rfind(L'\\'));
    CreateDirectoryW(folder.substr(0, folder.rfind(L'\\')).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
}

// The file moved aside as "<name>.damaged" (an earlier one replaced), with one
// line, so that a new journal can begin and the old one can still be looked at.
static void SetJournalAside(const std::wstring& folderPath, const std::wstring& path)
{
    std::wstring aside = path + L".damaged";
    if (!MoveFileExW(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING))
        DeleteFileW(path.c_str());
    LogEventFormat(SetAside, folderPath.c_str(), aside.c_str());
}

enum class JournalState { Missing, Good, Aside };

// Reads the file: a cut end is cut off the file, damage is set aside.
static JournalState ReadJournal(const std::wstring& folderPath, const std::wstring& path,
                                std::vector<JournalEntry>* entries, uint64_t* goodBytes)
{
    std::vector<uint8_t> bytes;
    DWORD error = ERROR_SUCCESS;
    if (!ReadWholeFile(path, MaxJournalFileBytes * 2, &bytes, &error)) {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return JournalState::Missing;
        SetJournalAside(folderPath, path);
        return JournalState::Aside;
    }
    size_t good = 0;
    std::string folder;
    JournalRead read = ParseJournal(bytes.data(), bytes.size(), FoldedUtf8(Utf8(folderPath)),
                                    FoldedUtf8, entries, &good, &folder);
    if (read == JournalRead::Foreign || read == JournalRead::Corrupt) {
        SetJournalAside(folderPath, path);
        return JournalState::Aside;
    }
    *goodBytes = good;
    if (good < bytes.size()) {
        // The last append was cut (a crash, a full disk): later appends go on
        // from the last whole record.
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        LARGE_INTEGER at = {};
        at.QuadPart = static_cast<LONGLONG>(good);
        if (file != INVALID_HANDLE_VALUE) {
            if (SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
                SetEndOfFile(file);
            CloseHandle(file);
        }
    }
    return JournalState::Good;
}

static bool WriteJournalWhole(const std::wstring& folderPath, const std::wstring& path,
                              const std::vector<JournalEntry>& entries, DWORD* error)
{
    std::vector<uint8_t> bytes = EncodeJournalHeader(Utf8(folderPath));
    for (const JournalEntry& entry : entries) {
        std::vector<uint8_t> record = EncodeJournalRecord(entry);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    // Written whole, then moved over the old file: a crash leaves one or the
    // other.
    MakeJournalFolder(path);
    std::wstring temporary = path + L".new";
    bool written = WriteWholeFile(temporary, bytes, error);
    if (written && !MoveFileExW(temporary.c_str(), path.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *error = GetLastError();
        written = false;
    }
    if (!written)
        DeleteFileW(temporary.c_str());
    return written;
}

// The newest JournalRenamesKept renames that fit in half the byte bound.
static void TrimJournal(RenameJournal& journal, const std::wstring& folderPath,
                        const std::wstring& path)
{
    std::vector<JournalEntry> entries;
    uint64_t good = 0;
    if (ReadJournal(folderPath, path, &entries, &good) != JournalState::Good)
        return;
    size_t keep = 0;
    uint64_t bytes = 0;
    for (auto entry = entries.rbegin(); entry != entries.rend() && keep < JournalRenamesKept;
         ++entry, ++keep) {
        bytes += JournalRecordFixedBytes + entry->oldName.size() + entry->newName.size();
        if (bytes > MaxJournalFileBytes / 2)
            break;
    }
    entries.erase(entries.begin(), entries.end() - static_cast<ptrdiff_t>(keep));
    DWORD error = ERROR_SUCCESS;
    if (WriteJournalWhole(folderPath, path, entries, &error)) {
        journal.records = entries.size();
        journal.bytes = bytes;
    }
}

static HANDLE OpenForAppending(const std::wstring& path)
{
    return CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

static bool AppendBytes(RenameJournal& journal, const std::string& folderKey,
                        std::vector<uint8_t> record, DWORD* error)
{
    if (journal.file == INVALID_HANDLE_VALUE) {
        journal.file = OpenForAppending(journal.path);
        if (journal.file == INVALID_HANDLE_VALUE) {
            *error = GetLastError();
            return false;
        }
        LARGE_INTEGER size = {};
        GetFileSizeEx(journal.file, &size);
        journal.bytes = static_cast<uint64_t>(size.QuadPart);
    }
    if (journal.bytes == 0) {  // new, or deleted since the last scan
        std::vector<uint8_t> header = EncodeJournalHeader(folderKey);
        record.insert(record.begin(), header.begin(), header.end());
    }
    // One write: a record is either whole or cut at the end, never mixed
    // with another.
    DWORD written = 0;
    bool ok = WriteFile(journal.file, record.data(), static_cast<DWORD>(record.size()), &written,
                        nullptr) &&
              written == record.size();
    *error = ok ? ERROR_SUCCESS : (GetLastError() != 0 ? GetLastError() : ERROR_DISK_FULL);
    journal.bytes += written;
    if (!ok) {
        // A record cut short (a full disk) is cut off before the next append.
        CloseJournal(journal);
        journal.checked = false;
    }
    return ok;
}

void CloseJournal(RenameJournal& journal)
{
    if (journal.file != INVALID_HANDLE_VALUE)
        CloseHandle(journal.file);
    journal.file = INVALID_HANDLE_VALUE;
}

void JournalRename(RenameJournal& journal, const std::wstring& folderPath, const ListedFile& file,
                   const std::wstring& newPath, uint8_t flags)
{
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    JournalEntry entry = {flags,           uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime,
                          file.size,       file.lastWrite,
                          Utf8(file.name), Utf8(newPath.substr(newPath.rfind(L'\\') + 1))};
    if (journal.path.empty())
        journal.path = JournalPath(folderPath);
    if (journal.path.empty())
        return;
    JournalLock lock;
    if (!journal.checked) {
        MakeJournalFolder(journal.path);
        std::vector<JournalEntry> entries;
        ReadJournal(folderPath, journal.path, &entries, &journal.bytes);
        journal.records = entries.size();
        journal.checked = true;
    }
    DWORD error = ERROR_SUCCESS;
    if (!AppendBytes(journal, Utf8(folderPath), EncodeJournalRecord(entry), &error)) {
        if (!journal.failureReported)
            LogEventFormat(CannotWrite, folderPath.c_str(), journal.path.c_str(),
                           static_cast<int>(error));
        journal.failureReported = true;
        return;
    }
    if (++journal.records > JournalRenamesBound || journal.bytes > MaxJournalFileBytes) {
        CloseJournal(journal);
        TrimJournal(journal, folderPath, journal.path);
    }
}

bool LoadJournal(const std::wstring& folderPath, std::vector<JournalEntry>* entries)
{
    std::wstring path = JournalPath(folderPath);
    uint64_t good = 0;
    JournalLock lock;
    return !path.empty() && ReadJournal(folderPath, path, entries, &good) == JournalState::Good;
}

bool RewriteJournal(const std::wstring& folderPath, const std::vector<JournalEntry>& entries)
{
    std::wstring path = JournalPath(folderPath);
    if (path.empty())
        return false;
    JournalLock lock;
    if (entries.empty())
        return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
    DWORD error = ERROR_SUCCESS;
    bool written = WriteJournalWhole(folderPath, path, entries, &error);
    if (!written)
        LogEventFormat(CannotWrite, folderPath.c_str(), path.c_str(), static_cast<int>(error));
    return written;
}

std::vector<JournalSummary> ListJournals()
{
    std::vector<JournalSummary> journals;
    std::wstring program = ProgramDataFolder();
    if (program.empty())
        return journals;
    std::wstring folder = program + L"\\Journal\\";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*.journal").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return journals;
    JournalLock lock;
    do {
        std::vector<uint8_t> bytes;
        DWORD error = ERROR_SUCCESS;
        if (!ReadWholeFile(folder + found.cFileName, MaxJournalFileBytes * 2, &bytes, &error))
            continue;
        std::vector<JournalEntry> entries;
        size_t good = 0;
        std::string path;
        JournalRead read = ParseJournal(bytes.data(), bytes.size(), std::string(), AnyFolder,
                                        &entries, &good, &path);
        JournalSummary summary = {};
        if ((read != JournalRead::Loaded && read != JournalRead::Truncated) || entries.empty() ||
            !Wide(path, &summary.folder))
            continue;
        summary.renames = entries.size();
        summary.first = entries.front().when;
        summary.last = entries.back().when;
        journals.push_back(summary);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return journals;
}
