// The settings on Win32: the per-user registry store, the file probe and the
// system's key names for the portable model, the copy into the exported
// shared variables of both libraries, and the clear-history shortcut key.
#pragma once

#include <windows.h>

#include <string>

#include "key_names_win.h"
#include "settings.h"

namespace quillo {

// HKEY_CURRENT_USER\Software\Veltrane Soft\Quillo
constexpr char kSettingsKeyPath[] = "Software\\Veltrane Soft\\Quillo";

// One subkey per section, integers as REG_DWORD, texts as REG_SZ. Every value
// is read with a bounded buffer; a value of another type or size reads as the
// default, as a missing one does.
class RegistrySettingsStore : public settings::SettingsStore {
 public:
  explicit RegistrySettingsStore(const char* keyPath = kSettingsKeyPath) : keyPath_(keyPath) {}
  int32_t ReadInt(const char* section, const char* key, int32_t fallback) override;
  std::string ReadString(const char* section, const char* key, const char* fallback) override;
  bool WriteInt(const char* section, const char* key, int32_t value) override;
  bool WriteString(const char* section, const char* key, const char* value) override;
  bool DeleteSection(const char* section) override;

 private:
  std::string SectionPath(const char* section) const;
  std::string keyPath_;
};

class SystemFileProbe : public settings::FileProbe {
 public:
  bool FileExists(const char* path) override;
  // Network paths and every drive but a fixed disk or a RAM disk.
  bool MayBeAway(const char* path) override;
};


// Load and save with the registry store and the real file system. The save
// answers false when any value could not be written.
void LoadSettingsFromRegistry(const std::string& programFolder, settings::Settings& out);
bool SaveSettingsToRegistry(const std::string& programFolder, const settings::Settings& settings);

// The three values the load writes straight into the shared blocks, and the quote mark.
void WriteLoadTimeSharedSettings(const settings::Settings& settings) noexcept;
// Copies what the hooks read into the exported variables of QuilloHook.dll and
// QuilloDlgEx.dll and hands the ten menu-file sets over with SetCustomMenuSet.
void ApplySettingsToSharedBlock(const settings::Settings& settings) noexcept;
// Hands the ten menu-file sets to the hook library, in order.
void PushMenuFileSets(const settings::Settings& settings) noexcept;
// Message 1034: the chosen set becomes the first and the hook library gets
// all ten; false when nothing moved.
bool MoveMenuFileSetToTopAndPush(settings::Settings& settings, int index) noexcept;

// Registers the clear-history key as hot key 0 of `window` when one is set.
// A key taken by another program shows message 2017 from `resources` and
// switches the key off (KeyClearHist and ModClearHist become 0, and so are
// saved). Returns false only in that case.
bool RegisterClearHistoryKey(HWND window, HINSTANCE resources, settings::Settings& settings) noexcept;
void UnregisterClearHistoryKey(HWND window, const settings::Settings& settings) noexcept;

}  // namespace quillo
