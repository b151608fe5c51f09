// Feeds arbitrary bytes to the menu-file parser, in code page 1252 or 932 and
// with the file handed out in chunks of varying size. The menu must not depend
// on how the bytes arrive, and a parsed menu must be one the Win32 side can
// build: every id in its range and used once, every pop-up placed exactly once
// below its parent, every table entry pointing at something that exists.
#include <cstdint>
#include <cstdlib>
#include <set>

#include "code_page.h"
#include "menu_file.h"

using namespace quillo::hook;

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

void CheckModel(const MenuModel& m) {
  Check(!m.menus.empty());
  Check(m.menus.size() <= kMaxPopups + 1);
  Check(m.bodies.size() == m.nextItemId - kFirstItemId && m.bodies.size() <= kMaxItems);
  Check(m.lists.size() == m.nextListId - kFirstListId);
  std::set<uint32_t> ids;
  std::vector<int> parents(m.menus.size(), 0);
  size_t entries = 0;
  for (size_t level = 0; level < m.menus.size(); ++level) {
    for (const MenuEntry& e : m.menus[level].entries) {
      ++entries;
      if (e.kind == EntryKind::kPopup) {
        Check(e.popup > level && e.popup < m.menus.size());
        ++parents[e.popup];
        continue;
      }
      if (e.kind == EntryKind::kSeparator && e.id == 0) continue;
      Check(ids.insert(e.id).second);
      const bool item = e.id >= kFirstItemId && e.id < m.nextItemId;
      const bool cell = e.id >= kFirstCellId && e.id < m.nextCellId && m.nextCellId <= kLastCellId + 1;
      const bool list = e.id >= kFirstListId && e.id < m.nextListId && m.nextListId <= kLastListId + 1;
      Check(item || cell || list);
      Check(!(e.barBreak && e.menuBreak));
      Check(e.kind == EntryKind::kString || (!e.menuBreak && (cell || e.id == 0)));
      Check(e.label.size() < 260);
    }
  }
  Check(entries <= kMaxEntries);
  for (size_t level = 1; level < parents.size(); ++level) Check(parents[level] == 1);
  for (const ListMenu& l : m.lists) {
    for (const ListEntry& e : l.entries) {
      Check(e.itemId >= kFirstItemId && e.itemId < m.nextItemId);
      Check(ids.insert(e.itemId).second);
    }
  }
  Check(ids.size() >= m.bodies.size());  // every item is in the menu or in a list
  MenuModel copy = m;
  for (uint32_t code : m.dynamicTitles) {
    Check(copy.DynamicLabel(code) != nullptr);
    Check(copy.ItemBody(DynamicTitleItem(code)) != nullptr);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t knob = data[0];
  ++data;
  --size;
  quillo::testing::SetCodePage((knob & 1) ? 932 : 1252);
  const size_t chunk = knob >> 1;  // 0: whole reads

  MenuModel whole, chunked;
  const MenuFileResult a = ParseMenuFile(data, size, whole);
  MemorySource src(data, size, chunk);
  const MenuFileResult b = ParseMenuFile(src, size, chunked);
  Check(a.ok == b.ok && a.messages == b.messages && whole == chunked);
  Check(a.messages.size() <= 2);
  if (a.ok) {
    CheckModel(whole);
  } else {
    Check(whole.Empty() && !a.messages.empty());
  }
  return 0;
}
