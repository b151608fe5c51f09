// Native stand-in for the system's lead-byte test: tests pick the code page.
#pragma once

namespace quillo::testing {

// 1252 (no lead bytes) or 932 (Shift-JIS). The default is 1252.
void SetCodePage(int codePage);

// Sets a code page for the lifetime of a scope.
class ScopedCodePage {
 public:
  explicit ScopedCodePage(int codePage);
  ~ScopedCodePage();

 private:
  int saved_;
};

}  // namespace quillo::testing
