// The resident program's macro machinery: recording into a macro file from the
// hooks' records, the stop dialog, and playback on a worker thread. Owned by
// the main window; every entry point but the playback thread runs on the
// user-interface thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "handles_win.h"
#include "macros/macro_file.h"
#include "settings.h"

namespace quillo::app {

class FileSink;
class MacroBar;

class MacroMachine {
 public:
  MacroMachine(HWND frame, settings::Settings& settings, std::string programFolder);
  ~MacroMachine();
  MacroMachine(const MacroMachine&) = delete;
  MacroMachine& operator=(const MacroMachine&) = delete;

  void OnRecord();  // 32801
  void OnStop();    // 32802
  void OnPlay();    // 32800
  void OnSelect();  // 32803: the macro list menu chooses the current macro
  void OnDelete();  // 32804: the macro list menu chooses a file to delete
  // The bar whose caption follows the current macro from now on; null: none.
  void AttachBar(MacroBar* bar);
  // WM_COPYDATA: a record (dwData 0) or a macro name (dwData 1).
  void OnCopyData(const COPYDATASTRUCT& data) noexcept;
  // Ends a playback before the program ends, waiting a bounded time.
  void Shutdown() noexcept;

  std::string CurrentMacro() const;
  bool recording() const { return recording_.load(); }
  bool playing() const { return playing_.load() != 0; }
  // The hooks record what passes now: keys the program synthesises must be
  // bracketed with SuspendRec and ResumeRec to stay out of the macro.
  bool HooksRecording() const { return recording_.load() && !stopDialogOpen_; }

 private:
  std::string FolderPath() const { return folder_ + "\\DirMacro"; }
  std::string PathOf(const std::string& name) const { return FolderPath() + "\\" + name; }
  void SetCurrentMacro(std::string name);
  // The list menu over DirMacro; true with a file chosen. No files at all:
  // the current macro is forgotten and the user told.
  bool ChooseListedMacro(std::string& chosen);
  bool StartRecording();
  // False when a write of the recording failed: the file holds only what
  // reached the disk, and the header counts exactly that.
  bool FinishRecording();
  bool PlaybackRunning() const;
  // Record or Play may not begin: something is recorded or played, another
  // Record or Play is between its check and its start, or the program ends.
  bool Busy() const;

  static DWORD WINAPI PlaybackThread(void* self);
  void PlayLoop();
  bool PlayPass();

  HWND frame_;
  MacroBar* bar_ = nullptr;
  settings::Settings& settings_;
  std::string folder_;

  mutable std::mutex currentLock_;  // the playback thread reads it at each pass
  std::string current_;

  // Record and Play each pump messages (a dialog, a question, the hand-back
  // of the foreground) between their check and their start, and any command
  // can run meanwhile: this holds the refusal for that whole stretch.
  bool starting_ = false;
  // Set by Shutdown: a Record or Play whose pump saw the window go must not
  // start anything afterwards.
  bool shutDown_ = false;

  // Recording (user-interface thread only).
  std::atomic<bool> recording_{false};  // also read by the playback thread
  // Record hands the foreground back before the hooks record: a Stop that
  // comes meanwhile is noted and acted on once the recording has begun.
  bool handingBack_ = false;
  bool stopDuringHandBack_ = false;
  bool stopDialogOpen_ = false;
  // The file being recorded: the current macro may change meanwhile (the
  // list menu, a menu item's macro tag), and the stop dialog's Delete must
  // remove the recording, not the macro chosen since.
  std::string recordName_;
  UniqueHandle recordFile_;
  std::unique_ptr<FileSink> sink_;
  std::unique_ptr<macros::MacroWriter> writer_;

  // Playback: the flag is what the thread watches; the event wakes its waits.
  std::atomic<LONG> playing_{0};
  std::atomic<bool> stopRequested_{false};
  // From Play until the thread has finished its last pass and beep: Record and
  // Play are refused meanwhile, also in the moment between two passes when
  // the playing flag is down.
  std::atomic<bool> playbackActive_{false};
  UniqueHandle stopEvent_;
  UniqueHandle thread_;
};

}  // namespace quillo::app
