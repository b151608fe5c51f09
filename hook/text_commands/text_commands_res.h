// Resource ids of the form dialogs of the text commands.
#pragma once

#define IDD_ENCLOSE_FORM 170
#define IDD_DISCLOSE_FORM 171
#define IDC_FORM_HELP 1012
#define IDC_FORM_TEXT 1013
