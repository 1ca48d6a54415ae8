// File descriptors: one owner that closes them, and a read and a write that
// go on until the whole request is done.
//
// Short reads and writes and EINTR are normal on descriptors; every caller
// that needs "all of it" goes through these two loops. The system call they
// make is a parameter, so tests can make it fail or come up short.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

// Owns a descriptor (-1 none) and closes it once, on every path. Move-only.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Gives the descriptor up without closing it.
  int release() {
    int f = fd_;
    fd_ = -1;
    return f;
  }
  // Closes the descriptor held (errors ignored) and takes fd.
  void reset(int fd = -1);
  // Closes now: 0, or the errno of a failed close. After writing, a failed
  // close means the data may not have reached the file.
  int close();

 private:
  int fd_ = -1;
};

using FdWriteCall = ssize_t (*)(int fd, const void* p, size_t n);
using FdPreadCall = ssize_t (*)(int fd, void* p, size_t n, off_t offset);

// Writes all n bytes. 0, or the errno of the write that failed (ENOSPC for
// a write that took nothing); errno is left set to it as well.
int fd_write_all(int fd, const void* p, size_t n, FdWriteCall write = ::write);

// Reads n bytes from offset on, stopping early only at the end of the file.
// The count read (less than n at the end of the file), or -1 with errno set
// when a read fails.
int64_t fd_pread_all(int fd, void* p, size_t n, int64_t offset, FdPreadCall pread = ::pread);
