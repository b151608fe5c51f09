// The commands around the options sheet and the macro sheet, as members of the
// resident window: one sheet at a time, the hooks told that a dialog of ours
// is up, the clear-history key out of the way while the user may be choosing
// it, and the settings pushed to the hooks after OK.
#include <windows.h>

#include "app_routines_win.h"
#include "main_frame_win.h"
#include "options/options_sheet_win.h"
#include "quillo_hook.h"
#include "settings_win.h"
#include "tray/startup_shortcut_win.h"
#include "tray/tray_resource.h"

namespace quillo {

// What accepting a sheet does beyond the settings' members.
class CMainFrame::SheetEffects final : public options::OptionsEffects {
 public:
  explicit SheetEffects(CMainFrame& frame) : frame_(frame) {}
  bool ResizeHistoryStore(int32_t capacity) override { return frame_.history_.ResizeHistory(capacity); }
  void CreateStartupShortcut() override { quillo::CreateStartupShortcut(); }
  void DeleteStartupShortcut() override { FindStartupShortcut(frame_.hwnd_, true); }
  void PublishQuote(const char* quote) override { lstrcpynA(g_szQuote, quote, sizeof g_szQuote); }
  // While the sheet keeps the main window out of the topmost layer, the
  // new setting is applied as the sheet's lift ends.
  void SetTopMost(bool onTop) override {
    if (frame_.lifts_ == 0) frame_.SetFrameTopMost(onTop);
  }

 private:
  CMainFrame& frame_;
};

void CMainFrame::SetFrameTopMost(bool topMost) {
  SetWindowPos(hwnd_, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // The bar is what the user sees of "on top": it follows the main window.
  macroBar_.SetTopMost(topMost);
}

void CMainFrame::OnOptions() {
  if (sheetOpen_) {
    MessageBeep(0xFFFFFFFF);
    return;
  }
  sheetOpen_ = true;
  // Chosen from the tray, our hidden window holds the foreground: the sheet
  // belongs over the program the user was in.
  HandBackForeground();
  // Exit may have come while the foreground was handed back: nothing more
  // is started, the look-up included.
  if (closed_ || hwnd_ == nullptr) {
    sheetOpen_ = false;
    return;
  }
  // Looked up before the hooks are told of a sheet: triggers keep working
  // while a slow shortcut is resolved.
  const int startupState = FindStartupShortcutOffThread();
  // The program was told to end while we waited.
  if (closed_ || hwnd_ == nullptr) {
    sheetOpen_ = false;
    return;
  }
  const HWND front = GetForegroundWindow();
  // Not above every program, and a topmost macro bar would cover the sheet
  // and its file choosers.
  LiftTopMost();
  // The user may be pressing the very key in a hot-key field: it must reach
  // the field, not clear the history.
  UnregisterClearHistoryKey(hwnd_, settings_);
  g_bOnDlgDisp = TRUE;
  SheetEffects effects(*this);
  // Owned by our own window: the owner of a modal sheet is disabled while it
  // is up, and the window in front may be another program's, the task bar
  // included, which would stay disabled if we ended meanwhile.
  const bool accepted = RunOptionsSheet(hwnd_, SheetPages::kAll, startupState, settings_, folder_, effects);
  if (accepted && hwnd_ != nullptr) {
    ApplySettingsToSharedBlock(settings_);
    if (settings_.HideIcon) QuilloMessageBox(IDS_ICON_HIDDEN);
    // Hidden now, the icon goes; shown again after "Hide" was unchecked, it
    // comes back at once rather than at the next start.
    ShowTrayState();
  }
  sheetOpen_ = false;
  g_bOnDlgDisp = FALSE;
  // Back on top, unless the user has just switched that off on the Macro page.
  RestoreTopMost();
  // The program was told to end while the sheet was up: the window and its
  // key are gone already, and the settings are saved at the end.
  if (closed_ || hwnd_ == nullptr) return;
  RegisterClearHistoryKey(hwnd_, GetModuleHandleA(nullptr), settings_);
  // What the user accepted survives a crash or a power cut from now on, the
  // key switched off by a failed registration included.
  if (accepted) SaveSettingsNow();
  GiveFrontBack(front);
}

void CMainFrame::OnMacroSheet() {
  if (sheetOpen_) {
    MessageBeep(0xFFFFFFFF);
    return;
  }
  sheetOpen_ = true;
  // From the macro bar, which never takes the activation, the user's program
  // is still in front: only a foreground we hold is handed back.
  if (GetForegroundWindow() == hwnd_) HandBackForeground();
  if (closed_ || hwnd_ == nullptr) {
    sheetOpen_ = false;
    return;
  }
  const HWND front = GetForegroundWindow();
  LiftTopMost();
  SheetEffects effects(*this);
  const bool accepted = RunOptionsSheet(hwnd_, SheetPages::kMacro, -1, settings_, folder_, effects);
  if (accepted) {
    g_bRecKey = settings_.RecKey;
    g_bRecMouse = settings_.RecMouse;
    g_bCutMouseMove = settings_.CutMouseMove;
  }
  sheetOpen_ = false;
  RestoreTopMost();
  if (closed_ || hwnd_ == nullptr) return;
  if (accepted) SaveSettingsNow();
  GiveFrontBack(front);
}

}  // namespace quillo
