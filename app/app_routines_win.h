// Small routines every part of the resident program uses.
#pragma once

#include <windows.h>

#include <string>

namespace quillo {

// String `id` of the program in a box titled "Quillo", owned by the window in
// front when that is one of ours, else by none (above the window in front).
// `type` is a MessageBoxA type (icon and buttons). A text that cannot be
// loaded shows nothing and answers IDCANCEL. With `arg`, the text's "%s" is
// filled with it.
int QuilloMessageBox(UINT id, UINT type = MB_OK | MB_ICONEXCLAMATION, const char* arg = nullptr);
// The same box with `extraLine` below the text.
int QuilloMessageBoxWithLine(UINT id, const char* extraLine);
// The same for string `id` of `module`; 0 when it cannot be loaded.
int ShowOwnMessage(HINSTANCE module, UINT id, UINT type = MB_OK | MB_ICONEXCLAMATION, const char* arg = nullptr,
                   const char* extraLine = nullptr);

// Waits `ms` milliseconds while dispatching this thread's messages, so the
// program's windows stay responsive (and handlers may run meanwhile). It does
// not sleep between rounds, as the timing of key-stroke playback depends on it.
// Returns false at once when the program is told to end meanwhile, leaving
// the quit for the message loop; the caller then stops what it was doing.
bool Wait(DWORD ms);

// Gives the foreground back to the program the user was working in (Alt+Esc),
// before one of our dialogs opens from the tray menu.
void HandBackForeground();

// The system's Open (or, with `save`, Save As) dialog, starting in
// `initialDir` (the system's choice when empty) with `fileName` typed in.
// Open takes existing files only; Save As asks before replacing one. False
// when the user cancels.
bool AskFileName(HWND owner, bool save, const char* title, const char* filter, const char* defaultExt,
                 const std::string& initialDir, const std::string& fileName, std::string& chosen);

}  // namespace quillo
