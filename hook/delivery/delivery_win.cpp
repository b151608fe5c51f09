#include "delivery_win.h"

#include "clipboard_win.h"

#include <cstring>
#include <string>

#include "custom_menu_win.h"
#include "delivery.h"
#include "handles_win.h"
#include "key_strokes.h"
#include "message_box_win.h"
#include "paste_method_win.h"
#include "process_state.h"
#include "quillo_hook.h"
#include "quillo_messages.h"
#include "resource.h"
#include "shared_block.h"
#include "tag_host_win.h"
#include "tags.h"
#include "text_commands/enclose.h"
#include "typing_request.h"

namespace quillo::hook {
namespace {

// The resident program creates the history store under this name; it is opened
// here for one copy and closed again.
constexpr char kHistoryMappingName[] = "QuilloPageMapObject";

// Cell texts are read back from the menu into a buffer of this size.
constexpr size_t kCellTextBytes = 260;

// A file reference is read whole, then copied once more into the clipboard's
// block, inside whatever process is in front. No application takes a pasted
// text anywhere near this size, so a larger file is refused as if memory had
// run out rather than be allowed to exhaust a foreign process.
constexpr DWORD kMaxFileBytes = 16u << 20;

// The clipboard blocks are shared with the application that pastes them.
constexpr UINT kClipBlockFlags = GMEM_MOVEABLE | GMEM_DDESHARE;

void ShowMessage(UINT id, const char* arg = nullptr) {
  ShowQuilloMessage(State().instance, id, MB_OK | MB_ICONEXCLAMATION, arg);
}

// A global block that is ours until the clipboard takes it (release()).
class GlobalBlock {
 public:
  GlobalBlock() = default;
  explicit GlobalBlock(HGLOBAL h) : h_(h) {}
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  ~GlobalBlock() { reset(); }
  HGLOBAL get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  HGLOBAL release() {
    HGLOBAL h = h_;
    h_ = nullptr;
    return h;
  }
  void reset(HGLOBAL h = nullptr) {
    if (h_ != nullptr) GlobalFree(h_);
    h_ = h;
  }

 private:
  HGLOBAL h_ = nullptr;
};

// A lock on a movable block, undone when it goes out of scope.
class GlobalLockScope {
 public:
  explicit GlobalLockScope(HGLOBAL h) : h_(h), p_(h != nullptr ? GlobalLock(h) : nullptr) {}
  GlobalLockScope(const GlobalLockScope&) = delete;
  GlobalLockScope& operator=(const GlobalLockScope&) = delete;
  ~GlobalLockScope() {
    if (p_ != nullptr) GlobalUnlock(h_);
  }
  char* get() const { return static_cast<char*>(p_); }

 private:
  HGLOBAL h_;
  void* p_;
};

// A buffer of the private heap, freed there unless handed on (release()).
class PrivateBuffer {
 public:
  PrivateBuffer() = default;
  PrivateBuffer(const PrivateBuffer&) = delete;
  PrivateBuffer& operator=(const PrivateBuffer&) = delete;
  ~PrivateBuffer() {
    if (p_ != nullptr) HeapFree(State().heap, 0, p_);
  }
  char* get() const { return p_; }
  char** out() { return &p_; }
  char* release() {
    char* p = p_;
    p_ = nullptr;
    return p;
  }

 private:
  char* p_ = nullptr;
};

// A new clipboard block holding the first `length` bytes of `text` and a zero.
HGLOBAL NewTextBlock(const char* text, size_t length, bool zeroFill) {
  if (length >= 0x7FFFFFFF) return nullptr;
  GlobalBlock block(GlobalAlloc(kClipBlockFlags | (zeroFill ? GMEM_ZEROINIT : 0), length + 1));
  if (!block) return nullptr;
  GlobalLockScope lock(block.get());
  if (lock.get() == nullptr) return nullptr;
  std::memcpy(lock.get(), text, length);
  lock.get()[length] = '\0';
  return block.release();
}

// The marker data: 32 zero bytes, or the key-stroke codes and the end code
// when the expansion reported `keyBytes` bytes of them.
HGLOBAL NewMarkerBlock(const KeyStrokeList* keys, size_t keyBytes) {
  if (keys == nullptr || keyBytes == 0) {
    return GlobalAlloc(kClipBlockFlags | GMEM_ZEROINIT, kPlainMarkerBytes);
  }
  const size_t bytes = MarkerDataBytes(*keys, keyBytes);
  GlobalBlock block(GlobalAlloc(kClipBlockFlags | GMEM_ZEROINIT, bytes));
  if (!block) return nullptr;
  GlobalLockScope lock(block.get());
  if (lock.get() == nullptr) return nullptr;
  if (MakeMarkerData(*keys, keyBytes, reinterpret_cast<uint8_t*>(lock.get()), bytes) != bytes) return nullptr;
  return block.release();
}

// Opens the clipboard for the window in front, empties it and sets the text
// and, when the format is registered, the marker. The blocks the clipboard
// takes are released from their owners; what it does not take is freed by
// them. Message 2023 when the clipboard cannot be opened or emptied.
bool PutOnClipboard(GlobalBlock& text, GlobalBlock* marker) {
  // The window in front owns the new content, as if it had copied the text.
  if (!OpenClipboardPatiently(GetForegroundWindow())) {
    ShowMessage(IDS_OPEN_CLIPBOARD);
    return false;
  }
  if (!EmptyClipboard()) {
    // Closed before the box: a modal box would keep every other program off
    // the clipboard for as long as it is shown.
    CloseClipboard();
    ShowMessage(IDS_OPEN_CLIPBOARD);
    return false;
  }
  const bool textSet = SetClipboardData(CF_TEXT, text.get()) != nullptr;
  if (textSet) text.release();
  const UINT markerFormat = g_cfQuilloMarker;
  if (textSet && marker != nullptr && *marker && markerFormat != 0) {
    if (SetClipboardData(markerFormat, marker->get()) != nullptr) marker->release();
  }
  CloseClipboard();
  return textSet;
}

// The string of slot `index` of a view of the history store, bounded by the
// slot and by the end of the view: the slot size comes from shared memory that
// any process could have written.
bool SlotText(const char* view, int index, const char** text, size_t* length) {
  const DWORD slot = g_dwBlockSize;
  if (view == nullptr || index < 0 || slot == 0) return false;
  MEMORY_BASIC_INFORMATION info = {};
  if (VirtualQuery(view, &info, sizeof info) == 0 || info.State != MEM_COMMIT) return false;
  const char* end = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
  if (end <= view) return false;
  const unsigned long long available = static_cast<unsigned long long>(end - view);
  const unsigned long long start = static_cast<unsigned long long>(index) * slot;
  if (start >= available) return false;
  const unsigned long long room = available - start < slot ? available - start : slot;
  *text = view + start;
  *length = strnlen(*text, static_cast<size_t>(room));
  return true;
}

// The paste and cut keys go into the system's input stream with keybd_event.
class KeybdOutput final : public KeyOutput {
 public:
  void SendKey(uint8_t vk, bool up) noexcept override { keybd_event(vk, 0, up ? KEYEVENTF_KEYUP : 0, 0); }
  // A press and a release of virtual key 0 around the keys we synthesise: the
  // keyboard hook counts them in g_nRecSuspend as they pass, so the keys in
  // between stay out of a macro however late the hook sees them.
  void SuspendRecording() noexcept override { SuspendRec(); }
  void ResumeRecording() noexcept override { ResumeRec(); }
};

int SetItemToClipUnsafe(int id) {
  if (id < 0) return 0;
  const UINT itemId = static_cast<UINT>(id);
  char cell[kCellTextBytes];
  std::string expanded;
  PrivateBuffer fileText;
  KeyStrokeList keys;
  size_t keyBytes = 0;
  const char* text = nullptr;

  if (itemId >= 3000) {
    // A cell is pasted as it reads: no tags, no file reference.
    if (!CustomCellText(itemId, cell, sizeof cell)) return 0;
    cell[sizeof cell - 1] = '\0';
    text = cell;
  } else {
    const char* body = CustomItemBody(itemId);
    if (body == nullptr) return 0;
    if (*body == '\0') return -1;
    text = body;
    if (HasTag(body)) {
      expanded = body;
      const ExpandResult result = ExpandItemTags(expanded, keys, TagMode::kPaste);
      // The expansion has shown its own message, or the user cancelled.
      if (!result.ok) return -1;
      keyBytes = result.keyBytes;
      text = expanded.c_str();
    }
    // A file reference whose file does not exist is pasted literally.
    if (const char* path = FileReferencePath(text)) {
      WIN32_FIND_DATAA found;
      HANDLE find = FindFirstFileA(path, &found);
      if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
        DWORD size = 0;
        if (!ReadWholeFile(path, fileText.out(), &size)) return 0;
        text = fileText.get();
      }
    }
  }

  GlobalBlock textBlock(NewTextBlock(text, std::strlen(text), true));
  if (!textBlock) return 0;
  if (g_bCutLastRet) {
    GlobalLockScope lock(textBlock.get());
    if (lock.get() == nullptr) return 0;
    CutLastReturn(lock.get());
  }
  GlobalBlock markerBlock(NewMarkerBlock(&keys, keyBytes));
  if (!markerBlock) return 0;
  if (!PutOnClipboard(textBlock, &markerBlock)) return 0;

  if (keyBytes != 0) {
    // The resident program takes text and key strokes off the clipboard and
    // plays them in turn; nothing is pasted from here.
    const HWND resident = ResidentWindow();
    if (resident != nullptr) PostMessageA(resident, WM_COMMAND, kCmdPlayKeyStrokes, 0);
    return -1;
  }
  return 1;
}

// A new block holding the text of `source` with the quote string in front of
// every line (quote mode): enclosing each line with the quote string as the
// before-text and no after-text.
HGLOBAL NewQuotedBlock(HGLOBAL source) {
  // The quote string lives in shared memory: take a terminated copy.
  char quote[sizeof g_szQuote];
  std::memcpy(quote, g_szQuote, sizeof quote);
  quote[sizeof quote - 1] = '\0';
  GlobalLockScope from(source);
  if (from.get() == nullptr) return nullptr;
  const size_t bytes = EnclosedTextBytes(from.get(), quote, "", true);
  GlobalBlock quoted(GlobalAlloc(kClipBlockFlags, bytes));
  if (!quoted) return nullptr;
  GlobalLockScope to(quoted.get());
  if (to.get() == nullptr || !EncloseLines(from.get(), quote, "", true, to.get(), bytes)) return nullptr;
  return quoted.release();
}

BOOL SetStackTextToClipUnsafe(const char* entry, size_t length) {
  GlobalBlock textBlock(NewTextBlock(entry, length, false));
  if (!textBlock) return FALSE;
  if (g_bCutLastRet2) {
    GlobalLockScope lock(textBlock.get());
    if (lock.get() == nullptr) return FALSE;
    CutLastReturn(lock.get());
  }
  if (State().choiceMode == -1) {
    // Quoting makes the text longer: it goes into a new block, and the old
    // one is freed when it is replaced.
    HGLOBAL quoted = NewQuotedBlock(textBlock.get());
    if (quoted == nullptr) return FALSE;
    textBlock.reset(quoted);
  }
  GlobalBlock markerBlock(NewMarkerBlock(nullptr, 0));
  if (!markerBlock) return FALSE;
  return PutOnClipboard(textBlock, &markerBlock) ? TRUE : FALSE;
}

}  // namespace

int SetItemToClip(int id) {
  // Tag expansion works on strings; an allocation that fails inside it must
  // not leave the hook procedure of a foreign process as an exception.
  try {
    return SetItemToClipUnsafe(id);
  } catch (...) {
    return 0;
  }
}

BOOL SetStackItemToClip(const char* view, int index) {
  const char* entry = nullptr;
  size_t length = 0;
  if (!SlotText(view, index, &entry, &length)) return FALSE;
  return SetStackTextToClip(entry, length);
}

BOOL SetStackTextToClip(const char* text, size_t length) {
  if (text == nullptr) return FALSE;
  try {
    return SetStackTextToClipUnsafe(text, length);
  } catch (...) {
    return FALSE;
  }
}

BOOL SetTextToClip(const char* text, BOOL marker, HGLOBAL block) {
  GlobalBlock made;
  if (block == nullptr) {
    if (text == nullptr) return FALSE;
    made.reset(NewTextBlock(text, std::strlen(text), false));
    if (!made) return FALSE;
  }
  // A block of the caller's is set as it is, but stays the caller's on every
  // failure: only a block made here is freed here.
  GlobalBlock lent(block);
  GlobalBlock& textBlock = block != nullptr ? lent : made;
  GlobalBlock markerBlock;
  bool ok = true;
  if (marker) {
    markerBlock.reset(NewMarkerBlock(nullptr, 0));
    ok = static_cast<bool>(markerBlock);
  }
  if (ok) ok = PutOnClipboard(textBlock, marker ? &markerBlock : nullptr);
  lent.release();
  return ok ? TRUE : FALSE;
}

BOOL CopyStackItem(char** out, int index) {
  if (out == nullptr) return FALSE;
  *out = nullptr;
  const int count = g_nNumClipHistory;
  if (count == 0) {
    ShowMessage(IDS_NO_HISTORY);
    return FALSE;
  }
  if (index < 0 || index >= count) {
    MessageBeep(0xFFFFFFFF);
    return FALSE;
  }
  UniqueHandle mapping(OpenFileMappingA(FILE_MAP_WRITE, FALSE, kHistoryMappingName));
  if (!mapping) return FALSE;
  MappedView view(mapping.get(), FILE_MAP_WRITE);
  if (!view) return FALSE;
  const char* entry = nullptr;
  size_t length = 0;
  if (!SlotText(view.get(), index, &entry, &length)) return FALSE;
  HANDLE heap = Heap();
  if (heap == nullptr) return FALSE;  // reported once by Heap()
  char* copy = static_cast<char*>(HeapAlloc(heap, 0, length + 1));
  if (copy == nullptr) {
    ShowMessage(IDS_NO_MEMORY);
    return FALSE;
  }
  std::memcpy(copy, entry, length);
  copy[length] = '\0';
  if (g_bCutLastRet2) CutLastReturn(copy);
  *out = copy;
  return TRUE;
}

HGLOBAL CopyHistoryEntryToBlock(int index, bool* noMemory) {
  *noMemory = false;
  UniqueHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, kHistoryMappingName));
  if (!mapping) return nullptr;
  MappedView view(mapping.get(), FILE_MAP_READ);
  if (!view) return nullptr;
  const char* entry = nullptr;
  size_t length = 0;
  if (!SlotText(view.get(), index, &entry, &length)) return nullptr;
  HGLOBAL block = NewTextBlock(entry, length, false);
  *noMemory = block == nullptr;
  return block;
}

BOOL ReadWholeFile(const char* path, char** out, DWORD* size) {
  if (out == nullptr || size == nullptr || path == nullptr) return FALSE;
  *out = nullptr;
  *size = 0;
  UniqueHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    ShowMessage(IDS_OPEN_FILE, path);
    return FALSE;
  }
  DWORD high = 0;
  const DWORD bytes = GetFileSize(file.get(), &high);
  if (bytes == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return FALSE;
  HANDLE heap = Heap();
  if (heap == nullptr) return FALSE;  // reported once by Heap()
  PrivateBuffer buffer;
  if (high == 0 && bytes <= kMaxFileBytes) *buffer.out() = static_cast<char*>(HeapAlloc(heap, 0, bytes + 1));
  if (buffer.get() == nullptr) {
    ShowMessage(IDS_NO_MEMORY);
    return FALSE;
  }
  DWORD read = 0;
  if (bytes != 0 && (!ReadFile(file.get(), buffer.get(), bytes, &read, nullptr) || read != bytes)) return FALSE;
  const size_t kept = FileContentLength(buffer.get(), bytes);
  buffer.get()[kept] = '\0';
  *size = static_cast<DWORD>(kept);
  *out = buffer.release();
  return TRUE;
}

}  // namespace quillo::hook

using quillo::hook::KeybdOutput;

namespace quillo::hook {
namespace {

// How long a program's thread waits for the resident program to take a text
// to type: it copies the text and starts typing on a thread of its own, so a
// resident that does not answer by then is hung, and the choice is lost with
// a beep rather than the program frozen.
constexpr UINT kTypeRequestTimeoutMs = 5000;

// Hands the clipboard's text, just put there for this choice, to the
// resident program, which types it into `front` on a thread of its own: a
// typist inside every program would weigh on every program, and the hook's
// thread must return before it can take the characters in. The text goes
// with the request, so a later change of the clipboard changes nothing of
// what is typed. A text is typed at a time: one chosen meanwhile is dropped.
void HandTextToTypist(HWND front) noexcept {
  const HWND resident = ResidentWindow();
  if (resident == nullptr || front == nullptr || TypingUnderWay()) {
    MessageBeep(MB_ICONEXCLAMATION);
    return;
  }
  HANDLE heap = GetProcessHeap();
  char* block = nullptr;
  size_t length = 0;
  if (OpenClipboardPatiently(front)) {
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
      if (const char* text = static_cast<const char*>(GlobalLock(data))) {
        // One byte past the bound at most: enough for the resident program
        // to tell the user that the text is too long to type.
        length = strnlen(text, GlobalSize(data));
        if (length > kMaxTypedBytes) length = kMaxTypedBytes + 1;
        block = static_cast<char*>(HeapAlloc(heap, 0, sizeof(TypingRequestHeader) + length));
        if (block != nullptr) std::memcpy(block + sizeof(TypingRequestHeader), text, length);
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
  }
  if (block == nullptr) {
    MessageBeep(MB_ICONEXCLAMATION);
    return;
  }
  TypingRequestHeader header;
  header.window = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(front));
  // The program's own thread knows its Caps Lock; the resident's does not.
  header.flags = (GetKeyState(VK_CAPITAL) & 1) != 0 ? kTypingCapsLock : 0;
  std::memcpy(block, &header, sizeof header);
  COPYDATASTRUCT data;
  data.dwData = kCopyDataTypeText;
  data.cbData = static_cast<DWORD>(sizeof header + length);
  data.lpData = block;
  DWORD_PTR taken = 0;
  if (GetWindowThreadProcessId(resident, nullptr) == GetCurrentThreadId()) {
    // The resident's own thread (a key-stroke item, a text command's second
    // phase): the window procedure is called right here.
    taken = static_cast<DWORD_PTR>(SendMessageA(resident, WM_COPYDATA, reinterpret_cast<WPARAM>(front),
                                                reinterpret_cast<LPARAM>(&data)));
  } else if (SendMessageTimeoutA(resident, WM_COPYDATA, reinterpret_cast<WPARAM>(front),
                                 reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kTypeRequestTimeoutMs,
                                 &taken) == 0) {
    taken = 0;
  }
  HeapFree(heap, 0, block);
  // A refusal the resident program explains answers 1 as well: only an
  // unanswered request is told here.
  if (taken == 0) MessageBeep(MB_ICONEXCLAMATION);
}

}  // namespace
}  // namespace quillo::hook

QUILLO_HOOK_API void PasteText() {
  using namespace quillo::hook;
  if (g_bCopyOnly) return;
  const HWND front = GetForegroundWindow();
  const int32_t method = PasteMethodForWindow(front);
  if (method != quillo::kPasteType) {
    KeybdOutput keys;
    SendPasteMethodKeys(method, false, g_bRecording != FALSE, keys);
    return;
  }
  HandTextToTypist(front);
}

QUILLO_HOOK_API void CutText() {
  KeybdOutput keys;
  quillo::hook::SendCutKeys(g_nCutCmd, g_bRecording != FALSE, keys);
}

QUILLO_HOOK_API BOOL CopyTextToClip(const char* text, BOOL marker) {
  if (text == nullptr) return FALSE;
  // The same steps as SetTextToClip without a block of the caller's.
  return quillo::hook::SetTextToClip(text, marker, nullptr);
}
