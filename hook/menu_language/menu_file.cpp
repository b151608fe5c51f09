#include "menu_file.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "byte_scan.h"
#include "dbcs.h"
#include "resource.h"

namespace quillo::hook {

static_assert(kMsgNoMemory == IDS_NO_MEMORY && kMsgSubMenuInList == IDS_SUBMENU_IN_LIST &&
              kMsgLineTooLong == IDS_LINE_TOO_LONG && kMsgTooManyItems == IDS_TOO_MANY_ITEMS &&
              kMsgBadLine == IDS_MENU_FILE_BAD && kMsgNoSubMenuEnd == IDS_NO_SUBMENU_END &&
              kMsgNoSimpleEnd == IDS_NO_SIMPLE_END && kMsgNoItemEnd == IDS_NO_ITEM_END,
              "the parser's message ids are the string-table ids");
static_assert(kFirstItemId + kMaxItems - 1 == 2022);
static_assert(kLastListId - kFirstListId < kPopupOwner, "a list index must fit the owner half");

namespace {

// White space of a menu file. The shared scanner knows space, tab and the
// ideographic space; a line can also hold a CR that was not right before its
// LF, and vertical tabs or form feeds from other editors.
size_t BlankLen(const char* p) {
  switch (*p) {
    case '\r': case '\n': case '\v': case '\f':
      return 1;
    default:
      return text::SpaceLen(p);
  }
}

const char* SkipBlank(const char* p) {
  for (size_t n; (n = BlankLen(p)) != 0;) p += n;
  return p;
}

// Lead bytes of every double-byte code page lie at 0x81 and above, and white
// space below 0x21: a byte in between is a whole character that is not blank,
// known without asking the platform. Menu files are mostly such bytes.
bool IsPlainByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u > 0x20 && u < 0x80;
}

// Eight plain bytes at p, found in one step.
bool EightPlainBytes(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  constexpr uint64_t kBelow21 = 0x2121212121212121ull;
  // No byte at 0x80 or above, and (among those) none below 0x21.
  return (w & kHigh) == 0 && ((w - kBelow21) & ~w & kHigh) == 0;
}

// Trims in place, walking forward by characters: scanning back from the end
// could take a trail byte for a space. `room` is how many bytes from s may be
// read (at least the text and its terminator); runs of plain bytes inside it
// are passed eight at a time.
size_t TrimInPlace(char* s, size_t room) {
  const char* start = SkipBlank(s);
  const char* end = start;
  const char* limit = s + room;
  for (const char* p = start; *p != '\0';) {
    if (IsPlainByte(*p)) {
      ++p;
      while (limit - p >= 8 && EightPlainBytes(p)) p += 8;
      end = p;
      continue;
    }
    const size_t n = BlankLen(p);
    if (n != 0) {
      p += n;
    } else {
      p = text::Next(p);
      end = p;
    }
  }
  const size_t len = static_cast<size_t>(end - start);
  if (start != s) std::memmove(s, start, len);
  s[len] = '\0';
  return len;
}

void TrimString(std::string& s) { s.resize(TrimInPlace(s.data(), s.size() + 1)); }

// Every line of a body is tested against three markers: compared in place,
// byte by byte, rather than through the library's strncmp.
template <size_t N>
bool StartsWith(const char* s, const char (&prefix)[N]) {
  for (size_t i = 0; i + 1 < N; ++i) {
    if (s[i] != prefix[i]) return false;
  }
  return true;
}

// Last ">->" of a title, found character by character so that the search
// never starts inside a double-byte character.
char* LastArrow(char* title) {
  char* last = nullptr;
  for (char* p = title; *p != '\0'; p += text::CharLen(p)) {
    if (p[0] == '>' && p[1] == '-' && p[2] == '>') last = p;
  }
  return last;
}

class Parser {
 public:
  Parser(LineReader& reader, MenuModel& model, MenuFileResult& result)
      : reader_(reader), model_(model), result_(result) {}

  bool Run() {
    model_.menus.emplace_back();
    Push(Kind::kMenu, 0, 0);
    for (;;) {
      if (!ReadLine()) {
        if (stack_.size() == 1) return true;
        const Frame& f = stack_.back();
        return Fail(f.kind == Kind::kSimple ? kMsgNoSimpleEnd : kMsgNoSubMenuEnd, f.header,
                    f.headerLineNumber);
      }
      std::memcpy(line_, reader_.Line(), reader_.Length() + 1);
      const size_t len = TrimInPlace(line_, reader_.Length() + 1);
      lineLength_ = len;
      if (inBlock_) {
        if (StartsWith(line_, "<<<<")) inBlock_ = false;
        continue;
      }
      if (len == 0 || line_[0] == ';' || line_[0] == '=') continue;
      if (StartsWith(line_, ">>>>")) {
        inBlock_ = true;
        continue;
      }
      if (StartsWith(line_, "..")) {
        if (!EndLevel()) return false;
        if (stack_.empty()) return true;  // the rest of the file is not read
        continue;
      }
      Frame& f = stack_.back();
      if (f.kind == Kind::kSimple) {
        if (f.rows.size() < kMaxSimpleRows) f.rows.emplace_back(line_);
        continue;
      }
      // Structure characters are ASCII and never lead bytes, so a line that
      // starts with a double-byte character falls through to the item case.
      if (line_[0] == '+' || line_[0] == '*' || line_[0] == '#') {
        if (!Header()) return false;
        continue;
      }
      if (std::strcmp(line_, "-") == 0) {
        if (f.kind == Kind::kMenu) {
          MenuEntry e;
          e.kind = EntryKind::kSeparator;
          if (!Append(f.index, std::move(e))) return false;
        }
        continue;
      }
      if (std::strcmp(line_, "--") == 0) {
        if (f.kind == Kind::kMenu) f.pendingBar = true;
        continue;
      }
      if (!Item()) return false;
    }
  }

 private:
  enum class Kind { kMenu, kList, kSimple };
  struct Frame {
    Kind kind = Kind::kMenu;
    uint32_t index = 0;  // menus[] for kMenu and kSimple, lists[] for kList
    std::string header;
    uint32_t headerLineNumber = 0;
    bool pendingBar = false;
    std::vector<std::string> rows;
  };

  // The header is the current line: the levels below reuse the line buffer.
  void Push(Kind kind, uint32_t index, uint32_t lineNumber) {
    Frame f;
    f.kind = kind;
    f.index = index;
    if (kind != Kind::kMenu || !stack_.empty()) f.header = line_;
    f.headerLineNumber = lineNumber;
    stack_.push_back(std::move(f));
  }

  // False at the end of the file, and after a too-long line, which ends the
  // reading the same way once its message is queued.
  bool ReadLine() {
    switch (reader_.Next()) {
      case LineStatus::kLine:
        return true;
      case LineStatus::kTooLong:
        Report(kMsgLineTooLong, std::nullopt, reader_.LinesDelivered() + 1);
        return false;
      case LineStatus::kEnd:
        return false;
    }
    return false;
  }

  void Report(uint16_t message, std::optional<std::string> line, uint32_t lineNumber) {
    MenuFileError e;
    e.message = message;
    e.line = std::move(line);
    e.lineNumber = lineNumber;
    result_.messages.push_back(std::move(e));
  }

  bool Fail(uint16_t message, std::optional<std::string> line, uint32_t lineNumber) {
    Report(message, std::move(line), lineNumber);
    return false;
  }
  bool TooMany() { return Fail(kMsgTooManyItems, std::nullopt, reader_.LinesDelivered()); }

  bool Append(uint32_t menu, MenuEntry e) {
    if (entries_ >= kMaxEntries) return TooMany();
    ++entries_;
    model_.menus[menu].entries.push_back(std::move(e));
    return true;
  }

  // Takes the pending column break of the current level for its next entry.
  bool TakeBar() { return std::exchange(stack_.back().pendingBar, false); }

  bool Header() {
    const Frame& f = stack_.back();
    const uint32_t lineNumber = reader_.LinesDelivered();
    if (f.kind == Kind::kList) return Fail(kMsgSubMenuInList, std::string(line_), lineNumber);
    const uint32_t parent = f.index;
    MenuEntry e;
    e.label = line_ + 1;
    if (line_[0] == '#') {
      if (model_.nextListId > kLastListId) return TooMany();
      e.id = model_.nextListId;
      e.barBreak = TakeBar();
      if (!Append(parent, std::move(e))) return false;
      const auto list = static_cast<uint32_t>(model_.nextListId - kFirstListId);
      model_.lists.resize(list + 1);
      Push(Kind::kList, list, lineNumber);
      return true;
    }
    if (model_.menus.size() > kMaxPopups) return TooMany();  // menus[0] is the root
    e.kind = EntryKind::kPopup;
    e.popup = static_cast<uint32_t>(model_.menus.size());
    e.barBreak = TakeBar();
    if (!Append(parent, std::move(e))) return false;
    model_.menus.emplace_back();
    const Kind kind = line_[0] == '+' ? Kind::kMenu : Kind::kSimple;
    Push(kind, static_cast<uint32_t>(model_.menus.size() - 1), lineNumber);
    return true;
  }

  bool EndLevel() {
    Frame& f = stack_.back();
    if (f.kind == Kind::kSimple && !BuildSimpleMenu(f)) return false;
    if (f.kind == Kind::kList) ++model_.nextListId;
    stack_.pop_back();
    return true;
  }

  bool Item() {
    const uint32_t lineNumber = reader_.LinesDelivered();
    if (model_.bodies.size() >= kMaxItems) return TooMany();
    char* bar = const_cast<char*>(text::FindChar(line_, '|'));
    if (bar == nullptr) return Fail(kMsgBadLine, std::string(line_), lineNumber);
    std::string titleLine(line_, static_cast<size_t>(bar - line_));
    *bar = '\0';
    TrimInPlace(line_, static_cast<size_t>(bar - line_) + 1);
    // The line was trimmed whole, by characters from its start; the body
    // starts on a character too, so its end is trimmed already.
    const char* body = SkipBlank(bar + 1);
    // The trimmed line ends at line_ + lineLength_ with its terminator, and
    // the blanks skipped stop there at the latest.
    const size_t bodyLength = static_cast<size_t>(line_ + lineLength_ - body);

    const Frame& f = stack_.back();
    const uint32_t id = model_.nextItemId;
    std::string stored;
    bool dynamic = false;
    if (bodyLength != 0) {
      if (char* arrow = LastArrow(line_); arrow != nullptr) {
        if (arrow[3] == '\0') {
          dynamic = true;
        } else if (arrow[3] == '!' && arrow[4] == '\0') {
          arrow[3] = '\0';  // "!" keeps the arrow as plain text
        }
      }
      stored.reserve(bodyLength + 2);
      stored.assign(body, bodyLength);
      // A body starting with "'" names a file to paste; no line break is added to it.
      if (body[0] != '\'') stored.append("\r\n", 2);
    } else if (!ReadBody(titleLine, lineNumber, stored)) {
      return false;
    }

    if (f.kind == Kind::kList) {
      model_.lists[f.index].entries.push_back(ListEntry{line_, id});
    } else {
      MenuEntry e;
      e.id = id;
      e.label = line_;
      e.barBreak = TakeBar();
      if (!Append(f.index, std::move(e))) return false;
    }
    if (dynamic) {
      model_.dynamicTitles.push_back(
          DynamicTitleCode(f.kind == Kind::kList ? f.index : kPopupOwner, id));
    }
    model_.bodies.push_back(std::move(stored));
    ++model_.nextItemId;
    return true;
  }

  // Body lines are kept as written; only comments, comment blocks and the
  // "/E" line are recognised, each after leading white space.
  bool ReadBody(const std::string& titleLine, uint32_t titleLineNumber, std::string& body) {
    // Gathered where the room of earlier bodies is kept, then copied once at
    // its final size: no growing copies, and no slack kept in the model.
    std::string& lines = bodyLines_;
    lines.clear();
    bool inBlock = false;
    for (;;) {
      if (!ReadLine()) return Fail(kMsgNoItemEnd, titleLine, titleLineNumber);
      const char* raw = reader_.Line();
      const char* p = SkipBlank(raw);
      if (inBlock) {
        if (StartsWith(p, "<<<<")) inBlock = false;
        continue;
      }
      if (*p == ';') continue;
      if (StartsWith(p, ">>>>")) {
        inBlock = true;
        continue;
      }
      if (StartsWith(p, "/E")) {
        body.assign(lines);
        return true;
      }
      // The length is known; a NUL inside the line still ends it, as it
      // always did.
      lines.append(raw, text::BoundedLength(raw, reader_.Length()));
      lines.append("\r\n", 2);
    }
  }

  // Lays the rows out as a table: pass k takes cell k of every row and starts
  // a new column, so column k of the menu is cell k of each row.
  bool BuildSimpleMenu(const Frame& f) {
    struct Cursor {
      const char* next;
      bool dashRow;  // first cell exactly "-": fillers are separators
    };
    std::vector<Cursor> cursors;
    cursors.reserve(f.rows.size());
    for (const std::string& row : f.rows) {
      const char* bar = text::FindChar(row.c_str(), '|');
      std::string first = bar ? row.substr(0, static_cast<size_t>(bar - row.c_str())) : row;
      TrimString(first);
      cursors.push_back(Cursor{row.c_str(), first == "-"});
    }
    for (bool firstPass = true;; firstPass = false) {
      bool any = false;
      for (const Cursor& c : cursors) any = any || *c.next != '\0';
      if (!any) return true;
      for (size_t i = 0; i < cursors.size(); ++i) {
        Cursor& c = cursors[i];
        if (model_.nextCellId > kLastCellId) return TooMany();
        MenuEntry e;
        e.id = model_.nextCellId;
        if (*c.next != '\0') {
          const char* bar = text::FindChar(c.next, '|');
          const size_t n = bar ? static_cast<size_t>(bar - c.next) : std::strlen(c.next);
          e.label.assign(c.next, n);
          TrimString(e.label);
          c.next = bar ? bar + 1 : c.next + n;
          if (e.label[0] == '-') {
            e.kind = EntryKind::kSeparator;
            e.label.clear();
          }
        } else if (c.dashRow) {
          e.kind = EntryKind::kSeparator;
        }
        // A separator cannot start a column, so a pass whose first entry is
        // one stays in the column before it.
        e.menuBreak = !firstPass && i == 0 && e.kind == EntryKind::kString;
        if (!Append(f.index, std::move(e))) return false;
        ++model_.nextCellId;
      }
    }
  }

  LineReader& reader_;
  MenuModel& model_;
  MenuFileResult& result_;
  std::vector<Frame> stack_;
  size_t entries_ = 0;
  bool inBlock_ = false;  // blocks do not nest, and no level opens or closes inside one
  std::string bodyLines_;
  char line_[LineReader::kLineBufferSize] = {};
  size_t lineLength_ = 0;  // of line_ as trimmed
};

}  // namespace

void MenuModel::Clear() noexcept {
  menus.clear();
  bodies.clear();
  lists.clear();
  dynamicTitles.clear();
  nextItemId = kFirstItemId;
  nextCellId = kFirstCellId;
  nextListId = kFirstListId;
}

const char* MenuModel::ItemBody(uint32_t id) const noexcept {
  if (id < kFirstItemId || id - kFirstItemId >= bodies.size()) return nullptr;
  const std::string& body = bodies[id - kFirstItemId];
  return body.empty() ? nullptr : body.c_str();
}

const ListMenu* MenuModel::List(uint32_t listId) const noexcept {
  if (listId < kFirstListId || listId - kFirstListId >= lists.size()) return nullptr;
  return &lists[listId - kFirstListId];
}

const MenuEntry* MenuModel::FindEntry(uint32_t id) const noexcept {
  if (id == 0) return nullptr;
  for (const MenuLevel& level : menus) {
    for (const MenuEntry& e : level.entries) {
      if (e.id == id && e.kind == EntryKind::kString) return &e;
    }
  }
  return nullptr;
}

std::string* MenuModel::DynamicLabel(uint32_t code) noexcept {
  const uint32_t owner = DynamicTitleOwner(code);
  const uint32_t item = DynamicTitleItem(code);
  if (owner == kPopupOwner) {
    const MenuEntry* e = FindEntry(item);
    return e ? &const_cast<MenuEntry*>(e)->label : nullptr;
  }
  if (owner >= lists.size()) return nullptr;
  for (ListEntry& e : lists[owner].entries) {
    if (e.itemId == item) return &e.label;
  }
  return nullptr;
}

MenuFileResult ParseMenuFile(ByteSource& source, uint64_t fileSize, MenuModel& model) noexcept {
  MenuFileResult result;
  model.Clear();
  try {
    LineReader reader(source, fileSize);
    Parser parser(reader, model, result);
    result.ok = parser.Run();
  } catch (...) {
    // Only allocation can throw here: report it the way every other
    // allocation failure of the library is reported.
    result.ok = false;
    result.messages.clear();
    try {
      result.messages.push_back(MenuFileError{kMsgNoMemory, {}, std::nullopt, 0});
    } catch (...) {
    }
  }
  if (!result.ok) model.Clear();
  return result;
}

MenuFileResult ParseMenuFile(const void* data, size_t size, MenuModel& model) noexcept {
  MemorySource source(data, size);
  return ParseMenuFile(source, size, model);
}

size_t DynamicTitleLength(const char* expanded) noexcept {
  const size_t len = std::strlen(expanded);
  // CR and LF are below every trail byte, so a plain byte search is safe.
  const char* crlf = std::strstr(expanded, "\r\n");
  return (crlf != nullptr && crlf == expanded + len - 2) ? len - 2 : len;
}

}  // namespace quillo::hook
