// "Restore original names…": a menu on the Events page's list, and the dialog
// that lists the folders with renames in the journal (their count, the first
// and the last) and restores a chosen folder's renames since a chosen moment
// (all, today, the last hour), newest first.
#pragma once

#include <windows.h>

// The list's right-click menu; opens the dialog when its command is chosen.
void RunEventsListMenu(HWND page, HWND list, LPARAM cursor);

INT_PTR CALLBACK RestoreDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
