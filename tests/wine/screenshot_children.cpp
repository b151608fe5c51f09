// Helpers of scripts/screenshots, run as `quillo_wine_tests --child NAME ...`:
// where on the screen the windows to picture are, and texts for the history.
// They test nothing themselves.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "resident_fixture.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

struct MenuSearch {
  RECT box;
  bool any;
};

void Grow(RECT& box, bool& any, const RECT& r) {
  if (!any) {
    box = r;
    any = true;
    return;
  }
  box.left = r.left < box.left ? r.left : box.left;
  box.top = r.top < box.top ? r.top : box.top;
  box.right = r.right > box.right ? r.right : box.right;
  box.bottom = r.bottom > box.bottom ? r.bottom : box.bottom;
}

BOOL CALLBACK AddMenu(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<MenuSearch*>(param);
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  RECT r;
  if (lstrcmpA(cls, "#32768") == 0 && IsWindowVisible(hwnd) && GetWindowRect(hwnd, &r)) Grow(search->box, search->any, r);
  return TRUE;
}

// Prints "WxH+X+Y" of the smallest box that holds every part named: "front"
// (the window in front), "menus" (every open pop-up menu), "title=TEXT" (the
// top-level window of that title) and "tray" (the task bar's right end). An
// extra margin of 4 pixels, kept on the screen. Fails when nothing is found.
QUILLO_CHILD(ShotBox) {
  MenuSearch s{{}, false};
  for (const std::string& part : args) {
    RECT r;
    if (part == "front") {
      HWND w = GetForegroundWindow();
      if (w != nullptr && GetWindowRect(w, &r)) Grow(s.box, s.any, r);
    } else if (part == "menus") {
      EnumWindows(AddMenu, reinterpret_cast<LPARAM>(&s));
    } else if (part.rfind("title=", 0) == 0) {
      HWND w = FindWindowA(nullptr, part.c_str() + 6);
      if (w != nullptr && GetWindowRect(w, &r)) Grow(s.box, s.any, r);
    } else if (part == "tray") {
      const POINT p = TrayIconPoint();
      Grow(s.box, s.any, RECT{p.x - 60, p.y - 14, p.x + 14, p.y + 14});
    }
  }
  if (!s.any) return 1;
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  const LONG left = s.box.left - 4 < 0 ? 0 : s.box.left - 4;
  const LONG top = s.box.top - 4 < 0 ? 0 : s.box.top - 4;
  const LONG right = s.box.right + 4 > width ? width : s.box.right + 4;
  const LONG bottom = s.box.bottom + 4 > height ? height : s.box.bottom + 4;
  if (right <= left || bottom <= top) return 1;
  std::printf("%ldx%ld+%ld+%ld\n", right - left, bottom - top, left, top);
  return 0;
}

// Moves the window in front to x, y and sizes it w by h (four arguments), so
// that a picture of it stays small.
QUILLO_CHILD(PlaceFront) {
  if (args.size() != 4) return 2;
  HWND w = GetForegroundWindow();
  if (w == nullptr) return 1;
  const int v[4] = {atoi(args[0].c_str()), atoi(args[1].c_str()), atoi(args[2].c_str()), atoi(args[3].c_str())};
  return SetWindowPos(w, nullptr, v[0], v[1], v[2], v[3], SWP_NOZORDER) ? 0 : 1;
}

// Puts each argument on the clipboard in turn, as copies the user made.
QUILLO_CHILD(CopyTexts) {
  for (const std::string& text : args) {
    if (!PutClipboardText(text)) return 1;
    Sleep(300);
  }
  return 0;
}

}  // namespace
}  // namespace quillo::wine
