// The user's guide that Help opens: every place Help can lead to exists in it,
// its links and pictures resolve, and it describes every tag the expander
// knows. Also the address a browser is given for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>

#include "help/guide_link.h"
#include "help_topics.h"
#include "tags.h"

namespace quillo::help {
namespace {

const std::string kGuideFolder = std::string(QUILLO_SOURCE_DIR) + "/docs/guide/";

std::string ReadGuide() {
  std::ifstream in(kGuideFolder + "index.html", std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::set<std::string> Matches(const std::string& html, const char* pattern) {
  std::set<std::string> found;
  const std::regex re(pattern);
  for (std::sregex_iterator it(html.begin(), html.end(), re), end; it != end; ++it) found.insert((*it)[1].str());
  return found;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

TEST(UserGuide, HasTheSectionOfEveryHelpTopic) {
  const std::string html = ReadGuide();
  ASSERT_FALSE(html.empty()) << "no guide at " << kGuideFolder;
  const std::set<std::string> ids = Matches(html, "\\bid=\"([^\"]+)\"");
  ASSERT_GT(kTopicAnchorCount, 0u);
  for (size_t i = 0; i < kTopicAnchorCount; ++i) {
    EXPECT_EQ(ids.count(kTopicAnchors[i].anchor), 1u)
        << "topic " << kTopicAnchors[i].topic << " leads to #" << kTopicAnchors[i].anchor << ", which the guide lacks";
  }
}

TEST(UserGuide, LinksAndPicturesResolve) {
  const std::string html = ReadGuide();
  ASSERT_FALSE(html.empty());
  const std::regex idPattern("\\bid=\"([^\"]+)\"");
  std::multiset<std::string> all;
  for (std::sregex_iterator it(html.begin(), html.end(), idPattern), end; it != end; ++it) all.insert((*it)[1].str());
  for (const std::string& id : all) EXPECT_EQ(all.count(id), 1u) << "id \"" << id << "\" twice";

  int links = 0;
  for (const std::string& href : Matches(html, "\\bhref=\"([^\"]*)\"")) {
    ++links;
    if (href.rfind("#", 0) == 0) {
      EXPECT_EQ(all.count(href.substr(1)), 1u) << "link to a missing section: " << href;
    } else if (href.find("://") == std::string::npos && href.rfind("mailto:", 0) != 0) {
      const std::string file = href.substr(0, href.find('#'));
      EXPECT_TRUE(FileExists(kGuideFolder + file)) << "link to a missing file: " << href;
    }
  }
  EXPECT_GT(links, 10) << "a guide without its table of contents";
  const std::set<std::string> pictures = Matches(html, "<img\\b[^>]*\\bsrc=\"([^\"]+)\"");
  for (const std::string& src : pictures) {
    EXPECT_EQ(src.find("://"), std::string::npos) << "the guide works offline: " << src;
    EXPECT_TRUE(FileExists(kGuideFolder + src)) << "missing picture: " << src;
  }
  // Nothing the guide needs may run: it is read with scripts off.
  EXPECT_EQ(html.find("<script"), std::string::npos);
}

// Each tag shown as code, in a form only that tag has: "[C1]" is a tag of C,
// "[Cut]" is no tag, and "[!K" does not show "[!" alone.
TEST(UserGuide, ShowsEveryTagTheExpanderKnows) {
  const std::string html = ReadGuide();
  ASSERT_FALSE(html.empty());
  // What may follow each head in a tag of its own (as the HTML writes it).
  const std::pair<const char*, const char*> forms[] = {
      {"Y", "[0-9]"},     {"T", "[0-9]"},      {"D", "[0-9]"},     {"H", "[0-9]"},  {"M", "[0-9]"},
      {"S", "[0-9]"},     {"N", "[0-9]"},      {"W", "[0-9]"},     {"\\$", "."},    {"&amp;", "[0-9CLR]"},
      {"/", "\\]"},       {"'", "[^\\]<]"},    {"C", "[0-9]"},     {"#", "[0-9|]"}, {"F", "[0-9]"},
      {"L", "[0-9]"},     {"R", "[0-9]"},      {"B", "[0-9]"},     {"!K", "[0-9ACS\"]"}, {"!D", "\""},
      {"!U", "\""},       {"!W", "[0-9]"},     {"!E", "\""},       {"!M", "[\"\\]]"}, {"!R", "\\]"},
      {"!P", "\\]"},      {"E", "[\\](-]"},    {"V", "[A-Z]"},
  };
  std::map<std::string, std::string> formOf;
  for (const auto& [head, next] : forms) {
    std::string plain = std::regex_replace(std::string(head), std::regex("&amp;"), "&");
    plain = std::regex_replace(plain, std::regex("\\\\"), "");
    formOf[plain] = std::string("<code>\\[") + head + next;
  }
  for (const char* head : hook::kTagHeads) {
    const auto form = formOf.find(head);
    if (form == formOf.end()) {
      ADD_FAILURE() << "no form known here for the tag [" << head << "...]";
      continue;
    }
    EXPECT_TRUE(std::regex_search(html, std::regex(form->second))) << "no code showing the tag [" << head << "...]";
  }
}

std::string ReadSource(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every topic the code can ask for is a constant of help_topics.h, and every
// such constant leads to a section of its own: a number written at a call
// would open the contents without anyone noticing.
TEST(HelpTopics, EveryConstantHasASectionOfItsOwn) {
  const std::string header = ReadSource(std::string(QUILLO_SOURCE_DIR) + "/common/help_topics.h");
  const std::string table = ReadSource(std::string(QUILLO_SOURCE_DIR) + "/app/help/guide_link.cpp");
  ASSERT_FALSE(header.empty());
  std::set<std::string> names = Matches(header, "constexpr int (k\\w+) =");
  names.erase("kDialogTopicBase");
  EXPECT_GE(names.size(), 10u) << "help_topics.h was not read as expected";
  for (const std::string& name : names) {
    EXPECT_NE(table.find("{" + name + ","), std::string::npos) << name << " has no row in the anchor table";
  }
  const std::string contents = AnchorOfTopic(kContents);
  std::set<std::string> seen;
  for (size_t i = 0; i < kTopicAnchorCount; ++i) {
    EXPECT_TRUE(seen.insert(kTopicAnchors[i].anchor).second) << "two topics share " << kTopicAnchors[i].anchor;
    EXPECT_EQ(AnchorOfTopic(kTopicAnchors[i].topic), std::string(kTopicAnchors[i].anchor));
  }
  // A topic nobody gave a row, and the dialog base alone, open the contents.
  EXPECT_EQ(AnchorOfTopic(0), contents);
  EXPECT_EQ(AnchorOfTopic(kDialogTopicBase), contents);
  EXPECT_EQ(AnchorOfTopic(12345), contents);
}

TEST(HelpTopics, NoCallNamesATopicByItsNumber) {
  const std::regex bare(
      "\\b(OpenHelp|OpenGuide|HelpTopicScope|DialogTopic)\\s*\\(\\s*[-+]?\\s*[0-9]"
      "|\\bHelpTopicScope\\s+\\w+\\s*[({]\\s*[-+]?\\s*[0-9]");
  size_t files = 0;
  for (const char* folder : {"app", "hook", "dlgex"}) {
    const std::filesystem::path root = std::filesystem::path(QUILLO_SOURCE_DIR) / folder;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      const std::string ext = entry.path().extension().string();
      if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
      ++files;
      const std::string text = ReadSource(entry.path());
      std::smatch found;
      EXPECT_FALSE(std::regex_search(text, found, bare))
          << entry.path().string() << ": " << found.str() << " (name the topic in help_topics.h)";
    }
  }
  EXPECT_GT(files, 50u) << "the sources were not found under " << QUILLO_SOURCE_DIR;
}

TEST(GuideLink, FileUrlEncodesWhatABrowserWouldMisread) {
  const struct {
    const char* path;
    const char* anchor;
    const char* url;
  } rows[] = {
      {"C:\\Quillo\\guide\\index.html", "options-macro", "file:///C:/Quillo/guide/index.html#options-macro"},
      {"C:\\Quillo\\guide\\index.html", "", "file:///C:/Quillo/guide/index.html"},
      {"c:\\Program Files\\Quillo 2\\guide\\index.html", "contents",
       "file:///c:/Program%20Files/Quillo%202/guide/index.html#contents"},
      // A "#" or "%" in a folder's name is part of the path, not a section.
      {"D:\\C#\\100%\\index.html", "x", "file:///D:/C%23/100%25/index.html#x"},
      // UTF-8 of a Japanese folder name ("ツール"), byte by byte.
      {"C:\\\xE3\x83\x84\xE3\x83\xBC\xE3\x83\xAB\\index.html", "", "file:///C:/%E3%83%84%E3%83%BC%E3%83%AB/index.html"},
      {"\\\\server\\share\\Quillo\\guide\\index.html", "enclose", "file://server/share/Quillo/guide/index.html#enclose"},
      {"Quillo\\guide\\index.html", "x", ""},
      {"\\\\?\\C:\\Quillo\\index.html", "x", ""},
      {"C:index.html", "x", ""},
      {"", "x", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(FileUrl(row.path, row.anchor), row.url) << row.path;
}

TEST(GuideLink, BrowserCommandLinePutsTheAddressWhereTheCommandWantsIt) {
  const std::string url = "file:///C:/Q/guide/index.html#enclose";
  const struct {
    const char* command;
    const char* line;
  } rows[] = {
      {"\"C:\\B\\browser.exe\" -osint -url \"%1\"", "\"C:\\B\\browser.exe\" -osint -url \"file:///C:/Q/guide/index.html#enclose\""},
      {"\"C:\\B\\browser.exe\" %1", "\"C:\\B\\browser.exe\" file:///C:/Q/guide/index.html#enclose"},
      // Chromium takes all after --single-argument verbatim: quotes would be
      // part of the address.
      {"\"C:\\B\\msedge.exe\" --single-argument %1", "\"C:\\B\\msedge.exe\" --single-argument file:///C:/Q/guide/index.html#enclose"},
      {"C:\\B\\browser.exe --single-argument %L", "C:\\B\\browser.exe --single-argument file:///C:/Q/guide/index.html#enclose"},
      {"\"C:\\B\\browser.exe\" \"%1\" %*", "\"C:\\B\\browser.exe\" \"file:///C:/Q/guide/index.html#enclose\" "},
      {"\"C:\\B\\browser.exe\"", "\"C:\\B\\browser.exe\" \"file:///C:/Q/guide/index.html#enclose\""},
      // A percent that is no placeholder stays as it is.
      {"C:\\100%\\b.exe %1", "C:\\100%\\b.exe file:///C:/Q/guide/index.html#enclose"},
      {"", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(BrowserCommandLine(row.command, url), row.line) << row.command;
}

}  // namespace
}  // namespace quillo::help
