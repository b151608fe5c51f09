// Expansion of the tags in a custom-menu item body: dates and times, history
// entries, file contents, typed values, pickers, key strokes and the action tags.
// Everything the platform does (clock, history store, files, dialogs, shell,
// clipboard, messages to the resident window) is asked of a TagHost, so this file
// never touches <windows.h> and never shows anything itself: a failure comes
// back as a message id and its argument for the caller to show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "key_strokes.h"

namespace quillo::hook {

enum class TagMode { kPaste, kTitle };

// The fields of the local-time snapshot that the date and time tags read.
struct TagTime {
  int year = 0;
  int month = 0;      // 1-12
  int dayOfWeek = 0;  // 0 = Sunday
  int day = 0;
  int hour = 0;       // 0-23
  int minute = 0;
  int second = 0;
};

// How every tag the expander acts on begins after its "[": a letter, or "!"
// and the letter of its action. A "[" followed by anything else is plain text.
// The expander knows its tags from this list alone, and the user's guide
// shows each of them, so a tag added here needs its description there.
inline constexpr const char* kTagHeads[] = {
    "Y",  "T",  "D",  "H",  "M",  "S",  "N",  "W",            // dates and times
    "$",  "&",  "/",  "'",  "C",  "#",                        // text, files, history, typed values
    "F",  "L",  "R",  "B",                                    // pickers
    "!K", "!D", "!U", "!W", "!E", "!M", "!R", "!P",           // key strokes and actions
    "E",  "V",                                                // text commands
};

constexpr int kMaxUserValues = 9;
// Longest quoted argument, short replacement, [$text], [E..] content or file
// path; longer ones are refused with message 2030 rather than cut.
constexpr size_t kMaxTagText = 259;
// Ceiling of an expanded body. File contents may be pulled in any number of
// times, so without it a short hostile body could ask for unbounded memory; a
// body that would pass it fails with message 2001, as any allocation failure.
constexpr size_t kMaxExpandedBytes = 4u << 20;

// Entries 1 to 9 of the values typed in the user-input dialog ([#|..]), local to
// one expansion. Index 0 is entry 1.
struct UserValueTable {
  struct Entry {
    bool hasTitle = false;
    bool hasValue = false;
    std::string title;
    std::string value;
  };
  Entry entries[kMaxUserValues];
  void Clear() {
    for (Entry& e : entries) e = Entry();
  }
};

// The titles of a [#|..] tag as the dialog takes them: line breaks (LF with a CR
// before it) deleted, split at "|" (a trail byte 0x7C is no separator), empty
// pieces skipped, each trimmed, the first nine kept. Returns how many.
int SplitUserTitles(const char* titles, UserValueTable& table);

// A message to show: its id and the text that takes the place of "%s".
struct TagMessage {
  int id = 0;  // 0: nothing to show
  std::string arg;
};

enum class PickResult { kChosen, kCancelled };

// Results of the user-input dialog, as its dialog procedure ends it.
enum UserInputResult : int {
  kUserInputDone = 1,
  kUserInputCancelled = 2,
  kUserInputNoMemory = -1,
  kUserInputNoProperty = -2,
};

enum class FileReadResult { kOk, kOpenFailed, kNoMemory, kReadFailed };

// File picker request of [F..] and [L..].
struct FilePickRequest {
  // The argument as written: a start folder or file path, or folder\pattern.
  std::string argument;
  // 1 "All Files", 2 "Text Documents", 4 "Link Files".
  int filterIndex = 1;
  // False for [F..]: a chosen shortcut file is returned as itself.
  bool resolveShortcuts = false;
};

// What the expansion needs from the platform. The Win32 implementation lives
// beside the hook procedures; tests and the fuzzer answer it themselves.
class TagHost {
 public:
  virtual ~TagHost() = default;

  // The snapshot taken when the menu was shown; read once per expansion.
  virtual TagTime LocalTime() = 0;

  // History store: number of entries (entry 0 newest), and a copy of one entry.
  // False from HistoryEntry when the store cannot be opened (a silent failure).
  virtual int HistoryCount() = 0;
  virtual bool HistoryEntry(int index, std::string& text) = 0;
  // The "cut last line break of history entries" setting.
  virtual bool CutLastReturnOfHistory() = 0;
  virtual void Beep() = 0;

  // The bytes of a file as they are (a final Ctrl-Z is dropped here, not there).
  // A file larger than `maxBytes` is kNoMemory.
  virtual FileReadResult ReadWholeFile(const char* path, size_t maxBytes, std::string& bytes) = 0;

  // Pickers. They return full paths; the expansion cuts a file name itself.
  virtual PickResult PickFile(const FilePickRequest& request, std::string& path) = 0;
  // The whole URL of a chosen internet shortcut, trimmed ("http://???" when the
  // file holds none).
  virtual PickResult PickUrl(const std::string& argument, std::string& url) = 0;
  // The full path when `fullPath`, else the display name.
  virtual PickResult PickFolder(bool fullPath, std::string& folder) = 0;
  // Called only for a path of the form folder\pattern; the chosen full path
  // replaces it.
  virtual PickResult PickPatternFile(std::string& path) = 0;
  // The user-input dialog for `titles` (the text after "|"); one of
  // UserInputResult. It fills titles and values of `table`.
  virtual int AskUserValues(const char* titles, UserValueTable& table) = 0;

  // [!E]: whether a find-first succeeds on the path, and the shell's "open"
  // (false when the shell answers 32 or less). `parameters` may be empty.
  virtual bool FileExists(const char* path) = 0;
  virtual bool OpenFile(const char* file, const char* parameters) = 0;

  // [!M]: plays the named macro, or the current one when `name` is null.
  virtual void PlayMacro(const char* name) = 0;
  // [!R]: the resident program's record-macro command.
  virtual void RecordMacro() = 0;
  // [!P]: the current folder of this process (at most 260 characters), and the
  // clipboard as plain text without the marker format. False: message 2023.
  virtual bool CurrentFolder(std::string& folder) = 0;
  virtual bool SetTextToClip(const char* text) = 0;

  // Text commands on the selection of the application in front, first phase
  // (flag 1). `form` is the whole tag content ("E(xxx)", "E-(xxx)"); `mode` the
  // conversion kind. A message to show comes back; id 0 for none.
  virtual TagMessage EncloseText(const char* form, int phase) = 0;
  virtual TagMessage DiscloseText(const char* form, int phase) = 0;
  virtual TagMessage ConvText(int mode, int phase) = 0;
};

struct ExpandResult {
  // Every tag handled and the text not empty: the text is to be pasted.
  bool ok = false;
  // Bytes of key-stroke codes collected (even), also after a failure.
  size_t keyBytes = 0;
  // The message of a failure; id 0 for a silent one.
  TagMessage message;
};

// True when the text holds a "[" followed somewhere by a "]" (structure
// characters only, never trail bytes): the body needs expanding.
bool HasTag(const char* text);

// Expands the tags of `text` in place. `keys` is reset first and collects the
// codes of the key-stroke tags. Never throws.
ExpandResult ExpandTags(std::string& text, KeyStrokeList& keys, TagMode mode, TagHost& host) noexcept;

}  // namespace quillo::hook
