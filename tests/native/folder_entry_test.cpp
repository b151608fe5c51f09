// The folder menus' entry labels and the shape of a dialog's answer, in code
// pages 1252 and 932.
#include "folder_entry.h"

#include <gtest/gtest.h>

#include <string>

#include "code_page.h"

namespace quillo::dlgex {
namespace {

using quillo::testing::ScopedCodePage;

std::string Label(size_t position, const std::string& folder) {
  char out[kLabelBytes];
  FormatEntryLabel(position, folder.c_str(), out);
  return out;
}

std::string Back(const std::string& label) {
  char out[kFolderBytes];
  return FolderOfEntryLabel(label.c_str(), out) ? std::string(out) : std::string("<none>");
}

TEST(FolderEntryLabel, AmpersandsAreDoubledAndComeBackSingle) {
  ScopedCodePage cp(1252);
  struct Row {
    size_t position;
    std::string folder, label;
  } rows[] = {
      {0, "C:\\Data", "&1 C:\\Data"},
      {8, "C:\\Ninth", "&9 C:\\Ninth"},
      {9, "C:\\Tenth", "&0 C:\\Tenth"},
      {0, "C:\\R&D", "&1 C:\\R&&D"},
      {1, "C:\\&&&", "&2 C:\\&&&&&&"},
      {2, "&", "&3 &&"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Label(r.position, r.folder), r.label) << r.folder;
    EXPECT_EQ(Back(r.label), r.folder) << r.label;
  }
}

TEST(FolderEntryLabel, TheLongestFolderOfAmpersandsFitsAndComesBackWhole) {
  ScopedCodePage cp(1252);
  const std::string folder(kFolderBytes - 1, '&');
  const std::string label = Label(0, folder);
  EXPECT_EQ(label.size(), kLabelBytes - 1);
  EXPECT_EQ(Back(label), folder);
  // One byte more than a folder holds is cut, never written past the label.
  EXPECT_EQ(Back(Label(0, folder + "&")), folder);
}

TEST(FolderEntryLabel, ShiftJisTrailBytesAreNotTakenForAmpersandsOrCut) {
  ScopedCodePage cp(932);
  // 表 is 0x95 0x5C; "&" (0x26) cannot be a trail byte, but a lead byte at
  // the cut must take its trail byte with it or be left out.
  const std::string folder = "C:\\\x95\x5c&\x83\x5c";
  EXPECT_EQ(Label(3, folder), "&4 C:\\\x95\x5c&&\x83\x5c");
  EXPECT_EQ(Back(Label(3, folder)), folder);
  std::string longFolder(kFolderBytes - 2, 'x');
  longFolder += "\x95\x5c";  // the last character would end one byte past a folder's room
  const std::string back = Back(Label(0, longFolder));
  EXPECT_EQ(back, std::string(kFolderBytes - 2, 'x'));
}

TEST(FolderEntryLabel, ALabelWithNothingAfterItsPrefixHasNoFolder) {
  ScopedCodePage cp(1252);
  EXPECT_EQ(Back("&1 "), "<none>");
  EXPECT_EQ(Back(""), "<none>");
  EXPECT_EQ(Back("&1 R&D"), "R&D") << "a single & made elsewhere stays";
  EXPECT_EQ(Back("&1 " + std::string(kFolderBytes, 'y')), "<none>") << "does not fit a folder";
}

TEST(FileListShape, OneFileSeveralFilesAndBuffersWithoutTheirEnd) {
  struct Row {
    const char* what;
    std::string buffer;
    size_t firstLength;
    bool terminated, more;
  } rows[] = {
      {"one file", std::string("C:\\Dir\\a.txt\0\0\0", 15), 12, true, false},
      {"several files", std::string("C:\\Dir\0a.txt\0b.txt\0\0", 20), 6, true, true},
      {"one file, buffer ends at its NUL", std::string("C:\\a\0", 5), 4, true, false},
      {"no NUL within the buffer", std::string("C:\\abc", 6), 6, false, false},
      {"empty", std::string("\0\0", 2), 0, true, false},
      {"a size in the first two bytes", std::string("\x2c\x01\0", 3), 2, true, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const FileListShape s = ShapeOfFileList(r.buffer.data(), r.buffer.size());
    EXPECT_EQ(s.firstLength, r.firstLength);
    EXPECT_EQ(s.terminated, r.terminated);
    EXPECT_EQ(s.more, r.more);
  }
  // The wide kind, 16-bit characters.
  const char16_t wide[] = u"C:\\Dir\0a.txt\0";
  const FileListShape w = ShapeOfFileList(wide, sizeof wide / sizeof wide[0]);
  EXPECT_EQ(w.firstLength, 6u);
  EXPECT_TRUE(w.more);
}

// The folder of a dialog's answer goes to where the dialog says the first
// name begins; rows: the buffer, that offset, the folder recorded.
TEST(AnswerFolder, TheFolderEndsWhereTheDialogSaysTheFirstNameBegins) {
  ScopedCodePage cp(1252);
  struct Row {
    const char* what;
    std::string buffer;
    size_t offset;
    std::string folder;  // "<none>": nothing is recorded
  } rows[] = {
      {"one file", std::string("C:\\Dir\\a.txt\0", 13), 7, "C:\\Dir"},
      {"one file at a drive's root", std::string("C:\\a.txt\0", 9), 3, "C:\\"},
      {"one file on a share", std::string("\\\\srv\\share\\a.txt\0", 18), 12, "\\\\srv\\share"},
      {"several files, newer dialog", std::string("C:\\Dir\0a.txt\0b.txt\0\0", 20), 7, "C:\\Dir"},
      {"several files at a root, newer dialog", std::string("C:\\\0a.txt\0b.txt\0\0", 17), 4, "C:\\"},
      {"several files, older dialog", std::string("C:\\Dir a.txt b.txt\0", 19), 7, "C:\\Dir"},
      {"several files at a root, older dialog", std::string("C:\\ a.txt b.txt\0", 16), 4, "C:\\"},
      {"one file chosen where several were allowed", std::string("C:\\Dir\\a.txt\0\0", 14), 7, "C:\\Dir"},
      {"no offset", std::string("C:\\Dir\\a.txt\0", 13), 0, "<none>"},
      {"offset not after a separator", std::string("C:\\Dir\\a.txt\0", 13), 5, "<none>"},
      {"offset at the first string's end", std::string("C:\\Dir\\a.txt\0", 13), 12, "<none>"},
      {"offset past the NUL with no name there", std::string("C:\\Dir\\a.txt\0\0", 14), 13, "<none>"},
      {"offset beyond the buffer", std::string("C:\\Dir\\a.txt\0", 13), 400, "<none>"},
      {"no NUL within the buffer", std::string("C:\\Dir\\a.txt", 12), 7, "<none>"},
      {"a size the dialog wrote for a buffer too small", std::string("\x2c\x01\0", 3), 1, "<none>"},
      {"nothing before the separator", std::string("\\a.txt\0", 7), 1, "<none>"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const size_t n = AnswerFolderLength(r.buffer.data(), r.buffer.size(), r.offset);
    EXPECT_EQ(n == 0 ? std::string("<none>") : r.buffer.substr(0, n), r.folder);
  }
  // The wide kind counts the offset in 16-bit characters.
  const char16_t wide[] = u"C:\\Dir\0a.txt\0b.txt\0";
  EXPECT_EQ(AnswerFolderLength(wide, sizeof wide / sizeof wide[0], 7), 6u);
  const char16_t wideOld[] = u"D:\\Work a.txt b.txt";
  EXPECT_EQ(AnswerFolderLength(wideOld, sizeof wideOld / sizeof wideOld[0], 8), 7u);
}

TEST(AnswerFolder, AShiftJisTrailByteIsNotTakenForTheBackslashBeforeTheName) {
  ScopedCodePage cp(932);
  // 表 is 0x95 0x5C: an offset just after it follows no separator.
  const std::string buffer("C:\\\x95\x5c\\a.txt\0", 12);
  EXPECT_EQ(AnswerFolderLength(buffer.data(), buffer.size(), 5), 0u);
  EXPECT_EQ(AnswerFolderLength(buffer.data(), buffer.size(), 6), 5u);
}

// Only a folder given from a root is checked and typed: the process and the
// dialog would each take any other against a current folder of their own.
TEST(QualifiedFolder, OnlyADrivesRootOrAShareStartsAFolderOfItsOwn) {
  ScopedCodePage cp(1252);
  struct Row {
    const char* path;
    bool qualified;
  } rows[] = {
      {"C:\\Work", true},   {"c:\\", true},        {"Z:/Work", true},       {"\\\\srv\\share", true},
      {"\\\\srv\\share\\Work", true}, {"\\\\?\\C:\\Work", true},
      {"Work", false},      {"D:", false},         {"D:Work", false},       {"..\\x", false},
      {".\\x", false},      {"\\x", false},        {"\\\\", false},         {"\\\\srv", false},
      {"\\\\srv\\", false}, {"\\\\\\share", false}, {"", false},           {"1:\\x", false},
  };
  for (const Row& r : rows) EXPECT_EQ(IsFullyQualifiedFolder(r.path), r.qualified) << r.path;
}

TEST(QualifiedFolder, AShiftJisTrailByteInAServersNameIsNoSeparator) {
  ScopedCodePage cp(932);
  // "\\表" : the server's name is one double-byte character ending in 0x5C, and no share follows.
  EXPECT_FALSE(IsFullyQualifiedFolder("\\\\\x95\x5c"));
  EXPECT_TRUE(IsFullyQualifiedFolder("\\\\\x95\x5c\\s"));
}

}  // namespace
}  // namespace quillo::dlgex
