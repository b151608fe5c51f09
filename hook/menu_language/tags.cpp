#include "tags.h"

#include "small_format.h"

#include <cstring>
#include <new>

#include "dbcs.h"
#include "resource.h"

namespace quillo::hook {
namespace {

constexpr const char* kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kShortMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// The long weekday names are spelled as users' existing menus expect them.
constexpr const char* kWeekdays[7] = {"Sunday",    "Monday", "Tueseday", "Wednesday",
                                      "Thurseday", "Friday", "Saturday"};
constexpr const char* kShortWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMorning[3] = {"AM", "am", "Am"};
constexpr const char* kAfternoon[3] = {"PM", "pm", "Pm"};

constexpr int kTextCommandPhase = 1;

// Held here so that a long run of digits cannot overflow; far beyond any
// history or key count.
constexpr size_t kNumberCeiling = 1000000;

enum Cleanup : unsigned {
  kCleanNone = 0,
  kCleanLineEnd = 1,   // white space after R, up to and including one line break
  kCleanTrailing = 2,  // all white space after R, line breaks included
  kCleanIndent = 4,    // white space before the tag, back to the start of its line
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal number at p (white space first allowed), held at the ceiling.
size_t ReadNumber(const char* p, const char* end) {
  while (p < end && text::SpaceLen(p) != 0) p += text::SpaceLen(p);
  size_t n = 0;
  for (; p < end && IsDigit(*p); ++p) {
    n = n * 10 + static_cast<size_t>(*p - '0');
    if (n > kNumberCeiling) n = kNumberCeiling;
  }
  return n;
}

// Upper- or lower-cases the single-byte ASCII letters; double-byte characters
// are stepped over whole so that a trail byte in 'A'-'Z' is never changed.
void ApplyCaseModifier(char modifier, std::string& s) {
  if (modifier != 'U' && modifier != 'L') return;
  for (size_t i = 0; i < s.size();) {
    const size_t n = text::CharLen(s.c_str() + i);
    if (n == 1) {
      char& c = s[i];
      if (modifier == 'U' && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (modifier == 'L' && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    i += n == 0 ? 1 : n;
  }
}

// Offset of the last single-byte character c in s, or npos.
size_t FindLastChar(const std::string& s, char c) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < s.size();) {
    const size_t n = text::CharLen(s.c_str() + i);
    if (n == 1 && s[i] == c) last = i;
    i += n == 0 ? 1 : n;
  }
  return last;
}

// Whether the path names a folder and a pattern: a "*" after its last "\".
bool IsPatternPath(const std::string& path) {
  const size_t slash = FindLastChar(path, '\\');
  if (slash == std::string::npos) return false;
  return text::FindChar(path.c_str() + slash + 1, '*') != nullptr;
}

// Removes one line break at the end of a history entry, as the stack menu does.
void CutLastLineBreak(std::string& s) {
  // Only a forward walk tells whether the last byte ends a double-byte character.
  size_t lastChar = std::string::npos;
  for (size_t i = 0; i < s.size();) {
    lastChar = i;
    const size_t n = text::CharLen(s.c_str() + i);
    i += n == 0 ? 1 : n;
  }
  if (lastChar == std::string::npos || lastChar != s.size() - 1) return;
  if (s.back() != '\n') return;
  s.pop_back();
  if (!s.empty() && s.back() == '\r') s.pop_back();
}

// Text up to the first zero byte: everything here is a C string in the end.
void CutAtZero(std::string& s) {
  const size_t z = s.find('\0');
  if (z != std::string::npos) s.resize(z);
}

enum class Quoted { kNone, kOk, kBad };

// The quoted argument starting at the first '"' at or after `from`, trimmed.
// kBad for an unterminated or over-long one. `next` is set after its closing quote.
Quoted ReadQuoted(const char* content, size_t length, size_t from, std::string& arg, size_t& next) {
  size_t open = from;
  while (open < length && content[open] != '"') ++open;  // '"' is never a trail byte
  if (open >= length) return Quoted::kNone;
  size_t close = open + 1;
  while (close < length && content[close] != '"') ++close;
  if (close >= length) return Quoted::kBad;
  arg.assign(content + open + 1, close - open - 1);
  CutAtZero(arg);
  arg.resize(text::Trim(arg.data()));
  next = close + 1;
  return arg.size() > kMaxTagText ? Quoted::kBad : Quoted::kOk;
}

bool IsTagLetter(char c) {
  for (const char* head : kTagHeads) {
    if (head[0] == c) return true;
  }
  return false;
}
bool IsDateLetter(char c) { return c != '\0' && std::strchr("YTDHMSNW", c) != nullptr; }
bool IsKnownBang(char c) {
  for (const char* head : kTagHeads) {
    if (head[0] == '!' && head[1] == c && c != '\0') return true;
  }
  return false;
}

class Expander {
 public:
  Expander(const char* in, KeyStrokeList& keys, TagMode mode, TagHost& host)
      : in_(in), inLength_(std::strlen(in)), keys_(keys), mode_(mode), host_(host) {}

  ExpandResult Run(std::string& text);

 private:
  struct Replacement {
    bool unknown = false;
    std::string text;
    unsigned cleanups = kCleanNone;
  };

  bool Handle(const char* content, size_t length, Replacement& r);
  bool HandleDate(const char* content, size_t length, Replacement& r);
  bool HandleBang(const char* content, size_t length, Replacement& r);
  bool HandleRun(const char* content, size_t length);
  bool HandleUserValue(const char* content, size_t length, Replacement& r);
  bool HandleFilePicker(const char* content, size_t length, Replacement& r);
  bool HandleUrlPicker(const char* content, size_t length, Replacement& r);
  bool HandleFolderPicker(const char* content, size_t length, Replacement& r);
  bool HandleFile(const char* content, size_t length, Replacement& r);
  bool HandleHistory(const char* content, size_t length, Replacement& r);
  bool HandleConversion(const char* content, size_t length);

  bool Fail(int id, const std::string& arg = std::string()) {
    message_.id = id;
    message_.arg = arg;
    return false;
  }
  bool Emit(const char* p, size_t n);
  void RemoveIndent();
  size_t SkipLineEnd(size_t p) const;
  size_t SkipAllSpace(size_t p) const;
  size_t FindClose(size_t open) const;

  const char* in_;
  size_t inLength_;
  KeyStrokeList& keys_;
  TagMode mode_;
  TagHost& host_;
  std::string out_;
  TagMessage message_;
  UserValueTable values_;
  TagTime time_;
  // Where the indent clean-up has scanned the output to, and where the run of
  // white space at its end begins; kept so that many [/] on one long line do
  // not rescan it each time.
  size_t indentScan_ = 0;
  size_t indentRun_ = 0;
};

bool Expander::Emit(const char* p, size_t n) {
  if (n > kMaxExpandedBytes - out_.size()) return Fail(IDS_NO_MEMORY);
  out_.append(p, n);
  return true;
}

void Expander::RemoveIndent() {
  const char* s = out_.c_str();
  while (indentScan_ < out_.size()) {
    const char* p = s + indentScan_;
    const size_t space = text::SpaceLen(p);
    if (space != 0) {
      indentScan_ += space;
      continue;
    }
    const size_t n = text::CharLen(p);
    indentScan_ += n == 0 ? 1 : n;
    indentRun_ = indentScan_;
  }
  out_.resize(indentRun_);
  indentScan_ = indentRun_;
}

size_t Expander::SkipLineEnd(size_t p) const {
  for (size_t n; (n = text::SpaceLen(in_ + p)) != 0;) p += n;
  if (in_[p] == '\r') {
    ++p;
    if (in_[p] == '\n') ++p;
  }
  return p;
}

size_t Expander::SkipAllSpace(size_t p) const {
  for (;;) {
    const size_t n = text::SpaceLen(in_ + p);
    if (n != 0) {
      p += n;
    } else if (in_[p] == '\r' || in_[p] == '\n') {
      ++p;
    } else {
      return p;
    }
  }
}

// The "]" that closes the tag opened at `open`: the first one, or for an
// enclose form (which may hold brackets) the last one of the whole text.
size_t Expander::FindClose(size_t open) const {
  const bool enclose = in_[open + 1] == 'E';
  size_t found = std::string::npos;
  for (size_t i = open + 1; i < inLength_;) {
    const size_t n = text::CharLen(in_ + i);
    if (n == 1 && in_[i] == ']') {
      found = i;
      if (!enclose) break;
    }
    i += n == 0 ? 1 : n;
  }
  return found;
}

ExpandResult Expander::Run(std::string& text) {
  ExpandResult result;
  keys_.Reset();
  values_.Clear();
  time_ = host_.LocalTime();
  out_.reserve(inLength_);

  bool ok = true;
  size_t pos = 0;
  while (ok) {
    // Next "[" that is a character of its own.
    size_t open = pos;
    while (open < inLength_) {
      const size_t n = text::CharLen(in_ + open);
      if (n == 1 && in_[open] == '[') break;
      open += n == 0 ? 1 : n;
    }
    const size_t close = open < inLength_ ? FindClose(open) : std::string::npos;
    if (close == std::string::npos) {
      ok = Emit(in_ + pos, inLength_ - pos);
      break;
    }
    if (!Emit(in_ + pos, open - pos)) {
      ok = false;
      break;
    }
    Replacement r;
    if (!Handle(in_ + open + 1, close - open - 1, r)) {
      ok = false;
      break;
    }
    if (r.unknown) {
      ok = Emit(in_ + open, close + 1 - open);
      pos = close + 1;
      continue;
    }
    if (r.cleanups & kCleanIndent) RemoveIndent();
    if (!Emit(r.text.data(), r.text.size())) {
      ok = false;
      break;
    }
    pos = close + 1;
    if (r.cleanups & kCleanLineEnd) pos = SkipLineEnd(pos);
    if (r.cleanups & kCleanTrailing) pos = SkipAllSpace(pos);
    if (keys_.Count() > kMaxKeyStrokeCodes) ok = Fail(IDS_TOO_MANY_KEYS);
  }

  values_.Clear();
  result.keyBytes = keys_.ByteCount();
  if (!ok) {
    result.message = message_;
    return result;
  }
  text.swap(out_);
  result.ok = !text.empty();
  return result;
}

bool Expander::Handle(const char* content, size_t length, Replacement& r) {
  const char letter = length > 0 ? content[0] : '\0';
  const char variant = length > 1 ? content[1] : '\0';
  if (!IsTagLetter(letter) || (letter == '!' && !IsKnownBang(variant))) {
    r.unknown = true;
    return true;
  }
  if (letter == '\'') {
    const char* path = content + 1;
    while (path < content + length && text::SpaceLen(path) != 0) path += text::SpaceLen(path);
    if (path >= content + length) {
      r.unknown = true;
      return true;
    }
  }
  if (IsDateLetter(letter)) return HandleDate(content, length, r);
  if (mode_ == TagMode::kTitle) return true;  // known, but no text in a title

  switch (letter) {
    case '!':
      return HandleBang(content, length, r);
    case '#':
      return HandleUserValue(content, length, r);
    case '$':
      if (length - 1 > kMaxTagText) return Fail(IDS_BAD_TAG);
      r.text.assign(content + 1, length - 1);
      return true;
    case '&':
      if (variant == '1') r.text = "[";
      if (variant == '2') r.text = "]";
      if (variant == 'R') r.text = "\r\n";
      if (variant == 'L') r.cleanups = kCleanLineEnd;
      if (variant == 'C') r.cleanups = kCleanLineEnd | kCleanTrailing;
      return true;
    case '/':
      r.cleanups = kCleanIndent;
      return true;
    case '\'':
      return HandleFile(content, length, r);
    case 'C':
      return HandleHistory(content, length, r);
    case 'F':
    case 'L':
      return HandleFilePicker(content, length, r);
    case 'R':
      return HandleUrlPicker(content, length, r);
    case 'B':
      return HandleFolderPicker(content, length, r);
    case 'E':
    case 'V':
      return HandleConversion(content, length);
  }
  return true;
}

bool Expander::HandleDate(const char* content, size_t length, Replacement& r) {
  const char letter = content[0];
  const char variant = length > 1 ? content[1] : '\0';
  const TagTime& t = time_;
  char buffer[32] = "";
  // `width` 0: as it is; 2 with '0': two digits; 2 with ' ': right-aligned in two.
  auto number = [&buffer](int value, int width = 0, char pad = ' ') {
    FormatDecimal(buffer, sizeof buffer, value, width, pad);
  };
  // Three widths in the order most tags list them: plain, two digits, two wide.
  auto field = [&number](char v, int value, char plain, char zero, char padded) {
    if (v == plain) number(value);
    if (v == zero) number(value, 2, '0');
    if (v == padded) number(value, 2, ' ');
  };
  const bool monthOk = t.month >= 1 && t.month <= 12;
  const bool dayOk = t.dayOfWeek >= 0 && t.dayOfWeek <= 6;
  switch (letter) {
    case 'Y':
      if (variant == '1') number(t.year);
      if (variant == '2') number(t.year % 100, 2, '0');
      if (variant == '3') number(t.year - 1988);
      break;
    case 'T':
      field(variant, t.month, '1', '2', '5');
      if (variant == '3' && monthOk) CopyText(buffer, sizeof buffer, kMonths[t.month - 1]);
      if (variant == '4' && monthOk) CopyText(buffer, sizeof buffer, kShortMonths[t.month - 1]);
      break;
    case 'D':
      field(variant, t.day, '1', '2', '3');
      break;
    case 'H': {
      // Noon and midnight both read 0 on this dial.
      const int dial = t.hour >= 12 ? t.hour - 12 : t.hour;
      field(variant, t.hour, '1', '2', '5');
      field(variant, dial, '3', '4', '6');
      break;
    }
    case 'M':
      field(variant, t.minute, '1', '2', '3');
      break;
    case 'S':
      field(variant, t.second, '1', '2', '3');
      break;
    case 'N':
      if (variant >= '1' && variant <= '3') {
        const int i = variant - '1';
        CopyText(buffer, sizeof buffer, t.hour < 12 ? kMorning[i] : kAfternoon[i]);
      }
      break;
    case 'W':
      if (variant == '1' && dayOk) CopyText(buffer, sizeof buffer, kWeekdays[t.dayOfWeek]);
      if (variant == '2' && dayOk) CopyText(buffer, sizeof buffer, kShortWeekdays[t.dayOfWeek]);
      break;
  }
  r.text = buffer;
  return true;
}

bool Expander::HandleBang(const char* content, size_t length, Replacement& r) {
  switch (content[1]) {
    case 'K':
    case 'D':
    case 'U':
    case 'W': {
      const KeyTagResult k = content[1] == 'W' ? AddWaitTag(content, length, keys_)
                                               : AddKeyStrokeTag(content, length, keys_);
      if (k.messageId != 0) return Fail(k.messageId);
      r.text.assign(k.placeholders, kKeyPlaceholder);
      r.cleanups = kCleanLineEnd;
      return true;
    }
    case 'E':
      return HandleRun(content, length);
    case 'M': {
      std::string name;
      size_t next = 0;
      const Quoted q = ReadQuoted(content, length, 2, name, next);
      if (q == Quoted::kBad) return Fail(IDS_BAD_TAG);
      // An empty name plays the current macro, as no name does.
      host_.PlayMacro(q == Quoted::kOk && !name.empty() ? name.c_str() : nullptr);
      return false;
    }
    case 'R':
      host_.RecordMacro();
      return false;
    case 'P': {
      std::string folder;
      if (!host_.CurrentFolder(folder)) return false;
      CutAtZero(folder);
      if (!host_.SetTextToClip(folder.c_str())) return Fail(IDS_OPEN_CLIPBOARD);
      return false;
    }
  }
  return true;
}

// [!E"file" "parameters"]: never pasted, whatever happens.
bool Expander::HandleRun(const char* content, size_t length) {
  std::string file, parameters;
  size_t next = 0;
  if (ReadQuoted(content, length, 2, file, next) != Quoted::kOk || file.empty()) return Fail(IDS_BAD_TAG);
  size_t after = 0;
  if (ReadQuoted(content, length, next, parameters, after) == Quoted::kBad) return Fail(IDS_BAD_TAG);
  for (std::string* arg : {&file, &parameters}) {
    if (!IsPatternPath(*arg)) continue;
    if (host_.PickPatternFile(*arg) != PickResult::kChosen) return false;
    CutAtZero(*arg);
    if (arg->size() > kMaxTagText) return Fail(IDS_BAD_TAG);
  }
  if (!host_.FileExists(file.c_str())) {
    host_.Beep();
    return Fail(IDS_FILE_NOT_FOUND, file);
  }
  if (!host_.OpenFile(file.c_str(), parameters.c_str())) return Fail(IDS_EXECUTE_FAILED);
  return false;
}

bool Expander::HandleUserValue(const char* content, size_t length, Replacement& r) {
  const char* p = content + 1;
  const char* end = content + length;
  while (p < end && text::SpaceLen(p) != 0) p += text::SpaceLen(p);
  if (p < end && *p == '|') {
    const std::string titles(p + 1, end);
    // The dialog has nothing to ask without a title; such a tag is malformed.
    UserValueTable scratch;
    if (SplitUserTitles(titles.c_str(), scratch) == 0) return Fail(IDS_BAD_TAG);
    const int answer = host_.AskUserValues(titles.c_str(), values_);
    if (answer == kUserInputCancelled) return false;
    if (answer == kUserInputNoProperty) return Fail(IDS_NO_PROPERTY);
    if (answer != kUserInputDone) return Fail(IDS_NO_MEMORY);
    r.cleanups = kCleanIndent | kCleanLineEnd;
    return true;
  }
  const char n = length > 1 ? content[1] : '\0';
  if (n < '1' || n > '9') return true;
  const UserValueTable::Entry& e = values_.entries[n - '1'];
  if (e.hasValue) r.text = e.value;
  CutAtZero(r.text);
  if (r.text.size() > kMaxTagText) return Fail(IDS_BAD_TAG);
  ApplyCaseModifier(length > 2 ? content[2] : '\0', r.text);
  return true;
}

bool Expander::HandleFilePicker(const char* content, size_t length, Replacement& r) {
  const char variant = length > 1 ? content[1] : '\0';
  if (variant != '1' && variant != '2') return true;
  FilePickRequest request;
  size_t next = 0;
  if (ReadQuoted(content, length, 2, request.argument, next) == Quoted::kBad) return Fail(IDS_BAD_TAG);
  const bool link = content[0] == 'L';
  // After an apostrophe the body becomes a file reference, which needs the
  // full path; text files are what such references usually name.
  const bool reference = !out_.empty() && out_.back() == '\'';
  request.filterIndex = reference ? 2 : link ? 4 : 1;
  request.resolveShortcuts = link;
  std::string path;
  if (host_.PickFile(request, path) != PickResult::kChosen) return false;
  CutAtZero(path);
  if (!reference && variant == '2') {
    const size_t slash = FindLastChar(path, '\\');
    if (slash == std::string::npos) return false;  // no name to cut: as cancelled
    path.erase(0, slash + 1);
  }
  if (path.size() > kMaxTagText) return Fail(IDS_BAD_TAG);
  ApplyCaseModifier(length > 2 ? content[2] : '\0', path);
  r.text.swap(path);
  return true;
}

bool Expander::HandleUrlPicker(const char* content, size_t length, Replacement& r) {
  const char variant = length > 1 ? content[1] : '\0';
  if (variant != '1' && variant != '2') return true;
  std::string argument, url;
  size_t next = 0;
  if (ReadQuoted(content, length, 2, argument, next) == Quoted::kBad) return Fail(IDS_BAD_TAG);
  if (host_.PickUrl(argument, url) != PickResult::kChosen) return false;
  CutAtZero(url);
  if (variant == '2') {
    const size_t scheme = url.find("://");  // ':' and '/' are never trail bytes
    if (scheme != std::string::npos) url.erase(0, scheme + 3);
  }
  if (url.size() > kMaxTagText) return Fail(IDS_BAD_TAG);
  ApplyCaseModifier(length > 2 ? content[2] : '\0', url);
  r.text.swap(url);
  return true;
}

bool Expander::HandleFolderPicker(const char* content, size_t length, Replacement& r) {
  const char variant = length > 1 ? content[1] : '\0';
  if (variant != '1' && variant != '2') return true;
  std::string folder;
  if (host_.PickFolder(variant == '1', folder) != PickResult::kChosen) return false;
  CutAtZero(folder);
  if (folder.size() > kMaxTagText) return Fail(IDS_BAD_TAG);
  ApplyCaseModifier(length > 2 ? content[2] : '\0', folder);
  r.text.swap(folder);
  return true;
}

bool Expander::HandleFile(const char* content, size_t length, Replacement& r) {
  const char* p = content + 1;
  while (text::SpaceLen(p) != 0) p += text::SpaceLen(p);
  const std::string path(p, content + length);
  if (path.size() > kMaxTagText) return Fail(IDS_BAD_TAG);
  std::string bytes;
  switch (host_.ReadWholeFile(path.c_str(), kMaxExpandedBytes - out_.size(), bytes)) {
    case FileReadResult::kOk:
      break;
    case FileReadResult::kOpenFailed:
      return Fail(IDS_OPEN_FILE, path);
    case FileReadResult::kNoMemory:
      return Fail(IDS_NO_MEMORY);
    case FileReadResult::kReadFailed:
      return false;
  }
  if (!bytes.empty() && bytes.back() == '\x1a') bytes.pop_back();
  CutAtZero(bytes);
  r.text.swap(bytes);
  r.cleanups = kCleanLineEnd;
  return true;
}

bool Expander::HandleHistory(const char* content, size_t length, Replacement& r) {
  const size_t n = ReadNumber(content + 1, content + length);
  if (n == 0) return Fail(IDS_BAD_STACK_ITEM);
  const int count = host_.HistoryCount();
  if (count <= 0) return Fail(IDS_NO_HISTORY);
  if (n > static_cast<size_t>(count)) {
    host_.Beep();
    return false;
  }
  std::string entry;
  if (!host_.HistoryEntry(static_cast<int>(n - 1), entry)) return false;
  CutAtZero(entry);
  if (host_.CutLastReturnOfHistory()) CutLastLineBreak(entry);
  r.text.swap(entry);
  return true;
}

// [E..], [E-..] and [V..] act on the selection of the application in front and
// take the place of the paste: they always end the expansion.
bool Expander::HandleConversion(const char* content, size_t length) {
  const char variant = length > 1 ? content[1] : '\0';
  if (content[0] == 'E') {
    if (length > kMaxTagText) return Fail(IDS_BAD_TAG);
    const std::string form(content, length);
    const TagMessage m = variant == '-' ? host_.DiscloseText(form.c_str(), kTextCommandPhase)
                                        : host_.EncloseText(form.c_str(), kTextCommandPhase);
    message_ = m;
    return false;
  }
  int mode = 0;
  switch (variant) {
    case 'U': mode = 1; break;
    case 'L': {
      const char third = length > 2 ? content[2] : '\0';
      mode = third == 'W' ? 10 : third == 'S' ? 11 : 2;
      break;
    }
    case 'S': mode = 3; break;
    case 'D': mode = 4; break;
    case 'H': mode = 5; break;
    case 'K': mode = 6; break;
    case 'T': mode = 7; break;
    default: return false;  // an unknown conversion pastes nothing, silently
  }
  message_ = host_.ConvText(mode, kTextCommandPhase);
  return false;
}

}  // namespace

int SplitUserTitles(const char* titles, UserValueTable& table) {
  std::string copy;
  for (const char* p = titles; *p != '\0'; ++p) {
    if (*p == '\n') {
      if (!copy.empty() && copy.back() == '\r') copy.pop_back();
      continue;
    }
    copy.push_back(*p);
  }
  int count = 0;
  size_t start = 0;
  for (size_t i = 0; count < kMaxUserValues; ) {
    const bool atEnd = i >= copy.size();
    const size_t n = atEnd ? 0 : text::CharLen(copy.c_str() + i);
    if (atEnd || (n == 1 && copy[i] == '|')) {
      if (i > start) {
        std::string piece = copy.substr(start, i - start);
        piece.resize(text::Trim(piece.data()));
        UserValueTable::Entry& e = table.entries[count++];
        e.hasTitle = true;
        e.title.swap(piece);
      }
      if (atEnd) break;
      start = i + 1;
      i += 1;
      continue;
    }
    i += n == 0 ? 1 : n;
  }
  return count;
}

bool HasTag(const char* text) {
  const char* open = text::FindChar(text, '[');
  return open != nullptr && text::FindChar(open + 1, ']') != nullptr;
}

ExpandResult ExpandTags(std::string& text, KeyStrokeList& keys, TagMode mode, TagHost& host) noexcept {
  try {
    Expander expander(text.c_str(), keys, mode, host);
    return expander.Run(text);
  } catch (const std::bad_alloc&) {
    ExpandResult result;
    result.keyBytes = keys.ByteCount();
    result.message.id = IDS_NO_MEMORY;
    return result;
  } catch (...) {
    // A host that throws must not take the application in front down with it.
    ExpandResult result;
    result.keyBytes = keys.ByteCount();
    return result;
  }
}

}  // namespace quillo::hook
