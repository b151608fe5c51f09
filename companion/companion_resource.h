// Resource ids of QuilloCompanion.exe.
#pragma once

#define IDS_STARTED_BY_OWNER 1
