// The resident program's hidden main window: owner of the history store, the
// place in the clipboard-viewer chain and the clear-history key, and the
// receiver of every request the two libraries send from other processes.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "capture.h"
#include "deliverable_names.h"
#ifdef _WIN64
#include "companion/companion_launcher_win.h"
#endif
#include "history_store_win.h"
#include "key_stroke_playback.h"
#include "macros/macro_bar_win.h"
#include "macros/macros_win.h"
#include "paste_methods/typing_win.h"
#include "settings.h"
#include "tray/tray_icon_win.h"

namespace quillo {

class CMainFrame {
 public:
  CMainFrame(settings::Settings& settings, std::string programFolder);
  ~CMainFrame();
  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  // Creates the window (the creation steps run in WM_CREATE); false when the
  // program cannot go on. The window stays hidden.
  bool Create();
  HWND hwnd() const { return hwnd_; }

  static constexpr const char* kClassName = kResidentWindowClass;

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);

  bool OnCreate();
  void RemoveHooks();
  void OnClose();
  void OnDestroy();
  void OnDrawClipboard();
  bool CaptureClipboard();  // returns the skip flag: the text did not reach the history
  bool CaptureChange();
  void OnChangeCbChain(HWND removed, HWND next);
  LRESULT OnSkipQuery(ATOM atom);
  void OnTextCommandFollowUp(UINT msg);
  // A cut whose second phase cannot run: the user's text goes back in place.
  void PutCutTextBack(const std::string& cut);
  void PlayKeyStrokes();
  // Plays the key-stroke item's steps from itemNext_ on, until its end or a
  // piece that is being typed.
  void RunKeyStrokeSteps();
  // Gives the item up where it is, its pressed keys released.
  void AbandonKeyStrokeItem();
  // Keeps track of the keys the item holds down.
  void NoteItemKey(uint8_t vk, bool down);
  void OnTypingEnded(uint32_t job, app::TypingEnd end, size_t typed);
  bool CreateMacroBar();
  void SaveMacroBarState();
  // DispTopMost: the main window, and the bar it owns with it, above all others.
  void ApplyTopMost();

  // The tray icon and its menu (tray/tray_commands_win.cpp).
  void ShowTrayState();
  void OnTrayNotify(WPARAM id, LPARAM mouseMessage);
  bool OnTrayCommand(UINT command);  // false: not a command of the tray menu
  void ToggleDialogExtension();
  void OpenInEditor(const std::string& path);

  // The options sheet and the macro sheet (options/options_command_win.cpp).
  void OnOptions();
  void OnMacroSheet();
  class SheetEffects;
  // Keeps the main window, and the macro bar it owns, above other windows or
  // not; the macro bar's own z-order follows from its owner.
  void SetFrameTopMost(bool topMost);
  // Our sheets and the history editor are owned by the main window, and a
  // window owned by a topmost one is topmost too: they would float over
  // every program (help included). The main window leaves the topmost layer
  // while any of them is open; the last to close puts DispTopMost back.
  void LiftTopMost();
  void RestoreTopMost();
  // A modal window of ours hands the activation to its owner, our hidden
  // window, when it closes: `front`, the window in front before it opened,
  // gets the foreground back, as long as nothing else took it meanwhile.
  void GiveFrontBack(HWND front);
  // The settings in the registry now; the user hears when that failed.
  void SaveSettingsNow();
  // "Edit History..." from the tray (which took the foreground) or the stack menu.
  void EditHistory(bool fromTray);

  settings::Settings& settings_;
  std::string folder_;
  HWND hwnd_ = nullptr;
  CTrayIcon tray_;
  UINT taskbarCreated_ = 0;  // broadcast when the shell's task bar (re)starts
  HistoryStore history_;
  HWND nextViewer_ = nullptr;
  bool inChain_ = false;
  app::TextCommandHandover handover_;
  std::string lastStored_;  // the text of the last clipboard change that became entry 0
  std::string cutText_;     // the text a pending second phase is to rework
  app::MacroBar macroBar_;  // before the machine, which shows the macro on it
  std::unique_ptr<app::MacroMachine> macros_;  // created with the window
  app::Typist typist_;  // types texts for the programs that take them typed
  // The key-stroke item being played, its next step, and the typed text it
  // waits for (0: none).
  std::vector<app::PlaybackStep> itemSteps_;
  size_t itemNext_ = 0;
  uint32_t itemWaitsFor_ = 0;
  uint32_t itemGeneration_ = 0;
  std::vector<uint8_t> itemKeysDown_;  // pressed by the item and not yet released
  bool barStateLoaded_ = false;  // the bar's place was read and is saved once at the end
  UINT marker_ = 0;
  DWORD lastSequence_ = 0;  // clipboard sequence number of the last change looked at
  bool lastSkip_ = false;
  bool closed_ = false;  // the close steps ran (WM_CLOSE or the end of the session)
  bool sheetOpen_ = false;  // the options sheet or the macro sheet is shown
  bool editorOpen_ = false;  // the history editor is shown
  int lifts_ = 0;  // open windows of ours that keep the main window out of the topmost layer
#ifdef _WIN64
  CompanionLauncher companion_;  // holds the 32-bit hooks for 32-bit programs
#endif
};

}  // namespace quillo
