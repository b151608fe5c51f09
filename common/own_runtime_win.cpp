// The pieces of the C++ run-time that the hook library (and the companion
// program that loads its 32-bit flavor) brings itself. The library is mapped
// into every process on the desktop; three small services of the static
// run-time would otherwise drag in far more than they are:
//
// - The throw helpers of libstdc++ (one archive member) build std::length_error,
//   std::out_of_range and their kin, whose message is a reference-counted
//   string: a second complete std::string, std::random_device and formatting
//   helpers, about 80 KB for code that runs only when a container is misused.
// - The per-thread exception state is an emulated thread-local variable, and
//   the emulation, like the unwinder's locks and one-time initialisations,
//   runs on winpthread: a whole threading library (about 35 KB) for one slot,
//   a few locks and "once" flags.
//
// Each replacement keeps the behaviour the library relies on (see below), and
// each defines every symbol of the member it stands for: should a later
// run-time need that member after all, the link fails with duplicate symbols
// instead of changing behaviour quietly.
#include "own_runtime_win.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

// ---- Throw helpers ----------------------------------------------------------
//
// The library catches only std::bad_alloc by type and everything else with
// "catch (...)", and never asks an exception for its text: a plain
// std::exception stands in for the classes that carry a message, and every
// catch takes the branch it took before.

namespace quillo {
namespace {

class ContainerMisuse final : public std::exception {
 public:
  const char* what() const noexcept override { return "container misuse"; }
};

[[noreturn]] void ThrowMisuse() { throw ContainerMisuse(); }

}  // namespace
}  // namespace quillo

namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_logic_error(const char*) { quillo::ThrowMisuse(); }
void __throw_domain_error(const char*) { quillo::ThrowMisuse(); }
void __throw_invalid_argument(const char*) { quillo::ThrowMisuse(); }
void __throw_length_error(const char*) { quillo::ThrowMisuse(); }
void __throw_out_of_range(const char*) { quillo::ThrowMisuse(); }
void __throw_out_of_range_fmt(const char*, ...) { quillo::ThrowMisuse(); }
void __throw_runtime_error(const char*) { quillo::ThrowMisuse(); }
void __throw_range_error(const char*) { quillo::ThrowMisuse(); }
void __throw_overflow_error(const char*) { quillo::ThrowMisuse(); }
void __throw_underflow_error(const char*) { quillo::ThrowMisuse(); }

}  // namespace std

// ---- Per-thread exception state ---------------------------------------------
//
// libstdc++ keeps, per thread, the chain of exceptions being handled and the
// count of those thrown but not yet caught. Its own copy comes from the
// emulated thread-local storage, which allocates on a thread's first throw and
// ends the process when it cannot; so does this one. A fiber-local slot with
// a clean-up routine gives each block back when its thread ends, as the
// emulation did through winpthread's key destructors.

namespace {

// The layout libstdc++ expects (unwind-cxx.h; no ARM unwinder here).
struct EhGlobals {
  void* caughtExceptions;
  unsigned int uncaughtExceptions;
};

INIT_ONCE g_slotOnce = INIT_ONCE_STATIC_INIT;
DWORD g_slot = FLS_OUT_OF_INDEXES;
// Set when the host had no fiber slot left and a thread slot stands in.
bool g_slotIsTls = false;

void WINAPI FreeEhGlobals(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

BOOL CALLBACK AllocateSlot(PINIT_ONCE, PVOID, PVOID*) {
  g_slot = FlsAlloc(FreeEhGlobals);
  if (g_slot == FLS_OUT_OF_INDEXES) {
    // A host that has used up its fiber slots (128 before Windows 10; every
    // DLL with its own static run-time library takes one) still has thread
    // slots. Their blocks are not freed when a thread ends (no detach call
    // reaches this library): a few bytes per thread that threw, where
    // giving up would end the host at its first recoverable throw here.
    const DWORD tls = TlsAlloc();
    if (tls != TLS_OUT_OF_INDEXES) {
      g_slot = tls;
      g_slotIsTls = true;
    }
  }
  return TRUE;
}

void* SlotValue() noexcept { return g_slotIsTls ? TlsGetValue(g_slot) : FlsGetValue(g_slot); }
bool SetSlotValue(void* value) noexcept {
  return (g_slotIsTls ? TlsSetValue(g_slot, value) : FlsSetValue(g_slot, value)) != FALSE;
}

}  // namespace

extern "C" EhGlobals* __cxa_get_globals() noexcept {
  InitOnceExecuteOnce(&g_slotOnce, AllocateSlot, nullptr, nullptr);
  if (g_slot == FLS_OUT_OF_INDEXES) std::abort();
  auto* globals = static_cast<EhGlobals*>(SlotValue());
  if (globals == nullptr) {
    globals = static_cast<EhGlobals*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(EhGlobals)));
    if (globals == nullptr || !SetSlotValue(globals)) std::abort();
  }
  return globals;
}

// The "fast" variant may assume the state exists; only a catch calls it, after
// the throw has made it.
extern "C" EhGlobals* __cxa_get_globals_fast() noexcept { return __cxa_get_globals(); }

namespace quillo {

void ReleaseExceptionGlobals() noexcept {
  // Freeing the slot runs the clean-up routine for every thread's block, so
  // no thread that ends later calls into the library once it has left.
  // A thread slot has no such routine: its blocks stay, and no thread calls
  // into the library for them.
  if (g_slot != FLS_OUT_OF_INDEXES) {
    if (g_slotIsTls) {
      TlsFree(g_slot);
    } else {
      FlsFree(g_slot);
    }
  }
  g_slot = FLS_OUT_OF_INDEXES;
}

}  // namespace quillo

// ---- Locks and one-time initialisations of the unwinder ---------------------
//
// The unwinder and the emergency pool of exception objects use a few mutexes,
// most initialised statically, and "once" flags, through the POSIX calls of
// winpthread. A mutex here is a slim reader/writer lock in the same
// pointer-sized word; the static initialiser (-1, or -2/-3 for the other
// kinds, which nothing here uses) is turned into an unlocked lock on first use.

namespace {

SRWLOCK* AsLock(intptr_t* mutex) {
  static_assert(sizeof(intptr_t) == sizeof(SRWLOCK));
  intptr_t v = *mutex;
  if (v < 0 && v >= -3) {
    InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(mutex), nullptr,
                                      reinterpret_cast<void*>(v));
  }
  return reinterpret_cast<SRWLOCK*>(mutex);
}

// One lock for every "once": the routines run are a few lines each, and none
// starts another.
SRWLOCK g_onceLock = SRWLOCK_INIT;

}  // namespace

extern "C" {

int pthread_mutex_init(intptr_t* mutex, const void*) {
  *mutex = 0;  // SRWLOCK_INIT
  return 0;
}

int pthread_mutex_destroy(intptr_t*) { return 0; }  // a slim lock holds nothing to free

int pthread_mutex_lock(intptr_t* mutex) {
  AcquireSRWLockExclusive(AsLock(mutex));
  return 0;
}

int pthread_mutex_unlock(intptr_t* mutex) {
  ReleaseSRWLockExclusive(reinterpret_cast<SRWLOCK*>(mutex));
  return 0;
}

int pthread_once(long* once, void (*routine)(void)) {
  constexpr long kDone = 1;  // PTHREAD_ONCE_INIT is 0
  if (InterlockedCompareExchange(once, 0, 0) == kDone) return 0;
  AcquireSRWLockExclusive(&g_onceLock);
  if (*once != kDone) {
    routine();
    InterlockedExchange(once, kDone);
  }
  ReleaseSRWLockExclusive(&g_onceLock);
  return 0;
}

}  // extern "C"
