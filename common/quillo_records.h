// Fixed-size records that cross between the deliverables. Plain C layout only:
// these bytes are copied between processes and stored in files.
#pragma once

#include <cstdint>

namespace quillo {

// Trigger codes of the stack menu, the chooser and each menu-file set entry.
enum TriggerCode : int32_t {
  kTriggerShortcut = -2,  // the entry's own virtual-key code and modifiers
  kTriggerNone = -1,
  kTriggerDoubleShift = 0,
  kTriggerDoubleCtrl = 1,
  kTriggerAltDoubleShift = 2,
  kTriggerAltDoubleCtrl = 3,
  kTriggerMuhenkan = 4,
  kTriggerHenkan = 5,
  kTriggerHiragana = 6,
  kTriggerRightCtrl = 7,
};

// Modifier bits, as RegisterHotKey takes them.
constexpr uint16_t kModAlt = 1;
constexpr uint16_t kModCtrl = 2;
constexpr uint16_t kModShift = 4;

constexpr int kMenuFileSetCount = 10;
constexpr int kMaxPathBytes = 260;  // MAX_PATH

// One entry of the menu-file set: a menu file and the trigger that shows it.
struct MenuFileSet {
  char path[kMaxPathBytes];  // empty = unused; used entries come first
  int32_t trigger;           // TriggerCode
  uint16_t key;              // virtual-key code when trigger is kTriggerShortcut
  uint16_t modifiers;        // kModAlt | kModCtrl | kModShift
};
static_assert(sizeof(MenuFileSet) == 268, "menu-file set entries are 268 bytes in shared memory");

constexpr int32_t kEventKindKey = 1;
constexpr int32_t kEventKindMouse = 2;
constexpr int32_t kEventMagic = 1970;

// One recorded key or mouse event: sent in WM_COPYDATA and stored as-is in macro files.
struct EventRecord {
  int32_t kind;        // kEventKindKey or kEventKindMouse
  uint32_t time;       // GetTickCount() when the hook saw the event
  int32_t magic;       // always kEventMagic
  union {
    struct {
      uint8_t vk;      // low byte of the virtual-key code
      uint8_t scan;    // hardware scan code
      uint16_t zero;
    } key;
    uint32_t mouseFlags;  // 1 move, 2/4 left down/up, 8/16 right down/up (no absolute bit)
  } u;
  int32_t a;           // key: 1 pressed, 0 released;  mouse: x scaled to 0..65535
  int32_t b;           // key: 1 extended key, else 0; mouse: y scaled to 0..65535
};
static_assert(sizeof(EventRecord) == 24, "event records are 24 bytes on the wire and in files");

}  // namespace quillo
