// The file operations of the store, saves and buffered streams, in one
// replaceable record, and the fault countdown tests use to make one chosen
// call fail.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

struct FileIo {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*close)(int fd);
  ssize_t (*read)(int fd, void* buf, size_t n);
  ssize_t (*write)(int fd, const void* buf, size_t n);
  off_t (*seek)(int fd, off_t offset, int whence);
  ssize_t (*pread)(int fd, void* buf, size_t n, int64_t off);
  ssize_t (*pwrite)(int fd, const void* buf, size_t n, int64_t off);
  int (*fsync)(int fd);
  int (*rename)(const char* from, const char* to);
  // Copies n bytes of file in at *off to out (copy_file_range(2)); -1 with
  // errno as the system call sets it.
  ssize_t (*copy_range)(int in, int64_t* off, int out, size_t n);
  int (*link)(const char* from, const char* to);
};

// The system's operations, each failing first when the countdown says so.
extern const FileIo file_io_system;
// The operations in use; tests replace members. file_io_reset puts the
// system's back and disarms the countdown.
FileIo& file_io();
void file_io_reset();

// The countdown: the n-th call of the armed kind fails (write and
// copy_range count as writes) with the kind's errno: open EACCES, write
// ENOSPC, fsync EIO, rename EBUSY.
enum class FileOp : uint8_t { Open, Write, Fsync, Rename };
void file_fault_arm(FileOp op, int n);
void file_fault_disarm();
bool file_fault_fired();
