// Preloaded into the editor by the save race test, it plays another program
// that appends a line to the file named by ZVX_RACE_FILE. It runs at the
// first read or copy of that file after the test creates "<file>.arm", that
// is, inside the save the test starts next; the file is changed by a child
// process, and the read goes on once it has.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void append_if_armed(int fd) {
  const char* file = std::getenv("ZVX_RACE_FILE");
  if (!file) return;
  char link[64];
  char target[PATH_MAX];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = ::readlink(link, target, sizeof target - 1);
  if (n < 0) return;
  target[n] = '\0';
  if (std::strcmp(target, file) != 0) return;
  const std::string arm = std::string(file) + ".arm";
  if (::unlink(arm.c_str()) != 0) return;  // not armed, or done already
  const pid_t pid = ::fork();
  if (pid == 0) {
    static const char kLine[] = "a line appended by another program\n";
    const int out = ::open(file, O_WRONLY | O_APPEND);
    const bool ok = out >= 0 && ::write(out, kLine, sizeof kLine - 1) == static_cast<ssize_t>(sizeof kLine - 1);
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  if (pid > 0) ::waitpid(pid, &status, 0);
}

}  // namespace

extern "C" ssize_t pread(int fd, void* buf, size_t n, off_t off) {
  using Fn = ssize_t (*)(int, void*, size_t, off_t);
  static const Fn real = reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, "pread"));
  append_if_armed(fd);
  return real(fd, buf, n, off);
}

extern "C" ssize_t copy_file_range(int in, off64_t* in_off, int out, off64_t* out_off, size_t n, unsigned flags) {
  using Fn = ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned);
  static const Fn real = reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, "copy_file_range"));
  append_if_armed(in);
  return real(in, in_off, out, out_off, n, flags);
}
