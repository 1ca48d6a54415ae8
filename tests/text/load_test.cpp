// Loading files: end-of-line conventions, Ctrl-Z, missing final end of line,
// over-long lines, lines across page boundaries, raw mode, laziness, and a
// file over 4 GiB.

#include <sys/stat.h>

#include <fstream>
#include <random>
#include <sstream>

#include "base/file_io.h"
#include "store_fixture.h"
#include "text/save.h"

using namespace storetest;

namespace {

using Lines = std::vector<std::string>;

struct LoadCase {
  const char* name;
  std::string content;
  StoreLoadOptions opt;
  Lines lines;
  uint8_t eol0, eol1;
  int64_t bytes;  // buffer byte count after loading
};

class LoadCaseTest : public StoreTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadCaseTest, LoadsAsExpected) {
  const LoadCase& c = GetParam();
  BufferRec* b = load(c.content, c.opt);
  EXPECT_TRUE(same_lines(c.lines, lines_forward(b)));
  EXPECT_TRUE(same_lines(c.lines, lines_backward(b)));
  EXPECT_EQ(c.eol0, b->eol[0]);
  EXPECT_EQ(c.eol1, b->eol[1]);
  EXPECT_EQ(c.bytes, b->bytes);
  EXPECT_EQ(0, b->modified) << "loading leaves the buffer unmodified";
  EXPECT_EQ("", store_check(b));
}

const StoreLoadOptions kLazy{};
const StoreLoadOptions kWhole{true, false, 0, false};
const StoreLoadOptions kCtrlZ{false, true, 0, false};
const StoreLoadOptions kRaw{false, false, 2, false};

INSTANTIATE_TEST_SUITE_P(
    Table, LoadCaseTest,
    ::testing::Values(
        LoadCase{"empty", "", kLazy, {}, '\n', '\n', 0}, LoadCase{"lf", "a\nbb\n", kLazy, {"a", "bb"}, '\n', '\n', 5},
        LoadCase{"no_final_eol", "a\nbb", kLazy, {"a", "bb"}, '\n', '\n', 5},
        LoadCase{"no_eol_at_all", "abc", kLazy, {"abc"}, '\n', '\n', 4},
        LoadCase{"crlf", "a\r\nbb\r\n", kLazy, {"a", "bb"}, '\r', '\n', 7},
        LoadCase{"crlf_no_final", "a\r\nbb", kLazy, {"a", "bb"}, '\r', '\n', 7},
        LoadCase{"crlf_final_cr_only", "a\r\nbb\r", kLazy, {"a", "bb"}, '\r', '\n', 7},
        LoadCase{"cr", "a\rbb\r", kLazy, {"a", "bb"}, '\r', '\r', 5},
        LoadCase{"ctrl_z_dropped", "a\nb\n\x1a", kLazy, {"a", "b"}, '\n', '\n', 4},
        LoadCase{"ctrl_z_whole", "a\nb\n\x1a", kWhole, {"a", "b"}, '\n', '\n', 4},
        LoadCase{"ctrl_z_stops",
                 "a\nb\x1a"
                 "c\nd\n",
                 kCtrlZ,
                 {"a", "b"},
                 '\n',
                 '\n',
                 4},
        LoadCase{"ctrl_z_at_line_start",
                 "a\n\x1a"
                 "b\n",
                 kCtrlZ,
                 {"a"},
                 '\n',
                 '\n',
                 2},
        LoadCase{"raw_keeps_eol", "a\r\nb\r\n\x1a", kRaw, {"a\r\n", "b\r\n", "\x1a"}, '\r', '\n', 7},
        LoadCase{"line_at_limit", std::string(1023, 'x') + "\n", kLazy, {std::string(1023, 'x')}, '\n', '\n', 1024},
        LoadCase{
            "line_over_limit", std::string(1024, 'x') + "\n", kLazy, {std::string(1024, 'x'), ""}, '\n', '\n', 1025},
        LoadCase{"crlf_line_of_1023",
                 std::string(1023, 'x') + "\r\n",
                 kLazy,
                 {std::string(1023, 'x'), ""},
                 '\r',
                 '\n',
                 1025},
        LoadCase{"long_line_split",
                 std::string(3000, 'y'),
                 kLazy,
                 {std::string(1024, 'y'), std::string(1024, 'y'), std::string(952, 'y')},
                 '\n',
                 '\n',
                 3001}),
    [](const ::testing::TestParamInfo<LoadCase>& i) { return std::string(i.param.name); });

TEST_F(StoreTest, LongLineIsReportedOnce) {
  uitest::reset_errors();
  load(std::string(3000, 'y') + "\n" + std::string(2000, 'z') + "\n");
  BufferRec* b = bufs_.back().get();
  lines_forward(b);
  EXPECT_EQ(ERR_LINES_TRUNCATED, uitest::ui.last_error);
  EXPECT_EQ(1, uitest::ui.error_count);
}

TEST_F(StoreTest, NewBufferHoldsOneEmptyLine) {
  BufferRec* b = new_text();
  EXPECT_TRUE(same_lines(Lines{""}, lines_forward(b)));
  EXPECT_EQ(1, b->bytes);
  BufferRec* c = new_text('\r', '\n');
  EXPECT_TRUE(same_lines(Lines{""}, lines_forward(c)));
  EXPECT_EQ(2, c->bytes);
}

TEST_F(StoreTest, EndOfLineGivenByTheCallerIsKept) {
  BufferRec* b = new_buffer();
  b->eol[0] = '\r';
  b->eol[1] = '\n';
  load("a\nb\n", StoreLoadOptions{false, false, 0, true}, nullptr, b);
  EXPECT_EQ('\r', b->eol[0]);
}

// Lines of every length around page boundaries, read forwards, backwards,
// from the end first, and by line number; all agree with the file.
TEST_F(StoreTest, LinesAcrossPageBoundariesReadTheSameInAnyOrder) {
  std::string text;
  Lines want;
  for (int i = 0; i < 400; ++i) {
    size_t len = static_cast<size_t>((i * 37) % 1100);
    std::string t(len, static_cast<char>('a' + i % 26));
    text += t + "\n";
    for (size_t o = 0;; o += kMaxLineBytes) {
      if (len - o >= static_cast<size_t>(kMaxLineBytes)) {
        want.push_back(t.substr(o, kMaxLineBytes));
        continue;
      }
      want.push_back(t.substr(o));
      break;
    }
  }
  init(kThreePagesKb);
  BufferRec* b1 = load(text);
  EXPECT_TRUE(same_lines(want, lines_forward(b1)));
  BufferRec* b2 = load(text);
  EXPECT_TRUE(same_lines(want, lines_backward(b2)));  // last page first: pages are read out of order
  EXPECT_TRUE(same_lines(want, lines_forward(b2)));
  BufferRec* b3 = load(text);
  for (int32_t n : {300, 7, static_cast<int32_t>(want.size()), 150, 1}) {
    PosRecord p{};
    ASSERT_EQ(0, pos_goto_line(n, &p, b3));
    EXPECT_EQ(want[static_cast<size_t>(n - 1)], line_get_string(&p, b3)) << n;
  }
  EXPECT_TRUE(same_lines(want, lines_forward(b3)));
  for (BufferRec* b : {b1, b2, b3}) EXPECT_EQ("", store_check(b));
}

// A page read after its successor keeps a line that crosses into it as one
// line when it fits, and never loses bytes when it would not.
TEST_F(StoreTest, ContinuedLineWithinTheLimitIsJoined) {
  const int S = store_page_size();
  // The first block covers S - 1 file bytes: short lines up to 400 bytes
  // before its end, then a 700-byte line that straddles it.
  Lines want;
  std::string text;
  while (text.size() + 100 <= static_cast<size_t>(S - 1 - 400)) {
    want.push_back(std::string(99, 'h'));
    text += want.back() + "\n";
  }
  want.push_back(std::string(static_cast<size_t>(S - 1 - 400) - text.size() - 1, 'p'));
  text += want.back() + "\n";
  want.push_back(std::string(700, 'j'));
  want.push_back("tail");
  text += want[want.size() - 2] + "\n" + want.back() + "\n";
  BufferRec* b = load(text);
  PosRecord p{};
  ASSERT_EQ(0, pos_last_line(&p, b));  // the second block is counted first
  ASSERT_EQ(0, pos_prev_line(&p, b));
  EXPECT_EQ(std::string(700, 'j'), line_get_string(&p, b));
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
}

// A page whose line table fills first splits, and the split-off rest may
// hold just the start of a line that continues in the next block. Pages
// dropped and read again (counted or only read for their bytes) must come
// back with the same ranges, so both walks still read the file's lines.
TEST_F(StoreTest, PagesReadAgainKeepTheRangesTheyWereCountedWith) {
  init(kThreePagesKb, 2);
  ASSERT_EQ(8192, store_page_size());
  // The first page: the top-of-file line, an 847-byte line and 458 lines of
  // 16 bytes fill its 460 table entries 15 bytes before its end.
  Lines want{std::string(847, 'p')};
  std::string text = want[0] + "\n";
  for (int i = 0; text.size() < 30000; ++i) {
    std::string n = std::to_string(100000000 + i);
    want.push_back("line " + n + ".");  // 15 bytes
    text += want.back() + "\n";
  }
  for (bool raw_read : {false, true}) {
    SCOPED_TRACE(raw_read ? "bytes read between the walks" : "walks only");
    BufferRec* b = load(text);
    EXPECT_TRUE(same_lines(want, lines_forward(b)));
    if (raw_read) {
      std::string raw(static_cast<size_t>(b->bytes), '\0');
      ASSERT_EQ(b->bytes, buf_read_bytes_at(raw.data(), b->bytes, 0, b));
      EXPECT_TRUE(raw == text);
    }
    EXPECT_TRUE(same_lines(want, lines_backward(b)));
    EXPECT_TRUE(same_lines(want, lines_forward(b)));
    EXPECT_EQ("", store_check(b));
  }
}

TEST_F(StoreTest, LazyLoadReadsOnlyWhatIsTouched) {
  static int64_t read_bytes;
  read_bytes = 0;
  file_io().pread = [](int fd, void* d, size_t n, int64_t off) -> long {
    long r = ::pread(fd, d, n, off);
    if (r > 0) read_bytes += r;
    return r;
  };
  std::string path = dir_.file("big");
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const int64_t size = 20LL * 1048576;
  ASSERT_EQ(0, ::ftruncate(fd, size));
  ASSERT_EQ(1, ::pwrite(fd, "\n", 1, size - 1));
  ::close(fd);
  BufferRec* b = new_buffer();
  b->source_fd = ::open(path.c_str(), O_RDONLY);
  PosRecord pos{};
  ASSERT_EQ(0, store_load_file(&pos, b, {}));
  int blocks = 0;
  for (int32_t k = b->first_block; k >= 0; k = store_block(k).next) ++blocks;
  EXPECT_EQ(2561, blocks);  // (20 MiB + 1) / 8192 rounded up: the first block covers S - 1 bytes
  // The tail (3 bytes), then the first block for the first line.
  EXPECT_EQ(3 + store_page_size() - 1, read_bytes);
  EXPECT_EQ(size, b->bytes);
}

TEST_F(StoreTest, ReadErrorReleasesTheBuffer) {
  file_io().pread = [](int, void*, size_t, int64_t) -> long { return -1; };
  int32_t rc = 0;
  BufferRec* b = load("abc\n", {}, &rc);
  EXPECT_EQ(ERR_READING_FILE, rc);
  EXPECT_EQ(-1, b->first_block);
  EXPECT_EQ(-1, b->source_fd);
}

// A sparse file over 4 GiB with real lines near its end: opened lazily, its
// last line read, edited near the end, and read back.
TEST_F(StoreTest, FileOverFourGibOpensLazilyAndEditsNearTheEnd) {
  init(kThreePagesKb * 8, 900);
  std::string path = dir_.file("huge");
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const int64_t hole = (4LL << 30) + 123457;
  const std::string tail = "\nthird from last\nsecond from last\nlast line\n";
  if (::ftruncate(fd, hole) != 0) GTEST_SKIP() << "no sparse files here";
  ASSERT_EQ(static_cast<ssize_t>(tail.size()), ::pwrite(fd, tail.data(), tail.size(), hole));
  ::close(fd);
  BufferRec* b = new_buffer();
  b->source_fd = ::open(path.c_str(), O_RDONLY);
  PosRecord pos{};
  ASSERT_EQ(0, store_load_file(&pos, b, {}));
  EXPECT_EQ(hole + static_cast<int64_t>(tail.size()), b->bytes);
  PosRecord p{};
  ASSERT_EQ(0, pos_last_line(&p, b));
  EXPECT_EQ("last line", line_get_string(&p, b));
  EXPECT_GT(p.base + p.offset, 4LL << 30);
  ASSERT_EQ(0, pos_prev_line(&p, b));
  EXPECT_EQ("second from last", line_get_string(&p, b));
  ASSERT_EQ(0, line_replace_text("edited", 6, &p, b));
  ASSERT_EQ(0, line_insert_text("inserted", 8, &p, b));
  int64_t point = 0;
  int32_t zero = 0;
  ASSERT_EQ(0, pos_get_point(point, zero, &p));
  EXPECT_GT(point, 4LL << 30);
  PosRecord q{};
  q.buffer = b;
  ASSERT_EQ(0, pos_goto_point(&q, point, zero));
  EXPECT_EQ("inserted", line_get_string(&q, b));
  ASSERT_EQ(0, pos_last_line(&q, b));
  Lines got;
  for (int i = 0; i < 4; ++i) {
    got.insert(got.begin(), line_get_string(&q, b));
    ASSERT_EQ(0, pos_prev_line(&q, b));
  }
  EXPECT_EQ((Lines{"third from last", "edited", "inserted", "last line"}), got);
  EXPECT_EQ(hole + static_cast<int64_t>(tail.size()) + 9 - 10, b->bytes);
  int64_t end = 0;
  int32_t last = -1;
  buf_end_info(b, end, last);
  EXPECT_EQ(b->bytes, end);
}

}  // namespace

namespace {

// Random files with sparse ends of line, long runs without any, CRs and NULs:
// whatever order the pages are read in, the buffer holds the file's bytes
// (plus the end of line a final line lacks), every line keeps within the
// limit, and reading lazily or all at once gives the same lines.
TEST_F(StoreTest, AnyFileLoadsWithoutLossInAnyReadingOrder) {
  init(kThreePagesKb);
  std::mt19937 rng(12345);
  for (int round = 0; round < 12; ++round) {
    std::string text;
    size_t size = 1 + rng() % 60000;
    int density = 1 + static_cast<int>(rng() % 200);  // one newline in `density` bytes
    while (text.size() < size) {
      uint32_t r = rng();
      if (r % static_cast<uint32_t>(density) == 0)
        text += '\n';
      else
        text += static_cast<char>("ab\r\t \0xyz"[r % 9]);
    }
    if (text.back() == 26) text.back() = 'z';
    BufferRec* lazy_fwd = load(text);
    std::string want = text;  // a final line without an end of line gets one
    if (want.back() != static_cast<char>(lazy_fwd->eol[1])) {
      if (lazy_fwd->eol[0] != lazy_fwd->eol[1] && want.back() != static_cast<char>(lazy_fwd->eol[0]))
        want += static_cast<char>(lazy_fwd->eol[0]);
      want += static_cast<char>(lazy_fwd->eol[1]);
    }
    Lines fwd = lines_forward(lazy_fwd);
    BufferRec* lazy_bwd = load(text);
    Lines bwd = lines_backward(lazy_bwd);
    BufferRec* whole = load(text, StoreLoadOptions{true, false, 0, false});
    Lines all = lines_forward(whole);
    for (BufferRec* b : {lazy_fwd, lazy_bwd, whole}) {
      SCOPED_TRACE("round " + std::to_string(round));
      ASSERT_EQ("", store_check(b));
      std::string raw(static_cast<size_t>(b->bytes), '\0');
      ASSERT_EQ(b->bytes, buf_read_bytes(raw.data(), b->bytes, b->first_block, 1, b));
      EXPECT_TRUE(want == raw) << "the buffer holds the file's bytes";
    }
    for (auto& l : fwd) ASSERT_LE(l.size(), static_cast<size_t>(kMaxLineBytes));
    EXPECT_TRUE(same_lines(fwd, all));
    EXPECT_TRUE(same_lines(fwd, bwd)) << "round " << round;
    for (auto& b : bufs_) store_close_buffer(b.get());
    bufs_.clear();
  }
}

}  // namespace

namespace {

// Before a save overwrites the file, the buffer lets go of it: its text stays
// whole even when the file is emptied and pages must come back from spill.
TEST_F(StoreTest, DetachedBufferSurvivesItsFileBeingOverwritten) {
  init(kThreePagesKb);
  Lines want;
  std::string text;
  for (int i = 0; i < 4000; ++i) {
    want.push_back("kept line " + std::to_string(i));
    text += want.back() + "\n";
  }
  BufferRec* b = load(text);
  PosRecord p{};
  ASSERT_EQ(0, pos_goto_line(2000, &p, b));  // a part of it read, the rest not
  std::string path = dir_.file("f" + std::to_string(files_));
  ASSERT_EQ(0, store_detach_source(b));
  EXPECT_EQ(-1, b->source_fd);
  write_file(path, "");  // the save truncates and rewrites the file
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
  EXPECT_TRUE(same_lines(want, lines_backward(b)));
  EXPECT_EQ("", store_check(b));
}

TEST_F(StoreTest, TabsExpandWhileLoadingWhenAsked) {
  BufferRec* b = new_buffer();
  b->expand_tabs_load = 1;
  load("a\tb\n\tx\n" + std::string(1030, 'w') + "\n", {}, nullptr, b);
  EXPECT_TRUE(
      same_lines((Lines{"a       b", "        x", std::string(1023, 'w'), std::string(7, 'w')}), lines_forward(b)));
  EXPECT_EQ(0, b->modified);
}

}  // namespace

namespace {

// What loading must give for a file: its bytes, and the end of line a last
// line lacks (only the second byte after a lone first byte of a two-byte
// convention).
std::string with_final_eol(std::string text, uint8_t e0, uint8_t e1) {
  if (text.empty() || text.back() == static_cast<char>(e1)) return text;
  if (e0 != e1 && text.back() != static_cast<char>(e0)) text += static_cast<char>(e0);
  return text + static_cast<char>(e1);
}

std::string buffer_bytes(BufferRec* b) {
  std::string raw(static_cast<size_t>(b->bytes), '\0');
  EXPECT_EQ(b->bytes, buf_read_bytes_at(raw.data(), b->bytes, 0, b));
  return raw;
}

class LoadKeepsBytesTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    save_settings.sync = false;  // nothing here depends on the disk
  }
  void TearDown() override {
    save_settings = SaveSettings{};
    StoreTest::TearDown();
  }
  // The bytes a save without stripping or backup writes for b.
  std::string saved(BufferRec* b) {
    std::string path = dir_.file("saved" + std::to_string(++saves_));
    EXPECT_EQ(0, buf_save_buffer(b, "-S +O " + path));
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // Loads text and checks the buffer and a save of it against want.
  void expect_loads_as(const std::string& text, const std::string& want, StoreLoadOptions opt = {}) {
    BufferRec* b = load(text, opt);
    ASSERT_EQ("", store_check(b));
    EXPECT_EQ(static_cast<int64_t>(want.size()), b->bytes);
    EXPECT_TRUE(buffer_bytes(b) == want) << "the buffer holds other bytes";
    EXPECT_TRUE(same_lines(lines_forward(b), lines_backward(b)));
    EXPECT_EQ(0, b->modified);
    EXPECT_TRUE(saved(b) == want) << "a save writes other bytes";
    EXPECT_EQ("", store_check(b));
  }
  int saves_ = 0;
};

// A last line without an end of line whose length is at or near a multiple of
// the line limit, in each convention and under small and large memory limits:
// the end of line is added once, after the line's last byte.
TEST_F(LoadKeepsBytesTest, LastLineAtTheLineLimitGetsOneEndOfLine) {
  struct Conv {
    const char* name;
    std::string head;  // sets the convention
    uint8_t e0, e1;
  };
  const Conv convs[] = {{"LF", "a\n", '\n', '\n'}, {"CR LF", "a\r\n", '\r', '\n'}, {"CR", "abcdef\r", '\r', '\r'}};
  for (int32_t kb : {kThreePagesKb, 64, 1024}) {
    init(kb);
    for (const Conv& c : convs) {
      for (int n : {1020, 1021, 1022, 1023, 1024, 1025, 2046, 2047, 2048, 2049, 4096}) {
        SCOPED_TRACE(std::string(c.name) + ", last line of " + std::to_string(n) + " bytes, " + std::to_string(kb) +
                     " KB");
        std::string text = c.head + std::string(static_cast<size_t>(n), 'y');
        expect_loads_as(text, with_final_eol(text, c.e0, c.e1));
        if (c.e0 != c.e1) {  // ending in a lone CR
          text.back() = '\r';
          expect_loads_as(text, with_final_eol(text, c.e0, c.e1));
        }
      }
    }
  }
}

// With the Ctrl-Z stop, everything before the first Ctrl-Z is kept wherever
// it lies: inside the first page after its line table filled (so counting
// split the page), right at the start of a block, or further on.
TEST_F(LoadKeepsBytesTest, CtrlZStopKeepsAllTheTextBeforeIt) {
  init(kThreePagesKb);
  ASSERT_EQ(8192, store_page_size());
  const StoreLoadOptions ctrlz{false, true, 0, false};
  // Short lines: the first page's table fills near byte 7,700.
  std::string shortl;
  for (int i = 0; shortl.size() < 20000; ++i) shortl += "line " + std::to_string(i) + " of text\n";
  for (size_t z : {6000u, 7690u, 7700u, 7990u, 8000u, 8100u, 8190u, 8191u, 8192u, 8200u, 12000u}) {
    SCOPED_TRACE("Ctrl-Z at " + std::to_string(z));
    std::string text = shortl;
    text[z] = 26;
    expect_loads_as(text, with_final_eol(text.substr(0, z), '\n', '\n'), ctrlz);
  }
  // Lines of 20 bytes that end exactly where the first block (8,191 file
  // bytes) ends: the Ctrl-Z is the second block's first byte.
  std::string even;
  while (even.size() + 20 <= 8191) even += std::string(19, 'e') + "\n";
  even += std::string(8191 - even.size() - 1, 'f') + "\n";
  ASSERT_EQ(8191u, even.size());
  for (const std::string& rest : {std::string("\x1a"),
                                  std::string("\x1a"
                                              "after\n"),
                                  std::string("\x1a\x1a\n")}) {
    for (int mode : {0, 1}) {
      init(kThreePagesKb);  // fresh pages: what a page left empty shows must not depend on earlier use
      expect_loads_as(even + rest, even, StoreLoadOptions{mode == 1, true, mode, false});
    }
  }
}

// Expanding tabs while loading: a convention the caller gives is kept, a
// Ctrl-Z ends the text and the line before it gets its end of line, and a
// last line cut at the limit keeps its bytes.
TEST_F(LoadKeepsBytesTest, TabExpansionKeepsEveryByteItMeansToKeep) {
  struct Case {
    const char* name;
    std::string text;
    bool crlf_given;
    std::string want;
    char eol0;  // the convention's first byte after loading
  };
  const std::string blanks(1016, ' ');
  const Case cases[] = {
      {"given CR LF", "x\ty\nz\n", true, "x       y\nz\n", '\r'},
      {"Ctrl-Z inside a line",
       "ab\tc\x1a"
       "de\n",
       false, "ab      c\n", '\n'},
      {"Ctrl-Z after an end of line",
       "ab\n\x1a"
       "de\n",
       false, "ab\n", '\n'},
      {"CR LF, last line cut at 1023 bytes", "a\r\n" + std::string(127, '\t') + "wwwwwww", false,
       "a\r\n" + blanks + "wwwwwww\r\n", '\r'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BufferRec* b = new_buffer();
    b->expand_tabs_load = 1;
    if (c.crlf_given) b->eol[0] = '\r';
    load(c.text, StoreLoadOptions{false, false, 0, c.crlf_given}, nullptr, b);
    ASSERT_EQ("", store_check(b));
    EXPECT_EQ(c.eol0, static_cast<char>(b->eol[0]));
    EXPECT_TRUE(buffer_bytes(b) == c.want) << "the buffer holds other bytes";
    EXPECT_TRUE(saved(b) == c.want) << "a save writes other bytes";
    EXPECT_EQ(0, b->modified);
  }
}

// The first page's line table fills with only the start of a long line left
// over: read lazily either way or all at once, that line is counted with the
// next block and cut at the limit, never joined past it.
TEST_F(LoadKeepsBytesTest, LineLeftOverWhereTheTableFilledKeepsTheLimit) {
  init(kThreePagesKb);
  ASSERT_EQ(8192, store_page_size());
  // The top-of-file line and 459 lines of 16 bytes fill the 460 entries;
  // the first block (8,191 file bytes) ends with 847 bytes of a long line.
  std::string text;
  Lines want;
  for (int i = 0; i < 459; ++i) {
    want.push_back("line of 16 byte");
    text += want.back() + "\n";
  }
  std::string long_line = std::string(8191 - text.size(), 'x') + std::string(1000, 'y');
  text += long_line + "\nend\n";
  want.push_back(long_line.substr(0, kMaxLineBytes));
  want.push_back(long_line.substr(kMaxLineBytes));
  want.push_back("end");
  for (int how = 0; how < 3; ++how) {
    SCOPED_TRACE(how == 0 ? "forwards" : how == 1 ? "backwards" : "whole");
    BufferRec* b = load(text, StoreLoadOptions{how == 2, false, 0, false});
    Lines got = how == 1 ? lines_backward(b) : lines_forward(b);
    EXPECT_TRUE(same_lines(want, got));
    PosRecord p{};
    pos_top(&p, b);
    while (pos_next_line(&p, b) == 0) {
      LineInfo info;
      line_get_string(&p, b, &info);
      ASSERT_LE(info.raw, kMaxLineBytes) << "line " << p.line;
    }
    EXPECT_TRUE(buffer_bytes(b) == text);
    EXPECT_EQ("", store_check(b));
  }
}

// Blocks of nothing but ends of line: counting splits each page many times,
// pushing out of a three-page pool the very page being counted. Every mode
// that reads and counts at once still gets all the lines.
TEST_F(LoadKeepsBytesTest, PagesSplitManyTimesWhileCountingUnderThreePages) {
  init(kThreePagesKb);
  const std::string text = std::string(20000, '\n') + "last\n";
  const StoreLoadOptions opts[] = {
      {}, {true, false, 0, false}, {true, false, 1, false}, {false, true, 0, false}, {false, false, 2, false}};
  for (const StoreLoadOptions& o : opts) {
    SCOPED_TRACE("whole " + std::to_string(o.whole) + ", Ctrl-Z " + std::to_string(o.ctrlz_stop) + ", mode " +
                 std::to_string(o.mode));
    BufferRec* b = load(text, o);
    ASSERT_EQ("", store_check(b));
    Lines got = lines_forward(b);
    ASSERT_EQ(20001u, got.size());
    EXPECT_EQ(o.mode == 2 ? "last\n" : "last", got.back());
    EXPECT_TRUE(buffer_bytes(b) == text);
    EXPECT_TRUE(saved(b) == text);
    for (auto& bb : bufs_) store_close_buffer(bb.get());
    bufs_.clear();
  }
}

}  // namespace

namespace {

// Line counts taken from the file's bytes (going to the end, counting lines,
// going to a line) are the counts reading the pages gives: lines at and past
// the limit around page ends, tables that fill, every convention, a last
// line without an end of line. After counting, the lines read are the
// lines of the file read whole, with their numbers, in either direction.
TEST_F(StoreTest, LinesCountedFromTheFileAreTheLinesRead) {
  std::mt19937 rng(4242);
  auto lines_of = [&](std::initializer_list<int> lens, int repeat, const char* eol) {
    std::string t;
    for (int r = 0; r < repeat; ++r)
      for (int len : lens) t += std::string(static_cast<size_t>(len), static_cast<char>('a' + r % 26)) + eol;
    return t;
  };
  std::string random;
  while (random.size() < 90000) random += rng() % 40 == 0 ? '\n' : static_cast<char>('a' + rng() % 26);
  struct Case {
    const char* name;
    std::string text;
    bool from_file;  // every block after the first is counted without a page
  } cases[] = {
      {"short lines", lines_of({30, 0, 70, 5}, 2000, "\n"), true},
      {"lines at the limit", lines_of({1023, 1022, 1023}, 60, "\n"), true},
      {"lines past the limit", lines_of({1023, 1024, 2100, 40}, 40, "\n"), false},
      {"tables that fill", std::string(50000, '\n'), false},
      {"CR LF", lines_of({40, 1022, 3}, 300, "\r\n"), true},
      {"CR alone", lines_of({40, 1022, 3}, 300, "\r"), true},
      {"no final end of line", lines_of({50, 7}, 1500, "\n") + "tail", false},
      {"random", random, true},
  };
  for (int32_t kb : {-1, kThreePagesKb}) {
    init(kb);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (kb < 0 ? "" : ", three pages"));
      BufferRec* whole = load(c.text, StoreLoadOptions{true, false, 1, false});
      const Lines want = lines_forward(whole);
      const int pages_before = store_pages_allocated();
      BufferRec* b = load(c.text);
      int32_t total = -1;
      ASSERT_EQ(0, pos_count_lines(nullptr, b, total));
      EXPECT_EQ(static_cast<int32_t>(want.size()), total);
      if (c.from_file && kb < 0) {
        EXPECT_LE(store_pages_allocated() - pages_before, 2) << "pages were built to count";
      }
      ASSERT_EQ("", store_check(b));
      PosRecord last{};
      last.buffer = b;
      ASSERT_EQ(0, pos_last_line(&last, b));
      ASSERT_EQ(0, pos_line_number(&last, b, 1));
      EXPECT_EQ(total, last.line);
      PosRecord mid{};
      ASSERT_EQ(0, pos_goto_line(total / 2 + 1, &mid, b));
      EXPECT_EQ(want[static_cast<size_t>(total / 2)], line_get_string(&mid, b));
      EXPECT_TRUE(same_lines(want, lines_backward(b)));
      EXPECT_TRUE(same_lines(want, lines_forward(b)));
      ASSERT_EQ("", store_check(b));
      for (auto& x : bufs_) store_close_buffer(x.get());
      bufs_.clear();
    }
  }
}

}  // namespace
