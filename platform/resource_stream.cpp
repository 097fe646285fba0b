#include "resource_stream.h"

#include "stream_errors.h"

TResourceStream::TResourceStream(SystemServices& system, const std::string& name, const std::string& type) {
  const ResourceRef found = system.FindModuleResource(name, type);
  if (found == nullptr) throw ResourceNotFoundError(name);
  const ResourceRef loaded = system.LoadModuleResource(found);
  if (loaded == nullptr) throw ResourceNotFoundError(name);
  memory_ = system.LockModuleResource(loaded);
  size_ = system.ModuleResourceSize(found);
}
