// A save of a folder's kept pictures that fails part-way, the volume filling
// up while the new file is written: the old file stays whole, since the new
// one is written beside it and moved over it only once complete. The host
// system makes the volume (tests/support/host_requests.sh): a small tmpfs at
// the kept-files folder, filled up to one page.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "events/event_history.h"
#include "events/log_file.h"
#include "rename/folder_memory.h"
#include "rename/folder_scan.h"
#include "rename/settled_store.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/wait_until.h"

namespace {

using Texts = std::vector<std::wstring>;

class KeptSave : public testing::Test {
protected:
    void SetUp() override
    {
        wchar_t scratch[MAX_PATH] = {};
        if (!GetEnvironmentVariableW(L"LUMISTAMP_HOST_SCRATCH", scratch, ARRAYSIZE(scratch)))
            GTEST_SKIP() << "no host helper: run through tests/support/host_requests.sh";
        hostScratch = scratch;
        // The kept files land in the host's scratch folder, where it can mount.
        std::wstring appData = hostScratch + L"\\appdata";
        ASSERT_TRUE(CreateDirectoryW(appData.c_str(), nullptr));
        previousAppData = ReplaceLocalAppDataForTests(appData);
        replaced = true;
    }
    void TearDown() override
    {
        if (replaced)
            ReplaceLocalAppDataForTests(previousAppData);
    }

    // Asks the host helper, waits until it is done; the reason when it refused.
    std::string Request(const std::wstring& request, const std::string& text)
    {
        std::wstring path = hostScratch + L"\\" + request;
        EXPECT_TRUE(WriteFileText(path, text));
        EXPECT_TRUE(WaitUntil([&] { return !PathExists(path); }, 20000))
            << "the host helper did not answer";
        std::string reason = ReadFileText(path + L".refused");
        DeleteFileW((path + L".refused").c_str());
        return reason;
    }

    // A monitor's whole life: its first scan, then its end.
    Texts MonitorRun()
    {
        ClearEventHistory();
        FolderMemory memory;
        memory.keptFile.kept = true;
        std::wstring path = folder.PathWithBackslash();
        ScanFolder(path.c_str(), static_cast<uint32_t>(path.size()), memory);
        SaveKeptPictures(memory, false);
        retryPending = NextRetryWaitMs(memory.busy, GetTickCount64()) != INFINITE;
        HistoryLockGuard lock;
        Texts texts;
        for (const std::wstring& line : EventHistory)
            texts.push_back(line.substr(20));
        return texts;
    }

    // Pictures named by their stamps, one a second from the hour on.
    void PutNamed(int day, int count)
    {
        for (int second = 0; second < count; ++second) {
            char date[32];
            wchar_t name[32];
            snprintf(date, sizeof(date), "2023:04:%02d %02d:%02d:%02d", day, second / 3600,
                     second / 60 % 60, second % 60);
            swprintf(name, 32, L"202304%02d_%02d%02d%02d.jpg", day, second / 3600, second / 60 % 60,
                     second % 60);
            ASSERT_TRUE(WriteFileBytes(folder / name, JpegWithDate(TagDateTimeOriginal, date)));
        }
    }

    std::wstring hostScratch;
    std::wstring previousAppData;
    bool replaced = false;
    ScratchFolder folder;
    bool retryPending = false;
};

TEST_F(KeptSave, ASaveThatFailsPartWayLeavesTheOldFileWhole)
{
    // 20 pictures kept: about 1 KB, one page of the tmpfs.
    PutNamed(1, 20);
    EXPECT_EQ(MonitorRun(), Texts{});
    const std::wstring kept = KeptPicturesPath(folder.PathWithBackslash());
    const std::wstring settledFolder = kept.substr(0, kept.rfind(L'\\'));
    const std::wstring keptName = kept.substr(settledFolder.size() + 1);
    const std::vector<uint8_t> old = ReadFileBytes(kept);
    ASSERT_GT(old.size(), 900u);
    ASSERT_LT(old.size(), 4096u);

    std::string refused = Request(L"mount-settled", "appdata/Lumistamp/Settled\n64k\n");
    if (!refused.empty())
        GTEST_SKIP() << "this machine refuses to mount a tmpfs (CI runs as root): " << refused;
    ASSERT_TRUE(WriteFileBytes(kept, old));
    ASSERT_EQ(Request(L"fill-settled", "appdata/Lumistamp/Settled\n4096\n"), "");

    // 220 pictures take about 10 KB: more than the free page, and more than
    // the free page and the old file's together, so that a file written in
    // place would be cut.
    PutNamed(2, 200);
    const Texts cannotSave = {L"Cannot save the remembered pictures of " +
                              folder.PathWithBackslash() + L" to " + kept + L", Error 112"};
    EXPECT_EQ(MonitorRun(), cannotSave);
    EXPECT_TRUE(ReadFileBytes(kept) == old) << "the old file is whole";
    EXPECT_EQ(ListFolder(settledFolder), (Texts{keptName, L"filler"})) << "no new file left";

    // The next monitor loads the old file: no damage to report, and the
    // pictures it holds are not opened (an exclusive holder would make them
    // busy); the new ones are read again, and the save fails again.
    HANDLE exclusive = CreateFileW((folder / L"20230401_000000.jpg").c_str(), GENERIC_READ, 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(MonitorRun(), cannotSave);
    EXPECT_FALSE(retryPending) << "loaded: the held picture was not opened";
    CloseHandle(exclusive);
}

}  // namespace
