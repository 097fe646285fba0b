// POSIX form of the file layer. Windows' share mode 0 is imitated with an
// exclusive flock on every open, so that the expander sees the same refusal
// when its output names its own input.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "file_io.h"

namespace {

// Handles must be above 0; should descriptor 0 be free, keep it off limits.
FileHandle AboveZero(int fd) {
  if (fd != 0) return fd;
  int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
  close(fd);
  return moved < 0 ? kInvalidFileHandle : moved;
}

FileHandle OpenUnshared(const std::string& path, int flags) {
  int fd = open(path.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) return kInvalidFileHandle;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return kInvalidFileHandle;
  }
  return AboveZero(fd);
}

FileHandle OpenExisting(const std::string& path) { return OpenUnshared(path, O_RDONLY); }

FileHandle CreateAlways(const std::string& path) {
  // Truncate only once the file is ours, as CREATE_ALWAYS leaves a file in use untouched.
  // A device (a full disk's stand-in /dev/full, say) has nothing to cut and
  // refuses ftruncate; CREATE_ALWAYS opens such a path all the same.
  FileHandle fd = OpenUnshared(path, O_RDWR | O_CREAT);
  if (fd < 0) return fd;
  struct stat info {};
  if (fstat(fd, &info) != 0 || (S_ISREG(info.st_mode) && ftruncate(fd, 0) != 0)) {
    close(fd);
    return kInvalidFileHandle;
  }
  return fd;
}

int32_t Read(FileHandle handle, void* buffer, int32_t count) {
  int32_t done = 0;
  while (done < count) {
    ssize_t n = read(handle, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int32_t Write(FileHandle handle, const void* buffer, int32_t count) {
  int32_t done = 0;
  while (done < count) {
    ssize_t n = write(handle, static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    done += static_cast<int32_t>(n);
  }
  return done;
}

void Flush(FileHandle handle) { (void)fsync(handle); }
void Close(FileHandle handle) { (void)close(handle); }
void Delete(const std::string& path) { (void)unlink(path.c_str()); }

const FileOps kPosixOps = {OpenExisting, CreateAlways, Read, Write, Flush, Close, Delete};

}  // namespace

const FileOps& NativeFileOps() { return kPosixOps; }
