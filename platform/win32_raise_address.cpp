#include "win32_raise_address.h"

namespace {
std::uintptr_t g_lastRaiseAddress = 0;
}  // namespace

// The runtime's entry, and the wrapper the linker puts in its place. The
// destructor pointer is only handed on, never called, so its calling
// convention does not matter here.
extern "C" [[noreturn]] void __real___cxa_throw(void* object, void* type, void (*destructor)(void*));

extern "C" [[noreturn]] void __wrap___cxa_throw(void* object, void* type, void (*destructor)(void*)) {
  g_lastRaiseAddress = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
  __real___cxa_throw(object, type, destructor);
}

std::uintptr_t LastRaiseAddress() { return g_lastRaiseAddress; }
