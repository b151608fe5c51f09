// The rules of clipboard capture and of the text-command hand-over, apart from
// the clipboard itself: the window procedure gathers the facts, these decide.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillo::app {

constexpr size_t kLargestCapturedText = 20480;  // bytes of clipboard memory
constexpr char kWordTitle[] = "Microsoft Word";

// Registered clipboard formats by which other programs (password managers
// above all) ask clipboard tools to leave their content alone.
constexpr const char* kExclusionFormats[] = {
    "ExcludeClipboardContentFromMonitorProcessing",
    "Clipboard Viewer Ignore",
};
// This one excludes only when it holds a zero DWORD.
constexpr char kHistoryPermissionFormat[] = "CanIncludeInClipboardHistory";

struct CaptureFacts {
  bool suspend = false;             // everything suspended
  bool suspendHistory = false;      // history suspended
  bool skipWord = false;            // the "Skip Word" option
  const char* foregroundTitle = nullptr;  // null when there is no window in front
  bool hasText = false;             // CF_TEXT on the clipboard
  bool hasMarker = false;           // our own marker format is on it too
  bool excludedByOwner = false;     // an exclusion format says "not for history"
};

struct CaptureDecision {
  bool open = false;  // open the clipboard and take the text
  bool skip = false;  // the text did not reach the history: a pending command is dropped
};

CaptureDecision DecideCapture(const CaptureFacts& facts);

// Whether a text block of `blockSize` bytes is taken (1 to 20480 bytes).
inline bool CapturableSize(size_t blockSize) { return blockSize > 0 && blockSize <= kLargestCapturedText; }

// Double-byte aware, case-sensitive: a match never starts on a trail byte.
bool TitleContains(const char* title, const char* needle);

// Text commands (enclose, convert, disclose) handed over from the hook library.
enum TextCommand : int { kNoCommand = 0, kEnclose = 1, kConvert = 2, kDisclose = 4 };

class TextCommandHandover {
 public:
  static constexpr uint32_t kLongestWaitMs = 2000;

  // A request from the hook library; a newer one replaces an older one.
  void Request(TextCommand command, uint32_t now, int conversionKind = 0);
  // A clipboard change. Returns the follow-up message to post to the main
  // window (1035, 1037 or 1040), or 0. A change without text leaves the command
  // pending; any other change consumes it.
  unsigned OnClipboardChange(bool hasText, bool skipped, uint32_t now);
  int conversionKind() const { return conversionKind_; }
  TextCommand pending() const { return pending_; }

 private:
  TextCommand pending_ = kNoCommand;
  uint32_t since_ = 0;
  int conversionKind_ = 0;
};

}  // namespace quillo::app
