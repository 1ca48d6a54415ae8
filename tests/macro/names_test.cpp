#include "macro/names.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "macro/code_cache.h"

namespace {

struct NamesTest : ::testing::Test {
  void SetUp() override {
    ASSERT_EQ(name_pool_init(), 0);
    cache_set_limit(-1);
  }
  void TearDown() override { EXPECT_TRUE(name_table_check()); }
  static int32_t add(std::string_view n, uint32_t flags) {
    NameEntry e;
    e.flags = flags;
    return name_insert(n, e);
  }
};

TEST_F(NamesTest, FirstInsertIsOneAndFreedIndexIsReused) {
  EXPECT_EQ(add("a", NF_PROC), 1);
  for (int i = 2; i <= 8; ++i) EXPECT_EQ(add(std::string("p").append(std::to_string(i)), NF_PROC), i);
  name_delete(7, true);
  EXPECT_EQ(name_is_valid(7), 0u);
  EXPECT_EQ(add("new", NF_COMMAND), 7);
  EXPECT_EQ(name_text(7), "new");
  EXPECT_EQ(name_count(), 9);
}

TEST_F(NamesTest, DashAndCaseFolding) {
  int32_t p = add("my_proc", NF_PROC);
  EXPECT_EQ(name_text(uint32_t(p)), "my-proc");  // stored in dash form
  for (const char* q : {"my-proc", "MY_PROC", "My-Proc", "my_proc"}) EXPECT_EQ(name_find(q, NF_PROC), uint32_t(p)) << q;
  EXPECT_EQ(name_find("my-proc", NF_GLOBAL), 0u);  // the mask must meet the flags
  EXPECT_EQ(name_find("myproc", NF_PROC), 0u);
}

TEST_F(NamesTest, FileNamesCompareExactly) {
  int32_t m = add("abc.ex", NF_MODULE);
  int32_t d = add("my_lib.dll", NF_DLL_MODULE);
  EXPECT_EQ(name_find("abc.ex", NF_MODULE), uint32_t(m));
  EXPECT_EQ(name_find("ABC.EX", NF_MODULE), 0u);
  EXPECT_EQ(name_text(uint32_t(d)), "my_lib.dll");  // not turned into dash form
  EXPECT_EQ(name_find("my-lib.dll", NF_DLL_MODULE), 0u);
}

TEST_F(NamesTest, NextByPrefix) {
  add("file-open", NF_COMMAND);
  add("x", NF_GLOBAL);
  add("FILE_SAVE", NF_COMMAND);
  add("edit", NF_COMMAND);
  uint32_t i = name_next("file_", 0, NF_COMMAND);
  EXPECT_EQ(i, 1u);
  EXPECT_EQ(name_next("file_", i, NF_COMMAND), 3u);
  EXPECT_EQ(name_next("file_", 3, NF_COMMAND), 0u);
  EXPECT_EQ(name_next("", 0, NF_GLOBAL), 2u);
}

TEST_F(NamesTest, InfoStrings) {
  NameEntry e;
  e.flags = NF_COMMAND;
  int32_t i = name_insert("cmd", e, "does things");
  EXPECT_EQ(name_info(uint32_t(i)), "does things");
  EXPECT_TRUE(name_is_valid(uint32_t(i)) & NF_INFO);
  EXPECT_EQ(name_set_info(uint32_t(i), std::string_view("")), 0);
  EXPECT_FALSE(name_is_valid(uint32_t(i)) & NF_INFO);
  EXPECT_EQ(name_info(uint32_t(i)), "");
  EXPECT_EQ(name_set_info(99, std::string_view("x")), ERR_INVALID_NAME_INDEX);
}

TEST_F(NamesTest, CreateRefusesTypesThatCannotBeCreated) {
  struct Case {
    const char* name;
    uint32_t flags;
    int32_t expect_error;  // 0 = succeeds
  } cases[] = {
      {"v", NF_GLOBAL, ERR_INVALID_ARGUMENT},
      {"m", NF_MODULE, ERR_INVALID_ARGUMENT},
      {"b", NF_BUFLOCAL, ERR_INVALID_ARGUMENT},
      {"both", NF_PROC | NF_COMMAND, ERR_INVALID_ARGUMENT},
      {"", NF_COMMAND, ERR_INVALID_ARGUMENT},
      {"zero", 0, ERR_INVALID_ARGUMENT},
      {"My_Cmd", NF_COMMAND, 0},
      {"Keys", NF_EVENT_TABLE, 0},
  };
  for (const Case& c : cases) {
    int32_t r = name_create(c.name, c.flags, std::nullopt);
    if (c.expect_error) {
      EXPECT_EQ(r, c.expect_error) << c.name;
    } else {
      EXPECT_GT(r, 0) << c.name;
    }
  }
  uint32_t cmd = name_find("my-cmd", NF_COMMAND);
  EXPECT_EQ(name_text(cmd), "my-cmd");  // lower-cased and in dash form
  uint32_t keys = name_find("keys", NF_EVENT_TABLE);
  ASSERT_NE(keys, 0u);
  ASSERT_NE(name_block(keys), nullptr);
  EXPECT_EQ(name_entry(keys)->size, kEventTableBytes);
  EXPECT_TRUE(name_entry(keys)->state & NS_LOCKED);
}

TEST_F(NamesTest, DeletingATableClearsItsHeirs) {
  int32_t parent = name_create("parent", NF_EVENT_TABLE, std::nullopt);
  int32_t child = name_create("child", NF_EVENT_TABLE, std::nullopt);
  uint8_t* b = name_block(uint32_t(child));
  b[0] = uint8_t(parent);
  name_delete(uint32_t(parent), false);
  EXPECT_EQ(name_block(uint32_t(child))[0], 0);
  EXPECT_EQ(name_is_valid(uint32_t(parent)), 0u);
}

TEST_F(NamesTest, RcIsNeverDeleted) {
  EXPECT_EQ(add("rc", NF_GLOBAL), 1);
  name_delete(1, true);
  EXPECT_EQ(name_is_valid(1), uint32_t(NF_GLOBAL));
}

TEST_F(NamesTest, TableIsRefusedAtItsLimitNotWrapped) {
  for (int i = 1; i < kNamesMaxEntries; ++i) ASSERT_EQ(add(std::string("n").append(std::to_string(i)), NF_PROC), i);
  EXPECT_EQ(add("one-too-many", NF_PROC), ERR_INTERPRETER_OUT_OF_MEMORY);
  EXPECT_EQ(name_count(), kNamesMaxEntries);
  name_delete(5, true);
  EXPECT_EQ(add("fits-again", NF_PROC), 5);
}

// Model: a map from folded name to index, with the same comparison rule.
TEST_F(NamesTest, RandomAgainstModel) {
  unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  auto fold = [](std::string s) {
    for (char& c : s) c = c == '_' ? '-' : char(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  std::map<std::string, uint32_t> model;
  const char* alphabet = "aB_-c";
  for (int step = 0; step < 3000; ++step) {
    std::string n;
    for (int k = 0, len = 1 + int(rng() % 4); k < len; ++k) n += alphabet[rng() % 5];
    auto it = model.find(fold(n));
    if (rng() % 3 == 0 && it != model.end()) {
      name_delete(it->second, true);
      model.erase(it);
    } else if (it == model.end()) {
      int32_t i = add(n, NF_PROC);
      ASSERT_GT(i, 0);
      model[fold(n)] = uint32_t(i);
    }
    ASSERT_EQ(name_find(n, NF_CALLABLE), model.count(fold(n)) ? model[fold(n)] : 0u) << n;
    if (step % 100 == 0) {
      ASSERT_TRUE(name_table_check());
    }
  }
}

}  // namespace

namespace {

// Start-up sets the cache limit before it sets up the names table.
TEST(NamesSetup, CacheLimitSurvivesTableSetUp) {
  cache_set_limit(200 * 1024);
  ASSERT_EQ(name_pool_init(), 0);
  EXPECT_EQ(cache_limit(), 200 * 1024);
  cache_set_limit(-1);
}

}  // namespace
