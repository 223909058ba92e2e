// The tabbed settings dialog (template 130): a frame around four pages that it
// creates, shows one at a time and destroys when it ends. OK applies the
// Settings page; Cancel, Escape and the close box discard it.
#pragma once

#include <windows.h>

// Makes the common-controls tab class of template 130 available. Call it
// before the dialog is run; further calls cost nothing.
void LoadDialogControls();

// Run with DialogBoxParamW(ModuleInstance, 130, owner, SettingsDialogProc, 0);
// the dialog ends with 1 after OK and 2 after Cancel.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Ends the open settings dialog as its Cancel button does: its pages are
// destroyed, nothing is applied, and the dialog's result is 2. Nothing when no
// dialog is open. For Exit from the tray menu while the dialog is open.
void CancelSettingsDialog();

// Refills the Events page's list from EventHistory, oldest line first, and
// sets its horizontal extent to the line with the most characters.
void FillEventsList();

// The OK steps: the Settings page into the Settings record, the record into
// the registry, then a fresh set of monitors. Nothing at all when the Settings
// page is missing.
void ApplySettings();

// Destroys the four pages and empties PageWindows.
void ClosePages();
