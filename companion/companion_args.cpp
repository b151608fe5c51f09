#include "companion_args.h"

#include <cstring>

namespace quillo::companion {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The next blank-separated word of `p`: its start in `word`, its length in
// `length`; `p` moves past it. False at the end.
bool NextWord(const char*& p, const char*& word, size_t& length) {
  while (IsBlank(*p)) ++p;
  if (*p == '\0') return false;
  word = p;
  while (*p != '\0' && !IsBlank(*p)) ++p;
  length = static_cast<size_t>(p - word);
  return true;
}

bool ParseNumber(const char* word, size_t length, uint32_t& value) {
  if (length == 0 || length > 10) return false;
  uint64_t v = 0;
  for (size_t i = 0; i < length; ++i) {
    if (word[i] < '0' || word[i] > '9') return false;
    v = v * 10 + static_cast<uint64_t>(word[i] - '0');
  }
  if (v == 0 || v > 0xFFFFFFFFull) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

bool Is(const char* word, size_t length, const char* option) {
  return length == std::strlen(option) && std::memcmp(word, option, length) == 0;
}

}  // namespace

ArgsResult ParseCompanionArgs(const char* commandLine, CompanionArgs& out) noexcept {
  const char* p = commandLine != nullptr ? commandLine : "";
  const char* word = nullptr;
  size_t length = 0;
  if (!NextWord(p, word, length)) return ArgsResult::kEmpty;
  CompanionArgs args;
  bool haveOwner = false, haveWindow = false;
  do {
    bool* seen = nullptr;
    uint32_t* value = nullptr;
    if (Is(word, length, "--owner")) {
      seen = &haveOwner;
      value = &args.ownerPid;
    } else if (Is(word, length, "--window")) {
      seen = &haveWindow;
      value = &args.window;
    } else {
      return ArgsResult::kBad;
    }
    if (*seen) return ArgsResult::kBad;
    if (!NextWord(p, word, length) || !ParseNumber(word, length, *value)) return ArgsResult::kBad;
    *seen = true;
  } while (NextWord(p, word, length));
  if (!haveOwner || !haveWindow) return ArgsResult::kBad;
  out = args;
  return ArgsResult::kOk;
}

std::string FormatCompanionArgs(const CompanionArgs& args) {
  return "--owner " + std::to_string(args.ownerPid) + " --window " + std::to_string(args.window);
}

}  // namespace quillo::companion
