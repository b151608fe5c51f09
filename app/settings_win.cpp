#include "settings_win.h"

#include <cstring>

#include "app_routines_win.h"
#include "quillo_dlgex.h"
#include "quillo_hook.h"
#include "resource.h"

namespace quillo {
namespace {

// An open registry key, closed when it goes out of scope.
class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  bool Open(const std::string& path) {
    return RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key_) == ERROR_SUCCESS;
  }
  bool Create(const std::string& path) {
    return RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                           nullptr, &key_, nullptr) == ERROR_SUCCESS;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::string RegistrySettingsStore::SectionPath(const char* section) const {
  return keyPath_ + "\\" + section;
}

int32_t RegistrySettingsStore::ReadInt(const char* section, const char* key, int32_t fallback) {
  RegKey k;
  if (!k.Open(SectionPath(section))) return fallback;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  // A longer value fails with ERROR_MORE_DATA and a shorter one shows in
  // `size`; either way it is not the DWORD we wrote.
  if (RegQueryValueExA(k.get(), key, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value) {
    return fallback;
  }
  return static_cast<int32_t>(value);
}

std::string RegistrySettingsStore::ReadString(const char* section, const char* key, const char* fallback) {
  RegKey k;
  if (!k.Open(SectionPath(section))) return fallback;
  // One byte more than the registry may fill: a REG_SZ written by another
  // program need not carry its terminator.
  char buffer[settings::kMaxStoredTextBytes + 1];
  DWORD type = 0;
  DWORD size = settings::kMaxStoredTextBytes;
  if (RegQueryValueExA(k.get(), key, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      type != REG_SZ || size > settings::kMaxStoredTextBytes) {
    return fallback;
  }
  buffer[size] = '\0';
  return std::string(buffer, strnlen(buffer, size));
}

bool RegistrySettingsStore::WriteInt(const char* section, const char* key, int32_t value) {
  RegKey k;
  if (!k.Create(SectionPath(section))) return false;
  const DWORD v = static_cast<DWORD>(value);
  return RegSetValueExA(k.get(), key, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v) == ERROR_SUCCESS;
}

bool RegistrySettingsStore::WriteString(const char* section, const char* key, const char* value) {
  RegKey k;
  if (!k.Create(SectionPath(section))) return false;
  const size_t len = strnlen(value, settings::kMaxStoredTextBytes - 1);
  std::string text(value, len);
  return RegSetValueExA(k.get(), key, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(len + 1)) == ERROR_SUCCESS;
}

bool RegistrySettingsStore::DeleteSection(const char* section) {
  HKEY parent = nullptr;
  const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, keyPath_.c_str(), 0, KEY_ALL_ACCESS, &parent);
  // No key yet: no section to delete either.
  if (opened == ERROR_FILE_NOT_FOUND) return true;
  if (opened != ERROR_SUCCESS) return false;
  // Sections have values only, no subkeys, so RegDeleteKeyA removes them whole.
  const LONG deleted = RegDeleteKeyA(parent, section);
  RegCloseKey(parent);
  return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

bool SystemFileProbe::FileExists(const char* path) {
  const DWORD attrs = GetFileAttributesA(path);
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool SystemFileProbe::MayBeAway(const char* path) {
  if (path == nullptr) return false;
  // \\server\share\...: asking for it waits on the network.
  if (path[0] == '\\' && path[1] == '\\') return true;
  if (path[0] == '\0' || path[1] != ':') return false;
  // The drive's kind comes from the system's table of drives, not from the
  // drive itself: a share mapped to a letter is not asked either.
  const char root[] = {path[0], ':', '\\', '\0'};
  const UINT kind = GetDriveTypeA(root);
  return kind != DRIVE_FIXED && kind != DRIVE_RAMDISK;
}


void LoadSettingsFromRegistry(const std::string& programFolder, settings::Settings& out) {
  RegistrySettingsStore store;
  SystemFileProbe files;
  settings::LoadSettings(store, programFolder, files, out);
}

bool SaveSettingsToRegistry(const std::string& programFolder, const settings::Settings& settings) {
  RegistrySettingsStore store;
  return settings::SaveSettings(store, programFolder, settings);
}

void WriteLoadTimeSharedSettings(const settings::Settings& settings) noexcept {
  const settings::LoadTimeShared v = settings::MakeLoadTimeShared(settings);
  g_bDirectPaste = v.directPaste;
  g_bSuspend = v.suspend;
  g_bSuspendDirHist = v.suspendDirHist;
  static_assert(sizeof v.quote == sizeof g_szQuote, "the quote mark mirrors g_szQuote");
  std::memcpy(g_szQuote, v.quote, sizeof g_szQuote);
}

void PushMenuFileSets(const settings::Settings& settings) noexcept {
  for (int i = 0; i < kMenuFileSetCount; ++i) SetCustomMenuSet(i, &settings.MenuFiles[i]);
}

void ApplySettingsToSharedBlock(const settings::Settings& settings) noexcept {
  SystemKeyNames names;
  const settings::AppliedShared v = settings::MakeAppliedShared(settings, names);
  g_nStackKey = v.stackKey;
  g_wStackKey = v.stackSpecKey;
  g_wStackMod = v.stackSpecMod;
  g_nChangeKey = v.changeKey;
  g_wChangeKey = v.changeSpecKey;
  g_wChangeMod = v.changeSpecMod;
  g_nMenuPos = v.menuPos;
  g_nPasteCmd = v.pasteCmd;
  g_nCutCmd = v.cutCmd;
  g_nCharNum = v.charNum;
  g_bMoveStackTop = v.moveStackTop;
  g_bSkipTopSpace = v.skipTopSpace;
  g_bCutLastRet = v.cutLastRet;
  g_bCutLastRet2 = v.cutLastRet2;
  g_bCopyOnly = v.copyOnly;
  g_bResetCursor = v.resetCursor;
  g_bImeAdjust = v.imeAdjust;
  g_nTitleMenu = v.titleMenu;
  g_bDirHistShare = v.dirHistShare;
  for (int i = 0; i < kMenuFileSetCount; ++i) SetCustomMenuSet(i, &v.customMenuSet[i]);
  static_assert(sizeof v.keyClearHist == sizeof g_szKeyClearHist, "the key text mirrors g_szKeyClearHist");
  std::memcpy(g_szKeyClearHist, v.keyClearHist, sizeof g_szKeyClearHist);
  g_bRecKey = v.recKey;
  g_bRecMouse = v.recMouse;
  g_bCutMouseMove = v.cutMouseMove;
  // Hooks in other programs may read the list meanwhile: the version tells
  // them to read again rather than take half of each.
  static_assert(sizeof v.pastePrograms == sizeof g_PastePrograms, "the list mirrors the shared block's");
  const uint32_t writing = BeginPasteListWrite(&g_nPasteListVersion);
  std::memcpy(g_PastePrograms, v.pastePrograms, sizeof g_PastePrograms);
  g_nPastePrograms = v.pasteProgramCount;
  EndPasteListWrite(&g_nPasteListVersion, writing);
}

bool MoveMenuFileSetToTopAndPush(settings::Settings& settings, int index) noexcept {
  if (!settings::MoveMenuFileSetToTop(settings.MenuFiles, index)) return false;
  PushMenuFileSets(settings);
  return true;
}

bool RegisterClearHistoryKey(HWND window, HINSTANCE resources, settings::Settings& settings) noexcept {
  if (settings.KeyClearHist == 0) return true;
  if (RegisterHotKey(window, 0, settings.ModClearHist, settings.KeyClearHist)) return true;
  ShowOwnMessage(resources, IDS_REGISTER_HOTKEY);
  settings.KeyClearHist = 0;
  settings.ModClearHist = 0;
  // The stack menu shows this text beside "Clear History"; a key that is not
  // ours any more must not be offered there.
  std::memset(g_szKeyClearHist, 0, sizeof g_szKeyClearHist);
  return false;
}

void UnregisterClearHistoryKey(HWND window, const settings::Settings& settings) noexcept {
  if (settings.KeyClearHist != 0) UnregisterHotKey(window, 0);
}

}  // namespace quillo
