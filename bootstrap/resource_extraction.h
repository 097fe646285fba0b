#pragma once
// Writes one resource of the running executable to one file, byte for byte,
// straight from the loaded image: one write of the whole resource, no copy,
// no buffer, no conversion.

#include <string>

#include "system_services.h"

// Finds the resource (EResNotFound), removes whatever entry stands at the
// path (a link as itself) and creates the file afresh (EFCreateError when
// either fails) and writes all its bytes in one call (EWriteError when the
// call fails or falls short; a resource of size 0 is not written at all).
// The file is closed on every way out; a truncated file stays. Returns true:
// every failure raises.
bool ExtractResourceToFile(SystemServices& system, const std::string& resourceType,
                           const std::string& resourceName, const std::string& path);
