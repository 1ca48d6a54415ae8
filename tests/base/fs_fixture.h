// Helpers for tests that use real files: a private temporary directory, a
// recursive listing to prove that nothing else was created or removed, and a
// way to run a check as an unprivileged user (CI runs as root, and root
// ignores permissions, so "access denied" paths would pass vacuously).
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "tests/temp_dir.h"

namespace fstest {

inline constexpr uid_t kNobody = 65534;

// A stand-in environment: a fixture clears fake_env and points the
// environment lookups at fake_env_get (envtest::env.lookup), so tests set
// variables freely.
inline std::map<std::string, std::string> fake_env;
inline const char* fake_env_get(const char* name) {
  auto it = fake_env.find(name);
  return it == fake_env.end() ? nullptr : it->second.c_str();
}

// A fresh directory under $TMPDIR, open to everybody (so that an unprivileged
// child can work in it), removed with its contents at the end.
class TempDir : public zvxtest::TempDir {
 public:
  TempDir() : zvxtest::TempDir("zvx-test") { chmod(path().c_str(), 0777); }
};

// Every path below dir (relative, directories with a trailing '/').
inline std::set<std::string> listing(const std::string& dir) {
  std::set<std::string> out;
  std::function<void(const std::string&)> walk = [&](const std::string& rel) {
    std::string full = rel.empty() ? dir : dir + "/" + rel;
    DIR* d = opendir(full.c_str());
    if (!d) return;
    while (struct dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n == "." || n == "..") continue;
      std::string r = rel.empty() ? n : rel + "/" + n;
      struct stat sb;
      if (lstat((dir + "/" + r).c_str(), &sb) == 0 && S_ISDIR(sb.st_mode)) {
        out.insert(r + "/");
        walk(r);
      } else {
        out.insert(r);
      }
    }
    closedir(d);
  };
  walk("");
  return out;
}

inline void write_file(const std::string& path, const std::string& data, mode_t mode = 0644) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
  if (fd < 0) std::abort();
  if (write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())) std::abort();
  close(fd);
  chmod(path.c_str(), mode);
}

inline std::string read_file(const std::string& path) {
  std::string out;
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return "<missing>";
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  close(fd);
  return out;
}

// Runs fn in a child process as uid/gid 65534 with no supplementary groups
// and returns its result (0..255), or -1 when the child died or could not
// drop its privileges. When the tests already run unprivileged the child
// just runs fn.
inline int run_as_nobody(const std::function<int()>& fn) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (geteuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
          setresuid(kNobody, kNobody, kNobody) != 0)
        _exit(254);
    }
    _exit(fn() & 0xFF);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  int rc = WEXITSTATUS(status);
  return rc == 254 ? -1 : rc;
}

}  // namespace fstest
