#include "tray_icon_win.h"

#include "tray_rules.h"

namespace quillo {

CTrayIcon::CTrayIcon(HINSTANCE resources, UINT id, const bool& hidden)
    : resources_(resources), hidden_(hidden), data_(), shownId_(id) {
  // The layout every version of the shell understands: the tool tip is 64
  // characters, and no balloon fields follow it.
  data_.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data_.uID = id;
  LoadStringA(resources_, id, data_.szTip, 64);
}

CTrayIcon::~CTrayIcon() { SetIcon(static_cast<HICON>(nullptr)); }

void CTrayIcon::SetNotificationWnd(HWND owner, UINT message) {
  data_.hWnd = owner;
  data_.uCallbackMessage = message;
}

bool CTrayIcon::SetIcon(UINT id) {
  char tip[64] = {};
  const int length = LoadStringA(resources_, id, tip, sizeof tip);
  if (noteId_ != 0 && length > 0 && length < static_cast<int>(sizeof tip) - 1) {
    LoadStringA(resources_, noteId_, tip + length, static_cast<int>(sizeof tip) - length);
  }
  lstrcpynA(data_.szTip, tip, 64);
  // The notification area draws small icons; LR_SHARED: the system keeps the
  // handle for as long as the program runs, so nothing is ever leaked by a change.
  HICON icon = static_cast<HICON>(LoadImageA(resources_, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                             LR_SHARED));
  if (icon == nullptr) return false;
  shownId_ = id;
  return SetIcon(icon);
}

bool CTrayIcon::SetIcon(HICON icon) {
  data_.uFlags = 0;
  DWORD op = NIM_DELETE;
  if (icon != nullptr) {
    op = data_.hIcon != nullptr ? NIM_MODIFY : NIM_ADD;
    data_.hIcon = icon;
    data_.uFlags |= NIF_ICON;
  } else if (data_.hIcon == nullptr) {
    return true;
  }
  if (data_.szTip[0] != '\0') data_.uFlags |= NIF_TIP;
  if (data_.uCallbackMessage != 0 && data_.hWnd != nullptr) data_.uFlags |= NIF_MESSAGE;
  if (hidden_ || icon == nullptr) {
    data_.hIcon = nullptr;
    if (op == NIM_ADD) return true;  // never shown: nothing to take away
    op = NIM_DELETE;
  }
  if (Shell_NotifyIconA(op, &data_)) return true;
  if (op == NIM_MODIFY) {
    // The notification area lost our icon (the shell restarted): add it anew.
    if (Shell_NotifyIconA(NIM_ADD, &data_)) return true;
  }
  // Not shown: the next change adds it rather than modifying nothing.
  if (op != NIM_DELETE) data_.hIcon = nullptr;
  return op == NIM_DELETE;
}

bool CTrayIcon::ShowState(bool suspend, bool directPaste, bool suspendHistory) {
  return SetIcon(static_cast<UINT>(tray::IconStateFor(suspend, directPaste, suspendHistory)));
}

void CTrayIcon::Restore() {
  data_.hIcon = nullptr;
  SetIcon(shownId_);
}

}  // namespace quillo
