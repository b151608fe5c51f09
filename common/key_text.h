// The display text of a shortcut key ("Ctrl+Alt+K"), shared by the menus of
// the hook library and the settings of the resident program.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillo {

constexpr size_t kKeyNameBytes = 64;

// The system's key names: MapVirtualKeyA(vk, 0) and GetKeyNameTextA.
class KeyNameSource {
 public:
  virtual uint32_t ScanCode(uint32_t vk) noexcept = 0;
  // The name of the key in `lParam` (scan code in bits 16-23, extended flag in
  // bit 24), zero-terminated in `out`; returns its length, 0 when it has none.
  virtual size_t KeyName(int32_t lParam, char* out, size_t outSize) noexcept = 0;

 protected:
  ~KeyNameSource() = default;
};

// Page Up/Down, End, Home, the arrows, Insert and Delete: the system tells
// them from the number pad's keys only by the extended flag (without it Home
// reads "Num 7").
inline bool IsNavigationKey(uint32_t vk) { return (vk >= 0x21 && vk <= 0x28) || vk == 0x2D || vk == 0x2E; }

// "Shift+", "Ctrl+", "Alt+" for the flags that are set, in this order, then
// the key's name. Empty for virtual key 0 and for a key the system has no name
// for. Cut to `outSize` without splitting a double-byte character; returns the
// length.
size_t MakeKeyText(uint32_t vk, bool shift, bool ctrl, bool alt, bool extended, KeyNameSource& names, char* out,
                   size_t outSize) noexcept;

// The same for modifier bits as RegisterHotKey takes them (1 Alt, 2 Ctrl,
// 4 Shift), with the extended flag for the navigation keys.
size_t MakeKeyText(uint16_t vk, uint16_t modifiers, KeyNameSource& names, char* out, size_t outSize) noexcept;

}  // namespace quillo
