// Resource ids of the custom menu's dialogs.
#pragma once
