// The application object of Quillo.exe: one running copy per user, the
// settings from start to end, and the hidden main window in between.
#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>

#include "app_routines_win.h"
#include "handles_win.h"
#include "main_frame_win.h"
#include "module_folder_win.h"
#include "quillo_hook.h"
#include "quillo_messages.h"
#include "resource.h"
#include "settings_win.h"

namespace quillo {
namespace {

constexpr char kInstanceMutex[] = "Quillo Instance";

class CQuilloApp {
 public:
  // True when the program keeps running.
  bool InitInstance();
  void ExitInstance();

 private:
  void EnsureDefaultMenuFile();
  // The entries of the paste-method list the load refused, told once.
  void ReportPasteMethodProblems();

  std::string folder_;
  UniqueHandle mutex_;
  settings::Settings settings_;
  bool settingsLoaded_ = false;
  bool comReady_ = false;
  std::unique_ptr<CMainFrame> frame_;
};

bool CQuilloApp::InitInstance() {
  // One copy per user: a second start only asks the first to show its icon.
  HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kInstanceMutex);
  if (existing != nullptr) {
    CloseHandle(existing);
    if (HWND first = ResidentWindow()) PostMessageA(first, kMsgShowIcon, 0, 0);
    return false;
  }
  mutex_.reset(CreateMutexA(nullptr, FALSE, kInstanceMutex));
  // Two copies started at the same moment both miss the mutex above; the one
  // that did not create it steps back here.
  if (!mutex_ || GetLastError() == ERROR_ALREADY_EXISTS) {
    mutex_.reset();
    return false;
  }
  // Everything the libraries read lives in the session's shared block: it
  // must be there before the settings go into it. One that someone else made
  // under our name could be read or changed by them: refuse to start.
  const SharedBlockMade block = CreateSharedBlock();
  if (block == SharedBlockMade::kForeign || block == SharedBlockMade::kFailed) {
    QuilloMessageBox(block == SharedBlockMade::kForeign ? IDS_SHARED_BLOCK_FOREIGN : IDS_SHARED_BLOCK_FAILED,
                     MB_OK | MB_ICONSTOP);
    mutex_.reset();
    return false;
  }
  if (block == SharedBlockMade::kReused) ResetSharedBlock();
  folder_ = ModuleFolder(nullptr);
  comReady_ = SUCCEEDED(CoInitialize(nullptr));
  EnsureDefaultMenuFile();
  LoadSettingsFromRegistry(folder_, settings_);
  ReportPasteMethodProblems();
  WriteLoadTimeSharedSettings(settings_);
  settingsLoaded_ = true;
  frame_ = std::make_unique<CMainFrame>(settings_, folder_);
  return frame_->Create();
}

void CQuilloApp::ReportPasteMethodProblems() {
  // One box for all of them, the first few named: a damaged list must not
  // stop the start with a box per entry.
  const std::vector<std::string>& problems = settings_.PasteProgramProblems;
  if (problems.empty()) return;
  std::string lines;
  constexpr size_t kShown = 5;
  for (size_t i = 0; i < problems.size() && i < kShown; ++i) lines += (i == 0 ? "" : "\n") + problems[i];
  if (problems.size() > kShown) lines += "\n...";
  QuilloMessageBoxWithLine(IDS_PASTE_METHODS_LEFT_OUT, lines.c_str());
}

void CQuilloApp::EnsureDefaultMenuFile() {
  const std::string menu = folder_ + "\\MenuItem.txt";
  if (GetFileAttributesA(menu.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  const std::string tmpl = folder_ + "\\MenuTemp.txt";
  if (GetFileAttributesA(tmpl.c_str()) == INVALID_FILE_ATTRIBUTES) {
    QuilloMessageBox(IDS_NO_MENU_TEMPLATE);
    return;
  }
  CopyFileA(tmpl.c_str(), menu.c_str(), TRUE);  // never overwrites the user's file
}

void CQuilloApp::ExitInstance() {
  frame_.reset();
  if (comReady_) CoUninitialize();
  // A second copy neither loaded nor saves anything; a failed start still
  // saves, so a clear-history key switched off on the way is kept off.
  if (settingsLoaded_) SaveSettingsToRegistry(folder_, settings_);
  mutex_.reset();
}

}  // namespace
}  // namespace quillo

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  quillo::CQuilloApp app;
  int code = 0;
  if (app.InitInstance()) {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    code = static_cast<int>(msg.wParam);
  }
  app.ExitInstance();
  return code;
}
