// Feeds arbitrary form notations and selections to the text commands: the
// first byte picks the code page and the conversion, the rest is split at the
// first 0x01 into a form notation and a text. The checks are the promises of
// the walk and the conversions: the size asked for is the size used, and no
// output passes its block.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "code_page.h"
#include "text_commands/convert.h"
#include "text_commands/enclose.h"

using namespace quillo::hook;

namespace {

void CheckWalk(const std::string& text, const EncloseForm& form, bool disclose) {
  const size_t bytes = disclose ? DisclosedTextBytes(text.c_str(), form.head, form.tail, form.eachLine)
                                : EnclosedTextBytes(text.c_str(), form.head, form.tail, form.eachLine);
  std::vector<char> out(bytes);
  const bool ok = disclose ? DiscloseLines(text.c_str(), form.head, form.tail, form.eachLine, out.data(), bytes)
                           : EncloseLines(text.c_str(), form.head, form.tail, form.eachLine, out.data(), bytes);
  if (!ok || std::strlen(out.data()) + 1 != bytes) std::abort();
  // One byte less must be refused, never overrun.
  if (bytes > 1) {
    std::vector<char> small(bytes - 1);
    if (EncloseLines(text.c_str(), form.head, form.tail, form.eachLine, small.data(), small.size()) && !disclose) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int codePage = (data[0] & 1) ? 932 : 1252;
  const int modes[] = {1, 2, 3, 4, 5, 6, 7, 10, 11, 0, 8};
  const int mode = modes[(data[0] >> 1) % (sizeof modes / sizeof modes[0])];
  quillo::testing::ScopedCodePage cp(codePage);
  std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  rest = rest.c_str();  // texts end at their first zero, as on the clipboard
  const size_t split = rest.find('\x01');
  const std::string notation = split == std::string::npos ? rest : rest.substr(0, split);
  const std::string text = split == std::string::npos ? rest : rest.substr(split + 1);

  EncloseForm form;
  if (ParseEncloseForm(notation.c_str(), form) != FormParse::kBadFormat) {
    if (std::strlen(form.head) >= kEncloseFormBytes || std::strlen(form.tail) >= kEncloseFormBytes) std::abort();
    CheckWalk(text, form, false);
    CheckWalk(text, form, true);
  }

  ConvRules rules;
  rules.codePage = codePage;
  rules.singleByte = codePage == 1252 ? &CaseTable1252() : &AsciiCaseTable();
  // The block the second phase allocates, and a guard behind it.
  const size_t bytes = ConvertedTextBytes(text.size());
  std::vector<char> out(bytes + 8, '\x7f');
  size_t written = 0;
  ConvertText(mode, text.data(), text.size(), out.data(), bytes, rules, &written);
  if (written >= bytes || out[written] != '\0' || std::strlen(out.data()) != written) std::abort();
  for (size_t i = bytes; i < out.size(); ++i) {
    if (out[i] != '\x7f') std::abort();
  }
  return 0;
}
