// The program's icon in the notification area: its picture and tool tip for
// the program's state, and its removal when the program ends or the user
// hides it.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace quillo {

class CTrayIcon {
 public:
  // `hidden` is the HideIcon setting, read at every change of the icon.
  CTrayIcon(HINSTANCE resources, UINT id, const bool& hidden);
  ~CTrayIcon();
  CTrayIcon(const CTrayIcon&) = delete;
  CTrayIcon& operator=(const CTrayIcon&) = delete;

  void SetNotificationWnd(HWND owner, UINT message);
  // Tool tip and picture of resource `id`.
  bool SetIcon(UINT id);
  // Null removes the icon.
  bool SetIcon(HICON icon);
  // The icon of the state the flags describe.
  bool ShowState(bool suspend, bool directPaste, bool suspendHistory);
  // A note of string `id` (0: none) that follows every state's tip, cut to
  // the 63 characters a tip holds; it takes effect at the next change.
  void SetTipNote(UINT id) { noteId_ = id; }
  // The shell's notification area was (re)created: add the icon again.
  void Restore();
  UINT id() const { return data_.uID; }

 private:
  HINSTANCE resources_;
  const bool& hidden_;
  NOTIFYICONDATAA data_;
  UINT shownId_;
  UINT noteId_ = 0;
};

}  // namespace quillo
