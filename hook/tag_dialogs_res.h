// Resource ids of the tags' dialogs.
#pragma once
