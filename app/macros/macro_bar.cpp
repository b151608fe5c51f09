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

ScreenArea MacroBarArea(const MacroBarPlace& place, const std::vector<ScreenArea>& areas, const ScreenArea& fallback) {
  if (areas.empty()) return fallback;
  if (!place.placed) return areas.front();
  // Squared distance from the corner to each area (0 inside), in 64 bits:
  // stored values are not to be trusted.
  auto distance = [&](const ScreenArea& a) {
    const int64_t x = place.x, y = place.y;
    const int64_t dx = x < a.left ? a.left - x : (x >= a.right ? x - (static_cast<int64_t>(a.right) - 1) : 0);
    const int64_t dy = y < a.top ? a.top - y : (y >= a.bottom ? y - (static_cast<int64_t>(a.bottom) - 1) : 0);
    // Farther than any desktop reaches counts as that far: the squares stay in range.
    constexpr int64_t kFar = int64_t{1} << 30;
    const int64_t cx = dx < kFar ? dx : kFar, cy = dy < kFar ? dy : kFar;
    return cx * cx + cy * cy;
  };
  size_t best = 0;
  for (size_t i = 1; i < areas.size(); ++i) {
    if (distance(areas[i]) < distance(areas[best])) best = i;
  }
  return areas[best];
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
