// Every dialog template the shipped binaries carry, made into a real dialog at
// the display's DPI: no control lies outside its dialog or on another one, and
// every caption fits its control in the dialog's own font. Run at 96 DPI in
// the shared prefix and at 144 DPI in a prefix of its own (QUILLO_EXPECT_DPI
// says which the run must get; a run at another DPI fails, never passes).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "wine_support.h"

namespace quillo::wine {
namespace {

struct Control {
  HWND hwnd;
  std::string cls, text;
  LONG style;
  RECT rc;  // in the dialog's client coordinates
};

std::string ClassOf(HWND w) {
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  return cls;
}

bool IsGroupBox(const Control& c) {
  return lstrcmpiA(c.cls.c_str(), "Button") == 0 && (c.style & BS_TYPEMASK) == BS_GROUPBOX;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

bool Overlap(const RECT& a, const RECT& b) {
  RECT both;
  return IntersectRect(&both, &a, &b) != FALSE;
}

std::string Describe(const Control& c) {
  char text[200];
  wsprintfA(text, "%s \"%s\" id %d at (%ld,%ld)-(%ld,%ld)", c.cls.c_str(), c.text.c_str(),
            GetDlgCtrlID(c.hwnd), c.rc.left, c.rc.top, c.rc.right, c.rc.bottom);
  return text;
}

// The size `text` takes in the control's font: one line, or wrapped at `wrapWidth`.
SIZE TextSize(HWND control, const std::string& text, int wrapWidth) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
  RECT r{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
  DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {r.right - r.left, r.bottom - r.top};
}

// What a control needs beside its caption, in pixels at the dialog's DPI.
struct Chrome {
  int checkBox;  // the box or circle of a check box or radio button, and the gap after it
  int edge;      // a push button's frame on each side
};

// Faults of one caption: the text does not fit where the control draws it.
std::string CaptionFault(const Control& c, const Chrome& chrome) {
  if (c.text.empty()) return "";
  const int width = c.rc.right - c.rc.left, height = c.rc.bottom - c.rc.top;
  SIZE need{};
  if (lstrcmpiA(c.cls.c_str(), "Static") == 0) {
    const LONG type = c.style & SS_TYPEMASK;
    if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) {
      need = TextSize(c.hwnd, c.text, width);
    } else if (type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE) {
      need = TextSize(c.hwnd, c.text, 0);
    } else {
      return "";  // icons, frames, pictures
    }
  } else if (lstrcmpiA(c.cls.c_str(), "Button") == 0) {
    need = TextSize(c.hwnd, c.text, (c.style & BS_MULTILINE) ? width : 0);
    switch (c.style & BS_TYPEMASK) {
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON:
        need.cx += 2 * chrome.edge;
        need.cy += 2 * chrome.edge;
        break;
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
      case BS_3STATE:
      case BS_AUTO3STATE:
        need.cx += chrome.checkBox;
        break;
      case BS_GROUPBOX:
        need.cx += 4 * chrome.edge;  // the frame's corner before and after the caption
        need.cy = 0;                 // the caption sits on the frame
        break;
      default:
        return "";
    }
  } else {
    return "";
  }
  if (need.cx <= width && need.cy <= height) return "";
  char text[120];
  wsprintfA(text, " needs %ldx%ld pixels, has %dx%d", need.cx, need.cy, width, height);
  return Describe(c) + text;
}

// Whether `updown` is an up-down control whose buddy `edit` it overlaps by
// the buddy's border (two pixels at 96 DPI) at most.
bool BuddyOnBorder(const Control& updown, const Control& edit, UINT dpi) {
  if (lstrcmpiA(updown.cls.c_str(), UPDOWN_CLASSA) != 0) return false;
  if (reinterpret_cast<HWND>(SendMessageA(updown.hwnd, UDM_GETBUDDY, 0, 0)) != edit.hwnd) return false;
  RECT both;
  IntersectRect(&both, &updown.rc, &edit.rc);
  return both.right - both.left <= MulDiv(2, static_cast<int>(dpi), 96);
}

INT_PTR CALLBACK QuietDialog(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

struct Template {
  std::string file;
  int id;
};

BOOL CALLBACK CollectDialog(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
  auto* ids = reinterpret_cast<std::vector<int>*>(param);
  if (IS_INTRESOURCE(name)) ids->push_back(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
  return TRUE;
}

class DialogLayout : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
  }

  // The DPI this run must see: that of the display, as a per-monitor aware
  // program (the shipped programs' manifest asks for that) gets it.
  static UINT ExpectedDpi() {
    const char* want = std::getenv("QUILLO_EXPECT_DPI");
    return want != nullptr ? static_cast<UINT>(std::atoi(want)) : 96;
  }

  // Each template of each shipped file; the files must hold at least the
  // dialogs we know of.
  std::vector<Template> Templates() {
    std::vector<Template> all;
    for (const char* file : {kQuilloExe, kHookDll, kDlgExDll, kCompanionExe}) {
      const std::string path = ExeFolder() + "\\" + file;
      if (std::string(file) == kCompanionExe && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
      HMODULE m = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
      EXPECT_NE(m, nullptr) << path;
      if (m == nullptr) continue;
      std::vector<int> ids;
      EnumResourceNamesA(m, MAKEINTRESOURCEA(5), CollectDialog, reinterpret_cast<LONG_PTR>(&ids));
      for (int id : ids) all.push_back({file, id});
      FreeLibrary(m);
    }
    return all;
  }

  // Makes the dialog, then lists its faults at this DPI.
  std::vector<std::string> Check(const Template& t) {
    std::vector<std::string> faults;
    const std::string path = ExeFolder() + "\\" + t.file;
    // Loaded as a program image, not a data file: static icons load from it.
    HMODULE m = LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (m == nullptr) return {"cannot load " + path};
    HRSRC res = FindResourceA(m, MAKEINTRESOURCEA(t.id), MAKEINTRESOURCEA(5));
    const auto* tmpl = res ? static_cast<const BYTE*>(LockResource(LoadResource(m, res))) : nullptr;
    if (tmpl == nullptr) {
      FreeLibrary(m);
      return {"no template"};
    }
    // DLGTEMPLATEEX starts with version 1 and signature 0xFFFF; its style is at 12.
    const bool ex = reinterpret_cast<const WORD*>(tmpl)[0] == 1 && reinterpret_cast<const WORD*>(tmpl)[1] == 0xFFFF;
    DWORD style = 0;
    CopyMemory(&style, tmpl + (ex ? 12 : 0), sizeof style);
    // A property page is a child: it is made inside a host window.
    HWND host = nullptr;
    if (style & WS_CHILD) {
      host = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 1000, 700, nullptr, nullptr, nullptr, nullptr);
    }
    HWND dialog = CreateDialogIndirectParamA(m, reinterpret_cast<LPCDLGTEMPLATEA>(tmpl), host, QuietDialog, 0);
    if (dialog == nullptr) {
      faults.push_back("the dialog could not be made, error " + std::to_string(GetLastError()));
    } else {
      UINT dpi = 96;
      using DpiForWindow = UINT(WINAPI*)(HWND);
      if (auto forWindow = reinterpret_cast<DpiForWindow>(
              reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")))) {
        dpi = forWindow(dialog);
      }
      if (dpi != ExpectedDpi()) faults.push_back("made at " + std::to_string(dpi) + " DPI");
      const Chrome chrome{MulDiv(13 + 4, static_cast<int>(dpi), 96), MulDiv(3, static_cast<int>(dpi), 96)};
      RECT client;
      GetClientRect(dialog, &client);
      std::vector<Control> controls;
      for (HWND w = GetWindow(dialog, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
        Control c{w, ClassOf(w), "", GetWindowLongA(w, GWL_STYLE), {}};
        char text[256] = {};
        GetWindowTextA(w, text, sizeof text);
        c.text = text;
        GetWindowRect(w, &c.rc);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&c.rc), 2);
        if (c.style & WS_VISIBLE) controls.push_back(c);
      }
      for (size_t i = 0; i < controls.size(); ++i) {
        const Control& a = controls[i];
        if (!Inside(a.rc, client)) faults.push_back(Describe(a) + " lies outside the dialog");
        if (std::string fault = CaptionFault(a, chrome); !fault.empty()) faults.push_back(fault);
        for (size_t j = i + 1; j < controls.size(); ++j) {
          const Control& b = controls[j];
          if (!Overlap(a.rc, b.rc)) continue;
          // A group box holds controls: they lie wholly inside its frame.
          if (IsGroupBox(a) && Inside(b.rc, a.rc)) continue;
          if (IsGroupBox(b) && Inside(a.rc, b.rc)) continue;
          // An up-down control aligned to its buddy sits on the buddy's border,
          // as the control draws it, and no further.
          if (BuddyOnBorder(a, b, dpi) || BuddyOnBorder(b, a, dpi)) continue;
          faults.push_back(Describe(a) + " overlaps " + Describe(b));
        }
      }
      DestroyWindow(dialog);
    }
    if (host != nullptr) DestroyWindow(host);
    FreeLibrary(m);
    return faults;
  }
};

TEST_F(DialogLayout, NoControlLiesOutsideItsDialogOrOnAnotherAndEveryCaptionFits) {
  // Run as the shipped programs run: per-monitor aware, so the dialogs are
  // made at the display's DPI and not at 96 scaled by the system.
  using SetContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
  auto setContext = reinterpret_cast<SetContext>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
  ASSERT_NE(setContext, nullptr);
  const DPI_AWARENESS_CONTEXT before = setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);

  const auto templates = Templates();
  // The resident program's dialogs and pages, the library's and the
  // companion's: a file that lost its templates must not pass as empty.
  int ofProgram = 0, ofHook = 0;
  for (const auto& t : templates) {
    ofProgram += t.file == kQuilloExe;
    ofHook += t.file == kHookDll;
  }
  EXPECT_GE(ofProgram, 9);
  EXPECT_GE(ofHook, 5);
  for (const auto& t : templates) {
    for (const auto& fault : Check(t)) {
      ADD_FAILURE() << t.file << " dialog " << t.id << " at " << ExpectedDpi() << " DPI: " << fault;
    }
  }
  // Again with the common controls the shipped programs' manifest asks for
  // (version 6, whose buttons, statics and edits are classes of their own),
  // as the resident program makes its dialogs, and as a program with such a
  // manifest makes the library's.
  ACTCTXA request{};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  const std::string program = ExeFolder() + "\\" + kQuilloExe;
  request.lpSource = program.c_str();
  request.lpResourceName = MAKEINTRESOURCEA(1);
  HANDLE context = CreateActCtxA(&request);
  ASSERT_NE(context, INVALID_HANDLE_VALUE) << "the program's manifest makes no activation context";
  ULONG_PTR cookie = 0;
  ASSERT_TRUE(ActivateActCtx(context, &cookie));
  // The context is in effect: a button is now the version 6 control, which
  // answers BCM_GETIDEALSIZE.
  HWND probe = CreateWindowExA(0, "Button", "Probe", WS_POPUP | BS_PUSHBUTTON, 0, 0, 80, 24, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(probe, nullptr);
  SIZE ideal{};
  EXPECT_TRUE(SendMessageA(probe, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) != 0 && ideal.cx > 0)
      << "the buttons are not the version 6 control";
  DestroyWindow(probe);
  for (const auto& t : templates) {
    for (const auto& fault : Check(t)) {
      ADD_FAILURE() << t.file << " dialog " << t.id << " at " << ExpectedDpi() << " DPI, common controls 6: " << fault;
    }
  }
  DeactivateActCtx(0, cookie);
  ReleaseActCtx(context);
  setContext(before);
}

}  // namespace
}  // namespace quillo::wine
