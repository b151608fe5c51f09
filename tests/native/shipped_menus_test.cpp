// The menu files that ship with the program must read without a message:
// they are the first thing a new user sees.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "menu_file.h"

namespace quillo::hook {
namespace {

std::string ReadShipped(const char* name) {
  std::ifstream in(std::string(QUILLO_SOURCE_DIR) + "/app/menus/" + name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(ShippedMenus, ParseWithoutAnyMessage) {
  for (const char* name : {"MenuTemp.txt", "MenuHelp.txt"}) {
    const std::string file = ReadShipped(name);
    ASSERT_FALSE(file.empty()) << name;
    MenuModel model;
    const MenuFileResult result = ParseMenuFile(file.data(), file.size(), model);
    EXPECT_TRUE(result.ok) << name;
    EXPECT_TRUE(result.messages.empty()) << name << ": message " << result.messages.front().message;
    EXPECT_FALSE(model.bodies.empty()) << name;
  }
}

}  // namespace
}  // namespace quillo::hook
