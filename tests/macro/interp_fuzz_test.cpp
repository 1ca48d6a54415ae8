// The interpreter fuzz target's checks, run over its saved corpus.
#include <gtest/gtest.h>

#define LLVMFuzzerTestOneInput fuzz_interp_one_input
#include "fuzz/interp.cpp"
#undef LLVMFuzzerTestOneInput

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

TEST(InterpFuzzCorpus, SavedInputsRunClean) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(ZVX_TEST_DATA_DIR) / ".." / "fuzz" / "corpus" / "interp";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().string());
    EXPECT_EQ(fuzz_interp_one_input(bytes.data(), bytes.size()), 0);
    ++files;
  }
  fuzz_interp_unsandbox();
  EXPECT_GT(files, 0);
}

}  // namespace
