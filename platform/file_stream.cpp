#include "file_stream.h"

#include "stream_errors.h"

TFileStream::TFileStream(SystemServices& system, const std::string& path)
    : system_(system), file_(system.CreateFileForWriting(path)) {
  if (file_ == kInvalidFileRef) throw FileCreateError(path);
}

TFileStream::~TFileStream() { system_.CloseFile(file_); }

std::uint32_t TFileStream::Write(const void* data, std::uint32_t count) {
  std::uint32_t written = 0;
  if (!system_.WriteToFile(file_, data, count, written)) return 0;
  return written;
}

void TFileStream::WriteBuffer(const void* data, std::uint32_t count) {
  if (count == 0) return;
  if (Write(data, count) != count) throw StreamWriteError();
}
