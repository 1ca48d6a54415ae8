// File descriptors: see fd.h.

#include "base/fd.h"

#include <cerrno>

void UniqueFd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

int UniqueFd::close() {
  const int f = release();
  if (f < 0 || ::close(f) == 0) return 0;
  return errno;
}

int fd_write_all(int fd, const void* p, size_t n, FdWriteCall write) {
  const auto* b = static_cast<const char*>(p);
  while (n > 0) {
    const ssize_t w = write(fd, b, n);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) return errno;
    if (w == 0) return errno = ENOSPC;  // nothing more would go in
    b += w;
    n -= static_cast<size_t>(w);
  }
  return 0;
}

int64_t fd_pread_all(int fd, void* p, size_t n, int64_t offset, FdPreadCall pread) {
  auto* b = static_cast<char*>(p);
  size_t got = 0;
  while (got < n) {
    const ssize_t r = pread(fd, b + got, n - got, static_cast<off_t>(offset + static_cast<int64_t>(got)));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) break;  // end of file
    got += static_cast<size_t>(r);
  }
  return static_cast<int64_t>(got);
}
