#include "win32_exception_report.h"

#include <windows.h>

#include "processor_fault.h"
#include "report_strings.h"

namespace {

// Longer than either string of the report.
constexpr int kStringCapacity = 1024;

// The box: error icon, OK only, modal for the whole task, no owner.
constexpr UINT kReportBoxFlags = MB_ICONERROR | MB_TASKMODAL;

// A string of our own string table; the built-in text should it be missing.
std::string LoadOwnString(UINT id, const char* fallback) {
  char text[kStringCapacity] = {};
  const int length = LoadStringA(GetModuleHandleA(nullptr), id, text, kStringCapacity);
  return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string(fallback);
}

std::string ModulePath() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(GetModuleHandleA(nullptr), path, MAX_PATH);
  return std::string(path, length);
}

LONG WINAPI ReportProcessorFault(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  ProcessorFault fault;
  fault.code = record.ExceptionCode;
  fault.address = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
  fault.parameterCount = record.NumberParameters;
  for (DWORD i = 0; i < 2 && i < record.NumberParameters; ++i) fault.parameters[i] = record.ExceptionInformation[i];
  ShowExceptionReport(DescribeProcessorFault(fault));
  ExitProcess(kExitCodeAfterReport);
}

}  // namespace

void ShowExceptionReport(const ReportSubject& subject) {
  const std::string format = LoadOwnString(HZL_REPORT_FORMAT_ID, HZL_REPORT_FORMAT_TEXT);
  const std::string title = LoadOwnString(HZL_REPORT_TITLE_ID, HZL_REPORT_TITLE_TEXT);
  const std::string text = FormatExceptionReport(format, ModulePath(), subject);
  MessageBoxA(nullptr, text.c_str(), title.c_str(), kReportBoxFlags);
}

void InstallProcessorFaultReport() { SetUnhandledExceptionFilter(ReportProcessorFault); }
