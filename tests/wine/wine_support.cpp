#include "wine_support.h"

#include "shared_block_win.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace quillo::wine {
namespace {

std::map<std::string, ChildMain>& Children() {
  static std::map<std::string, ChildMain> children;
  return children;
}

// Removes a folder and its files (the program folders hold no sub folders but
// the history files tests write, so one level is enough; deeper ones are walked).
void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = fd.cFileName;
      if (name == "." || name == "..") continue;
      const std::string full = dir + "\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full);
      } else {
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(full.c_str());
      }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}

}  // namespace

std::string ExePath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

std::string ExeFolder() {
  const std::string p = ExePath();
  return p.substr(0, p.find_last_of('\\'));
}

ProgramFolder::ProgramFolder(std::initializer_list<const char*> files) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  // Wine hands out process ids again soon, and a folder an earlier test
  // process left behind cannot always be removed: a copy of the hook library
  // in it may still be mapped into a long-lived process. So the name also
  // carries the start time, and a name already taken is passed over rather
  // than cleared.
  static LONG serial = 0;
  const std::string base = temp;
  for (int attempt = 0; attempt < 64 && !ok_; ++attempt) {
    char name[96];
    std::snprintf(name, sizeof name, "quillo-test-%lu-%lu-%ld", GetCurrentProcessId(),
                  GetTickCount(), InterlockedIncrement(&serial));
    path_ = base + name;
    if (path_.size() > 1 && path_.back() == '\\') path_.pop_back();
    created_ = CreateDirectoryA(path_.c_str(), nullptr) != FALSE;
    ok_ = created_;
  }
  for (const char* f : files) {
    const std::string from = ExeFolder() + "\\" + f;
    ok_ = ok_ && CopyFileA(from.c_str(), file(f).c_str(), FALSE);
  }
}

ProgramFolder::~ProgramFolder() {
  if (created_) RemoveTree(path_);
}

Process::Process(Process&& o) noexcept : process_(o.process_) { o.process_ = nullptr; }
Process& Process::operator=(Process&& o) noexcept {
  if (this != &o) {
    Kill();
    process_ = o.process_;
    o.process_ = nullptr;
  }
  return *this;
}
Process::~Process() { Kill(); }

Process Process::Start(const std::string& commandLine, const std::string& folder) {
  Process p;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = commandLine;  // CreateProcessA may write into the command line
  if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
    CloseHandle(pi.hThread);
    p.process_ = pi.hProcess;
    MessageBoxWatcher::Instance().WatchProcess(pi.dwProcessId);
  }
  return p;
}

bool Process::running() const {
  return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::Wait(DWORD ms, DWORD* exitCode) {
  if (process_ == nullptr) return false;
  if (WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) return false;
  if (exitCode != nullptr) GetExitCodeProcess(process_, exitCode);
  return true;
}

bool Process::WaitIdle(DWORD ms) const {
  return process_ != nullptr && WaitForInputIdle(process_, ms) == 0;
}

HWND StartQuillo(const std::string& folder, Process& process, const char* exe) {
  process = Process::Start("\"" + folder + "\\" + exe + "\"", folder);
  if (!process.valid()) return nullptr;
  HWND frame = nullptr;
  if (!WaitFor([&] { return (frame = FindWindowA(kFrameClass, nullptr)) != nullptr; }, 20000)) return nullptr;
  // The window exists before its creation steps end; joining the chain is one
  // of them, and the first wait for input comes after the last.
  if (!WaitFor([&] { return GetClipboardViewer() == frame; }, 20000)) return nullptr;
  if (!process.WaitIdle(20000)) return nullptr;
  return frame;
}

void Process::Kill() {
  if (process_ == nullptr) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
  process_ = nullptr;
}

Process StartChild(const std::string& name, const std::string& args, const std::string& exe) {
  const std::string program = exe.empty() ? ExePath() : exe;
  const std::string folder = program.substr(0, program.find_last_of('\\'));
  return Process::Start("\"" + program + "\" --child " + name + (args.empty() ? "" : " " + args), folder);
}

int RunChild(const std::string& name, const std::string& args, DWORD ms, const std::string& exe) {
  Process p = StartChild(name, args, exe);
  DWORD code = 0;
  if (!p.Wait(ms, &code)) return -1;
  return static_cast<int>(code);
}

ChildRegistrar::ChildRegistrar(const char* name, ChildMain fn) { Children()[name] = fn; }

int DispatchChild(int argc, char** argv) {
  if (argc < 3 || std::string(argv[1]) != "--child") return -1;
  auto it = Children().find(argv[2]);
  if (it == Children().end()) return 98;
  std::vector<std::string> args(argv + 3, argv + argc);
  return it->second(args);
}

int StandInEditor() {
  const std::string exe = ExePath();
  const size_t name = exe.find_last_of('\\') + 1;
  if (lstrcmpiA(exe.c_str() + name, kStandInEditor) != 0) return -1;
  HANDLE log = CreateFileA((ExeFolder() + "\\" + kStandInEditorLog).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return 1;
  const std::string line = std::string(GetCommandLineA()) + "\n";
  DWORD written = 0;
  WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(log);
  return written == line.size() ? 0 : 1;
}

int StandInCompanion() {
  const std::string exe = ExePath();
  const size_t name = exe.find_last_of('\\') + 1;
  if (lstrcmpiA(exe.c_str() + name, kCompanionExe) != 0) return -1;
  Sleep(60000);
  return 0;
}

bool WaitFor(const std::function<bool()>& condition, DWORD ms, DWORD pollMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= ms) return condition();
    Sleep(pollMs);
  }
}

bool WaitWhilePumping(const std::function<bool()>& condition, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start >= ms) return condition();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  }
  return true;
}

namespace {
void DeleteQuilloKey() {
  HKEY vendor = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Veltrane Soft", 0, KEY_ALL_ACCESS, &vendor) ==
      ERROR_SUCCESS) {
    // RegDeleteTree is not on every system we test under; the key is two levels deep.
    HKEY quillo = nullptr;
    if (RegOpenKeyExA(vendor, "Quillo", 0, KEY_ALL_ACCESS, &quillo) == ERROR_SUCCESS) {
      char sub[256];
      for (;;) {
        DWORD len = sizeof sub;
        if (RegEnumKeyExA(quillo, 0, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (RegDeleteKeyA(quillo, sub) != ERROR_SUCCESS) break;
      }
      RegCloseKey(quillo);
    }
    RegDeleteKeyA(vendor, "Quillo");
    RegCloseKey(vendor);
  }
}
}  // namespace

CleanRegistryKey::CleanRegistryKey() { DeleteQuilloKey(); }
CleanRegistryKey::~CleanRegistryKey() { DeleteQuilloKey(); }

MessageBoxWatcher& MessageBoxWatcher::Instance() {
  static MessageBoxWatcher watcher;
  return watcher;
}

void MessageBoxWatcher::WatchProcess(DWORD pid) {
  if (!initialised_) return;
  EnterCriticalSection(&lock_);
  pids_.push_back(pid);
  LeaveCriticalSection(&lock_);
}

void MessageBoxWatcher::Start() {
  if (!initialised_) {
    InitializeCriticalSection(&lock_);
    initialised_ = true;
  }
  WatchProcess(GetCurrentProcessId());
  stop_ = 0;
  thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
}

void MessageBoxWatcher::Stop() {
  if (thread_ == nullptr) return;
  InterlockedExchange(&stop_, 1);
  WaitForSingleObject(thread_, 5000);
  CloseHandle(thread_);
  thread_ = nullptr;
}

DWORD WINAPI MessageBoxWatcher::ThreadMain(void* self) {
  auto* w = static_cast<MessageBoxWatcher*>(self);
  while (InterlockedCompareExchange(&w->stop_, 0, 0) == 0) {
    w->Poll();
    Sleep(20);
  }
  return 0;
}

namespace {
// The text of a window without sending it a message: the watcher must never
// wait on a thread that is busy (the test's own main thread is, while it waits
// for the very box the watcher is looking for).
std::wstring StoredWideText(HWND hwnd) {
  wchar_t wide[1024] = {};
  InternalGetWindowText(hwnd, wide, 1024);
  return wide;
}

std::string StoredText(HWND hwnd) {
  char text[2048] = {};
  WideCharToMultiByte(CP_ACP, 0, StoredWideText(hwnd).c_str(), -1, text, sizeof text, nullptr, nullptr);
  return text;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
  char cls[32] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0) {
    const std::wstring text = StoredWideText(child);
    if (!text.empty()) *reinterpret_cast<std::wstring*>(param) = text;
  }
  return TRUE;
}

BOOL CALLBACK FindQuilloBoxes(HWND hwnd, LPARAM param) {
  char cls[32] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd) && StoredText(hwnd) == "Quillo") {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  }
  return TRUE;
}
}  // namespace

void MessageBoxWatcher::Poll() {
  std::vector<HWND> boxes;
  EnumWindows(FindQuilloBoxes, reinterpret_cast<LPARAM>(&boxes));
  for (HWND box : boxes) {
    DWORD pid = 0;
    GetWindowThreadProcessId(box, &pid);
    EnterCriticalSection(&lock_);
    const bool ours = std::find(pids_.begin(), pids_.end(), pid) != pids_.end();
    LeaveCriticalSection(&lock_);
    if (!ours) continue;
    std::wstring wide;
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&wide));
    char text[2048] = {};
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text, sizeof text, nullptr, nullptr);
    // Record before dismissing, and only once per box.
    if (GetPropA(box, "QuilloTestSeen") != nullptr) continue;
    SetPropA(box, "QuilloTestSeen", reinterpret_cast<HANDLE>(1));
    EnterCriticalSection(&lock_);
    seen_.push_back(text);
    seenWide_.push_back(wide);
    owners_.push_back(GetWindow(box, GW_OWNER));
    LeaveCriticalSection(&lock_);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
}

std::vector<std::string> MessageBoxWatcher::Take() {
  EnterCriticalSection(&lock_);
  std::vector<std::string> out;
  out.swap(seen_);
  seenWide_.clear();
  owners_.clear();
  LeaveCriticalSection(&lock_);
  return out;
}

std::vector<std::wstring> MessageBoxWatcher::TakeWide() {
  EnterCriticalSection(&lock_);
  std::vector<std::wstring> out;
  out.swap(seenWide_);
  seen_.clear();
  owners_.clear();
  LeaveCriticalSection(&lock_);
  return out;
}

std::vector<HWND> MessageBoxWatcher::Owners() {
  EnterCriticalSection(&lock_);
  std::vector<HWND> out = owners_;
  LeaveCriticalSection(&lock_);
  return out;
}

bool MessageBoxWatcher::WaitForBoxes(size_t count, DWORD ms) {
  return WaitFor([&] {
    EnterCriticalSection(&lock_);
    const bool enough = seen_.size() >= count;
    LeaveCriticalSection(&lock_);
    return enough;
  }, ms);
}

bool RunsInExpectedCodePage() {
  char expected[16] = {};
  if (GetEnvironmentVariableA("QUILLO_EXPECT_ACP", expected, sizeof expected) == 0) return true;
  const UINT acp = GetACP();
  if (std::to_string(acp) == expected) return true;
  std::fprintf(stderr, "FAILED: this run is meant for code page %s but runs in %u (is the locale missing?)\n",
               expected, acp);
  return false;
}

std::vector<unsigned char> ReadFileBytes(const std::string& path) {
  std::vector<unsigned char> out;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return out;
  const DWORD size = GetFileSize(h, nullptr);
  if (size != INVALID_FILE_SIZE) {
    out.resize(size);
    DWORD got = 0;
    if (size > 0 && (!ReadFile(h, out.data(), size, &got, nullptr) || got != size)) out.clear();
  }
  CloseHandle(h);
  return out;
}

bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const bool ok = bytes.empty() ||
                  (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
                   put == bytes.size());
  CloseHandle(h);
  return ok;
}

HWND CreateResidentStandIn(WNDPROC proc, DWORD style, HWND parent, bool publish) {
  static const ATOM atom = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kResidentWindowClass;
    return RegisterClassA(&wc);
  }();
  (void)atom;
  HWND hwnd = CreateWindowExA(0, kResidentWindowClass, "Resident stand-in", style, 0, 0, 10, 10, parent, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  if (hwnd != nullptr && proc != nullptr) SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
  if (hwnd != nullptr && publish) PublishResidentWindow(hwnd);
  return hwnd;
}

}  // namespace quillo::wine
