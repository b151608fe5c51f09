#include "help/guide_link.h"

#include "help_topics.h"
#include "history_editor/history_editor_resource.h"
#include "options/options_res.h"

namespace quillo::help {

namespace {
constexpr const char* kContentsAnchor = "contents";
}  // namespace

static_assert(kHistoryEditor == DialogTopic(IDD_HISTORY_EDITOR));
static_assert(kOptionsGeneral == DialogTopic(IDD_OPTIONS_GENERAL));
static_assert(kOptionsCustomMenu == DialogTopic(IDD_OPTIONS_CUSTOM));
static_assert(kOptionsStackMenu == DialogTopic(IDD_OPTIONS_STACK));
static_assert(kOptionsMacro == DialogTopic(IDD_OPTIONS_MACRO));
static_assert(kOptionsFileDialog == DialogTopic(IDD_OPTIONS_FILEDLGEX));
static_assert(kOptionsPasteMethods == DialogTopic(IDD_OPTIONS_PASTE));

const TopicAnchor kTopicAnchors[] = {
    {kContents, kContentsAnchor},
    {kScratchFile, "scratch-file"},
    {kEncloseForm, "enclose"},
    {kDiscloseForm, "disclose"},
    {kHistoryEditor, "history-editor"},
    {kOptionsGeneral, "options-general"},
    {kOptionsCustomMenu, "options-custom-menu"},
    {kOptionsStackMenu, "options-stack-menu"},
    {kOptionsMacro, "options-macro"},
    {kOptionsFileDialog, "options-file-dialog"},
    {kOptionsPasteMethods, "options-paste-methods"},
};
const size_t kTopicAnchorCount = sizeof kTopicAnchors / sizeof kTopicAnchors[0];

const char* AnchorOfTopic(int topic) {
  for (size_t i = 0; i < kTopicAnchorCount; ++i) {
    if (kTopicAnchors[i].topic == topic) return kTopicAnchors[i].anchor;
  }
  return kContentsAnchor;
}

namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Characters a path segment may carry as they are; the rest is encoded.
bool IsPlain(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~' || c == '!' || c == '$' || c == '&' || c == '\'' || c == '(' || c == ')' ||
         c == '*' || c == '+' || c == ',' || c == ';' || c == '=' || c == '@';
}

void AppendEncoded(std::string& out, const std::string& text, size_t from) {
  static const char kHex[] = "0123456789ABCDEF";
  for (size_t i = from; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\\' || c == '/') {
      out += '/';
    } else if (IsPlain(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
}

}  // namespace

std::string FileUrl(const std::string& path, const char* anchor) {
  std::string url;
  if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
    // The drive's colon stays: browsers read "C%3A" as a host-less name.
    url = "file:///";
    url += path[0];
    url += ':';
    AppendEncoded(url, path, 2);
  } else if (path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\' && path[2] != '?' &&
             path[2] != '.') {
    // A share: its server is the URL's host.
    url = "file://";
    AppendEncoded(url, path, 2);
  } else {
    return std::string();
  }
  if (anchor != nullptr && *anchor != '\0') {
    url += '#';
    url += anchor;
  }
  return url;
}

std::string BrowserCommandLine(const std::string& command, const std::string& url) {
  if (command.empty()) return std::string();
  std::string out;
  bool placed = false;
  for (size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    const char next = i + 1 < command.size() ? command[i + 1] : '\0';
    if (c == '%' && (next == '1' || next == 'L' || next == 'l')) {
      // As the shell does: the address goes where the placeholder stands,
      // quoted or not. Chromium's "--single-argument %1" takes the rest of the
      // line as it is, quotes and all; the URL has no space or quote to guard.
      out += url;
      placed = true;
      ++i;
    } else if (c == '%' && next == '*') {
      ++i;
    } else {
      out += c;
    }
  }
  if (!placed) {
    out += " \"";
    out += url;
    out += '"';
  }
  return out;
}

}  // namespace quillo::help
