#include "help/open_guide_win.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <atomic>
#include <new>
#include <string>

#include "help/guide_link.h"
#include "resource.h"

namespace quillo {

namespace {

struct GuideRequest {
  std::wstring path;  // the guide file
  std::string anchor;
};

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
  out.resize(static_cast<size_t>(size - 1));
  return out;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 1) return std::wstring();
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], size);
  out.resize(static_cast<size_t>(size - 1));
  return out;
}

// The command the system starts for `kind` ("http": the user's web browser),
// with the variables of a REG_EXPAND_SZ command ("%ProgramFiles%\...") filled in.
std::wstring RegisteredCommand(const wchar_t* kind) {
  wchar_t command[2048];
  DWORD length = ARRAYSIZE(command);
  if (FAILED(AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, kind, L"open", command, &length))) {
    return std::wstring();
  }
  wchar_t expanded[4096];
  const DWORD size = ExpandEnvironmentStringsW(command, expanded, ARRAYSIZE(expanded));
  if (size == 0 || size > ARRAYSIZE(expanded)) return std::wstring();
  return expanded;
}

bool StartCommandLine(const std::wstring& commandLine) {
  if (commandLine.empty()) return false;
  std::wstring writable = commandLine;  // CreateProcessW may write into it
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, &writable[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  // The user asked for the guide: the browser may take the front from us.
  AllowSetForegroundWindow(pi.dwProcessId);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

void TellWhereTheGuideIs(UINT id, const std::wstring& path) {
  // Wide all the way: a folder name the ANSI code page cannot write must
  // still be shown as it is.
  wchar_t pattern[512];
  const int length = LoadStringW(GetModuleHandleW(nullptr), id, pattern, ARRAYSIZE(pattern));
  if (length <= 0) return;
  std::wstring text(pattern, static_cast<size_t>(length));
  const size_t at = text.find(L"%s");
  if (at != std::wstring::npos) text.replace(at, 2, path);
  // This thread owns no window: a window of the main thread as owner would be
  // disabled from here while the box is up. None, above the window in front.
  MessageBoxW(nullptr, text.c_str(), L"Quillo", MB_OK | MB_ICONINFORMATION | MB_TOPMOST | MB_SETFOREGROUND);
}

void OpenGuideNow(const GuideRequest& request) {
  if (GetFileAttributesW(request.path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    TellWhereTheGuideIs(IDS_GUIDE_MISSING, request.path);
    return;
  }
  // Handing a file's path to the shell loses the "#section": the shell looks
  // for a file of that name, or opens the file from its start. A browser
  // takes a file URL with its section, so the guide goes to the program that
  // opens web addresses, and to the one for its own type when there is none.
  const std::string url = help::FileUrl(ToUtf8(request.path), request.anchor.c_str());
  if (!url.empty()) {
    for (const wchar_t* kind : {L"http", L".html"}) {
      const std::string command = ToUtf8(RegisteredCommand(kind));
      if (StartCommandLine(FromUtf8(help::BrowserCommandLine(command, url)))) return;
    }
  }
  const HINSTANCE opened = ShellExecuteW(nullptr, L"open", request.path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(opened) > 32) return;
  TellWhereTheGuideIs(IDS_GUIDE_NOT_OPENED, request.path);
}

// One request at a time, and none sooner than kGuideGap after the last one
// began: a held F1, or a program posting the request in a loop, must not
// start a browser (or a message box) per message.
constexpr DWORD kGuideGap = 1000;  // ms
std::atomic<bool> g_guideBusy{false};
std::atomic<DWORD> g_guideStarted{0};
std::atomic<bool> g_guideEverStarted{false};

DWORD WINAPI OpenGuideThread(void* param) {
  GuideRequest* request = static_cast<GuideRequest*>(param);
  // The shell's association calls want COM on the calling thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  try {
    OpenGuideNow(*request);
  } catch (...) {
    // Out of memory while building the address: nothing opens, nothing breaks.
  }
  if (SUCCEEDED(com)) CoUninitialize();
  delete request;
  g_guideBusy.store(false);
  return 0;
}

bool StartGuideThread(int topic) {
  wchar_t module[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  GuideRequest* request = new (std::nothrow) GuideRequest;
  if (request == nullptr) return false;
  try {
    request->path.assign(module, length);
    const size_t slash = request->path.find_last_of(L'\\');
    if (slash == std::wstring::npos) {
      delete request;
      return false;
    }
    request->path.resize(slash + 1);
    request->path += FromUtf8(help::kGuideFile);
    request->anchor = help::AnchorOfTopic(topic);
  } catch (const std::bad_alloc&) {
    delete request;
    return false;
  }
  // A browser that is slow to start, or a message about a missing guide,
  // must not keep the resident window from its clipboard and its hooks.
  HANDLE thread = CreateThread(nullptr, 0, OpenGuideThread, request, 0, nullptr);
  if (thread == nullptr) {
    delete request;
    return false;
  }
  CloseHandle(thread);
  return true;
}

}  // namespace

void OpenGuide(int topic) {
  const DWORD now = GetTickCount();
  if (g_guideEverStarted.load() && now - g_guideStarted.load() < kGuideGap) return;
  bool idle = false;
  if (!g_guideBusy.compare_exchange_strong(idle, true)) return;
  g_guideStarted.store(now);
  g_guideEverStarted.store(true);
  if (!StartGuideThread(topic)) g_guideBusy.store(false);
}

}  // namespace quillo
