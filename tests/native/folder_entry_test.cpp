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

}  // namespace
}  // namespace quillo::dlgex
