#include "trigger.h"

namespace quillo::hook {

KeyEvent DecodeKeyEvent(uint32_t wParam, uint32_t lParam) noexcept {
  KeyEvent e;
  e.vk = wParam;
  e.flags = lParam;
  e.released = (lParam & 0x80000000u) != 0;
  e.repeat = (lParam & 0x40000000u) != 0;
  e.extended = (lParam & 0x01000000u) != 0;
  return e;
}

HookVerdict TriggerHandler::OnKeyboard(int code, const KeyEvent& event, const TriggerSettings& s) noexcept {
  if (code != kHcAction) return HookVerdict::kPassOn;

  if (s.typing && (event.vk == kVkPauseBreak || event.vk == kVkEscape)) {
    // Stops the text being typed into this program. Press and release are
    // both kept from the program: an Escape would empty a console's line,
    // and from a macro being recorded.
    // A macro typing its text stops with it: Pause is the playback's stop,
    // taken before the typing ends, so that the playback waiting for the
    // text sees the stop first.
    if (s.playing) host_.CheckPauseWhilePlaying(event);
    if (!event.released) {
      host_.StopTyping();
      state_.stopKeyHeld = event.vk;
    } else if (state_.stopKeyHeld == event.vk) {
      state_.stopKeyHeld = 0;
    }
    return HookVerdict::kSwallow;
  }
  if (state_.stopKeyHeld != 0 && event.vk == state_.stopKeyHeld) {
    // Typing ended at the press: its release, and the key's repeats while
    // held, are still the stop's. A fresh press is the program's again (the
    // release went to another program, where the focus had moved).
    if (event.released || event.repeat) {
      if (event.released) state_.stopKeyHeld = 0;
      return HookVerdict::kSwallow;
    }
    state_.stopKeyHeld = 0;
  }
  if (s.typing && event.vk != 0) {
    // Every key event while a text is typed is counted, presses and releases
    // alike, for the typist to keep pace (Wine marks the release of a
    // character typed as itself like a press). The typed keys trigger
    // nothing (the Shift of each capital would make a double Shift), and
    // they are not the user's to record. Virtual key 0 is the recording
    // suspension's marker and goes on below.
    host_.CountTypedKey();
    return HookVerdict::kPassOn;
  }

  if (s.recording) {
    // SuspendRec and ResumeRec mark their stretch in the input stream itself
    // with key events of virtual key 0, so the count follows the order in which
    // the recorded keys arrive; the markers are ours and go no further.
    if (event.vk == 0) {
      host_.AdjustRecordSuspension(event.released ? -1 : 1);
      return HookVerdict::kSwallow;
    }
    host_.RecordKey(event);
  }
  if (s.playing) host_.CheckPauseWhilePlaying(event);
  if (s.suspend) return HookVerdict::kPassOn;

  if (event.vk == kVkSpace && !event.released && host_.IsTrackingMenu()) {
    // Space dismisses our menu: an Alt tap makes the system end the menu loop
    // without a choice. The Alt keys are ours, not the user's, so a recording
    // must not see them.
    if (s.recording) host_.SuspendRecording();
    host_.SendKey(static_cast<uint8_t>(kVkAlt), false);
    host_.SendKey(static_cast<uint8_t>(kVkAlt), true);
    if (s.recording) host_.ResumeRecording();
    return HookVerdict::kSwallow;
  }

  return DetectTrigger(event, s) ? HookVerdict::kSwallow : HookVerdict::kPassOn;
}

bool TriggerHandler::DetectTrigger(const KeyEvent& event, const TriggerSettings& s) noexcept {
  // The options sheet may be changing the very keys we would match.
  if (s.onDlgDisp) return false;

  if (event.vk == kVkShift) {
    if (event.released) {
      OnModifierRelease(state_.lastShiftRelease, kTriggerDoubleShift, kTriggerAltDoubleShift,
                        host_.TickCount(), s);
    }
    return false;
  }
  if (event.vk == kVkControl) {
    if (event.released) {
      // One clock read for the event, before the right-Ctrl menu is tracked:
      // the release happened now, however long that menu stays open.
      const uint32_t now = host_.TickCount();
      if (event.extended) Fire(kTriggerRightCtrl, s);
      OnModifierRelease(state_.lastCtrlRelease, kTriggerDoubleCtrl, kTriggerAltDoubleCtrl, now, s);
    }
    return false;
  }

  // Any other key between the two releases breaks the pair. An Alt held since
  // before the first release sends nothing more (auto-repeat follows the last
  // key pressed), so Alt with a double Shift or Ctrl still counts.
  state_.lastShiftRelease = 0;
  state_.lastCtrlRelease = 0;
  if (event.released) return false;

  switch (event.vk) {
    case kVkMuhenkan: Fire(kTriggerMuhenkan, s); break;
    case kVkHenkan: Fire(kTriggerHenkan, s); break;
    case kVkHiragana: Fire(kTriggerHiragana, s); break;
    default: break;
  }
  return MatchShortcut(event.vk, s);
}

void TriggerHandler::OnModifierRelease(uint32_t& lastRelease, int32_t plainCode, int32_t altCode, uint32_t now,
                                       const TriggerSettings& s) noexcept {
  // Unsigned difference: correct across the tick count's wrap after 49.7 days.
  // 0 is "no release yet", not a release at tick 0, or the first release in the
  // half second after start-up would pass for a second one.
  if (lastRelease != 0 && now - lastRelease < kDoublePressMs) {
    // The first release time stays, so a third quick release fires again.
    Fire(host_.IsKeyDown(kVkAlt) ? altCode : plainCode, s);
  } else {
    lastRelease = now;
  }
}

void TriggerHandler::Fire(int32_t code, const TriggerSettings& s) noexcept {
  // Each menu is tracked modally, so menus sharing a code appear one after the
  // other. Only the first entry with the code is shown; its path is checked by
  // the menu itself, which shows nothing for an unused entry.
  if (s.menuSet != nullptr) {
    for (int i = 0; i < kMenuFileSetCount; ++i) {
      if (s.menuSet[i].trigger == code) {
        Show(MenuKind::kCustom, i, false);
        break;
      }
    }
  }
  if (s.stackKey == code) Show(MenuKind::kStack, -1, false);
  if (s.changeKey == code) Show(MenuKind::kChooser, -1, false);
}

void TriggerHandler::Show(MenuKind kind, int entry, bool atMouse) noexcept {
  // Nothing over one of ours. A menu, or the message box shown instead of one
  // (an empty history), runs its modal loop inside this very hook call, and a
  // system may hand that loop the input event that is still being hooked (Wine
  // does): the same second release would fire again and stack one box or menu
  // on another until the double-press time ran out.
  if (state_.showing || host_.IsTrackingMenu()) return;
  state_.showing = true;
  host_.ShowMenu(kind, entry, atMouse);
  state_.showing = false;
}

uint16_t TriggerHandler::CurrentModifiers() noexcept {
  uint16_t bits = 0;
  if (host_.IsKeyDown(kVkShift)) bits |= kModShift;
  if (host_.IsKeyDown(kVkControl)) bits |= kModCtrl;
  if (host_.IsKeyDown(kVkAlt)) bits |= kModAlt;
  return bits;
}

bool TriggerHandler::MatchShortcut(uint32_t vk, const TriggerSettings& s) noexcept {
  const uint16_t key = static_cast<uint16_t>(vk);
  // The key state is read only once some shortcut has this key: nearly every
  // key press of the desktop comes through here and matches nothing.
  bool haveBits = false;
  uint16_t bits = 0;
  auto modifiersAre = [&](uint16_t wanted) noexcept {
    if (!haveBits) {
      bits = CurrentModifiers();
      haveBits = true;
    }
    return bits == wanted;
  };

  if (s.menuSet != nullptr) {
    for (int i = 0; i < kMenuFileSetCount; ++i) {
      const MenuFileSet& e = s.menuSet[i];
      if (e.path[0] != '\0' && e.trigger == kTriggerShortcut && e.key == key && modifiersAre(e.modifiers)) {
        Show(MenuKind::kCustom, i, false);
        return true;
      }
    }
  }
  // A matched key is swallowed even when Show opens nothing, such as the same
  // press handed back inside the menu it opened.
  if (s.stackKey == kTriggerShortcut && s.stackVk == key && modifiersAre(s.stackMod)) {
    Show(MenuKind::kStack, -1, false);
    return true;
  }
  if (s.changeKey == kTriggerShortcut && s.changeVk == key && modifiersAre(s.changeMod)) {
    Show(MenuKind::kChooser, -1, false);
    return true;
  }
  return false;
}

HookVerdict TriggerHandler::OnMouse(int code, const MouseEvent& event, const TriggerSettings& s) noexcept {
  if (code != kHcAction) return HookVerdict::kPassOn;

  if (s.recording && s.recMouse) host_.RecordMouse(event);

  switch (event.message) {
    case kWmLButtonUp:
      // Read by the menu after it closes: which button made the choice.
      host_.SetChoiceMode(1);
      return HookVerdict::kPassOn;
    case kWmRButtonUp:
      host_.SetChoiceMode(-1);
      return HookVerdict::kPassOn;

    case kWmNcRButtonDown:
    // A second right click soon after one at the same place arrives as a
    // double click instead of a press; it is a click on the title all the same.
    case kWmNcRButtonDblClk:
      if (s.suspend || s.titleMenu == 0) return HookVerdict::kPassOn;
      // The decision is made on the press and remembered for the release, so
      // that the window gets both halves of the click or neither.
      if (host_.IsKeyDown(kVkShift)) {
        state_.titleClickPassThrough = true;
        return HookVerdict::kPassOn;
      }
      if (event.hitTest != kHtCaption) return HookVerdict::kPassOn;
      // A window without a title (a tool window drawn as a caption) keeps its
      // own right click.
      if (host_.HasWindowTitle(event.window)) {
        state_.titleClickPassThrough = false;
        return HookVerdict::kSwallow;
      }
      state_.titleClickPassThrough = true;
      return HookVerdict::kPassOn;

    case kWmNcRButtonUp:
      if (s.suspend || state_.titleClickPassThrough || s.titleMenu == 0 || event.hitTest != kHtCaption) {
        return HookVerdict::kPassOn;
      }
      switch (s.titleMenu) {
        case 1: Show(MenuKind::kCustom, 0, true); break;
        case 2: Show(MenuKind::kStack, -1, true); break;
        case 3: Show(MenuKind::kBoth, -1, true); break;
        default: break;
      }
      return HookVerdict::kSwallow;

    default:
      return HookVerdict::kPassOn;
  }
}

HookVerdict TriggerHandler::OnMessageFilter(int code, const FilterMessage& msg) noexcept {
  if (code == kMsgfMenu) {
    // While our menu is tracked inside a foreign application, these would tell
    // that application about a menu it does not own; some react by updating or
    // closing their own menus.
    if ((msg.message == kWmInitMenuPopup || msg.message == kWmMenuSelect || msg.message == kWmMenuChar) &&
        host_.IsTrackingMenu()) {
      return HookVerdict::kSwallow;
    }
    return HookVerdict::kPassOn;
  }
  if (code == kMsgfDialogBox) {
    if (msg.message == kWmKeyDown && msg.wParam == kVkF1) {
      const int topic = host_.HelpTopic();
      if (topic != 0) {
        // A held F1 repeats: one guide is enough.
        if ((msg.lParam & 0x40000000u) == 0) host_.OpenHelp(topic);
        return HookVerdict::kSwallow;
      }
    }
    return HookVerdict::kPassOn;
  }
  return HookVerdict::kPassOn;
}

}  // namespace quillo::hook
