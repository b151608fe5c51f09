// The first phase of the text commands as the tag expansion starts them: the
// message to show (0 for none) comes back instead of being shown here, so that
// the expansion reports it like any other failure of a tag.
#pragma once

#include "text_commands/convert.h"

namespace quillo::hook {

// The conversion tables of the running code page: our own for 932 and 1252,
// the system's single-byte case mapping for any other.
ConvRules RulesOfThisSystem() noexcept;

struct TextCommandStart {
  bool ok = false;
  int messageId = 0;
};

// `form` is the whole tag content: "E(xxx)" or, for `disclose`, "E-(xxx)".
TextCommandStart StartEnclose(const char* form, bool disclose) noexcept;
TextCommandStart StartConversion(int kind) noexcept;

}  // namespace quillo::hook
