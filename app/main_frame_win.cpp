#include "main_frame_win.h"

#include <cstring>
#include <new>
#include <utility>

#include "app_routines_win.h"
#include "clipboard_win.h"
#include "handles_win.h"
#include "help/open_guide_win.h"
#include "history_editor/history_editor_win.h"
#include "history_store.h"
#include "key_stroke_playback.h"
#include "macros/macro_bar.h"
#include "quillo_dlgex.h"
#include "quillo_hook.h"
#include "quillo_messages.h"
#include "resource.h"
#include "settings_win.h"
#include "tray/tray_resource.h"

namespace quillo {
namespace {

constexpr UINT kHotKeyClearHistory = 0;
constexpr UINT kChainTimeoutMs = 5000;
// lParam of a text command's follow-up that we post ourselves when the cut
// text was not stored (the hook library's requests carry wParam != 0).
constexpr LPARAM kCutNotStored = 1;

// Formats by which other programs mark clipboard content as not for a
// history: ours leaves such content alone, as clipboard tools are asked to.
struct ExclusionFormats {
  UINT exclude = 0;  // "ExcludeClipboardContentFromMonitorProcessing"
  UINT ignore = 0;   // "Clipboard Viewer Ignore"
  UINT allow = 0;    // "CanIncludeInClipboardHistory": a zero DWORD excludes
};

const ExclusionFormats& Exclusions() {
  static const ExclusionFormats formats = [] {
    ExclusionFormats f;
    f.exclude = RegisterClipboardFormatA(app::kExclusionFormats[0]);
    f.ignore = RegisterClipboardFormatA(app::kExclusionFormats[1]);
    f.allow = RegisterClipboardFormatA(app::kHistoryPermissionFormat);
    return f;
  }();
  return formats;
}

bool Available(UINT format) { return format != 0 && IsClipboardFormatAvailable(format); }

// GetClipboardSequenceNumber, where the system has it (not on the oldest
// systems we run on, so it is looked up rather than imported); 0 = unknown.
DWORD ClipboardSequence() {
  using Fn = DWORD(WINAPI*)();
  static const Fn fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetClipboardSequenceNumber")));
  return fn != nullptr ? fn() : 0;
}

// Whether the content refuses a place in the history by "CanIncludeInClipboardHistory".
// The clipboard must be open.
bool HistoryRefused() {
  const UINT allow = Exclusions().allow;
  if (!Available(allow)) return false;
  HANDLE h = GetClipboardData(allow);
  if (h == nullptr || GlobalSize(h) < sizeof(DWORD)) return false;
  const auto* value = static_cast<const DWORD*>(GlobalLock(h));
  const bool refused = value != nullptr && *value == 0;
  if (value != nullptr) GlobalUnlock(h);
  return refused;
}

// Copies a clipboard block into `out` (at most `limit` bytes); false when the
// block is missing, empty, larger than the limit or cannot be locked.
bool CopyClipboardBlock(UINT format, size_t limit, std::string& out) {
  HANDLE h = GetClipboardData(format);
  if (h == nullptr) return false;
  const SIZE_T size = GlobalSize(h);
  if (size == 0 || size > limit) return false;
  const char* p = static_cast<const char*>(GlobalLock(h));
  if (p == nullptr) return false;
  out.assign(p, size);
  GlobalUnlock(h);
  return true;
}

}  // namespace

CMainFrame::CMainFrame(settings::Settings& settings, std::string programFolder)
    : settings_(settings),
      folder_(std::move(programFolder)),
      tray_(GetModuleHandleA(nullptr), IDI_QUILLO, settings_.HideIcon),
      history_(GetModuleHandleA(nullptr), folder_) {}

CMainFrame::~CMainFrame() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool CMainFrame::Create() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClassName;
  wc.hIcon = LoadIconA(wc.hInstance, MAKEINTRESOURCEA(IDI_QUILLO));
  RegisterClassA(&wc);
  // The window's menu is the tray menu's home; it goes with the window.
  HMENU menu = LoadMenuA(wc.hInstance, MAKEINTRESOURCEA(IDR_MAINFRAME));
  // A tool window has no task-bar button; the window is never shown.
  HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, "Quillo", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                              nullptr, menu, wc.hInstance, this);
  if (hwnd == nullptr) {
    if (menu != nullptr) DestroyMenu(menu);
    return false;
  }
  ShowWindow(hwnd, SW_HIDE);
  UpdateWindow(hwnd);
  return true;
}

LRESULT CALLBACK CMainFrame::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CMainFrame* self = reinterpret_cast<CMainFrame*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<CMainFrame*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return self->Handle(msg, wParam, lParam);
}

LRESULT CMainFrame::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == taskbarCreated_ && msg != 0) {
    tray_.Restore();
    return 0;
  }
#ifdef _WIN64
  if (companion_.OnMessage(msg, wParam, lParam)) {
    ShowTrayState();  // the tip tells when 32-bit programs are no longer reached
    return 0;
  }
#endif
  switch (msg) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      break;
    case WM_ENDSESSION:
      if (wParam) {
        // The session ends: nothing runs after this, so everything Exit would
        // do happens here, the settings included.
        RemoveHooks();
        SaveMacroBarState();
        UnregisterClearHistoryKey(hwnd_, settings_);
        OnDestroy();
        SaveSettingsToRegistry(folder_, settings_);
      }
      return 0;
    case WM_DRAWCLIPBOARD:
      OnDrawClipboard();
      return 0;
    case WM_CHANGECBCHAIN:
      OnChangeCbChain(reinterpret_cast<HWND>(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_HOTKEY:
      if (wParam == kHotKeyClearHistory && !settings_.Suspend) {
        history_.ClearHistory();
        return 1;
      }
      return 0;
    case kMsgShowIcon:
      // The tray icon comes back for a user who hid it and started us again.
      if (settings_.HideIcon) {
        settings_.HideIcon = false;
        ShowTrayState();
        SaveSettingsNow();
      }
      return 0;
    case kMsgTrayNotify:
      OnTrayNotify(wParam, lParam);
      return 0;
    case kMsgChooseMenuSet:
      // The order is the user's latest choice: kept at once, not only at the end.
      if (MoveMenuFileSetToTopAndPush(settings_, static_cast<int>(wParam))) SaveSettingsNow();
      return 0;
    case kMsgEncloseArm:
    case kMsgConvArm:
    case kMsgDiscloseArm:
      if (wParam != 0) {
        const app::TextCommand command = msg == kMsgEncloseArm ? app::kEnclose
                                         : msg == kMsgConvArm  ? app::kConvert
                                                               : app::kDisclose;
        handover_.Request(command, GetTickCount(), static_cast<int>(lParam));
      } else if (lParam == kCutNotStored) {
        PutCutTextBack(std::string());
      } else {
        OnTextCommandFollowUp(msg);
      }
      return 0;
    case kMsgSkipQuery:
      return OnSkipQuery(static_cast<ATOM>(wParam));
    case WM_COPYDATA: {
      // Sent from hooks in other processes; the block is valid only during the send.
      if (lParam == 0) return 0;
      const COPYDATASTRUCT& data = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (data.dwData == kCopyDataTypeText) return typist_.OnRequest(data);
      if (macros_) macros_->OnCopyData(data);
      return 1;
    }
    case app::kMsgTypingEnded:
      typist_.Reap();
      OnTypingEnded(app::TypingJobOf(wParam), app::TypingEndOf(wParam), static_cast<size_t>(lParam));
      return 0;
    case app::kMsgTypingTooLong:
      QuilloMessageBox(IDS_TYPING_TOO_LONG);
      return 0;
    case kMsgShowMenu:
      ShowMenu(static_cast<int>(wParam), static_cast<int>(lParam));
      return 0;
    case kMsgOpenHelp:
      // Posted from a dialog of the library inside another program.
      OpenGuide(static_cast<int>(static_cast<unsigned>(wParam)));
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kCmdClearHistory:
          history_.ClearHistory();
          return 0;
        case kCmdPlayKeyStrokes:
          PlayKeyStrokes();
          return 0;
        case kCmdPlayMacro:
          if (macros_) macros_->OnPlay();
          return 0;
        case kCmdRecordMacro:
          if (macros_) macros_->OnRecord();
          return 0;
        case kCmdStopMacro:
          if (macros_) macros_->OnStop();
          return 0;
        case kCmdEditMacro:
          OnMacroSheet();
          return 0;
        case ID_TRAY_OPTIONS:
          OnOptions();
          return 0;
        case kCmdSelectMacro:
          if (macros_) macros_->OnSelect();
          return 0;
        case kCmdDeleteMacro:
          if (macros_) macros_->OnDelete();
          return 0;
        case ID_TRAY_MACRO_BAR:
          macroBar_.Toggle();
          return 0;
        case ID_TRAY_EDIT_HISTORY:
          EditHistory(true);
          return 0;
        case kCmdEditHistory:
          EditHistory(false);
          return 0;
        default:
          if (OnTrayCommand(LOWORD(wParam))) return 0;
          break;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

bool CMainFrame::OnCreate() {
  // First of all: joining the clipboard chain below pumps messages, and a
  // macro name sent by another program meanwhile must find its receiver.
  macros_.reset(new (std::nothrow) app::MacroMachine(hwnd_, settings_, folder_));
  if (!macros_) {
    QuilloMessageBox(IDS_NO_MEMORY);
    return false;
  }
  typist_.SetWindow(hwnd_);
  marker_ = RegisterClipboardFormatA("Quillo Marker");
  if (marker_ == 0) {
    QuilloMessageBox(IDS_REGISTER_FORMAT);
    return false;
  }
  g_cfQuilloMarker = marker_;
  if (!history_.CreateHistoryStore(settings_.MaxHistoryNum)) return false;
  tray_.SetNotificationWnd(hwnd_, kMsgTrayNotify);
  ShowTrayState();
  taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
  // The shared block outlives us in every program that has the library
  // loaded: a copy of ours that ended with a sheet open left the flag set,
  // and the hooks would ignore every trigger from now on.
  g_bOnDlgDisp = FALSE;
  // Nor is a text being typed: a copy of ours that died while typing left
  // the flag, and the hooks would take every Escape as a stop.
  g_bTyping = 0;
  g_bStopTyping = 0;
  // The settings are in the block before the hooks can act on them: a block
  // made or reset at this start holds none yet.
  ApplySettingsToSharedBlock(settings_);
  const bool hooked = SetHookProc(hwnd_) != 0 && (settings_.SuspendDirHist || SetDlgHookProc(hwnd_) != 0);
  if (!hooked) {
    QuilloMessageBox(IDS_INSTALL_HOOK);
    // Hooks that did get installed would outlive us in every process: take
    // them out again before the program ends.
    RemoveHooks();
    history_.CloseHistoryStore();
    tray_.SetIcon(static_cast<HICON>(nullptr));
    return false;
  }
  Exclusions();  // registered once, before the first clipboard change arrives
  // Joining the chain delivers WM_DRAWCLIPBOARD at once: what is on the
  // clipboard now enters the history, as any later copy would.
  nextViewer_ = SetClipboardViewer(hwnd_);
  inChain_ = true;
  if (settings_.SaveHist) history_.ReadHistoryFile(nullptr);
  RegisterClearHistoryKey(hwnd_, GetModuleHandleA(nullptr), settings_);
  if (!CreateMacroBar()) return false;
  ApplyTopMost();
#ifdef _WIN64
  // Our own hooks are in: now the 32-bit ones, for 32-bit programs.
  companion_.Start(hwnd_, folder_);
  ShowTrayState();
#endif
  return true;
}

bool CMainFrame::CreateMacroBar() {
  RegistrySettingsStore store;
  if (!macroBar_.Create(hwnd_, macros::LoadMacroBarPlace(store), settings_.DispTopMost)) return false;
  barStateLoaded_ = true;
  macros_->AttachBar(&macroBar_);
  return true;
}

void CMainFrame::SaveMacroBarState() {
  if (!barStateLoaded_) return;
  barStateLoaded_ = false;
  RegistrySettingsStore store;
  macros::SaveMacroBarPlace(store, macroBar_.Place());
}

void CMainFrame::ApplyTopMost() { SetFrameTopMost(settings_.DispTopMost != 0); }

void CMainFrame::RemoveHooks() {
  Handle32<HHOOK>* hooks[] = {&g_hKeyHook, &g_hMouseHook, &g_hSysMsgHook, &g_hCallWndHook};
  for (Handle32<HHOOK>* h : hooks) {
    const HHOOK hook = *h;
    if (hook == nullptr) continue;
    if (!UnhookWindowsHookEx(hook)) QuilloMessageBox(IDS_UNINSTALL_HOOK, MB_OK | MB_ICONSTOP);
    *h = nullptr;
  }
  // The library stays loaded in other programs after we end: let it know there
  // is no resident window any more, rather than have it post to a handle the
  // system may give to some other window.
  if (g_hwndQuillo == hwnd_) PublishResidentWindow(nullptr);
}

void CMainFrame::EditHistory(bool fromTray) {
  if (editorOpen_) {
    // The editor is up already: it comes to the front, nothing else changes.
    if (hwnd_ != nullptr) RunHistoryEditor(hwnd_, history_);
    return;
  }
  editorOpen_ = true;
  // From the tray menu the user was elsewhere a moment ago: give that
  // program the foreground back, so the editor opens over it.
  if (fromTray) HandBackForeground();
  // Exit may have come while the foreground was handed back.
  if (closed_ || hwnd_ == nullptr) {
    editorOpen_ = false;
    return;
  }
  const HWND front = GetForegroundWindow();
  LiftTopMost();
  // Owned by our own window, never by the one in front: a modal editor
  // disables its owner, and another program's window (the task bar, say)
  // would stay disabled if we ended meanwhile.
  RunHistoryEditor(hwnd_, history_);
  editorOpen_ = false;
  RestoreTopMost();
  GiveFrontBack(front);
}

void CMainFrame::LiftTopMost() {
  if (lifts_++ == 0 && settings_.DispTopMost && hwnd_ != nullptr) SetFrameTopMost(false);
}

void CMainFrame::RestoreTopMost() {
  if (lifts_ > 0) --lifts_;
  if (lifts_ == 0 && !closed_ && hwnd_ != nullptr) ApplyTopMost();
}

void CMainFrame::GiveFrontBack(HWND front) {
  if (closed_ || hwnd_ == nullptr || front == nullptr || front == hwnd_ || !IsWindow(front)) return;
  const HWND now = GetForegroundWindow();
  if (now == hwnd_ || now == nullptr) SetForegroundWindow(front);
}

void CMainFrame::SaveSettingsNow() {
  if (!SaveSettingsToRegistry(folder_, settings_)) QuilloMessageBox(IDS_SAVE_SETTINGS);
}

void CMainFrame::OnClose() {
  // Typing ends before anything it uses: the hooks, the window it reports to;
  // and a key-stroke item waiting for it goes no further.
  typist_.Stop();
  AbandonKeyStrokeItem();
  if (!closed_) {
    closed_ = true;
    RemoveHooks();
    SaveMacroBarState();
    UnregisterClearHistoryKey(hwnd_, settings_);
  }
  DestroyWindow(hwnd_);
}

void CMainFrame::OnDestroy() {
  typist_.Stop();
  AbandonKeyStrokeItem();
#ifdef _WIN64
  // Its hooks post to this window: it goes first.
  companion_.Stop();
#endif
  // A playback must not go on typing after the hooks and the window are gone,
  // and a recording in progress is kept as far as it got.
  if (macros_) macros_->Shutdown();
  tray_.SetIcon(static_cast<HICON>(nullptr));
  if (inChain_) {
    ChangeClipboardChain(hwnd_, nextViewer_);
    inChain_ = false;
  }
  if (history_.HasMapping()) {
    if (settings_.SaveHist) {
      history_.WriteHistoryFile(nullptr);
    } else {
      history_.DeleteDefaultHistoryFile();
    }
    history_.CloseHistoryStore();
  }
  if (!closed_) {
    closed_ = true;
    RemoveHooks();
  }
  PostQuitMessage(0);
}

void CMainFrame::OnDrawClipboard() {
  const bool skipped = CaptureClipboard();
  // The chain is passed on synchronously, but never at the price of hanging
  // with a viewer that no longer answers: the libraries wait on this window.
  if (nextViewer_ != nullptr) {
    SendMessageTimeoutA(nextViewer_, WM_DRAWCLIPBOARD, 0, 0, SMTO_ABORTIFHUNG, kChainTimeoutMs, nullptr);
  }
  const bool commandPending = handover_.pending() != app::kNoCommand;
  const bool hasText = IsClipboardFormatAvailable(CF_TEXT) != FALSE;
  const unsigned followUp = handover_.OnClipboardChange(hasText, skipped, GetTickCount());
  if (followUp != 0) {
    cutText_ = lastStored_;
    PostMessageA(hwnd_, followUp, 0, 0);
  } else if (commandPending && hasText && skipped) {
    // The cut text never reached the history (too large, the clipboard kept
    // busy, a program we leave alone): the command cannot rework it, and the
    // selection it cut is pasted back from the clipboard, after this message.
    PostMessageA(hwnd_, kMsgEncloseArm, 0, kCutNotStored);
  }
}

bool CMainFrame::CaptureClipboard() {
  // A program that changes the clipboard faster than we read it leaves a
  // queue of notifications behind, all about content we have already seen
  // (or the same newest one): only the first notification per change reads
  // the clipboard.
  const DWORD sequence = ClipboardSequence();
  if (sequence != 0 && sequence == lastSequence_) return lastSkip_;
  lastSequence_ = sequence;
  lastSkip_ = CaptureChange();
  return lastSkip_;
}

bool CMainFrame::CaptureChange() {
  app::CaptureFacts facts;
  facts.suspend = settings_.Suspend;
  facts.suspendHistory = settings_.SuspendHist;
  facts.skipWord = settings_.SkipWord;
  char title[260] = {};
  if (HWND front = GetForegroundWindow()) {
    GetWindowTextA(front, title, sizeof title);
    facts.foregroundTitle = title;
  }
  facts.hasText = IsClipboardFormatAvailable(CF_TEXT) != FALSE;
  facts.hasMarker = Available(marker_);
  facts.excludedByOwner = Available(Exclusions().exclude) || Available(Exclusions().ignore);
  const app::CaptureDecision decision = app::DecideCapture(facts);
  if (!decision.open) return decision.skip;
  // From here on, a text that does not become entry 0 (the clipboard stays
  // busy, the text is larger than the store takes) is a skip: a pending text
  // command would otherwise rework an older entry over the user's selection.
  // The program that just changed the clipboard may still hold it.
  if (!OpenClipboardPatiently(hwnd_)) return true;
  std::string text;
  bool refused = HistoryRefused();
  // The clipboard is held only for the copy; the store is written after.
  const bool copied = !refused && CopyClipboardBlock(CF_TEXT, app::kLargestCapturedText, text);
  CloseClipboard();
  if (refused) return true;
  if (!copied) return true;
  text.push_back('\0');  // a block need not hold its own terminator
  if (!history_.AddHistoryEntry(text.c_str())) return true;
  lastStored_.assign(text.c_str());
  return false;
}

void CMainFrame::OnChangeCbChain(HWND removed, HWND next) {
  if (removed == nextViewer_) {
    nextViewer_ = next;
  } else if (nextViewer_ != nullptr) {
    SendMessageTimeoutA(nextViewer_, WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(removed),
                        reinterpret_cast<LPARAM>(next), SMTO_ABORTIFHUNG, kChainTimeoutMs, nullptr);
  }
}

LRESULT CMainFrame::OnSkipQuery(ATOM atom) {
  char path[256] = {};
  if (GlobalGetAtomNameA(atom, path, sizeof path) == 0) return 0;
  return settings::IsSkippedProgram(settings_, path) ? 1 : 0;
}

void CMainFrame::OnTextCommandFollowUp(UINT msg) {
  // The cut text is entry 0 now. The application in front may still be busy
  // with its cut: give it the configured time (pumping, so that further
  // clipboard changes are captured meanwhile) before its selection is pasted over.
  // The cut text is taken before the wait: a further command's cut captured
  // meanwhile replaces cutText_, and is not the text this command cut.
  const std::string cut = std::move(cutText_);
  cutText_.clear();
  if (!Wait(static_cast<DWORD>(settings_.EncloseTimeLag < 0 ? 0 : settings_.EncloseTimeLag))) return;
  // Copies captured during the wait have pushed the cut text down: the second
  // phase reworks entry 0, so it runs only while that is still the cut text,
  // and otherwise the user's text goes back as it was.
  if (!history_.NewestEntryIs(cut)) {
    PutCutTextBack(cut);
    return;
  }
  switch (msg) {
    case kMsgEncloseArm:
      EncloseText(nullptr, FALSE);
      break;
    case kMsgConvArm:
      ConvText(handover_.conversionKind(), FALSE);
      break;
    case kMsgDiscloseArm:
      DiscloseText(nullptr, FALSE);
      break;
    default:
      break;
  }
}

void CMainFrame::PutCutTextBack(const std::string& cut) {
  // Another text command that cut meanwhile owns the clipboard and the place
  // of the caret: its second phase runs, and this cut text stays in the history.
  auto another = [this] { return !cutText_.empty() || handover_.pending() != app::kNoCommand; };
  if (another()) return;
  if (cut.empty()) {
    // The clipboard still holds the cut text: the program may be busy with
    // its cut as long as before a second phase.
    if (!Wait(static_cast<DWORD>(settings_.EncloseTimeLag < 0 ? 0 : settings_.EncloseTimeLag))) return;
    if (another()) return;
  } else if (!CopyTextToClip(cut.c_str(), TRUE)) {
    // Marked as ours: the text goes back without becoming a new entry.
    return;
  }
  PasteText();
}

void CMainFrame::OnTypingEnded(uint32_t job, app::TypingEnd end, size_t typed) {
  if (!itemSteps_.empty() && job == itemWaitsFor_) {
    // A key-stroke item typed a piece of its text: the rest of the item
    // follows the whole piece, and none of it a piece cut short.
    itemWaitsFor_ = 0;
    if (end == app::TypingEnd::kDone) {
      RunKeyStrokeSteps();
    } else {
      AbandonKeyStrokeItem();
    }
  }
  // The user's own stop, the whole text and the end of the program need no
  // word; any other end left the text cut short where the user may not see.
  UINT id = 0;
  switch (end) {
    case app::TypingEnd::kTargetLeftFront: id = IDS_TYPING_LEFT_FRONT; break;
    case app::TypingEnd::kTargetGone: id = IDS_TYPING_TARGET_GONE; break;
    case app::TypingEnd::kInputRefused: id = IDS_TYPING_REFUSED; break;
    default: return;
  }
  QuilloMessageBox(id, MB_OK | MB_ICONEXCLAMATION, std::to_string(typed).c_str());
}

void CMainFrame::PlayKeyStrokes() {
  if (!IsClipboardFormatAvailable(CF_TEXT) || !Available(marker_)) return;
  if (!OpenClipboardPatiently(hwnd_)) return;
  std::string text;
  std::string marker;
  if (!CopyClipboardBlock(CF_TEXT, history::kBlockSize, text) ||
      !CopyClipboardBlock(marker_, 0x7fffffff, marker)) {
    CloseClipboard();
    return;
  }
  EmptyClipboard();
  CloseClipboard();
  const size_t textLen = strnlen(text.data(), text.size());
  // A newer item replaces one still under way, as its keys would otherwise
  // mix with this one's.
  AbandonKeyStrokeItem();
  itemSteps_ = app::PlanKeyStrokePlayback(text.data(), textLen, reinterpret_cast<const uint8_t*>(marker.data()),
                                          marker.size());
  itemNext_ = 0;
  itemWaitsFor_ = 0;
  ++itemGeneration_;
  RunKeyStrokeSteps();
}

void CMainFrame::RunKeyStrokeSteps() {
  const uint32_t generation = itemGeneration_;
  const DWORD lag = static_cast<DWORD>(settings_.KeyStrokeTimeLag < 0 ? 0 : settings_.KeyStrokeTimeLag);
  while (itemNext_ < itemSteps_.size()) {
    // A copy: the waits below dispatch messages, and a newer item may take
    // the list's place meanwhile.
    const app::PlaybackStep step = itemSteps_[itemNext_++];
    switch (step.kind) {
      case app::PlaybackStep::kPaste:
        if (!CopyTextToClip(step.text.c_str(), TRUE)) continue;
        {
          if (typist_.busy()) {
            // Another text is being typed: this piece would be refused, and
            // the item's keys after it would land inside that text.
            AbandonKeyStrokeItem();
            return;
          }
          const uint32_t before = typist_.lastStarted();
          PasteText();
          if (typist_.lastStarted() != before) {
            // The piece is being typed on the typist's thread: the item
            // goes on when it ends (OnTypingEnded), and this thread is free
            // meanwhile.
            itemWaitsFor_ = typist_.lastStarted();
            return;
          }
        }
        break;
      case app::PlaybackStep::kKeyPress:
      case app::PlaybackStep::kKeyDown:
      case app::PlaybackStep::kKeyUp: {
        // The item's keys are the program's, not the user's: a macro records
        // the choice of the item, and its playback chooses it again. The
        // recording is asked about for each key, as a wait between keys lets
        // the stop dialog open or close.
        const bool bracket = macros_ && macros_->HooksRecording();
        if (bracket) SuspendRec();
        if (step.kind != app::PlaybackStep::kKeyUp) keybd_event(step.vk, 0, 0, 0);
        if (step.kind != app::PlaybackStep::kKeyDown) keybd_event(step.vk, 0, KEYEVENTF_KEYUP, 0);
        NoteItemKey(step.vk, step.kind == app::PlaybackStep::kKeyDown);
        if (bracket) ResumeRec();
        break;
      }
      case app::PlaybackStep::kWait:
        if (!Wait(step.delayMs)) return;
        break;
      case app::PlaybackStep::kBadRecord:
        QuilloMessageBox(IDS_BAD_KEY_STROKE);
        break;
    }
    // Exit arrived meanwhile: the rest of the keys would go to whatever
    // window is in front by then.
    if (!Wait(lag)) return;
    if (generation != itemGeneration_) return;  // a newer item runs instead
  }
  itemSteps_.clear();
  itemKeysDown_.clear();
}

void CMainFrame::NoteItemKey(uint8_t vk, bool down) {
  for (size_t i = 0; i < itemKeysDown_.size(); ++i) {
    if (itemKeysDown_[i] == vk) itemKeysDown_.erase(itemKeysDown_.begin() + static_cast<std::ptrdiff_t>(i--));
  }
  if (down) itemKeysDown_.push_back(vk);
}

void CMainFrame::AbandonKeyStrokeItem() {
  // A key the item pressed and meant to release later goes up now: no
  // stopped item leaves a key down for the whole desktop.
  const bool bracket = !itemKeysDown_.empty() && macros_ && macros_->HooksRecording();
  if (bracket) SuspendRec();
  for (auto it = itemKeysDown_.rbegin(); it != itemKeysDown_.rend(); ++it) keybd_event(*it, 0, KEYEVENTF_KEYUP, 0);
  if (bracket) ResumeRec();
  itemKeysDown_.clear();
  itemSteps_.clear();
  itemNext_ = 0;
  itemWaitsFor_ = 0;
  ++itemGeneration_;
}

}  // namespace quillo
