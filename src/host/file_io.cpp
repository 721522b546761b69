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
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(std::strerror(errno), reason);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) return Fail(std::strerror(errno), reason);
  if (S_ISDIR(info.st_mode)) return Fail(std::strerror(EISDIR), reason);
  // A regular file says its size: one too large is refused before any of it is read.
  if (S_ISREG(info.st_mode) && static_cast<std::uintmax_t>(info.st_size) > kMaxFileBytes) {
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
