#include "macros/macros_win.h"

#include <cstring>
#include <new>

#include "app_routines_win.h"
#include "macros/macro_bar_win.h"
#include "macros/macro_dialogs_res.h"
#include "macros/macro_list_win.h"
#include "macros/macro_player.h"
#include "paste_methods/typing_win.h"
#include "quillo_hook.h"
#include "quillo_messages.h"
#include "shared_block_win.h"
#include "resource.h"

namespace quillo::app {

class FileSink final : public macros::MacroSink {
 public:
  explicit FileSink(HANDLE file) : file_(file) {}
  bool Write(const void* data, uint32_t size) noexcept override {
    DWORD written = 0;
    return WriteFile(file_, data, size, &written, nullptr) && written == size;
  }
  bool SeekTo(uint32_t offset) noexcept override {
    return SetFilePointer(file_, static_cast<LONG>(offset), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
  }

 private:
  HANDLE file_;
};

namespace {

constexpr int kMaxMacroNameChars = 32;
// The bounded wait for a playback thread when the program ends: its waits wake
// on the stop event at once, so only a message box of a pass can hold it.
constexpr DWORD kPlaybackJoinMs = 2000;

class FileSource final : public macros::MacroSource {
 public:
  explicit FileSource(HANDLE file) : file_(file) {}
  uint32_t Read(void* data, uint32_t size) noexcept override {
    DWORD got = 0;
    if (!ReadFile(file_, data, size, &got, nullptr)) return 0;
    return got;
  }

 private:
  HANDLE file_;
};

class WinPlayHost final : public macros::PlayHost {
 public:
  WinPlayHost(std::atomic<LONG>& playing, std::atomic<bool>& stop, HANDLE stopEvent,
              const settings::Settings& settings)
      : playing_(playing), stop_(stop), stopEvent_(stopEvent), settings_(settings) {}
  void SendKey(uint8_t vk, uint8_t scan, bool extended, bool up) noexcept override {
    // A press waits for a text being typed; after a stop only releases go
    // out, as a stopped playback must leave no key down.
    if (!up && !WaitWhileTyping()) return;
    keybd_event(vk, scan, (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0), 0);
  }
  void SendMouse(uint32_t flags, int32_t x, int32_t y) noexcept override {
    constexpr uint32_t kUps = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_RIGHTUP | MOUSEEVENTF_MIDDLEUP | MOUSEEVENTF_XUP;
    if ((flags & ~kUps) != 0 && !WaitWhileTyping()) {
      // Stopped: the button releases alone, where the pointer is.
      flags &= kUps;
      if (flags == 0) return;
      mouse_event(flags, 0, 0, 0, 0);
      return;
    }
    mouse_event(flags | MOUSEEVENTF_ABSOLUTE, static_cast<DWORD>(x), static_cast<DWORD>(y), 0, 0);
  }
  // The hooks clear the shared flag the moment they see Pause; the machine's
  // own flags follow when its window handles the stop.
  bool IsPlaying() noexcept override {
    return playing_.load() != 0 && !stop_.load() && ::quillo::Shared().bPlaying != 0;
  }
  macros::PlayIntervals Intervals() noexcept override {
    // Read at this moment, as the options may change them during a loop.
    return {settings_.PlayStyle, settings_.KeyInterval, settings_.MouseInterval};
  }
  // Sleeps on the stop event rather than the clock alone, so Pause/Break or
  // the stop command ends even the longest gap at once; this thread's own
  // messages are dispatched meanwhile.
  //
  // A wait counts from where the previous one was due to end, not from now:
  // otherwise the time each event takes to inject adds to every gap and the
  // macro drifts slower and slower. A playback that has fallen far behind (the
  // system stalled) does not rush the next events to catch up.
  void Wait(uint32_t ms) noexcept override {
    const DWORD now = GetTickCount();
    const DWORD start = waited_ && now - due_ < kCatchUpMs ? due_ : now;
    due_ = start + ms;
    waited_ = true;
    for (;;) {
      if (!IsPlaying()) return;
      const DWORD elapsed = GetTickCount() - start;
      if (elapsed >= ms) return;
      const DWORD r = MsgWaitForMultipleObjects(1, &stopEvent_, FALSE, ms - elapsed, QS_ALLINPUT);
      if (r == WAIT_OBJECT_0) return;
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
  }

 private:
  // A text the macro chose is typed on the typist's own thread: the macro's
  // next presses and clicks wait until it is typed, or they would land
  // inside it (and a click take the window out of the front). Whether the
  // playback is still on afterwards.
  bool WaitWhileTyping() noexcept {
    bool waited = false;
    while (app::TextBeingTyped() && IsPlaying()) {
      waited = true;
      if (WaitForSingleObject(stopEvent_, kTypingPollMs) == WAIT_OBJECT_0) break;
    }
    // The macro's timing starts again after the text.
    if (waited) waited_ = false;
    return IsPlaying();
  }

  static constexpr DWORD kCatchUpMs = 50;
  static constexpr DWORD kTypingPollMs = 10;
  std::atomic<LONG>& playing_;
  std::atomic<bool>& stop_;
  HANDLE stopEvent_;
  const settings::Settings& settings_;
  DWORD due_ = 0;  // when the previous wait was due to end
  bool waited_ = false;
};

struct DialogText {
  char name[kMaxMacroNameChars + 1] = {};
  const char* shown = "";
};

INT_PTR CALLBACK RecordDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      SendDlgItemMessageA(dlg, IDC_MACRO_NAME, EM_LIMITTEXT, kMaxMacroNameChars, 0);
      return TRUE;  // the name box, first in the tab order, takes the focus
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        auto* text = reinterpret_cast<DialogText*>(GetWindowLongPtrA(dlg, DWLP_USER));
        GetDlgItemTextA(dlg, IDC_MACRO_NAME, text->name, sizeof text->name);
        if (text->name[0] == '\0') {
          QuilloMessageBox(IDS_BAD_MACRO_NAME);
          SetFocus(GetDlgItem(dlg, IDC_MACRO_NAME));
          return TRUE;
        }
        EndDialog(dlg, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

INT_PTR CALLBACK StopDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dlg, IDC_MACRO_NAME, reinterpret_cast<const DialogText*>(lParam)->shown);
      SetFocus(GetDlgItem(dlg, IDOK));
      return FALSE;  // the focus was set here: Save
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDC_MACRO_RESTART:
        case IDC_MACRO_DELETE:
        case IDCANCEL:
          EndDialog(dlg, LOWORD(wParam));
          return TRUE;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Holds a flag up for the life of a scope, whichever way the scope is left.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

MacroMachine::MacroMachine(HWND frame, settings::Settings& settings, std::string programFolder)
    : frame_(frame), settings_(settings), folder_(std::move(programFolder)),
      stopEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  std::string name = settings_.CurMacroName;
  if (!name.empty() && !Exists(PathOf(name))) name.clear();
  SetCurrentMacro(std::move(name));
}

MacroMachine::~MacroMachine() { Shutdown(); }

void MacroMachine::Shutdown() noexcept {
  shutDown_ = true;
  if (recording_) {
    MacroRecording(FALSE);
    // Exit and the end of the session keep the recording as Save does, and
    // a file that could not be written whole must not go unnoticed either.
    if (!FinishRecording()) QuilloMessageBox(IDS_SAVE_MACRO, MB_OK | MB_ICONEXCLAMATION, recordName_.c_str());
  }
  stopRequested_ = true;
  playing_ = 0;
  if (stopEvent_) SetEvent(stopEvent_.get());
  if (thread_) WaitForSingleObject(thread_.get(), kPlaybackJoinMs);
  thread_.reset();
}

std::string MacroMachine::CurrentMacro() const {
  std::lock_guard<std::mutex> lock(currentLock_);
  return current_;
}

void MacroMachine::SetCurrentMacro(std::string name) {
  {
    std::lock_guard<std::mutex> lock(currentLock_);
    current_ = name;
  }
  if (bar_ != nullptr) bar_->ShowMacro(name);
  settings_.CurMacroName = std::move(name);  // kept across runs
}

void MacroMachine::AttachBar(MacroBar* bar) {
  bar_ = bar;
  if (bar_ != nullptr) bar_->ShowMacro(CurrentMacro());
}

bool MacroMachine::ChooseListedMacro(std::string& chosen) {
  switch (ChooseMacroFile(frame_, FolderPath(), CurrentMacro(), chosen)) {
    case MacroListChoice::kNoFiles:
      // Emptied before the box, whose modal loop takes messages meanwhile.
      SetCurrentMacro("");
      QuilloMessageBox(IDS_NO_MACRO_FILE);
      return false;
    case MacroListChoice::kChosen:
      return true;
    case MacroListChoice::kNone:
      break;
  }
  return false;
}

void MacroMachine::OnSelect() {
  std::string chosen;
  if (ChooseListedMacro(chosen)) SetCurrentMacro(chosen);
}

void MacroMachine::OnDelete() {
  std::string chosen;
  if (!ChooseListedMacro(chosen)) return;
  // The file being recorded or played is held without sharing: its deletion
  // fails, and that is not reported.
  DeleteFileA(PathOf(chosen).c_str());
  if (chosen == CurrentMacro()) SetCurrentMacro("");
}

bool MacroMachine::PlaybackRunning() const { return playbackActive_.load(); }

bool MacroMachine::Busy() const {
  // The thread, not only the flag: between two passes of a loop the flag is
  // down for a moment, and a recording must not start then.
  return starting_ || shutDown_ || recording_ || playing() || PlaybackRunning();
}

void MacroMachine::OnRecord() {
  if (Busy()) {
    MessageBeep(MB_OK);
    return;
  }
  // Until the hooks record, a Play (the bar, a menu item's macro tag) would
  // start a playback that the recording then takes in.
  FlagScope starting(starting_);
  DialogText text;
  if (DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MACRO_RECORD), GetForegroundWindow(),
                      RecordDialogProc, reinterpret_cast<LPARAM>(&text)) != IDOK)
    return;
  if (shutDown_) return;
  SetCurrentMacro(std::string(text.name) + ".mcr");  // always appended
  if (!StartRecording() && !shutDown_) SetCurrentMacro("");
}

bool MacroMachine::StartRecording() {
  const std::string dir = FolderPath();
  if (!Exists(dir) && !CreateDirectoryA(dir.c_str(), nullptr)) {
    QuilloMessageBox(IDS_CREATE_FOLDER);
    return false;
  }
  const std::string name = CurrentMacro();
  const std::string path = PathOf(name);
  if (Exists(path) && QuilloMessageBox(IDS_OVERWRITE_MACRO, MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return false;
  auto sink = std::unique_ptr<FileSink>(new (std::nothrow) FileSink(file.get()));
  auto writer = sink ? std::unique_ptr<macros::MacroWriter>(new (std::nothrow) macros::MacroWriter(*sink)) : nullptr;
  if (!writer) {
    file.reset();
    DeleteFileA(path.c_str());
    QuilloMessageBox(IDS_NO_MEMORY);
    return false;
  }
  if (!writer->Begin()) return false;
  recordFile_ = std::move(file);
  recordName_ = name;
  sink_ = std::move(sink);
  writer_ = std::move(writer);
  // The hand-back pumps messages; Play is refused meanwhile (starting_), and
  // a Stop is held for this recording, which has not begun yet.
  stopDuringHandBack_ = false;
  handingBack_ = true;
  if (GetForegroundWindow() == frame_) HandBackForeground();
  handingBack_ = false;
  if (shutDown_) {
    // The window went during the hand-back: nothing was recorded, and an
    // empty file would only be refused at its first Play. The hooks are
    // never switched on for a program that is ending.
    FinishRecording();
    DeleteFileA(path.c_str());
    return false;
  }
  recording_ = true;
  if (stopDuringHandBack_) {
    // The user stopped before the first key: the stop dialog, as for any
    // stop, and the hooks record only if Restart is chosen there.
    OnStop();
    return true;
  }
  MacroRecording(TRUE);
  return true;
}

bool MacroMachine::FinishRecording() {
  const bool complete = writer_ ? writer_->Finish() : true;
  writer_.reset();
  sink_.reset();
  recordFile_.reset();
  recording_ = false;
  return complete;
}

void MacroMachine::OnCopyData(const COPYDATASTRUCT& data) noexcept {
  if (data.dwData == kCopyDataEventRecord) {
    if (!recording_ || stopDialogOpen_ || !writer_ || data.cbData != sizeof(EventRecord) || data.lpData == nullptr)
      return;
    EventRecord record;
    std::memcpy(&record, data.lpData, sizeof record);
    writer_->Append(record);
  } else if (data.dwData == kCopyDataMacroName) {
    if (data.lpData == nullptr) return;
    // The name comes from another process: take it only up to its terminator
    // inside the block, and never more than a path can hold.
    const char* p = static_cast<const char*>(data.lpData);
    const size_t limit = data.cbData < MAX_PATH ? data.cbData : MAX_PATH;
    SetCurrentMacro(std::string(p, strnlen(p, limit)));
  }
}

void MacroMachine::OnStop() {
  if (handingBack_) stopDuringHandBack_ = true;
  if (recording_ && !stopDialogOpen_) {
    // Also off when the stop came from elsewhere than Pause/Break: the keys
    // of the stop dialog are not part of the macro.
    MacroRecording(FALSE);
    writer_->StopDialogOpened(GetTickCount());
    stopDialogOpen_ = true;
    // The file being recorded: the current macro may have been chosen since.
    const std::string name = recordName_;
    DialogText text;
    text.shown = name.c_str();
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MACRO_STOP),
                                           GetForegroundWindow(), StopDialogProc, reinterpret_cast<LPARAM>(&text));
    stopDialogOpen_ = false;
    if (!recording_) {
      // The program ended while the dialog was open; Shutdown kept the file.
    } else if (result == IDOK) {
      if (!FinishRecording()) QuilloMessageBox(IDS_SAVE_MACRO, MB_OK | MB_ICONEXCLAMATION, name.c_str());
    } else if (result == IDC_MACRO_RESTART && writer_->failed()) {
      // Every further record would be refused: say so now, not at a Save
      // long after, and keep what reached the disk.
      FinishRecording();
      QuilloMessageBox(IDS_SAVE_MACRO, MB_OK | MB_ICONEXCLAMATION, name.c_str());
    } else if (result == IDC_MACRO_RESTART) {
      writer_->Restart(GetTickCount());
      MacroRecording(TRUE);
    } else {
      FinishRecording();
      DeleteFileA(PathOf(recordName_).c_str());
      SetCurrentMacro("");
    }
  }
  if (playing_.load() != 0 || PlaybackRunning()) {
    stopRequested_ = true;
    playing_ = 0;
    SetEvent(stopEvent_.get());
  }
}

void MacroMachine::OnPlay() {
  if (Busy()) {
    MessageBeep(MB_OK);
    return;
  }
  FlagScope starting(starting_);
  const std::string name = CurrentMacro();
  if (name.empty()) {
    QuilloMessageBox(IDS_SELECT_MACRO);
    return;
  }
  if (!Exists(PathOf(name))) {
    // Emptied before the box: its modal loop takes messages, and a macro name
    // sent meanwhile (a menu item's macro tag) must not be wiped out after it.
    SetCurrentMacro("");
    QuilloMessageBox(IDS_NO_MACRO_FILE);
    return;
  }
  // A stop that comes during the hand-back (the stop command, Exit) is for
  // this playback: it is armed before the pump and looked at after it. The
  // hooks send Pause/Break as a stop only once the playing flag is up.
  stopRequested_ = false;
  ResetEvent(stopEvent_.get());
  playbackActive_ = true;
  if (GetForegroundWindow() == frame_) HandBackForeground();
  if (stopRequested_ || shutDown_) {
    playbackActive_ = false;
    return;
  }
  thread_.reset(CreateThread(nullptr, 0, PlaybackThread, this, 0, nullptr));
  if (!thread_) playbackActive_ = false;
}

DWORD WINAPI MacroMachine::PlaybackThread(void* self) {
  static_cast<MacroMachine*>(self)->PlayLoop();
  return 0;
}

void MacroMachine::PlayLoop() {
  const int32_t loops = settings_.LoopPlay;
  if (loops == 0) {
    while (!stopRequested_ && PlayPass()) {
    }
  } else if (loops > 0) {
    for (int32_t done = 0; !stopRequested_ && PlayPass();) {
      if (++done >= settings_.LoopPlay) break;  // read again before each further pass
    }
  }
  if (settings_.MessageBeep) MessageBeep(MB_OK);
  playbackActive_ = false;  // the last thing the thread does with this object
}

bool MacroMachine::PlayPass() {
  if (recording_) {
    MacroRecording(FALSE);
    QuilloMessageBox(IDS_PLAY_WHILE_RECORDING);
    return false;
  }
  const std::string path = PathOf(CurrentMacro());
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    QuilloMessageBox(IDS_OPEN_FILE);
    return false;
  }
  LARGE_INTEGER size;
  uint8_t head[macros::kMacroHeaderBytes] = {};
  DWORD got = 0;
  if (!GetFileSizeEx(file.get(), &size) || !ReadFile(file.get(), head, sizeof head, &got, nullptr)) {
    QuilloMessageBox(IDS_BAD_MACRO_FILE);
    return false;
  }
  macros::MacroHeader header;
  // Everything the file promises is checked before the first event plays.
  switch (macros::DecodeHeader(head, got < sizeof head ? got : static_cast<uint64_t>(size.QuadPart), header)) {
    case macros::MacroFileError::kBadFormat:
      QuilloMessageBox(IDS_BAD_MACRO_FILE);
      return false;
    case macros::MacroFileError::kEmpty:
      QuilloMessageBox(IDS_EMPTY_MACRO_FILE);
      return false;
    case macros::MacroFileError::kNone:
      break;
  }
  FileSource source(file.get());
  auto reader = std::unique_ptr<macros::MacroReader>(new (std::nothrow) macros::MacroReader(source));
  if (!reader) {
    QuilloMessageBox(IDS_NO_MEMORY);
    return false;
  }
  playing_ = 1;
  MacroPlaying(TRUE);
  WinPlayHost host(playing_, stopRequested_, stopEvent_.get(), settings_);
  const bool complete =
      reader->Start(header) && macros::PlayEvents(*reader, host) == macros::PlayResult::kComplete;
  playing_ = 0;
  MacroPlaying(FALSE);
  return complete;
}

}  // namespace quillo::app
