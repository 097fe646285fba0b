#pragma once
// A file opened for writing that is closed when the stream goes, on every
// way out, so a failed write never leaves a handle behind.

#include <cstdint>
#include <string>

#include "system_services.h"

class TFileStream {
 public:
  // Creates the file, truncating one that exists, opened for reading and
  // writing without sharing. Raises EFCreateError, naming `path`, when the
  // file cannot be created.
  TFileStream(SystemServices& system, const std::string& path);
  ~TFileStream();

  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  // Writes count bytes in one call; returns the number written, 0 when the
  // call failed.
  std::uint32_t Write(const void* data, std::uint32_t count);

  // Writes all count bytes in one call, or raises EWriteError. A count of 0
  // writes nothing and makes no call.
  void WriteBuffer(const void* data, std::uint32_t count);

 private:
  SystemServices& system_;
  FileRef file_;
};
