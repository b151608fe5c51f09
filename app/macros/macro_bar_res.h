// Resource ids of the macro bar: its button strip and its tool tips. A tool
// tip is the string of its command id, after the newline ("\nPlay macro").
#pragma once

#define IDB_MACRO_BAR 310

#define IDS_TIP_PLAY_MACRO 32800
#define IDS_TIP_RECORD_MACRO 32801
#define IDS_TIP_STOP_MACRO 32802
#define IDS_TIP_SELECT_MACRO 32803
#define IDS_TIP_DELETE_MACRO 32804
#define IDS_TIP_EDIT_MACRO 32805
