// Enclosing a text in a form (a before-text and an after-text, for the whole
// text or for every line) and taking such a form off again; and the notation
// in which users write a form ("(xxx)", "<!-- xxx -->", "> xxxn").
//
// The same walk serves the text commands on the selection and the quote mode
// of a history entry. It works on plain bytes: the caller asks for the exact
// size first and hands in a block of that size, so nothing is ever written
// past the end of a block, whatever the text holds.
#pragma once

#include <cstddef>

namespace quillo::hook {

// Each part of a form lives in a 128-byte field of the shared block.
constexpr size_t kEncloseFormBytes = 128;
// Longest before-text or after-text, in characters.
constexpr size_t kMaxEncloseFormChars = 100;

struct EncloseForm {
  char head[kEncloseFormBytes] = {};  // before-text
  char tail[kEncloseFormBytes] = {};  // after-text
  bool eachLine = false;              // the form applies to every line
};

enum class FormParse {
  kOk,
  kEmpty,      // both parts empty: nothing to do, and nothing to tell the user
  kBadFormat,  // no "xxx", or a part too long: message 2030
};

// Reads form notation: the before-text, a run of three or more "x", an
// optional "n" for per-line mode, the after-text. The notation is trimmed as a
// whole; the parts keep their own spaces. `form` holds the parts for kOk and
// kEmpty, and is cleared for kBadFormat.
FormParse ParseEncloseForm(const char* notation, EncloseForm& form) noexcept;

// Bytes the enclosed (or disclosed) text takes, its terminator included.
size_t EnclosedTextBytes(const char* text, const char* head, const char* tail, bool eachLine) noexcept;
size_t DisclosedTextBytes(const char* text, const char* head, const char* tail, bool eachLine) noexcept;

// Writes the enclosed (or disclosed) text to `out`, which must not overlap
// `text`. False, with `out` holding an empty text, when `outSize` is below
// what the matching *TextBytes asks for.
bool EncloseLines(const char* text, const char* head, const char* tail, bool eachLine, char* out,
                  size_t outSize) noexcept;
bool DiscloseLines(const char* text, const char* head, const char* tail, bool eachLine, char* out,
                   size_t outSize) noexcept;

}  // namespace quillo::hook
