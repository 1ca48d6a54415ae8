// The file-operation seam and its fault countdown.
#include "base/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

struct Fault {
  FileOp op = FileOp::Write;
  int countdown = 0;
  bool fired = false;
};
Fault fault;

// True when this call of op is the one to fail; errno is set for it.
bool fires(FileOp op) {
  if (fault.countdown <= 0 || op != fault.op) return false;
  if (--fault.countdown != 0) return false;
  fault.fired = true;
  static constexpr int kErrno[] = {EACCES, ENOSPC, EIO, EBUSY};
  errno = kErrno[static_cast<int>(op)];
  return true;
}

int sys_open(const char* path, int flags, mode_t mode) {
  if (fires(FileOp::Open)) return -1;
  return ::open(path, flags, mode);
}
int sys_close(int fd) { return ::close(fd); }
ssize_t sys_read(int fd, void* buf, size_t n) { return ::read(fd, buf, n); }
ssize_t sys_write(int fd, const void* buf, size_t n) {
  if (fires(FileOp::Write)) return -1;
  return ::write(fd, buf, n);
}
off_t sys_seek(int fd, off_t offset, int whence) { return ::lseek(fd, offset, whence); }
ssize_t sys_pread(int fd, void* buf, size_t n, int64_t off) { return ::pread(fd, buf, n, off); }
ssize_t sys_pwrite(int fd, const void* buf, size_t n, int64_t off) { return ::pwrite(fd, buf, n, off); }
int sys_fsync(int fd) {
  if (fires(FileOp::Fsync)) return -1;
  return ::fsync(fd);
}
int sys_rename(const char* from, const char* to) {
  if (fires(FileOp::Rename)) return -1;
  return ::rename(from, to);
}
ssize_t sys_copy_range(int in, int64_t* off, int out, size_t n) {
  if (fires(FileOp::Write)) return -1;
  loff_t o = *off;
  ssize_t r = ::copy_file_range(in, &o, out, nullptr, n, 0);
  if (r > 0) *off = o;
  return r;
}
int sys_link(const char* from, const char* to) { return ::link(from, to); }

FileIo io_in_use = {sys_open,   sys_close, sys_read,   sys_write,      sys_seek, sys_pread,
                    sys_pwrite, sys_fsync, sys_rename, sys_copy_range, sys_link};

}  // namespace

const FileIo file_io_system = {sys_open,   sys_close, sys_read,   sys_write,      sys_seek, sys_pread,
                               sys_pwrite, sys_fsync, sys_rename, sys_copy_range, sys_link};

FileIo& file_io() { return io_in_use; }
void file_io_reset() {
  io_in_use = file_io_system;
  file_fault_disarm();
}

void file_fault_arm(FileOp op, int n) { fault = Fault{op, n, false}; }
void file_fault_disarm() { fault.countdown = 0; }
bool file_fault_fired() { return fault.fired; }
