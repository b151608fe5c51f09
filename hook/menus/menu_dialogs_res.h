// Resource ids of the custom menu's dialogs.
#pragma once

#define IDD_LIST_MENU 140
#define IDC_LIST_MENU_ITEMS 1004
