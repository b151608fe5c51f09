#include "code_page.h"

#include "dbcs.h"

namespace quillo {
namespace {
int g_codePage = 1252;
}

namespace text {
bool IsLeadByte(unsigned char c) {
  return g_codePage == 932 && ((c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc));
}
}  // namespace text

namespace testing {
void SetCodePage(int codePage) { g_codePage = codePage; }
ScopedCodePage::ScopedCodePage(int codePage) : saved_(g_codePage) { g_codePage = codePage; }
ScopedCodePage::~ScopedCodePage() { g_codePage = saved_; }
}  // namespace testing
}  // namespace quillo
