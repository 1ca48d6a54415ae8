// Replays a fuzz target's saved corpus (fuzz/corpus/<target>/) as an
// ordinary test, so the inputs that once found faults keep being checked in
// every build, not only in fuzzing runs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace corpus {

// The saved inputs of one fuzz target, sorted so a run repeats exactly.
inline std::vector<std::string> files(const char* target) {
  namespace fs = std::filesystem;
  std::vector<std::string> out;
  for (const auto& entry : fs::directory_iterator(fs::path(ZVX_TEST_DATA_DIR) / ".." / "fuzz" / "corpus" / target))
    out.push_back(entry.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

inline std::vector<uint8_t> read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Feeds every saved input of `target` to its fuzz entry point, which must
// return 0 for each; an empty or missing corpus fails too.
template <typename F>
void replay(const char* target, F one_input) {
  const std::vector<std::string> paths = files(target);
  EXPECT_FALSE(paths.empty()) << "no saved inputs for " << target;
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const std::vector<uint8_t> bytes = read(path);
    EXPECT_EQ(one_input(bytes.data(), bytes.size()), 0);
  }
}

}  // namespace corpus
