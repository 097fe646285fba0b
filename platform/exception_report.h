#pragma once
// The text of the default failure report: what the box says about an
// exception that escaped the program. Building the text is kept apart from
// showing it, so the rules below hold the same on every system.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

// Exit code of the process after the report.
inline constexpr int kExitCodeAfterReport = 1;

// The module name in the report is cut to this many characters.
inline constexpr std::size_t kReportModuleNameLimit = 63;

// What the report says about one exception.
struct ReportSubject {
  std::string className;      // "EResNotFound", "EAccessViolation"...
  std::string message;        // empty for an object that is not an Exception
  std::uintptr_t address = 0; // code address at which it was raised
};

// The part of a module path after its last backslash, cut to
// kReportModuleNameLimit characters.
std::string ReportModuleName(const std::string& modulePath);

// "." after a message that is not empty and does not already end in "."; an
// empty text otherwise.
std::string ReportEndMark(const std::string& message);

// The format (string 65438: class name, module name, address, message, end
// mark) filled in for the subject, raised in the module at modulePath.
std::string FormatExceptionReport(const std::string& format, const std::string& modulePath,
                                  const ReportSubject& subject);

// Class name and message of a caught exception: an Exception gives its own;
// memory running out (std::bad_alloc) is EOutOfMemory; any other object gives
// its type's name and an empty message.
ReportSubject DescribeException(const std::exception_ptr& caught, std::uintptr_t raiseAddress);
