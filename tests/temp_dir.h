// The one place where tests, benchmarks and fuzz targets get a directory for
// their files: a fresh private directory under $TMPDIR (else /tmp), removed
// with everything in it at the end, so that a run leaves nothing behind and
// parallel runs never meet.
#pragma once

#include <ftw.h>
#include <limits.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace zvxtest {

// $TMPDIR when it is set and not empty, else /tmp.
inline std::string temp_root() {
  const char* t = std::getenv("TMPDIR");
  return (t && *t) ? t : "/tmp";
}

// Removes path and everything below it, read-only directories included.
inline void remove_tree(const std::string& path) {
  nftw(
      path.c_str(),
      [](const char* f, const struct stat* sb, int type, struct FTW*) {
        if (type == FTW_D || type == FTW_DP || (type != FTW_SL && S_ISDIR(sb->st_mode))) chmod(f, 0700);
        return 0;
      },
      16, FTW_PHYS);
  nftw(
      path.c_str(), [](const char* f, const struct stat*, int, struct FTW*) { return remove(f); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

// A fresh directory (mode 0700) named <prefix>-XXXXXX under temp_root(),
// removed with its contents by the destructor. Aborts when none can be made:
// a test without its directory would only fail later and less clearly.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "zvx") {
    std::string t = temp_root() + "/" + prefix + "-XXXXXX";
    std::vector<char> buf(t.begin(), t.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) {
      std::perror(("cannot make a directory under " + temp_root()).c_str());
      std::abort();
    }
    // Absolute, so that a process that changes directory still finds it.
    char* real = realpath(buf.data(), nullptr);
    path_ = real ? real : buf.data();
    std::free(real);
  }
  ~TempDir() { remove_tree(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// One directory for the whole process (fuzz targets, benchmarks), made on
// first use and removed when the process exits normally.
inline const std::string& process_temp_dir() {
  static TempDir dir;
  return dir.path();
}

}  // namespace zvxtest
