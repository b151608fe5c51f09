// The largest menu file the format allows, for the figures of the parser and
// of the menu it builds: 1023 items in 31 groups of three nested levels, a
// third of them with 20-line bodies of 250 characters, the rest with
// 240-character single-line bodies, plus separators, column breaks and a
// 30-row simple menu.
#pragma once

#include <string>

namespace quillo::testing {

inline std::string LargestMenuFile() {
  std::string f;
  f.reserve(2u << 20);
  const std::string line(250, 'L');
  const std::string body(240, 'b');
  int item = 0;
  auto items = [&](int n) {
    for (int i = 0; i < n; ++i, ++item) {
      if (i == 5) f += "-\n";
      if (i == 8) f += "--\n";
      if (item % 3 == 0) {
        f += "Item " + std::to_string(item) + "|\n";
        for (int k = 0; k < 20; ++k) f += line + "\n";
        f += "/E\n";
      } else {
        f += "Item " + std::to_string(item) + "|" + body + "\n";
      }
    }
  };
  f += "*Table\n";
  for (int r = 0; r < 30; ++r) f += "a|b|c|d|e\n";
  f += "..\n";
  for (int g = 0; g < 31; ++g) {
    f += "+Group " + std::to_string(g) + "\n";
    items(11);
    f += "+Inner\n";
    items(11);
    f += "+Deep\n";
    items(11);
    f += "..\n..\n..\n";
  }
  return f;
}

}  // namespace quillo::testing
