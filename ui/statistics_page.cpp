// The Statistics page (template 137): the three counters, written into their
// fields at every paint. Monitor threads post the registered page a paint
// message after each rescan, so the fields follow while the dialog is open.
#include <windows.h>
#include <strsafe.h>

#include "resources/resource_ids.h"
#include "settings/statistics.h"
#include "ui/pages.h"

static void ShowCounter(HWND page, int fieldId, int32_t value)
{
    wchar_t text[128];
    StringCchPrintfW(text, ARRAYSIZE(text), L"%d", value);
    SetWindowTextW(GetDlgItem(page, fieldId), text);
}

INT_PTR CALLBACK StatisticsPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_PAINT:
        ShowCounter(page, IDC_FOLDERS_MONITORED, Statistics.FoldersMonitored);
        ShowCounter(page, IDC_PICTURES_PROCESSED, Statistics.PicturesProcessed);
        ShowCounter(page, IDC_PICTURES_RENAMED, Statistics.PicturesRenamed);
        StatisticsPageWindow = page;
        // Not handled: the default handling validates the window, which stops
        // the platform from sending paint messages without end.
        return FALSE;

    case WM_DESTROY:
        StatisticsPageWindow = nullptr;
        return FALSE;
    }
    return FALSE;
}
