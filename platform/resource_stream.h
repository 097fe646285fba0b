#pragma once
// A read-only view of one resource of the running executable: the bytes stay
// where the loader put them, inside the mapped image, and are never copied.
// A resource needs no freeing, so letting go of the stream releases nothing.

#include <cstdint>
#include <string>

#include "system_services.h"

class TResourceStream {
 public:
  // Finds and loads the resource; raises EResNotFound, naming `name` as it
  // was passed, when either step fails.
  TResourceStream(SystemServices& system, const std::string& name, const std::string& type);

  TResourceStream(const TResourceStream&) = delete;
  TResourceStream& operator=(const TResourceStream&) = delete;

  // The resource's first byte inside the loaded image.
  const void* Memory() const { return memory_; }
  // The resource's size in bytes.
  std::uint32_t Size() const { return size_; }

 private:
  const void* memory_ = nullptr;
  std::uint32_t size_ = 0;
};
