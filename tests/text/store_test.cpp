// The store core: page sizing, page limits, eviction to and from the spill
// file, the spill file itself, slot reuse, table growth, retry boxes.

#include <sys/stat.h>

#include <cstring>

#include "base/file_io.h"
#include "base/mem.h"
#include "store_fixture.h"

using namespace storetest;

namespace {

struct Sizing {
  int32_t max_mb;
  int page_size;
  int alloc_size;
  int image_size;  // what a spill slot holds
};

class StoreSizingTest : public StoreTest, public ::testing::WithParamInterface<Sizing> {};

TEST_P(StoreSizingTest, PageSizeFollowsTheMaximumFileSize) {
  init(-1, GetParam().max_mb);
  EXPECT_EQ(GetParam().page_size, store_page_size());
  EXPECT_EQ(GetParam().alloc_size, store_alloc_size());
  EXPECT_EQ(GetParam().image_size, store_image_size());
}

// Sizes and boundaries as the rule gives them; 1 MB behaves like 2, 1000 like 900.
INSTANTIATE_TEST_SUITE_P(Table, StoreSizingTest,
                         ::testing::Values(Sizing{1, 8192, 10060, 10040}, Sizing{2, 8192, 10060, 10040},
                                           Sizing{23, 8192, 10060, 10040}, Sizing{24, 16384, 20100, 20080},
                                           Sizing{94, 16384, 20100, 20080}, Sizing{95, 32768, 40168, 40148},
                                           Sizing{305, 32768, 40168, 40148}, Sizing{306, 53248, 65256, 65236},
                                           Sizing{900, 53248, 65256, 65236}, Sizing{1000, 53248, 65256, 65236}));

TEST_F(StoreTest, PageLimitFromKilobytes) {
  int32_t kb = 20, limit = 0;
  ASSERT_EQ(0, store_set_page_limit(kb, limit));
  EXPECT_EQ(3, limit);  // 20 * 1024 / 10060 + 1
  EXPECT_EQ(29, kb);    // what three pages hold, rounded down
  kb = 10;              // 2 pages: refused, the limit stays
  EXPECT_EQ(ERR_NOT_ENOUGH_MEMORY, store_set_page_limit(kb, limit));
  EXPECT_EQ(3, store_page_limit());
  kb = 0;
  EXPECT_EQ(ERR_NOT_ENOUGH_MEMORY, store_set_page_limit(kb, limit));
  kb = -5;
  ASSERT_EQ(0, store_set_page_limit(kb, limit));
  EXPECT_EQ(-1, limit);
  EXPECT_EQ(-1, kb);
  EXPECT_EQ(-1, store_page_limit());
}

// Many pages of new text under a three-page limit: they spill and come back.
TEST_F(StoreTest, DirtyPagesSpillToAPrivateFileAndComeBack) {
  init(kThreePagesKb);
  BufferRec* b = new_text();
  PosRecord p{};
  pos_first_line(&p, b);
  std::vector<std::string> want{""};
  for (int i = 0; i < 2000; ++i) {
    std::string t = "line " + std::to_string(i) + std::string(static_cast<size_t>(i % 70), 'x');
    ASSERT_EQ(0, line_insert_text(t.data(), static_cast<int32_t>(t.size()), &p, b));
    want.push_back(t);
  }
  EXPECT_LE(store_pages_allocated(), 3);
  ASSERT_FALSE(store_spill_path().empty());
  struct stat st {};
  ASSERT_EQ(0, ::stat(store_spill_path().c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 0777u);
  std::string name = store_spill_path().substr(store_spill_path().rfind('/') + 1);
  EXPECT_EQ(0u, name.find("$zvx."));
  EXPECT_EQ(dir_.path + "/" + name, store_spill_path());
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
  EXPECT_TRUE(same_lines(want, lines_backward(b)));
  EXPECT_EQ("", store_check(b));
  std::string path = store_spill_path();
  store_close_spill();
  EXPECT_NE(0, ::access(path.c_str(), F_OK)) << "the spill file is removed";
}

TEST_F(StoreTest, ShutdownRemovesTheSpillFile) {
  init(kThreePagesKb);
  BufferRec* b = new_text();
  PosRecord p{};
  pos_first_line(&p, b);
  std::string t(60, 'q');
  for (int i = 0; i < 800; ++i) ASSERT_EQ(0, line_insert_text(t.data(), 60, &p, b));
  std::string path = store_spill_path();
  ASSERT_FALSE(path.empty());
  TearDown();
  EXPECT_NE(0, ::access(path.c_str(), F_OK));
  SetUp();
}

// A name that exists (here a planted link to a victim file) is never opened.
TEST_F(StoreTest, SpillFileIsCreatedExclusively) {
  std::string victim = dir_.file("victim");
  write_file(victim, "keep me");
  std::string planted = dir_.file("$zvx." + std::to_string(::getpid()));
  ASSERT_EQ(0, ::symlink(victim.c_str(), planted.c_str()));
  init(kThreePagesKb);
  BufferRec* b = new_text();
  PosRecord p{};
  pos_first_line(&p, b);
  std::string t(80, 'z');
  for (int i = 0; i < 800; ++i) ASSERT_EQ(0, line_insert_text(t.data(), 80, &p, b));
  EXPECT_EQ(dir_.file("$zvx." + std::to_string(::getpid() + 1)), store_spill_path());
  char got[16] = {};
  int fd = ::open(victim.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(7, ::read(fd, got, sizeof got));
  ::close(fd);
  EXPECT_STREQ("keep me", got);
  store_close_spill();
  ::unlink(planted.c_str());
}

TEST_F(StoreTest, UnusableSpillDirectoryFallsBackToTmp) {
  TempDir tmp;
  const char* old = std::getenv("TMP");
  std::string saved = old ? old : "";
  ::setenv("TMP", tmp.path.c_str(), 1);
  ASSERT_EQ(0, store_init(kThreePagesKb, "/nonexistent-zvx-dir", 20));
  BufferRec* b = new_text();
  PosRecord p{};
  pos_first_line(&p, b);
  std::string t(80, 'z');
  for (int i = 0; i < 800; ++i) ASSERT_EQ(0, line_insert_text(t.data(), 80, &p, b));
  EXPECT_EQ(0u, store_spill_path().find(tmp.path + "/$zvx."));
  if (old)
    ::setenv("TMP", saved.c_str(), 1);
  else
    ::unsetenv("TMP");
  for (auto& x : bufs_) store_close_buffer(x.get());
  bufs_.clear();
  store_shutdown();
}

// Clean pages read from a file are dropped and read again, never written.
TEST_F(StoreTest, CleanSourcePagesAreNeverWritten) {
  init(kThreePagesKb);
  std::string text;
  std::vector<std::string> want;
  for (int i = 0; i < 3000; ++i) {
    want.push_back("source line " + std::to_string(i));
    text += want.back() + "\n";
  }
  static int writes;
  writes = 0;
  file_io().pwrite = [](int fd, const void* p, size_t n, int64_t off) -> long {
    ++writes;
    return ::pwrite(fd, p, n, off);
  };
  BufferRec* b = load(text);
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
  EXPECT_TRUE(same_lines(want, lines_backward(b)));
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
  EXPECT_EQ(0, writes);
  EXPECT_TRUE(store_spill_path().empty());
}

// A slot given back by a deleted block is used again before the file grows.
TEST_F(StoreTest, FreedSlotsAreReusedBeforeTheFileGrows) {
  init(kThreePagesKb);
  BufferRec* b = new_text();
  PosRecord p{};
  pos_first_line(&p, b);
  std::string t(100, 'y');
  for (int i = 0; i < 600; ++i) ASSERT_EQ(0, line_insert_text(t.data(), 100, &p, b));
  ASSERT_GT(store_spill_end(), 0);
  // Delete the first lines until at least one spilled block has been emptied.
  PosRecord d{};
  pos_first_line(&d, b);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(0, line_delete(&d, b));
  int64_t freed = store_spill_free_head();
  ASSERT_GE(freed, 0) << "a freed slot is on the list";
  int64_t end = store_spill_end();
  // New text at the end makes pages spill, one at a time: the first slot
  // taken is the freed one, and the file has not grown by then.
  PosRecord q{};
  pos_last_line(&q, b);
  for (int i = 0; i < 2000 && store_spill_free_head() == freed; ++i)
    ASSERT_EQ(0, line_insert_text(t.data(), 100, &q, b));
  EXPECT_NE(freed, store_spill_free_head());
  EXPECT_EQ(end, store_spill_end());
  EXPECT_EQ("", store_check(b));
}

TEST_F(StoreTest, BlockTableGrowsByFourHundredAndKeepsNumbers) {
  init(-1, 2);
  int32_t cap = store_block_capacity();
  EXPECT_EQ(256, cap);  // 2 MB of 8,192-byte pages
  std::vector<int32_t> blocks;
  int32_t prev = -1;
  for (int i = 0; i < cap + 1; ++i) {
    int32_t blk = block_alloc(-1, prev);
    ASSERT_GE(blk, 0);
    if (prev >= 0) store_block(prev).next = blk;
    blocks.push_back(blk);
    prev = blk;
  }
  EXPECT_EQ(cap + kBlockGrowStep, store_block_capacity());
  for (size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(static_cast<int32_t>(i), blocks[i]);
    EXPECT_EQ(i ? blocks[i - 1] : -1, store_block(blocks[i]).prev);
  }
  store_free_blocks(blocks.front());
}

// A spill read that fails asks the user; retry can succeed, cancel gives up.
TEST_F(StoreTest, SpillReadErrorsAskToRetry) {
  init(kThreePagesKb);
  BufferRec* b = new_text();
  PosRecord p{};
  pos_first_line(&p, b);
  std::vector<std::string> want{""};
  for (int i = 0; i < 900; ++i) {
    std::string t = "r" + std::to_string(i) + std::string(50, '-');
    ASSERT_EQ(0, line_insert_text(t.data(), static_cast<int32_t>(t.size()), &p, b));
    want.push_back(t);
  }
  static int failures;
  file_io().pread = [](int fd, void* d, size_t n, int64_t off) -> long {
    if (failures > 0) {
      --failures;
      return -1;
    }
    return ::pread(fd, d, n, off);
  };
  failures = 2;
  uitest::ui.spill_answer = [] { return true; };
  int shown = uitest::ui.spill_asked;
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
  EXPECT_EQ(shown + 2, uitest::ui.spill_asked);

  failures = 1000000;
  uitest::ui.spill_answer = [] { return false; };
  uitest::reset_errors();
  PosRecord q{};
  pos_top(&q, b);
  int32_t rc = pos_goto_line(1, &q, b);
  EXPECT_EQ(ERR_SPILL_IO, rc);
  EXPECT_EQ(ERR_SPILL_IO, uitest::ui.last_error);
  failures = 0;
  EXPECT_TRUE(same_lines(want, lines_forward(b))) << "nothing was lost";
}

// A failed spill write fails the eviction with -2031; the text stays whole.
TEST_F(StoreTest, SpillWriteErrorsKeepThePage) {
  init(kThreePagesKb);
  BufferRec* b = new_text();
  PosRecord p{};
  pos_first_line(&p, b);
  file_io().pwrite = [](int, const void*, size_t, int64_t) -> long { return -1; };
  std::string t(100, 'w');
  int32_t rc = 0;
  int inserted = 0;
  while (rc == 0 && inserted < 1000) {
    rc = line_insert_text(t.data(), 100, &p, b);
    if (rc == 0) ++inserted;
  }
  EXPECT_EQ(ERR_SPILL_IO, rc);
  EXPECT_EQ("", store_check(b));
  file_io_reset();
  EXPECT_EQ(static_cast<size_t>(inserted + 1), lines_forward(b).size());
}

TEST_F(StoreTest, StoreMallocEvictsPagesWhenTheSystemRefuses) {
  BufferRec* b = new_text();
  PosRecord p{};
  pos_first_line(&p, b);
  std::string t(100, 'm');
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(0, line_insert_text(t.data(), 100, &p, b));
  int before = store_pages_allocated();
  ASSERT_GT(before, 6);
  {
    MemFaultGuard fail(1);  // the next system allocation fails once
    void* m = store_malloc(3 * static_cast<size_t>(store_alloc_size()));
    ASSERT_NE(nullptr, m);
    mem_free(m);
  }
  EXPECT_LT(store_pages_allocated(), before);
  EXPECT_EQ(static_cast<size_t>(1001), lines_forward(b).size());
}

TEST_F(StoreTest, ReadRawBytesAcrossBlocks) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "raw " + std::to_string(i) + "\n";
  BufferRec* b = load(text);
  lines_forward(b);
  std::string got(text.size(), '\0');
  int32_t first = b->first_block;
  EXPECT_EQ(static_cast<int64_t>(text.size()),
            buf_read_bytes(got.data(), static_cast<int64_t>(text.size()), first, 1, b));
  EXPECT_EQ(text, got);
  EXPECT_EQ(ERR_INVALID_ARGUMENT, buf_read_bytes(got.data(), -1, first, 1, b));
  std::string part(100, '\0');
  EXPECT_EQ(100, buf_read_bytes_at(part.data(), 100, 9000, b));
  EXPECT_EQ(text.substr(9000, 100), part);
  EXPECT_EQ(ERR_INVALID_POINT, buf_read_bytes_at(part.data(), 1, static_cast<int64_t>(text.size()) + 5, b));
  int64_t end = 0;
  int32_t last = -1;
  buf_end_info(b, end, last);
  EXPECT_EQ(static_cast<int64_t>(text.size()), end);
  EXPECT_EQ(-1, store_block(last).next);
}

}  // namespace

// A buffer that was never loaded has no blocks: moves answer "bottom of
// file" instead of reading before the start of the block table.
TEST_F(StoreTest, ABufferWithNoTextHasNoLinesToMoveTo) {
  init(-1);
  BufferRec* b = new_buffer();
  ASSERT_EQ(-1, b->first_block);
  PosRecord pos{};
  EXPECT_EQ(0, pos_first_line(&pos, b));
  EXPECT_EQ(ERR_BOTTOM_OF_FILE, pos_next_line(&pos, b));
  EXPECT_EQ(ERR_BOTTOM_OF_FILE, pos_goto_line(3, &pos, b));
  Page* page = nullptr;
  EXPECT_EQ(ERR_BOTTOM_OF_FILE, store_get_page(page, b->first_block, b));
}
