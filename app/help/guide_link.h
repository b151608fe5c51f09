// Where in the user's guide each help topic leads, and how the guide's
// address is written for a browser. Portable: the Win32 side only asks the
// system for the module path and the browser's command.
#pragma once

#include <cstddef>
#include <string>

namespace quillo::help {

// The guide, relative to the program's folder.
constexpr const char* kGuideFile = "guide\\index.html";

struct TopicAnchor {
  int topic;
  const char* anchor;  // the id of the guide's section, without "#"
};

// One row for each topic the code uses: a topic without a row opens the
// contents, and a row whose anchor the guide lacks fails its test.
extern const TopicAnchor kTopicAnchors[];
extern const size_t kTopicAnchorCount;

// The anchor of `topic`; the contents' anchor for kContents and any topic
// without a row.
const char* AnchorOfTopic(int topic);

// A file URL for `path` (a Windows path in UTF-8: "C:\..." or "\\server\share\..."),
// with "#anchor" when `anchor` is not empty. Bytes outside the URL's plain
// characters are percent-encoded, so spaces, "#", "%" and non-ASCII names
// survive; an empty string for a path that is neither absolute form.
std::string FileUrl(const std::string& path, const char* anchor);

// The command line that opens `url` with a program whose registered command
// is `command` (as the system stores it: "%1" or "%L" where the document goes).
// Without a placeholder the URL is added at the end. "%*" (the remaining
// arguments) stands for nothing here. The URL replaces the placeholder as it
// is (FileUrl leaves no space or quote in it); only one added at the end is
// quoted. Empty when `command` is empty.
std::string BrowserCommandLine(const std::string& command, const std::string& url);

}  // namespace quillo::help
