// The resident program's settings: every key of every section with its default,
// loading and saving through a small store interface, the menu-file sets and
// the skip-application list, the values the hooks need in the shared block,
// and the display text of shortcut keys. Portable: the registry, the file
// system and the system's key names come in through the seams below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "key_text.h"
#include "paste_methods/paste_entries.h"
#include "quillo_records.h"

namespace quillo::settings {

// Sections of the store. The macro bar keeps its own state under names that
// begin with "MacroBar" through the same store; nothing here reads them.
constexpr char kGeneralSection[] = "General";
constexpr char kMenuFileSetSection[] = "MenuFileSet";
constexpr char kSkipAppListSection[] = "SkipAppList";
constexpr char kMacroSection[] = "Macro";
// The paste method per program: "Count", then "Program0".. as "name=Method".
constexpr char kPasteMethodSection[] = "PasteMethods";
constexpr char kMacroBarPrefix[] = "MacroBar";

// The longest text a store hands out, terminator included; a longer stored
// value is treated as damaged and reads as the default.
constexpr size_t kMaxStoredTextBytes = 1024;
// g_szQuote is char[24]; the program keeps at most this many bytes of it.
constexpr size_t kMaxQuoteBytes = 20;
// The skip list has no fixed length; a damaged store must not make it endless.
constexpr size_t kMaxSkipApps = 1000;
// Width of g_szKeyClearHist and of the system's key names.
constexpr size_t kKeyClearHistBytes = 32;

// Where settings live. A value that is missing, of another type, or damaged
// reads as `fallback`. A write answers whether it reached the store, so that
// the user can be told when what they accepted was not kept.
class SettingsStore {
 public:
  virtual int32_t ReadInt(const char* section, const char* key, int32_t fallback) = 0;
  virtual std::string ReadString(const char* section, const char* key, const char* fallback) = 0;
  virtual bool WriteInt(const char* section, const char* key, int32_t value) = 0;
  virtual bool WriteString(const char* section, const char* key, const char* value) = 0;
  // Removes a whole section with every value in it; true also when there was none.
  virtual bool DeleteSection(const char* section) = 0;

 protected:
  ~SettingsStore() = default;
};

// Whether a file exists; the menu-file sets drop files that are gone.
class FileProbe {
 public:
  virtual bool FileExists(const char* path) = 0;
  // Whether `path` lies where a file not found may only be away for the
  // moment (a network path, a removable drive, a drive not there): such a
  // path is kept without being looked at, as a look can wait for a network
  // time-out. Answered without touching the file.
  virtual bool MayBeAway(const char* path) {
    (void)path;
    return false;
  }

 protected:
  ~FileProbe() = default;
};

// The system's key names, shared with the hook library's menus: key_text.h.
using ::quillo::KeyNameSource;

// Members are named after their keys. Flags are bool here and 0 or 1 in the
// store and in the shared block.
struct Settings {
  // ---- "General", in the order the section is read and written ----
  std::string Editor = "Notepad.exe";
  int32_t MenuPos = 0;
  int32_t PasteCmd = 0;
  int32_t CutCmd = 0;
  int32_t EncloseTimeLag = 300;
  int32_t KeyStrokeTimeLag = 100;
  int32_t MaxHistoryNum = 50;
  int32_t MaxCharNum = 30;
  bool MoveStackTop = false;
  bool SkipTopSpace = false;
  bool DirectPaste = false;
  uint16_t KeyClearHist = 75;  // K
  uint16_t ModClearHist = kModAlt | kModCtrl;
  bool SaveHist = true;
  bool SkipWord = true;
  bool Suspend = false;
  bool SuspendHist = false;
  bool SuspendDirHist = false;
  bool HideIcon = false;
  int32_t ChangeKey = kTriggerAltDoubleShift;
  uint16_t ChangeSpecKey = 0;
  uint16_t ChangeSpecMod = 0;
  int32_t StackKey = kTriggerDoubleCtrl;
  uint16_t StackSpecKey = 0;
  uint16_t StackSpecMod = 0;
  bool CutLastRet = true;
  bool CutLastRet2 = true;
  bool CopyOnly = false;
  bool ResetCursor = false;
  bool ImeAdjust = false;
  int32_t TitleMenu = 0;
  bool DirHistShare = true;
  std::string QuoteChar = "> ";

  // ---- "MenuFileSet": always absolute paths, used records first ----
  MenuFileSet MenuFiles[kMenuFileSetCount] = {};

  // ---- "SkipAppList" ----
  std::vector<std::string> SkipApps;

  // ---- "PasteMethods" ----
  // The programs pasted into otherwise than by PasteCmd; without a stored
  // list, the defaults (DefaultPastePrograms).
  std::vector<PasteProgram> PastePrograms;
  // What the load refused of the stored list, one sentence each, for the
  // user to hear of once; never saved.
  std::vector<std::string> PasteProgramProblems;

  // ---- "Macro" ----
  std::string CurMacroName;
  int32_t PlayStyle = 0;
  int32_t KeyInterval = 100;
  int32_t MouseInterval = 20;
  int32_t LoopPlay = 1;
  bool RecKey = true;
  bool RecMouse = true;
  bool CutMouseMove = false;
  bool DispTopMost = true;
  bool MessageBeep = false;

  Settings();
};

// An unused menu-file set: empty path, no trigger, no key.
MenuFileSet EmptyMenuFileSet();

// Reads every section. `programFolder` has no trailing backslash.
void LoadSettings(SettingsStore& store, const std::string& programFolder, FileProbe& files, Settings& out);
// Writes every key back, in the order they are read. A write that fails does
// not stop the others; false when any failed.
bool SaveSettings(SettingsStore& store, const std::string& programFolder, const Settings& settings);

// The menu-file set rules of the load, on records whose paths are already
// absolute: files that are gone are dropped (a path that may only be away,
// FileProbe::MayBeAway, is kept unlooked-at), the gaps closed keeping the
// order, and an empty first record gives the two default sets.
void NormaliseMenuFileSets(MenuFileSet (&sets)[kMenuFileSetCount], const std::string& programFolder,
                           FileProbe& files);

// The chosen set becomes the first; those before it move down one place, in
// order. False (nothing moved) for index 0 or an index that is not a set.
bool MoveMenuFileSetToTop(MenuFileSet (&sets)[kMenuFileSetCount], int index) noexcept;

// Whether `programPath` is in the skip-application list (ignoring case).
bool IsSkippedProgram(const Settings& settings, const char* programPath) noexcept;

// Two paths compared as the file system does, without regard to the case of
// single-byte letters.
bool EqualIgnoringCase(const char* a, size_t aLen, const char* b, size_t bLen) noexcept;

// The sentence that tells the user why `name` (or a stored entry) is not
// taken on the list of paste methods.
std::string DescribePasteEntryProblem(PasteEntryProblem problem);

// Whether `name` can be added to `list` as a program of its own: a file name
// (CheckPasteProgramName) not on the list yet. The sentence for the user in
// *why when not.
bool CanAddPasteProgram(const std::vector<PasteProgram>& list, const std::string& name, std::string* why);

// Cuts `text` to at most `maxBytes` bytes without splitting a double-byte character.
void CutText(std::string& text, size_t maxBytes);

// ---- The shared block ----

// What the load writes straight into the shared blocks.
struct LoadTimeShared {
  int32_t directPaste;     // g_bDirectPaste
  int32_t suspend;         // g_bSuspend
  int32_t suspendDirHist;  // g_bSuspendDirHist of the file-dialog extension
  char quote[24];          // g_szQuote
};
LoadTimeShared MakeLoadTimeShared(const Settings& settings) noexcept;

// What "apply the settings" writes: one field per shared variable, plus the ten
// menu-file sets that go through SetCustomMenuSet.
struct AppliedShared {
  int32_t stackKey;        // g_nStackKey
  uint16_t stackSpecKey;   // g_wStackKey
  uint16_t stackSpecMod;   // g_wStackMod
  int32_t changeKey;       // g_nChangeKey
  uint16_t changeSpecKey;  // g_wChangeKey
  uint16_t changeSpecMod;  // g_wChangeMod
  int32_t menuPos;         // g_nMenuPos
  int32_t pasteCmd;        // g_nPasteCmd
  int32_t cutCmd;          // g_nCutCmd
  int32_t charNum;         // g_nCharNum
  int32_t moveStackTop;    // g_bMoveStackTop
  int32_t skipTopSpace;    // g_bSkipTopSpace
  int32_t cutLastRet;      // g_bCutLastRet
  int32_t cutLastRet2;     // g_bCutLastRet2
  int32_t copyOnly;        // g_bCopyOnly
  int32_t resetCursor;     // g_bResetCursor
  int32_t imeAdjust;       // g_bImeAdjust
  int32_t titleMenu;       // g_nTitleMenu
  int32_t dirHistShare;    // g_bDirHistShare of the file-dialog extension
  MenuFileSet customMenuSet[kMenuFileSetCount];
  char keyClearHist[kKeyClearHistBytes];  // g_szKeyClearHist
  int32_t recKey;          // g_bRecKey
  int32_t recMouse;        // g_bRecMouse
  int32_t cutMouseMove;    // g_bCutMouseMove
  int32_t pasteProgramCount;                       // nPastePrograms
  PasteProgram pastePrograms[kMaxPastePrograms];   // PastePrograms
};
AppliedShared MakeAppliedShared(const Settings& settings, KeyNameSource& names) noexcept;

// ---- Shortcut keys ----

// The two ways modifier bits are written: as RegisterHotKey takes them (what
// the settings store), and as the hot-key control gives them.
enum class ModifierFormat {
  kRegisteredHotKey,  // 1 Alt, 2 Ctrl, 4 Shift
  kHotKeyControl,     // 1 Shift, 2 Ctrl, 4 Alt, 8 extended key
};

// The display text of a key: "Shift+", "Ctrl+", "Alt+" (those that are set, in
// that order) and the system's name of the key. A key of 0 gives "". When the
// system has no name for the key, `out` is left as it was and false returned.
// The text is cut to `outSize` without splitting a double-byte character.
bool MakeKeyNameText(ModifierFormat format, uint32_t key, uint32_t modifiers, KeyNameSource& names,
                     char* out, size_t outSize) noexcept;

// Modifier bits for the hot-key control, with the extended bit for the keys
// of the navigation block, and back.
uint16_t ToHotKeyControlModifiers(uint16_t key, uint16_t modifiers) noexcept;
uint16_t FromHotKeyControlModifiers(uint16_t controlBits) noexcept;

}  // namespace quillo::settings
