#pragma once
// The shell's launch results up to 32 are its own error numbers (SE_ERR_...),
// not Win32 error codes; this maps them onto the Win32 codes whose system
// texts describe the same failure.

#include <cstdint>

// The Win32 error code for a failed ShellExecuteA result (0..32). Results
// that are already Win32 codes (2, 3, 5, 8, 11...) map onto themselves.
std::uint32_t ShellResultToSystemError(std::intptr_t shellResult);
