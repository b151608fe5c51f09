#include "help/open_guide_win.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <new>
#include <string>

#include "help/guide_link.h"
#include "message_box_win.h"
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

// The command the system starts for `kind` ("http": the user's web browser).
std::wstring RegisteredCommand(const wchar_t* kind) {
  wchar_t command[2048];
  DWORD length = ARRAYSIZE(command);
  if (FAILED(AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, kind, L"open", command, &length))) {
    return std::wstring();
  }
  return command;
}

bool StartCommandLine(const std::wstring& commandLine) {
  if (commandLine.empty()) return false;
  std::wstring writable = commandLine;  // CreateProcessW may write into it
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, &writable[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

void TellWhereTheGuideIs(UINT id, const std::wstring& path) {
  char shown[MAX_PATH * 2] = "";
  if (WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, shown, sizeof shown, nullptr, nullptr) <= 0) shown[0] = '\0';
  // This thread owns no window: a window of the main thread as owner would be
  // disabled from here while the box is up. None, above the window in front.
  ShowQuilloMessageOwnedBy(nullptr, GetModuleHandleA(nullptr), id, MB_OK | MB_ICONINFORMATION | MB_TOPMOST | MB_SETFOREGROUND,
                           shown);
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
  return 0;
}

}  // namespace

void OpenGuide(int topic) {
  wchar_t module[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  GuideRequest* request = new (std::nothrow) GuideRequest;
  if (request == nullptr) return;
  try {
    request->path.assign(module, length);
    const size_t slash = request->path.find_last_of(L'\\');
    if (slash == std::wstring::npos) {
      delete request;
      return;
    }
    request->path.resize(slash + 1);
    request->path += FromUtf8(help::kGuideFile);
    request->anchor = help::AnchorOfTopic(topic);
  } catch (const std::bad_alloc&) {
    delete request;
    return;
  }
  // A browser that is slow to start, or a message about a missing guide,
  // must not keep the resident window from its clipboard and its hooks.
  HANDLE thread = CreateThread(nullptr, 0, OpenGuideThread, request, 0, nullptr);
  if (thread == nullptr) {
    delete request;
    return;
  }
  CloseHandle(thread);
}

}  // namespace quillo
