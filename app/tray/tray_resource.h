// Resource ids of the tray icon, its menu and the About box. The menu's
// command ids are the commands of the resident window's tray menu.
#pragma once

// Icons and their tool tips share the id (see tray_rules.h).
#define IDI_QUILLO 128
#define IDI_SUSPEND 141
#define IDI_SUSPEND_HISTORY 142
#define IDI_DIRECT_PASTE 143

#define IDR_MAINFRAME 128
#define IDD_ABOUTBOX 100
#define IDC_ABOUT_HOMEPAGE 1000
#define IDC_ABOUT_NOTE 1001
#define IDC_ABOUT_VERSION 1002

#define ID_TRAY_OPTIONS 32771
#define ID_TRAY_SUSPEND 32772
#define ID_TRAY_EDIT_SCRATCH 32773
#define ID_TRAY_SUSPEND_HISTORY 32777
#define ID_TRAY_READ_HISTORY 32778
#define ID_TRAY_SAVE_HISTORY 32779
#define ID_TRAY_EDIT_MENU_FIRST 32781
#define ID_TRAY_EDIT_MENU_LAST 32790
#define ID_TRAY_SUSPEND_DIALOG_EXT 32792
#define ID_TRAY_EDIT_FOLDER_HISTORY 32793
#define ID_TRAY_EDIT_HISTORY 32806
#define ID_TRAY_ABOUT 57664
#define ID_TRAY_EXIT 57665
#define ID_TRAY_HELP 57666
#define ID_TRAY_MACRO_BAR 59408

// Position of the "Edit Menu File" sub-menu in the tray menu.
#define TRAY_EDIT_MENU_POSITION 2

#define IDS_NO_URL_FILE 2008
#define IDS_ICON_HIDDEN 2041
// 64-bit flavor: its 32-bit companion cannot run.
#define IDS_TIP_32BIT_NOT_REACHED 2090
#define IDS_ABOUT_32BIT_NOT_REACHED 2091
