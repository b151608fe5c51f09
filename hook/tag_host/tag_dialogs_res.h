// Resource ids of the tags' dialogs.
#pragma once

// The user-input dialog of [#|..].
#define IDD_USER_VALUES 160
#define IDC_USER_VALUE 1000
#define IDC_USER_PREV 1001
#define IDC_USER_NEXT 1002
#define IDC_USER_TITLE 1003
