#include "exception_report.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <typeinfo>

#include "exception.h"
#include "message_format.h"
#include "platform_messages.h"

namespace {

constexpr char kUnknownClassName[] = "Exception";

// The readable name of the type of the exception being handled.
std::string CurrentExceptionTypeName() {
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (type == nullptr) return kUnknownClassName;
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(type->name(), nullptr, nullptr, &status),
                                                  std::free);
  return status == 0 && readable ? std::string(readable.get()) : std::string(type->name());
}

}  // namespace

std::string ReportModuleName(const std::string& modulePath) {
  const std::size_t lastBackslash = modulePath.rfind('\\');
  const std::string name = lastBackslash == std::string::npos ? modulePath : modulePath.substr(lastBackslash + 1);
  return name.substr(0, kReportModuleNameLimit);
}

std::string ReportEndMark(const std::string& message) {
  return !message.empty() && message.back() != '.' ? "." : "";
}

std::string FormatExceptionReport(const std::string& format, const std::string& modulePath,
                                  const ReportSubject& subject) {
  return FillFormat(format, {subject.className, ReportModuleName(modulePath), FormatArg::Number(subject.address),
                             subject.message, ReportEndMark(subject.message)});
}

ReportSubject DescribeException(const std::exception_ptr& caught, std::uintptr_t raiseAddress) {
  ReportSubject subject;
  subject.address = raiseAddress;
  try {
    std::rethrow_exception(caught);
  } catch (const Exception& e) {
    subject.className = e.ClassName();
    subject.message = e.Message();
  } catch (const std::bad_alloc&) {
    subject.className = EOutOfMemory(kOutOfMemoryMessage).ClassName();
    subject.message = kOutOfMemoryMessage;
  } catch (...) {
    subject.className = CurrentExceptionTypeName();
  }
  return subject;
}
