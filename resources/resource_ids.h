// Identifiers shared by the resource script and the code.
#pragma once

#define IDI_LUMISTAMP 136
#define IDS_APP_TITLE 103
#define IDC_LUMISTAMP 109
#define IDD_SETTINGS 130

#define IDM_EXIT 1002
#define IDM_SETTINGS 1003

// Pages of the settings dialog.
#define IDD_ABOUT_PAGE 131
#define IDD_EVENTS_PAGE 132
#define IDD_SETTINGS_PAGE 133
#define IDD_STATISTICS_PAGE 137

// Controls of the settings dialog and its pages. Ids belong to their own
// window: 1010 and 1011 are check boxes on the Settings page and counter
// fields on the Statistics page.
#define IDC_TABS 1000
#define IDC_AUTOSTART 1001
#define IDC_EVENT_LIST 1002
#define IDC_ABOUT_TEXT 1003
#define IDC_FOLDER_LIST 1005
#define IDC_ADD_FOLDER 1006
#define IDC_DELETE_FOLDER 1007
#define IDC_FOLDERS_MONITORED 1009
#define IDC_LOG_FILE 1010
#define IDC_FILE_MODIFIED_DATE 1011
#define IDC_PICTURES_PROCESSED 1010
#define IDC_PICTURES_RENAMED 1011
// The extensions that travel with a picture, on the Settings page.
#define IDC_COMPANIONS 1020
// HEIC and HEIF pictures renamed too, on the Settings page.
#define IDC_HEIF_PICTURES 1021
// Phones' and cameras' videos renamed too, on the HEIC box's row.
#define IDC_VIDEO_FILES 1022

// "Restore original names…", from the Events page's list: its menu command,
// and the dialog that chooses a folder and a moment.
#define IDM_RESTORE_NAMES 1004
#define IDD_RESTORE 138
#define IDC_RESTORE_FOLDERS 1030
#define IDC_RESTORE_SINCE 1031
