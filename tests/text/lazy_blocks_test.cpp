// The block entries of a lazily opened file: made only when first visited,
// exactly as the load would have made them, and given back as a whole when
// the file is closed, so that opening and closing do not grow with the file.
#include <sys/stat.h>

#include <functional>

#include "base/mem.h"
#include "store_fixture.h"

using namespace storetest;

namespace {

using Lines = std::vector<std::string>;

// The lines a buffer shows for a file: split at each end of line (a CR
// before it goes too when crlf), a line longer than the limit cut into
// pieces of the limit; a final line without an end of line is a line.
Lines split_lines(const std::string& text, bool crlf = false, std::vector<int64_t>* starts = nullptr) {
  Lines out;
  size_t at = 0;
  while (at < text.size()) {
    size_t nl = text.find('\n', at);
    const size_t end = nl == std::string::npos ? text.size() : nl;
    std::string line = text.substr(at, end - at);
    if (crlf && !line.empty() && line.back() == '\r') line.pop_back();
    for (size_t o = 0;; o += kMaxLineBytes) {
      if (line.size() - o >= static_cast<size_t>(kMaxLineBytes)) {
        out.push_back(line.substr(o, kMaxLineBytes));
        if (starts) starts->push_back(static_cast<int64_t>(at + o));
        continue;
      }
      if (nl != std::string::npos || o < line.size()) {
        out.push_back(line.substr(o));
        if (starts) starts->push_back(static_cast<int64_t>(at + o));
      }
      break;
    }
    at = nl == std::string::npos ? text.size() : nl + 1;
  }
  return out;
}

// Lines of `len` bytes (end of line included) tagged with their number until
// the text is `size` bytes; the last line is cut to fit and ends with an end
// of line unless `final_eol` is false.
std::string filled(int64_t size, int64_t len, bool final_eol = true, const std::string& eol = "\n") {
  std::string t;
  for (int i = 0; static_cast<int64_t>(t.size()) < size; ++i) {
    std::string l = std::to_string(i) + ":";
    l += std::string(static_cast<size_t>(std::max<int64_t>(0, len - static_cast<int64_t>(l.size() + eol.size()))),
                     static_cast<char>('a' + i % 26));
    t += l + eol;
  }
  t.resize(static_cast<size_t>(size));
  if (final_eol)
    t.replace(t.size() - eol.size(), eol.size(), eol);
  else if (t.back() == '\n' || t.back() == '\r')
    t.back() = 'z';
  return t;
}

// The buffer's bytes, which must be the file's (with the end of line a
// last line lacked).
std::string raw_text(BufferRec* b) {
  std::string raw(static_cast<size_t>(b->bytes), '\0');
  EXPECT_EQ(b->bytes, buf_read_bytes(raw.data(), b->bytes, b->first_block, 1, b));
  return raw;
}

int64_t entries_for(int64_t size) { return (size + 1 + store_page_size() - 1) / store_page_size(); }

// ---- lines and bytes, whatever is visited first ----

enum class First { Forward, Backward, MiddleLine, MiddleOffset, LastLine, RawBytes };

struct ShapeCase {
  const char* name;
  std::function<std::string(int64_t S)> make;  // from the page size
  bool crlf;
};

void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }

class LazyShapes : public StoreTest, public ::testing::WithParamInterface<std::tuple<ShapeCase, First>> {};

TEST_P(LazyShapes, LinesAndBytesAreTheFilesWhateverIsVisitedFirst) {
  const ShapeCase& c = std::get<0>(GetParam());
  const First first = std::get<1>(GetParam());
  init(kThreePagesKb);  // few pages: what was read is dropped and read again
  const int64_t S = store_page_size();
  const std::string text = c.make(S);
  std::vector<int64_t> starts;
  const Lines want = split_lines(text, c.crlf, &starts);
  BufferRec* b = load(text);
  ASSERT_EQ(entries_for(static_cast<int64_t>(text.size())), store_lazy_entries());
  const int32_t mid = static_cast<int32_t>(want.size() / 2);
  PosRecord p{};
  p.buffer = b;
  switch (first) {
    case First::Forward:
      break;
    case First::Backward:
      EXPECT_TRUE(same_lines(want, lines_backward(b)));
      break;
    case First::MiddleLine:
      ASSERT_EQ(0, pos_goto_line(mid, &p, b));
      EXPECT_EQ(want[static_cast<size_t>(mid - 1)], line_get_string(&p, b));
      EXPECT_EQ(starts[static_cast<size_t>(mid - 1)], p.base + p.offset);
      break;
    case First::MiddleOffset: {
      // Offsets inside a line, at its start and at its last byte all find it.
      const int64_t half = static_cast<int64_t>(text.size() / 2);
      const size_t k = static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), half) - starts.begin()) - 1;
      for (int64_t off : {half, starts[k], starts[k + 1] - 1}) {
        SCOPED_TRACE(off);
        ASSERT_EQ(0, pos_seek_offset(&p, off));
        EXPECT_EQ(starts[k], p.base + p.offset);
        EXPECT_EQ(want[k], line_get_string(&p, b));
        ASSERT_EQ(0, pos_line_number(&p, b, 1));
        EXPECT_EQ(static_cast<int32_t>(k + 1), p.line);
      }
      break;
    }
    case First::RawBytes: {
      // Bytes from the middle to the end, then all of them, before any line.
      const int64_t half = static_cast<int64_t>(text.size() / 2);
      std::string tail(text.size() - static_cast<size_t>(half), '\0');
      ASSERT_EQ(static_cast<int64_t>(tail.size()),
                buf_read_bytes_at(tail.data(), static_cast<int64_t>(tail.size()), half, b));
      EXPECT_TRUE(text.substr(static_cast<size_t>(half), tail.size() - 1) == tail.substr(0, tail.size() - 1));
      break;
    }
    case First::LastLine:
      ASSERT_EQ(0, pos_last_line(&p, b));
      EXPECT_EQ(want.back(), line_get_string(&p, b));
      EXPECT_EQ(starts.back(), p.base + p.offset);
      ASSERT_EQ(0, pos_line_number(&p, b, 1));
      EXPECT_EQ(static_cast<int32_t>(want.size()), p.line);
      break;
  }
  std::string bytes = text;
  if (bytes.back() != '\n') bytes += '\n';
  if (first == First::RawBytes) {
    EXPECT_TRUE(bytes == raw_text(b)) << "read before any line";
  }
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
  EXPECT_TRUE(bytes == raw_text(b)) << "the buffer holds the file's bytes";
  EXPECT_EQ(static_cast<int64_t>(bytes.size()), b->bytes);
  EXPECT_EQ("", store_check(b));
  store_close_buffer(b);
  EXPECT_EQ(0, store_lazy_runs());
  EXPECT_EQ(0, store_lazy_made());
}

const ShapeCase kShapes[] = {
    // With the top-of-file line the text fills its pages exactly.
    {"pages_exactly_full", [](int64_t S) { return filled(3 * S - 1, 100); }, false},
    {"one_byte_into_a_page", [](int64_t S) { return filled(3 * S, 100); }, false},
    {"two_bytes_into_a_page", [](int64_t S) { return filled(3 * S + 1, 100); }, false},
    {"ragged_end_no_final_eol", [](int64_t S) { return filled(5 * S + 17, 73, false); }, false},
    {"smaller_than_a_page", [](int64_t S) { return filled(S / 3, 41); }, false},
    // Every boundary falls inside a line far over the limit, or in a piece of one.
    {"long_lines_across_boundaries", [](int64_t S) { return filled(4 * S + 999, 3001); }, false},
    {"lines_of_two_whole_pieces", [](int64_t S) { return filled(4 * S + 5, 2049); }, false},
    // Each boundary falls between the CR and the LF of a line.
    {"crlf_split_at_boundaries", [](int64_t S) { return filled(4 * S, 64, true, "\r\n"); }, true},
};

std::string shape_name(const ::testing::TestParamInfo<std::tuple<ShapeCase, First>>& i) {
  const char* const first[] = {"Forward", "Backward", "MiddleLine", "MiddleOffset", "LastLine", "RawBytes"};
  return std::string(std::get<0>(i.param).name) + "_" + first[static_cast<int>(std::get<1>(i.param))];
}

INSTANTIATE_TEST_SUITE_P(Table, LazyShapes,
                         ::testing::Combine(::testing::ValuesIn(kShapes),
                                            ::testing::Values(First::Forward, First::Backward, First::MiddleLine,
                                                              First::MiddleOffset, First::LastLine, First::RawBytes)),
                         shape_name);

// ---- the cost of opening and closing ----

// Sparse files of very different sizes with the same first lines: opening
// one and showing its first screen makes the same few entries, and closing
// gives everything back.
TEST_F(StoreTest, OpeningAndClosingDoNotGrowWithTheFile) {
  init(kThreePagesKb * 8, 900);
  const std::string head = filled(60000, 57);
  const Lines want = split_lines(head);
  std::vector<int64_t> made;
  for (int64_t size : {int64_t{1} << 16, int64_t{1} << 24, (int64_t{4} << 30) + 5}) {
    SCOPED_TRACE(size);
    const std::string path = dir_.file("sparse" + std::to_string(size));
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(static_cast<ssize_t>(head.size()), ::write(fd, head.data(), head.size()));
    if (::ftruncate(fd, size - 1) != 0) {
      ::close(fd);
      GTEST_SKIP() << "no sparse files here";
    }
    ASSERT_EQ(1, ::pwrite(fd, "\n", 1, size - 1));
    ::close(fd);
    const int64_t live = mem_live_blocks();
    const int lru = store_pages_in_lru();
    BufferRec* b = new_buffer();
    b->source_fd = ::open(path.c_str(), O_RDONLY);
    PosRecord pos{};
    ASSERT_EQ(0, store_load_file(&pos, b, {}));
    EXPECT_EQ(entries_for(size), store_lazy_entries());
    PosRecord p{};
    ASSERT_EQ(0, pos_top(&p, b));
    for (size_t i = 0; i < 60; ++i) {
      ASSERT_EQ(0, pos_next_line(&p, b));
      ASSERT_EQ(want[i], line_get_string(&p, b));
    }
    made.push_back(store_lazy_made());
    EXPECT_LE(made.back(), 2) << "the first screen needs the first page and perhaps the next";
    EXPECT_EQ(made.front(), made.back());
    store_close_buffer(b);
    EXPECT_EQ(0, store_lazy_runs());
    EXPECT_EQ(0, store_lazy_entries());
    EXPECT_EQ(0, store_lazy_made());
    EXPECT_EQ(live, mem_live_blocks());
    EXPECT_EQ(lru, store_pages_in_lru());
  }
}

// ---- numbers given back and taken again ----

enum class Before { Nothing, FirstScreen, EveryLine, Edited };

struct ReuseCase {
  const char* name;
  Before before;  // what happens to the first file before it is closed
  int64_t second_pages;
};

void PrintTo(const ReuseCase& c, std::ostream* os) { *os << c.name; }

class LazyReuse : public StoreTest, public ::testing::WithParamInterface<ReuseCase> {};

// A second file takes the numbers the first gave back: its entries must be
// made afresh, never left over from the first file's ranges and counts.
TEST_P(LazyReuse, SecondFileReadsItsOwnText) {
  const ReuseCase& c = GetParam();
  init(kThreePagesKb);
  const int64_t S = store_page_size();
  const std::string one = filled(10 * S + 300, 61);
  const std::string two = filled(c.second_pages * S + 123, 89);
  BufferRec* a = load(one);
  const int32_t first_a = a->first_block;
  PosRecord p{};
  p.buffer = a;
  switch (c.before) {
    case Before::Nothing:
      break;
    case Before::FirstScreen:
      ASSERT_EQ(0, pos_goto_line(60, &p, a));
      break;
    case Before::EveryLine:
      EXPECT_TRUE(same_lines(split_lines(one), lines_forward(a)));
      break;
    case Before::Edited: {
      // Whole pages of lines go (their entries freed one by one) and new
      // lines come in the middle.
      ASSERT_EQ(0, pos_goto_line(300, &p, a));
      ASSERT_EQ(0, lines_delete_run(&p, static_cast<int32_t>(3 * S / 61), a));
      for (int i = 0; i < 200; ++i) ASSERT_EQ(0, line_insert_text("new line", 8, &p, a));
      EXPECT_EQ("", store_check(a));
      break;
    }
  }
  store_close_buffer(a);
  EXPECT_EQ(0, store_lazy_runs());
  BufferRec* b = load(two);
  EXPECT_EQ(first_a, b->first_block) << "the numbers given back are taken again";
  const Lines want = split_lines(two);
  EXPECT_TRUE(same_lines(want, lines_backward(b)));
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
  EXPECT_TRUE(two == raw_text(b));
  EXPECT_EQ("", store_check(b));
}

INSTANTIATE_TEST_SUITE_P(Table, LazyReuse,
                         ::testing::Values(ReuseCase{"untouched_then_smaller", Before::Nothing, 6},
                                           ReuseCase{"first_screen_then_larger", Before::FirstScreen, 14},
                                           ReuseCase{"every_line_then_smaller", Before::EveryLine, 6},
                                           ReuseCase{"every_line_then_larger", Before::EveryLine, 14},
                                           ReuseCase{"edited_then_smaller", Before::Edited, 6},
                                           ReuseCase{"edited_then_larger", Before::Edited, 14}),
                         [](const ::testing::TestParamInfo<ReuseCase>& i) { return std::string(i.param.name); });

// Files open side by side keep their own numbers; one closed in the middle
// leaves a gap that the next file fitting in it takes, and every file reads
// its own text whichever is read next.
TEST_F(StoreTest, FilesOpenTogetherKeepTheirOwnEntries) {
  init(kThreePagesKb);
  const int64_t S = store_page_size();
  const std::string ta = filled(4 * S, 50), tb = filled(9 * S, 70), tc = filled(3 * S + 7, 90);
  const std::string td = filled(6 * S, 110), te = filled(12 * S, 130);
  BufferRec* a = load(ta);
  BufferRec* b = load(tb);
  BufferRec* c = load(tc);
  EXPECT_EQ(3, store_lazy_runs());
  PosRecord p{};
  p.buffer = b;
  ASSERT_EQ(0, pos_goto_line(1000, &p, b));
  const int32_t first_b = b->first_block;
  store_close_buffer(b);
  BufferRec* d = load(td);
  EXPECT_EQ(first_b, d->first_block) << "the gap is big enough";
  BufferRec* e = load(te);
  EXPECT_GT(e->first_block, c->first_block) << "no gap is big enough";
  EXPECT_EQ(4, store_lazy_runs());
  // Interleaved: a line of each in turn, then every line of each.
  for (int32_t n : {700, 5, 300}) {
    for (auto [buf, text] : {std::pair{a, &ta}, {c, &tc}, {d, &td}, {e, &te}}) {
      const Lines want = split_lines(*text);
      PosRecord q{};
      q.buffer = buf;
      const int32_t at = std::min<int32_t>(n, static_cast<int32_t>(want.size()));
      ASSERT_EQ(0, pos_goto_line(at, &q, buf));
      EXPECT_EQ(want[static_cast<size_t>(at - 1)], line_get_string(&q, buf));
    }
  }
  for (auto [buf, text] : {std::pair{a, &ta}, {c, &tc}, {d, &td}, {e, &te}}) {
    EXPECT_TRUE(same_lines(split_lines(*text), lines_backward(buf)));
    EXPECT_TRUE(*text == raw_text(buf));
    EXPECT_EQ("", store_check(buf));
  }
  for (BufferRec* buf : {a, c, d, e}) store_close_buffer(buf);
  EXPECT_EQ(0, store_lazy_runs());
  EXPECT_EQ(0, store_lazy_made());
}

// A stale number, kept by mistake past the close of its file, reads as a
// freed block and leaves the numbers free for the next file.
TEST_F(StoreTest, AStaleLazyNumberReadsAsFreed) {
  const int64_t S = store_page_size();
  BufferRec* a = load(filled(4 * S, 50));
  const int32_t stale = store_block(a->first_block).next;
  store_close_buffer(a);
  const BlockEntry& e = store_block(stale);
  EXPECT_EQ(-1, e.next);
  EXPECT_EQ(0u, e.bytes);
  EXPECT_EQ(kLocNone, e.loc);
  const std::string text = filled(4 * S, 77);
  BufferRec* b = load(text);
  EXPECT_TRUE(same_lines(split_lines(text), lines_forward(b)));
  EXPECT_EQ("", store_check(b));
}

}  // namespace
