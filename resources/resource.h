#ifndef HARVEX_RESOURCE_H
#define HARVEX_RESOURCE_H
// Resource, control and command ids of harvex.exe. Plain #defines so that both the C++ code and the
// resource compiler (windres or rc) can read this file; include guards rather than #pragma once for the
// same reason.

// Dialog templates and the icon. The About picture is the resource "ABOUT" of type "JPEG".
#define IDD_ABOUT 100
#define IDD_MAIN 129
#define IDD_OPTIONS 131
#define IDI_HARVEX 40000

// The value that controls without an id of their own carry.
#define IDC_NO_ID 65535

// Main dialog (IDD_MAIN), in tab order.
#define IDC_DRIVE_LIST 1004
#define IDC_COPYING_OPTIONS_GROUP 1000
#define IDC_COPY_TO_EDIT 1001
#define IDC_COPY_TO_LABEL 57681
#define IDC_FOLDER_NAMES_LABEL 57682
#define IDC_FOLDER_NAMES_COMBO 1013
#define IDC_LOG_EDIT 1019
#define IDC_BROWSE 1012
#define IDC_LOG_LABEL 57683
#define IDC_LOG_LEVEL_COMBO 1014
#define IDC_CLEAR 1015
#define IDC_PROGRESS_TEXT 1016
#define IDC_PROGRESS_BAR 1017
#define IDC_DONATE_LINK 1018
#define IDC_STOP 1003
#define IDC_OPTIONS 57684
#define IDC_ABOUT 57686
#define IDC_HELP_LINK 1005
#define IDC_QUIT 40002

// Tray menu commands; "Quit" shares its id with the main dialog's button.
#define ID_TRAY_OPEN 40000
#define ID_TRAY_CHECK_FOR_UPDATES 40001
#define ID_TRAY_QUIT 40002
#define ID_TRAY_DONATE 40003
#define ID_TRAY_VERIFY_COPY 40004

// Options dialog (IDD_OPTIONS); OK and Cancel are IDOK and IDCANCEL.
#define IDC_EJECT_CDROM 1004
#define IDC_BEEP 57691
#define IDC_BEEP_COMMON_AUDIO 57692
#define IDC_BEEP_SYSTEM_SPEAKER 57693
#define IDC_SHOW_POPUP 57694
#define IDC_START_WITH_WINDOWS 57695
#define IDC_VERIFY_COPIES 57696
#define IDC_ONLY_NEW_FILES 57697
#define IDC_ALSO_COPY_TO_LABEL 57698
#define IDC_ALSO_COPY_TO_EDIT 57699
#define IDC_ALSO_COPY_TO_BROWSE 57700
#define IDC_ALSO_COPY_TO_HINT 57701

#endif // HARVEX_RESOURCE_H
