// What a name on disk is, as a writer of whole files needs to know it.
//
// A file that is replaced whole (a saved buffer, the state file, a compiled
// module) is written to a new file beside it and renamed over it. That is
// right only for a regular file: a FIFO or a character device named as the
// target is written into, since a rename would replace the node itself, and
// any other kind (a directory, a socket, a block device) is no place for a
// file's text.
//
// A stamp tells whether a file is still the one seen before: another device,
// inode, size or modification time means that something changed it.
#pragma once

#include <sys/stat.h>

#include <cstdint>

enum class FileTarget : uint8_t {
  Missing,  // nothing there, a dangling link, or stat failed (errno says why)
  Regular,  // replaced through a new file and a rename
  Stream,   // a FIFO or character device: written into, never replaced
  Other,    // refused
};

// The kind of the node a path names, following symbolic links; st (optional)
// receives what stat gave.
FileTarget file_target_kind(const char* path, struct stat* st = nullptr);

struct FileStamp {
  bool known = false;   // taken at all
  bool exists = false;  // a file was there when it was taken
  uint64_t dev = 0;
  uint64_t ino = 0;
  int64_t size = 0;
  int64_t mtime_ns = 0;
};

// The stamp of an open file, of a path (following links; exists false when
// nothing is there), or of what stat already gave.
FileStamp file_stamp_of_fd(int fd);
FileStamp file_stamp_of_path(const char* path);
FileStamp file_stamp_of_stat(const struct stat& st);
// True when both stamps were taken and name the same, unchanged file (or
// both found nothing).
bool file_stamp_same(const FileStamp& a, const FileStamp& b);
