// The tray icon's state rule, the "Edit Menu File" labels and the editor's command line.
#include "tray_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "code_page.h"

namespace quillo::tray {
namespace {

TEST(TrayIconState, SuspendThenDirectPasteThenSuspendedHistory) {
  struct Row {
    bool suspend, directPaste, suspendHistory;
    int icon;
  } rows[] = {
      {false, false, false, 128}, {true, false, false, 141}, {false, true, false, 143},
      {false, false, true, 142},  {true, true, true, 141},   {true, false, true, 141},
      {false, true, true, 143},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(IconStateFor(r.suspend, r.directPaste, r.suspendHistory), r.icon)
        << r.suspend << r.directPaste << r.suspendHistory;
  }
}

TEST(TrayEditMenuLabel, TenSetsAmpersandTabAndMissingBackslash) {
  struct Row {
    int index;
    const char* path;
    bool listed;
    const char* label;
  } rows[] = {
      {0, "C:\\Quillo\\MenuItem.txt", true, "&1: MenuItem.txt"},
      {8, "C:\\Quillo\\Nine.txt", true, "&9: Nine.txt"},
      {9, "C:\\Quillo\\Ten.txt", true, "1&0: Ten.txt"},
      {1, "C:\\A&B\\Tom&&Jerry.txt", true, "&2: Tom  Jerry.txt"},
      {2, "C:\\Q\\Left\tRight.txt", true, "&3: Left"},
      {3, "C:\\Q\\", true, "&4: "},
      {4, "MenuItem.txt", false, ""},
      {10, "C:\\Q\\Eleven.txt", false, ""},
      {-1, "C:\\Q\\Minus.txt", false, ""},
  };
  for (const auto& r : rows) {
    std::string label;
    EXPECT_EQ(MakeEditMenuLabel(r.index, r.path, label), r.listed) << r.path;
    if (r.listed) EXPECT_EQ(label, r.label) << r.path;
  }
}

TEST(TrayEditMenuLabel, EightyBytesKeepADoubleByteCharacterWhole_Cp932) {
  testing::ScopedCodePage cp(932);
  auto repeat = [](const char* piece, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += piece;
    return out;
  };
  struct Row {
    std::string name;
    std::string shown;
  } rows[] = {
      // 79 single bytes, then a character whose trail byte is 0x5C: it starts
      // within the 80 bytes and is kept whole (81 bytes shown).
      {std::string(79, 'a') + "\x95\x5c" + "tail", std::string(79, 'a') + "\x95\x5c"},
      // Exactly 80 bytes of double-byte characters, then one more.
      {repeat("\x82\xa0", 41), repeat("\x82\xa0", 40)},
      {std::string(100, 'b'), std::string(80, 'b')},
  };
  for (const auto& r : rows) {
    std::string label;
    ASSERT_TRUE(MakeEditMenuLabel(0, ("C:\\\x95\x5c\\" + r.name).c_str(), label));
    EXPECT_EQ(label, "&1: " + r.shown);
  }
  // A 0x5C trail byte in the last folder name is no separator.
  std::string label;
  ASSERT_TRUE(MakeEditMenuLabel(0, "C:\\Menus\\\x95\x5c.txt", label));
  EXPECT_EQ(label, "&1: \x95\x5c.txt");
}

TEST(TrayEditorCommandLine, EditorAndFileQuoted) {
  EXPECT_EQ(MakeEditorCommandLine("Notepad.exe", "C:\\Quillo\\Scratch.txt"),
            "\"Notepad.exe\" \"C:\\Quillo\\Scratch.txt\"");
  EXPECT_EQ(MakeEditorCommandLine("C:\\Program Files\\Ed\\ed.exe", "C:\\My Menus\\a b.txt"),
            "\"C:\\Program Files\\Ed\\ed.exe\" \"C:\\My Menus\\a b.txt\"");
}

}  // namespace
}  // namespace quillo::tray
