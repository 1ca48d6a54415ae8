// Regular files of bounded size, opened without waiting: see regular_file.h.
#include "base/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <new>

#include "base/file_io.h"
#include "base/os.h"

namespace {

RegularFile refuse(ErrorCode code, RegularFileRefusal why) {
  RegularFile f;
  f.error = code;
  f.refused = why;
  return f;
}

// Not a regular file, or more than max_bytes: the refusal, else NotRefused.
RegularFileRefusal judge(const struct stat& st, int64_t max_bytes) {
  if (!S_ISREG(st.st_mode)) return RegularFileRefusal::NotRegular;
  if (st.st_size > max_bytes) return RegularFileRefusal::TooLarge;
  return RegularFileRefusal::NotRefused;
}

ErrorCode code_of(RegularFileRefusal why) {
  return why == RegularFileRefusal::TooLarge ? ERR_INSUFFICIENT_MEMORY : ERR_ACCESS_DENIED;
}

}  // namespace

RegularFile regular_file_open(const char* path, int64_t max_bytes) {
  // Looked at first, so that a device is never opened (opening some has
  // effects of its own).
  struct stat st;
  if (::stat(path, &st) != 0) return refuse(os_open_error(path, errno), RegularFileRefusal::NotRefused);
  if (const RegularFileRefusal why = judge(st, max_bytes); why != RegularFileRefusal::NotRefused)
    return refuse(code_of(why), why);
  int fd;
  do fd = file_io().open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return refuse(os_open_error(path, errno), RegularFileRefusal::NotRefused);
  RegularFile f;
  f.fd.reset(fd);
  // The name may have been given to another node since stat looked.
  if (::fstat(fd, &st) != 0) return refuse(os_errno_code(errno, ERR_OPENING_FILE), RegularFileRefusal::NotRefused);
  if (const RegularFileRefusal why = judge(st, max_bytes); why != RegularFileRefusal::NotRefused)
    return refuse(code_of(why), why);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  f.size = static_cast<int64_t>(st.st_size);
  return f;
}

ErrorCode regular_file_read(const char* path, int64_t max_bytes, std::string* out, RegularFileRefusal* refused) {
  out->clear();
  RegularFile f = regular_file_open(path, max_bytes);
  if (refused) *refused = f.refused;
  if (f.error) return f.error;
  try {
    out->resize(static_cast<size_t>(f.size));
  } catch (const std::bad_alloc&) {
    return ERR_INSUFFICIENT_MEMORY;
  }
  const int64_t got = fd_pread_all(f.fd.get(), out->data(), out->size(), 0, file_io().pread);
  if (got < 0) {
    out->clear();
    return ERR_READING_FILE;
  }
  out->resize(static_cast<size_t>(got));
  return 0;
}

const char* regular_file_refusal_text(RegularFileRefusal refused) {
  switch (refused) {
    case RegularFileRefusal::NotRegular:
      return "is not a regular file";
    case RegularFileRefusal::TooLarge:
      return "is too large";
    case RegularFileRefusal::NotRefused:
      break;
  }
  return "";
}
