#pragma once
// Where the last C++ exception was raised. The report shows the code address
// of the raise, which the exception object itself does not know; the link
// routes every throw through a wrapper that notes its caller's address
// (-Wl,--wrap=__cxa_throw, set by the platform_win32 target).

#include <cstdint>

// Return address of the last throw's call into the runtime, 0 before any.
std::uintptr_t LastRaiseAddress();
