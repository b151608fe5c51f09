#include "startup_shortcut_win.h"

#include <objbase.h>
#include <shlobj.h>

#include <new>
#include <string>

namespace quillo {
namespace {

bool StartupFolder(char (&folder)[MAX_PATH]) {
  LPITEMIDLIST pidl = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_STARTUP, &pidl)) || pidl == nullptr) return false;
  const bool ok = SHGetPathFromIDListA(pidl, folder) != FALSE;
  CoTaskMemFree(pidl);
  return ok;
}

// The shell's link object and its file interface, released together.
class ShellLink {
 public:
  ShellLink() {
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link_)))) {
      link_ = nullptr;
      return;
    }
    if (FAILED(link_->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file_)))) file_ = nullptr;
  }
  ~ShellLink() {
    if (file_ != nullptr) file_->Release();
    if (link_ != nullptr) link_->Release();
  }
  ShellLink(const ShellLink&) = delete;
  ShellLink& operator=(const ShellLink&) = delete;
  bool ok() const { return link_ != nullptr && file_ != nullptr; }
  IShellLinkA* link() const { return link_; }
  IPersistFile* file() const { return file_; }

 private:
  IShellLinkA* link_ = nullptr;
  IPersistFile* file_ = nullptr;
};

// IPersistFile takes wide paths.
std::wstring Wide(const std::string& path) {
  const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &out[0], n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

bool ProgramFile(char (&path)[MAX_PATH]) {
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return n > 0 && n < MAX_PATH;
}

}  // namespace

int FindStartupShortcut(HWND owner, bool remove) {
  char folder[MAX_PATH], program[MAX_PATH];
  if (!StartupFolder(folder) || !ProgramFile(program)) return -1;
  ShellLink shell;
  if (!shell.ok()) return -1;
  const std::string dir(folder);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*.lnk").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int result = 0;
  std::string match;
  do {
    const std::string file = dir + "\\" + found.cFileName;
    if (FAILED(shell.file()->Load(Wide(file).c_str(), STGM_READ))) continue;
    // No user interface: a shortcut whose target is gone must not make the
    // shell search the disk or ask the user.
    shell.link()->Resolve(owner, SLR_ANY_MATCH | SLR_NO_UI);
    char target[MAX_PATH] = {};
    if (FAILED(shell.link()->GetPath(target, MAX_PATH, nullptr, 0))) continue;
    if (lstrcmpiA(target, program) == 0) {
      result = 1;
      match = file;
      break;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  if (remove && result == 1) DeleteFileA(match.c_str());
  return result;
}

namespace {

// The answer of one look-up, shared by the waiting thread and the worker;
// whichever lets go last frees it, so a wait given up at Exit leaves the
// worker nothing freed to write to.
struct Lookup {
  LONG refs = 2;
  int result = -1;
  void Release() {
    if (InterlockedDecrement(&refs) == 0) delete this;
  }
};

DWORD WINAPI LookUp(void* param) {
  auto* lookup = static_cast<Lookup*>(param);
  // The shell's link object wants COM on the thread that uses it.
  const bool com = SUCCEEDED(CoInitialize(nullptr));
  if (com) lookup->result = FindStartupShortcut(nullptr, false);
  if (com) CoUninitialize();
  lookup->Release();
  return 0;
}

constexpr DWORD kWorkerWaitAtExitMs = 5000;

}  // namespace

int FindStartupShortcutOffThread() {
  Lookup* lookup = new (std::nothrow) Lookup;
  if (lookup == nullptr) return -1;
  HANDLE thread = CreateThread(nullptr, 0, LookUp, lookup, 0, nullptr);
  if (thread == nullptr) {
    delete lookup;
    return -1;
  }
  bool quit = false;
  bool failed = false;
  WPARAM quitCode = 0;
  while (!quit && !failed) {
    const DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0) break;
    // A wait that cannot be made must not spin: the answer is "unknown".
    failed = woken != WAIT_OBJECT_0 + 1;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quitCode = msg.wParam;
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  if (quit) {
    // Ending: the worker gets a moment to finish its COM work before the
    // process goes; the quit goes back to the main loop.
    WaitForSingleObject(thread, kWorkerWaitAtExitMs);
    PostQuitMessage(static_cast<int>(quitCode));
  }
  const int result = quit || failed ? -1 : lookup->result;
  CloseHandle(thread);
  lookup->Release();
  return result;
}

int CreateStartupShortcut() {
  char folder[MAX_PATH], program[MAX_PATH];
  if (!StartupFolder(folder) || !ProgramFile(program)) return -1;
  ShellLink shell;
  if (!shell.ok()) return -1;
  shell.link()->SetPath(program);
  shell.link()->SetDescription("Quillo");
  const std::string path = std::string(folder) + "\\Quillo.lnk";
  return SUCCEEDED(shell.file()->Save(Wide(path).c_str(), TRUE)) ? 1 : 0;
}

}  // namespace quillo
