#include "stream_errors.h"

#include "message_format.h"
#include "platform_messages.h"

EResNotFound ResourceNotFoundError(const std::string& resourceName) {
  return EResNotFound(FillFormat(kResNotFoundFormat, {resourceName}));
}

EFCreateError FileCreateError(const std::string& path) {
  return EFCreateError(FillFormat(kFCreateErrorFormat, {path}));
}

EWriteError StreamWriteError() { return EWriteError(kWriteErrorMessage); }
