// soak_writer: one process of the soak's load, run under the same system as
// the program so that its share modes meet the program's renames.
//
//   soak_writer write JOBFILE   lands files in watched folders, in job order
//   soak_writer hold JOBFILE MS opens files as they land, without letting them
//                               be renamed or written, and keeps them open MS
//                               milliseconds after the last one was opened
//
// A job file is UTF-16 text, one job per line, fields separated by tabs:
//   write: METHOD SOURCE DESTINATION PAUSE_MS
//          (METHOD: copy, inplace, slow, movein; see the functions below)
//   hold:  PATH
// "write" exits 0 when every file landed; "hold" exits with the number of
// files it held (a file the program renamed before it could be opened is
// simply not held).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace {

std::vector<std::vector<std::wstring>> ReadJobs(const wchar_t* path)
{
    std::vector<std::vector<std::wstring>> jobs;
    HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return jobs;
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    std::wstring text(static_cast<size_t>(size.QuadPart) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    CloseHandle(file);

    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::vector<std::wstring> fields;
        size_t field = start;
        for (;;) {
            size_t tab = text.find(L'\t', field);
            if (tab == std::wstring::npos || tab > end) {
                fields.push_back(text.substr(field, end - field));
                break;
            }
            fields.push_back(text.substr(field, tab - field));
            field = tab + 1;
        }
        if (!fields[0].empty())
            jobs.push_back(fields);
        start = end + 1;
    }
    return jobs;
}

// Writes the file piece by piece under its final name, as a copy program that
// creates the destination first does. Others may read it meanwhile; a slow
// writer (a network copy) also lets it be renamed while it writes, and its
// handle follows the file.
bool WriteInPlace(const std::wstring& source, const std::wstring& destination, bool slow)
{
    std::vector<uint8_t> bytes = ReadFileBytes(source);
    DWORD share = slow ? FILE_SHARE_READ | FILE_SHARE_DELETE : FILE_SHARE_READ;
    HANDLE file = CreateFileW(destination.c_str(), GENERIC_WRITE, share, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const size_t piece = slow ? 4096 : 16384;
    bool ok = true;
    for (size_t offset = 0; offset < bytes.size() && ok; offset += piece) {
        DWORD count =
            static_cast<DWORD>(bytes.size() - offset < piece ? bytes.size() - offset : piece);
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + offset, count, &written, nullptr) && written == count;
        if (slow)
            Sleep(15);
    }
    CloseHandle(file);
    return ok;
}

// Writes the file whole beside the folders, then moves it in under its name:
// the picture appears complete, in one file-name change.
bool MoveIn(const std::wstring& source, const std::wstring& destination,
            const std::wstring& jobFile)
{
    std::wstring temporary = jobFile + L".incoming";
    if (!CopyFileW(source.c_str(), temporary.c_str(), FALSE))
        return false;
    if (MoveFileExW(temporary.c_str(), destination.c_str(), 0))
        return true;
    DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    SetLastError(error);
    return false;
}

int Write(const wchar_t* jobFile)
{
    int failures = 0;
    for (const std::vector<std::wstring>& job : ReadJobs(jobFile)) {
        if (job.size() != 4) {
            fwprintf(stderr, L"soak_writer: bad job line in %ls\n", jobFile);
            return 2;
        }
        const std::wstring& method = job[0];
        bool ok = false;
        if (method == L"copy")
            ok = CopyFileW(job[1].c_str(), job[2].c_str(), TRUE) != 0;
        else if (method == L"inplace")
            ok = WriteInPlace(job[1], job[2], false);
        else if (method == L"slow")
            ok = WriteInPlace(job[1], job[2], true);
        else if (method == L"movein")
            ok = MoveIn(job[1], job[2], jobFile);
        if (!ok) {
            fwprintf(stderr, L"soak_writer: %ls %ls failed, error %lu\n", method.c_str(),
                     job[2].c_str(), GetLastError());
            ++failures;
        }
        // Pacing between the files of a wave, so that arrivals spread over
        // the program's scans instead of landing all before the first one.
        DWORD pause = wcstoul(job[3].c_str(), nullptr, 10);
        if (pause)
            Sleep(pause);
    }
    return failures ? 1 : 0;
}

int Hold(const wchar_t* jobFile, DWORD holdMs)
{
    std::vector<std::vector<std::wstring>> jobs = ReadJobs(jobFile);
    std::vector<HANDLE> held(jobs.size(), INVALID_HANDLE_VALUE);
    // Each file is opened as soon as it is there and no writer has it open
    // for writing; the bound keeps files that never come (the program
    // renamed them first) from stalling the hold of the others.
    ULONGLONG deadline = GetTickCount64() + 8000;
    size_t pending = jobs.size();
    while (pending && GetTickCount64() < deadline) {
        for (size_t index = 0; index < jobs.size(); ++index) {
            if (held[index] != INVALID_HANDLE_VALUE)
                continue;
            held[index] = CreateFileW(jobs[index][0].c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
            if (held[index] != INVALID_HANDLE_VALUE)
                --pending;
        }
        if (pending)
            Sleep(5);
    }
    Sleep(holdMs);
    int count = 0;
    for (HANDLE file : held) {
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            ++count;
        }
    }
    return count;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && wcscmp(argv[1], L"write") == 0)
        return Write(argv[2]);
    if (argc == 4 && wcscmp(argv[1], L"hold") == 0)
        return Hold(argv[2], wcstoul(argv[3], nullptr, 10));
    fwprintf(stderr, L"usage: soak_writer write JOBFILE | hold JOBFILE MS\n");
    return 2;
}
