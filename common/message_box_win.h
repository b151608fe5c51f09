// The message box every deliverable uses: text from the module's string table,
// caption "Quillo", owned by the window in front.
#pragma once

#include <windows.h>

namespace quillo {

// Shows string `id` of `module`. A text that cannot be loaded shows no box and
// returns 0; otherwise returns what MessageBoxA returned.
int ShowQuilloMessage(HINSTANCE module, UINT id, UINT style = MB_OK | MB_ICONEXCLAMATION,
                      const char* arg = nullptr, const char* extraLine = nullptr);
// The same box owned by `owner` (null: no owner) rather than the window in front.
int ShowQuilloMessageOwnedBy(HWND owner, HINSTANCE module, UINT id, UINT style = MB_OK | MB_ICONEXCLAMATION,
                             const char* arg = nullptr, const char* extraLine = nullptr);

}  // namespace quillo
