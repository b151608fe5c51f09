// The built libraries are fit to be loaded into every process on the desktop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

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

#if defined(__i386__)
// The 64-bit program's companion, built in this tree only: a 32-bit program
// that needs nothing but the system and our two libraries beside it.
TEST(Binaries, CompanionIs32BitAndImportsOnlySystemDllsAndOurLibraries) {
  const auto bytes = ReadFileBytes(ExeFolder() + "\\" + kCompanionExe);
  ASSERT_FALSE(bytes.empty()) << kCompanionExe;
  std::vector<std::string> imports;
  int bits = 0;
  ASSERT_TRUE(ReadPeImports(bytes, imports, &bits)) << kCompanionExe << " is not a PE image";
  EXPECT_EQ(bits, 32);
  bool hook = false, dlgex = false;
  for (const auto& imp : imports) {
    hook = hook || lstrcmpiA(imp.c_str(), kHookDll) == 0;
    dlgex = dlgex || lstrcmpiA(imp.c_str(), kDlgExDll) == 0;
    EXPECT_TRUE(IsSystemDll(imp) || lstrcmpiA(imp.c_str(), kHookDll) == 0 || lstrcmpiA(imp.c_str(), kDlgExDll) == 0)
        << kCompanionExe << " imports " << imp;
  }
  EXPECT_TRUE(hook && dlgex) << "the hooks come from the 32-bit libraries";
  std::printf("[ size ] %s: %zu bytes\n", kCompanionExe, bytes.size());
}

// A host program that has the 32-bit tool chain's run-time library loaded
// before ours, then an exception inside our library: the text command's copy
// of a form longer than any free stretch of the address space fails with
// bad_alloc, which the library catches and reports as message 2001. Were its
// unwind tables registered only with the host's run-time library, the throw
// would find no handler and end the host.
QUILLO_CHILD(HookExceptionBesideHostRuntime) {
  if (args.size() != 1 && args.size() != 2) return 2;
  if (LoadLibraryA((args[0] + "\\libgcc_s_dw2-1.dll").c_str()) == nullptr) return 3;
  // A host that has used up its fiber slots before our library throws.
  if (args.size() == 2) {
    int taken = 0;
    while (FlsAlloc(nullptr) != FLS_OUT_OF_INDEXES) {
      if (++taken > 1000000) return 9;
    }
  }
  HMODULE hook = LoadLibraryA((args[0] + "\\" + kHookDll).c_str());
  if (hook == nullptr) return 4;
  using Enclose = BOOL(__cdecl*)(const char*, BOOL);
  auto enclose = reinterpret_cast<Enclose>(reinterpret_cast<void*>(GetProcAddress(hook, "EncloseText")));
  if (enclose == nullptr) return 5;
  const size_t bytes = size_t{48} << 20;
  char* form = static_cast<char*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (form == nullptr) return 6;
  std::memset(form, 'x', bytes - 1);
  form[bytes - 1] = '\0';
  // Leave no free stretch of 8 MB or more.
  std::vector<void*> held;
  for (SIZE_T chunk = SIZE_T{256} << 20; chunk >= (SIZE_T{8} << 20); chunk /= 2) {
    while (void* p = VirtualAlloc(nullptr, chunk, MEM_RESERVE, PAGE_NOACCESS)) held.push_back(p);
  }
  const BOOL result = enclose(form, TRUE);
  for (void* p : held) VirtualFree(p, 0, MEM_RELEASE);
  // The library leaves again and takes its tables out of the registry.
  if (!FreeLibrary(hook)) return 8;
  return result == FALSE ? 0 : 7;
}

TEST(Binaries, HookLibraryCatchesItsOwnExceptionsWhenTheHostLoadedTheToolChainRuntime) {
  ProgramFolder folder({kHookDll, "libgcc_s_dw2-1.dll", "libwinpthread-1.dll"});
  ASSERT_TRUE(folder.ok()) << "the run-time DLLs are copied beside the tests by the build";
  MessageBoxWatcher::Instance().Take();
  EXPECT_EQ(RunChild("HookExceptionBesideHostRuntime", "\"" + folder.path() + "\""), 0);
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), std::vector<std::string>{"There is not enough memory."});
}

// The same in a host that has no fiber slot left: the library's exception
// state takes a thread slot instead, and the host lives on.
TEST(Binaries, HookLibraryCatchesItsOwnExceptionsInAHostWithoutFreeFiberSlots) {
  ProgramFolder folder({kHookDll, "libgcc_s_dw2-1.dll", "libwinpthread-1.dll"});
  ASSERT_TRUE(folder.ok()) << "the run-time DLLs are copied beside the tests by the build";
  MessageBoxWatcher::Instance().Take();
  EXPECT_EQ(RunChild("HookExceptionBesideHostRuntime", "\"" + folder.path() + "\" no-fiber-slots"), 0);
  EXPECT_EQ(MessageBoxWatcher::Instance().Take(), std::vector<std::string>{"There is not enough memory."});
}
#endif

// Sixteen threads throw and catch in a library of the hook library's own
// run-time pieces at once; then the library is unloaded while those threads
// still live, and they end after it. Their exception state must be given back
// with the library: a thread that ended later would otherwise call the state's
// clean-up routine where the library no longer is, and end the host.
using ProbeThrowAndCatch = int(__cdecl*)(int);
constexpr int kProbeRounds = 2000;

struct ProbeShared {
  ProbeThrowAndCatch probe;
  HANDLE release;
  LONG good = 0;
  LONG done = 0;
};

DWORD WINAPI ProbeThread(void* p) {
  auto* s = static_cast<ProbeShared*>(p);
  if (s->probe(kProbeRounds) == kProbeRounds) InterlockedIncrement(&s->good);
  InterlockedIncrement(&s->done);
  WaitForSingleObject(s->release, INFINITE);  // outlive the library
  return 0;
}

QUILLO_CHILD(RuntimeProbeThreadsOutliveTheLibrary) {
  if (args.size() != 1) return 2;
  HMODULE probe = LoadLibraryA(args[0].c_str());
  if (probe == nullptr) return 3;
  auto throwAndCatch =
      reinterpret_cast<ProbeThrowAndCatch>(reinterpret_cast<void*>(GetProcAddress(probe, "ProbeThrowAndCatch")));
  if (throwAndCatch == nullptr) return 4;
  ProbeShared shared{throwAndCatch, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  if (shared.release == nullptr) return 5;
  constexpr int kThreads = 16;
  HANDLE threads[kThreads] = {};
  for (HANDLE& t : threads) {
    t = CreateThread(nullptr, 0, ProbeThread, &shared, 0, nullptr);
    if (t == nullptr) return 6;
  }
  while (InterlockedCompareExchange(&shared.done, 0, 0) < kThreads) Sleep(5);
  if (shared.good != kThreads) return 7;
  if (!FreeLibrary(probe)) return 8;
  if (GetModuleHandleA(args[0].c_str()) != nullptr) return 9;  // still loaded: the test proves nothing
  SetEvent(shared.release);
  if (WaitForMultipleObjects(kThreads, threads, TRUE, 20000) != WAIT_OBJECT_0) return 10;
  for (HANDLE t : threads) CloseHandle(t);
  // Loaded again, the library starts its state afresh.
  probe = LoadLibraryA(args[0].c_str());
  if (probe == nullptr) return 11;
  throwAndCatch =
      reinterpret_cast<ProbeThrowAndCatch>(reinterpret_cast<void*>(GetProcAddress(probe, "ProbeThrowAndCatch")));
  const int again = throwAndCatch != nullptr ? throwAndCatch(100) : -1;
  FreeLibrary(probe);
  CloseHandle(shared.release);
  return again == 100 ? 0 : 12;
}

TEST(Binaries, ThreadsThatThrewInTheLibraryEndSafelyAfterItIsUnloaded) {
  const std::string probe = ExeFolder() + "\\QuilloRuntimeProbe.dll";
  ASSERT_NE(GetFileAttributesA(probe.c_str()), INVALID_FILE_ATTRIBUTES) << "built beside the tests";
  EXPECT_EQ(RunChild("RuntimeProbeThreadsOutliveTheLibrary", "\"" + probe + "\""), 0);
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
