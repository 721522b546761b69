#include "kdp/host/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace kdp::host {
namespace {

bool Fail(const char* why, std::string& reason) {
  reason = why;
  return false;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& reason) {
  bytes.clear();
  // Opened without waiting: a FIFO in a file's place would otherwise hold the open until a writer came.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Fail(std::strerror(errno), reason);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) return Fail(std::strerror(errno), reason);
  if (S_ISDIR(info.st_mode)) return Fail(std::strerror(EISDIR), reason);
  // Only regular files: a FIFO or a device in a file's place is refused at once.
  if (!S_ISREG(info.st_mode)) return Fail("not a regular file", reason);
  // A regular file says its size: one too large is refused before any of it is read.
  if (static_cast<std::uintmax_t>(info.st_size) > kMaxFileBytes) {
    return Fail("larger than 256 MiB", reason);
  }
  char buffer[65536];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(std::strerror(errno), reason);
    }
    if (n == 0) return true;
    if (bytes.size() + static_cast<std::size_t>(n) > kMaxFileBytes) return Fail("larger than 256 MiB", reason);
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace kdp::host
