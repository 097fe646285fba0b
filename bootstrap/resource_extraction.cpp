#include "resource_extraction.h"

#include "file_stream.h"
#include "resource_stream.h"
#include "staging_protection.h"

bool ExtractResourceToFile(SystemServices& system, const std::string& resourceType,
                           const std::string& resourceName, const std::string& path) {
  // The resource is found before the file is touched, so a missing resource
  // leaves an existing file as it was.
  TResourceStream resource(system, resourceName, resourceType);
  ClearPathForNewFile(system, path);
  TFileStream file(system, path);
  file.WriteBuffer(resource.Memory(), resource.Size());
  return true;
}
