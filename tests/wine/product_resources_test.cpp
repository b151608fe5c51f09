// What Explorer, installers and the loader read from the shipped files: the
// version resource of every binary and the manifest of every program. (What
// the loader makes of the manifest's DPI awareness cannot be seen under Wine
// 8: it runs every program per-monitor aware, with a manifest or without.)
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "quillo_version.h"
#include "resident_fixture.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

struct Shipped {
  std::string path;
  std::string name;
  bool program;
};

// This flavor's files, and in the 64-bit tree the 32-bit ones its folder
// ships too (QUILLO_BIN32, set by the test's entry): one version everywhere.
std::vector<Shipped> ShippedFiles() {
  std::vector<Shipped> files;
  const auto add = [&](const std::string& folder, const char* name, bool program) {
    files.push_back({folder + "\\" + name, name, program});
  };
  add(ExeFolder(), kQuilloExe, true);
  add(ExeFolder(), kHookDll, false);
  add(ExeFolder(), kDlgExDll, false);
#if defined(__i386__)
  add(ExeFolder(), kCompanionExe, true);
#else
  if (const char* bin32 = std::getenv("QUILLO_BIN32"); bin32 != nullptr && *bin32 != '\0') {
    // A Unix path from ctest: Wine maps the root to drive Z.
    std::string folder = std::string("Z:") + bin32;
    for (char& c : folder) c = c == '/' ? '\\' : c;
    add(folder, kCompanionExe, true);
    add(folder, "QuilloHook.dll", false);
    add(folder, "QuilloDlgEx.dll", false);
  }
#endif
  return files;
}

struct VersionFacts {
  bool found = false;
  VS_FIXEDFILEINFO fixed{};
  std::string fileVersion, productVersion, productName, description, copyright, originalName;
};

std::string StringValue(const std::vector<char>& block, const char* name) {
  // The language and code page the resource declares, not an assumed one.
  struct Translation {
    WORD language, codePage;
  }* tr = nullptr;
  UINT size = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr), &size) ||
      size < sizeof(Translation)) {
    return "<no translation>";
  }
  char path[96];
  wsprintfA(path, "\\StringFileInfo\\%04x%04x\\%s", tr->language, tr->codePage, name);
  char* text = nullptr;
  if (!VerQueryValueA(block.data(), path, reinterpret_cast<void**>(&text), &size) || text == nullptr) return "<none>";
  return std::string(text, strnlen(text, size));
}

// Through the system's own version API, as Explorer's Properties reads it.
VersionFacts ReadVersion(const std::string& path) {
  VersionFacts facts;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return facts;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return facts;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len) || len < sizeof *fixed) {
    return facts;
  }
  facts.found = true;
  facts.fixed = *fixed;
  facts.fileVersion = StringValue(block, "FileVersion");
  facts.productVersion = StringValue(block, "ProductVersion");
  facts.productName = StringValue(block, "ProductName");
  facts.description = StringValue(block, "FileDescription");
  facts.copyright = StringValue(block, "LegalCopyright");
  facts.originalName = StringValue(block, "OriginalFilename");
  return facts;
}

// The program's manifest (resource 1 of type RT_MANIFEST), or "" without one.
std::string ReadManifest(const std::string& path) {
  HMODULE file = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (file == nullptr) return "<cannot load>";
  std::string text;
  if (HRSRC res = FindResourceA(file, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)); res != nullptr) {
    if (HGLOBAL data = LoadResource(file, res); data != nullptr) {
      text.assign(static_cast<const char*>(LockResource(data)), SizeofResource(file, res));
    }
  }
  FreeLibrary(file);
  return text;
}

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

TEST(ProductResources, EveryShippedFileCarriesTheOneVersionAndTheProductNames) {
  const auto files = ShippedFiles();
#if !defined(__i386__)
  ASSERT_EQ(files.size(), 6u) << "QUILLO_BIN32 names the 32-bit tree's files the 64-bit folder ships";
#endif
  const DWORD ms = MAKELONG(QUILLO_VERSION_MINOR, QUILLO_VERSION_MAJOR);
  const DWORD ls = MAKELONG(QUILLO_VERSION_BUILD, QUILLO_VERSION_PATCH);
  for (const auto& f : files) {
    SCOPED_TRACE(f.path);
    ASSERT_NE(GetFileAttributesA(f.path.c_str()), INVALID_FILE_ATTRIBUTES);
    const VersionFacts v = ReadVersion(f.path);
    ASSERT_TRUE(v.found) << "no version resource";
    EXPECT_EQ(v.fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(v.fixed.dwFileVersionMS, ms);
    EXPECT_EQ(v.fixed.dwFileVersionLS, ls);
    EXPECT_EQ(v.fixed.dwProductVersionMS, ms);
    EXPECT_EQ(v.fixed.dwProductVersionLS, ls);
    EXPECT_EQ(v.fixed.dwFileType, f.program ? static_cast<DWORD>(VFT_APP) : static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(v.fileVersion, QUILLO_VERSION_TEXT);
    EXPECT_EQ(v.productVersion, QUILLO_VERSION_TEXT);
    EXPECT_EQ(v.productName, "Quillo");
    EXPECT_EQ(v.originalName, f.name);
    EXPECT_EQ(v.copyright.rfind("Copyright", 0), 0u) << v.copyright;
    EXPECT_GT(v.description.size(), 6u) << v.description;
  }
}

TEST(ProductResources, ProgramsCarryTheManifestAndLibrariesNone) {
  char quad[32];
  wsprintfA(quad, "version=\"%d.%d.%d.%d\"", QUILLO_VERSION_MAJOR, QUILLO_VERSION_MINOR, QUILLO_VERSION_PATCH,
            QUILLO_VERSION_BUILD);
  for (const auto& f : ShippedFiles()) {
    SCOPED_TRACE(f.path);
    const std::string m = ReadManifest(f.path);
    if (!f.program) {
      // A library lives in its host's activation context.
      EXPECT_EQ(m, "");
      continue;
    }
    ASSERT_FALSE(m.empty()) << "no manifest";
    EXPECT_TRUE(Has(m, quad)) << m;
    EXPECT_TRUE(Has(m, "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"")) << m;
    EXPECT_TRUE(Has(m, "publicKeyToken=\"6595b64144ccf1df\"")) << m;
    EXPECT_TRUE(Has(m, "level=\"asInvoker\" uiAccess=\"false\"")) << m;
    EXPECT_TRUE(Has(m, ">PerMonitorV2, system</dpiAwareness>")) << m;
    EXPECT_TRUE(Has(m, ">true</dpiAware>")) << m;
    for (const char* os : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
      EXPECT_TRUE(Has(m, os)) << "supportedOS " << os;
    }
  }
}

class ProductAboutBox : public Resident {};

// The About box of the running program shows the version its file carries.
TEST_F(ProductAboutBox, ShowsTheVersionTheProgramFileCarries) {
  Start();
  const VersionFacts v = ReadVersion(folder_.file(kQuilloExe));
  ASSERT_TRUE(v.found);
  PostMessageA(frame_, WM_COMMAND, 57664, 0);  // About Quillo...
  HWND about = nullptr;
  // The box is found as soon as it exists; its controls come a moment later.
  char shown[64] = {};
  ASSERT_TRUE(WaitFor([&] {
    about = FindWindowA("#32770", "About Quillo");
    return about != nullptr && GetDlgItemTextA(about, 1002, shown, sizeof shown) > 0;
  })) << "no About box with a text of id 1002";
  EXPECT_EQ(std::string(shown), "Quillo Ver" + v.fileVersion);
  PostMessageA(about, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([] { return FindWindowA("#32770", "About Quillo") == nullptr; }));
}

// For scripts/check-package, in the prefix where it started an unpacked
// download: the resident program came up and its icon sits in the
// notification area (its tip read back by resting the mouse on it). Exit 0
// when it did.
QUILLO_CHILD(TrayIconShown) {
  (void)args;
  if (!WaitFor([] { return FindWindowA(kFrameClass, nullptr) != nullptr; }, 30000)) return 1;
  // The 64-bit program says so in its tip where its 32-bit companion cannot run.
  return TipBecomes("Quillo", 15000) || TipBecomes(std::string("Quillo") + kNotReachedNote, 5000) ? 0 : 2;
}

}  // namespace
}  // namespace quillo::wine
