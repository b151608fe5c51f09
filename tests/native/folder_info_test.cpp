// The folder information file: reading hand-edited files, writing them back,
// and the names of the files, in code pages 1252 and 932.
#include "folder_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "code_page.h"

namespace quillo::dlgex {
namespace {

using quillo::testing::ScopedCodePage;

struct Read {
  std::vector<std::string> history, shortcuts;
  bool tooLong;
};

Read ReadText(const std::string& bytes, size_t chunk = 0) {
  hook::MemorySource src(bytes.data(), bytes.size(), chunk);
  FolderLists lists;
  ReadFolderInfo(src, bytes.size(), lists);
  Read r{{}, {}, lists.lineTooLong};
  for (size_t i = 0; i < lists.history.count; ++i) r.history.emplace_back(lists.history.paths[i]);
  for (size_t i = 0; i < lists.shortcuts.count; ++i) r.shortcuts.emplace_back(lists.shortcuts.paths[i]);
  return r;
}

std::string Write(const char* newFolder, std::vector<const char*> history, std::vector<const char*> shortcuts) {
  std::string out(kMaxFileBytes, '\0');
  const size_t n = FormatFolderInfo(newFolder, history.data(), history.size(), shortcuts.data(),
                                    shortcuts.size(), out.data());
  out.resize(n);
  return out;
}

using Lines = std::vector<std::string>;

TEST(FolderInfoRead, ClassifiesEachLine) {
  struct Row {
    const char* text;
    Lines history, shortcuts;
  } rows[] = {
      {"DirHist | C:\\Data\r\n", {"C:\\Data"}, {}},
      {"dirreg|D:\\Work\r\n", {}, {"D:\\Work"}},
      {"DIRHIST|  C:\\a b  \n", {"C:\\a b"}, {}},
      {"; DirHist | C:\\x\r\n= DirHist | C:\\y\r\n\r\n   \r\n", {}, {}},
      {"DirReg | \r\nDirHist |\r\n", {}, {}},              // empty paths
      {"DirHist C:\\x\r\nOther | C:\\y\r\n", {}, {}},      // no bar, unknown key
      {"  DirHist | C:\\a|b\r\n", {"C:\\a|b"}, {}},         // the first bar splits
      {"DirReg | R1\r\nDirHist | H1\r\nDirReg | R2\r\n", {"H1"}, {"R1", "R2"}},
      {"DirHist | C:\\last", {"C:\\last"}, {}},             // no line end
      {"DirHist | C:\\z\r\n\x1a", {"C:\\z"}, {}},           // Ctrl-Z at the end
      {"DirHist | C:\\z\x1a", {"C:\\z"}, {}},
      {"\tDirHist\t|\tC:\\t\v\r\n", {"C:\\t"}, {}},
  };
  for (const Row& r : rows) {
    const Read got = ReadText(r.text);
    EXPECT_EQ(got.history, r.history) << r.text;
    EXPECT_EQ(got.shortcuts, r.shortcuts) << r.text;
    EXPECT_FALSE(got.tooLong) << r.text;
  }
}

TEST(FolderInfoRead, KeepsTheFirstTenOfEachKind) {
  std::string text;
  for (int i = 1; i <= 12; ++i) text += "DirHist | H" + std::to_string(i) + "\r\nDirReg | R" + std::to_string(i) + "\r\n";
  const Read got = ReadText(text);
  ASSERT_EQ(got.history.size(), 10u);
  ASSERT_EQ(got.shortcuts.size(), 10u);
  EXPECT_EQ(got.history.front(), "H1");
  EXPECT_EQ(got.history.back(), "H10");
  EXPECT_EQ(got.shortcuts.back(), "R10");
}

TEST(FolderInfoRead, AnOverlongLineIsPassedOverAndTheFoldersAfterItAreKept) {
  const std::string longLine = "DirHist | C:\\" + std::string(300, 'x') + "\r\n";
  const Read got = ReadText("DirHist | A\r\n" + longLine + "DirHist | B\r\n" + longLine + "DirReg | C\r\n");
  EXPECT_TRUE(got.tooLong);
  EXPECT_EQ(got.history, (Lines{"A", "B"}));
  EXPECT_EQ(got.shortcuts, (Lines{"C"}));
  // Only an overlong line counts: 257 bytes and the CR are the limit.
  const std::string atLimit = "DirReg | " + std::string(248, 'y');
  const Read ok = ReadText(atLimit + "\r\n");
  EXPECT_FALSE(ok.tooLong);
  EXPECT_EQ(ok.shortcuts, (Lines{std::string(248, 'y')}));
  EXPECT_TRUE(ReadText("DirReg | " + std::string(249, 'y') + "\r\nDirReg | D\r\n").tooLong);
  EXPECT_TRUE(ReadText(longLine.substr(0, 290)).tooLong);  // overlong last line without LF
}

TEST(FolderInfoRead, TheSameListsWhateverTheChunksAcrossThe4096ByteWindow) {
  std::string text = "; Folder History\r\n";
  for (int i = 0; i < 40; ++i) text += "; " + std::string(200, 'c') + "\r\n";
  text += "DirHist | " + std::string(230, 'h') + "\r\n";  // crosses the first window edge
  for (int i = 0; i < 20; ++i) text += "= " + std::string(150, 'e') + "\r\n";
  text += "DirHist | C:\\" + std::string(400, 'x') + "\r\nDirReg | end\r\n";
  ASSERT_GT(text.size(), 2 * hook::LineReader::kWindowSize);
  const Read whole = ReadText(text);
  EXPECT_EQ(whole.history, (Lines{std::string(230, 'h')}));
  EXPECT_EQ(whole.shortcuts, (Lines{"end"}));
  EXPECT_TRUE(whole.tooLong);
  for (size_t chunk : {1u, 7u, 255u, 4095u}) {
    const Read got = ReadText(text, chunk);
    EXPECT_EQ(got.history, whole.history) << chunk;
    EXPECT_EQ(got.shortcuts, whole.shortcuts) << chunk;
    EXPECT_TRUE(got.tooLong) << chunk;
  }
}

TEST(FolderInfoRead, TrimsTheIdeographicSpaceOnlyInCodePage932) {
  // 0x81 0x40 is the ideographic space; 0x95 0x5C is a character whose trail
  // byte is a backslash, and 0x83 0x7C one whose trail byte is a bar.
  const std::string text = "DirHist |\x81\x40" "C:\\\x95\x5C\x81\x40\r\nDirReg\x81\x40| \x83\x7C|x\r\n";
  {
    ScopedCodePage cp(932);
    const Read got = ReadText(text);
    EXPECT_EQ(got.history, (Lines{"C:\\\x95\x5C"}));
    EXPECT_EQ(got.shortcuts, (Lines{"\x83\x7C|x"}));
  }
  {
    ScopedCodePage cp(1252);
    const Read got = ReadText(text);
    EXPECT_EQ(got.history, (Lines{"\x81@C:\\\x95\\\x81@"}));
    EXPECT_TRUE(got.shortcuts.empty());  // the key "DirReg\x81@" is no key
  }
}

TEST(FolderInfoWrite, NewFolderOnTopWithoutItsOlderCopy) {
  EXPECT_EQ(Write("C:\\data", {"D:\\x", "c:\\DATA", "E:\\y"}, {"F:\\r"}),
            "; Folder History\r\nDirHist | C:\\data\r\nDirHist | D:\\x\r\nDirHist | E:\\y\r\n"
            "\r\n; Folder Shortcut\r\nDirReg | F:\\r\r\n");
  EXPECT_EQ(Write("", {}, {}), "; Folder History\r\n\r\n; Folder Shortcut\r\n");
  EXPECT_EQ(Write("C:\\", {"C:\\"}, {}), "; Folder History\r\nDirHist | C:\\\r\n\r\n; Folder Shortcut\r\n");
}

TEST(FolderInfoWrite, TenLinesOfEachKindAtMost) {
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) names.push_back("C:\\f" + std::to_string(i));
  std::vector<const char*> p;
  for (auto& n : names) p.push_back(n.c_str());
  const Read back = ReadText(Write("C:\\new", p, p));
  ASSERT_EQ(back.history.size(), 10u);
  EXPECT_EQ(back.history[0], "C:\\new");
  EXPECT_EQ(back.history[9], "C:\\f8");
  ASSERT_EQ(back.shortcuts.size(), 10u);
  EXPECT_EQ(back.shortcuts[9], "C:\\f9");
  const std::string text = Write("C:\\new", p, p);
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(lines, 1u + 10u + 1u + 1u + 10u);
}

TEST(FolderInfoWrite, NeverWritesALineTheReaderWouldRefuse) {
  const std::string h247(247, 'h'), h248(248, 'h'), r248(248, 'r'), r249(249, 'r');
  const std::string text = Write(h248.c_str(), {h247.c_str(), "  ", h248.c_str()}, {r248.c_str(), r249.c_str(), ""});
  const Read back = ReadText(text);
  EXPECT_FALSE(back.tooLong);
  EXPECT_EQ(back.history, (Lines{h247}));
  EXPECT_EQ(back.shortcuts, (Lines{r248}));
}

TEST(FolderInfoNames, FolderOfAChosenFile) {
  struct Row {
    const char* path;
    const char* folder;
  } rows[] = {
      {"C:\\Data\\a.txt", "C:\\Data"}, {"C:\\a.txt", "C:\\"}, {"a.txt", "a.txt"},
      {"\\\\srv\\share\\f", "\\\\srv\\share"}, {"C:\\Data\\", "C:\\Data"},
  };
  for (const Row& r : rows) {
    char out[kFolderBytes];
    FolderOfFile(r.path, out);
    EXPECT_STREQ(out, r.folder) << r.path;
  }
  ScopedCodePage cp(932);
  char out[kFolderBytes];
  FolderOfFile("C:\\\x95\x5C\\f.txt", out);  // the trail byte 0x5C is no backslash
  EXPECT_STREQ(out, "C:\\\x95\x5C");
}

TEST(FolderInfoNames, PerProgramFileName) {
  struct Row {
    const char* module;
    const char* file;
  } rows[] = {
      {"C:\\WINDOWS\\NOTEPAD.EXE", "Notepad.txt"}, {"c:\\x\\my.app.exe", "My.app.txt"},
      {"C:\\bin\\tool", "Tool.txt"}, {"WRITE.EXE", "Write.txt"}, {"C:\\p\\7zip.exe", "7zip.txt"},
  };
  for (const Row& r : rows) {
    char out[kFolderBytes];
    ProgramFileName(r.module, out);
    EXPECT_STREQ(out, r.file) << r.module;
  }
  ScopedCodePage cp(932);
  char out[kFolderBytes];
  ProgramFileName("C:\\\x95\x5C\\\x83\x41" "AB.EXE", out);  // a double-byte first character stays
  EXPECT_STREQ(out, "\x83\x41" "ab.txt");
}

}  // namespace
}  // namespace quillo::dlgex
