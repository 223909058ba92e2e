#include "tests/soak/soak_report.h"

#include <cstdio>

std::wstring Printable(const std::wstring& text)
{
    std::wstring printable;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            printable += c;
        } else {
            wchar_t escape[8];
            swprintf(escape, 8, L"\\u%04X", static_cast<unsigned>(c));
            printable += escape;
        }
    }
    return printable;
}

void PrintFigures(const SoakOptions& options, const SoakPlan& plan, const SoakFindings& findings,
                  const SoakFigures& figures, DWORD exitLimitMs, ULONGLONG durationMs)
{
    auto mb = [](uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); };
    wprintf(L"\n---- soak figures ----\n");
    wprintf(L"folders                 %d (monitors %zu: the first folder listed twice)\n",
            options.folders, plan.registryFolders.size());
    wprintf(
        L"pictures                %d (dated %d, undated %d; named like a stamp %d; in bursts %d)\n",
        findings.datedPictures + findings.undatedPictures, findings.datedPictures,
        findings.undatedPictures, findings.stampNamed, findings.burstPictures);
    wprintf(L"other files             %d companions (.NEF), %d not pictures\n", findings.companions,
            findings.others);
    wprintf(
        L"waves                   %d, writer processes %d, card copiers %d, holder processes %d\n",
        options.waves, figures.waves.writerProcesses, figures.waves.copierProcesses,
        figures.waves.holderProcesses);
    int methods[5] = {};
    for (const SoakItem& item : plan.items)
        ++methods[static_cast<int>(item.method)];
    wprintf(L"written                 copied %d, in place %d, in place slowly (renamable) %d, "
            L"moved in %d, by card copiers %d\n",
            methods[static_cast<int>(WriteMethod::Copy)],
            methods[static_cast<int>(WriteMethod::InPlace)],
            methods[static_cast<int>(WriteMethod::SlowInPlace)],
            methods[static_cast<int>(WriteMethod::MoveIn)],
            methods[static_cast<int>(WriteMethod::CardCopy)]);
    int slowPairs = 0, fastPairs = 0;
    for (const SoakItem& item : plan.items)
        if (item.method == WriteMethod::CardCopy && item.kind != ItemKind::Companion)
            ++(plan.copies[item.copy].bytesPerSecond < 8 * 1024 * 1024 ? slowPairs : fastPairs);
    wprintf(L"card copies             %zu, pairs copied slowly %d, fast %d\n", plan.copies.size(),
            slowPairs, fastPairs);
    wprintf(L"held open               %d of %d files asked\n", figures.waves.filesHeld,
            findings.heldPlanned);
    wprintf(L"OK presses              %d (%d while writers were writing), longest %llu ms\n",
            figures.okPresses, figures.okWhileWriting, figures.okMs);
    wprintf(L"dated pictures named    %d (numbered %d, arrived named %d); left under their old "
            L"name %d\n",
            findings.namedByStamp, findings.numbered, findings.alreadyNamed, findings.datedLeft);
    wprintf(L"companions              followed %d; split from their picture %d; left with an "
            L"event (their new name taken) %d\n",
            findings.companionsFollowed, findings.splitPairs, findings.companionsLeft);
    wprintf(L"events                  %zu in the history, %zu in the log file\n",
            findings.historyLines, findings.logLines);
    wprintf(L"  renamed               %d pictures, %d companions; %d of these lines twice\n",
            findings.pictureRenames, findings.companionRenames, findings.repeatedRenames);
    for (const auto& [code, count] : findings.renameErrors)
        wprintf(L"  Error %-3d renaming    %d\n", code, count);
    wprintf(L"  No Exif information   %d\n", findings.noExifEvents);
    wprintf(L"  date unreadable       %d\n", findings.dateUnreadableEvents);
    wprintf(L"  other lines           %d\n", findings.otherEvents);
    wprintf(L"statistics tab          folders monitored %ls, pictures processed %ls, renamed %ls\n",
            figures.view.foldersMonitored.c_str(), figures.view.picturesProcessed.c_str(),
            figures.view.picturesRenamed.c_str());
    wprintf(
        L"memory (working set)    first %.1f MB, peak %.1f MB, last %.1f MB, system peak %.1f MB; "
        L"%d samples; limit %u MB\n",
        mb(figures.memory.firstWorkingSet), mb(figures.memory.peakWorkingSet),
        mb(figures.memory.lastWorkingSet), mb(figures.memory.systemPeakWorkingSet),
        figures.memory.samples, options.memoryLimitMb);
    wprintf(L"files checked           %d\n", findings.filesChecked);
    wprintf(L"start to first window   %llu ms; idle after the last wave in %llu ms\n",
            figures.startMs, figures.quietMs);
    wprintf(L"Exit                    exit code %lu after %llu ms (limit %lu ms)\n",
            figures.exitCode, figures.exitMs, exitLimitMs);
    wprintf(L"duration                %.1f s\n", static_cast<double>(durationMs) / 1000.0);
}
