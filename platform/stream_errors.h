#pragma once
// The exceptions of the resource and file streams. Their class names and
// messages reach the user through the default failure report, so the
// hierarchy and the texts are part of what the user sees.

#include <string>

#include "exception.h"

// Any failure of a stream.
DECLARE_EXCEPTION_CLASS(EStreamError, Exception);
// A file stream could not create its file.
DECLARE_EXCEPTION_CLASS(EFCreateError, EStreamError);
// Reading or writing the contents of a stream failed.
DECLARE_EXCEPTION_CLASS(EFilerError, EStreamError);
// A write failed or moved fewer bytes than asked.
DECLARE_EXCEPTION_CLASS(EWriteError, EFilerError);
// A resource of the running executable could not be found or loaded.
DECLARE_EXCEPTION_CLASS(EResNotFound, Exception);

// The exceptions with their messages filled in: the name or path verbatim.
EResNotFound ResourceNotFoundError(const std::string& resourceName);
EFCreateError FileCreateError(const std::string& path);
EWriteError StreamWriteError();
