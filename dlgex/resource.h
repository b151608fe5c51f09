#pragma once

#define IDS_CREATE_FOLDER 2000
#define IDS_LINE_TOO_LONG 2001
#define IDS_FOLDER_MISSING 2002

#define IDI_FOLDER_MENU 101  // the extended dialog's small icon
