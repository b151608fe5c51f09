// Each program's string table takes one text per number: two names given
// the same number build without a word, and one of the two texts silently
// shows in place of the other (a refusal on the options sheet once stood in
// for "Typing stopped..."). The numbers are read from the headers of each
// module's sources.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;

// Name by number of every "#define IDS_..." in the headers under `folder`;
// a number given twice is reported in `clashes`.
std::map<long, std::string> StringIds(const fs::path& folder, std::string& clashes) {
  std::map<long, std::string> ids;
  const std::regex define(R"(^\s*#define\s+(IDS_\w+)\s+(\d+))");
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".h") continue;
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      std::smatch m;
      if (!std::regex_search(line, m, define)) continue;
      const long number = std::stol(m[2].str());
      const auto [at, added] = ids.emplace(number, m[1].str());
      if (!added && at->second != m[1].str()) {
        clashes += m[1].str() + " and " + at->second + " are both " + std::to_string(number) + "\n";
      }
    }
  }
  return ids;
}

TEST(StringIds, NoTwoStringsOfAModuleShareANumber) {
  for (const char* module : {"app", "hook", "dlgex", "companion"}) {
    const fs::path folder = fs::path(QUILLO_SOURCE_DIR) / module;
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    std::string clashes;
    const auto ids = StringIds(folder, clashes);
    EXPECT_TRUE(clashes.empty()) << module << ":\n" << clashes;
    if (std::string(module) == "app") EXPECT_GT(ids.size(), 20u) << "the headers were not read";
  }
}

}  // namespace
