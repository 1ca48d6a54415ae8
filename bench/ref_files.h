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
#include <memory>
#include <string>

#include "tests/temp_dir.h"

namespace bench {

inline constexpr char kMarker[] = "ZORVEX_MARKER_LINE";

class RefFiles {
 public:
  RefFiles() {
    if (const char* d = std::getenv("ZVX_BENCH_FILES"); d && *d) {
      dir_ = d;
      return;
    }
    owned_ = std::make_unique<zvxtest::TempDir>("zvx-ref");
    dir_ = owned_->path();
    const std::string cmd = "python3 '" ZVX_SOURCE_DIR "/bench/gen_files.py' '" + dir_ + "' >&2";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "gen_files.py failed\n");
  }
  // The path of a reference file by its size in MiB (1, 64 or 1024); empty
  // when it is not there.
  std::string path(int mib) const {
    const char* name = mib == 1 ? "f1m.txt" : mib == 64 ? "f64m.txt" : mib == 1024 ? "f1g.txt" : nullptr;
    if (!name || dir_.empty()) return {};
    std::string p = dir_ + "/" + name;
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && st.st_size == static_cast<off_t>(mib) << 20 ? p : std::string();
  }

 private:
  std::string dir_;
  std::unique_ptr<zvxtest::TempDir> owned_;  // the files written here
};

inline const RefFiles& ref_files() {
  static RefFiles r;
  return r;
}

using zvxtest::TempDir;

}  // namespace bench
