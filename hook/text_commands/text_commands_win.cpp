// Enclose, disclose and convert the selection of the application in front.
//
// Phase 1 runs there, inside the tag expansion: the form goes into the shared
// block, the resident window is told that a command is pending, and the cut
// keys put the selection on the clipboard. The resident program captures the
// cut text as history entry 0 and, after its delay, calls the export again in
// its own process: phase 2 reworks entry 0 and pastes the result, with the
// marker format so that the result stays out of the history.
#include "text_commands/text_commands_win.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "dbcs.h"
#include "delivery_win.h"
#include "dialog_support_win.h"
#include "message_box_win.h"
#include "process_state.h"
#include "quillo_hook.h"
#include "quillo_messages.h"
#include "resource.h"
#include "shared_block.h"
#include "text_commands/convert.h"
#include "text_commands/enclose.h"
#include "text_commands/text_commands_res.h"

namespace quillo::hook {
namespace {

constexpr int kEncloseHelpTopic = help::kEncloseForm;
constexpr int kDiscloseHelpTopic = help::kDiscloseForm;
constexpr int kMaxFormDialogChars = 260;
// The resident window answers a request at once; one that does not within this
// time must not freeze the application in front.
constexpr UINT kSendTimeoutMs = 5000;

void Warn(UINT id) { ShowQuilloMessage(State().instance, id, MB_OK | MB_ICONEXCLAMATION); }

// ---- The form dialogs ----

struct FormDialog {
  int helpTopic;
  char text[kMaxFormDialogChars + 1];
};

INT_PTR CALLBACK FormDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      CentreDialog(dialog);
      SendDlgItemMessageA(dialog, IDC_FORM_TEXT, EM_LIMITTEXT, kMaxFormDialogChars, 0);
      return TRUE;  // the focus goes to the edit field, the first tab stop
    case WM_COMMAND: {
      auto* data = reinterpret_cast<FormDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
      switch (LOWORD(wParam)) {
        case IDOK: {
          const int length = GetWindowTextLengthA(GetDlgItem(dialog, IDC_FORM_TEXT));
          if (data == nullptr || length < 1 || length > kMaxFormDialogChars) {
            MessageBeep(MB_OK);
            return TRUE;
          }
          GetDlgItemTextA(dialog, IDC_FORM_TEXT, data->text, sizeof data->text);
          EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        case IDC_FORM_HELP:
          if (data != nullptr) OpenHelp(data->helpTopic);
          return TRUE;
        default:
          break;
      }
      break;
    }
    default:
      break;
  }
  return FALSE;
}

// Asks for the form; false when cancelled or the dialog could not be made
// (message 2003, shown here).
bool AskForm(bool disclose, std::string& form) {
  FormDialog data = {disclose ? kDiscloseHelpTopic : kEncloseHelpTopic, ""};
  INT_PTR result = -1;
  {
    HelpTopicScope help(data.helpTopic);
    result = DialogBoxParamA(State().instance, MAKEINTRESOURCEA(disclose ? IDD_DISCLOSE_FORM : IDD_ENCLOSE_FORM),
                             GetForegroundWindow(), FormDialogProc, reinterpret_cast<LPARAM>(&data));
  }
  // The dialog leaves a hole in the application it covered until that repaints.
  if (HWND front = GetForegroundWindow()) RedrawWindow(front, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
  if (result == -1) {
    Warn(IDS_CREATE_RESOURCE);
    return false;
  }
  if (result != 1) return false;
  data.text[kMaxFormDialogChars] = '\0';
  form += data.text;
  return true;
}

// Tells the resident window which command is pending. The cut that follows
// only makes sense when it heard us: without a resident program nobody would
// paste anything back, and the user's selection would simply be gone.
bool ArmResident(UINT message, LPARAM lParam) {
  HWND resident = ResidentWindow();
  if (resident == nullptr) return false;
  DWORD_PTR answer = 0;
  return SendMessageTimeoutA(resident, message, 1, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer) != 0;
}

// The case of each single byte as the system's code page has it.
BOOL CALLBACK BuildPlatformCaseTable(PINIT_ONCE, PVOID table, PVOID*) {
  CaseTable& t = *static_cast<CaseTable*>(table);
  for (int i = 0; i < 256; ++i) {
    char upper = static_cast<char>(i), lower = static_cast<char>(i);
    if (i != 0 && !IsDBCSLeadByte(static_cast<BYTE>(i))) {
      CharUpperBuffA(&upper, 1);
      CharLowerBuffA(&lower, 1);
    }
    t.upper[i] = static_cast<unsigned char>(upper);
    t.lower[i] = static_cast<unsigned char>(lower);
  }
  return TRUE;
}

}  // namespace

ConvRules RulesOfThisSystem() noexcept {
  ConvRules rules;
  rules.codePage = static_cast<int>(GetACP());
  if (rules.codePage == 932) {
    rules.singleByte = &AsciiCaseTable();
  } else if (rules.codePage == 1252) {
    rules.singleByte = &CaseTable1252();
  } else {
    // Built once per process by whichever thread comes first; the others
    // wait for it. The system's one-time initialisation rather than a
    // function-local static: that would link a threading library into the
    // hook library for this one table.
    static CaseTable platform;
    static INIT_ONCE built = INIT_ONCE_STATIC_INIT;
    InitOnceExecuteOnce(&built, BuildPlatformCaseTable, &platform, nullptr);
    rules.singleByte = &platform;
  }
  return rules;
}

namespace {

enum class Command { kEnclose, kDisclose, kConvert };

// A new global block with the reworked text, or null (no memory).
HGLOBAL Rework(Command command, int kind, const char* text) {
  const size_t length = std::strlen(text);
  char head[kEncloseFormBytes];
  char tail[kEncloseFormBytes];
  // The form lives in shared memory: read it once, terminated.
  std::memcpy(head, g_szEncloseHead, sizeof head);
  std::memcpy(tail, g_szEncloseTail, sizeof tail);
  head[sizeof head - 1] = tail[sizeof tail - 1] = '\0';
  const bool eachLine = g_bEncloseEachLine != FALSE;
  size_t bytes = 0;
  switch (command) {
    case Command::kEnclose: bytes = EnclosedTextBytes(text, head, tail, eachLine); break;
    case Command::kDisclose: bytes = DisclosedTextBytes(text, head, tail, eachLine); break;
    case Command::kConvert: bytes = ConvertedTextBytes(length); break;
  }
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes);
  if (block == nullptr) return nullptr;
  char* out = static_cast<char*>(GlobalLock(block));
  if (out == nullptr) {
    GlobalFree(block);
    return nullptr;
  }
  switch (command) {
    case Command::kEnclose: EncloseLines(text, head, tail, eachLine, out, bytes); break;
    case Command::kDisclose: DiscloseLines(text, head, tail, eachLine, out, bytes); break;
    case Command::kConvert: ConvertText(kind, text, length, out, bytes, RulesOfThisSystem()); break;
  }
  GlobalUnlock(block);
  return block;
}

// Phase 2, in the resident program's process: history entry 0 reworked and
// pasted into the application in front.
BOOL SecondPhase(Command command, int kind) {
  bool noMemory = false;
  HGLOBAL entry = CopyHistoryEntryToBlock(0, &noMemory);
  if (entry == nullptr) {
    // A missing history store ends the command silently.
    if (noMemory) Warn(IDS_NO_MEMORY);
    return FALSE;
  }
  HGLOBAL result = nullptr;
  if (const char* text = static_cast<const char*>(GlobalLock(entry))) {
    result = Rework(command, kind, text);
    GlobalUnlock(entry);
  }
  GlobalFree(entry);
  if (result == nullptr) {
    Warn(IDS_NO_MEMORY);
    return FALSE;
  }
  // On failure (message 2023, shown there) the block is still ours.
  if (!SetTextToClip(nullptr, TRUE, result)) {
    GlobalFree(result);
    return FALSE;
  }
  PasteText();
  return TRUE;
}

}  // namespace

TextCommandStart StartEnclose(const char* formText, bool disclose) noexcept {
  TextCommandStart start;
  try {
    std::string copy = formText != nullptr ? formText : "";
    copy.resize(text::Trim(&copy[0]));
    const char* letters = disclose ? "E-" : "E";
    if (copy == letters && !AskForm(disclose, copy)) return start;
    // The notation follows the tag letters.
    const size_t skip = copy.compare(0, std::strlen(letters), letters) == 0 ? std::strlen(letters) : 0;
    EncloseForm form;
    const FormParse parsed = ParseEncloseForm(copy.c_str() + skip, form);
    if (parsed == FormParse::kBadFormat) {
      start.messageId = IDS_BAD_TAG;
      return start;
    }
    std::memcpy(g_szEncloseHead, form.head, sizeof form.head);
    std::memcpy(g_szEncloseTail, form.tail, sizeof form.tail);
    g_bEncloseEachLine = form.eachLine ? TRUE : FALSE;
    if (parsed == FormParse::kEmpty) return start;

    if (State().choiceMode == -1) {
      // Chosen with the right button or with Shift: the form itself is pasted
      // at the caret, and nothing is cut.
      const std::string both = std::string(form.head) + form.tail;
      if (!SetTextToClip(both.c_str(), TRUE, nullptr)) return start;
      PasteText();
      start.ok = true;
      return start;
    }
    if (!ArmResident(disclose ? kMsgDiscloseArm : kMsgEncloseArm, 0)) return start;
    CutText();
    start.ok = true;
  } catch (...) {
    start.messageId = IDS_NO_MEMORY;
  }
  return start;
}

TextCommandStart StartConversion(int kind) noexcept {
  TextCommandStart start;
  if (!IsConvMode(kind) || !ArmResident(kMsgConvArm, kind)) return start;
  CutText();
  start.ok = true;
  return start;
}

}  // namespace quillo::hook

namespace {

BOOL Finish(const quillo::hook::TextCommandStart& start) {
  if (start.messageId != 0) quillo::hook::Warn(static_cast<UINT>(start.messageId));
  return start.ok ? TRUE : FALSE;
}

}  // namespace

QUILLO_HOOK_API BOOL EncloseText(const char* form, BOOL firstPhase) {
  using namespace quillo::hook;
  return firstPhase ? Finish(StartEnclose(form, false)) : SecondPhase(Command::kEnclose, 0);
}

QUILLO_HOOK_API BOOL DiscloseText(const char* form, BOOL firstPhase) {
  using namespace quillo::hook;
  return firstPhase ? Finish(StartEnclose(form, true)) : SecondPhase(Command::kDisclose, 0);
}

QUILLO_HOOK_API BOOL ConvText(int kind, BOOL firstPhase) {
  using namespace quillo::hook;
  if (firstPhase) return Finish(StartConversion(kind));
  return IsConvMode(kind) ? SecondPhase(Command::kConvert, kind) : FALSE;
}
