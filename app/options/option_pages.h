// What the six pages of the options sheet hold, check and write back, as
// plain data. The dialog code (*_win.cpp) copies these members into its
// controls when a page is shown, reads them back when the page is left, shows
// the message a check answers with and puts the focus where it says, and on
// OK hands the loaded and the edited pages to WriteBackSheet. Nothing reaches
// the settings before that; Cancel just drops the edited pages.
//
// Forms used throughout:
//  - A shortcut list (six entries) holds its list index, -1 for no selection.
//  - A hot-key control holds a HotKey: the virtual key and the control's own
//    modifier bits (Shift 1, Ctrl 2, Alt 4, extended 8), the two bytes that
//    HKM_GETHOTKEY answers and HKM_SETHOTKEY takes (PackHotKey/UnpackHotKey).
//  - Settings keep modifiers as RegisterHotKey takes them (Alt 1, Ctrl 2,
//    Shift 4); the conversions are settings::ToHotKeyControlModifiers and
//    settings::FromHotKeyControlModifiers, wrapped here as HotKeyFromStored
//    and the `modifiers` of ShortcutFromField.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "option_messages_res.h"
#include "quillo_records.h"
#include "settings.h"

namespace quillo::options {

// ---- Shortcut lists and hot-key controls ----

// Entries of every shortcut list, in list order.
constexpr int kShortcutListCount = 6;
constexpr const char* kShortcutListTexts[kShortcutListCount] = {
    "(None)", "[Shift]^2", "[Ctrl]^2", "[Alt]+[Shift]^2", "[Alt]+[Ctrl]^2", "(Others)"};
constexpr int kOthersListIndex = 5;

// Stored kind -1..3 -> list index 0..4, -2 -> 5. Any other kind (the Japanese
// keys and the right Ctrl key, which only a hand-edited store holds) has no
// entry: -1, the list shows no selection.
int ShortcutListIndexFromKind(int32_t kind) noexcept;
// The reverse; a list without selection (or an index out of range) answers
// `unchanged`, so a kind the list cannot show survives an OK untouched.
int32_t ShortcutKindFromListIndex(int listIndex, int32_t unchanged) noexcept;

// A hot-key control's value in its own form.
struct HotKey {
  uint16_t key;        // virtual-key code, 0 = none
  uint16_t modifiers;  // control bits: 1 Shift, 2 Ctrl, 4 Alt, 8 extended
};
constexpr uint16_t kHotKeyShift = 1;
constexpr uint16_t kHotKeyCtrl = 2;
constexpr uint16_t kHotKeyAlt = 4;
constexpr uint16_t kHotKeyExtended = 8;

// The word of HKM_GETHOTKEY / HKM_SETHOTKEY: key in the low byte, bits in the high.
uint16_t PackHotKey(HotKey hotKey) noexcept;
HotKey UnpackHotKey(uint16_t word) noexcept;

// A stored key and RegisterHotKey modifiers as the control shows them: Alt
// and Shift swapped, and the extended bit for Page Up, Page Down, End, Home,
// the arrows, Insert and Delete.
HotKey HotKeyFromStored(uint16_t key, uint16_t storedModifiers) noexcept;

// Empty: no key and no modifier (what a cleared control gives).
bool IsEmptyHotKey(HotKey hotKey) noexcept;

// The Switch-menu, stack-menu and clear-history controls turn a key pressed
// without modifier into Ctrl+Alt and that key. The dialog code sets the
// control's rules with HKM_SETRULES(kBareKeyCombination, kBareKeyReplacement)
// and passes what it reads back through ApplyCtrlAltRule, so the rule holds
// even where the control does not enforce it. The menu-file list's control
// takes bare keys and has no rule.
constexpr uint16_t kBareKeyCombination = 1;  // HKCOMB_NONE
constexpr uint16_t kBareKeyReplacement = kHotKeyCtrl | kHotKeyAlt;
HotKey ApplyCtrlAltRule(HotKey hotKey) noexcept;

// A shortcut list with its hot-key control beside it.
struct ShortcutField {
  int listIndex;       // -1 no selection
  HotKey hotKey;       // control form; empty unless the stored kind is (Others) or a key was stored
  int32_t storedKind;  // as loaded: written back while the list shows nothing
};
ShortcutField ShortcutFieldFromStored(int32_t kind, uint16_t key, uint16_t storedModifiers) noexcept;

// The user picked list entry `listIndex`. Anything but (Others) clears the
// hot-key control (the dialog code then disables it); (Others) keeps it and
// the dialog code enables it and moves the focus there.
void SelectShortcutListEntry(ShortcutField& field, int listIndex) noexcept;
inline bool HotKeyEnabled(const ShortcutField& field) noexcept { return field.listIndex == kOthersListIndex; }

// A shortcut in the stored form: kind, key, RegisterHotKey modifiers.
struct Shortcut {
  int32_t kind;
  uint16_t key;
  uint16_t modifiers;
};
Shortcut ShortcutFromField(const ShortcutField& field) noexcept;
inline Shortcut ShortcutFromSet(const MenuFileSet& set) noexcept { return {set.trigger, set.key, set.modifiers}; }

// Two shortcuts are the same trigger when both are the same fixed trigger
// (kind 0 or above), or both are (Others) with the same key and modifiers.
// (None) equals nothing.
bool SameShortcut(const Shortcut& a, const Shortcut& b) noexcept;

// ---- Results for the dialog code ----

// Which control a check wants the focus on. The dialog code maps these to
// its control ids.
enum class Focus {
  kNone,
  // General
  kTitleMenuKind,
  // CustomMenu
  kMenuFileList,
  kMenuFileShortcut,  // the shortcut list beside the menu-file list
  kMenuFileHotKey,
  kSwitchHotKey,
  kEncloseTimeLag,
  kKeyStrokeTimeLag,
  // StackMenu
  kStackHotKey,
  kClearHistoryHotKey,
  kMaxHistoryNum,
  kMaxCharNum,
  kQuote,
  // Macro
  kKeyInterval,
  kMouseInterval,
  kLoopPlay,
  // File Dialog Extension
  kSkipList,
};

// A check's answer: message 0 means passed. `argument` is the %s of the
// message (the menu file's name of 2036), empty otherwise.
struct CheckResult {
  int messageId;
  Focus focus;
  std::string argument;
  bool ok() const noexcept { return messageId == 0; }
};

// ---- Field checks (edit boxes), run before the page checks ----

enum class FieldError { kNone, kNotInteger, kOutOfRange, kTooLong };

struct FieldCheck {
  FieldError error;
  int32_t value;     // the number read, when error is kNone
  int32_t low;       // range of kOutOfRange
  int32_t high;
  size_t maxLength;  // limit of kTooLong, in bytes
};

// An integer: blanks around it and one sign allowed; empty, anything else,
// or a number beyond 32 bits is not an integer.
FieldCheck CheckIntegerField(const char* text) noexcept;
FieldCheck CheckIntegerField(const char* text, int32_t low, int32_t high) noexcept;
// At most `maxBytes` bytes (a double-byte character counts two).
FieldCheck CheckTextField(const char* text, size_t maxBytes) noexcept;

// The framework's standard text for a failed field check, in code page 932
// (Shift-JIS), numbers filled in; empty for kNone. Always terminated; returns
// the length. The dialog code shows it in the box titled "Quillo".
size_t MakeFieldMessage(const FieldCheck& check, char* out, size_t outSize) noexcept;

// A field check that failed on a page, with the control to focus.
struct FieldFailure {
  Focus focus;  // kNone: every field passed and the page holds the values
  FieldCheck check;
};

// ---- Page "General" ----

struct GeneralPage {
  int menuPos;                // list index = MenuPos
  int pasteCmd;               // list index = PasteCmd
  int cutCmd;                 // list index = CutCmd
  int startupState;           // 1 shortcut found, 0 none, -1 unknown (box disabled)
  bool launchWithWindows;     // the box; checked when startupState is 1
  bool copyOnly;
  bool resetCursor;
  bool hideIcon;
  bool titleMenuOn;           // "Display popup menu of quillo "
  int titleMenuKind;          // list index 0..2, -1 no selection; list enabled only while titleMenuOn
  std::string editor;         // changed only by "Editor Setting..."
};
// `startupState` is what FindStartupShortcut(owner, false) answered.
GeneralPage LoadGeneralPage(const settings::Settings& settings, int startupState);
// 2029 on kTitleMenuKind when the title-bar box is checked without a kind.
CheckResult CheckGeneralPage(const GeneralPage& page);

// Where "Select Favorite Editor" starts: the editor's file name, and its
// folder when the setting holds a path. With no folder the dialog code asks
// the system's search path (SearchPathA) for the folder.
struct EditorChooserStart {
  std::string folder;  // empty: look the file name up on the search path
  std::string fileName;
};
EditorChooserStart EditorChooserStartFor(const std::string& editor);

// ---- Page "CustomMenu": the menu-file list ----

// The menu-file list box and the records attached to its entries, at most
// ten. Paths are absolute. Every operation keeps the selection valid:
// -1 (none) or an index of an entry.
class MenuFileList {
 public:
  static constexpr int kCapacity = kMenuFileSetCount;

  // The sets in order whose file exists or may only be away for the moment
  // (FileProbe::MayBeAway, listed without a look); the first entry is
  // selected. A set whose file is not found is not listed but kept aside.
  void Fill(const MenuFileSet (&sets)[kMenuFileSetCount], settings::FileProbe& files);
  // Whether the user added, deleted, moved or attached anything since Fill.
  bool Edited() const noexcept { return edited_; }

  int Count() const noexcept { return static_cast<int>(entries_.size()); }
  const MenuFileSet& Entry(int index) const { return entries_.at(static_cast<size_t>(index)); }
  int Selection() const noexcept { return selection_; }
  void Select(int index) noexcept;  // out of range: no selection

  // What the list box shows for an entry: the file name after the last backslash.
  std::string DisplayName(int index) const;

  // Asked before the chooser opens: 2032 when the listed sets and those
  // kept aside fill the ten places, else 0.
  int CheckCanAdd() const noexcept;
  // The chooser answered `path`. A path already listed (letter case aside)
  // is only selected; a set kept aside for it joins the list as it was, and
  // a new one is added with no shortcut; either is selected. Refused (list
  // unchanged, false) when full or when the path does not fit a record (260
  // bytes or more); `added` tells whether an entry was added.
  bool Add(const char* path, bool* added = nullptr);
  // 2034 with no selection; else the entry goes and the one now at its place
  // (or the new last one) is selected.
  int Delete();
  // 2035 with no selection; the first entry does not move up nor the last
  // down; the moved entry stays selected.
  int MoveUp();
  int MoveDown();
  // "Attach": the shortcut list and hot-key control beside the list give
  // the selected entry's shortcut. 2030 on kMenuFileShortcut with no entry
  // or no shortcut selected; 2031 on kMenuFileHotKey for (Others) with an
  // empty hot key. Only the entry's record changes.
  CheckResult Attach(const ShortcutField& shortcut);

  // The shortcut list and hot-key control for the selected entry: the
  // entry's kind, and its key for (Others); no selection and an empty hot
  // key when no entry is selected.
  ShortcutField SelectedShortcut() const noexcept;
  // "Path :" for the selected entry: its folder, or empty when that is the
  // program folder (letter case aside) or nothing is selected.
  std::string SelectedFolderText(const std::string& programFolder) const;

  // The ten sets for OK: entry i in set i, then the sets kept aside by Fill
  // in their order while there is room, the rest cleared.
  void ToSets(MenuFileSet (&sets)[kMenuFileSetCount]) const noexcept;

 private:
  int Taken() const noexcept;

  std::vector<MenuFileSet> entries_;
  std::vector<MenuFileSet> unlisted_;
  int selection_ = -1;
  bool edited_ = false;
};

struct CustomMenuPage {
  MenuFileList files;
  ShortcutField switchKey;   // ChangeKey, ChangeSpecKey, ChangeSpecMod; Ctrl+Alt rule
  int32_t encloseTimeLag;    // 0..5000 ms
  int32_t keyStrokeTimeLag;  // 0..10000 ms
  bool cutLastRet;
};
CustomMenuPage LoadCustomMenuPage(const settings::Settings& settings, settings::FileProbe& files);
constexpr int32_t kEncloseTimeLagMax = 5000;
constexpr int32_t kKeyStrokeTimeLagMax = 10000;
// The two time lags from their edit boxes, in tab order; stored in the page
// when both pass.
FieldFailure ExchangeCustomMenuFields(CustomMenuPage& page, const char* encloseTimeLag, const char* keyStrokeTimeLag);
// 2031 on kSwitchHotKey for (Others) without a key; else 2036 on
// kMenuFileList naming the first listed file whose shortcut is the
// Switch-menu shortcut.
CheckResult CheckCustomMenuPage(const CustomMenuPage& page);

// ---- Page "StackMenu" ----

struct StackMenuPage {
  ShortcutField stackKey;  // StackKey, StackSpecKey, StackSpecMod; Ctrl+Alt rule
  int32_t maxHistoryNum;   // 1..100
  int32_t maxCharNum;      // 1..100
  HotKey clearHistory;     // KeyClearHist, ModClearHist; Ctrl+Alt rule
  std::string quote;       // QuoteChar, at most 20 bytes (g_szQuote)
  bool saveHist;
  bool moveStackTop;
  bool skipWord;
  bool skipTopSpace;
  bool cutLastRet2;
};
StackMenuPage LoadStackMenuPage(const settings::Settings& settings);
constexpr int32_t kHistoryNumMin = 1;
constexpr int32_t kHistoryNumMax = 100;
constexpr int32_t kCharNumMin = 1;
constexpr int32_t kCharNumMax = 100;
constexpr size_t kQuoteMaxBytes = settings::kMaxQuoteBytes;  // also the edit box's EM_LIMITTEXT
FieldFailure ExchangeStackMenuFields(StackMenuPage& page, const char* maxHistoryNum, const char* maxCharNum,
                                     const char* quote);
// 2038 on kStackHotKey when the stack-menu key is (Others) and its hot key is
// the clear-history key (not both empty); then 2031 on kStackHotKey for
// (Others) without a key.
CheckResult CheckStackMenuPage(const StackMenuPage& page);

// The keys of both pages against each other, run when either page is left
// (after its own check), with the other page as it stands. The clear-history
// key is registered with the system, which hands it to us before any hook
// sees it: a key without Ctrl or Alt would swallow ordinary typing, and a key
// shared with a menu would clear the history in its place. A user-defined key
// shared by two menus opens only the first. Menu files are not compared with
// each other: which of them comes first is what the chooser changes.
// On the StackMenu page: 2038 on kClearHistoryHotKey for a clear-history key
// without Ctrl or Alt, or equal to the Switch-menu key or a menu file's key;
// 2038 on kStackHotKey for a stack-menu key equal to the Switch-menu key or
// a menu file's key. On the CustomMenu page: 2038 on kSwitchHotKey for a
// Switch-menu key equal to the clear-history or the stack-menu key; 2038 on
// kMenuFileList for a menu file's key equal to either.
enum class SheetPage { kCustomMenu, kStackMenu };
CheckResult CheckShortcutsAcrossPages(const CustomMenuPage& custom, const StackMenuPage& stack, SheetPage leaving);

// ---- Page "Macro" ----

struct MacroPage {
  int32_t playStyle;      // radio: 0 recording speed, 1 following interval; another stored value checks neither
  int32_t keyInterval;    // any integer typed; the spin stops at 0..3000
  int32_t mouseInterval;  // the same
  int32_t loopPlay;       // 0..1000
  bool recKey;
  bool recMouse;
  bool cutMouseMove;      // enabled only while recMouse
  bool dispTopMost;
  bool messageBeep;
};
MacroPage LoadMacroPage(const settings::Settings& settings);
constexpr int32_t kIntervalSpinMax = 3000;
constexpr int32_t kLoopPlayMax = 1000;
FieldFailure ExchangeMacroFields(MacroPage& page, const char* keyInterval, const char* mouseInterval,
                                 const char* loopPlay);
inline bool IntervalsEnabled(const MacroPage& page) noexcept { return page.playStyle == 1; }

// ---- Page "File Dialog Extension": the skip-application list ----

// Full paths of programs, any number, the same one any number of times.
class SkipList {
 public:
  void Fill(const std::vector<std::string>& apps);
  int Count() const noexcept { return static_cast<int>(apps_.size()); }
  const std::string& Path(int index) const { return apps_.at(static_cast<size_t>(index)); }
  int Selection() const noexcept { return selection_; }
  void Select(int index) noexcept;  // out of range: no selection
  std::string DisplayName(int index) const;  // the file name after the last backslash

  // The chooser answered `path`: appended and selected (focus on the list).
  void Add(const std::string& path);
  // 2034 with no selection; else the entry goes and the one now at its
  // place (or the new last one) is selected; with none left nothing is
  // selected and the dialog code puts the focus on the list.
  int Delete();

  const std::vector<std::string>& Paths() const noexcept { return apps_; }

 private:
  std::vector<std::string> apps_;
  int selection_ = -1;
};

struct FileDlgExPage {
  bool sameContents;  // DirHistShare 1 "Same contents", 0 "Individual contents"
  SkipList skipApps;
};
FileDlgExPage LoadFileDlgExPage(const settings::Settings& settings);

// ---- Page "Paste Methods": how each listed program is pasted into ----

// What the page calls method `method` in its list and its choice of method:
// the stored name, but "Type the text" for typing; null for no method.
const char* PasteMethodLabel(int32_t method) noexcept;

// The programs of the paste-method list in their order, each once (names
// alike without regard to case are one program), kMaxPastePrograms at most.
class PasteMethodList {
 public:
  void Fill(const std::vector<PasteProgram>& programs);
  int Count() const noexcept { return static_cast<int>(programs_.size()); }
  const PasteProgram& Entry(int index) const { return programs_.at(static_cast<size_t>(index)); }
  int Selection() const noexcept { return selection_; }
  void Select(int index) noexcept;  // out of range: no selection
  // "name.exe<TAB>label", for a list box with a tab stop.
  std::string DisplayText(int index) const;

  // `name` (blanks around it dropped) appended with `method` and selected;
  // false, with the sentence for the user in `why`, when the name is no
  // program's file name, is on the list already, the list is full, or the
  // method is none.
  bool Add(const std::string& name, int32_t method, std::string& why);
  // The selected entry takes `method`: 0, or the message of the refusal
  // (IDS_SELECT_PASTE_PROGRAM with no selection or no method).
  int ChangeMethod(int32_t method);
  // 2034 with no selection; else the entry goes and the one now at its
  // place (or the new last one) is selected.
  int Remove();
  // What the name field holds as the page is left: 0 when it is empty or a
  // program on the list; IDS_PASTE_PROGRAM_NOT_ADDED (its %s `shown`, the
  // name without its blanks) for a name typed but never added, which OK
  // would otherwise drop unseen.
  int CheckNameLeft(const std::string& name, std::string& shown) const;

  const std::vector<PasteProgram>& Programs() const noexcept { return programs_; }

 private:
  std::vector<PasteProgram> programs_;
  int selection_ = -1;
};

struct PasteMethodsPage {
  PasteMethodList programs;
};
PasteMethodsPage LoadPasteMethodsPage(const settings::Settings& settings);

// ---- The whole sheet ----

struct OptionPages {
  GeneralPage general;
  CustomMenuPage customMenu;
  StackMenuPage stackMenu;
  MacroPage macro;
  FileDlgExPage fileDlgEx;
  PasteMethodsPage pasteMethods;
};
OptionPages LoadOptionPages(const settings::Settings& settings, settings::FileProbe& files, int startupState);

// Where OK writes, in the order the calls come. Numbers and texts are
// addressed by their key names in the settings store ("MenuPos", ...);
// flags come as 0 or 1, keys and modifiers as their stored values.
class OptionsWriter {
 public:
  virtual void WriteNumber(const char* key, int32_t value) = 0;
  virtual void WriteText(const char* key, const std::string& value) = 0;
  virtual void CreateStartupShortcut() = 0;
  virtual void DeleteStartupShortcut() = 0;
  // MaxHistoryNum changed: the history store takes the new capacity, and the
  // setting takes it only when that succeeds.
  virtual void ResizeHistory(int32_t capacity) = 0;
  virtual void ReplaceMenuFileSets(const MenuFileSet (&sets)[kMenuFileSetCount]) = 0;
  virtual void ReplaceSkipApps(const std::vector<std::string>& apps) = 0;
  virtual void ReplacePastePrograms(const std::vector<PasteProgram>& programs) = 0;
  // QuoteChar, copied to the shared g_szQuote at once.
  virtual void SetQuote(const std::string& quote) = 0;
  // DispTopMost changed: stored, and the main window made topmost or not at once.
  virtual void SetDispTopMost(bool onTop) = 0;

 protected:
  ~OptionsWriter() = default;
};

// OK of the options sheet: the menu-file sets and the skip list as the two
// list pages accept, then every page's settings in page order (General,
// CustomMenu, StackMenu, Macro, File Dialog Extension, Paste Methods). `loaded` is what
// LoadOptionPages gave: it tells whether the history size, DispTopMost and
// the start-up shortcut changed. Two settings change while the sheet is open
// without it: the menu-file order (a set chosen from the chooser comes first)
// and HideIcon (a second start shows the icon again). The sets are replaced
// only when the list was edited, and HideIcon written only when its box was
// changed, so that the sheet never puts back what it loaded over them.
void WriteBackSheet(const OptionPages& loaded, const OptionPages& edited, OptionsWriter& out);
// OK of the macro sheet: the Macro page alone. The dialog code then copies
// RecKey, RecMouse and CutMouseMove to the hook library.
void WriteBackMacroPage(const MacroPage& loaded, const MacroPage& edited, OptionsWriter& out);

// What writing to the application's settings does beyond the members.
class OptionsEffects {
 public:
  virtual bool ResizeHistoryStore(int32_t capacity) = 0;  // HistoryStore::ResizeHistory
  virtual void CreateStartupShortcut() = 0;
  virtual void DeleteStartupShortcut() = 0;
  virtual void PublishQuote(const char* quote) = 0;  // g_szQuote
  virtual void SetTopMost(bool onTop) = 0;           // the main window

 protected:
  ~OptionsEffects() = default;
};

// The writer the program uses: every write lands in `settings`' member of
// that name (a key it does not know is ignored), the rest goes to `effects`.
class SettingsWriter final : public OptionsWriter {
 public:
  SettingsWriter(settings::Settings& settings, OptionsEffects& effects) : settings_(settings), effects_(effects) {}
  void WriteNumber(const char* key, int32_t value) override;
  void WriteText(const char* key, const std::string& value) override;
  void CreateStartupShortcut() override;
  void DeleteStartupShortcut() override;
  void ResizeHistory(int32_t capacity) override;
  void ReplaceMenuFileSets(const MenuFileSet (&sets)[kMenuFileSetCount]) override;
  void ReplaceSkipApps(const std::vector<std::string>& apps) override;
  void ReplacePastePrograms(const std::vector<PasteProgram>& programs) override;
  void SetQuote(const std::string& quote) override;
  void SetDispTopMost(bool onTop) override;

 private:
  settings::Settings& settings_;
  OptionsEffects& effects_;
};

}  // namespace quillo::options
