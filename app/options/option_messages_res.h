// Message ids of the options sheet. The texts are in app/strings.rc; the page
// models (option_pages.h) answer with these ids and the dialog code shows them.
#pragma once

#define IDS_SELECT_TITLE_MENU 2029     // "Please select a target menu."
#define IDS_SELECT_MENU_AND_KEY 2030   // "Please select a menu file and shortcut key."
#define IDS_INPUT_USER_KEY 2031        // "Please input user define shortcut key."
#define IDS_MENU_LIST_FULL 2032        // "A menu file list is full."
#define IDS_NO_PROGRAM_FOLDER 2033     // "Can not find a folder in which Quillo installed."
#define IDS_SELECT_DELETE_ITEM 2034    // "Please select a delete item."
#define IDS_SELECT_MOVE_ITEM 2035      // "Please select a move item."
#define IDS_SAME_AS_SWITCH_KEY 2036    // "[%s] and [Swich Menu] has a same key stroke."
#define IDS_SHORTCUTS_OVERLAP 2038     // "Some of shortcut key settings are overlap."
#define IDS_PASTE_PROGRAM_REFUSED 2065  // "This program can't be added to the list: %s"
#define IDS_SELECT_PASTE_PROGRAM 2066   // "Please select a program in the list, and its method."
#define IDS_PASTE_PROGRAM_NOT_ADDED 2067  // "%s is not on the list: press Add to put it there, or empty the field."
