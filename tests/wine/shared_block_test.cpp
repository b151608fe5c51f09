// The session's shared block: one for the resident program and both flavors'
// libraries in every process, closed to everyone else.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "history_store_win.h"
#include "quillo_dlgex.h"
#include "quillo_hook.h"
#include "shared_block_win.h"
#include "wine_support.h"

namespace quillo::wine {
namespace {

long OffsetOf(const void* field) {
  return static_cast<long>(static_cast<const char*>(field) - reinterpret_cast<const char*>(&Shared()));
}

// The names the resident program and the libraries use reach the block at
// the offsets older 32-bit libraries had, in this flavor too: a 32-bit and a
// 64-bit process read the same bytes the same way.
TEST(SharedBlock, NamesReachTheSameOffsetsInEitherFlavor) {
  ASSERT_TRUE(SharedBlockReady());
  struct Row {
    const char* name;
    const void* field;
    long offset;
  } rows[] = {
      {"g_cfQuilloMarker", &g_cfQuilloMarker, 12}, {"g_nNumClipHistory", &g_nNumClipHistory, 16},
      {"g_dwBlockSize", &g_dwBlockSize, 20},       {"g_wStackMod", &g_wStackMod, 30},
      {"g_nMenuPos", &g_nMenuPos, 40},             {"g_bSuspend", &g_bSuspend, 68},
      {"g_nTitleMenu", &g_nTitleMenu, 96},         {"g_CustomMenuSet", &g_CustomMenuSet, 100},
      {"g_szQuote", &g_szQuote, 2780},             {"g_szKeyDirectPaste", &g_szKeyDirectPaste, 2836},
      {"g_bCutMouseMove", &g_bCutMouseMove, 2884}, {"g_hwndQuillo", &g_hwndQuillo, 2888},
      {"g_bSuspendDirHist", &g_bSuspendDirHist, 3208}, {"g_bDirHistShare", &g_bDirHistShare, 3212},
      // This flavor's own hook handles.
      {"g_hKeyHook", &g_hKeyHook, sizeof(void*) == 8 ? 3188 : 0},
      {"g_hSysMsgHook", &g_hSysMsgHook, sizeof(void*) == 8 ? 3196 : 8},
      {"g_hCallWndHook", &g_hCallWndHook, sizeof(void*) == 8 ? 3204 : 3200},
  };
  for (const Row& r : rows) EXPECT_EQ(OffsetOf(r.field), r.offset) << r.name;
  EXPECT_EQ(sizeof g_hwndQuillo, 4u);
  // The libraries export their functions, and no longer any variable: the
  // block is not in their data.
  HMODULE hook = GetModuleHandleA(kHookDll);
  HMODULE dlgex = GetModuleHandleA(kDlgExDll);
  ASSERT_NE(hook, nullptr);
  ASSERT_NE(dlgex, nullptr);
  for (const char* f : {"SetHookProc", "SetCustomMenuSet", "MacroRecording", "ShowMenu", "EncloseText"}) {
    EXPECT_NE(GetProcAddress(hook, f), nullptr) << f;
  }
  EXPECT_NE(GetProcAddress(dlgex, "SetDlgHookProc"), nullptr);
  EXPECT_EQ(GetProcAddress(hook, "g_hKeyHook"), nullptr);
  EXPECT_EQ(GetProcAddress(dlgex, "g_bSuspendDirHist"), nullptr);
}

MenuFileSet Pattern(int i) {
  MenuFileSet e;
  std::memset(&e, 0xA0 + i, sizeof e);
  std::snprintf(e.path, sizeof e.path, "C:\\menus\\set%d.txt", i);
  e.trigger = i - 2;
  e.key = static_cast<WORD>(0x41 + i);
  e.modifiers = static_cast<WORD>(i & 7);
  return e;
}

QUILLO_CHILD(ReadSharedSettings) {
  (void)args;
  if (g_nStackKey != 7 || g_wStackKey != 0x51 || g_nCharNum != 40) return 20;
  if (std::strcmp(g_szQuote, ">> ") != 0) return 21;
  MenuFileSet third;
  std::memset(&third, 0, sizeof third);
  std::strcpy(third.path, "D:\\new menu.txt");
  third.trigger = -2;
  third.key = 0x4D;
  third.modifiers = 3;
  for (int i = 0; i < kMenuFileSetCount; ++i) {
    MenuFileSet expected = i == 3 ? third : Pattern(i);
    if (i == 3) {
      // Only the copied path, trigger, key and modifiers are defined; the bytes
      // after the path's terminator keep whatever was there.
      if (std::strcmp(g_CustomMenuSet[3].path, third.path) != 0 || g_CustomMenuSet[3].trigger != -2 ||
          g_CustomMenuSet[3].key != 0x4D || g_CustomMenuSet[3].modifiers != 3) {
        return 22;
      }
      continue;
    }
    if (std::memcmp(&g_CustomMenuSet[i], &expected, sizeof expected) != 0) return 30 + i;
  }
  g_nMenuPos = 2;  // written here, read back by the parent
  return 0;
}

TEST(SharedBlock, SecondProcessSeesWhatTheFirstWrote) {
  for (int i = 0; i < kMenuFileSetCount; ++i) {
    MenuFileSet e = Pattern(i);
    std::memcpy(&g_CustomMenuSet[i], &e, sizeof e);
  }
  g_nStackKey = 7;
  g_wStackKey = 0x51;
  g_nCharNum = 40;
  std::strcpy(g_szQuote, ">> ");
  g_nMenuPos = 0;
  MenuFileSet third;
  std::memset(&third, 0, sizeof third);
  std::strcpy(third.path, "D:\\new menu.txt");
  third.trigger = -2;
  third.key = 0x4D;
  third.modifiers = 3;
  SetCustomMenuSet(3, &third);

  EXPECT_EQ(RunChild("ReadSharedSettings"), 0);
  EXPECT_EQ(g_nMenuPos, 2);
  std::memset(g_CustomMenuSet, 0, sizeof g_CustomMenuSet);
  g_nStackKey = g_wStackKey = g_nCharNum = g_nMenuPos = 0;
  g_szQuote[0] = '\0';
}

TEST(SharedBlock, SetCustomMenuSetIgnoresBadIndexesAndBoundsThePath) {
  std::memset(g_CustomMenuSet, 0, sizeof g_CustomMenuSet);
  MenuFileSet e;
  std::memset(&e, 'p', sizeof e);  // a path with no terminator in its 260 bytes
  e.trigger = 5;
  SetCustomMenuSet(-1, &e);
  SetCustomMenuSet(10, &e);
  SetCustomMenuSet(0, nullptr);
  for (const auto& entry : g_CustomMenuSet) EXPECT_EQ(entry.path[0], '\0');
  SetCustomMenuSet(9, &e);
  EXPECT_EQ(std::strlen(g_CustomMenuSet[9].path), 259u);
  EXPECT_EQ(g_CustomMenuSet[9].trigger, 5);
  EXPECT_EQ(g_CustomMenuSet[8].path[0], '\0');
  std::memset(g_CustomMenuSet, 0, sizeof g_CustomMenuSet);
}


// ---- Closed to other sessions, users and programs of lower integrity ----

std::string UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
  alignas(8) unsigned char buffer[256];
  DWORD size = 0;
  std::string text;
  char* sid = nullptr;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
      ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
    text = sid;
    LocalFree(sid);
  }
  CloseHandle(token);
  return text;
}

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (sid == nullptr || !ConvertSidToStringSidA(sid, &text)) return "<none>";
  std::string out = text;
  LocalFree(text);
  return out;
}

// One entry of an access list, as text: "A 0xF001F S-1-5-21-...".
std::string AceText(void* ace) {
  const auto* header = static_cast<const ACE_HEADER*>(ace);
  const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
  char line[64];
  std::snprintf(line, sizeof line, "%s 0x%lX ",
                header->AceType == ACCESS_ALLOWED_ACE_TYPE          ? "A"
                : header->AceType == SYSTEM_MANDATORY_LABEL_ACE_TYPE ? "ML"
                                                                     : "other",
                static_cast<unsigned long>(allowed->Mask));
  return line + SidText(const_cast<DWORD*>(&allowed->SidStart));
}

struct SecurityView {
  std::string owner;
  std::vector<std::string> dacl;
  std::vector<std::string> label;
  bool protectedDacl = false;
};

SecurityView ReadSecurity(HANDLE object) {
  SecurityView v;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PACL sacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION, &owner,
                      nullptr, &dacl, &sacl, &sd) != ERROR_SUCCESS) {
    v.owner = "<unreadable>";
    return v;
  }
  v.owner = SidText(owner);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (GetSecurityDescriptorControl(sd, &control, &revision)) v.protectedDacl = (control & SE_DACL_PROTECTED) != 0;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (GetAce(dacl, i, &ace)) v.dacl.push_back(AceText(ace));
  }
  for (DWORD i = 0; sacl != nullptr && i < sacl->AceCount; ++i) {
    void* ace = nullptr;
    if (GetAce(sacl, i, &ace)) v.label.push_back(AceText(ace));
  }
  LocalFree(sd);
  return v;
}

TEST(SharedBlockSecurity, TheNameIsTheSessionsOwn) {
  DWORD session = 0;
  ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
  char name[64];
  SharedBlockName(name, sizeof name);
  EXPECT_EQ(std::string(name), "Local\\QuilloSharedBlock1.S" + std::to_string(session));
}

// What the block and the history mapping grant, read back from the objects:
// the user alone, and programs below medium integrity nothing.
TEST(SharedBlockSecurity, BlockAndHistoryGrantTheUserAloneAndNothingBelowMediumIntegrity) {
  const std::string user = UserSid();
  ASSERT_FALSE(user.empty());
  char name[64];
  SharedBlockName(name, sizeof name);
  HANDLE block = OpenFileMappingA(READ_CONTROL, FALSE, name);
  ASSERT_NE(block, nullptr) << GetLastError();
  const SecurityView v = ReadSecurity(block);
  CloseHandle(block);
  EXPECT_EQ(v.owner, user);
  EXPECT_TRUE(v.protectedDacl) << "nothing inherited from the namespace";
  EXPECT_EQ(v.dacl, std::vector<std::string>({"A 0xF001F " + user}));
  EXPECT_EQ(v.label, std::vector<std::string>({"ML 0x3 S-1-16-8192"})) << "no read up, no write up, medium";

  // The history: the texts the user copied.
  ProgramFolder folder({kHookDll});
  ASSERT_TRUE(folder.ok());
  HistoryStore store(GetModuleHandleA(nullptr), folder.path());
  ASSERT_TRUE(store.CreateHistoryStore(5));
  HANDLE history = OpenFileMappingA(READ_CONTROL, FALSE, "QuilloPageMapObject");
  ASSERT_NE(history, nullptr) << GetLastError();
  const SecurityView h = ReadSecurity(history);
  CloseHandle(history);
  store.CloseHistoryStore();
  EXPECT_EQ(h.owner, user);
  EXPECT_TRUE(h.protectedDacl);
  EXPECT_EQ(h.dacl, std::vector<std::string>({"A 0xF001F " + user}));
  EXPECT_EQ(h.label, std::vector<std::string>({"ML 0x3 S-1-16-8192"}));
}

// The resident program takes a block that is there already only when it is
// ours: owned by the user and granting no one else.
TEST(SharedBlockSecurity, AnObjectMadeOtherwiseIsNotTakenForOurs) {
  const std::string user = UserSid();
  ASSERT_FALSE(user.empty());
  struct Row {
    std::string sddl;  // empty: the product's own
    bool ours;
  } rows[] = {
      {"", true},
      {"O:" + user + "D:P(A;;0x000F001F;;;" + user + ")S:(ML;;NWNR;;;ME)", true},
      {"O:" + user + "D:P(A;;0x000F001F;;;" + user + ")(A;;0x4;;;WD)S:(ML;;NWNR;;;ME)", false},  // everyone reads
      {"O:" + user + "D:P(A;;0x000F001F;;;BU)S:(ML;;NWNR;;;ME)", false},  // the users' group
      {"O:" + user + "D:P(A;;0x000F001F;;;" + user + ")(A;;0x000F001F;;;AN)S:(ML;;NWNR;;;ME)", false},
      {"O:" + user + "S:(ML;;NWNR;;;ME)", false},                          // no access list: everyone
      // What a program of low integrity would make: its own low label.
      {"O:" + user + "D:P(A;;0x000F001F;;;" + user + ")S:(ML;;NWNR;;;LW)", false},
      {"O:" + user + "D:P(A;;0x000F001F;;;" + user + ")S:(ML;;NW;;;ME)", false},  // lower ones may read
      {"O:" + user + "D:P(A;;0x000F001F;;;" + user + ")", false},                  // no label at all
      {"O:BAD:P(A;;0x000F001F;;;" + user + ")S:(ML;;NWNR;;;ME)", false},          // owned by others
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sddl);
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (row.sddl.empty()) {
      sd = MakeSessionObjectSecurity();
    } else {
      ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(row.sddl.c_str(), SDDL_REVISION_1, &sd,
                                                                       nullptr));
    }
    ASSERT_NE(sd, nullptr);
    SECURITY_ATTRIBUTES sa = {sizeof sa, sd, FALSE};
    const std::string name = "Local\\QuilloSecurityProbe" + std::to_string(GetCurrentProcessId()) + "." +
                             std::to_string(n++);
    HANDLE made = CreateFileMappingA(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0, 4096, name.c_str());
    LocalFree(sd);
    ASSERT_NE(made, nullptr);
    // Judged through a handle opened by name, as the resident program does.
    HANDLE opened = OpenFileMappingA(FILE_MAP_READ | READ_CONTROL, FALSE, name.c_str());
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(HasSessionObjectSecurity(opened), row.ours);
    CloseHandle(opened);
    CloseHandle(made);
  }
}

// A block made or reset holds no trigger until the settings are written:
// zero would mean "Shift twice" for every one of them.
TEST(SharedBlock, AFreshBlockHoldsNoTrigger) {
  g_nStackKey = 1;
  g_CustomMenuSet[4].trigger = 0;
  ResetSharedBlock();
  EXPECT_EQ(g_nStackKey, -1);
  EXPECT_EQ(g_nChangeKey, -1);
  for (const MenuFileSet& set : g_CustomMenuSet) EXPECT_EQ(set.trigger, -1);
  EXPECT_STREQ(Shared().szCommentOpen, ">>>>");
}

// A resident program killed while recording a macro, with a dialog of its
// own open and a text command armed, leaves all of that in the block, which
// the programs that still have the libraries loaded keep alive. The next
// start clears it before its hooks go in.
TEST(SharedBlock, TheNextStartClearsWhatAKilledResidentProgramLeft) {
  ProgramFolder folder({kQuilloExe, kHookDll, kDlgExDll, "MenuTemp.txt"});
  ASSERT_TRUE(folder.ok());
  CleanRegistryKey registry;
  Shared().bRecording = 1;
  Shared().bPlaying = 1;
  g_bOnDlgDisp = 1;
  Shared().nRecSuspend = 3;
  std::strcpy(Shared().szEncloseHead, "stale");
  std::strcpy(Shared().szCommentOpen, "XXXX");
  Process quillo;
  const HWND frame = StartQuillo(folder.path(), quillo);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(Shared().bRecording, 0);
  EXPECT_EQ(Shared().bPlaying, 0);
  EXPECT_EQ(g_bOnDlgDisp, 0);
  EXPECT_EQ(Shared().nRecSuspend, 0);
  EXPECT_STREQ(Shared().szEncloseHead, "");
  EXPECT_STREQ(Shared().szCommentOpen, ">>>>");
  EXPECT_STREQ(Shared().szHistoryCaption, "Folder History");
  EXPECT_EQ(g_bDirHistShare, 1);
  // ...and what the start itself writes is there: its window, its history.
  EXPECT_EQ(static_cast<HWND>(g_hwndQuillo), frame);
  EXPECT_TRUE(IsResidentWindow(frame));
  EXPECT_EQ(g_dwBlockSize, 20480u);
  EXPECT_NE(static_cast<HHOOK>(g_hKeyHook), nullptr);
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_TRUE(quillo.Wait(30000));
  EXPECT_EQ(static_cast<HWND>(g_hwndQuillo), nullptr) << "Exit withdraws its window";
  EXPECT_FALSE(IsResidentWindow(frame));
}

// The libraries send nothing to a window the block names unless it is the
// resident program's: of its class, of the process that published it, in
// this session.
TEST(SharedBlock, OnlyTheResidentProgramsWindowCountsAsIt) {
  const HWND standIn = CreateResidentStandIn(nullptr);
  ASSERT_NE(standIn, nullptr);
  EXPECT_TRUE(IsResidentWindow(standIn));
  EXPECT_EQ(ResidentWindow(), standIn);
  // Another class in the same process.
  HWND other = CreateWindowExA(0, "STATIC", "not Quillo", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  PublishResidentWindow(other);
  EXPECT_FALSE(IsResidentWindow(other));
  EXPECT_EQ(ResidentWindow(), nullptr);
  // The right class, but the block says another process published it.
  PublishResidentWindow(standIn);
  Shared().residentProcessId = GetCurrentProcessId() + 4;
  EXPECT_FALSE(IsResidentWindow(standIn));
  EXPECT_EQ(ResidentWindow(), nullptr);
  // A window that is gone.
  PublishResidentWindow(standIn);
  DestroyWindow(standIn);
  EXPECT_EQ(ResidentWindow(), nullptr);
  DestroyWindow(other);
  PublishResidentWindow(nullptr);
}

}  // namespace
}  // namespace quillo::wine
