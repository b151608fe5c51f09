// The 32-bit Quillo.exe reaches 32-bit programs itself: it never starts the
// companion, even with the file beside it, and its tip carries no note.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "deliverable_names.h"
#include "resident_fixture.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

int RunningCompanions() {
  int n = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32 e = {};
  e.dwSize = sizeof e;
  for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e)) {
    if (lstrcmpiA(e.szExeFile, kCompanionExe) == 0) ++n;
  }
  CloseHandle(snap);
  return n;
}

class CompanionNone : public Resident {};

TEST_F(CompanionNone, Quillo32StartsNoCompanionEvenWithTheFileBesideIt) {
  ASSERT_TRUE(CopyFileA((ExeFolder() + "\\" + kCompanionExe).c_str(), folder_.file(kCompanionExe).c_str(), FALSE));
  // The count does see a companion: one held suspended before it runs.
  {
    std::string line = "\"" + folder_.file(kCompanionExe) + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                               folder_.path().c_str(), &si, &pi));
    EXPECT_EQ(RunningCompanions(), 1);
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  Start();
  EXPECT_FALSE(WaitFor([] { return RunningCompanions() > 0; }, 2000)) << "the 32-bit flavor started a companion";
  EXPECT_TRUE(TipBecomes("Quillo"));
}

}  // namespace
}  // namespace quillo::wine
