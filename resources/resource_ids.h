// Resource and control ids shared by the resource script and the dialog procedures.
// Plain #defines: the resource compiler reads this file too.
#pragma once

// Dialog templates
#define IDD_WIZARD 101
#define IDD_OVERWRITE 112
#define IDD_EXTRACT 116

// Bitmaps
#define IDB_STEP_ICONS 106 // 208x16 strip: pending, done, failed, ten hourglass frames
#define IDB_WELCOME 115    // 48x48 welcome picture

// Icons (111 is named by the finish page's icon control but deliberately not supplied)
#define IDI_PROGRAM 107
#define IDI_FOLDER 108
#define IDI_START_BUTTON 109
#define IDI_FINISHED 111
#define IDI_QUESTION_MARK 113
#define IDI_SHORTCUT 3000

// Wizard (101): controls outside any page group
#define IDC_NEXT 1 // IDOK
#define IDC_BACK 2 // IDCANCEL; also Cancel on the first page and during the run
#define IDC_BANNER 1000
#define IDC_PAGE_FRAME 1015
#define IDC_UNUSED_LIST 9000

// Wizard: folder page (group 5000)
#define IDC_FOLDER_PROMPT 5000
#define IDC_FOLDER_EDIT 5001
#define IDC_BROWSE 5002
#define IDC_STARTMENU_BOX 5003
#define IDC_DESKTOP_BOX 5004
#define IDC_FOLDER_ICON 5005
#define IDC_STARTMENU_ICON 5006
#define IDC_SHORTCUT_ICON 5007
#define IDC_EXTRAREG_BOX 5008

// Wizard: licence page (group 5010)
#define IDC_LICENSE_TEXT 5010
#define IDC_AGREE 5011
#define IDC_DISAGREE 5012

// Wizard: finish page (group 5030)
#define IDC_DONE_TEXT 5030
#define IDC_LAUNCH_BOX 5031
#define IDC_DONE_ICON 5032

// Wizard: welcome page (group 5050)
#define IDC_WELCOME_PICTURE 5050
#define IDC_WELCOME_TEXT 5051
#define IDC_WELCOME_FRAME 5052

// Wizard: progress page (group 6000)
#define IDC_PROGRESS_GROUP 6000
#define IDC_STATUS_LINE 6001
#define IDC_STEP_ROW_FIRST 6002 // six rows, 6002..6007
#define IDC_STEP_ROW_LAST 6007
#define IDC_PROGRESS_BAR 6009

// Extract dialog (116)
#define IDC_SELECT_ALL 1000
#define IDC_MEMBER_LIST 1035
#define IDC_EXTRACT_FOLDER_LABEL 1036
#define IDC_EXTRACT_FOLDER 1037
#define IDC_EXTRACT_STATUS 1038

// The overwrite question (dialog 112): the four answers end the dialog with their own id.
#define IDC_OVERWRITE_YES 6 // IDYES
#define IDC_OVERWRITE_NO 7  // IDNO; the default button, so Enter answers No
#define IDC_OVERWRITE_YES_TO_ALL 1026
#define IDC_OVERWRITE_NO_TO_ALL 1028
#define IDC_OVERWRITE_MESSAGE 1030

// The uninstaller (kvuninst.exe, dialog 120): what it removes, a status line, a progress bar
// and a close button that is enabled when the work is done.
#define IDD_UNINSTALL 120
#define IDC_UNINSTALL_CLOSE 1 // IDOK
#define IDC_UNINSTALL_LIST 1201
#define IDC_UNINSTALL_STATUS 1202
#define IDC_UNINSTALL_PROGRESS 1203
// The uninstaller's words (RT_RCDATA): the language and text_un_ lines of the script it was
// packed with, written by kvpack pack; without it the uninstaller speaks Dutch.
#define IDR_UNINSTALL_TEXTS 121
