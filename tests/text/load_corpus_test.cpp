// The load fuzz target's checks, run over its saved corpus as an ordinary test.
#define LLVMFuzzerTestOneInput fuzz_text_load_one_input
#include "fuzz/text_load.cpp"
#undef LLVMFuzzerTestOneInput

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

TEST(TextLoadCorpusTest, SavedInputsLoadWithoutLoss) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(ZVX_TEST_DATA_DIR) / ".." / "fuzz" / "corpus" / "text_load";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(fuzz_text_load_one_input(bytes.data(), bytes.size()), 0) << entry.path();
    ++files;
  }
  EXPECT_GT(files, 0);
}

}  // namespace
