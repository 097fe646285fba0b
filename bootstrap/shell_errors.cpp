#include "shell_errors.h"

namespace {

struct ShellErrorMapping {
  std::intptr_t shellResult;
  std::uint32_t systemError;
};

// Win32 error codes the shell's own numbers stand for.
constexpr std::uint32_t kErrorNotEnoughMemory = 8;     // ERROR_NOT_ENOUGH_MEMORY
constexpr std::uint32_t kErrorSharingViolation = 32;   // ERROR_SHARING_VIOLATION
constexpr std::uint32_t kErrorNoAssociation = 1155;    // ERROR_NO_ASSOCIATION
constexpr std::uint32_t kErrorDdeFail = 1156;          // ERROR_DDE_FAIL
constexpr std::uint32_t kErrorDllNotFound = 1157;      // ERROR_DLL_NOT_FOUND

constexpr ShellErrorMapping kShellErrors[] = {
    {0, kErrorNotEnoughMemory},    // out of memory or resources
    {26, kErrorSharingViolation},  // SE_ERR_SHARE
    {27, kErrorNoAssociation},     // SE_ERR_ASSOCINCOMPLETE
    {28, kErrorDdeFail},           // SE_ERR_DDETIMEOUT
    {29, kErrorDdeFail},           // SE_ERR_DDEFAIL
    {30, kErrorDdeFail},           // SE_ERR_DDEBUSY
    {31, kErrorNoAssociation},     // SE_ERR_NOASSOC
    {32, kErrorDllNotFound},       // SE_ERR_DLLNOTFOUND
};

}  // namespace

std::uint32_t ShellResultToSystemError(std::intptr_t shellResult) {
  for (const ShellErrorMapping& mapping : kShellErrors) {
    if (mapping.shellResult == shellResult) return mapping.systemError;
  }
  return static_cast<std::uint32_t>(shellResult);
}
