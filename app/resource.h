// Resource ids of Quillo.exe. String ids are the message numbers the user sees.
#pragma once

#define IDS_NO_MENU_TEMPLATE 2005
#define IDS_NO_MEMORY 2009
#define IDS_MAP_HISTORY 2010
#define IDS_CREATE_MAPPING 2011
#define IDS_OPEN_FILE 2012
#define IDS_BAD_HISTORY_FILE 2013
#define IDS_SAVE_HISTORY 2039
#define IDS_CREATE_TEMP_FILE 2040
#define IDS_REGISTER_HOTKEY 2017
#define IDS_REGISTER_FORMAT 2014
#define IDS_INSTALL_HOOK 2015
#define IDS_UNINSTALL_HOOK 2016
#define IDS_BAD_KEY_STROKE 2019
