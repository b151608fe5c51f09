#include "settings.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "dbcs.h"
#include "path_text.h"

namespace quillo::settings {
namespace {

// Highest virtual-key code; 0xFF is "no key" to the system.
constexpr int32_t kMaxVirtualKey = 0xFE;
constexpr int32_t kAllModifiers = kModAlt | kModCtrl | kModShift;
// Every trigger code the keyboard hook understands, the Japanese keys included:
// the options sheet offers fewer, but a user may have set the others by hand.
constexpr int32_t kMinTrigger = kTriggerShortcut;
constexpr int32_t kMaxTrigger = kTriggerRightCtrl;

constexpr char kDefaultMenuFile[] = "MenuItem.txt";
constexpr char kDefaultHelpFile[] = "MenuHelp.txt";
constexpr uint16_t kDefaultHelpKey = 77;  // M

// One key of a section. Exactly one member pointer is set. Values outside
// [min, max] are what a damaged or hand-edited store holds, never something
// the options sheet writes, so they read as the default rather than being
// pulled to the nearest bound.
struct KeyRow {
  const char* name;
  std::string Settings::*text;
  int32_t Settings::*number;
  bool Settings::*flag;
  uint16_t Settings::*word;
  int32_t min;
  int32_t max;
};

constexpr KeyRow Text(const char* name, std::string Settings::*m) { return {name, m, nullptr, nullptr, nullptr, 0, 0}; }
constexpr KeyRow Number(const char* name, int32_t Settings::*m, int32_t min, int32_t max) {
  return {name, nullptr, m, nullptr, nullptr, min, max};
}
// The macro player takes any value of these as it comes (a negative interval
// included, which the Macro page lets through); the player bounds its waits.
constexpr KeyRow AnyNumber(const char* name, int32_t Settings::*m) {
  return {name, nullptr, m, nullptr, nullptr, INT32_MIN, INT32_MAX};
}
constexpr KeyRow Flag(const char* name, bool Settings::*m) { return {name, nullptr, nullptr, m, nullptr, 0, 0}; }
constexpr KeyRow Word(const char* name, uint16_t Settings::*m, int32_t max) {
  return {name, nullptr, nullptr, nullptr, m, 0, max};
}

const KeyRow kGeneralKeys[] = {
    Text("Editor", &Settings::Editor),
    Number("MenuPos", &Settings::MenuPos, 0, 2),
    Number("PasteCmd", &Settings::PasteCmd, 0, 2),
    Number("CutCmd", &Settings::CutCmd, 0, 2),
    // The wait routine compares unsigned tick differences: a negative lag
    // would be a wait of weeks. The bounds are the options sheet's.
    Number("EncloseTimeLag", &Settings::EncloseTimeLag, 0, 5000),
    Number("KeyStrokeTimeLag", &Settings::KeyStrokeTimeLag, 0, 10000),
    Number("MaxHistoryNum", &Settings::MaxHistoryNum, 1, 100),
    Number("MaxCharNum", &Settings::MaxCharNum, 1, 100),
    Flag("MoveStackTop", &Settings::MoveStackTop),
    Flag("SkipTopSpace", &Settings::SkipTopSpace),
    Flag("DirectPaste", &Settings::DirectPaste),
    Word("KeyClearHist", &Settings::KeyClearHist, kMaxVirtualKey),
    Word("ModClearHist", &Settings::ModClearHist, kAllModifiers),
    Flag("SaveHist", &Settings::SaveHist),
    Flag("SkipWord", &Settings::SkipWord),
    Flag("Suspend", &Settings::Suspend),
    Flag("SuspendHist", &Settings::SuspendHist),
    Flag("SuspendDirHist", &Settings::SuspendDirHist),
    Flag("HideIcon", &Settings::HideIcon),
    Number("ChangeKey", &Settings::ChangeKey, kMinTrigger, kMaxTrigger),
    Word("ChangeSpecKey", &Settings::ChangeSpecKey, kMaxVirtualKey),
    Word("ChangeSpecMod", &Settings::ChangeSpecMod, kAllModifiers),
    Number("StackKey", &Settings::StackKey, kMinTrigger, kMaxTrigger),
    Word("StackSpecKey", &Settings::StackSpecKey, kMaxVirtualKey),
    Word("StackSpecMod", &Settings::StackSpecMod, kAllModifiers),
    Flag("CutLastRet", &Settings::CutLastRet),
    Flag("CutLastRet2", &Settings::CutLastRet2),
    Flag("CopyOnly", &Settings::CopyOnly),
    Flag("ResetCursor", &Settings::ResetCursor),
    Flag("ImeAdjust", &Settings::ImeAdjust),
    Number("TitleMenu", &Settings::TitleMenu, 0, 3),
    Flag("DirHistShare", &Settings::DirHistShare),
    Text("QuoteChar", &Settings::QuoteChar),
};

const KeyRow kMacroKeys[] = {
    Text("CurMacroName", &Settings::CurMacroName),
    AnyNumber("PlayStyle", &Settings::PlayStyle),
    AnyNumber("KeyInterval", &Settings::KeyInterval),
    AnyNumber("MouseInterval", &Settings::MouseInterval),
    AnyNumber("LoopPlay", &Settings::LoopPlay),
    Flag("RecKey", &Settings::RecKey),
    Flag("RecMouse", &Settings::RecMouse),
    Flag("CutMouseMove", &Settings::CutMouseMove),
    Flag("DispTopMost", &Settings::DispTopMost),
    Flag("MessageBeep", &Settings::MessageBeep),
};

template <size_t N>
void LoadRows(SettingsStore& store, const char* section, const KeyRow (&rows)[N], Settings& s) {
  const Settings defaults;
  for (const KeyRow& row : rows) {
    if (row.text != nullptr) {
      s.*row.text = store.ReadString(section, row.name, (defaults.*row.text).c_str());
    } else if (row.number != nullptr) {
      const int32_t fallback = defaults.*row.number;
      const int32_t v = store.ReadInt(section, row.name, fallback);
      s.*row.number = (v < row.min || v > row.max) ? fallback : v;
    } else if (row.flag != nullptr) {
      s.*row.flag = store.ReadInt(section, row.name, defaults.*row.flag ? 1 : 0) != 0;
    } else {
      const int32_t fallback = defaults.*row.word;
      const int32_t v = store.ReadInt(section, row.name, fallback);
      s.*row.word = static_cast<uint16_t>((v < row.min || v > row.max) ? fallback : v);
    }
  }
}

template <size_t N>
bool SaveRows(SettingsStore& store, const char* section, const KeyRow (&rows)[N], const Settings& s) {
  bool saved = true;
  for (const KeyRow& row : rows) {
    bool ok;
    if (row.text != nullptr) {
      ok = store.WriteString(section, row.name, (s.*row.text).c_str());
    } else if (row.number != nullptr) {
      ok = store.WriteInt(section, row.name, s.*row.number);
    } else if (row.flag != nullptr) {
      ok = store.WriteInt(section, row.name, s.*row.flag ? 1 : 0);
    } else {
      ok = store.WriteInt(section, row.name, s.*row.word);
    }
    saved = saved && ok;
  }
  return saved;
}

// Copies `text` into a path field; false when it does not fit.
bool SetPath(MenuFileSet& set, const std::string& text) {
  if (text.size() >= sizeof set.path) return false;
  std::memcpy(set.path, text.c_str(), text.size() + 1);
  return true;
}

// A drive path (C:\...) or a network path (\\server\share\...) is read as it
// was saved; only a bare name belongs to the program folder.
bool IsAbsolute(const std::string& value) {
  if (value.size() >= 3 && value[1] == ':' && value[2] == '\\') return true;
  return value.size() >= 3 && value[0] == '\\' && value[1] == '\\';
}

bool IsLead(unsigned char c) { return text::IsLeadByte(c); }

// The text saved for a menu file: only the file name when the file lies
// directly in the program folder, so that the folder can move with its files.
std::string StoredMenuFilePath(const char* path, const std::string& programFolder) {
  const long cut = LastBackslash(path, IsLead);
  if (cut >= 0 && EqualIgnoringCase(path, static_cast<size_t>(cut), programFolder.data(), programFolder.size())) {
    return std::string(path + cut + 1);
  }
  return std::string(path);
}

void LoadMenuFileSets(SettingsStore& store, const std::string& programFolder, FileProbe& files,
                      MenuFileSet (&sets)[kMenuFileSetCount]) {
  for (MenuFileSet& set : sets) set = EmptyMenuFileSet();
  char name[32];
  for (int n = 0; n < kMenuFileSetCount; ++n) {
    std::snprintf(name, sizeof name, "MenuFile%d", n);
    const std::string value = store.ReadString(kMenuFileSetSection, name, "");
    if (value.empty()) break;
    // A path that does not fit the record could not be opened anyway: the
    // record stays empty and is dropped with the missing files below.
    SetPath(sets[n], IsAbsolute(value) ? value : programFolder + "\\" + value);

    std::snprintf(name, sizeof name, "MenuFile%d-Preset", n);
    const int32_t trigger = store.ReadInt(kMenuFileSetSection, name, kTriggerNone);
    sets[n].trigger = (trigger < kMinTrigger || trigger > kMaxTrigger) ? kTriggerNone : trigger;

    std::snprintf(name, sizeof name, "MenuFile%d-Key", n);
    const uint32_t key = static_cast<uint32_t>(store.ReadInt(kMenuFileSetSection, name, 0));
    const uint32_t vk = key & 0xFFFFu;
    const uint32_t mods = key >> 16;
    if (vk <= static_cast<uint32_t>(kMaxVirtualKey) && mods <= static_cast<uint32_t>(kAllModifiers)) {
      sets[n].key = static_cast<uint16_t>(vk);
      sets[n].modifiers = static_cast<uint16_t>(mods);
    }
  }
  NormaliseMenuFileSets(sets, programFolder, files);
}

void LoadSkipApps(SettingsStore& store, std::vector<std::string>& apps) {
  apps.clear();
  char name[32];
  for (size_t n = 0; n < kMaxSkipApps; ++n) {
    std::snprintf(name, sizeof name, "SkipApp%zu", n);
    std::string value = store.ReadString(kSkipAppListSection, name, "");
    if (value.empty()) break;
    apps.push_back(std::move(value));
  }
}

// The stored list of paste methods. A store that never held one (no
// "Count") gives the defaults; an entry that cannot be read is left out and
// said why, the others kept in their order.
void LoadPastePrograms(SettingsStore& store, std::vector<PasteProgram>& list, std::vector<std::string>& problems) {
  list.clear();
  problems.clear();
  const int32_t count = store.ReadInt(kPasteMethodSection, "Count", -1);
  if (count < 0) {
    PasteProgram defaults[kMaxPastePrograms];
    const size_t n = DefaultPastePrograms(defaults, kMaxPastePrograms);
    list.assign(defaults, defaults + n);
    return;
  }
  size_t wanted = static_cast<size_t>(count);
  if (wanted > kMaxPastePrograms) {
    problems.push_back("The list of paste methods holds " + std::to_string(count) + " programs; only the first " +
                       std::to_string(kMaxPastePrograms) + " are kept.");
    wanted = kMaxPastePrograms;
  }
  char name[32];
  for (size_t n = 0; n < wanted; ++n) {
    std::snprintf(name, sizeof name, "Program%zu", n);
    const std::string value = store.ReadString(kPasteMethodSection, name, "");
    PasteProgram entry;
    PasteEntryProblem problem = ParsePasteEntry(value.data(), value.size(), entry);
    const std::string shown = "\"" + value + "\" (" + name + ")";
    if (problem != PasteEntryProblem::kNone) {
      problems.push_back("The paste method entry " + shown + " is left out: " + DescribePasteEntryProblem(problem));
      continue;
    }
    std::string why;
    if (!CanAddPasteProgram(list, entry.program, &why)) {
      problems.push_back("The paste method entry " + shown + " is left out: " + why);
      continue;
    }
    list.push_back(entry);
  }
}

// Bounded copy that never splits a double-byte character; always terminates.
size_t CopyCut(char* out, size_t outSize, const char* src) noexcept {
  if (outSize == 0) return 0;
  size_t len = 0;
  for (const char* p = src; *p != '\0';) {
    const size_t n = text::CharLen(p);
    if (len + n >= outSize) break;
    std::memcpy(out + len, p, n);
    len += n;
    p += n;
  }
  out[len] = '\0';
  return len;
}

int32_t Bool(bool b) { return b ? 1 : 0; }

}  // namespace

Settings::Settings() {
  for (MenuFileSet& set : MenuFiles) set = EmptyMenuFileSet();
}

MenuFileSet EmptyMenuFileSet() {
  MenuFileSet set = {};
  set.trigger = kTriggerNone;
  return set;
}

// A double-byte character is compared as it is, so a trail byte that happens
// to be a letter is never folded.
bool EqualIgnoringCase(const char* a, size_t aLen, const char* b, size_t bLen) noexcept {
  if (aLen != bLen) return false;
  for (size_t i = 0; i < aLen;) {
    const unsigned char ca = static_cast<unsigned char>(a[i]);
    const bool lead = text::IsLeadByte(ca) && i + 1 < aLen;
    if (lead) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      i += 2;
      continue;
    }
    unsigned char x = ca;
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
    ++i;
  }
  return true;
}

void CutText(std::string& text, size_t maxBytes) {
  size_t len = 0;
  const char* p = text.c_str();
  while (p[len] != '\0') {
    const size_t n = text::CharLen(p + len);
    if (len + n > maxBytes) break;
    len += n;
  }
  text.resize(len);
}

void NormaliseMenuFileSets(MenuFileSet (&sets)[kMenuFileSetCount], const std::string& programFolder,
                           FileProbe& files) {
  for (MenuFileSet& set : sets) {
    if (set.path[0] == '\0') continue;
    // A set on a share that is not up yet, or on a stick that is out, stays:
    // dropped here it would be gone for good with the next save. Its key
    // then tells of the missing file, as for any set whose file went.
    if (!files.MayBeAway(set.path) && !files.FileExists(set.path)) set = EmptyMenuFileSet();
  }
  int used = 0;
  for (int i = 0; i < kMenuFileSetCount; ++i) {
    if (sets[i].path[0] == '\0') continue;
    if (i != used) {
      sets[used] = sets[i];
      sets[i] = EmptyMenuFileSet();
    }
    ++used;
  }
  if (used == 0) {
    // A first start, or every menu file gone: the menu the user edits and the
    // help menu that shows what the tags do. The help set is kept even when
    // its file is missing, so its key does something (an error that names the file).
    if (SetPath(sets[0], programFolder + "\\" + kDefaultMenuFile)) sets[0].trigger = kTriggerDoubleShift;
    if (SetPath(sets[1], programFolder + "\\" + kDefaultHelpFile)) {
      sets[1].trigger = kTriggerShortcut;
      sets[1].key = kDefaultHelpKey;
      sets[1].modifiers = kModCtrl | kModAlt;
    }
  }
}

void LoadSettings(SettingsStore& store, const std::string& programFolder, FileProbe& files, Settings& out) {
  LoadRows(store, kGeneralSection, kGeneralKeys, out);
  CutText(out.QuoteChar, kMaxQuoteBytes);
  LoadMenuFileSets(store, programFolder, files, out.MenuFiles);
  LoadSkipApps(store, out.SkipApps);
  LoadPastePrograms(store, out.PastePrograms, out.PasteProgramProblems);
  LoadRows(store, kMacroSection, kMacroKeys, out);
}

bool SaveSettings(SettingsStore& store, const std::string& programFolder, const Settings& settings) {
  bool saved = SaveRows(store, kGeneralSection, kGeneralKeys, settings);

  char name[32];
  for (int n = 0; n < kMenuFileSetCount; ++n) {
    const MenuFileSet& set = settings.MenuFiles[n];
    char path[sizeof set.path];
    std::memcpy(path, set.path, sizeof path);
    path[sizeof path - 1] = '\0';
    std::snprintf(name, sizeof name, "MenuFile%d", n);
    saved = store.WriteString(kMenuFileSetSection, name,
                              path[0] == '\0' ? "" : StoredMenuFilePath(path, programFolder).c_str()) && saved;
    std::snprintf(name, sizeof name, "MenuFile%d-Preset", n);
    saved = store.WriteInt(kMenuFileSetSection, name, set.trigger) && saved;
    std::snprintf(name, sizeof name, "MenuFile%d-Key", n);
    saved = store.WriteInt(kMenuFileSetSection, name,
                           static_cast<int32_t>(static_cast<uint32_t>(set.key) |
                                                (static_cast<uint32_t>(set.modifiers) << 16))) && saved;
  }

  // Entries removed since the load must not survive behind the new end.
  saved = store.DeleteSection(kSkipAppListSection) && saved;
  for (size_t n = 0; n < settings.SkipApps.size() && n < kMaxSkipApps; ++n) {
    std::snprintf(name, sizeof name, "SkipApp%zu", n);
    saved = store.WriteString(kSkipAppListSection, name, settings.SkipApps[n].c_str()) && saved;
  }

  // The count is written even for an empty list: no count means "never
  // set", which brings the defaults back.
  saved = store.DeleteSection(kPasteMethodSection) && saved;
  int32_t written = 0;
  for (const PasteProgram& entry : settings.PastePrograms) {
    if (static_cast<size_t>(written) == kMaxPastePrograms) break;
    char text[kPasteProgramBytes + 32];
    // A record no load could have made is not written.
    if (!FormatPasteEntry(entry, text, sizeof text)) continue;
    std::snprintf(name, sizeof name, "Program%d", static_cast<int>(written));
    saved = store.WriteString(kPasteMethodSection, name, text) && saved;
    ++written;
  }
  saved = store.WriteInt(kPasteMethodSection, "Count", written) && saved;

  return SaveRows(store, kMacroSection, kMacroKeys, settings) && saved;
}

std::string DescribePasteEntryProblem(PasteEntryProblem problem) {
  switch (problem) {
    case PasteEntryProblem::kNone: return "";
    case PasteEntryProblem::kNoSeparator: return "it has no \"=\" between the program and its method.";
    case PasteEntryProblem::kEmptyName: return "it names no program.";
    case PasteEntryProblem::kNameTooLong:
      return "a program's name has " + std::to_string(kPasteProgramBytes - 1) + " characters at most.";
    case PasteEntryProblem::kNameIsPath:
      return "give the program's file name only (such as notepad.exe), without a folder.";
    case PasteEntryProblem::kBadCharacter: return "the program's name holds a character no file name has.";
    case PasteEntryProblem::kUnknownMethod:
      return "the method is none of Ctrl+V, Shift+Insert, Ctrl+Y, Ctrl+Shift+V, Type.";
  }
  return "";
}

bool CanAddPasteProgram(const std::vector<PasteProgram>& list, const std::string& name, std::string* why) {
  const PasteEntryProblem problem = CheckPasteProgramName(name.data(), name.size());
  if (problem != PasteEntryProblem::kNone) {
    if (why != nullptr) *why = DescribePasteEntryProblem(problem);
    return false;
  }
  for (const PasteProgram& entry : list) {
    if (SameProgramName(entry.program, strnlen(entry.program, sizeof entry.program), name.data(), name.size())) {
      if (why != nullptr) *why = name + " is on the list already.";
      return false;
    }
  }
  if (list.size() >= kMaxPastePrograms) {
    if (why != nullptr) *why = "the list holds " + std::to_string(kMaxPastePrograms) + " programs at most.";
    return false;
  }
  return true;
}

bool MoveMenuFileSetToTop(MenuFileSet (&sets)[kMenuFileSetCount], int index) noexcept {
  if (index <= 0 || index >= kMenuFileSetCount) return false;
  const MenuFileSet chosen = sets[index];
  for (int i = index; i > 0; --i) sets[i] = sets[i - 1];
  sets[0] = chosen;
  return true;
}

bool IsSkippedProgram(const Settings& settings, const char* programPath) noexcept {
  if (programPath == nullptr) return false;
  const size_t len = std::strlen(programPath);
  for (const std::string& app : settings.SkipApps) {
    if (EqualIgnoringCase(app.data(), app.size(), programPath, len)) return true;
  }
  return false;
}

LoadTimeShared MakeLoadTimeShared(const Settings& settings) noexcept {
  LoadTimeShared out = {};
  out.directPaste = Bool(settings.DirectPaste);
  out.suspend = Bool(settings.Suspend);
  out.suspendDirHist = Bool(settings.SuspendDirHist);
  CopyCut(out.quote, kMaxQuoteBytes + 1, settings.QuoteChar.c_str());
  return out;
}

AppliedShared MakeAppliedShared(const Settings& s, KeyNameSource& names) noexcept {
  AppliedShared out = {};
  out.stackKey = s.StackKey;
  out.stackSpecKey = s.StackSpecKey;
  out.stackSpecMod = s.StackSpecMod;
  out.changeKey = s.ChangeKey;
  out.changeSpecKey = s.ChangeSpecKey;
  out.changeSpecMod = s.ChangeSpecMod;
  out.menuPos = s.MenuPos;
  out.pasteCmd = s.PasteCmd;
  out.cutCmd = s.CutCmd;
  out.charNum = s.MaxCharNum;
  out.moveStackTop = Bool(s.MoveStackTop);
  out.skipTopSpace = Bool(s.SkipTopSpace);
  out.cutLastRet = Bool(s.CutLastRet);
  out.cutLastRet2 = Bool(s.CutLastRet2);
  out.copyOnly = Bool(s.CopyOnly);
  out.resetCursor = Bool(s.ResetCursor);
  out.imeAdjust = Bool(s.ImeAdjust);
  out.titleMenu = s.TitleMenu;
  out.dirHistShare = Bool(s.DirHistShare);
  for (int i = 0; i < kMenuFileSetCount; ++i) {
    out.customMenuSet[i] = s.MenuFiles[i];
    out.customMenuSet[i].path[sizeof out.customMenuSet[i].path - 1] = '\0';
  }
  MakeKeyNameText(ModifierFormat::kRegisteredHotKey, s.KeyClearHist, s.ModClearHist, names, out.keyClearHist,
                  sizeof out.keyClearHist);
  out.recKey = Bool(s.RecKey);
  out.recMouse = Bool(s.RecMouse);
  out.cutMouseMove = Bool(s.CutMouseMove);
  for (const PasteProgram& entry : s.PastePrograms) {
    if (static_cast<size_t>(out.pasteProgramCount) == kMaxPastePrograms) break;
    PasteProgram& to = out.pastePrograms[out.pasteProgramCount++];
    to = entry;
    to.program[sizeof to.program - 1] = '\0';
  }
  return out;
}

namespace {
// Page Up, Page Down, End, Home, the four arrows, Insert and Delete: keys of
// the separate navigation block, which share their scan codes with the number
// pad and differ from it only by the extended flag.
constexpr uint16_t kControlShift = 1;
constexpr uint16_t kControlCtrl = 2;
constexpr uint16_t kControlAlt = 4;
constexpr uint16_t kControlExtended = 8;
}  // namespace

bool MakeKeyNameText(ModifierFormat format, uint32_t key, uint32_t modifiers, KeyNameSource& names, char* out,
                     size_t outSize) noexcept {
  if (out == nullptr || outSize == 0) return false;
  const uint32_t vk = key & 0xFFFFu;
  if (vk == 0) {
    out[0] = '\0';
    return true;
  }
  const bool hotKey = format == ModifierFormat::kRegisteredHotKey;
  const bool shift = (modifiers & (hotKey ? kModShift : kControlShift)) != 0;
  const bool ctrl = (modifiers & (hotKey ? kModCtrl : kControlCtrl)) != 0;
  const bool alt = (modifiers & (hotKey ? kModAlt : kControlAlt)) != 0;
  const bool extended = hotKey ? IsNavigationKey(vk) : (modifiers & kControlExtended) != 0;
  char text[kKeyNameBytes + 32];
  // A key without a name leaves the caller's text as it was.
  if (MakeKeyText(vk, shift, ctrl, alt, extended, names, text, sizeof text) == 0) return false;
  CopyCut(out, outSize, text);
  return true;
}

uint16_t ToHotKeyControlModifiers(uint16_t key, uint16_t modifiers) noexcept {
  uint16_t bits = 0;
  if (modifiers & kModShift) bits |= kControlShift;
  if (modifiers & kModCtrl) bits |= kControlCtrl;
  if (modifiers & kModAlt) bits |= kControlAlt;
  if (IsNavigationKey(key)) bits |= kControlExtended;
  return bits;
}

uint16_t FromHotKeyControlModifiers(uint16_t controlBits) noexcept {
  uint16_t mods = 0;
  if (controlBits & kControlShift) mods |= kModShift;
  if (controlBits & kControlCtrl) mods |= kModCtrl;
  if (controlBits & kControlAlt) mods |= kModAlt;
  return mods;
}

}  // namespace quillo::settings
