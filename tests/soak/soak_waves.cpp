#include "tests/soak/soak_waves.h"

#include <initializer_list>

namespace {

bool WriteJobFile(const std::wstring& path, const std::wstring& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), bytes, &written, nullptr) && written == bytes;
    CloseHandle(file);
    return ok;
}

HANDLE StartProcess(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

}  // namespace

bool StartWave(const SoakPlan& plan, int wave, const std::wstring& programFolder,
               RunningWave* running, std::wstring* error)
{
    const std::wstring writerProgram = programFolder + L"\\soak_writer.exe";
    std::vector<std::wstring> writerJobs;
    std::wstring holdJobs;
    for (const SoakItem& item : plan.items) {
        if (item.wave != wave || item.copy >= 0)
            continue;
        if (writerJobs.size() <= static_cast<size_t>(item.writer))
            writerJobs.resize(item.writer + 1);
        std::wstring destination = plan.folders[item.folder] + L"\\" + item.name;
        writerJobs[item.writer] += std::wstring(MethodName(item.method)) + L"\t" + item.source +
                                   L"\t" + destination + L"\t" + std::to_wstring(item.pauseMs) +
                                   L"\n";
        if (item.held) {
            holdJobs += destination + L"\n";
            ++running->holdAsked;
        }
    }

    std::wstring prefix = plan.jobs + L"\\wave" + std::to_wstring(wave);
    // The holder starts first: it opens each of its files the moment it lands.
    if (!holdJobs.empty()) {
        std::wstring path = prefix + L"-hold.txt";
        if (!WriteJobFile(path, holdJobs) ||
            !(running->holder = StartProcess(writerProgram, L"hold \"" + path + L"\" " +
                                                                std::to_wstring(HoldMs)))) {
            *error = L"cannot start the holder of wave " + std::to_wstring(wave);
            return false;
        }
    }
    for (size_t writer = 0; writer < writerJobs.size(); ++writer) {
        if (writerJobs[writer].empty())
            continue;
        std::wstring path = prefix + L"-writer" + std::to_wstring(writer) + L".txt";
        HANDLE process = nullptr;
        if (!WriteJobFile(path, writerJobs[writer]) ||
            !(process = StartProcess(writerProgram, L"write \"" + path + L"\""))) {
            *error = L"cannot start writer " + std::to_wstring(writer) + L" of wave " +
                     std::to_wstring(wave);
            return false;
        }
        running->writers.push_back(process);
    }
    for (size_t index = 0; index < plan.copies.size(); ++index) {
        const CardCopy& copy = plan.copies[index];
        if (copy.wave != wave)
            continue;
        HANDLE process =
            StartProcess(programFolder + L"\\card_copier.exe",
                         L"\"" + copy.card + L"\" \"" + plan.folders[copy.folder] + L"\" " +
                             std::to_wstring(copy.bytesPerSecond) + L" --share-read alternate");
        if (!process) {
            *error = L"cannot start card copy " + std::to_wstring(index);
            return false;
        }
        running->copiers.push_back(process);
    }
    return true;
}

bool WritersRunning(const RunningWave& running)
{
    for (const std::vector<HANDLE>* processes : {&running.writers, &running.copiers})
        for (HANDLE process : *processes)
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
                return true;
    return false;
}

bool FinishWave(RunningWave* running, DWORD timeoutMs, WaveFigures* figures, std::wstring* error)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    auto remaining = [deadline] {
        ULONGLONG now = GetTickCount64();
        return now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    };
    bool ok = true;
    auto finish = [&](HANDLE process, const wchar_t* what) {
        DWORD code = 1;
        if (WaitForSingleObject(process, remaining()) != WAIT_OBJECT_0) {
            *error = std::wstring(what) + L" did not end in time";
            ok = false;
        } else if (!GetExitCodeProcess(process, &code) || code != 0) {
            *error = std::wstring(what) + L" failed (exit code " + std::to_wstring(code) + L")";
            ok = false;
        }
    };
    for (HANDLE writer : running->writers) {
        finish(writer, L"a writer");
        ++figures->writerProcesses;
    }
    for (HANDLE copier : running->copiers) {
        finish(copier, L"a card copier");
        ++figures->copierProcesses;
    }
    if (running->holder) {
        DWORD code = 0;
        if (WaitForSingleObject(running->holder, remaining()) != WAIT_OBJECT_0) {
            *error = L"the holder did not end in time";
            ok = false;
        } else {
            GetExitCodeProcess(running->holder, &code);
            figures->filesHeld += static_cast<int>(code);
        }
        ++figures->holderProcesses;
    }
    EndWave(running);
    return ok;
}

void EndWave(RunningWave* running)
{
    for (std::vector<HANDLE>* processes : {&running->writers, &running->copiers}) {
        for (HANDLE process : *processes) {
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
                TerminateProcess(process, 1);
            CloseHandle(process);
        }
        processes->clear();
    }
    if (running->holder) {
        if (WaitForSingleObject(running->holder, 0) == WAIT_TIMEOUT)
            TerminateProcess(running->holder, 1);
        CloseHandle(running->holder);
        running->holder = nullptr;
    }
}
