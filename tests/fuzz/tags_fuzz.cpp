// Feeds arbitrary item bodies to the tag expansion in both modes and both code
// pages. The host answers pickers, dialogs, files and history from the input
// itself, so every path can be reached; the checks are the expansion's promises.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "code_page.h"
#include "tags.h"

using namespace quillo::hook;

namespace {

class FuzzHost : public TagHost {
 public:
  FuzzHost(const std::string& seed, bool title) : seed_(seed), title_(title) {}
  int actions = 0;

  TagTime LocalTime() override {
    TagTime t;
    t.year = Byte(0) * 20;
    t.month = Byte(1) % 15 - 1;  // out of range sometimes
    t.dayOfWeek = Byte(2) % 9 - 1;
    t.day = Byte(3);
    t.hour = Byte(4) % 26 - 1;
    t.minute = Byte(5);
    t.second = Byte(6);
    return t;
  }
  int HistoryCount() override { return Action(), Byte(7) % 4; }
  bool HistoryEntry(int index, std::string& text) override {
    text = Piece(index * 5, 300);
    return Byte(8) % 5 != 0;
  }
  bool CutLastReturnOfHistory() override { return Byte(9) & 1; }
  void Beep() override { Action(); }
  FileReadResult ReadWholeFile(const char*, size_t maxBytes, std::string& bytes) override {
    Action();
    const int pick = Byte(10) % 5;
    if (pick == 1) return FileReadResult::kOpenFailed;
    if (pick == 2) return FileReadResult::kReadFailed;
    bytes = Piece(11, 5000);
    if (pick == 3) bytes.assign(200000, '\x1a');  // growth pressure
    return bytes.size() > maxBytes ? FileReadResult::kNoMemory : FileReadResult::kOk;
  }
  PickResult PickFile(const FilePickRequest&, std::string& path) override { return Answer(path, 12); }
  PickResult PickUrl(const std::string&, std::string& url) override { return Answer(url, 13); }
  PickResult PickFolder(bool, std::string& folder) override { return Answer(folder, 14); }
  PickResult PickPatternFile(std::string& path) override { return Answer(path, 15); }
  int AskUserValues(const char* titles, UserValueTable& table) override {
    Action();
    const int n = SplitUserTitles(titles, table);
    if (n < 1 || n > 9) abort();
    for (int i = 0; i < n; ++i) {
      table.entries[i].value = Piece(i * 3, 300);
      table.entries[i].hasValue = true;
    }
    const int answers[] = {kUserInputDone, kUserInputDone, kUserInputCancelled, kUserInputNoMemory,
                           kUserInputNoProperty};
    return answers[Byte(16) % 5];
  }
  bool FileExists(const char*) override { return Action(), Byte(17) & 1; }
  bool OpenFile(const char*, const char*) override { return Action(), Byte(18) & 1; }
  void PlayMacro(const char*) override { Action(); }
  void RecordMacro() override { Action(); }
  bool CurrentFolder(std::string& folder) override { return Answer(folder, 19) == PickResult::kChosen; }
  bool SetTextToClip(const char*) override { return Action(), Byte(20) & 1; }
  TagMessage EncloseText(const char* form, int) override { return Action(), TagMessage{0, form}; }
  TagMessage DiscloseText(const char* form, int) override { return Action(), TagMessage{0, form}; }
  TagMessage ConvText(int, int) override { return Action(), TagMessage{}; }

 private:
  int Byte(size_t i) const { return seed_.empty() ? 0 : static_cast<unsigned char>(seed_[i % seed_.size()]); }
  std::string Piece(size_t from, size_t max) const {
    if (seed_.empty()) return "";
    from %= seed_.size();
    return seed_.substr(from, static_cast<size_t>(Byte(from)) % max);
  }
  void Action() {
    // Title mode has no effects at all.
    if (title_) abort();
    ++actions;
  }
  PickResult Answer(std::string& out, size_t at) {
    Action();
    out = Piece(at, 400);
    return Byte(at) % 4 == 0 ? PickResult::kCancelled : PickResult::kChosen;
  }
  std::string seed_;
  bool title_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
  quillo::testing::ScopedCodePage cp((flags & 1) ? 932 : 1252);
  const bool title = (flags & 2) != 0;
  FuzzHost host(body, title);
  std::string text = body;
  KeyStrokeList keys;
  const ExpandResult r = ExpandTags(text, keys, title ? TagMode::kTitle : TagMode::kPaste, host);
  if (r.keyBytes % 2 != 0 || r.keyBytes > 2 * (kKeyStrokeUnits - 1)) abort();
  if (r.keyBytes != keys.ByteCount()) abort();
  if (keys.Codes()[keys.Count()] != kKeyEndCode) abort();
  if (r.ok) {
    if (text.empty() || text.size() > kMaxExpandedBytes) abort();
    if (keys.Count() > kMaxKeyStrokeCodes) abort();
  }
  if (title && r.keyBytes != 0) abort();
  if (r.message.arg.size() > kMaxTagText) abort();
  uint8_t marker[kKeyStrokeUnits * 2];
  if (MakeMarkerData(keys, r.keyBytes, marker, sizeof marker) == 0) abort();
  return 0;
}
