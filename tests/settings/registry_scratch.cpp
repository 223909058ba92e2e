#include "tests/settings/registry_scratch.h"

#include <sddl.h>

#include <atomic>

#include "events/event_history.h"
#include "settings/settings.h"
#include "tests/support/message_box_catcher.h"

namespace {

const wchar_t ScratchParent[] = L"Software\\LumistampTests";

// Read, delete and change the access list, for everyone; no writing.
const wchar_t ReadOnlyAccess[] = L"D:P(A;;KRSDWD;;;WD)";

}  // namespace

void RedirectedRegistry::SetUp()
{
    static std::atomic<unsigned> counter{0};
    scratchPath_ = std::wstring(ScratchParent) + L"\\" + std::to_wstring(GetCurrentProcessId()) +
                   L"-" + std::to_wstring(counter++);
    // Created before the redirection, in the real HKEY_CURRENT_USER.
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, scratchPath_.c_str(), 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &scratch_,
                                     nullptr);
    ASSERT_EQ(status, ERROR_SUCCESS) << "creating the scratch key";
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, scratch_), ERROR_SUCCESS);
    ClearEventHistory();
}

void RedirectedRegistry::TearDown()
{
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (scratch_ != nullptr)
        RegCloseKey(scratch_);
    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath_.c_str()), ERROR_SUCCESS);
    RegDeleteKeyW(HKEY_CURRENT_USER, ScratchParent);  // fails while other runs use it

    Settings.Autostart = 0;
    Settings.LogFile = 0;
    Settings.FileModifiedDate = 0;
    Settings.Folders.clear();
    ClearEventHistory();
}

void RedirectedRegistry::CreateKey(const std::wstring& path, DWORD options)
{
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(scratch_, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS,
                                     nullptr, &key, nullptr);
    ASSERT_EQ(status, ERROR_SUCCESS) << "creating " << testing::PrintToString(path);
    RegCloseKey(key);
}

void RedirectedRegistry::SetValue(const std::wstring& path, const std::wstring& name, DWORD type,
                                  const std::vector<uint8_t>& bytes)
{
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(scratch_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &key, nullptr);
    ASSERT_EQ(status, ERROR_SUCCESS) << "opening " << testing::PrintToString(path);
    status = RegSetValueExW(key, name.c_str(), 0, type, bytes.empty() ? nullptr : bytes.data(),
                            static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS) << "setting " << testing::PrintToString(name);
}

void RedirectedRegistry::SetDword(const std::wstring& path, const std::wstring& name, DWORD number)
{
    SetValue(path, name, REG_DWORD, DwordBytes(number));
}

void RedirectedRegistry::SetText(const std::wstring& path, const std::wstring& name, DWORD type,
                                 const std::wstring& text)
{
    SetValue(path, name, type, BytesOf(text));
}

void RedirectedRegistry::MakeReadOnly(const std::wstring& path)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(ReadOnlyAccess,
                                                                     SDDL_REVISION_1, &descriptor,
                                                                     nullptr));
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(scratch_, path.c_str(), 0, WRITE_DAC, &key);
    if (status == ERROR_SUCCESS) {
        status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        RegCloseKey(key);
    }
    LocalFree(descriptor);
    ASSERT_EQ(status, ERROR_SUCCESS) << "restricting " << testing::PrintToString(path);
}

RawValue RedirectedRegistry::Value(const std::wstring& path, const std::wstring& name)
{
    RawValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(scratch_, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size) ==
        ERROR_SUCCESS) {
        value.bytes.resize(size);
        value.present = RegQueryValueExW(key, name.c_str(), nullptr, &value.type,
                                         value.bytes.data(), &size) == ERROR_SUCCESS;
        value.bytes.resize(size);
    }
    RegCloseKey(key);
    return value;
}

bool RedirectedRegistry::KeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(scratch_, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<uint8_t> BytesOf(const std::wstring& text)
{
    const uint8_t* first = reinterpret_cast<const uint8_t*>(text.data());
    return std::vector<uint8_t>(first, first + text.size() * sizeof(wchar_t));
}

std::vector<uint8_t> DwordBytes(DWORD number)
{
    const uint8_t* first = reinterpret_cast<const uint8_t*>(&number);
    return std::vector<uint8_t>(first, first + sizeof(number));
}

std::wstring ExecutablePath()
{
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

std::vector<std::wstring> LoggedTexts()
{
    // Every line starts with "DD.MM.YYYY HH:MM:SS ".
    const size_t stampLength = 20;
    std::vector<std::wstring> texts;
    HistoryLockGuard lock;
    for (const std::wstring& line : EventHistory)
        texts.push_back(line.substr(stampLength));
    return texts;
}

std::vector<std::wstring> TakeBoxTexts()
{
    std::vector<std::wstring> texts;
    for (const CapturedBox& box : TakeCapturedBoxes()) {
        EXPECT_EQ(box.caption, L"Lumistamp");
        texts.push_back(box.text);
    }
    return texts;
}

std::wstring WithCode(const wchar_t* format, int code)
{
    // Filled in here rather than by the program's own formatting, which is
    // what these texts check.
    std::wstring text = format;
    size_t hole = text.find(L"%d");
    EXPECT_NE(hole, std::wstring::npos) << "no %d in the expected text";
    EXPECT_EQ(text.find(L'%', hole + 2), std::wstring::npos) << "one %d only";
    if (hole != std::wstring::npos)
        text.replace(hole, 2, std::to_wstring(code));
    return text;
}
