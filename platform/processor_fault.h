#pragma once
// Processor faults (access violations, division by zero...) are not C++
// exceptions; the platform catches them at the top level and reports them
// like any other exception, each kind under a class name of its own.

#include <cstdint>

#include "exception_report.h"

// What the system tells about one fault (an EXCEPTION_RECORD, in short).
struct ProcessorFault {
  std::uint32_t code = 0;           // EXCEPTION_ACCESS_VIOLATION...
  std::uintptr_t address = 0;       // the faulting instruction
  std::uint32_t parameterCount = 0; // how many of the two below are valid
  std::uintptr_t parameters[2] = {0, 0};  // access violation: kind of access, address accessed
};

// Fault codes the report names; any other code is an EExternalException.
inline constexpr std::uint32_t kFaultAccessViolation = 0xC0000005u;
inline constexpr std::uint32_t kFaultIllegalInstruction = 0xC000001Du;
inline constexpr std::uint32_t kFaultFloatDivideByZero = 0xC000008Eu;
inline constexpr std::uint32_t kFaultFloatInvalidOperation = 0xC0000090u;
inline constexpr std::uint32_t kFaultFloatOverflow = 0xC0000091u;
inline constexpr std::uint32_t kFaultFloatUnderflow = 0xC0000093u;
inline constexpr std::uint32_t kFaultIntDivideByZero = 0xC0000094u;
inline constexpr std::uint32_t kFaultIntOverflow = 0xC0000095u;
inline constexpr std::uint32_t kFaultPrivilegedInstruction = 0xC0000096u;
inline constexpr std::uint32_t kFaultStackOverflow = 0xC00000FDu;

// Access kinds in the first parameter of an access violation.
inline constexpr std::uintptr_t kAccessRead = 0;
inline constexpr std::uintptr_t kAccessWrite = 1;
inline constexpr std::uintptr_t kAccessExecute = 8;

// Class name, German message and address of the fault for the report.
ReportSubject DescribeProcessorFault(const ProcessorFault& fault);
