// The four pages of the settings dialog: modeless child dialogs that the
// dialog creates from their templates, in tab order.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "settings/settings.h"

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK StatisticsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK EventsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The Settings page's check boxes and the options they stand for (checked = on).
struct OptionBox {
    int controlId;
    std::atomic<uint32_t> SettingsRecord::*option;
    const wchar_t* cannotFill;  // reported when the box cannot be set
};
extern const OptionBox OptionBoxes[5];

// The Companions text the Settings page shows: the stored one, or the
// default list while the value is absent.
std::wstring ShownCompanions();

// The fixed help text under the name and version on the About page.
extern const wchar_t AboutText[];
