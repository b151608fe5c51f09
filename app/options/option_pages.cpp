#include "option_pages.h"

#include <algorithm>
#include <cstdio>
#include <cstddef>
#include <cstring>
#include <utility>

#include "dbcs.h"
#include "path_text.h"

namespace quillo::options {
namespace {

bool IsLead(unsigned char c) { return text::IsLeadByte(c); }

std::string AfterLastBackslash(const char* path) {
  const long cut = LastBackslash(path, IsLead);
  return std::string(cut < 0 ? path : path + cut + 1);
}

// The path up to its last backslash; empty when it has none.
std::string BeforeLastBackslash(const char* path) {
  const long cut = LastBackslash(path, IsLead);
  return cut < 0 ? std::string() : std::string(path, static_cast<size_t>(cut));
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The messages below are always Shift-JIS, whatever the running code page.
bool IsShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// 整数を入力してください。
constexpr char kNotIntegerText[] =
    "\x90\xae\x90\x94\x82\xf0\x93\xfc\x97\xcd\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81\x42";
// から / までの整数を入力してください。 ("%1 から %2 までの…")
constexpr char kRangeFromText[] = "\x82\xa9\x82\xe7";
constexpr char kRangeToText[] =
    "\x82\xdc\x82\xc5\x82\xcc\x90\xae\x90\x94\x82\xf0\x93\xfc\x97\xcd\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82"
    "\xa2\x81\x42";
// 文字以内で入力してください。 ("%1 文字以内で…")
constexpr char kTooLongText[] =
    "\x95\xb6\x8e\x9a\x88\xc8\x93\xe0\x82\xc5\x93\xfc\x97\xcd\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81"
    "\x42";

FieldCheck Passed(int32_t value) { return {FieldError::kNone, value, 0, 0, 0}; }

int ListOr(int index, int fallback) { return index < 0 ? fallback : index; }

int32_t Flag(bool b) { return b ? 1 : 0; }

void WriteShortcut(const ShortcutField& field, const char* kindKey, const char* keyKey, const char* modKey,
                   OptionsWriter& out) {
  const Shortcut s = ShortcutFromField(field);
  out.WriteNumber(kindKey, s.kind);
  out.WriteNumber(keyKey, s.key);
  out.WriteNumber(modKey, s.modifiers);
}

CheckResult Pass() { return {0, Focus::kNone, std::string()}; }
CheckResult Fail(int id, Focus focus, std::string argument = std::string()) { return {id, focus, std::move(argument)}; }

}  // namespace

// ---- Shortcut lists and hot-key controls ----

int ShortcutListIndexFromKind(int32_t kind) noexcept {
  if (kind == kTriggerShortcut) return kOthersListIndex;
  if (kind >= kTriggerNone && kind <= kTriggerAltDoubleCtrl) return kind + 1;
  return -1;
}

int32_t ShortcutKindFromListIndex(int listIndex, int32_t unchanged) noexcept {
  if (listIndex == kOthersListIndex) return kTriggerShortcut;
  if (listIndex >= 0 && listIndex < kOthersListIndex) return listIndex - 1;
  return unchanged;
}

uint16_t PackHotKey(HotKey hotKey) noexcept {
  return static_cast<uint16_t>((hotKey.key & 0xFFu) | ((hotKey.modifiers & 0xFFu) << 8));
}

HotKey UnpackHotKey(uint16_t word) noexcept {
  return {static_cast<uint16_t>(word & 0xFFu), static_cast<uint16_t>(word >> 8)};
}

HotKey HotKeyFromStored(uint16_t key, uint16_t storedModifiers) noexcept {
  return {key, settings::ToHotKeyControlModifiers(key, storedModifiers)};
}

bool IsEmptyHotKey(HotKey hotKey) noexcept { return hotKey.key == 0 && hotKey.modifiers == 0; }

HotKey ApplyCtrlAltRule(HotKey hotKey) noexcept {
  constexpr uint16_t kModifierBits = kHotKeyShift | kHotKeyCtrl | kHotKeyAlt;
  if (hotKey.key != 0 && (hotKey.modifiers & kModifierBits) == 0) hotKey.modifiers |= kBareKeyReplacement;
  return hotKey;
}

ShortcutField ShortcutFieldFromStored(int32_t kind, uint16_t key, uint16_t storedModifiers) noexcept {
  return {ShortcutListIndexFromKind(kind), HotKeyFromStored(key, storedModifiers), kind};
}

void SelectShortcutListEntry(ShortcutField& field, int listIndex) noexcept {
  field.listIndex = (listIndex >= 0 && listIndex < kShortcutListCount) ? listIndex : -1;
  if (field.listIndex != kOthersListIndex) field.hotKey = {0, 0};
}

Shortcut ShortcutFromField(const ShortcutField& field) noexcept {
  return {ShortcutKindFromListIndex(field.listIndex, field.storedKind), field.hotKey.key,
          settings::FromHotKeyControlModifiers(field.hotKey.modifiers)};
}

bool SameShortcut(const Shortcut& a, const Shortcut& b) noexcept {
  if (a.kind != b.kind) return false;
  // Every fixed trigger counts, the Japanese keys and the right Ctrl key
  // included: two menus on one key would leave the second unreachable.
  if (a.kind >= 0) return true;
  if (a.kind == kTriggerShortcut) return a.key == b.key && a.modifiers == b.modifiers;
  return false;
}

// ---- Field checks ----

FieldCheck CheckIntegerField(const char* text) noexcept {
  const FieldCheck notInteger = {FieldError::kNotInteger, 0, 0, 0, 0};
  if (text == nullptr) return notInteger;
  const char* p = text;
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (*p < '0' || *p > '9') return notInteger;
  // Beyond 32 bits the number cannot be what the user meant: refused rather
  // than wrapped into another value.
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > int64_t{INT32_MAX} + 1) return notInteger;
  }
  while (IsBlank(*p)) ++p;
  if (*p != '\0') return notInteger;
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return notInteger;
  return Passed(static_cast<int32_t>(value));
}

FieldCheck CheckIntegerField(const char* text, int32_t low, int32_t high) noexcept {
  FieldCheck check = CheckIntegerField(text);
  if (check.error == FieldError::kNone && (check.value < low || check.value > high)) {
    check = {FieldError::kOutOfRange, check.value, low, high, 0};
  }
  return check;
}

FieldCheck CheckTextField(const char* text, size_t maxBytes) noexcept {
  if (text != nullptr && std::strlen(text) > maxBytes) return {FieldError::kTooLong, 0, 0, 0, maxBytes};
  return Passed(0);
}

size_t MakeFieldMessage(const FieldCheck& check, char* out, size_t outSize) noexcept {
  if (out == nullptr || outSize == 0) return 0;
  char text[160];
  switch (check.error) {
    case FieldError::kNone:
      text[0] = '\0';
      break;
    case FieldError::kNotInteger:
      std::snprintf(text, sizeof text, "%s", kNotIntegerText);
      break;
    case FieldError::kOutOfRange:
      std::snprintf(text, sizeof text, "%ld %s %ld %s", static_cast<long>(check.low), kRangeFromText,
                    static_cast<long>(check.high), kRangeToText);
      break;
    case FieldError::kTooLong:
      std::snprintf(text, sizeof text, "%lu %s", static_cast<unsigned long>(check.maxLength), kTooLongText);
      break;
  }
  size_t len = 0;
  for (const char* p = text; *p != '\0';) {
    const size_t n = (IsShiftJisLead(static_cast<unsigned char>(*p)) && p[1] != '\0') ? 2 : 1;
    if (len + n >= outSize) break;
    std::memcpy(out + len, p, n);
    len += n;
    p += n;
  }
  out[len] = '\0';
  return len;
}

// ---- General ----

GeneralPage LoadGeneralPage(const settings::Settings& s, int startupState) {
  GeneralPage page;
  page.menuPos = s.MenuPos;
  page.pasteCmd = s.PasteCmd;
  page.cutCmd = s.CutCmd;
  page.startupState = startupState;
  page.launchWithWindows = startupState == 1;
  page.copyOnly = s.CopyOnly;
  page.resetCursor = s.ResetCursor;
  page.hideIcon = s.HideIcon;
  page.titleMenuOn = s.TitleMenu >= 1 && s.TitleMenu <= 3;
  page.titleMenuKind = page.titleMenuOn ? s.TitleMenu - 1 : -1;
  page.editor = s.Editor;
  return page;
}

CheckResult CheckGeneralPage(const GeneralPage& page) {
  if (page.titleMenuOn && (page.titleMenuKind < 0 || page.titleMenuKind > 2)) {
    return Fail(IDS_SELECT_TITLE_MENU, Focus::kTitleMenuKind);
  }
  return Pass();
}

EditorChooserStart EditorChooserStartFor(const std::string& editor) {
  return {BeforeLastBackslash(editor.c_str()), AfterLastBackslash(editor.c_str())};
}

// ---- The menu-file list ----

void MenuFileList::Fill(const MenuFileSet (&sets)[kMenuFileSetCount], settings::FileProbe& files) {
  entries_.clear();
  unlisted_.clear();
  for (const MenuFileSet& set : sets) {
    MenuFileSet copy = set;
    copy.path[sizeof copy.path - 1] = '\0';
    if (copy.path[0] == '\0') continue;
    // The sheet opens on the window's thread: a path that may be away is
    // listed without a look, which could wait for a network time-out.
    if (files.MayBeAway(copy.path) || files.FileExists(copy.path)) {
      entries_.push_back(copy);
    } else {
      unlisted_.push_back(copy);
    }
  }
  selection_ = entries_.empty() ? -1 : 0;
  edited_ = false;
}

void MenuFileList::Select(int index) noexcept { selection_ = (index >= 0 && index < Count()) ? index : -1; }

std::string MenuFileList::DisplayName(int index) const { return AfterLastBackslash(Entry(index).path); }

// The sets kept aside take their places among the ten as much as the listed ones.
int MenuFileList::Taken() const noexcept { return Count() + static_cast<int>(unlisted_.size()); }

int MenuFileList::CheckCanAdd() const noexcept { return Taken() >= kCapacity ? IDS_MENU_LIST_FULL : 0; }

bool MenuFileList::Add(const char* path, bool* added) {
  if (added != nullptr) *added = false;
  if (path == nullptr || path[0] == '\0') return false;
  const size_t len = std::strlen(path);
  auto same = [&](const MenuFileSet& set) { return settings::EqualIgnoringCase(set.path, std::strlen(set.path), path, len); };
  for (int i = 0; i < Count(); ++i) {
    if (same(entries_[static_cast<size_t>(i)])) {
      selection_ = i;
      return true;
    }
  }
  // A set kept aside for this very file (it is back, or the user chose it
  // again) joins the list with its shortcut rather than being doubled.
  for (size_t i = 0; i < unlisted_.size(); ++i) {
    if (!same(unlisted_[i])) continue;
    entries_.push_back(unlisted_[i]);
    unlisted_.erase(unlisted_.begin() + static_cast<std::ptrdiff_t>(i));
    selection_ = Count() - 1;
    edited_ = true;
    if (added != nullptr) *added = true;
    return true;
  }
  if (Taken() >= kCapacity || len >= sizeof(MenuFileSet{}.path)) return false;
  MenuFileSet set = settings::EmptyMenuFileSet();
  std::memcpy(set.path, path, len + 1);
  entries_.push_back(set);
  selection_ = Count() - 1;
  edited_ = true;
  if (added != nullptr) *added = true;
  return true;
}

int MenuFileList::Delete() {
  if (selection_ < 0) return IDS_SELECT_DELETE_ITEM;
  entries_.erase(entries_.begin() + selection_);
  selection_ = entries_.empty() ? -1 : std::min(selection_, Count() - 1);
  edited_ = true;
  return 0;
}

int MenuFileList::MoveUp() {
  if (selection_ < 0) return IDS_SELECT_MOVE_ITEM;
  if (selection_ == 0) return 0;
  std::swap(entries_[static_cast<size_t>(selection_)], entries_[static_cast<size_t>(selection_ - 1)]);
  --selection_;
  edited_ = true;
  return 0;
}

int MenuFileList::MoveDown() {
  if (selection_ < 0) return IDS_SELECT_MOVE_ITEM;
  if (selection_ == Count() - 1) return 0;
  std::swap(entries_[static_cast<size_t>(selection_)], entries_[static_cast<size_t>(selection_ + 1)]);
  ++selection_;
  edited_ = true;
  return 0;
}

CheckResult MenuFileList::Attach(const ShortcutField& shortcut) {
  if (selection_ < 0 || shortcut.listIndex < 0 || shortcut.listIndex >= kShortcutListCount) {
    return Fail(IDS_SELECT_MENU_AND_KEY, Focus::kMenuFileShortcut);
  }
  MenuFileSet& set = entries_[static_cast<size_t>(selection_)];
  if (shortcut.listIndex == kOthersListIndex) {
    if (IsEmptyHotKey(shortcut.hotKey)) return Fail(IDS_INPUT_USER_KEY, Focus::kMenuFileHotKey);
    set.trigger = kTriggerShortcut;
    set.key = shortcut.hotKey.key;
    set.modifiers = settings::FromHotKeyControlModifiers(shortcut.hotKey.modifiers);
  } else {
    set.trigger = ShortcutKindFromListIndex(shortcut.listIndex, set.trigger);
  }
  edited_ = true;
  return Pass();
}

ShortcutField MenuFileList::SelectedShortcut() const noexcept {
  if (selection_ < 0) return {-1, {0, 0}, kTriggerNone};
  const MenuFileSet& set = entries_[static_cast<size_t>(selection_)];
  ShortcutField field = {ShortcutListIndexFromKind(set.trigger), {0, 0}, set.trigger};
  if (set.trigger == kTriggerShortcut) field.hotKey = HotKeyFromStored(set.key, set.modifiers);
  return field;
}

std::string MenuFileList::SelectedFolderText(const std::string& programFolder) const {
  if (selection_ < 0) return std::string();
  std::string folder = BeforeLastBackslash(entries_[static_cast<size_t>(selection_)].path);
  if (settings::EqualIgnoringCase(folder.data(), folder.size(), programFolder.data(), programFolder.size())) {
    folder.clear();
  }
  return folder;
}

void MenuFileList::ToSets(MenuFileSet (&sets)[kMenuFileSetCount]) const noexcept {
  size_t next = 0;
  for (int i = 0; i < kMenuFileSetCount; ++i) {
    if (i < Count()) {
      sets[i] = entries_[static_cast<size_t>(i)];
    } else if (next < unlisted_.size()) {
      sets[i] = unlisted_[next++];
    } else {
      sets[i] = settings::EmptyMenuFileSet();
    }
  }
}

// ---- CustomMenu ----

CustomMenuPage LoadCustomMenuPage(const settings::Settings& s, settings::FileProbe& files) {
  CustomMenuPage page;
  page.files.Fill(s.MenuFiles, files);
  page.switchKey = ShortcutFieldFromStored(s.ChangeKey, s.ChangeSpecKey, s.ChangeSpecMod);
  page.encloseTimeLag = s.EncloseTimeLag;
  page.keyStrokeTimeLag = s.KeyStrokeTimeLag;
  page.cutLastRet = s.CutLastRet;
  return page;
}

FieldFailure ExchangeCustomMenuFields(CustomMenuPage& page, const char* encloseTimeLag, const char* keyStrokeTimeLag) {
  const FieldCheck enclose = CheckIntegerField(encloseTimeLag, 0, kEncloseTimeLagMax);
  if (enclose.error != FieldError::kNone) return {Focus::kEncloseTimeLag, enclose};
  const FieldCheck stroke = CheckIntegerField(keyStrokeTimeLag, 0, kKeyStrokeTimeLagMax);
  if (stroke.error != FieldError::kNone) return {Focus::kKeyStrokeTimeLag, stroke};
  page.encloseTimeLag = enclose.value;
  page.keyStrokeTimeLag = stroke.value;
  return {Focus::kNone, Passed(0)};
}

CheckResult CheckCustomMenuPage(const CustomMenuPage& page) {
  if (page.switchKey.listIndex == kOthersListIndex && IsEmptyHotKey(page.switchKey.hotKey)) {
    return Fail(IDS_INPUT_USER_KEY, Focus::kSwitchHotKey);
  }
  const Shortcut switchKey = ShortcutFromField(page.switchKey);
  for (int i = 0; i < page.files.Count(); ++i) {
    if (SameShortcut(switchKey, ShortcutFromSet(page.files.Entry(i)))) {
      return Fail(IDS_SAME_AS_SWITCH_KEY, Focus::kMenuFileList, page.files.DisplayName(i));
    }
  }
  return Pass();
}

// ---- StackMenu ----

StackMenuPage LoadStackMenuPage(const settings::Settings& s) {
  StackMenuPage page;
  page.stackKey = ShortcutFieldFromStored(s.StackKey, s.StackSpecKey, s.StackSpecMod);
  page.maxHistoryNum = s.MaxHistoryNum;
  page.maxCharNum = s.MaxCharNum;
  page.clearHistory = HotKeyFromStored(s.KeyClearHist, s.ModClearHist);
  page.quote = s.QuoteChar;
  page.saveHist = s.SaveHist;
  page.moveStackTop = s.MoveStackTop;
  page.skipWord = s.SkipWord;
  page.skipTopSpace = s.SkipTopSpace;
  page.cutLastRet2 = s.CutLastRet2;
  return page;
}

FieldFailure ExchangeStackMenuFields(StackMenuPage& page, const char* maxHistoryNum, const char* maxCharNum,
                                     const char* quote) {
  const FieldCheck history = CheckIntegerField(maxHistoryNum, kHistoryNumMin, kHistoryNumMax);
  if (history.error != FieldError::kNone) return {Focus::kMaxHistoryNum, history};
  const FieldCheck chars = CheckIntegerField(maxCharNum, kCharNumMin, kCharNumMax);
  if (chars.error != FieldError::kNone) return {Focus::kMaxCharNum, chars};
  const FieldCheck quoteCheck = CheckTextField(quote, kQuoteMaxBytes);
  if (quoteCheck.error != FieldError::kNone) return {Focus::kQuote, quoteCheck};
  page.maxHistoryNum = history.value;
  page.maxCharNum = chars.value;
  page.quote = quote == nullptr ? std::string() : std::string(quote);
  return {Focus::kNone, Passed(0)};
}

CheckResult CheckStackMenuPage(const StackMenuPage& page) {
  const bool others = page.stackKey.listIndex == kOthersListIndex;
  // The stack key's control only counts while (Others) is chosen: a key left
  // in it under another kind triggers nothing and overlaps nothing.
  if (others && !(IsEmptyHotKey(page.stackKey.hotKey) && IsEmptyHotKey(page.clearHistory))) {
    const Shortcut stack = ShortcutFromField(page.stackKey);
    if (stack.key == page.clearHistory.key &&
        stack.modifiers == settings::FromHotKeyControlModifiers(page.clearHistory.modifiers)) {
      return Fail(IDS_SHORTCUTS_OVERLAP, Focus::kStackHotKey);
    }
  }
  if (others && IsEmptyHotKey(page.stackKey.hotKey)) return Fail(IDS_INPUT_USER_KEY, Focus::kStackHotKey);
  return Pass();
}

namespace {

// A user-defined key as the hooks and the system match it: key and
// RegisterHotKey modifiers; absent (key 0) for anything else.
struct OwnKey {
  uint16_t key;
  uint16_t modifiers;
  bool Same(const OwnKey& o) const noexcept { return key != 0 && key == o.key && modifiers == o.modifiers; }
};

OwnKey KeyOf(const Shortcut& s) {
  return s.kind == kTriggerShortcut ? OwnKey{s.key, s.modifiers} : OwnKey{0, 0};
}

OwnKey ClearKeyOf(const StackMenuPage& page) {
  return {page.clearHistory.key, settings::FromHotKeyControlModifiers(page.clearHistory.modifiers)};
}

}  // namespace

CheckResult CheckShortcutsAcrossPages(const CustomMenuPage& custom, const StackMenuPage& stack, SheetPage leaving) {
  const OwnKey clear = ClearKeyOf(stack);
  const OwnKey stackKey = KeyOf(ShortcutFromField(stack.stackKey));
  const OwnKey switchKey = KeyOf(ShortcutFromField(custom.switchKey));
  auto fileKey = [&](int i) { return KeyOf(ShortcutFromSet(custom.files.Entry(i))); };
  if (leaving == SheetPage::kStackMenu) {
    if (clear.key != 0 && (clear.modifiers & (kModCtrl | kModAlt)) == 0) {
      return Fail(IDS_SHORTCUTS_OVERLAP, Focus::kClearHistoryHotKey);
    }
    auto takenByCustomPage = [&](const OwnKey& mine) {
      bool taken = mine.Same(switchKey);
      for (int i = 0; i < custom.files.Count() && !taken; ++i) taken = mine.Same(fileKey(i));
      return taken;
    };
    if (takenByCustomPage(clear)) return Fail(IDS_SHORTCUTS_OVERLAP, Focus::kClearHistoryHotKey);
    if (takenByCustomPage(stackKey)) return Fail(IDS_SHORTCUTS_OVERLAP, Focus::kStackHotKey);
    return Pass();
  }
  if (switchKey.Same(clear) || switchKey.Same(stackKey)) return Fail(IDS_SHORTCUTS_OVERLAP, Focus::kSwitchHotKey);
  for (int i = 0; i < custom.files.Count(); ++i) {
    if (fileKey(i).Same(clear) || fileKey(i).Same(stackKey)) {
      return Fail(IDS_SHORTCUTS_OVERLAP, Focus::kMenuFileList);
    }
  }
  return Pass();
}

// ---- Macro ----

MacroPage LoadMacroPage(const settings::Settings& s) {
  MacroPage page;
  page.playStyle = s.PlayStyle;
  page.keyInterval = s.KeyInterval;
  page.mouseInterval = s.MouseInterval;
  page.loopPlay = s.LoopPlay;
  page.recKey = s.RecKey;
  page.recMouse = s.RecMouse;
  page.cutMouseMove = s.CutMouseMove;
  page.dispTopMost = s.DispTopMost;
  page.messageBeep = s.MessageBeep;
  return page;
}

FieldFailure ExchangeMacroFields(MacroPage& page, const char* keyInterval, const char* mouseInterval,
                                 const char* loopPlay) {
  // Typed intervals are taken as they are, negative ones too: only the spin
  // controls stop at 0 and 3000, and the player bounds its waits.
  const FieldCheck key = CheckIntegerField(keyInterval);
  if (key.error != FieldError::kNone) return {Focus::kKeyInterval, key};
  const FieldCheck mouse = CheckIntegerField(mouseInterval);
  if (mouse.error != FieldError::kNone) return {Focus::kMouseInterval, mouse};
  const FieldCheck loop = CheckIntegerField(loopPlay, 0, kLoopPlayMax);
  if (loop.error != FieldError::kNone) return {Focus::kLoopPlay, loop};
  page.keyInterval = key.value;
  page.mouseInterval = mouse.value;
  page.loopPlay = loop.value;
  return {Focus::kNone, Passed(0)};
}

// ---- The skip list ----

void SkipList::Fill(const std::vector<std::string>& apps) {
  apps_ = apps;
  selection_ = -1;
}

void SkipList::Select(int index) noexcept { selection_ = (index >= 0 && index < Count()) ? index : -1; }

std::string SkipList::DisplayName(int index) const { return AfterLastBackslash(Path(index).c_str()); }

void SkipList::Add(const std::string& path) {
  apps_.push_back(path);
  selection_ = Count() - 1;
}

int SkipList::Delete() {
  if (selection_ < 0) return IDS_SELECT_DELETE_ITEM;
  apps_.erase(apps_.begin() + selection_);
  selection_ = apps_.empty() ? -1 : std::min(selection_, Count() - 1);
  return 0;
}

FileDlgExPage LoadFileDlgExPage(const settings::Settings& s) {
  FileDlgExPage page;
  page.sameContents = s.DirHistShare;
  page.skipApps.Fill(s.SkipApps);
  return page;
}

// ---- The paste-method list ----

const char* PasteMethodLabel(int32_t method) noexcept {
  return method == kPasteType ? "Type the text" : PasteMethodName(method);
}

void PasteMethodList::Fill(const std::vector<PasteProgram>& programs) {
  programs_ = programs;
  selection_ = -1;
}

void PasteMethodList::Select(int index) noexcept { selection_ = (index >= 0 && index < Count()) ? index : -1; }

std::string PasteMethodList::DisplayText(int index) const {
  const PasteProgram& entry = Entry(index);
  const char* method = PasteMethodLabel(entry.method);
  return std::string(entry.program, strnlen(entry.program, sizeof entry.program)) + "\t" +
         (method != nullptr ? method : "");
}

namespace {

// Blanks around a name are never part of it, as the stored form drops them.
std::string WithoutBlanks(const std::string& name) {
  size_t begin = 0;
  size_t end = name.size();
  while (begin < end && (name[begin] == ' ' || name[begin] == '\t')) ++begin;
  while (end > begin && (name[end - 1] == ' ' || name[end - 1] == '\t')) --end;
  return name.substr(begin, end - begin);
}

}  // namespace

bool PasteMethodList::Add(const std::string& name, int32_t method, std::string& why) {
  const std::string trimmed = WithoutBlanks(name);
  if (!settings::CanAddPasteProgram(programs_, trimmed, &why)) return false;
  if (PasteMethodName(method) == nullptr) {
    why = "choose how it is pasted into.";
    return false;
  }
  PasteProgram entry;
  std::memset(&entry, 0, sizeof entry);
  std::memcpy(entry.program, trimmed.data(), trimmed.size());  // CanAddPasteProgram bounds it
  entry.method = method;
  programs_.push_back(entry);
  selection_ = Count() - 1;
  return true;
}

int PasteMethodList::ChangeMethod(int32_t method) {
  if (selection_ < 0 || PasteMethodName(method) == nullptr) return IDS_SELECT_PASTE_PROGRAM;
  programs_[static_cast<size_t>(selection_)].method = method;
  return 0;
}

int PasteMethodList::Remove() {
  if (selection_ < 0) return IDS_SELECT_DELETE_ITEM;
  programs_.erase(programs_.begin() + selection_);
  selection_ = programs_.empty() ? -1 : std::min(selection_, Count() - 1);
  return 0;
}

int PasteMethodList::CheckNameLeft(const std::string& name, std::string& shown) const {
  shown = WithoutBlanks(name);
  if (shown.empty()) return 0;
  for (const PasteProgram& entry : programs_) {
    if (SameProgramName(entry.program, strnlen(entry.program, sizeof entry.program), shown.data(), shown.size())) {
      return 0;
    }
  }
  return IDS_PASTE_PROGRAM_NOT_ADDED;
}

PasteMethodsPage LoadPasteMethodsPage(const settings::Settings& s) {
  PasteMethodsPage page;
  page.programs.Fill(s.PastePrograms);
  return page;
}

// ---- The whole sheet ----

OptionPages LoadOptionPages(const settings::Settings& s, settings::FileProbe& files, int startupState) {
  return {LoadGeneralPage(s, startupState), LoadCustomMenuPage(s, files), LoadStackMenuPage(s), LoadMacroPage(s),
          LoadFileDlgExPage(s), LoadPasteMethodsPage(s)};
}

void WriteBackMacroPage(const MacroPage& loaded, const MacroPage& m, OptionsWriter& out) {
  out.WriteNumber("PlayStyle", m.playStyle);
  out.WriteNumber("KeyInterval", m.keyInterval);
  out.WriteNumber("MouseInterval", m.mouseInterval);
  out.WriteNumber("LoopPlay", m.loopPlay);
  out.WriteNumber("RecKey", Flag(m.recKey));
  out.WriteNumber("RecMouse", Flag(m.recMouse));
  out.WriteNumber("CutMouseMove", Flag(m.cutMouseMove));
  out.WriteNumber("MessageBeep", Flag(m.messageBeep));
  if (m.dispTopMost != loaded.dispTopMost) out.SetDispTopMost(m.dispTopMost);
}

void WriteBackSheet(const OptionPages& loaded, const OptionPages& edited, OptionsWriter& out) {
  // What the two list pages do as they accept, before the sheet's writes.
  if (edited.customMenu.files.Edited()) {
    MenuFileSet sets[kMenuFileSetCount];
    edited.customMenu.files.ToSets(sets);
    out.ReplaceMenuFileSets(sets);
  }
  out.ReplaceSkipApps(edited.fileDlgEx.skipApps.Paths());

  const GeneralPage& g = edited.general;
  out.WriteNumber("MenuPos", ListOr(g.menuPos, loaded.general.menuPos));
  out.WriteNumber("PasteCmd", ListOr(g.pasteCmd, loaded.general.pasteCmd));
  out.WriteNumber("CutCmd", ListOr(g.cutCmd, loaded.general.cutCmd));
  // With the state unknown (-1) the box was disabled and nothing is touched.
  if (loaded.general.startupState == 0 && g.launchWithWindows) out.CreateStartupShortcut();
  if (loaded.general.startupState == 1 && !g.launchWithWindows) out.DeleteStartupShortcut();
  out.WriteNumber("CopyOnly", Flag(g.copyOnly));
  out.WriteNumber("ResetCursor", Flag(g.resetCursor));
  if (g.hideIcon != loaded.general.hideIcon) out.WriteNumber("HideIcon", Flag(g.hideIcon));
  const bool titleMenu = g.titleMenuOn && g.titleMenuKind >= 0 && g.titleMenuKind <= 2;
  out.WriteNumber("TitleMenu", titleMenu ? g.titleMenuKind + 1 : 0);
  out.WriteText("Editor", g.editor);

  const CustomMenuPage& c = edited.customMenu;
  WriteShortcut(c.switchKey, "ChangeKey", "ChangeSpecKey", "ChangeSpecMod", out);
  out.WriteNumber("EncloseTimeLag", c.encloseTimeLag);
  out.WriteNumber("KeyStrokeTimeLag", c.keyStrokeTimeLag);
  out.WriteNumber("CutLastRet", Flag(c.cutLastRet));

  const StackMenuPage& st = edited.stackMenu;
  WriteShortcut(st.stackKey, "StackKey", "StackSpecKey", "StackSpecMod", out);
  if (st.maxHistoryNum != loaded.stackMenu.maxHistoryNum) out.ResizeHistory(st.maxHistoryNum);
  out.WriteNumber("MaxCharNum", st.maxCharNum);
  out.WriteNumber("KeyClearHist", st.clearHistory.key);
  out.WriteNumber("ModClearHist", settings::FromHotKeyControlModifiers(st.clearHistory.modifiers));
  out.WriteNumber("MoveStackTop", Flag(st.moveStackTop));
  out.WriteNumber("SaveHist", Flag(st.saveHist));
  out.WriteNumber("SkipWord", Flag(st.skipWord));
  out.WriteNumber("SkipTopSpace", Flag(st.skipTopSpace));
  out.SetQuote(st.quote);
  out.WriteNumber("CutLastRet2", Flag(st.cutLastRet2));

  WriteBackMacroPage(loaded.macro, edited.macro, out);

  out.WriteNumber("DirHistShare", Flag(edited.fileDlgEx.sameContents));

  out.ReplacePastePrograms(edited.pasteMethods.programs.Programs());
}

// ---- Writing into the application's settings ----

namespace {

struct Member {
  const char* key;
  int32_t settings::Settings::*number;
  bool settings::Settings::*flag;
  uint16_t settings::Settings::*word;
};

using S = settings::Settings;
// Every key the pages write. MaxHistoryNum is not here: it changes only
// through the history store's resize.
const Member kMembers[] = {
    {"MenuPos", &S::MenuPos, nullptr, nullptr},
    {"PasteCmd", &S::PasteCmd, nullptr, nullptr},
    {"CutCmd", &S::CutCmd, nullptr, nullptr},
    {"CopyOnly", nullptr, &S::CopyOnly, nullptr},
    {"ResetCursor", nullptr, &S::ResetCursor, nullptr},
    {"HideIcon", nullptr, &S::HideIcon, nullptr},
    {"TitleMenu", &S::TitleMenu, nullptr, nullptr},
    {"ChangeKey", &S::ChangeKey, nullptr, nullptr},
    {"ChangeSpecKey", nullptr, nullptr, &S::ChangeSpecKey},
    {"ChangeSpecMod", nullptr, nullptr, &S::ChangeSpecMod},
    {"EncloseTimeLag", &S::EncloseTimeLag, nullptr, nullptr},
    {"KeyStrokeTimeLag", &S::KeyStrokeTimeLag, nullptr, nullptr},
    {"CutLastRet", nullptr, &S::CutLastRet, nullptr},
    {"StackKey", &S::StackKey, nullptr, nullptr},
    {"StackSpecKey", nullptr, nullptr, &S::StackSpecKey},
    {"StackSpecMod", nullptr, nullptr, &S::StackSpecMod},
    {"MaxCharNum", &S::MaxCharNum, nullptr, nullptr},
    {"KeyClearHist", nullptr, nullptr, &S::KeyClearHist},
    {"ModClearHist", nullptr, nullptr, &S::ModClearHist},
    {"MoveStackTop", nullptr, &S::MoveStackTop, nullptr},
    {"SaveHist", nullptr, &S::SaveHist, nullptr},
    {"SkipWord", nullptr, &S::SkipWord, nullptr},
    {"SkipTopSpace", nullptr, &S::SkipTopSpace, nullptr},
    {"CutLastRet2", nullptr, &S::CutLastRet2, nullptr},
    {"PlayStyle", &S::PlayStyle, nullptr, nullptr},
    {"KeyInterval", &S::KeyInterval, nullptr, nullptr},
    {"MouseInterval", &S::MouseInterval, nullptr, nullptr},
    {"LoopPlay", &S::LoopPlay, nullptr, nullptr},
    {"RecKey", nullptr, &S::RecKey, nullptr},
    {"RecMouse", nullptr, &S::RecMouse, nullptr},
    {"CutMouseMove", nullptr, &S::CutMouseMove, nullptr},
    {"MessageBeep", nullptr, &S::MessageBeep, nullptr},
    {"DirHistShare", nullptr, &S::DirHistShare, nullptr},
};

}  // namespace

void SettingsWriter::WriteNumber(const char* key, int32_t value) {
  if (key == nullptr) return;
  for (const Member& m : kMembers) {
    if (std::strcmp(m.key, key) != 0) continue;
    if (m.number != nullptr) settings_.*m.number = value;
    if (m.flag != nullptr) settings_.*m.flag = value != 0;
    if (m.word != nullptr) settings_.*m.word = static_cast<uint16_t>(value);
    return;
  }
}

void SettingsWriter::WriteText(const char* key, const std::string& value) {
  if (key != nullptr && std::strcmp(key, "Editor") == 0) settings_.Editor = value;
}

void SettingsWriter::CreateStartupShortcut() { effects_.CreateStartupShortcut(); }

void SettingsWriter::DeleteStartupShortcut() { effects_.DeleteStartupShortcut(); }

void SettingsWriter::ResizeHistory(int32_t capacity) {
  if (effects_.ResizeHistoryStore(capacity)) settings_.MaxHistoryNum = capacity;
}

void SettingsWriter::ReplaceMenuFileSets(const MenuFileSet (&sets)[kMenuFileSetCount]) {
  for (int i = 0; i < kMenuFileSetCount; ++i) {
    settings_.MenuFiles[i] = sets[i];
    settings_.MenuFiles[i].path[sizeof sets[i].path - 1] = '\0';
  }
}

void SettingsWriter::ReplaceSkipApps(const std::vector<std::string>& apps) { settings_.SkipApps = apps; }

void SettingsWriter::ReplacePastePrograms(const std::vector<PasteProgram>& programs) {
  settings_.PastePrograms = programs;
}

void SettingsWriter::SetQuote(const std::string& quote) {
  settings_.QuoteChar = quote;
  settings::CutText(settings_.QuoteChar, settings::kMaxQuoteBytes);
  effects_.PublishQuote(settings_.QuoteChar.c_str());
}

void SettingsWriter::SetDispTopMost(bool onTop) {
  settings_.DispTopMost = onTop;
  effects_.SetTopMost(onTop);
}

}  // namespace quillo::options
