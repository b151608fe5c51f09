#include "macros/macro_bar_win.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

#include "macros/macro_bar_res.h"
#include "quillo_messages.h"

namespace quillo::app {
namespace {

constexpr int kImageWidth = 16;
constexpr int kImageHeight = 15;
constexpr COLORREF kTransparent = RGB(255, 0, 255);  // the strip's background

struct ButtonRow {
  int image;  // -1: a separator
  UINT command;
};
constexpr ButtonRow kButtons[] = {
    {0, kCmdPlayMacro}, {1, kCmdRecordMacro}, {-1, 0},        {2, kCmdSelectMacro},
    {3, kCmdDeleteMacro}, {-1, 0},            {4, kCmdEditMacro},
};

// A tip normally shows only over the active window, and the bar is never
// active: its tips show anyway.
void TipsAlways(HWND tips) {
  if (tips == nullptr) return;
  SetWindowLongPtrA(tips, GWL_STYLE, GetWindowLongPtrA(tips, GWL_STYLE) | TTS_ALWAYSTIP);
}

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM param) {
  auto* areas = reinterpret_cast<std::vector<macros::ScreenArea>*>(param);
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  const macros::ScreenArea area = {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
  // Nothing may unwind through the system's enumeration.
  try {
    if (info.dwFlags & MONITORINFOF_PRIMARY) {
      areas->insert(areas->begin(), area);
    } else {
      areas->push_back(area);
    }
  } catch (...) {
    areas->clear();  // the primary work area then
    return FALSE;
  }
  return TRUE;
}

// The work area of every monitor, the primary one first.
std::vector<macros::ScreenArea> MonitorWorkAreas() {
  std::vector<macros::ScreenArea> areas;
  EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&areas));
  return areas;
}

}  // namespace

MacroBar::~MacroBar() { Destroy(); }

bool MacroBar::Create(HWND frame, const macros::MacroBarPlace& place, bool topMost) {
  frame_ = frame;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  RegisterClassA(&wc);  // fails harmlessly when a second bar registers it again
  // A tool window: a small caption, no task-bar button; owned by the main
  // window, so it goes with it and stays above it.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_TOOLWINDOW | (topMost ? WS_EX_TOPMOST : 0);
  hwnd_ = CreateWindowExA(exStyle, kClassName, "Macro", style, 0, 0, 100, 40, frame, nullptr, instance, this);
  if (hwnd_ == nullptr) return false;
  toolBar_ = CreateWindowExA(0, TOOLBARCLASSNAMEA, "Macro",
                             WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER |
                                 CCS_NORESIZE | CCS_NOPARENTALIGN,
                             0, 0, 100, 30, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolBarId)),
                             instance, nullptr);
  // Some tool bars make their tips at once, some at the first pointer move.
  if (toolBar_ != nullptr) TipsAlways(reinterpret_cast<HWND>(SendMessageA(toolBar_, TB_GETTOOLTIPS, 0, 0)));
  if (toolBar_ == nullptr || !AddButtons()) {
    Destroy();
    return false;
  }
  // The window fits its buttons.
  SIZE size = {};
  SendMessageA(toolBar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
  SetWindowPos(toolBar_, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT frameRect = {0, 0, size.cx, size.cy};
  AdjustWindowRectEx(&frameRect, style, FALSE, exStyle);
  const int width = frameRect.right - frameRect.left;
  const int height = frameRect.bottom - frameRect.top;
  RECT work = {};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
    work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  // Kept on the monitor where the user left it, not pulled onto the primary one.
  const macros::ScreenArea area =
      macros::MacroBarArea(place, MonitorWorkAreas(), {work.left, work.top, work.right, work.bottom});
  const macros::ScreenPoint at = macros::PlaceMacroBar(place, width, height, area);
  SetWindowPos(hwnd_, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (place.visible) ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  return true;
}

bool MacroBar::AddButtons() {
  SendMessageA(toolBar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageA(toolBar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(kImageWidth, kImageHeight));
  HBITMAP strip = static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_MACRO_BAR), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (strip == nullptr) return false;
  images_ = ImageList_Create(kImageWidth, kImageHeight, ILC_COLOR24 | ILC_MASK, 5, 0);
  const bool added = images_ != nullptr && ImageList_AddMasked(images_, strip, kTransparent) >= 0;
  DeleteObject(strip);  // the image list keeps its own copy
  if (!added) return false;
  SendMessageA(toolBar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
  TBBUTTON buttons[sizeof kButtons / sizeof kButtons[0]] = {};
  for (size_t i = 0; i < sizeof kButtons / sizeof kButtons[0]; ++i) {
    const ButtonRow& row = kButtons[i];
    buttons[i].iBitmap = row.image < 0 ? 0 : row.image;
    buttons[i].idCommand = static_cast<int>(row.command);
    buttons[i].fsStyle = row.image < 0 ? BTNS_SEP : BTNS_BUTTON;
    buttons[i].fsState = row.image >= 0 ? TBSTATE_ENABLED : 0;
    buttons[i].iString = -1;
  }
  return SendMessageA(toolBar_, TB_ADDBUTTONSA, sizeof buttons / sizeof buttons[0],
                      reinterpret_cast<LPARAM>(buttons)) != FALSE;
}

void MacroBar::Destroy() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);  // the tool bar with it
  hwnd_ = nullptr;
  toolBar_ = nullptr;
  if (images_ != nullptr) ImageList_Destroy(images_);
  images_ = nullptr;
}

void MacroBar::ShowMacro(const std::string& current) {
  if (hwnd_ == nullptr) return;
  const std::string caption = macros::MacroBarCaption(current);
  SetWindowTextA(hwnd_, caption.c_str());
  SetWindowTextA(toolBar_, caption.c_str());
  SendMessageA(toolBar_, TB_ENABLEBUTTON, kCmdPlayMacro, MAKELPARAM(current.empty() ? FALSE : TRUE, 0));
}

void MacroBar::Toggle() {
  if (hwnd_ != nullptr) ShowWindow(hwnd_, visible() ? SW_HIDE : SW_SHOWNOACTIVATE);
}

void MacroBar::SetTopMost(bool topMost) {
  if (hwnd_ != nullptr) {
    SetWindowPos(hwnd_, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

macros::MacroBarPlace MacroBar::Place() const {
  macros::MacroBarPlace place;
  RECT r = {};
  if (hwnd_ == nullptr || !GetWindowRect(hwnd_, &r)) {
    place.visible = false;
    return place;
  }
  place.visible = IsWindowVisible(hwnd_) != FALSE;
  place.placed = true;
  place.x = r.left;
  place.y = r.top;
  return place;
}

LRESULT CALLBACK MacroBar::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MacroBar* self = reinterpret_cast<MacroBar*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<MacroBar*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    // Also when the main window takes its owned bar with it.
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->toolBar_ = nullptr;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  return self->Handle(msg, wParam, lParam);
}

LRESULT MacroBar::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_MOUSEACTIVATE:
      // A click on the bar leaves the program the user works in active and
      // its focus where it was: the macro plays and records there.
      return MA_NOACTIVATE;
    case WM_CLOSE:
      ShowWindow(hwnd_, SW_HIDE);  // the tray menu brings it back
      return 0;
    case WM_COMMAND:
      // Posted, so the button has finished its click before a menu or a
      // dialog opens for it.
      if (lParam != 0 && reinterpret_cast<HWND>(lParam) == toolBar_) {
        PostMessageA(frame_, WM_COMMAND, LOWORD(wParam), 0);
        return 0;
      }
      break;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header != nullptr && (header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW)) {
        OnToolTipText(header);
        return 0;
      }
      if (header != nullptr && header->code == NM_TOOLTIPSCREATED) {
        TipsAlways(reinterpret_cast<NMTOOLTIPSCREATED*>(header)->hwndToolTips);
        return 0;
      }
      break;
    }
    default:
      break;
  }
  return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

void MacroBar::OnToolTipText(NMHDR* header) {
  // The tip is the part of the command's string after the newline.
  char text[80] = {};
  char tip[80] = {};
  if (LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(header->idFrom), text, sizeof text) > 0) {
    const char* newline = std::strchr(text, '\n');
    lstrcpynA(tip, newline != nullptr ? newline + 1 : text, sizeof tip);
  }
  if (header->code == TTN_GETDISPINFOA) {
    auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
    info->hinst = nullptr;
    lstrcpynA(info->szText, tip, sizeof info->szText);
    info->lpszText = info->szText;
  } else {
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    info->hinst = nullptr;
    MultiByteToWideChar(CP_ACP, 0, tip, -1, info->szText, sizeof info->szText / sizeof info->szText[0]);
    info->lpszText = info->szText;
  }
}

}  // namespace quillo::app
