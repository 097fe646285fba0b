#include "processor_fault.h"

#include "message_format.h"
#include "platform_messages.h"

namespace {

struct FaultKind {
  std::uint32_t code;
  const char* className;
  const char* message;
};

constexpr FaultKind kFaultKinds[] = {
    {kFaultIntDivideByZero, "EDivByZero", kIntDivByZeroMessage},
    {kFaultIntOverflow, "EIntOverflow", kIntOverflowMessage},
    {kFaultFloatDivideByZero, "EZeroDivide", kZeroDivideMessage},
    {kFaultFloatOverflow, "EOverflow", kFloatOverflowMessage},
    {kFaultFloatUnderflow, "EUnderflow", kFloatUnderflowMessage},
    {kFaultFloatInvalidOperation, "EInvalidOp", kInvalidFloatOpMessage},
    {kFaultPrivilegedInstruction, "EPrivilege", kPrivilegeMessage},
    {kFaultIllegalInstruction, "EIllegalInstruction", kIllegalInstructionMessage},
    {kFaultStackOverflow, "EStackOverflow", kStackOverflowMessage},
};

std::string AccessViolationMessage(const ProcessorFault& fault) {
  const FormatArg at = FormatArg::Number(fault.address);
  if (fault.parameterCount < 2) return FillFormat(kAccessViolationFormat, {at});
  const FormatArg target = FormatArg::Number(fault.parameters[1]);
  switch (fault.parameters[0]) {
    case kAccessRead:
      return FillFormat(kAccessViolationReadFormat, {at, target});
    case kAccessWrite:
      return FillFormat(kAccessViolationWriteFormat, {at, target});
    case kAccessExecute:
      return FillFormat(kAccessViolationFetchFormat, {at, target});
    default:
      return FillFormat(kAccessViolationFormat, {at});
  }
}

}  // namespace

ReportSubject DescribeProcessorFault(const ProcessorFault& fault) {
  ReportSubject subject;
  subject.address = fault.address;
  if (fault.code == kFaultAccessViolation) {
    subject.className = "EAccessViolation";
    subject.message = AccessViolationMessage(fault);
    return subject;
  }
  for (const FaultKind& kind : kFaultKinds) {
    if (kind.code == fault.code) {
      subject.className = kind.className;
      subject.message = kind.message;
      return subject;
    }
  }
  subject.className = "EExternalException";
  subject.message = FillFormat(kExternalExceptionFormat, {FormatArg::Number(fault.code)});
  return subject;
}
