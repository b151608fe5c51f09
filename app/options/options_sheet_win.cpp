// The six pages as small dialog procedures over their models: members into
// controls when a page is first shown, controls back into members when it is
// left, and the models' answers shown to the user.
#include "options/options_sheet_win.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app_routines_win.h"
#include "help/open_guide_win.h"
#include "help_topics.h"
#include "options/options_res.h"
#include "options/property_page_win.h"
#include "settings_win.h"

namespace quillo {
namespace {

using options::Focus;

constexpr const char* kMenuPosTexts[] = {"Caret", "Mouse Cursor", "Menu Bar"};
constexpr const char* kPasteTexts[] = {"Ctrl + V", "Shift + Ins", "Ctrl + Y"};
constexpr const char* kCutTexts[] = {"Ctrl + X", "Shift + Del", "Ctrl + W"};
constexpr const char* kTitleMenuTexts[] = {"Custom Menu", "Stack Menu", "Both Menu"};

constexpr char kEditorFilter[] = "Applications (*.exe)\0*.exe\0All Files (*.*)\0*.*\0";
constexpr char kMenuFileFilter[] = "Text Documents (*.txt)\0*.txt\0All Files (*.*)\0*.*\0";
constexpr char kApplicationFilter[] = "Applications (*.exe;*.dll)\0*.exe;*.dll\0All Files (*.*)\0*.*\0";

// The controls the models' Focus values stand for.
int ControlOf(Focus focus) {
  switch (focus) {
    case Focus::kTitleMenuKind: return IDC_GEN_TITLEKIND;
    case Focus::kMenuFileList: return IDC_CUS_LIST;
    case Focus::kMenuFileShortcut: return IDC_CUS_FILEKIND;
    case Focus::kMenuFileHotKey: return IDC_CUS_FILEHOTKEY;
    case Focus::kSwitchHotKey: return IDC_CUS_SWITCHHOTKEY;
    case Focus::kEncloseTimeLag: return IDC_CUS_LAG;
    case Focus::kKeyStrokeTimeLag: return IDC_CUS_INTERVAL;
    case Focus::kStackHotKey: return IDC_STK_HOTKEY;
    case Focus::kClearHistoryHotKey: return IDC_STK_CLEARHOTKEY;
    case Focus::kMaxHistoryNum: return IDC_STK_HISTNUM;
    case Focus::kMaxCharNum: return IDC_STK_CHARNUM;
    case Focus::kQuote: return IDC_STK_QUOTE;
    case Focus::kKeyInterval: return IDC_MAC_KEYINTERVAL;
    case Focus::kMouseInterval: return IDC_MAC_MOUSEINTERVAL;
    case Focus::kLoopPlay: return IDC_MAC_LOOP;
    case Focus::kSkipList: return IDC_FDX_LIST;
    case Focus::kNone: break;
  }
  return 0;
}

// What every page of one sheet shares.
struct SheetContext {
  std::string folder;
  // Every page as it stands, for the checks that span two pages.
  const options::OptionPages& pages;
};

// A page over the model `Model`, with what all six have in common: help,
// the models' answers shown, and the shortcut lists beside hot-key controls.
template <typename Model>
class CModelPage : public CPropertyPage {
 protected:
  CModelPage(UINT templateId, Model& model, const SheetContext& context)
      : CPropertyPage(templateId), model_(model), context_(context) {}

  void OnHelp() override {
    OpenGuide(help::DialogTopic(static_cast<int>(templateId())));
  }

  // A page check's answer: true when it passed.
  bool Passed(const options::CheckResult& result) {
    if (result.ok()) return true;
    Refuse(static_cast<UINT>(result.messageId), ControlOf(result.focus),
           result.argument.empty() ? nullptr : result.argument.c_str());
    return false;
  }

  // A field check's answer. The framework's texts are Japanese: they are
  // shown from UTF-16, so they read right whatever the ANSI code page is.
  bool Passed(const options::FieldFailure& failure) {
    if (failure.focus == Focus::kNone) return true;
    char text[256];
    options::MakeFieldMessage(failure.check, text, sizeof text);
    wchar_t wide[256] = {};
    if (MultiByteToWideChar(932, 0, text, -1, wide, 256) <= 0) wide[0] = L'\0';
    MessageBoxW(sheet(), wide, L"Quillo", MB_OK | MB_ICONEXCLAMATION);
    const int id = ControlOf(failure.focus);
    SetFocus(item(id));
    SendDlgItemMessageA(hwnd(), id, EM_SETSEL, 0, -1);
    return false;
  }

  void FillShortcutList(int id) { FillCombo(id, options::kShortcutListTexts, options::kShortcutListCount); }

  void ShowShortcut(int listId, int hotKeyId, const options::ShortcutField& field) {
    SetComboIndex(listId, field.listIndex);
    SetHotKey(hotKeyId, field.hotKey.key, field.hotKey.modifiers);
    Enable(hotKeyId, options::HotKeyEnabled(field));
  }

  options::HotKey ReadHotKey(int id, bool ctrlAltRule) const {
    WORD key = 0;
    WORD bits = 0;
    HotKey(id, key, bits);
    const options::HotKey value{key, bits};
    return ctrlAltRule ? options::ApplyCtrlAltRule(value) : value;
  }

  void ReadShortcut(int listId, int hotKeyId, bool ctrlAltRule, options::ShortcutField& field) const {
    field.listIndex = ComboIndex(listId);
    field.hotKey = ReadHotKey(hotKeyId, ctrlAltRule);
  }

  // The user picked another entry of a shortcut list: (Others) opens the
  // hot-key control and takes the user there; anything else clears it.
  void OnShortcutPicked(int listId, int hotKeyId, options::ShortcutField& field) {
    options::SelectShortcutListEntry(field, ComboIndex(listId));
    ShowShortcut(listId, hotKeyId, field);
    if (options::HotKeyEnabled(field)) SetFocus(item(hotKeyId));
  }

  Model& model_;
  const SheetContext& context_;
};

class CGeneralPage : public CModelPage<options::GeneralPage> {
 public:
  CGeneralPage(options::GeneralPage& model, const SheetContext& context)
      : CModelPage(IDD_OPTIONS_GENERAL, model, context) {}

 protected:
  void OnInitPage() override {
    FillCombo(IDC_GEN_MENUPOS, kMenuPosTexts, 3);
    FillCombo(IDC_GEN_PASTE, kPasteTexts, 3);
    FillCombo(IDC_GEN_CUT, kCutTexts, 3);
    FillCombo(IDC_GEN_TITLEKIND, kTitleMenuTexts, 3);
    SetComboIndex(IDC_GEN_MENUPOS, model_.menuPos);
    SetComboIndex(IDC_GEN_PASTE, model_.pasteCmd);
    SetComboIndex(IDC_GEN_CUT, model_.cutCmd);
    SetChecked(IDC_GEN_STARTUP, model_.launchWithWindows);
    Enable(IDC_GEN_STARTUP, model_.startupState >= 0);
    SetChecked(IDC_GEN_COPYONLY, model_.copyOnly);
    SetChecked(IDC_GEN_RESETCURSOR, model_.resetCursor);
    SetChecked(IDC_GEN_HIDEICON, model_.hideIcon);
    SetChecked(IDC_GEN_TITLEMENU, model_.titleMenuOn);
    SetComboIndex(IDC_GEN_TITLEKIND, model_.titleMenuKind);
    Enable(IDC_GEN_TITLEKIND, model_.titleMenuOn);
  }

  void OnCommand(int id, int code) override {
    if (id == IDC_GEN_TITLEMENU && code == BN_CLICKED) {
      Enable(IDC_GEN_TITLEKIND, Checked(IDC_GEN_TITLEMENU));
    } else if (id == IDC_GEN_EDITOR && code == BN_CLICKED) {
      ChooseEditor();
    }
  }

  bool OnLeave() override {
    model_.menuPos = ComboIndex(IDC_GEN_MENUPOS);
    model_.pasteCmd = ComboIndex(IDC_GEN_PASTE);
    model_.cutCmd = ComboIndex(IDC_GEN_CUT);
    model_.launchWithWindows = Checked(IDC_GEN_STARTUP);
    model_.copyOnly = Checked(IDC_GEN_COPYONLY);
    model_.resetCursor = Checked(IDC_GEN_RESETCURSOR);
    model_.hideIcon = Checked(IDC_GEN_HIDEICON);
    model_.titleMenuOn = Checked(IDC_GEN_TITLEMENU);
    model_.titleMenuKind = ComboIndex(IDC_GEN_TITLEKIND);
    return Passed(options::CheckGeneralPage(model_));
  }

 private:
  void ChooseEditor() {
    options::EditorChooserStart start = options::EditorChooserStartFor(model_.editor);
    if (start.folder.empty()) {
      // A bare program name: start where the system would find it.
      char found[MAX_PATH] = {};
      char* name = nullptr;
      const DWORD n = SearchPathA(nullptr, start.fileName.c_str(), nullptr, MAX_PATH, found, &name);
      if (n > 0 && n < MAX_PATH && name != nullptr && name > found) start.folder.assign(found, name - 1);
    }
    std::string chosen;
    if (AskFileName(sheet(), false, "Select Favorite Editor", kEditorFilter, "exe", start.folder, start.fileName, chosen)) {
      model_.editor = chosen;
    }
  }
};

class CCustomPage : public CModelPage<options::CustomMenuPage> {
 public:
  CCustomPage(options::CustomMenuPage& model, const SheetContext& context)
      : CModelPage(IDD_OPTIONS_CUSTOM, model, context) {}

 protected:
  void OnInitPage() override {
    FillShortcutList(IDC_CUS_FILEKIND);
    FillShortcutList(IDC_CUS_SWITCHKIND);
    SetHotKeyRules(IDC_CUS_FILEHOTKEY, true);
    SetHotKeyRules(IDC_CUS_SWITCHHOTKEY, false);
    SetSpin(IDC_CUS_LAGSPIN, 0, options::kEncloseTimeLagMax, true);
    SetSpin(IDC_CUS_INTERVALSPIN, 0, options::kKeyStrokeTimeLagMax, true);
    SetNumber(IDC_CUS_LAG, model_.encloseTimeLag);
    SetNumber(IDC_CUS_INTERVAL, model_.keyStrokeTimeLag);
    SetChecked(IDC_CUS_CUTLASTRET, model_.cutLastRet);
    ShowShortcut(IDC_CUS_SWITCHKIND, IDC_CUS_SWITCHHOTKEY, model_.switchKey);
    ShowList();
  }

  void OnCommand(int id, int code) override {
    options::MenuFileList& files = model_.files;
    switch (id) {
      case IDC_CUS_LIST:
        if (code == LBN_SELCHANGE) {
          files.Select(static_cast<int>(SendDlgItemMessageA(hwnd(), IDC_CUS_LIST, LB_GETCURSEL, 0, 0)));
          ShowSelected();
        }
        break;
      case IDC_CUS_ADD:
        if (code == BN_CLICKED) Add();
        break;
      case IDC_CUS_DELETE:
      case IDC_CUS_UP:
      case IDC_CUS_DOWN:
        if (code == BN_CLICKED) {
          const int refused = id == IDC_CUS_DELETE ? files.Delete() : id == IDC_CUS_UP ? files.MoveUp() : files.MoveDown();
          if (refused != 0) {
            Refuse(static_cast<UINT>(refused), IDC_CUS_LIST);
          } else {
            ShowList();
          }
        }
        break;
      case IDC_CUS_ATTACH:
        if (code == BN_CLICKED) {
          ReadShortcut(IDC_CUS_FILEKIND, IDC_CUS_FILEHOTKEY, false, fileShortcut_);
          Passed(files.Attach(fileShortcut_));
        }
        break;
      case IDC_CUS_FILEKIND:
        if (code == CBN_SELCHANGE) OnShortcutPicked(IDC_CUS_FILEKIND, IDC_CUS_FILEHOTKEY, fileShortcut_);
        break;
      case IDC_CUS_SWITCHKIND:
        if (code == CBN_SELCHANGE) OnShortcutPicked(IDC_CUS_SWITCHKIND, IDC_CUS_SWITCHHOTKEY, model_.switchKey);
        break;
      default:
        break;
    }
  }

  bool OnLeave() override {
    ReadShortcut(IDC_CUS_SWITCHKIND, IDC_CUS_SWITCHHOTKEY, true, model_.switchKey);
    model_.cutLastRet = Checked(IDC_CUS_CUTLASTRET);
    const std::string lag = Text(IDC_CUS_LAG);
    const std::string interval = Text(IDC_CUS_INTERVAL);
    if (!Passed(options::ExchangeCustomMenuFields(model_, lag.c_str(), interval.c_str()))) return false;
    if (!Passed(options::CheckCustomMenuPage(model_))) return false;
    return Passed(options::CheckShortcutsAcrossPages(model_, context_.pages.stackMenu, options::SheetPage::kCustomMenu));
  }

 private:
  void Add() {
    options::MenuFileList& files = model_.files;
    if (const int refused = files.CheckCanAdd()) {
      Refuse(static_cast<UINT>(refused), IDC_CUS_LIST);
      return;
    }
    if (context_.folder.empty()) {
      Refuse(IDS_NO_PROGRAM_FOLDER, IDC_CUS_LIST);
      return;
    }
    std::string chosen;
    if (!AskFileName(sheet(), false, "Select Menu File", kMenuFileFilter, "txt", context_.folder, "", chosen)) return;
    files.Add(chosen.c_str());
    ShowList();
    SetFocus(item(IDC_CUS_LIST));
  }

  // The list box from the model, its selection, and the selected entry.
  void ShowList() {
    const options::MenuFileList& files = model_.files;
    SendDlgItemMessageA(hwnd(), IDC_CUS_LIST, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < files.Count(); ++i) {
      const std::string name = files.DisplayName(i);
      SendDlgItemMessageA(hwnd(), IDC_CUS_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    SendDlgItemMessageA(hwnd(), IDC_CUS_LIST, LB_SETCURSEL, static_cast<WPARAM>(files.Selection()), 0);
    ShowSelected();
  }

  void ShowSelected() {
    SetText(IDC_CUS_PATH, model_.files.SelectedFolderText(context_.folder));
    fileShortcut_ = model_.files.SelectedShortcut();
    ShowShortcut(IDC_CUS_FILEKIND, IDC_CUS_FILEHOTKEY, fileShortcut_);
  }

  // The shortcut list beside the file list: what "Attach" gives the selected entry.
  options::ShortcutField fileShortcut_ = {};
};

class CStackPage : public CModelPage<options::StackMenuPage> {
 public:
  CStackPage(options::StackMenuPage& model, const SheetContext& context)
      : CModelPage(IDD_OPTIONS_STACK, model, context) {}

 protected:
  void OnInitPage() override {
    FillShortcutList(IDC_STK_KIND);
    SetHotKeyRules(IDC_STK_HOTKEY, false);
    SetHotKeyRules(IDC_STK_CLEARHOTKEY, false);
    SetSpin(IDC_STK_HISTNUMSPIN, options::kHistoryNumMin, options::kHistoryNumMax, false);
    SetSpin(IDC_STK_CHARNUMSPIN, options::kCharNumMin, options::kCharNumMax, false);
    SendDlgItemMessageA(hwnd(), IDC_STK_QUOTE, EM_LIMITTEXT, options::kQuoteMaxBytes, 0);
    ShowShortcut(IDC_STK_KIND, IDC_STK_HOTKEY, model_.stackKey);
    SetNumber(IDC_STK_HISTNUM, model_.maxHistoryNum);
    SetNumber(IDC_STK_CHARNUM, model_.maxCharNum);
    SetHotKey(IDC_STK_CLEARHOTKEY, model_.clearHistory.key, model_.clearHistory.modifiers);
    SetText(IDC_STK_QUOTE, model_.quote);
    SetChecked(IDC_STK_SAVEHIST, model_.saveHist);
    SetChecked(IDC_STK_MOVETOP, model_.moveStackTop);
    SetChecked(IDC_STK_SKIPWORD, model_.skipWord);
    SetChecked(IDC_STK_SKIPTOPSPACE, model_.skipTopSpace);
    SetChecked(IDC_STK_CUTLASTRET2, model_.cutLastRet2);
  }

  void OnCommand(int id, int code) override {
    if (id == IDC_STK_KIND && code == CBN_SELCHANGE) OnShortcutPicked(IDC_STK_KIND, IDC_STK_HOTKEY, model_.stackKey);
  }

  bool OnLeave() override {
    ReadShortcut(IDC_STK_KIND, IDC_STK_HOTKEY, true, model_.stackKey);
    model_.clearHistory = ReadHotKey(IDC_STK_CLEARHOTKEY, true);
    model_.saveHist = Checked(IDC_STK_SAVEHIST);
    model_.moveStackTop = Checked(IDC_STK_MOVETOP);
    model_.skipWord = Checked(IDC_STK_SKIPWORD);
    model_.skipTopSpace = Checked(IDC_STK_SKIPTOPSPACE);
    model_.cutLastRet2 = Checked(IDC_STK_CUTLASTRET2);
    const std::string history = Text(IDC_STK_HISTNUM);
    const std::string chars = Text(IDC_STK_CHARNUM);
    const std::string quote = Text(IDC_STK_QUOTE);
    if (!Passed(options::ExchangeStackMenuFields(model_, history.c_str(), chars.c_str(), quote.c_str()))) return false;
    if (!Passed(options::CheckStackMenuPage(model_))) return false;
    return Passed(options::CheckShortcutsAcrossPages(context_.pages.customMenu, model_, options::SheetPage::kStackMenu));
  }
};

class CMacroPage : public CModelPage<options::MacroPage> {
 public:
  CMacroPage(options::MacroPage& model, const SheetContext& context)
      : CModelPage(IDD_OPTIONS_MACRO, model, context) {}

 protected:
  void OnInitPage() override {
    SetSpin(IDC_MAC_KEYSPIN, 0, options::kIntervalSpinMax, true);
    SetSpin(IDC_MAC_MOUSESPIN, 0, options::kIntervalSpinMax, true);
    SetSpin(IDC_MAC_LOOPSPIN, 0, options::kLoopPlayMax, false);
    SetChecked(IDC_MAC_RECSPEED, model_.playStyle == 0);
    SetChecked(IDC_MAC_INTERVALS, model_.playStyle == 1);
    SetNumber(IDC_MAC_KEYINTERVAL, model_.keyInterval);
    SetNumber(IDC_MAC_MOUSEINTERVAL, model_.mouseInterval);
    SetNumber(IDC_MAC_LOOP, model_.loopPlay);
    SetChecked(IDC_MAC_RECKEY, model_.recKey);
    SetChecked(IDC_MAC_RECMOUSE, model_.recMouse);
    SetChecked(IDC_MAC_CUTMOVE, model_.cutMouseMove);
    SetChecked(IDC_MAC_TOPMOST, model_.dispTopMost);
    SetChecked(IDC_MAC_BEEP, model_.messageBeep);
    ShowEnabled();
  }

  void OnCommand(int id, int code) override {
    if (code == BN_CLICKED && (id == IDC_MAC_RECSPEED || id == IDC_MAC_INTERVALS || id == IDC_MAC_RECMOUSE)) {
      ShowEnabled();
    }
  }

  bool OnLeave() override {
    // Neither button checked (a stored style the page does not know) keeps it.
    if (Checked(IDC_MAC_RECSPEED)) model_.playStyle = 0;
    if (Checked(IDC_MAC_INTERVALS)) model_.playStyle = 1;
    model_.recKey = Checked(IDC_MAC_RECKEY);
    model_.recMouse = Checked(IDC_MAC_RECMOUSE);
    model_.cutMouseMove = Checked(IDC_MAC_CUTMOVE);
    model_.dispTopMost = Checked(IDC_MAC_TOPMOST);
    model_.messageBeep = Checked(IDC_MAC_BEEP);
    const std::string key = Text(IDC_MAC_KEYINTERVAL);
    const std::string mouse = Text(IDC_MAC_MOUSEINTERVAL);
    const std::string loop = Text(IDC_MAC_LOOP);
    return Passed(options::ExchangeMacroFields(model_, key.c_str(), mouse.c_str(), loop.c_str()));
  }

 private:
  void ShowEnabled() {
    const bool intervals = Checked(IDC_MAC_INTERVALS);
    for (int id : {IDC_MAC_KEYINTERVAL, IDC_MAC_KEYSPIN, IDC_MAC_MOUSEINTERVAL, IDC_MAC_MOUSESPIN}) Enable(id, intervals);
    Enable(IDC_MAC_CUTMOVE, Checked(IDC_MAC_RECMOUSE));
  }
};

class CFileDlgExPage : public CModelPage<options::FileDlgExPage> {
 public:
  CFileDlgExPage(options::FileDlgExPage& model, const SheetContext& context)
      : CModelPage(IDD_OPTIONS_FILEDLGEX, model, context) {}

 protected:
  void OnInitPage() override {
    SetChecked(IDC_FDX_SAME, model_.sameContents);
    SetChecked(IDC_FDX_INDIVIDUAL, !model_.sameContents);
    ShowList();
  }

  void OnCommand(int id, int code) override {
    options::SkipList& apps = model_.skipApps;
    if (id == IDC_FDX_LIST && code == LBN_SELCHANGE) {
      apps.Select(static_cast<int>(SendDlgItemMessageA(hwnd(), IDC_FDX_LIST, LB_GETCURSEL, 0, 0)));
    } else if (id == IDC_FDX_ADD && code == BN_CLICKED) {
      std::string chosen;
      if (!AskFileName(sheet(), false, "Select Application", kApplicationFilter, "exe", "", "", chosen)) return;
      apps.Add(chosen);
      ShowList();
      SetFocus(item(IDC_FDX_LIST));
    } else if (id == IDC_FDX_DELETE && code == BN_CLICKED) {
      if (const int refused = apps.Delete()) {
        Refuse(static_cast<UINT>(refused), IDC_FDX_LIST);
        return;
      }
      ShowList();
      if (apps.Count() == 0) SetFocus(item(IDC_FDX_LIST));
    }
  }

  bool OnLeave() override {
    model_.sameContents = Checked(IDC_FDX_SAME);
    return true;
  }

 private:
  void ShowList() {
    const options::SkipList& apps = model_.skipApps;
    SendDlgItemMessageA(hwnd(), IDC_FDX_LIST, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < apps.Count(); ++i) {
      const std::string name = apps.DisplayName(i);
      SendDlgItemMessageA(hwnd(), IDC_FDX_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    SendDlgItemMessageA(hwnd(), IDC_FDX_LIST, LB_SETCURSEL, static_cast<WPARAM>(apps.Selection()), 0);
  }
};

class CPastePage : public CModelPage<options::PasteMethodsPage> {
 public:
  CPastePage(options::PasteMethodsPage& model, const SheetContext& context)
      : CModelPage(IDD_OPTIONS_PASTE, model, context) {}

 protected:
  void OnInitPage() override {
    // In the order of the methods' values: the list's index is the method.
    const char* labels[kPasteMethodCount];
    for (int32_t m = 0; m < kPasteMethodCount; ++m) labels[m] = options::PasteMethodLabel(m);
    FillCombo(IDC_PST_METHOD, labels, kPasteMethodCount);
    // A program is put on the list mostly because it takes no paste keys.
    SetComboIndex(IDC_PST_METHOD, kPasteType);
    SendDlgItemMessageA(hwnd(), IDC_PST_NAME, EM_LIMITTEXT, kPasteProgramBytes - 1, 0);
    // The method's column, in dialog units, past the longest name a user meets.
    INT stop = 150;
    SendDlgItemMessageA(hwnd(), IDC_PST_LIST, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&stop));
    ShowList();
  }

  void OnCommand(int id, int code) override {
    options::PasteMethodList& list = model_.programs;
    if (id == IDC_PST_LIST && code == LBN_SELCHANGE) {
      list.Select(static_cast<int>(SendDlgItemMessageA(hwnd(), IDC_PST_LIST, LB_GETCURSEL, 0, 0)));
      ShowSelected();
    } else if (id == IDC_PST_ADD && code == BN_CLICKED) {
      std::string why;
      if (!list.Add(Text(IDC_PST_NAME), ComboIndex(IDC_PST_METHOD), why)) {
        Refuse(IDS_PASTE_PROGRAM_REFUSED, IDC_PST_NAME, why.c_str());
        return;
      }
      ShowList();
      SetFocus(item(IDC_PST_LIST));
    } else if (id == IDC_PST_CHANGE && code == BN_CLICKED) {
      if (const int refused = list.ChangeMethod(ComboIndex(IDC_PST_METHOD))) {
        Refuse(static_cast<UINT>(refused), IDC_PST_LIST);
        return;
      }
      ShowList();
      SetFocus(item(IDC_PST_LIST));
    } else if (id == IDC_PST_REMOVE && code == BN_CLICKED) {
      if (const int refused = list.Remove()) {
        Refuse(static_cast<UINT>(refused), IDC_PST_LIST);
        return;
      }
      ShowList();
      SetFocus(item(IDC_PST_LIST));
    }
  }

  // The list is edited as the buttons are pressed; a name typed but never
  // added keeps the user on the page rather than being dropped by OK.
  bool OnLeave() override {
    std::string shown;
    if (const int refused = model_.programs.CheckNameLeft(Text(IDC_PST_NAME), shown)) {
      Refuse(static_cast<UINT>(refused), IDC_PST_NAME, shown.c_str());
      return false;
    }
    return true;
  }

 private:
  void ShowList() {
    const options::PasteMethodList& list = model_.programs;
    SendDlgItemMessageA(hwnd(), IDC_PST_LIST, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < list.Count(); ++i) {
      const std::string text = list.DisplayText(i);
      SendDlgItemMessageA(hwnd(), IDC_PST_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendDlgItemMessageA(hwnd(), IDC_PST_LIST, LB_SETCURSEL, static_cast<WPARAM>(list.Selection()), 0);
    ShowSelected();
  }

  // The selected entry in the fields, ready for Change (or for Add under another name).
  void ShowSelected() {
    const options::PasteMethodList& list = model_.programs;
    if (list.Selection() < 0) {
      // The last one removed: its name must not stay behind as if typed.
      SetText(IDC_PST_NAME, "");
      return;
    }
    const PasteProgram& entry = list.Entry(list.Selection());
    SetText(IDC_PST_NAME, std::string(entry.program, strnlen(entry.program, sizeof entry.program)));
    SetComboIndex(IDC_PST_METHOD, entry.method);
  }
};

// A sheet is placed by its owner, and ours is the hidden main window in a
// corner of the screen: the sheet goes to the middle of the work area of the
// monitor the user is on (where the pointer is: the tray icon, the bar).
void CentreOnUsersMonitor(HWND sheet) {
  RECT r = {};
  if (!GetWindowRect(sheet, &r)) return;
  POINT pointer = {};
  GetCursorPos(&pointer);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoA(MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  const RECT& work = monitor.rcWork;
  const LONG width = r.right - r.left;
  const LONG height = r.bottom - r.top;
  // A sheet larger than the work area keeps its top left corner inside.
  const LONG x = std::max(work.left, work.left + (work.right - work.left - width) / 2);
  const LONG y = std::max(work.top, work.top + (work.bottom - work.top - height) / 2);
  SetWindowPos(sheet, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Runs a modeless sheet as a modal one: its owner disabled, messages
// through the sheet's own dialog-message handling until OK or Cancel.
void RunModal(HWND sheet, HWND owner) {
  const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  bool quit = false;
  WPARAM quitCode = 0;
  // OK and Cancel leave the sheet without a current page.
  while (SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) != 0) {
    MSG msg;
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      // The program is ending: the quit belongs to the main loop.
      quit = got == 0;
      quitCode = msg.wParam;
      break;
    }
    // A held F1 repeats: one guide is enough, whichever window has the focus.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_F1 && (msg.lParam & (1 << 30)) != 0) continue;
    // F1 on the tabs, where Ctrl+Tab leaves the focus, or on the sheet's
    // buttons would ask the sheet for help, which hands it to no page: it
    // goes to the page in front, as it does from the page's own controls.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_F1 && (msg.hwnd == sheet || GetParent(msg.hwnd) == sheet)) {
      HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
      if (page != nullptr && msg.hwnd != page) {
        SendMessageA(page, WM_HELP, 0, 0);
        continue;
      }
    }
    if (!SendMessageA(sheet, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&msg))) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  // The owner is enabled before the sheet goes, so that it gets the activation back.
  if (disableOwner) EnableWindow(owner, TRUE);
  DestroyWindow(sheet);
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

}  // namespace

bool RunOptionsSheet(HWND owner, SheetPages which, int startupState, settings::Settings& settings,
                     const std::string& programFolder, options::OptionsEffects& effects) {
  // Hot-key and spin controls are common controls: their classes must exist
  // before the page templates are created.
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_HOTKEY_CLASS | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES};
  InitCommonControlsEx(&classes);
  SystemFileProbe files;
  const options::OptionPages loaded = options::LoadOptionPages(settings, files, startupState);
  options::OptionPages edited = loaded;
  const SheetContext context{programFolder, edited};

  CGeneralPage general(edited.general, context);
  CCustomPage custom(edited.customMenu, context);
  CStackPage stack(edited.stackMenu, context);
  CMacroPage macro(edited.macro, context);
  CFileDlgExPage fileDlgEx(edited.fileDlgEx, context);
  CPastePage paste(edited.pasteMethods, context);
  std::vector<CPropertyPage*> pages;
  if (which == SheetPages::kAll) {
    pages = {&general, &custom, &stack, &macro, &fileDlgEx, &paste};
  } else {
    pages = {&macro};
  }
  HINSTANCE resources = GetModuleHandleA(nullptr);
  std::vector<PROPSHEETPAGEA> descriptions;
  for (CPropertyPage* page : pages) descriptions.push_back(page->Describe(resources));

  PROPSHEETHEADERA header = {};
  // The size of the header that every version of the common controls reads.
  header.dwSize = PROPSHEETHEADERA_V1_SIZE;
  // Modeless with a loop of our own: the loop of a modal sheet does not
  // switch pages with Ctrl+Tab everywhere, the sheet's own dialog-message
  // handling does.
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_HASHELP | PSH_MODELESS;
  header.hwndParent = owner;
  header.hInstance = resources;
  header.pszCaption = "Options";
  header.nPages = static_cast<UINT>(descriptions.size());
  header.ppsp = descriptions.data();
  HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
  if (sheet == nullptr || sheet == reinterpret_cast<HWND>(-1)) return false;
  CentreOnUsersMonitor(sheet);
  RunModal(sheet, owner);

  // OK sends every created page PSN_APPLY; Cancel none.
  bool accepted = false;
  for (CPropertyPage* page : pages) accepted = accepted || page->accepted();
  if (!accepted) return false;
  options::SettingsWriter writer(settings, effects);
  if (which == SheetPages::kAll) {
    options::WriteBackSheet(loaded, edited, writer);
  } else {
    options::WriteBackMacroPage(loaded.macro, edited.macro, writer);
  }
  return true;
}

}  // namespace quillo
