#include "processor_fault.h"

#include <gtest/gtest.h>

namespace {

ProcessorFault Fault(std::uint32_t code, std::uintptr_t at, std::uint32_t parameterCount = 0,
                     std::uintptr_t kind = 0, std::uintptr_t target = 0) {
  ProcessorFault fault;
  fault.code = code;
  fault.address = at;
  fault.parameterCount = parameterCount;
  fault.parameters[0] = kind;
  fault.parameters[1] = target;
  return fault;
}

TEST(DescribeProcessorFault, GivesEachKindItsClassAndGermanMessage) {
  struct Case {
    ProcessorFault fault;
    const char* className;
    std::string message;
  };
  const Case cases[] = {
      {Fault(kFaultAccessViolation, 0x401010, 2, kAccessRead, 0),
       "EAccessViolation", "Zugriffsverletzung bei Adresse 00401010. Lesen von Adresse 00000000"},
      {Fault(kFaultAccessViolation, 0x401010, 2, kAccessWrite, 0x1234),
       "EAccessViolation", "Zugriffsverletzung bei Adresse 00401010. Schreiben auf Adresse 00001234"},
      {Fault(kFaultAccessViolation, 0xDEAD0000, 2, kAccessExecute, 0xDEAD0000),
       "EAccessViolation", "Zugriffsverletzung bei Adresse DEAD0000. Befehlsabruf von Adresse DEAD0000"},
      {Fault(kFaultAccessViolation, 0x401010), "EAccessViolation", "Zugriffsverletzung bei Adresse 00401010"},
      {Fault(kFaultIntDivideByZero, 0x401000), "EDivByZero", "Division durch Null"},
      {Fault(kFaultPrivilegedInstruction, 0x401000), "EPrivilege", "Privilegierte Anweisung"},
      {Fault(kFaultStackOverflow, 0x401000), "EStackOverflow", "Stack-\xDC" "berlauf"},
      {Fault(kFaultIllegalInstruction, 0x401000), "EIllegalInstruction", "Ung\xFC" "ltige Anweisung"},
      {Fault(0xE06D7363, 0x401000), "EExternalException", "Externe Exception E06D7363"},
  };
  for (const Case& c : cases) {
    const ReportSubject subject = DescribeProcessorFault(c.fault);
    EXPECT_EQ(subject.className, c.className) << std::hex << c.fault.code;
    EXPECT_EQ(subject.message, c.message) << std::hex << c.fault.code;
    EXPECT_EQ(subject.address, c.fault.address);
  }
}

}  // namespace
