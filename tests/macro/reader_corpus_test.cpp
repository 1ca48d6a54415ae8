// The fuzz seeds of the state-file and module readers, read as unit tests:
// every seed is a valid file and must load, link and unload cleanly.
#include "corpus.h"
#include "macro_fixture.h"

namespace {

using ReaderCorpusTest = MacroFilesTest;

TEST_F(ReaderCorpusTest, StateSeedsLoadWithTheCacheOnAndOff) {
  auto files = corpus::files("state_reader");
  ASSERT_FALSE(files.empty());
  for (const std::string& f : files) {
    for (int64_t limit : {int64_t(0), int64_t(-1)}) {
      ASSERT_EQ(name_pool_init(), 0);
      state_reset_read_flag();
      cache_set_limit(limit);
      ASSERT_EQ(state_read(f, nullptr, nullptr), 0) << f;
      EXPECT_EQ(name_text(1), "rc");
      for (int i = 1; i < name_count(); ++i) {
        if (name_is_valid(uint32_t(i)) & NF_HAS_DATA) {
          EXPECT_EQ(name_load_data(uint32_t(i)), 0) << f << " " << i;
        }
      }
      EXPECT_TRUE(name_table_check());
    }
  }
}

TEST_F(ReaderCorpusTest, ModuleSeedsLinkAndUnload) {
  auto files = corpus::files("module_reader");
  ASSERT_FALSE(files.empty());
  for (const std::string& f : files) {
    ASSERT_EQ(name_pool_init(), 0);
    uint32_t index = 0;
    bool module_file = false;
    ASSERT_EQ(mod_load_file(f, &index, &module_file, true), 0) << f;
    EXPECT_TRUE(module_file);
    EXPECT_EQ(mod_unload(index, false, {}), 0);
    EXPECT_TRUE(name_table_check());
  }
}

}  // namespace
