// The About page (template 131): the program's name, its version and a fixed
// help text in a read-only, centred, multi-line edit.
#include <windows.h>
#include <strsafe.h>

#include <cwchar>
#include <vector>

#include "resources/resource_ids.h"
#include "ui/pages.h"
#include "ui/ui_records.h"

// The edit breaks lines only at CR LF. With the name and version before it, the
// buffer below holds at most 1,586 characters of this text.
const wchar_t AboutText[] =
    L"Copyright (C) 2026 the Lumistamp developers\r\n"
    L"\r\n"
    L"Questions or remarks? Write to lumistamp@example.org\r\n"
    L"\r\n"
    L"Purpose of this program:\r\n"
    L"\r\n"
    L"Monitor some folders and rename JPEG Files to their Date and Time\r\n"
    L"\r\n"
    L"After a trip or a party, everybody copies their pictures into one folder, "
    L"each from another camera or phone.\r\n"
    L"\r\n"
    L"Your file manager can sort that folder by the date the pictures were taken.\r\n"
    L"\r\n"
    L"But another program, a photo-book editor for instance, may sort them by file "
    L"name only, and each camera's pictures stay apart.\r\n"
    L"\r\n"
    L"Than this program is right for you!\r\n"
    L"\r\n"
    L"Basically, it monitors up to 256 folders.\r\n"
    L"As soon as a JPEG file lands in one of these folders, the program reads date and "
    L"time from the picture's EXIF information and renames the file to that timestamp.\r\n"
    L"\r\n"
    L"That's it.\r\n"
    L"\r\n"
    L"\r\n"
    L"For the interested reader: it is written in C++ on the plain Windows API.\r\n"
    L"It consumes minimal resources only while running.\r\n"
    L"\r\n"
    L"All settings are saved to Registry under the current user:\r\n"
    L"\\HKCU\\SOFTWARE\\KX-Lumistamp\r\n"
    L"\r\n"
    L"Events are shown in the 'Events'-Tab. They can also be saved to the log file\r\n"
    L"%LOCALAPPDATA%\\Lumistamp\\Lumistamp.Log\r\n"
    L"\r\n"
    L"Some programs remove the EXIF information to save space.\r\n"
    L"If no EXIF information is available, you can allow the program to use the "
    L"date the file was last modified instead.\r\n"
    L"For JPEG's this should be close to the Exif timestamp.\r\n"
    L"\r\n"
    L"If you choose to start the program after logon, an additional registry value "
    L"is created under the subkey\r\n"
    L"\\HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\r\n"
    L"and the program starts automatically at your next logon.\r\n";

// Room for the name, two line breaks and the help text after the version.
constexpr size_t AboutRoom = 1600;
static_assert(ARRAYSIZE(AboutText) - 1 <= AboutRoom - 14, "AboutText would be cut");

static void SetAboutText(HWND page)
{
    size_t versionLength = wcslen(VersionText);
    std::vector<wchar_t> text(versionLength + AboutRoom, L'\0');
    // A text that does not fit is cut; the buffer always ends with a terminator.
    StringCbPrintfW(text.data(), text.size() * sizeof(wchar_t), L"%s\r\n%s\r\n%s", L"Lumistamp",
                    VersionText, AboutText);
    SetDlgItemTextW(page, IDC_ABOUT_TEXT, text.data());
}

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetAboutText(page);
        return TRUE;
    case WM_DESTROY:
        return TRUE;
    }
    return FALSE;
}
