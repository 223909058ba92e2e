#include "ui/ui_records.h"

HWND PageWindows[PageCount] = {};
HINSTANCE ModuleInstance = nullptr;
wchar_t VersionText[1024] = L"unknown Version";
