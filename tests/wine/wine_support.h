// What the Wine tests share: fresh program folders, child processes, waiting
// with a deadline, a clean registry key, and a watcher for "Quillo" message boxes.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "deliverable_names.h"

namespace quillo::wine {

// Folder of the running test program; the product binaries are built beside it.
std::string ExeFolder();
std::string ExePath();

// A new empty folder under %TEMP% holding copies of the given files from
// ExeFolder(); it is removed with everything in it when the object goes.
class ProgramFolder {
 public:
  explicit ProgramFolder(std::initializer_list<const char*> files = {kHookDll, kDlgExDll});
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "\\" + name; }
  bool ok() const { return ok_; }

 private:
  std::string path_;
  bool created_ = false;  // the folder is ours to remove
  bool ok_ = false;
};

// A started process; killed if it is still running when the object goes.
class Process {
 public:
  Process() = default;
  Process(Process&& o) noexcept;
  Process& operator=(Process&& o) noexcept;
  ~Process();
  static Process Start(const std::string& commandLine, const std::string& folder = "");
  bool running() const;
  // Waits up to `ms`; true when it ended, with its exit code in `exitCode`.
  bool Wait(DWORD ms, DWORD* exitCode = nullptr);
  void Kill();
  bool valid() const { return process_ != nullptr; }
  // Waits up to `ms` until its first thread waits for input with none queued.
  bool WaitIdle(DWORD ms) const;

 private:
  HANDLE process_ = nullptr;
};

// The resident program's main window class.
constexpr const char* kFrameClass = kResidentWindowClass;

// Starts the copy of Quillo.exe in `folder` and waits until it has finished
// starting: its window made, in the clipboard-viewer chain, and its start-up
// steps (hot key, macro bar) done, which is when it first waits for input.
// Returns its window, or nullptr when it did not come up in time.
// `exe` names the program when it is not this flavor's own.
HWND StartQuillo(const std::string& folder, Process& process, const char* exe = kQuilloExe);

// Re-runs this test program as a child: `exe --child NAME args...`. The child
// runs the function registered under NAME and exits with its result.
Process StartChild(const std::string& name, const std::string& args = "", const std::string& exe = "");
// Starts a child and waits for it; returns its exit code, or -1 on time-out.
int RunChild(const std::string& name, const std::string& args = "", DWORD ms = 30000,
             const std::string& exe = "");

using ChildMain = int (*)(const std::vector<std::string>& args);
struct ChildRegistrar {
  ChildRegistrar(const char* name, ChildMain fn);
};
int DispatchChild(int argc, char** argv);  // used by main()

// A copy of this test program named kStandInEditor stands in for the text
// editor the resident program starts: it appends its command line, as the
// system passed it, as one line to kStandInEditorLog in its own folder and
// ends. StandInEditor() answers -1 when this program runs under another name.
constexpr char kStandInEditor[] = "StandInEditor.exe";
constexpr char kStandInEditorLog[] = "editor.log";
int StandInEditor();
// A copy of this test program named kCompanionExe stands in for a companion
// that hangs: its only thread sleeps for a minute without a message queue,
// deaf to any quit message. StandInCompanion() answers -1 under another name.
int StandInCompanion();
#define QUILLO_CHILD(name)                                                     \
  static int name(const std::vector<std::string>& args);                      \
  static ::quillo::wine::ChildRegistrar name##_registrar(#name, name);         \
  static int name(const std::vector<std::string>& args)

// Polls `condition` until it holds or `ms` pass; the last answer is returned.
bool WaitFor(const std::function<bool()>& condition, DWORD ms = 10000, DWORD pollMs = 10);
// The same, dispatching this thread's messages between polls, for a test whose
// own windows (or menus and dialogs on its thread) must keep working meanwhile.
bool WaitWhilePumping(const std::function<bool()>& condition, DWORD ms = 10000);

// HKEY_CURRENT_USER\Software\Veltrane Soft\Quillo removed before and after a test.
class CleanRegistryKey {
 public:
  CleanRegistryKey();
  ~CleanRegistryKey();
};

// A thread that finds every top-level dialog titled "Quillo" shown by this
// test program or a process it started, records its text and presses its
// default button. main() starts one for the whole run, so no test can hang on
// a box nobody answers. Boxes of other processes (another test program running
// at the same time on the same desktop) are left to their own watcher.
class MessageBoxWatcher {
 public:
  static MessageBoxWatcher& Instance();
  // Boxes of process `pid` are watched too (Process::Start calls this).
  void WatchProcess(DWORD pid);
  void Start();
  void Stop();
  // Texts of the boxes dismissed since the last Take(), oldest first.
  std::vector<std::string> Take();
  // The same texts as the system holds them (UTF-16), whatever the ANSI code
  // page can show; taking them takes the narrow ones too.
  std::vector<std::wstring> TakeWide();
  // Waits until `count` boxes were seen since the last Take().
  bool WaitForBoxes(size_t count, DWORD ms = 10000);
  // The owner of each box seen since the last Take() (null for none), as it
  // was while the box was up; taking the texts clears these too.
  std::vector<HWND> Owners();

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Poll();
  CRITICAL_SECTION lock_;
  std::vector<std::string> seen_;
  std::vector<std::wstring> seenWide_;
  std::vector<HWND> owners_;
  std::vector<DWORD> pids_;
  HANDLE thread_ = nullptr;
  volatile LONG stop_ = 0;
  bool initialised_ = false;
};

// A run meant for one ANSI code page (QUILLO_EXPECT_ACP=932 in its environment)
// must get it: Wine quietly falls back to 1252 when the Unix locale is
// missing, and the run would then test nothing of Shift-JIS. False, with a
// message, when the code page differs.
bool RunsInExpectedCodePage();

// Reads a whole file; empty when it cannot be read.
std::vector<unsigned char> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// A stand-in for the resident window in this process: of the resident
// program's class (the libraries send to no other), handled by `proc` (or
// DefWindowProcA), and published in the shared block as the resident window
// unless `publish` is false. Destroy it with DestroyWindow.
HWND CreateResidentStandIn(WNDPROC proc, DWORD style = 0, HWND parent = HWND_MESSAGE, bool publish = true);

}  // namespace quillo::wine
