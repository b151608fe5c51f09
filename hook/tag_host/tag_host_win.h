// The tag expansion's view of Windows: the time snapshot, the history mapping,
// files, the pickers and the user-input dialog, the shell, the clipboard and the
// requests to the resident window. Everything runs on the thread of the
// application in front, and every window it opens is owned by the window in front.
#pragma once

#include <windows.h>

#include <string>

#include "tags.h"

namespace quillo::hook {

class WinTagHost : public TagHost {
 public:
  TagTime LocalTime() override;
  int HistoryCount() override;
  bool HistoryEntry(int index, std::string& text) override;
  bool CutLastReturnOfHistory() override;
  void Beep() override;
  FileReadResult ReadWholeFile(const char* path, size_t maxBytes, std::string& bytes) override;
  PickResult PickFile(const FilePickRequest& request, std::string& path) override;
  PickResult PickUrl(const std::string& argument, std::string& url) override;
  PickResult PickFolder(bool fullPath, std::string& folder) override;
  PickResult PickPatternFile(std::string& path) override;
  int AskUserValues(const char* titles, UserValueTable& table) override;
  bool FileExists(const char* path) override;
  bool OpenFile(const char* file, const char* parameters) override;
  void PlayMacro(const char* name) override;
  void RecordMacro() override;
  bool CurrentFolder(std::string& folder) override;
  bool SetTextToClip(const char* text) override;
  TagMessage EncloseText(const char* form, int phase) override;
  TagMessage DiscloseText(const char* form, int phase) override;
  TagMessage ConvText(int mode, int phase) override;
};

// Shows the message of a failed expansion (nothing for id 0): the library's
// message box with the warning icon, "%s" filled with the message's argument.
void ShowTagMessage(const TagMessage& message);

// Expands `text` in place with the real host and shows the message of a
// failure. The date and time tags read State().timeSnapshot as it stands; the
// menu takes it before it is shown. Never throws.
ExpandResult ExpandItemTags(std::string& text, KeyStrokeList& keys, TagMode mode) noexcept;

// The Win32 filter of a picker ("|" turned into the zero separators, ending in
// two zeros) and its start folder, from a picker argument as written in a tag.
enum class PickerKind { kFile, kUrl };
struct PickerSetup {
  std::string filter;
  std::string startFolder;  // empty: none
};
PickerSetup MakePickerSetup(PickerKind kind, const std::string& argument);

}  // namespace quillo::hook
