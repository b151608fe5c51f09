// The companion's command line: only what the owner writes is accepted.
#include "companion_args.h"

#include <gtest/gtest.h>

namespace quillo::companion {
namespace {

TEST(CompanionArgs, AcceptsBothOptionsInEitherOrder) {
  struct Row {
    const char* line;
    uint32_t pid, window;
  } rows[] = {
      {"--owner 264 --window 65642", 264, 65642},
      {"--window 65642 --owner 264", 264, 65642},
      {"  --owner\t7   --window 9 \t", 7, 9},
      {"--owner 4294967295 --window 4294967295", 0xFFFFFFFFu, 0xFFFFFFFFu},
      {"--owner 0000000001 --window 1", 1, 1},
  };
  for (const auto& r : rows) {
    CompanionArgs a;
    ASSERT_EQ(ParseCompanionArgs(r.line, a), ArgsResult::kOk) << r.line;
    EXPECT_EQ(a.ownerPid, r.pid) << r.line;
    EXPECT_EQ(a.window, r.window) << r.line;
  }
}

TEST(CompanionArgs, NothingAtAllIsAStartByHand) {
  CompanionArgs a;
  EXPECT_EQ(ParseCompanionArgs(nullptr, a), ArgsResult::kEmpty);
  EXPECT_EQ(ParseCompanionArgs("", a), ArgsResult::kEmpty);
  EXPECT_EQ(ParseCompanionArgs(" \t ", a), ArgsResult::kEmpty);
}

TEST(CompanionArgs, RefusesEverythingElseAndKeepsTheOutputUntouched) {
  const char* rows[] = {
      "--owner 264",                              // window missing
      "--window 65642",                           // owner missing
      "--owner 264 --window",                     // number missing
      "--owner --window 65642",                   // an option where the number goes
      "--owner 264 --window 65642 --owner 264",   // twice
      "--owner 264 --window 65642 extra",         // more
      "--owner 0 --window 65642",                 // no process has id 0
      "--owner 264 --window 0",                   // nor a window handle 0
      "--owner 4294967296 --window 1",            // over 32 bits
      "--owner 99999999999 --window 1",           // eleven digits
      "--owner -5 --window 1",                    // a sign
      "--owner 0x10 --window 1",                  // hexadecimal
      "--owner 12a --window 1",                   // a letter after the digits
      "--Owner 264 --window 65642",               // options are written in lower case
      "-owner 264 -window 65642",
      "/?",
  };
  for (const char* line : rows) {
    CompanionArgs a;
    a.ownerPid = 11;
    a.window = 12;
    EXPECT_EQ(ParseCompanionArgs(line, a), ArgsResult::kBad) << line;
    EXPECT_EQ(a.ownerPid, 11u) << line;
    EXPECT_EQ(a.window, 12u) << line;
  }
}

TEST(CompanionArgs, WhatTheOwnerWritesIsReadBack) {
  const CompanionArgs rows[] = {{1, 1}, {264, 65642}, {0xFFFFFFFFu, 0x80000000u}};
  for (const auto& r : rows) {
    CompanionArgs back;
    const std::string line = FormatCompanionArgs(r);
    ASSERT_EQ(ParseCompanionArgs(line.c_str(), back), ArgsResult::kOk) << line;
    EXPECT_EQ(back.ownerPid, r.ownerPid) << line;
    EXPECT_EQ(back.window, r.window) << line;
  }
}

}  // namespace
}  // namespace quillo::companion
