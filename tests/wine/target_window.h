// A target program for journeys across processes, and real input into it.
#pragma once

#include <windows.h>

#include <string>

namespace quillo::wine {

constexpr char kTargetClass[] = "QuilloTestTarget";
constexpr char kTargetTitle[] = "Quillo Test Target";
constexpr int kTargetEditId = 100;

// The child program "EditTarget" shows a window with a multi-line edit control,
// brings it to the front and gives it the focus. It ends by itself after a
// minute, so no run can leave it behind.

// A target program's message loop: runs until `hwnd` goes or a minute has
// passed, so no run can leave the program behind.
int RunTargetLoop(HWND hwnd);

// Keys and mouse events, as a user would make them.
void Key(BYTE vk, bool up = false);
void Tap(BYTE vk);
// Types `text` as the keys of the current keyboard layout, Shift where needed.
void TypeText(const char* text);
void MouseAt(int x, int y, DWORD down = 0, DWORD up = 0);

// A visible common file dialog (Open or Save) of process `pid`, or null.
HWND FileDialogOf(DWORD pid);
// A visible pop-up menu shown by a thread of process `pid`, or null.
HWND OpenMenuOf(DWORD pid);
// WM_GETTEXT, which also works on a window of another process.
std::string WindowText(HWND hwnd);

}  // namespace quillo::wine
