#include "base/file_node.h"

#include <cerrno>

FileTarget file_target_kind(const char* path, struct stat* out) {
  struct stat st;
  if (::stat(path, &st) != 0) return FileTarget::Missing;
  if (out) *out = st;
  if (S_ISREG(st.st_mode)) return FileTarget::Regular;
  if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) return FileTarget::Stream;
  return FileTarget::Other;
}

FileStamp file_stamp_of_stat(const struct stat& st) {
  FileStamp s;
  s.known = true;
  s.exists = true;
  s.dev = static_cast<uint64_t>(st.st_dev);
  s.ino = static_cast<uint64_t>(st.st_ino);
  s.size = static_cast<int64_t>(st.st_size);
  s.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return s;
}

FileStamp file_stamp_of_fd(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return FileStamp{};
  return file_stamp_of_stat(st);
}

FileStamp file_stamp_of_path(const char* path) {
  struct stat st;
  if (::stat(path, &st) == 0) return file_stamp_of_stat(st);
  FileStamp s;
  s.known = errno == ENOENT || errno == ENOTDIR;  // otherwise nothing is known
  return s;
}

bool file_stamp_same(const FileStamp& a, const FileStamp& b) {
  if (!a.known || !b.known || a.exists != b.exists) return false;
  if (!a.exists) return true;
  return a.dev == b.dev && a.ino == b.ino && a.size == b.size && a.mtime_ns == b.mtime_ns;
}
