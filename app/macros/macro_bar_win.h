// The macro bar: a small floating tool window owned by the main window, with
// a tool bar of the macro commands. It never takes the activation from the
// program the user works in, so Play plays there. Its buttons hand their
// commands to the main window; its caption follows the current macro.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "macros/macro_bar.h"

namespace quillo::app {

class MacroBar {
 public:
  static constexpr char kClassName[] = "QuilloMacroBar";
  static constexpr int kToolBarId = 59408;

  MacroBar() = default;
  ~MacroBar();
  MacroBar(const MacroBar&) = delete;
  MacroBar& operator=(const MacroBar&) = delete;

  // Creates the bar at its kept place (shown if it was), commands going to
  // `frame`; false when the window or its buttons cannot be made.
  bool Create(HWND frame, const macros::MacroBarPlace& place, bool topMost);
  void Destroy();

  // Caption and the Play button for the current macro.
  void ShowMacro(const std::string& current);
  void Toggle();
  bool visible() const { return hwnd_ != nullptr && IsWindowVisible(hwnd_); }
  void SetTopMost(bool topMost);
  // Where the bar is now and whether it shows, for the next run.
  macros::MacroBarPlace Place() const;
  HWND hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
  bool AddButtons();
  void OnToolTipText(NMHDR* header);

  HWND frame_ = nullptr;
  HWND hwnd_ = nullptr;
  HWND toolBar_ = nullptr;
  HIMAGELIST images_ = nullptr;
};

}  // namespace quillo::app
