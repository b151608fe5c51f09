#include "dialog_support_win.h"

#include "process_state.h"
#include "quillo_messages.h"
#include "shared_block.h"

namespace quillo::hook {

void CentreDialog(HWND dialog) {
  const bool child = (GetWindowLongA(dialog, GWL_STYLE) & WS_CHILD) != 0;
  HWND owner = child ? GetParent(dialog) : GetWindow(dialog, GW_OWNER);
  RECT area;
  RECT centre;
  if (child) {
    HWND parent = GetParent(dialog);
    GetClientRect(parent, &area);
    GetClientRect(owner, &centre);
    MapWindowPoints(owner, parent, reinterpret_cast<POINT*>(&centre), 2);
  } else {
    // A hidden or minimized owner has no place on the screen worth centring on.
    if (owner != nullptr && (!IsWindowVisible(owner) || IsIconic(owner))) owner = nullptr;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
      area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    if (owner == nullptr || !GetWindowRect(owner, &centre)) centre = area;
  }
  RECT self;
  if (!GetWindowRect(dialog, &self)) return;
  const int width = self.right - self.left;
  const int height = self.bottom - self.top;
  int left = (centre.left + centre.right) / 2 - width / 2;
  int top = (centre.top + centre.bottom) / 2 - height / 2;
  if (left < area.left) {
    left = area.left;
  } else if (left + width > area.right) {
    left = area.right - width;
  }
  if (top < area.top) {
    top = area.top;
  } else if (top + height > area.bottom) {
    top = area.bottom - height;
  }
  SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OpenHelp(int topic) noexcept {
  // The guide opens in a browser, which is the resident program's to start:
  // the program in front only posts the topic, and waits for nothing.
  // The browser it starts may then come to the front, over this program.
  HWND resident = ResidentWindow();
  if (resident != nullptr) AllowSetForegroundWindow(Shared().residentProcessId);
  if (resident == nullptr ||
      !PostMessageA(resident, kMsgOpenHelp, static_cast<WPARAM>(static_cast<unsigned>(topic)), 0)) {
    MessageBeep(MB_OK);  // F1 is not lost without a sound
  }
}

HelpTopicScope::HelpTopicScope(int topic) : previous_(State().helpTopic) { State().helpTopic = topic; }
HelpTopicScope::~HelpTopicScope() { State().helpTopic = previous_; }

}  // namespace quillo::hook
