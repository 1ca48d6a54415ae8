// The reference files every benchmark that reads text uses: the seeded
// source-like lines that bench/gen_files.py writes (f1m.txt, f64m.txt,
// f1g.txt, empty.txt; one "ZORVEX_MARKER_LINE" at 95 % of each), so that
// Zorvex and the tools it is compared with read the same bytes.
//
// ZVX_BENCH_FILES names a directory that holds them already (compare.sh
// writes them once and sets it). Without it they are written on first use
// into a temporary directory under TMPDIR (about 45 s for all three) and
// removed at exit.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace bench {

inline constexpr char kMarker[] = "ZORVEX_MARKER_LINE";

inline std::string temp_root() {
  const char* t = std::getenv("TMPDIR");
  return t && *t ? t : "/tmp";
}

class RefFiles {
 public:
  RefFiles() {
    if (const char* d = std::getenv("ZVX_BENCH_FILES"); d && *d) {
      dir_ = d;
      return;
    }
    std::string t = temp_root() + "/zvx-ref-XXXXXX";
    if (!::mkdtemp(t.data())) return;
    dir_ = t;
    owned_ = true;
    const std::string cmd = "python3 '" ZVX_SOURCE_DIR "/bench/gen_files.py' '" + dir_ + "' >&2";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "gen_files.py failed\n");
  }
  ~RefFiles() {
    if (!owned_) return;
    for (const char* f : {"f1m.txt", "f64m.txt", "f1g.txt", "empty.txt"}) ::unlink((dir_ + "/" + f).c_str());
    ::rmdir(dir_.c_str());
  }
  // The path of a reference file by its size in MiB (1, 64 or 1024); empty
  // when it is not there.
  std::string path(int mib) const {
    const char* name = mib == 1 ? "f1m.txt" : mib == 64 ? "f64m.txt" : mib == 1024 ? "f1g.txt" : nullptr;
    if (!name || dir_.empty()) return {};
    std::string p = dir_ + "/" + name;
    struct stat st{};
    return ::stat(p.c_str(), &st) == 0 && st.st_size == static_cast<off_t>(mib) << 20 ? p : std::string();
  }

 private:
  std::string dir_;
  bool owned_ = false;
};

inline const RefFiles& ref_files() {
  static RefFiles r;
  return r;
}

// A temporary directory under TMPDIR, removed with what it holds.
class TempDir {
 public:
  TempDir() {
    std::string t = temp_root() + "/zvx-bench-XXXXXX";
    if (::mkdtemp(t.data())) path_ = t;
  }
  ~TempDir() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  const std::string& path() const { return path_; }
  std::string file(const std::string& leaf) const { return path_ + "/" + leaf; }

 private:
  std::string path_;
};

}  // namespace bench
