// BM_TagParse: listing the tags of a 10 MB C source from a file, in MB/s.
// The source is Debian's C headers and zlib's example sources, repeated to
// 10 MB in a temporary file; the listed lines go to a fake editor that only
// counts them.
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "services/tag_parse.h"
#include "tests/services/tag_fake_api.h"

namespace {

constexpr size_t kSourceBytes = 10u << 20;

std::string gather() {
  std::string all;
  auto add = [&](const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    all += s.str() + "\n";
  };
  for (const char* dir : {"/usr/include/X11", "/usr/share/doc/zlib1g-dev/examples", "/usr/include"}) {
    if (DIR* d = ::opendir(dir)) {
      while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n.size() > 2 && (n.ends_with(".h") || n.ends_with(".c"))) add(std::string(dir) + "/" + n);
      }
      ::closedir(d);
    }
  }
  if (all.empty()) all = "struct s { int a; };\n#define M(x) (x)\nint f(int a) { return a; }\n";
  return all;
}

const std::string& source_file() {
  static std::string path = [] {
    const char* t = std::getenv("TMPDIR");
    std::string p = std::string(t && *t ? t : "/tmp") + "/zvx-tagbench-" + std::to_string(::getpid()) + ".c";
    const std::string unit = gather();
    std::ofstream f(p, std::ios::binary);
    for (size_t n = 0; n < kSourceBytes; n += unit.size())
      f.write(unit.data(), static_cast<std::streamsize>(std::min(unit.size(), kSourceBytes - n)));
    std::atexit([] { ::unlink(source_file().c_str()); });
    return p;
  }();
  return path;
}

void BM_TagParse(benchmark::State& state) {
  const std::string& path = source_file();
  tagfake::reset();
  TagEditorApi api = tagfake::api();
  static size_t lines = 0;
  api.insert_line = [](int32_t, const char*, int32_t) {
    ++lines;
    return 0;
  };
  tag_api_bind(api);
  for (auto _ : state) {
    lines = 0;
    if (zxc_list_tags(0, path.c_str(), "") != 0) state.SkipWithError("list failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSourceBytes));
  state.counters["tags"] = static_cast<double>(lines);
}
BENCHMARK(BM_TagParse)->Unit(benchmark::kMillisecond);

}  // namespace
