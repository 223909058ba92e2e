// A throwaway HKEY_CURRENT_USER for each test. SetUp creates a scratch key under
// the real HKEY_CURRENT_USER\Software\LumistampTests and makes it the process's
// HKEY_CURRENT_USER (RegOverridePredefKey), so the code under test never touches
// the user's own settings, even on a real Windows machine. TearDown undoes the
// redirection, deletes the scratch tree and resets Settings and EventHistory.
// Key paths given to the helpers are relative to the scratch root.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Where the code under test keeps its values, as seen from HKEY_CURRENT_USER.
inline const wchar_t ProgramKey[] = L"SOFTWARE\\KX-Lumistamp";
inline const wchar_t RunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const wchar_t AutostartName[] = L"KX_Lumistamp";

struct RawValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<uint8_t> bytes;
};

class RedirectedRegistry : public testing::Test {
public:
    // Creates the key and any missing parent with the given options
    // (REG_OPTION_VOLATILE makes every key it creates volatile).
    void CreateKey(const std::wstring& path, DWORD options = REG_OPTION_NON_VOLATILE);
    void SetValue(const std::wstring& path, const std::wstring& name, DWORD type,
                  const std::vector<uint8_t>& bytes);
    void SetDword(const std::wstring& path, const std::wstring& name, DWORD number);
    // Stores the characters as they are, embedded nulls included, and no more.
    void SetText(const std::wstring& path, const std::wstring& name, DWORD type,
                 const std::wstring& text);
    // Makes an existing key read-only to everyone. Deleting it and changing its
    // access stay allowed, so TearDown can still remove it.
    void MakeReadOnly(const std::wstring& path);

    RawValue Value(const std::wstring& path, const std::wstring& name);
    bool KeyExists(const std::wstring& path);

protected:
    void SetUp() override;
    void TearDown() override;

private:
    std::wstring scratchPath_;
    HKEY scratch_ = nullptr;
};

std::vector<uint8_t> BytesOf(const std::wstring& text);
std::vector<uint8_t> DwordBytes(DWORD number);

// The full path of this executable, however long.
std::wstring ExecutablePath();

// The texts of EventHistory, oldest first, without their date and time.
std::vector<std::wstring> LoggedTexts();

// Takes the captured message boxes and returns their texts; each must be the
// error box (caption "Lumistamp").
std::vector<std::wstring> TakeBoxTexts();

// The expected text with its one "%d" filled in with the code.
std::wstring WithCode(const wchar_t* format, int code);
