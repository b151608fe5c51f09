// The built libraries are fit to be loaded into every process on the desktop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "pe_imports.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

bool IsSystemDll(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  static const char* const kSystem[] = {
      "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "comdlg32.dll",
      "comctl32.dll", "imm32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll", "shlwapi.dll",
      "version.dll"};
  return std::any_of(std::begin(kSystem), std::end(kSystem), [&](const char* s) { return name == s; });
}

TEST(Binaries, LibrariesImportOnlySystemDllsAndReportTheirSizes) {
  for (const char* dll : {kHookDll, kDlgExDll}) {
    const auto bytes = ReadFileBytes(ExeFolder() + "\\" + dll);
    ASSERT_FALSE(bytes.empty()) << dll;
    std::vector<std::string> imports;
    int bits = 0;
    ASSERT_TRUE(ReadPeImports(bytes, imports, &bits)) << dll << " is not a PE image";
    EXPECT_EQ(bits, kFlavorBits) << dll << " is not of this build's flavor";
    EXPECT_FALSE(imports.empty()) << dll;
    for (const auto& imp : imports) EXPECT_TRUE(IsSystemDll(imp)) << dll << " imports " << imp;
    std::printf("[ size ] %s: %zu bytes, imports", dll, bytes.size());
    for (const auto& imp : imports) std::printf(" %s", imp.c_str());
    std::printf("\n");
    RecordProperty(std::string(dll) + "_bytes", static_cast<int>(bytes.size()));
  }
  EXPECT_LT(ReadFileBytes(ExeFolder() + "\\" + kHookDll).size(), 300u * 1024);
}

TEST(Binaries, ImportReaderRejectsWhatIsNotAnImage) {
  std::vector<std::string> imports;
  EXPECT_FALSE(ReadPeImports({}, imports));
  EXPECT_FALSE(ReadPeImports(std::vector<unsigned char>(64, 'M'), imports));
  // A real image with its import table cut off is refused, not over-read.
  auto bytes = ReadFileBytes(ExeFolder() + "\\" + kHookDll);
  ASSERT_GT(bytes.size(), 1024u);
  bytes.resize(1024);
  EXPECT_FALSE(ReadPeImports(bytes, imports));
}

TEST(Binaries, MessageTextsLoadFromEachLibrary) {
  struct Row {
    const char* dll;
    UINT id;
    const char* text;
  } rows[] = {
      {kHookDll, 2000, "Failed to create a heap block for memory."},
      {kHookDll, 2007, "Could not find the menu file(%s)."},
      {kHookDll, 2024, "There is no clipboard history."},
      {kHookDll, 2036, "Ther are too much key stroke tags.(Max is 500)"},
      {kHookDll, 2043, "Could not recognize a key stroke."},
      {kDlgExDll, 2000, "Failed to create folder."},
      {kDlgExDll, 2001, "It is too much characters in a single line."},
  };
  for (const auto& r : rows) {
    HMODULE m = LoadLibraryExA((ExeFolder() + "\\" + r.dll).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(m, nullptr) << r.dll;
    char text[256] = {};
    EXPECT_GT(LoadStringA(m, r.id, text, sizeof text), 0) << r.dll << " " << r.id;
    EXPECT_STREQ(text, r.text) << r.dll << " " << r.id;
    FreeLibrary(m);
  }
}

}  // namespace
}  // namespace quillo::wine
