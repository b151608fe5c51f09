// The session's shared block: making it, mapping it, and the security that
// keeps it to this user's programs. Compiled into every module that reads the
// block, each with a view of its own.
#include "shared_block_win.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstring>

#include "deliverable_names.h"
#include "handles_win.h"
#include "small_format.h"

namespace quillo {

SharedBlock* g_sharedView = nullptr;

namespace {

HANDLE g_mapping = nullptr;  // kept open with the view

// What a module reads while the block cannot be had: all zero, so no
// resident window to send to. The hook procedures do not get this far
// without the block (SharedBlockReady); zero keeps it out of the file.
SharedBlock g_inertBlock;

DWORD OwnSessionId() noexcept {
  // Two threads asking at once both ask the system and get the same answer.
  static volatile DWORD session = 0;
  static volatile LONG known = 0;
  if (known == 0) {
    DWORD id = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &id)) session = id;
    known = 1;
  }
  return session;
}

// Publishes `view` as this module's view unless another thread did first;
// the loser's view and handle are given back.
void Publish(SharedBlock* view, HANDLE mapping) noexcept {
  if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID*>(&g_sharedView), view, nullptr) != nullptr) {
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    return;
  }
  g_mapping = mapping;
}

// Maps the named block with read and write access; null when it is not there
// or not ours to open.
SharedBlock* MapExisting(HANDLE* mappingOut) noexcept {
  char name[64];
  SharedBlockName(name, sizeof name);
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, name);
  if (mapping == nullptr) return nullptr;
  void* view = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(SharedBlock));
  if (view == nullptr) {
    CloseHandle(mapping);
    return nullptr;
  }
  *mappingOut = mapping;
  return static_cast<SharedBlock*>(view);
}

// The user's SID of this process's token, as a string for SDDL, and the
// integrity level's RID. False when the token cannot be read.
bool TokenFacts(char* sid, size_t sidSize, DWORD* integrity) noexcept {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  UniqueHandle tokenHeld(token);
  alignas(8) unsigned char buffer[256];
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) return false;
  char* text = nullptr;
  if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) return false;
  const bool fits = std::strlen(text) < sidSize;
  if (fits) std::strcpy(sid, text);
  LocalFree(text);
  if (!fits) return false;
  *integrity = SECURITY_MANDATORY_MEDIUM_RID;
  alignas(8) unsigned char label[64];
  if (GetTokenInformation(token, TokenIntegrityLevel, label, sizeof label, &size)) {
    PSID levelSid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(label)->Label.Sid;
    if (IsValidSid(levelSid) && *GetSidSubAuthorityCount(levelSid) > 0) {
      *integrity = *GetSidSubAuthority(levelSid, *GetSidSubAuthorityCount(levelSid) - 1);
    }
  }
  return true;
}

PSID OwnUserSid(unsigned char* buffer, DWORD size) noexcept {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  UniqueHandle tokenHeld(token);
  DWORD needed = 0;
  if (!GetTokenInformation(token, TokenUser, buffer, size, &needed)) return nullptr;
  return reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
}

// The contents the block starts with; everything else is zero. No trigger is
// set (zero would be "Shift twice") until the resident program writes the
// settings.
void Fill(SharedBlock& b) noexcept {
  b.nStackKey = kTriggerNone;
  b.nChangeKey = kTriggerNone;
  for (MenuFileSet& set : b.CustomMenuSet) set.trigger = kTriggerNone;
  std::memcpy(b.szCommentOpen, ">>>>", 5);
  std::memcpy(b.szCommentClose, "<<<<", 5);
  b.bDirHistShare = 1;  // "Same contents" until the settings say otherwise
  // The captions double as the keys by which the sub menus are found again.
  std::strcpy(b.szHistoryCaption, "Folder History");
  std::strcpy(b.szShortcutCaption, "Folder Shortcut");
  std::strcpy(b.szAddCaption, "Add Current Folder");
  // Last: a library takes the block as there only once it is filled.
  MemoryBarrier();
  b.magic = kSharedBlockMagic;
}

}  // namespace

void SharedBlockName(char* out, size_t size) noexcept {
  // "Local\" is the session's own namespace already; the session's number in
  // the name as well keeps two sessions apart wherever a name is looked up.
  const size_t n = CopyText(out, size, "Local\\QuilloSharedBlock1.S");
  if (n + 1 < size) FormatDecimal(out + n, size - n, OwnSessionId());
}

SharedBlock& OpenSharedBlock() noexcept {
  return SharedBlockReady() ? *g_sharedView : g_inertBlock;
}

bool SharedBlockReady() noexcept {
  SharedBlock* view = g_sharedView;
  if (view == nullptr) {
    // A process that may not open the block (another user's, one of lower
    // integrity) would try on every event: once a second is enough.
    static volatile DWORD lastTry = 0;
    const DWORD now = GetTickCount();
    const DWORD last = lastTry;
    if (last != 0 && now - last < 1000) return false;
    lastTry = now == 0 ? 1 : now;
    HANDLE mapping = nullptr;
    view = MapExisting(&mapping);
    if (view == nullptr) return false;
    Publish(view, mapping);
    view = g_sharedView;
  }
  return view->magic == kSharedBlockMagic;
}

PSECURITY_DESCRIPTOR MakeSessionObjectSecurity() noexcept {
  char sid[192];
  DWORD integrity = 0;
  if (!TokenFacts(sid, sizeof sid, &integrity)) return nullptr;
  // Programs below medium integrity may neither read nor write (NR, NW); a
  // process that itself runs lower can label its object no higher than itself.
  const DWORD label = integrity < SECURITY_MANDATORY_MEDIUM_RID ? integrity : SECURITY_MANDATORY_MEDIUM_RID;
  // Owner and the only grantee: the user. The DACL is protected, so nothing
  // is inherited from the namespace. 0x000F001F is SECTION_ALL_ACCESS: the
  // user's other programs open it for reading and writing, and the resident
  // program started again takes it again.
  char sddl[512];
  size_t n = 0;
  const char* const parts[] = {"O:", sid, "D:P(A;;0x000F001F;;;", sid, ")S:(ML;;NWNR;;;S-1-16-"};
  for (const char* part : parts) n += CopyText(sddl + n, sizeof sddl - n, part);
  n += FormatDecimal(sddl + n, sizeof sddl - n, label);
  n += CopyText(sddl + n, sizeof sddl - n, ")");
  if (n + 1 >= sizeof sddl) return nullptr;  // cut short: a SID longer than any there is
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr)) return nullptr;
  return sd;
}

bool HasSessionObjectSecurity(HANDLE object) noexcept {
  alignas(8) unsigned char userBuffer[256];
  PSID user = OwnUserSid(userBuffer, sizeof userBuffer);
  char sidText[192];
  DWORD integrity = 0;
  if (user == nullptr || !TokenFacts(sidText, sizeof sidText, &integrity)) return false;
  const DWORD lowest = integrity < SECURITY_MANDATORY_MEDIUM_RID ? integrity : SECURITY_MANDATORY_MEDIUM_RID;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PACL sacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION, &owner,
                      nullptr, &dacl, &sacl, &sd) != ERROR_SUCCESS) {
    return false;
  }
  bool ours = owner != nullptr && EqualSid(owner, user) && dacl != nullptr;
  // The label: a program of lower integrity that made the object first would
  // carry its own, low one, and keep its handle to write through. Ours says
  // no read up and no write up, at medium (or our own level, if lower).
  bool labelled = false;
  for (DWORD i = 0; ours && sacl != nullptr && i < sacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(sacl, i, &ace)) {
      ours = false;
      break;
    }
    if (static_cast<const ACE_HEADER*>(ace)->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) continue;
    const auto* label = static_cast<const SYSTEM_MANDATORY_LABEL_ACE*>(ace);
    PSID level = reinterpret_cast<PSID>(const_cast<DWORD*>(&label->SidStart));
    const DWORD policy = SYSTEM_MANDATORY_LABEL_NO_WRITE_UP | SYSTEM_MANDATORY_LABEL_NO_READ_UP;
    const bool high = IsValidSid(level) && *GetSidSubAuthorityCount(level) > 0 &&
                      *GetSidSubAuthority(level, *GetSidSubAuthorityCount(level) - 1) >= lowest;
    labelled = high && (label->Mask & policy) == policy;
    if (!labelled) ours = false;
  }
  ours = ours && labelled;
  for (DWORD i = 0; ours && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) {
      ours = false;
      break;
    }
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    // Only allowing entries for the user: anything granting someone else, or
    // of a kind we do not write, makes the object not ours.
    ours = header->AceType == ACCESS_ALLOWED_ACE_TYPE &&
           EqualSid(reinterpret_cast<PSID>(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart), user);
  }
  LocalFree(sd);
  return ours;
}

SharedBlockMade CreateSharedBlock() noexcept {
  if (g_sharedView != nullptr) return g_sharedView->magic == kSharedBlockMagic ? SharedBlockMade::kReused
                                                                               : SharedBlockMade::kFailed;
  char name[64];
  SharedBlockName(name, sizeof name);
  // There already: programs that still have the libraries loaded hold it
  // after the resident program ended. Take it again if it is ours.
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE | READ_CONTROL, FALSE, name);
  bool created = false;
  if (mapping == nullptr) {
    PSECURITY_DESCRIPTOR sd = MakeSessionObjectSecurity();
    if (sd == nullptr) return SharedBlockMade::kFailed;
    SECURITY_ATTRIBUTES sa = {sizeof sa, sd, FALSE};
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0, sizeof(SharedBlock), name);
    const DWORD error = GetLastError();
    LocalFree(sd);
    if (mapping == nullptr) {
      // Made by someone else a moment ago, and not openable by us.
      return error == ERROR_ACCESS_DENIED ? SharedBlockMade::kForeign : SharedBlockMade::kFailed;
    }
    created = error != ERROR_ALREADY_EXISTS;
  }
  if (!created && !HasSessionObjectSecurity(mapping)) {
    CloseHandle(mapping);
    return SharedBlockMade::kForeign;
  }
  void* view = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(SharedBlock));
  if (view == nullptr) {
    CloseHandle(mapping);
    return SharedBlockMade::kFailed;
  }
  auto* block = static_cast<SharedBlock*>(view);
  if (created || block->magic != kSharedBlockMagic) Fill(*block);
  Publish(block, mapping);
  return created ? SharedBlockMade::kCreated : SharedBlockMade::kReused;
}

void ResetSharedBlock() noexcept {
  if (!SharedBlockReady()) return;
  SharedBlock& b = *g_sharedView;
  // Hooks of a resident program that was killed: Windows removes them with
  // their process, Wine keeps calling them, and with this block theirs again
  // they would act beside ours (every menu twice). Both flavors' handles go;
  // a handle that is no longer a hook fails harmlessly, and the system lets
  // no program remove another one's living hook.
  const Handle32<HHOOK> old[] = {b.hKeyHook,   b.hMouseHook,   b.hSysMsgHook,   b.hKeyHook64,
                                 b.hMouseHook64, b.hSysMsgHook64, b.hCallWndHook, b.hCallWndHook64};
  for (const Handle32<HHOOK>& h : old) {
    if (h.bits != 0) UnhookWindowsHookEx(h);
  }
  b.magic = 0;
  MemoryBarrier();
  std::memset(&b, 0, sizeof b);
  Fill(b);
}

void ReleaseSharedBlock() noexcept {
  SharedBlock* view =
      static_cast<SharedBlock*>(InterlockedExchangePointer(reinterpret_cast<PVOID*>(&g_sharedView), nullptr));
  if (view != nullptr) UnmapViewOfFile(view);
  if (g_mapping != nullptr) {
    CloseHandle(g_mapping);
    g_mapping = nullptr;
  }
}

bool IsResidentWindow(HWND window) noexcept {
  if (window == nullptr || !SharedBlockReady()) return false;
  const DWORD published = g_sharedView->residentProcessId;
  DWORD pid = 0;
  // The block is this session's own, and only this user's programs can write
  // it: the process it names is of this session. (Asking the system for that
  // process's session would need rights a program does not have on an
  // elevated resident program.)
  if (published == 0 || GetWindowThreadProcessId(window, &pid) == 0 || pid != published) return false;
  char cls[32];
  return GetClassNameA(window, cls, sizeof cls) > 0 && std::strcmp(cls, kResidentWindowClass) == 0;
}

HWND ResidentWindow() noexcept {
  const HWND window = Shared().hwndQuillo;
  return IsResidentWindow(window) ? window : nullptr;
}

HWND DlgResidentWindow() noexcept {
  const HWND window = Shared().hwndDlgResident;
  return IsResidentWindow(window) ? window : nullptr;
}

void PublishResidentWindow(HWND window) noexcept {
  DWORD pid = 0;
  if (window != nullptr) GetWindowThreadProcessId(window, &pid);
  SharedBlock& b = Shared();
  // The process first: a library checks the window against it.
  b.residentProcessId = pid;
  MemoryBarrier();
  b.hwndQuillo = window;
}

}  // namespace quillo
