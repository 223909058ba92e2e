#include "tests/soak/soak_waves.h"

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

bool StartWave(const SoakPlan& plan, int wave, const std::wstring& writerProgram,
               RunningWave* running, std::wstring* error)
{
    std::vector<std::wstring> writerJobs;
    std::wstring holdJobs;
    for (const SoakItem& item : plan.items) {
        if (item.wave != wave)
            continue;
        if (writerJobs.size() <= static_cast<size_t>(item.writer))
            writerJobs.resize(item.writer + 1);
        std::wstring destination = plan.folders[item.folder] + L"\\" + item.name;
        writerJobs[item.writer] += std::wstring(MethodName(item.method)) + L"\t" + item.source +
            L"\t" + destination + L"\t" + std::to_wstring(item.pauseMs) + L"\n";
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
            !(running->holder = StartProcess(
                  writerProgram, L"hold \"" + path + L"\" " + std::to_wstring(HoldMs)))) {
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
    return true;
}

bool WritersRunning(const RunningWave& running)
{
    for (HANDLE writer : running.writers)
        if (WaitForSingleObject(writer, 0) == WAIT_TIMEOUT)
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
    for (HANDLE& writer : running->writers) {
        DWORD code = 1;
        if (WaitForSingleObject(writer, remaining()) != WAIT_OBJECT_0) {
            *error = L"a writer did not end in time";
            ok = false;
        } else if (!GetExitCodeProcess(writer, &code) || code != 0) {
            *error = L"a writer failed (exit code " + std::to_wstring(code) + L")";
            ok = false;
        }
        ++figures->writerProcesses;
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
    for (HANDLE writer : running->writers) {
        if (WaitForSingleObject(writer, 0) == WAIT_TIMEOUT)
            TerminateProcess(writer, 1);
        CloseHandle(writer);
    }
    running->writers.clear();
    if (running->holder) {
        if (WaitForSingleObject(running->holder, 0) == WAIT_TIMEOUT)
            TerminateProcess(running->holder, 1);
        CloseHandle(running->holder);
        running->holder = nullptr;
    }
}
