#include "tag_host_win.h"

#include <shlobj.h>

#include <cstring>
#include <initializer_list>
#include <new>

#include "dbcs.h"
#include "clipboard_win.h"
#include "dialog_support_win.h"
#include "handles_win.h"
#include "message_box_win.h"
#include "module_folder_win.h"
#include "path_text.h"
#include "process_state.h"
#include "quillo_hook.h"
#include "quillo_messages.h"
#include "tag_dialogs_res.h"
#include "text_commands/text_commands_win.h"

namespace quillo::hook {
namespace {

// The resident program creates the history store under this name; the library
// opens it for one operation at a time and never keeps it.
constexpr char kHistoryMappingName[] = "QuilloPageMapObject";

constexpr char kPickerTitle[] = "Select File";
// OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NONETWORKBUTTON
// | OFN_ENABLESIZING: the dialog itself refuses names that do not exist.
constexpr DWORD kPickerFlags = 0x821804;
static_assert(kPickerFlags == (OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST |
                               OFN_NONETWORKBUTTON | OFN_ENABLESIZING),
              "picker flags");

constexpr char kUserTagProperty[] = "UserTagInfo";
constexpr int kUserValueChars = 259;

// A macro name is handed over synchronously; a resident window that does not
// answer within this time must not freeze the application in front.
constexpr UINT kSendTimeoutMs = 5000;
// Another program may hold the clipboard for a moment.

bool IsLead(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

// The filter lists of the pickers, "|" standing for the separators.
std::string JoinFilter(std::initializer_list<std::string> pieces) {
  std::string filter;
  for (const std::string& piece : pieces) {
    filter += piece;
    filter += '\0';
  }
  // c_str() adds the second zero that ends the list.
  return filter;
}

// Shell allocations (item lists, the display-name buffer) go back to the shell's
// allocator, which is itself released last.
class ShellMalloc {
 public:
  ShellMalloc() {
    if (FAILED(SHGetMalloc(&malloc_))) malloc_ = nullptr;
  }
  ~ShellMalloc() {
    if (malloc_ != nullptr) malloc_->Release();
  }
  ShellMalloc(const ShellMalloc&) = delete;
  ShellMalloc& operator=(const ShellMalloc&) = delete;
  IMalloc* get() const { return malloc_; }

 private:
  IMalloc* malloc_ = nullptr;
};

class ShellBlock {
 public:
  ShellBlock(IMalloc* malloc, void* p) : malloc_(malloc), p_(p) {}
  ~ShellBlock() {
    if (p_ != nullptr) malloc_->Free(p_);
  }
  ShellBlock(const ShellBlock&) = delete;
  ShellBlock& operator=(const ShellBlock&) = delete;
  void* get() const { return p_; }

 private:
  IMalloc* malloc_;
  void* p_;
};

class ClipboardSession {
 public:
  explicit ClipboardSession(HWND owner) {
    open_ = OpenClipboardPatiently(owner);
  }
  ~ClipboardSession() {
    if (open_) CloseClipboard();
  }
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  bool open() const { return open_; }

 private:
  bool open_ = false;
};

// Runs the common Open dialog; `file` is the 260-character buffer, emptied here.
PickResult RunOpenDialog(const PickerSetup& setup, int filterIndex, DWORD extraFlags, char (&file)[MAX_PATH]) {
  file[0] = '\0';
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = GetForegroundWindow();
  ofn.lpstrFilter = setup.filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(filterIndex);
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = setup.startFolder.empty() ? nullptr : setup.startFolder.c_str();
  ofn.lpstrTitle = kPickerTitle;
  ofn.Flags = kPickerFlags | extraFlags;
  if (!GetOpenFileNameA(&ofn)) return PickResult::kCancelled;
  file[MAX_PATH - 1] = '\0';
  return PickResult::kChosen;
}

// ---- The user-input dialog ----

struct UserInputRecord {
  const char* titles = nullptr;
  UserValueTable* table = nullptr;
  int current = 1;  // 1-based
  int count = 0;
};

void ShowUserEntry(HWND dialog, const UserInputRecord& record) {
  const UserValueTable::Entry& e = record.table->entries[record.current - 1];
  SetDlgItemTextA(dialog, IDC_USER_TITLE, e.title.c_str());
  SetDlgItemTextA(dialog, IDC_USER_VALUE, e.hasValue ? e.value.c_str() : "");
  // Focus first: the "&Prev" button may be the one being disabled.
  HWND edit = GetDlgItem(dialog, IDC_USER_VALUE);
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
  if (GetWindowTextLengthA(edit) > 0) SendMessageA(edit, EM_SETSEL, 0, -1);
  EnableWindow(GetDlgItem(dialog, IDC_USER_PREV), record.current > 1);
  SetDlgItemTextA(dialog, IDC_USER_NEXT, record.current == record.count ? "OK" : "&Next");
}

void StoreUserValue(HWND dialog, UserInputRecord& record) {
  char value[kUserValueChars + 1] = "";
  GetDlgItemTextA(dialog, IDC_USER_VALUE, value, sizeof value);
  UserValueTable::Entry& e = record.table->entries[record.current - 1];
  e.hasValue = value[0] != '\0';
  e.value = value;
}

INT_PTR HandleUserSpecMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* record = reinterpret_cast<UserInputRecord*>(lParam);
      CentreDialog(dialog);
      SetPropA(dialog, kUserTagProperty, record);
      record->count = SplitUserTitles(record->titles, *record->table);
      if (record->count == 0) {
        EndDialog(dialog, kUserInputCancelled);  // nothing to ask
        return TRUE;
      }
      record->current = 1;
      SendDlgItemMessageA(dialog, IDC_USER_VALUE, EM_LIMITTEXT, kUserValueChars, 0);
      ShowUserEntry(dialog, *record);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == IDCANCEL) {
        EndDialog(dialog, kUserInputCancelled);
        return TRUE;
      }
      if (id != IDC_USER_NEXT && id != IDC_USER_PREV && id != IDOK) return FALSE;
      auto* record = static_cast<UserInputRecord*>(GetPropA(dialog, kUserTagProperty));
      if (record == nullptr) {
        EndDialog(dialog, kUserInputNoProperty);
        return TRUE;
      }
      StoreUserValue(dialog, *record);
      if (id == IDC_USER_PREV) {
        if (record->current > 1) --record->current;
      } else if (record->current >= record->count) {
        EndDialog(dialog, kUserInputDone);
        return TRUE;
      } else {
        ++record->current;
      }
      ShowUserEntry(dialog, *record);
      return TRUE;
    }
    case WM_DESTROY:
      RemovePropA(dialog, kUserTagProperty);
      return FALSE;
  }
  return FALSE;
}

INT_PTR CALLBACK UserSpecProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return HandleUserSpecMessage(dialog, message, wParam, lParam);
  } catch (...) {
    // Only a copy of a text can fail here: that is the dialog's memory failure.
    EndDialog(dialog, kUserInputNoMemory);
    return TRUE;
  }
}

}  // namespace

PickerSetup MakePickerSetup(PickerKind kind, const std::string& argument) {
  PickerSetup setup;
  std::string pattern;
  if (text::FindChar(argument.c_str(), '*') != nullptr) {
    const long slash = LastBackslash(argument.c_str(), IsLead);
    if (slash >= 0) {
      setup.startFolder = argument.substr(0, static_cast<size_t>(slash));
      const std::string name = argument.substr(static_cast<size_t>(slash) + 1);
      if (text::FindChar(name.c_str(), '*') != nullptr) pattern = name;
    } else {
      // A bare pattern: offer it as the filter, in the dialog's own start folder.
      pattern = argument;
    }
  } else {
    setup.startFolder = argument;
  }
  // "C:" alone would mean the current folder of drive C, not its root.
  if (setup.startFolder.size() == 2 && setup.startFolder[1] == ':') setup.startFolder += '\\';

  if (kind == PickerKind::kUrl) {
    setup.filter = pattern.empty()
        ? JoinFilter({"URL Files (*.url)", "*.url", "All Files (*.*)", "*.*"})
        : JoinFilter({"Specified files (" + pattern + ")", pattern, "URL Files (*.url)", "*.url",
                      "All Files (*.*)", "*.*"});
  } else {
    setup.filter = pattern.empty()
        ? JoinFilter({"All Files (*.*)", "*.*", "Text Documents (*.txt)", "*.txt", "Applications (*.exe)",
                      "*.exe", "Link Files (*.lnk)", "*.lnk"})
        : JoinFilter({"Specific files (" + pattern + ")", pattern, "Text Documents (*.txt)", "*.txt",
                      "Applications (*.exe)", "*.exe", "Link Files (*.lnk)", "*.lnk", "All Files (*.*)",
                      "*.*"});
  }
  return setup;
}

TagTime WinTagHost::LocalTime() {
  const SYSTEMTIME& s = State().timeSnapshot;
  TagTime t;
  t.year = s.wYear;
  t.month = s.wMonth;
  t.dayOfWeek = s.wDayOfWeek;
  t.day = s.wDay;
  t.hour = s.wHour;
  t.minute = s.wMinute;
  t.second = s.wSecond;
  return t;
}

int WinTagHost::HistoryCount() { return g_nNumClipHistory; }

bool WinTagHost::HistoryEntry(int index, std::string& text) {
  const DWORD block = g_dwBlockSize;
  if (index < 0 || block == 0) return false;
  UniqueHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, kHistoryMappingName));
  if (!mapping) return false;
  MappedView view(mapping.get(), FILE_MAP_READ);
  if (!view) return false;
  // The block size and the count come from shared memory that anyone could
  // have written: read only inside the view that the system mapped.
  MEMORY_BASIC_INFORMATION info = {};
  if (VirtualQuery(view.get(), &info, sizeof info) == 0) return false;
  const unsigned long long offset = static_cast<unsigned long long>(index) * block;
  if (offset + block > info.RegionSize) return false;
  const char* entry = view.get() + offset;
  text.assign(entry, strnlen(entry, block));
  return true;
}

bool WinTagHost::CutLastReturnOfHistory() { return g_bCutLastRet2 != FALSE; }

void WinTagHost::Beep() { MessageBeep(MB_OK); }

FileReadResult WinTagHost::ReadWholeFile(const char* path, size_t maxBytes, std::string& bytes) {
  UniqueHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return FileReadResult::kOpenFailed;
  DWORD high = 0;
  const DWORD size = GetFileSize(file.get(), &high);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return FileReadResult::kReadFailed;
  if (high != 0 || size > maxBytes) return FileReadResult::kNoMemory;
  try {
    bytes.resize(size);
  } catch (const std::bad_alloc&) {
    return FileReadResult::kNoMemory;
  }
  DWORD done = 0;
  while (done < size) {
    DWORD got = 0;
    if (!ReadFile(file.get(), &bytes[done], size - done, &got, nullptr)) return FileReadResult::kReadFailed;
    if (got == 0) break;  // the file shrank while we read it
    done += got;
  }
  bytes.resize(done);
  return FileReadResult::kOk;
}

PickResult WinTagHost::PickFile(const FilePickRequest& request, std::string& path) {
  const PickerSetup setup = MakePickerSetup(PickerKind::kFile, request.argument);
  char file[MAX_PATH];
  // Without it a chosen shortcut comes back as the file it points to.
  const DWORD extra = request.resolveShortcuts ? 0 : OFN_NODEREFERENCELINKS;
  if (RunOpenDialog(setup, request.filterIndex, extra, file) != PickResult::kChosen) return PickResult::kCancelled;
  path = file;
  return PickResult::kChosen;
}

PickResult WinTagHost::PickUrl(const std::string& argument, std::string& url) {
  const PickerSetup setup = MakePickerSetup(PickerKind::kUrl, argument);
  char file[MAX_PATH];
  if (RunOpenDialog(setup, 1, OFN_NODEREFERENCELINKS, file) != PickResult::kChosen) return PickResult::kCancelled;
  char value[MAX_PATH + 1] = "";
  GetPrivateProfileStringA("InternetShortcut", "URL", "http://???", value, sizeof value, file);
  value[MAX_PATH] = '\0';
  value[text::Trim(value)] = '\0';
  url = value;
  return PickResult::kChosen;
}

PickResult WinTagHost::PickFolder(bool fullPath, std::string& folder) {
  ShellMalloc malloc;
  if (malloc.get() == nullptr) return PickResult::kCancelled;
  ShellBlock displayName(malloc.get(), malloc.get()->Alloc(MAX_PATH));
  if (displayName.get() == nullptr) return PickResult::kCancelled;
  HWND owner = GetForegroundWindow();
  LPITEMIDLIST rootList = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_DRIVES, &rootList)) || rootList == nullptr) {
    return PickResult::kCancelled;
  }
  ShellBlock root(malloc.get(), rootList);
  char* name = static_cast<char*>(displayName.get());
  name[0] = '\0';
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.pidlRoot = rootList;
  info.pszDisplayName = name;
  info.lpszTitle = "Select folder...";
  ShellBlock chosen(malloc.get(), SHBrowseForFolderA(&info));
  if (chosen.get() == nullptr) return PickResult::kCancelled;
  name[MAX_PATH - 1] = '\0';
  folder = name;
  if (fullPath) {
    char path[MAX_PATH] = "";
    // Drives and folders have a file-system path; other shell items keep their name.
    if (SHGetPathFromIDListA(static_cast<LPCITEMIDLIST>(chosen.get()), path)) {
      path[MAX_PATH - 1] = '\0';
      folder = path;
    }
  }
  return PickResult::kChosen;
}

PickResult WinTagHost::PickPatternFile(std::string& path) {
  const long slash = LastBackslash(path.c_str(), IsLead);
  if (slash < 0) return PickResult::kChosen;
  const std::string pattern = path.substr(static_cast<size_t>(slash) + 1);
  if (text::FindChar(pattern.c_str(), '*') == nullptr) return PickResult::kChosen;
  PickerSetup setup;
  setup.startFolder = path.substr(0, static_cast<size_t>(slash));
  if (setup.startFolder.size() == 2 && setup.startFolder[1] == ':') setup.startFolder += '\\';
  setup.filter = JoinFilter({"Specific Files (" + pattern + ")", pattern, "All Files (*.*)", "*.*"});
  char file[MAX_PATH];
  // No OFN_NODEREFERENCELINKS: a chosen shortcut opens what it points to.
  if (RunOpenDialog(setup, 1, 0, file) != PickResult::kChosen) return PickResult::kCancelled;
  path = file;
  return PickResult::kChosen;
}

int WinTagHost::AskUserValues(const char* titles, UserValueTable& table) {
  UserInputRecord record;
  record.titles = titles;
  record.table = &table;
  HelpTopicScope topic(help::kContents);  // F1 opens the contents
  const INT_PTR result = DialogBoxParamA(State().instance, MAKEINTRESOURCEA(IDD_USER_VALUES), GetForegroundWindow(), UserSpecProc,
                                         reinterpret_cast<LPARAM>(&record));
  switch (result) {
    case kUserInputDone:
    case kUserInputCancelled:
    case kUserInputNoProperty:
      return static_cast<int>(result);
    default:
      // -1 or 0: the dialog could not be created, reported as lack of memory.
      return kUserInputNoMemory;
  }
}

bool WinTagHost::FileExists(const char* path) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(path, &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

bool WinTagHost::OpenFile(const char* file, const char* parameters) {
  const HINSTANCE result = ShellExecuteA(ResidentWindow(), "open", file,
                                         parameters != nullptr && parameters[0] != '\0' ? parameters : nullptr,
                                         nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

void WinTagHost::PlayMacro(const char* name) {
  HWND resident = ResidentWindow();
  if (resident == nullptr) return;
  if (name != nullptr) {
    // The name must be the current macro before the play command arrives, so
    // it is sent (and waited for) first; the block is ours only during the send.
    COPYDATASTRUCT data = {};
    data.dwData = kCopyDataMacroName;
    data.cbData = static_cast<DWORD>(std::strlen(name) + 1);
    data.lpData = const_cast<char*>(name);
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(resident, WM_COPYDATA, reinterpret_cast<WPARAM>(GetForegroundWindow()),
                        reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer);
  }
  PostMessageA(resident, WM_COMMAND, kCmdPlayMacro, 0);
}

void WinTagHost::RecordMacro() {
  if (HWND resident = ResidentWindow()) PostMessageA(resident, WM_COMMAND, kCmdRecordMacro, 0);
}

bool WinTagHost::CurrentFolder(std::string& folder) {
  char buffer[MAX_PATH + 1] = "";
  const DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
  if (n == 0 || n > MAX_PATH) return false;
  folder.assign(buffer, n);
  return true;
}

bool WinTagHost::SetTextToClip(const char* text) {
  const size_t bytes = std::strlen(text) + 1;
  ClipboardSession clipboard(GetForegroundWindow());
  if (!clipboard.open()) return false;
  if (!EmptyClipboard()) return false;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes);
  if (memory == nullptr) return false;
  if (void* p = GlobalLock(memory)) {
    std::memcpy(p, text, bytes);
    GlobalUnlock(memory);
  } else {
    GlobalFree(memory);
    return false;
  }
  // Once set, the memory belongs to the system; only a refusal leaves it ours.
  if (SetClipboardData(CF_TEXT, memory) == nullptr) {
    GlobalFree(memory);
    return false;
  }
  return true;
}

// The tags start the first phase only: the resident program runs the second.
TagMessage WinTagHost::EncloseText(const char* form, int) {
  TagMessage message;
  message.id = StartEnclose(form, false).messageId;
  return message;
}
TagMessage WinTagHost::DiscloseText(const char* form, int) {
  TagMessage message;
  message.id = StartEnclose(form, true).messageId;
  return message;
}
TagMessage WinTagHost::ConvText(int mode, int) {
  TagMessage message;
  message.id = StartConversion(mode).messageId;
  return message;
}

void ShowTagMessage(const TagMessage& message) {
  if (message.id == 0) return;
  ShowQuilloMessage(State().instance, static_cast<UINT>(message.id), MB_OK | MB_ICONEXCLAMATION,
                    message.arg.empty() ? nullptr : message.arg.c_str());
}

ExpandResult ExpandItemTags(std::string& text, KeyStrokeList& keys, TagMode mode) noexcept {
  WinTagHost host;
  ExpandResult result = ExpandTags(text, keys, mode, host);
  if (!result.ok) ShowTagMessage(result.message);
  return result;
}

}  // namespace quillo::hook
