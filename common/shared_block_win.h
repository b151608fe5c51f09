// The session's shared block as the product sees it: one named mapping per
// user session, made by the resident program, mapped by every module that
// needs it (the resident program, each flavor's hook library and file-dialog
// extension, in every process they are loaded into). Each module keeps its own
// view; the block's fields are reached through the names of
// quillo_hook.h and quillo_dlgex.h, which read like variables (as errno does)
// but name fields of this view.
//
// Only the user who made it can open it, and programs of lower integrity can
// neither read nor change it (see MakeSessionObjectSecurity).
#pragma once

#include <windows.h>

#include <cstddef>

#include "shared_block_layout.h"

namespace quillo {

using SharedBlock = SharedBlockLayout<HHOOK, HWND>;
static_assert(sizeof(SharedBlock) == 7416, "the shared block has one size in both flavors");
static_assert(offsetof(SharedBlock, hwndQuillo) == 2888, "the settings keep their 32-bit offsets");

// This module's view of the block; null until it is mapped.
extern SharedBlock* g_sharedView;

// The view, mapping it on first use; while the block cannot be had, an inert
// block of this process (all zero: no resident window to send anything to;
// the hook procedures check SharedBlockReady before they look at settings).
SharedBlock& OpenSharedBlock() noexcept;
inline SharedBlock& Shared() noexcept {
  SharedBlock* view = g_sharedView;
  return view != nullptr ? *view : OpenSharedBlock();
}
// True when this module has the session's block mapped (mapping it if it can).
// Hook procedures pass every event on untouched while it is false.
bool SharedBlockReady() noexcept;

enum class SharedBlockMade {
  kCreated,   // made now, filled with its initial contents
  kReused,    // there already, made by this user (a program that still has it mapped)
  kForeign,   // there already, but not made by this user in the way we make it
  kFailed,    // could not be made or mapped
};
// Makes (or takes again) the session's block and maps it in this module. The
// resident program calls it before anything reads the block.
SharedBlockMade CreateSharedBlock() noexcept;

// Gives the block its initial contents again. The resident program does so
// when it takes again a block left by one that ended without clearing it
// (killed with a macro recording, a dialog open): nothing of that holds now.
// The hooks whose handles it held are removed first.
void ResetSharedBlock() noexcept;

// Unmaps this module's view (a library being unloaded).
void ReleaseSharedBlock() noexcept;

// The block's name in this session: "Local\QuilloSharedBlock1.S<session>".
void SharedBlockName(char* out, size_t size) noexcept;

// The 32-bit or the 64-bit library's hook handles, whichever this module is.
inline Handle32<HHOOK>& OwnKeyHook() noexcept {
  return sizeof(void*) == 8 ? Shared().hKeyHook64 : Shared().hKeyHook;
}
inline Handle32<HHOOK>& OwnMouseHook() noexcept {
  return sizeof(void*) == 8 ? Shared().hMouseHook64 : Shared().hMouseHook;
}
inline Handle32<HHOOK>& OwnSysMsgHook() noexcept {
  return sizeof(void*) == 8 ? Shared().hSysMsgHook64 : Shared().hSysMsgHook;
}
inline Handle32<HHOOK>& OwnCallWndHook() noexcept {
  return sizeof(void*) == 8 ? Shared().hCallWndHook64 : Shared().hCallWndHook;
}

// Security for a named object of this session that only this user's programs
// of at least medium integrity (or this process's own, if lower) may open:
// owner and sole grantee the user (all access to the section, so that a
// resident program started again can take it again), a protected DACL, and a
// mandatory label with no-read-up and no-write-up. Null on failure; free with
// LocalFree.
PSECURITY_DESCRIPTOR MakeSessionObjectSecurity() noexcept;
// True when `object` (a kernel object handle, opened with READ_CONTROL)
// carries the security that MakeSessionObjectSecurity gives: owned by this
// user, granting no one else, labelled no-read-up and no-write-up at medium
// (or this process's level, if lower). An object without a label is refused.
bool HasSessionObjectSecurity(HANDLE object) noexcept;

// True when `window` is of the resident program's class and is owned by the
// process the block names as the resident program's (the block being this
// session's, that process is of this session). The libraries send nothing to
// a window that fails this.
bool IsResidentWindow(HWND window) noexcept;
// Publishes `window` (of this session's resident program) as the resident
// window, with its process.
void PublishResidentWindow(HWND window) noexcept;
// The resident window the block names when it passes IsResidentWindow, else
// null: what every message from a library goes to.
HWND ResidentWindow() noexcept;
// The same for the window the file-dialog extension asks.
HWND DlgResidentWindow() noexcept;

}  // namespace quillo
