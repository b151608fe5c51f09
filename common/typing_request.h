// A text to be typed, as a hook hands it to the resident program: this
// header, then the text's ANSI bytes, without a terminator, in one
// WM_COPYDATA block. The hook copies the text off the clipboard at the moment
// of the choice, so what is typed is what was chosen, whatever the clipboard
// holds by the time a key reaches the program. The layout is the same in
// both flavors: a 32-bit program's hook hands its text to a 64-bit resident.
// Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quillo {

struct TypingRequestHeader {
  uint32_t window;  // the window typed into; a window handle's significant 32 bits
  uint32_t flags;   // kTypingCapsLock
};
static_assert(sizeof(TypingRequestHeader) == 8, "one layout in both flavors");

// Caps Lock was on in the program's thread when the text was chosen.
constexpr uint32_t kTypingCapsLock = 1;

// Typing is slow (100-200 characters a second in a plain edit control): a
// longer text would take minutes more, and is refused with a message. The
// hook hands over one byte more at most, enough to tell that it is longer.
constexpr size_t kMaxTypedBytes = 64u * 1024u;

enum class TypingRequestCheck { kOk, kMalformed, kTooLong };

// Reads a request block of `size` bytes: its header, and the text's bytes
// and length, which end at the block's end or at a NUL before it.
inline TypingRequestCheck ReadTypingRequest(const void* data, size_t size, TypingRequestHeader& header,
                                            const char*& text, size_t& length) noexcept {
  if (data == nullptr || size < sizeof header) return TypingRequestCheck::kMalformed;
  std::memcpy(&header, data, sizeof header);
  text = static_cast<const char*>(data) + sizeof header;
  const size_t bytes = size - sizeof header;
  const void* nul = std::memchr(text, '\0', bytes);
  length = nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - text) : bytes;
  if (header.window == 0) return TypingRequestCheck::kMalformed;
  return length > kMaxTypedBytes ? TypingRequestCheck::kTooLong : TypingRequestCheck::kOk;
}

}  // namespace quillo
