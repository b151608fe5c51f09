#include "convert.h"

#include <cstdint>
#include <cstring>

#include "dbcs.h"

namespace quillo::hook {
namespace {

// ---- Code page 932 ----

bool IsLead932(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Half-width katakana and punctuation 0xA1-0xDF as full-width characters:
// ｡｢｣､･ｦｧ... ﾝﾞﾟ.
constexpr uint16_t kKanaToFull[63] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342,
    0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362, 0x815B,
    0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E,
    0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E,
    0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C,
    0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D, 0x837E,
    0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389, 0x838A,
    0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,
};

// Printable ASCII 0x20-0x7E as full-width characters. The full-width
// quotation mark and apostrophe exist twice in the code page; the one the
// system converts to is taken (0xFA57, 0xFA56).
constexpr uint16_t kAsciiToFull[95] = {
    0x8140, 0x8149, 0xFA57, 0x8194, 0x8190, 0x8193, 0x8195, 0xFA56,
    0x8169, 0x816A, 0x8196, 0x817B, 0x8143, 0x817C, 0x8144, 0x815E,
    0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256,
    0x8257, 0x8258, 0x8146, 0x8147, 0x8183, 0x8181, 0x8184, 0x8148,
    0x8197, 0x8260, 0x8261, 0x8262, 0x8263, 0x8264, 0x8265, 0x8266,
    0x8267, 0x8268, 0x8269, 0x826A, 0x826B, 0x826C, 0x826D, 0x826E,
    0x826F, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276,
    0x8277, 0x8278, 0x8279, 0x816D, 0x815F, 0x816E, 0x814F, 0x8151,
    0x814D, 0x8281, 0x8282, 0x8283, 0x8284, 0x8285, 0x8286, 0x8287,
    0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D, 0x828E, 0x828F,
    0x8290, 0x8291, 0x8292, 0x8293, 0x8294, 0x8295, 0x8296, 0x8297,
    0x8298, 0x8299, 0x829A, 0x816F, 0x8162, 0x8170, 0x8160,
};

// Voiced kana: がぎぐげござじずぜぞだぢづでどばびぶべぼガギグゲゴザジズゼゾダヂヅデドバビブベボヴ
constexpr char kVoicedKana[] =
    "\x82\xaa\x82\xac\x82\xae\x82\xb0\x82\xb2\x82\xb4\x82\xb6\x82\xb8\x82\xba\x82\xbc\x82\xbe\x82\xc0\x82\xc3"
    "\x82\xc5\x82\xc7\x82\xce\x82\xd1\x82\xd4\x82\xd7\x82\xda\x83\x4b\x83\x4d\x83\x4f\x83\x51\x83\x53\x83\x55"
    "\x83\x57\x83\x59\x83\x5b\x83\x5d\x83\x5f\x83\x61\x83\x64\x83\x66\x83\x68\x83\x6f\x83\x72\x83\x75\x83\x78"
    "\x83\x7b\x83\x94";
// Semi-voiced kana: ぱぴぷぺぽパピプペポ
constexpr char kSemiVoicedKana[] = "\x82\xcf\x82\xd2\x82\xd5\x82\xd8\x82\xdb\x83\x70\x83\x73\x83\x76\x83\x79\x83\x7c";
// Half-width letters that take the voiced mark: ｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾊﾋﾌﾍﾎ (and ｳ, which becomes ヴ)
constexpr char kVoicedHalf[] = "\xb6\xb7\xb8\xb9\xba\xbb\xbc\xbd\xbe\xbf\xc0\xc1\xc2\xc3\xc4\xca\xcb\xcc\xcd\xce";
// ... and the semi-voiced mark: ﾊﾋﾌﾍﾎ
constexpr char kSemiVoicedHalf[] = "\xca\xcb\xcc\xcd\xce";
constexpr unsigned char kHalfU = 0xB3;            // ｳ
constexpr unsigned char kVoicedMark = 0xDE;       // ﾞ
constexpr unsigned char kSemiVoicedMark = 0xDF;   // ﾟ
constexpr uint16_t kFullVu = 0x8394;              // ヴ
constexpr uint16_t kFullU = 0x8345;               // ウ

bool InKanaList(const char* list, uint16_t code) {
  for (const char* p = list; *p != '\0'; p += 2) {
    if (((static_cast<unsigned char>(p[0]) << 8) | static_cast<unsigned char>(p[1])) == code) return true;
  }
  return false;
}

bool InByteList(const char* list, unsigned char c) {
  return c != 0 && std::strchr(list, static_cast<char>(c)) != nullptr;
}

// The single byte of a full-width character, 0 for none. Built from the two
// forward tables, so that each direction is the other's exact inverse; the
// compiler builds it, so no first call has to (a run-time initialisation
// would need a thread-safe guard, and with it a threading library).
struct HalfTable {
  unsigned char half[3][256] = {};  // lead bytes 0x81-0x83
  constexpr HalfTable() {
    for (int i = 0; i < 95; ++i) Set(kAsciiToFull[i], static_cast<unsigned char>(0x20 + i));
    for (int i = 0; i < 63; ++i) Set(kKanaToFull[i], static_cast<unsigned char>(0xA1 + i));
  }
  constexpr void Set(uint16_t code, unsigned char c) {
    const int lead = code >> 8;
    if (lead >= 0x81 && lead <= 0x83) half[lead - 0x81][code & 0xFF] = c;
  }
};
constexpr HalfTable kHalfTable;

unsigned char HalfOf(uint16_t code) {
  const HalfTable& table = kHalfTable;
  switch (code) {
    // The second spellings of the full-width quotation mark and apostrophe.
    case 0xFA57: case 0xEEFC: return '"';
    case 0xFA56: case 0xEEFB: return '\'';
    default: break;
  }
  const int lead = code >> 8;
  if (lead < 0x81 || lead > 0x83) return 0;
  return table.half[lead - 0x81][code & 0xFF];
}

struct CaseRange {
  uint16_t first, last, to;
};

// Double-byte letters of code page 932: full-width Latin, Greek, Cyrillic
// (whose two halves sit on either side of 0x7F, never a trail byte) and the
// Roman numerals, whose small forms exist twice.
constexpr CaseRange kUpper932[] = {
    {0x8281, 0x829A, 0x8260}, {0x83BF, 0x83D6, 0x839F}, {0x8470, 0x847E, 0x8440},
    {0x8480, 0x8491, 0x844F}, {0xEEEF, 0xEEF8, 0x8754}, {0xFA40, 0xFA49, 0x8754},
};
constexpr CaseRange kLower932[] = {
    {0x8260, 0x8279, 0x8281}, {0x839F, 0x83B6, 0x83BF}, {0x8440, 0x844E, 0x8470},
    {0x844F, 0x8460, 0x8480}, {0x8754, 0x875D, 0xFA40}, {0xFA4A, 0xFA53, 0xFA40},
};

template <size_t N>
uint16_t MapRange(const CaseRange (&ranges)[N], uint16_t code) {
  for (const CaseRange& r : ranges) {
    if (code >= r.first && code <= r.last) return static_cast<uint16_t>(r.to + (code - r.first));
  }
  return code;
}

constexpr uint16_t kFullI = 0x8289;           // ｉ
constexpr uint16_t kRightQuote = 0x8166;      // ’
constexpr uint16_t kIdeographicSpace = 0x8140;

// ---- One character at a time ----

constexpr int kCopy = 0;  // not a conversion kind: the text as it is

struct Char {
  unsigned char bytes[2];
  size_t size;  // 1 or 2
  uint16_t code() const { return size == 2 ? static_cast<uint16_t>((bytes[0] << 8) | bytes[1]) : bytes[0]; }
};

Char Double(uint16_t code) { return Char{{static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code)}, 2}; }
Char Single(unsigned char c) { return Char{{c, 0}, 1}; }

class Converter {
 public:
  Converter(const ConvRules& rules, char* out, size_t outSize)
      : cp932_(rules.codePage == 932),
        table_(rules.singleByte != nullptr ? *rules.singleByte : AsciiCaseTable()),
        out_(out),
        room_(outSize - 1) {}

  size_t CharAt(const char* text, size_t length, size_t i) const {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool lead = cp932_ ? IsLead932(c) : text::IsLeadByte(c);
    return (lead && i + 1 < length && text[i + 1] != '\0') ? 2 : 1;
  }

  Char Read(const char* text, size_t i, size_t n) const {
    Char ch = {{static_cast<unsigned char>(text[i]), 0}, n};
    if (n == 2) ch.bytes[1] = static_cast<unsigned char>(text[i + 1]);
    return ch;
  }

  Char Upper(Char c) const {
    if (c.size == 1) return Single(table_.upper[c.bytes[0]]);
    return cp932_ ? Double(MapRange(kUpper932, c.code())) : c;
  }
  Char Lower(Char c) const {
    if (c.size == 1) return Single(table_.lower[c.bytes[0]]);
    return cp932_ ? Double(MapRange(kLower932, c.code())) : c;
  }

  bool Emit(const Char& c) {
    if (!ok_ || c.size > room_ - used_) {
      ok_ = false;
      return false;
    }
    std::memcpy(out_ + used_, c.bytes, c.size);
    used_ += c.size;
    return true;
  }
  // A character and the mark that goes with it fit together or not at all.
  bool Emit(const Char& c, const Char& mark) {
    if (!ok_ || c.size + mark.size > room_ - used_) {
      ok_ = false;
      return false;
    }
    return Emit(c) && Emit(mark);
  }

  bool Run(int mode, const char* text, size_t length) {
    if (mode == kConvCapitalWords || mode == kConvCapitalSentences) return Capitalise(mode, text, length);
    for (size_t i = 0; i < length && text[i] != '\0';) {
      const size_t n = CharAt(text, length, i);
      const Char c = Read(text, i, n);
      i += n;
      switch (mode) {
        case kConvUpper: if (!Emit(Upper(c))) return false; break;
        case kConvLower: if (!Emit(Lower(c))) return false; break;
        case kConvHalfWidth: if (!HalfWidth(c)) return false; break;
        case kConvFullWidth:
        case kConvFullWidthKana: {
          // A voiced or semi-voiced mark right after its letter joins it.
          const unsigned char next = i < length ? static_cast<unsigned char>(text[i]) : 0;
          bool joined = false;
          if (!FullWidth(c, next, mode == kConvFullWidthKana, &joined)) return false;
          if (joined) ++i;
          break;
        }
        case kConvHiragana: if (!Emit(Kana(c, true))) return false; break;
        case kConvKatakana: if (!Emit(Kana(c, false))) return false; break;
        default: if (!Emit(c)) return false; break;
      }
    }
    return ok_;
  }

  size_t Finish() {
    out_[used_] = '\0';
    return used_;
  }

 private:
  bool HalfWidth(const Char& c) {
    if (!cp932_ || c.size != 2) return Emit(c);
    const uint16_t code = c.code();
    if (code == kFullVu) return Emit(Single(HalfOf(kFullU)), Single(kVoicedMark));
    if (InKanaList(kVoicedKana, code)) {
      const unsigned char half = HalfOf(static_cast<uint16_t>(code - 1));
      if (half != 0) return Emit(Single(half), Single(kVoicedMark));
    } else if (InKanaList(kSemiVoicedKana, code)) {
      const unsigned char half = HalfOf(static_cast<uint16_t>(code - 2));
      if (half != 0) return Emit(Single(half), Single(kSemiVoicedMark));
    }
    const unsigned char half = HalfOf(code);
    return Emit(half != 0 ? Single(half) : c);
  }

  bool FullWidth(const Char& c, unsigned char next, bool kanaOnly, bool* joined) {
    if (!cp932_ || c.size != 1) return Emit(c);
    const unsigned char b = c.bytes[0];
    if (b >= 0xA1 && b <= 0xDF) {
      uint16_t full = kKanaToFull[b - 0xA1];
      if (next == kVoicedMark && b == kHalfU) {
        full = kFullVu;
        *joined = true;
      } else if (next == kVoicedMark && InByteList(kVoicedHalf, b)) {
        full = static_cast<uint16_t>(full + 1);
        *joined = true;
      } else if (next == kSemiVoicedMark && InByteList(kSemiVoicedHalf, b)) {
        full = static_cast<uint16_t>(full + 2);
        *joined = true;
      }
      return Emit(Double(full));
    }
    if (!kanaOnly && b >= 0x20 && b <= 0x7E) return Emit(Double(kAsciiToFull[b - 0x20]));
    return Emit(c);
  }

  Char Kana(const Char& c, bool toHiragana) const {
    if (!cp932_ || c.size != 2) return c;
    const uint16_t code = c.code();
    if (toHiragana) {
      // ァ-ミ and ム-ン, on either side of 0x837F, which is no character.
      if (code >= 0x8340 && code <= 0x837E) return Double(static_cast<uint16_t>(code - 0x8340 + 0x829F));
      if (code >= 0x8380 && code <= 0x8393) return Double(static_cast<uint16_t>(code - 0x8380 + 0x82DE));
      if (code == 0x8152 || code == 0x8153) return Double(static_cast<uint16_t>(code + 2));  // ヽヾ
    } else {
      if (code >= 0x829F && code <= 0x82DD) return Double(static_cast<uint16_t>(code - 0x829F + 0x8340));
      if (code >= 0x82DE && code <= 0x82F1) return Double(static_cast<uint16_t>(code - 0x82DE + 0x8380));
      if (code == 0x8154 || code == 0x8155) return Double(static_cast<uint16_t>(code - 2));  // ゝゞ
    }
    return c;
  }

  bool IsSpace(const Char& c) const {
    if (c.size == 1) return c.bytes[0] == ' ' || c.bytes[0] == '\t' || c.bytes[0] == '\r' || c.bytes[0] == '\n';
    return cp932_ && c.code() == kIdeographicSpace;
  }

  bool IsLoneI(const Char& c) const { return (c.size == 1 && c.bytes[0] == 'i') || (cp932_ && c.size == 2 && c.code() == kFullI); }
  bool IsApostrophe(const Char& c) const {
    return (c.size == 1 && c.bytes[0] == '\'') || (cp932_ && c.size == 2 && c.code() == kRightQuote);
  }
  bool IsStop(const Char& c) const {
    if (c.size == 1) return c.bytes[0] == '.' || c.bytes[0] == '?' || c.bytes[0] == ';';
    if (!cp932_) return false;
    const uint16_t code = c.code();
    return code == 0x8142 || code == 0x8144 || code == 0x8148 || code == 0x8147;  // 。．？；
  }

  // Lower case first, then capitals where a word or a sentence begins, and a
  // lone "i" (the English pronoun) wherever it stands.
  bool Capitalise(int mode, const char* text, size_t length) {
    enum State { kCapitaliseNext, kInside, kAfterStop } state = kCapitaliseNext;
    bool prevSpace = true;  // the start of the text counts as white space
    for (size_t i = 0; i < length && text[i] != '\0';) {
      const size_t n = CharAt(text, length, i);
      const Char c = Lower(Read(text, i, n));
      i += n;
      bool upper = state == kCapitaliseNext;
      if (!upper && prevSpace && IsLoneI(c) && i < length && text[i] != '\0') {
        const Char next = Lower(Read(text, i, CharAt(text, length, i)));
        upper = IsSpace(next) || IsApostrophe(next);
      }
      if (!Emit(upper ? Upper(c) : c)) return false;
      const bool space = IsSpace(c);
      if (mode == kConvCapitalWords) {
        const bool breaks = space || (c.size == 1 && c.bytes[0] == '\\');
        state = breaks ? kCapitaliseNext : kInside;
      } else if (space && state != kInside) {
        state = kCapitaliseNext;
      } else {
        state = IsStop(c) ? kAfterStop : kInside;
      }
      prevSpace = space;
    }
    return ok_;
  }

  bool cp932_;
  const CaseTable& table_;
  char* out_;
  size_t room_;  // bytes for characters, the terminator set aside
  size_t used_ = 0;
  bool ok_ = true;
};

constexpr CaseTable MakeTable(bool cp1252) {
  CaseTable t{};
  for (int i = 0; i < 256; ++i) t.upper[i] = t.lower[i] = static_cast<unsigned char>(i);
  for (int c = 'a'; c <= 'z'; ++c) {
    t.upper[c] = static_cast<unsigned char>(c - 0x20);
    t.lower[c - 0x20] = static_cast<unsigned char>(c);
  }
  if (cp1252) {
    // šœž and ÿ have their capitals in the 0x80 row; à-þ in the row above,
    // but for the signs ÷ and × in the middle. ß, µ and ƒ have no capital in
    // the code page and stay.
    const unsigned char pairs[][2] = {{0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}};
    for (const auto& p : pairs) {
      t.upper[p[0]] = p[1];
      t.lower[p[1]] = p[0];
    }
    for (int c = 0xE0; c <= 0xFE; ++c) {
      if (c == 0xF7) continue;
      t.upper[c] = static_cast<unsigned char>(c - 0x20);
      t.lower[c - 0x20] = static_cast<unsigned char>(c);
    }
  }
  return t;
}

}  // namespace

bool IsConvMode(int mode) noexcept { return (mode >= 1 && mode <= 7) || mode == 10 || mode == 11; }

// Built by the compiler, as the half-width table is.
constexpr CaseTable kAsciiCaseTable = MakeTable(false);
constexpr CaseTable kCaseTable1252 = MakeTable(true);

const CaseTable& AsciiCaseTable() noexcept { return kAsciiCaseTable; }

const CaseTable& CaseTable1252() noexcept { return kCaseTable1252; }

bool ConvertText(int mode, const char* text, size_t length, char* out, size_t outSize, const ConvRules& rules,
                 size_t* written) noexcept {
  if (written != nullptr) *written = 0;
  if (out == nullptr || outSize == 0) return false;
  Converter converter(rules, out, outSize);
  // An unknown kind changes nothing: the text is copied as far as it fits.
  const bool known = IsConvMode(mode);
  const bool ok = converter.Run(known ? mode : kCopy, text, length) && known;
  const size_t n = converter.Finish();
  if (written != nullptr) *written = n;
  return ok;
}

}  // namespace quillo::hook
