// The user's guide that Help opens: every place Help can lead to exists in it,
// its links and pictures resolve, and it describes every tag the expander
// knows. Also the address a browser is given for it.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>

#include "help/guide_link.h"
#include "help_topics.h"
#include "history_editor/history_editor_resource.h"
#include "options/options_res.h"
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

// The text as a reader sees it: tags dropped, the entities the guide uses read.
std::string VisibleText(const std::string& html) {
  std::string text = std::regex_replace(html, std::regex("<[^>]*>"), "");
  const std::pair<const char*, const char*> entities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, character] : entities) {
    for (size_t at = 0; (at = text.find(entity, at)) != std::string::npos; at += 1) {
      text.replace(at, std::string(entity).size(), character);
    }
  }
  return text;
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

TEST(UserGuide, ShowsEveryTagTheExpanderKnows) {
  const std::string text = VisibleText(ReadGuide());
  ASSERT_FALSE(text.empty());
  for (const char* head : hook::kTagHeads) {
    EXPECT_NE(text.find(std::string("[") + head), std::string::npos) << "no word of the tag [" << head << "...]";
  }
}

TEST(HelpTopics, EveryDialogWithHelpLeadsToItsOwnSection) {
  const int dialogs[] = {IDD_HISTORY_EDITOR, IDD_OPTIONS_GENERAL, IDD_OPTIONS_CUSTOM, IDD_OPTIONS_STACK,
                         IDD_OPTIONS_MACRO, IDD_OPTIONS_FILEDLGEX};
  const std::string contents = AnchorOfTopic(kContents);
  std::set<std::string> seen;
  for (const int topic : {kScratchFile, kEncloseForm, kDiscloseForm}) {
    EXPECT_NE(AnchorOfTopic(topic), contents) << topic;
    EXPECT_TRUE(seen.insert(AnchorOfTopic(topic)).second) << topic;
  }
  for (const int dialog : dialogs) {
    EXPECT_NE(AnchorOfTopic(DialogTopic(dialog)), contents) << dialog;
    EXPECT_TRUE(seen.insert(AnchorOfTopic(DialogTopic(dialog))).second) << dialog;
  }
  // A topic nobody gave a row, and the dialog base alone, open the contents.
  EXPECT_EQ(AnchorOfTopic(0), contents);
  EXPECT_EQ(AnchorOfTopic(kDialogTopicBase), contents);
  EXPECT_EQ(AnchorOfTopic(12345), contents);
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
      {"\"C:\\B\\browser.exe\" %1", "\"C:\\B\\browser.exe\" \"file:///C:/Q/guide/index.html#enclose\""},
      {"C:\\B\\browser.exe --single-argument %L", "C:\\B\\browser.exe --single-argument \"file:///C:/Q/guide/index.html#enclose\""},
      {"\"C:\\B\\browser.exe\" \"%1\" %*", "\"C:\\B\\browser.exe\" \"file:///C:/Q/guide/index.html#enclose\" "},
      {"\"C:\\B\\browser.exe\"", "\"C:\\B\\browser.exe\" \"file:///C:/Q/guide/index.html#enclose\""},
      // A percent that is no placeholder stays as it is.
      {"C:\\100%\\b.exe %1", "C:\\100%\\b.exe \"file:///C:/Q/guide/index.html#enclose\""},
      {"", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(BrowserCommandLine(row.command, url), row.line) << row.command;
}

}  // namespace
}  // namespace quillo::help
