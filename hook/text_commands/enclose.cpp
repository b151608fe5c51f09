#include "enclose.h"

#include <cstring>

#include "dbcs.h"

namespace quillo::hook {
namespace {

// Counts the bytes of the result, and writes them when it has a block. A
// write that would pass the block's end is refused and remembered.
class Sink {
 public:
  Sink(char* out, size_t size) : out_(out), size_(size) {}
  void Put(const char* p, size_t n) {
    if (out_ != nullptr) {
      if (overflow_ || n > size_ - used_) {
        overflow_ = true;
        return;
      }
      std::memcpy(out_ + used_, p, n);
    }
    used_ += n;
  }
  void Put(const char* from, const char* to) { Put(from, static_cast<size_t>(to - from)); }
  size_t used() const { return used_; }
  bool overflow() const { return overflow_; }

 private:
  char* out_;
  size_t size_;
  size_t used_ = 0;
  bool overflow_ = false;
};

// The LF that ends the line at p, or null. A lead byte never pairs with a
// line break here as a character of its own would: CharLen decides, as in
// every other scan of the system.
const char* LineFeed(const char* p) {
  for (; *p != '\0'; p = text::Next(p)) {
    if (*p == '\n' && text::CharLen(p) == 1) return p;
  }
  return nullptr;
}

// Only spaces, tabs and CRs up to the line's end (or the text's end).
bool IsBlank(const char* p, const char* end) {
  for (; p < end && *p != '\n'; ++p) {
    if (*p != ' ' && *p != '\t' && *p != '\r') return false;
  }
  return true;
}

// Where the line break at the very end of [p, end) starts (an LF, with a CR
// before it), or `end` when there is none. Walks forward: a trail byte is
// never taken for a line break.
const char* FinalBreak(const char* p, const char* end) {
  const char* last = nullptr;
  const char* beforeLast = nullptr;
  while (p < end) {
    beforeLast = last;
    last = p;
    p += text::CharLen(p);
  }
  if (last == nullptr || *last != '\n') return end;
  return (beforeLast != nullptr && *beforeLast == '\r') ? beforeLast : last;
}

// The first occurrence of `needle` in [p, end) starting on a character.
const char* FindIn(const char* p, const char* end, const char* needle, size_t n) {
  for (; p < end && static_cast<size_t>(end - p) >= n; p += text::CharLen(p)) {
    if (std::memcmp(p, needle, n) == 0) return p;
  }
  return nullptr;
}

struct Walk {
  const char* head;
  size_t b;
  const char* tail;
  size_t a;
  bool disclose;

  // One line that ends with an LF at `lf`.
  void Line(const char* p, const char* lf, Sink& s) const {
    const bool blank = IsBlank(p, lf);
    // The after-text goes before the line's end: before the CR of a CR LF,
    // before the LF itself on a line that ends in a bare LF.
    const char* end = (lf > p && lf[-1] == '\r') ? lf - 1 : lf;
    Body(p, end, blank, s);
    s.Put(end, lf + 1);
  }

  // The rest of the text after the last LF (the whole text in whole-text
  // mode), never empty.
  void Rest(const char* p, Sink& s) const {
    const char* end = p + std::strlen(p);
    const bool blank = IsBlank(p, end);  // the first line only
    if (a == 0 || blank) {
      Body(p, end, blank, s);
      return;
    }
    const char* brk = FinalBreak(p, end);
    Body(p, brk, blank, s);
    if (brk != end) s.Put("\r\n", 2);
  }

  void Body(const char* p, const char* end, bool blank, Sink& s) const {
    const bool atStart = b > 0 && (!blank || a == 0);
    const bool atEnd = a > 0 && !blank;
    if (!disclose) {
      if (atStart) s.Put(head, b);
      s.Put(p, end);
      if (atEnd) s.Put(tail, a);
      return;
    }
    if (atStart && static_cast<size_t>(end - p) >= b && std::memcmp(p, head, b) == 0) p += b;
    if (atEnd) {
      const char* found = FindIn(p, end, tail, a);
      if (found != nullptr && found + a == end) end = found;
    }
    s.Put(p, end);
  }

  void Run(const char* text, bool eachLine, Sink& s) const {
    const char* p = text;
    if (b == 0 && a == 0) {
      s.Put(p, std::strlen(p));
    } else {
      if (eachLine) {
        for (const char* lf; *p != '\0' && (lf = LineFeed(p)) != nullptr; p = lf + 1) Line(p, lf, s);
      }
      if (*p != '\0') Rest(p, s);
    }
    s.Put("", 1);
  }
};

size_t Measure(const char* text, const char* head, const char* tail, bool eachLine, bool disclose) {
  Sink count(nullptr, 0);
  Walk{head, std::strlen(head), tail, std::strlen(tail), disclose}.Run(text, eachLine, count);
  return count.used();
}

bool Write(const char* text, const char* head, const char* tail, bool eachLine, bool disclose, char* out,
           size_t outSize) {
  if (outSize == 0) return false;
  Sink sink(out, outSize);
  Walk{head, std::strlen(head), tail, std::strlen(tail), disclose}.Run(text, eachLine, sink);
  if (sink.overflow()) {
    out[0] = '\0';
    return false;
  }
  return true;
}

// Copies [from, to) into a form field when it fits: at most 100 characters,
// and, double-byte characters counting two bytes, inside the 128-byte field.
bool CopyPart(const char* from, const char* to, char (&field)[kEncloseFormBytes]) {
  size_t chars = 0;
  for (const char* p = from; p < to; p += text::CharLen(p)) ++chars;
  const size_t bytes = static_cast<size_t>(to - from);
  if (chars > kMaxEncloseFormChars || bytes >= kEncloseFormBytes) return false;
  std::memcpy(field, from, bytes);
  field[bytes] = '\0';
  return true;
}

}  // namespace

FormParse ParseEncloseForm(const char* notation, EncloseForm& form) noexcept {
  form = EncloseForm();
  const char* start = text::SkipSpace(notation);
  // Trimmed end: after the last character that is not white space.
  const char* end = start;
  for (const char* p = start; *p != '\0';) {
    const size_t sp = text::SpaceLen(p);
    if (sp != 0) {
      p += sp;
    } else {
      p = text::Next(p);
      end = p;
    }
  }
  const char* marker = FindIn(start, end, "xxx", 3);
  if (marker == nullptr) return FormParse::kBadFormat;
  const char* after = marker;
  while (after < end && *after == 'x') ++after;
  bool eachLine = false;
  if (after < end && *after == 'n') {
    eachLine = true;
    ++after;
  }
  if (!CopyPart(start, marker, form.head) || !CopyPart(after, end, form.tail)) {
    form = EncloseForm();
    return FormParse::kBadFormat;
  }
  form.eachLine = eachLine;
  return (form.head[0] == '\0' && form.tail[0] == '\0') ? FormParse::kEmpty : FormParse::kOk;
}

size_t EnclosedTextBytes(const char* text, const char* head, const char* tail, bool eachLine) noexcept {
  return Measure(text, head, tail, eachLine, false);
}

size_t DisclosedTextBytes(const char* text, const char* head, const char* tail, bool eachLine) noexcept {
  return Measure(text, head, tail, eachLine, true);
}

bool EncloseLines(const char* text, const char* head, const char* tail, bool eachLine, char* out,
                  size_t outSize) noexcept {
  return Write(text, head, tail, eachLine, false, out, outSize);
}

bool DiscloseLines(const char* text, const char* head, const char* tail, bool eachLine, char* out,
                   size_t outSize) noexcept {
  return Write(text, head, tail, eachLine, true, out, outSize);
}

}  // namespace quillo::hook
