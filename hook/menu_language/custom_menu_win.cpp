// The custom menu's Win32 side: reading the menu file through its handle,
// caching the parse per process, building the HMENU tree and relabelling the
// dynamic titles.
#include "custom_menu_win.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "dbcs.h"
#include "file_source_win.h"
#include "handles_win.h"
#include "key_strokes.h"
#include "message_box_win.h"
#include "module_folder_win.h"
#include "path_text.h"
#include "process_state.h"
#include "quillo_hook.h"
#include "resource.h"
#include "tag_host_win.h"
#include "tags.h"

namespace quillo::hook {

namespace {

constexpr UINT kWarning = MB_OK | MB_ICONEXCLAMATION;
constexpr size_t kCachedPathBytes = MAX_PATH;
// Lines longer than this are cut for the box, which would otherwise grow
// wider than the screen for a long body.
constexpr size_t kErrorLineShown = 128;

// What this process keeps of the menu file it parsed last. The HMENU itself is
// State().rootMenu, which the library's exit path destroys.
struct CustomMenu {
  MenuModel model;
  char path[kCachedPathBytes] = {};
  FILETIME lastWrite = {};
  // A message box of a load runs a message loop in which our own hooks fire
  // again; a second load then would free the tables the first one is filling.
  bool loading = false;
};

CustomMenu g_menu;

class LoadingScope {
 public:
  LoadingScope() { g_menu.loading = true; }
  ~LoadingScope() { g_menu.loading = false; }
  LoadingScope(const LoadingScope&) = delete;
  LoadingScope& operator=(const LoadingScope&) = delete;
};


// Shared read only: an editor that still holds the file open for writing makes
// the open fail, and the user is told the file cannot be found.
HANDLE OpenMenuFile(const char* path, DWORD flags) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

void ShowNoMenuFile(const char* path) {
  const long cut = LastBackslash(path, IsLeadByteWin);
  ShowQuilloMessage(State().instance, IDS_NO_MENU_FILE, kWarning, path + cut + 1);
}

// A time that cannot be read is kept as zero, the earliest time there is, so
// the next display parses the file again rather than trusting a stale menu.
FILETIME LastWriteTime(HANDLE file) {
  FILETIME t = {};
  if (!GetFileTime(file, nullptr, nullptr, &t)) t = FILETIME{};
  return t;
}

void CopyPath(char* dst, const char* src) {
  lstrcpynA(dst, src, static_cast<int>(kCachedPathBytes));
}

// Replaces only the text: MIIM_TYPE sets the whole type, so the column-break
// bits the entry was built with are read first and written back with it.
bool SetEntryLabel(HMENU root, UINT id, const char* label) {
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_TYPE;
  if (!GetMenuItemInfoA(root, id, FALSE, &info)) return false;
  if ((info.fType & (MFT_SEPARATOR | MFT_BITMAP | MFT_OWNERDRAW)) != 0) return false;
  info.fMask = MIIM_TYPE;
  info.fType = (info.fType & (MFT_MENUBARBREAK | MFT_MENUBREAK)) | MFT_STRING;
  info.dwTypeData = const_cast<char*>(label);
  info.cch = static_cast<UINT>(std::strlen(label));
  return SetMenuItemInfoA(root, id, FALSE, &info) != FALSE;
}

}  // namespace

void CutErrorLine(const char* line, char* out, size_t size) noexcept {
  if (out == nullptr || size == 0) return;
  out[0] = '\0';
  if (line == nullptr) return;
  size_t len = std::strlen(line);
  if (len > kErrorLineShown) {
    // Walk by characters so the cut never lands between a lead and a trail byte.
    size_t keep = 0;
    for (const char* p = line; *p != '\0';) {
      const size_t n = text::CharLen(p);
      if (keep + n > kErrorLineShown - 1) break;
      keep += n;
      p += n;
    }
    len = keep;
  }
  if (len >= size) len = size - 1;
  std::memcpy(out, line, len);
  out[len] = '\0';
}

void ShowMenuFileMessage(const MenuFileError& error) noexcept {
  const char* arg = error.arg.empty() ? nullptr : error.arg.c_str();
  if (!error.line) {
    ShowQuilloMessage(State().instance, error.message, kWarning, arg);
    return;
  }
  // The box reads: text, an empty line, "Error line：" with the full-width
  // colon, and the line indented by two spaces. The message helper puts one
  // line break between the text and what follows it.
  static const char kHead[] = "\nError line\x81\x46\n  ";  // \nError line：\n
  char extra[sizeof kHead + kErrorLineShown];
  std::memcpy(extra, kHead, sizeof kHead);
  CutErrorLine(error.line->c_str(), extra + sizeof kHead - 1, kErrorLineShown + 1);
  ShowQuilloMessage(State().instance, error.message, kWarning, arg, extra);
}

HMENU BuildMenuTree(const MenuModel& model) noexcept {
  const size_t count = model.menus.size();
  if (count == 0) return nullptr;
  try {
    std::vector<HMENU> menus(count, nullptr);
    // A sub menu hangs in its parent once appended and goes with it; those
    // not yet appended must be destroyed one by one when a step fails.
    std::vector<char> attached(count, 0);
    bool ok = true;
    for (size_t i = 0; ok && i < count; ++i) {
      menus[i] = CreatePopupMenu();
      ok = menus[i] != nullptr;
    }
    for (size_t i = 0; ok && i < count; ++i) {
      for (const MenuEntry& e : model.menus[i].entries) {
        const UINT breaks = (e.barBreak ? MF_MENUBARBREAK : 0) | (e.menuBreak ? MF_MENUBREAK : 0);
        BOOL done = FALSE;
        switch (e.kind) {
          case EntryKind::kString:
            done = AppendMenuA(menus[i], MF_STRING | breaks, e.id, e.label.c_str());
            break;
          case EntryKind::kSeparator:
            done = AppendMenuA(menus[i], MF_SEPARATOR | breaks, e.id, nullptr);
            break;
          case EntryKind::kPopup:
            // The model promises children below their parents; a tree that
            // broke the promise could hang a menu into itself.
            if (e.popup <= i || e.popup >= count || attached[e.popup]) break;
            done = AppendMenuA(menus[i], MF_POPUP | breaks,
                               reinterpret_cast<UINT_PTR>(menus[e.popup]), e.label.c_str());
            if (done) attached[e.popup] = 1;
            break;
        }
        if (!done) {
          ok = false;
          break;
        }
      }
    }
    if (ok) return menus[0];
    for (size_t i = 0; i < count; ++i) {
      if (menus[i] != nullptr && !attached[i]) DestroyMenu(menus[i]);
    }
  } catch (...) {
    // Only the two small vectors can throw, before any menu exists.
  }
  return nullptr;
}

void FreeCustomMenu() noexcept {
  g_menu.model.Clear();
  g_menu.path[0] = '\0';
  g_menu.lastWrite = FILETIME{};
  if (State().rootMenu != nullptr) {
    DestroyMenu(State().rootMenu);
    State().rootMenu = nullptr;
  }
}

bool LoadCustomMenu(const char* path) noexcept {
  if (path == nullptr || path[0] == '\0') return false;
  if (g_menu.loading) return false;
  LoadingScope loading;

  UniqueHandle file(OpenMenuFile(path, FILE_FLAG_SEQUENTIAL_SCAN));
  LARGE_INTEGER size = {};
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) {
    ShowNoMenuFile(path);
    return false;
  }
  FreeCustomMenu();

  MenuModel model;
  // 64 KB a read rather than the reader's 4 KB: a largest file is read in 30
  // trips into the system instead of 460. Without the memory, as the reader asks.
  constexpr size_t kReadBuffer = 64 * 1024;
  HANDLE heap = Heap();
  char* buffer = heap != nullptr ? static_cast<char*>(HeapAlloc(heap, 0, kReadBuffer)) : nullptr;
  FileByteSource source(file.get(), buffer, kReadBuffer);
  const MenuFileResult result = ParseMenuFile(source, static_cast<uint64_t>(size.QuadPart), model);
  if (buffer != nullptr) HeapFree(heap, 0, buffer);
  const FILETIME written = LastWriteTime(file.get());
  // Closed before any box: the user may fix the file while reading the message.
  file.reset();

  for (const MenuFileError& e : result.messages) ShowMenuFileMessage(e);
  if (!result.ok) return false;

  HMENU root = BuildMenuTree(model);
  if (root == nullptr) {
    ShowQuilloMessage(State().instance, IDS_NO_MEMORY, kWarning);
    return false;
  }
  g_menu.model = std::move(model);
  CopyPath(g_menu.path, path);
  g_menu.lastWrite = written;
  State().rootMenu = root;
  return true;
}

bool PrepareCustomMenu(int entry) noexcept {
  if (Heap() == nullptr) return false;
  if (entry < 0 || entry >= kMenuFileSetCount) return false;
  // The resident program may be copying a new path into the shared entry at
  // this moment: work on a terminated copy of whatever is there.
  char path[kCachedPathBytes];
  lstrcpynA(path, g_CustomMenuSet[entry].path, static_cast<int>(sizeof path));

  if (State().rootMenu != nullptr && lstrcmpiA(path, g_menu.path) == 0) {
    UniqueHandle file(OpenMenuFile(path, 0));
    if (!file) {
      ShowNoMenuFile(path);
      return false;
    }
    const FILETIME written = LastWriteTime(file.get());
    file.reset();
    const bool unchanged = (written.dwLowDateTime != 0 || written.dwHighDateTime != 0) &&
                           CompareFileTime(&g_menu.lastWrite, &written) >= 0;
    if (unchanged) return true;
  }
  return LoadCustomMenu(path);
}

void RefreshDynamicTitles() noexcept {
  HMENU root = State().rootMenu;
  if (root == nullptr) return;
  try {
    for (const uint32_t code : g_menu.model.dynamicTitles) {
      if (code == 0) break;
      const UINT id = DynamicTitleItem(code);
      const char* body = g_menu.model.ItemBody(id);
      if (body == nullptr) return;
      std::string text(body);
      KeyStrokeList keys;  // title mode collects none; the paste path's buffer stays untouched
      // Title mode asks the host for nothing but the time snapshot; a failure
      // has shown its message (if any) when this returns.
      if (!ExpandItemTags(text, keys, TagMode::kTitle).ok) return;
      text.resize(DynamicTitleLength(text.c_str()));
      if (text.empty()) return;
      if (DynamicTitleOwner(code) == kPopupOwner && !SetEntryLabel(root, id, text.c_str())) return;
      // List entries are labelled from the tables when their dialog opens.
      if (std::string* label = g_menu.model.DynamicLabel(code)) *label = std::move(text);
    }
  } catch (...) {
    ShowQuilloMessage(State().instance, IDS_NO_MEMORY, kWarning);
  }
}

const char* CustomItemBody(UINT id) noexcept {
  if (State().rootMenu == nullptr) return nullptr;
  return g_menu.model.ItemBody(id);
}

bool CustomCellText(UINT id, char* buffer, size_t size) noexcept {
  if (buffer == nullptr || size == 0) return false;
  buffer[0] = '\0';
  HMENU root = State().rootMenu;
  if (root == nullptr || GetMenuState(root, id, MF_BYCOMMAND) == static_cast<UINT>(-1)) return false;
  const int max = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
  GetMenuStringA(root, id, buffer, max, MF_BYCOMMAND);
  buffer[size - 1] = '\0';
  return true;
}

const ListMenu* CustomList(UINT listId) noexcept {
  if (State().rootMenu == nullptr) return nullptr;
  return g_menu.model.List(listId);
}

}  // namespace quillo::hook
