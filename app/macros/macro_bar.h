// The macro bar's portable side: its caption for the current macro, and its
// place on the desktop kept across runs through the settings store.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings.h"

namespace quillo::macros {

// "Login.mcr - Macro" while a macro is current, "Macro" otherwise.
std::string MacroBarCaption(const std::string& current);

// The bar's own section and values: every name begins with "MacroBar".
constexpr char kMacroBarSection[] = "MacroBar";
constexpr char kMacroBarVisibleKey[] = "MacroBarVisible";
constexpr char kMacroBarXKey[] = "MacroBarX";
constexpr char kMacroBarYKey[] = "MacroBarY";

struct MacroBarPlace {
  bool visible = true;  // a first start shows the bar
  bool placed = false;  // a position was kept from an earlier run
  int32_t x = 0;        // the floating window's top left corner on the screen
  int32_t y = 0;
};

MacroBarPlace LoadMacroBarPlace(settings::SettingsStore& store);
void SaveMacroBarPlace(settings::SettingsStore& store, const MacroBarPlace& place);

struct ScreenArea {
  int32_t left, top, right, bottom;
};
struct ScreenPoint {
  int32_t x, y;
};

// The work area the bar belongs in: of the monitors' work areas (the
// primary one first), the one that holds the kept place's top left corner,
// else the one nearest to it; the primary one when no place was kept or
// `areas` is empty (then `fallback`).
ScreenArea MacroBarArea(const MacroBarPlace& place, const std::vector<ScreenArea>& areas, const ScreenArea& fallback);

// Where a bar of `width` x `height` goes: the kept place, moved only as far as
// needed for the whole bar to lie inside `area` (the desktop may have shrunk
// since, and a bar out of sight could not be reached again); with no kept
// place, the area's top right corner, a little inside. A bar larger than the
// area keeps its top left corner inside.
ScreenPoint PlaceMacroBar(const MacroBarPlace& place, int32_t width, int32_t height, const ScreenArea& area);

}  // namespace quillo::macros
