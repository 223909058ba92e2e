// What only a real Windows tells apart: a picture path past MAX_PATH while the
// system leaves long paths off, a companion in a folder made case-sensitive,
// and the "Folders" value stored without its closing nulls. Under Wine each
// test skips with a line that begins "Windows only:".
#include <windows.h>
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "rename/folder_scan.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "tests/settings/registry_scratch.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/scratch_folder.h"

using namespace std::string_literals;

namespace {

bool RunningUnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The system's long-path switch (0 when the value is missing).
DWORD LongPathsEnabled()
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\FileSystem",
                 L"LongPathsEnabled", RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

std::wstring Long(const std::wstring& path) { return L"\\\\?\\" + path; }

bool WriteJpeg(const std::wstring& path, const char* date)
{
    std::vector<uint8_t> bytes = JpegWithDate(TagDateTimeOriginal, date);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

void Scan(const std::wstring& folder)
{
    std::wstring withBackslash = folder + L"\\";
    ScanFolder(withBackslash.c_str(), static_cast<uint32_t>(withBackslash.size()));
}

TEST(LongPathsOff, PictureWhosePathPassesMaxPathIsRenamed)
{
    if (RunningUnderWine())
        GTEST_SKIP()
            << "Windows only: Wine opens paths past MAX_PATH whatever LongPathsEnabled says";
    if (LongPathsEnabled() != 0)
        GTEST_SKIP() << "Windows only: LongPathsEnabled is on (HKLM\\SYSTEM\\CurrentControlSet\\"
                        "Control\\FileSystem); set it to 0 and sign in again to run this test";

    ScratchFolder scratch;
    // A folder of 240 characters, which the plain calls still create, and a
    // picture name that takes its full path to 320.
    std::wstring folder = scratch.Path() + L"\\";
    folder += std::wstring(240 - folder.size(), L'f');
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << "error " << GetLastError();
    std::wstring name = L"IMG_0001 " + std::wstring(320 - folder.size() - 14, L'n') + L".jpg";
    std::wstring picture = folder + L"\\" + name;
    ASSERT_GT(picture.size(), static_cast<size_t>(MAX_PATH));
    ASSERT_TRUE(WriteJpeg(Long(picture), "2021:06:15 10:20:30")) << "error " << GetLastError();

    Scan(folder);

    bool renamed = GetFileAttributesW(Long(folder + L"\\20210615_102030.jpg").c_str()) !=
                   INVALID_FILE_ATTRIBUTES;
    bool left = GetFileAttributesW(Long(picture).c_str()) != INVALID_FILE_ATTRIBUTES;
    DeleteFileW(Long(folder + L"\\20210615_102030.jpg").c_str());
    DeleteFileW(Long(picture).c_str());
    RemoveDirectoryW(folder.c_str());
    EXPECT_TRUE(renamed) << "no 20210615_102030.jpg";
    EXPECT_FALSE(left) << "the picture kept its long name";
}

// Runs a command line and waits (bounded) for it; its exit code, or
// STILL_ACTIVE when it did not end within 30 s, or -1 when it did not start.
DWORD RunCommand(std::wstring commandLine)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process))
        return static_cast<DWORD>(-1);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(CaseSensitiveFolder, LowerCaseCompanionFollowsItsPicture)
{
    if (RunningUnderWine())
        GTEST_SKIP() << "Windows only: Wine has no fsutil and no case-sensitive folders";
    ScratchFolder scratch;
    DWORD code =
        RunCommand(L"fsutil.exe file setCaseSensitiveInfo \"" + scratch.Path() + L"\" enable");
    if (code != 0)
        GTEST_SKIP() << "Windows only: fsutil file setCaseSensitiveInfo ended with " << code
                     << " (it needs Windows 10 1803 or later and an NTFS volume; some systems"
                        " ask for an administrator's command prompt)";
    ASSERT_TRUE(WriteJpeg(scratch / L"dsc.jpg", "2021:06:15 10:20:30"));
    ASSERT_TRUE(WriteFileText(scratch / L"dsc.nef", "raw"));
    // Case-sensitive indeed: the upper-case spelling names no file.
    ASSERT_EQ(GetFileAttributesW((scratch / L"DSC.NEF").c_str()), INVALID_FILE_ATTRIBUTES);

    Scan(scratch.Path());

    EXPECT_EQ(ListFolder(scratch.Path()),
              (std::vector<std::wstring>{L"20210615_102030.NEF", L"20210615_102030.jpg"}));
}

class FoldersValue : public RedirectedRegistry {};

TEST_F(FoldersValue, WithoutClosingNullsIsReadAtItsRealSize)
{
    if (RunningUnderWine())
        GTEST_SKIP() << "Windows only: under Wine the settings tests read this value; here "
                        "Windows' registry hands it over at its real size";
    // Two paths, the second without its null and the list without its closing
    // null, as another program may write them.
    SetText(ProgramKey, L"Folders", REG_MULTI_SZ, L"C:\\a\0C:\\b"s);

    LoadSettings();

    EXPECT_EQ(Settings.Folders, (std::list<std::wstring>{L"C:\\a", L"C:\\b"}));
}

}  // namespace
