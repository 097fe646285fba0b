#pragma once
// The expander's two exception classes. They add nothing but their names:
// ELzrw1Exception for the file expander and its buffered input and output,
// ElzhException for the stream decoder.

#include "exception.h"

DECLARE_EXCEPTION_CLASS(ELzrw1Exception, Exception);
DECLARE_EXCEPTION_CLASS(ElzhException, Exception);
