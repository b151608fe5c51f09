#include "macros/macro_bar.h"

#include <climits>

namespace quillo::macros {
namespace {

constexpr int32_t kUnplaced = INT32_MIN;  // no position stored
constexpr int32_t kFirstPlaceMargin = 16;

int32_t Within(int32_t value, int32_t low, int32_t high) {
  if (value > high) value = high;
  if (value < low) value = low;  // wins: the top left corner stays reachable
  return value;
}

}  // namespace

std::string MacroBarCaption(const std::string& current) {
  return current.empty() ? std::string("Macro") : current + " - Macro";
}

MacroBarPlace LoadMacroBarPlace(settings::SettingsStore& store) {
  MacroBarPlace place;
  place.visible = store.ReadInt(kMacroBarSection, kMacroBarVisibleKey, 1) != 0;
  const int32_t x = store.ReadInt(kMacroBarSection, kMacroBarXKey, kUnplaced);
  const int32_t y = store.ReadInt(kMacroBarSection, kMacroBarYKey, kUnplaced);
  place.placed = x != kUnplaced && y != kUnplaced;
  if (place.placed) {
    place.x = x;
    place.y = y;
  }
  return place;
}

void SaveMacroBarPlace(settings::SettingsStore& store, const MacroBarPlace& place) {
  store.WriteInt(kMacroBarSection, kMacroBarVisibleKey, place.visible ? 1 : 0);
  store.WriteInt(kMacroBarSection, kMacroBarXKey, place.placed ? place.x : kUnplaced);
  store.WriteInt(kMacroBarSection, kMacroBarYKey, place.placed ? place.y : kUnplaced);
}

ScreenPoint PlaceMacroBar(const MacroBarPlace& place, int32_t width, int32_t height, const ScreenArea& area) {
  // 64-bit sums: a hostile stored value near the limits must not wrap.
  const int64_t rightmost = static_cast<int64_t>(area.right) - width;
  const int64_t lowest = static_cast<int64_t>(area.bottom) - height;
  const int32_t maxX = rightmost < area.left ? area.left : static_cast<int32_t>(rightmost);
  const int32_t maxY = lowest < area.top ? area.top : static_cast<int32_t>(lowest);
  if (!place.placed) {
    const int64_t x = rightmost - kFirstPlaceMargin;
    const int64_t y = static_cast<int64_t>(area.top) + kFirstPlaceMargin;
    return {Within(x < area.left ? area.left : static_cast<int32_t>(x), area.left, maxX),
            Within(y > maxY ? maxY : static_cast<int32_t>(y), area.top, maxY)};
  }
  return {Within(place.x, area.left, maxX), Within(place.y, area.top, maxY)};
}

}  // namespace quillo::macros
