// The line cursor: moves at the ends, continued lines, line numbers, points,
// byte offsets, ordering and page iteration.

#include "store_fixture.h"

using namespace storetest;

namespace {

using Lines = std::vector<std::string>;

std::string numbered_text(int n, Lines& want) {
  std::string text;
  for (int i = 1; i <= n; ++i) {
    want.push_back("line " + std::to_string(i) + std::string(static_cast<size_t>(i % 50), '.'));
    text += want.back() + "\n";
  }
  return text;
}

// Fixed-length records of 100 bytes: pages hold a whole number of bytes that
// is not a multiple of 100, so records continue from one page into the next.
BufferRec* load_records(BufferRec* b, int n, Lines& want, std::string& text) {
  b->record_len = 100;
  for (int i = 0; i < n; ++i) {
    std::string r = "record " + std::to_string(i);
    r.resize(100, static_cast<char>('a' + i % 26));
    want.push_back(r);
    text += r;
  }
  return b;
}

class CursorTest : public StoreTest {
 protected:
  BufferRec* records(int n, Lines& want) {
    std::string text;
    BufferRec* b = load_records(new_buffer(), n, want, text);
    return load(text, {}, nullptr, b);
  }
};

TEST_F(CursorTest, MovesStopAtTheEnds) {
  BufferRec* b = load("one\ntwo\n");
  PosRecord p{};
  ASSERT_EQ(0, pos_first_line(&p, b));
  EXPECT_EQ(1, p.line);
  ASSERT_EQ(0, pos_prev_line(&p, b));  // onto the top-of-file line
  EXPECT_EQ(0, p.line);
  EXPECT_EQ(0, p.index);
  EXPECT_EQ(ERR_TOP_OF_FILE, pos_prev_line(&p, b));
  EXPECT_EQ(0, p.line);
  ASSERT_EQ(0, pos_last_line(&p, b));
  PosRecord before = p;
  EXPECT_EQ(ERR_BOTTOM_OF_FILE, pos_next_line(&p, b));
  EXPECT_TRUE(pos_same_place(&before, &p));
  EXPECT_EQ(2, p.line);
}

TEST_F(CursorTest, GotoLinePastTheEndStopsOnTheLastLine) {
  Lines want;
  BufferRec* b = load(numbered_text(3000, want));
  PosRecord p{};
  EXPECT_EQ(ERR_BOTTOM_OF_FILE, pos_goto_line(5000, &p, b));
  EXPECT_EQ(3000, p.line);
  EXPECT_EQ(want.back(), line_get_string(&p, b));
  ASSERT_EQ(0, pos_goto_line(0, &p, b));
  EXPECT_EQ(0, p.index);
  EXPECT_EQ(b->first_block, p.block);
  int32_t total = 0;
  ASSERT_EQ(0, pos_count_lines(nullptr, b, total));
  EXPECT_EQ(3000, total);
}

TEST_F(CursorTest, LineNumbersAreKnownOnlyWhereCounted) {
  Lines want;
  BufferRec* b = load(numbered_text(5000, want));
  PosRecord p{};
  p.buffer = b;
  ASSERT_EQ(0, pos_last_line(&p, b));
  EXPECT_EQ(-1, p.line) << "blocks above are not counted yet";
  ASSERT_EQ(0, pos_line_number(&p, b, 1));
  EXPECT_EQ(5000, p.line);
  EXPECT_EQ(want.back(), line_get_string(&p, b));
}

TEST_F(CursorTest, RecordsContinueAcrossPagesAndReadWhole) {
  Lines want;
  BufferRec* b = records(400, want);
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
  EXPECT_TRUE(same_lines(want, lines_backward(b)));
  bool continued = false;
  for (int32_t k = b->first_block; k >= 0; k = store_block(k).next) {
    Page* pg = nullptr;
    ASSERT_EQ(0, store_get_page_counted(pg, k, b));
    continued = continued || pg->cont;
  }
  EXPECT_TRUE(continued) << "the case needs a record split over two pages";
  EXPECT_EQ("", store_check(b));
}

TEST_F(CursorTest, PointsRoundTripIncludingEmptyRecords) {
  Lines want;
  BufferRec* b = records(300, want);
  PosRecord p{};
  ASSERT_EQ(0, pos_goto_line(5, &p, b));
  for (int i = 0; i < 3; ++i) ASSERT_EQ(0, line_insert_text("", 0, &p, b));  // three empty records
  want.insert(want.begin() + 5, 3, "");
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
  for (int32_t n = 1; n <= static_cast<int32_t>(want.size()); ++n) {
    PosRecord q{};
    ASSERT_EQ(0, pos_goto_line(n, &q, b));
    int64_t point = 0;
    int32_t zero = 0;
    ASSERT_EQ(0, pos_get_point(point, zero, &q));
    EXPECT_EQ(100LL * (n <= 5 ? n - 1 : (n <= 8 ? 5 : n - 4)), point) << n;
    if (n >= 6 && n <= 9) {
      EXPECT_EQ(n - 6, zero) << n;
    }
    PosRecord r{};
    r.buffer = b;
    ASSERT_EQ(0, pos_goto_point(&r, point, zero));
    EXPECT_TRUE(pos_same_place(&q, &r)) << n;
    EXPECT_EQ(n, r.line);
  }
  PosRecord r{};
  r.buffer = b;
  EXPECT_EQ(ERR_INVALID_POINT, pos_goto_point(&r, 1 << 30, 0));
  EXPECT_EQ(want.back(), line_get_string(&r, b)) << "an invalid point goes to the last line";
}

TEST_F(CursorTest, SeekOffsetFindsTheLineHoldingAByte) {
  BufferRec* b = load("ab\ncdef\n\nxyz\n");
  PosRecord p{};
  p.buffer = b;
  struct {
    int64_t off;
    const char* line;
  } cases[] = {{0, "ab"}, {2, "ab"}, {3, "cdef"}, {7, "cdef"}, {8, ""}, {9, "xyz"}, {12, "xyz"}};
  for (auto& c : cases) {
    ASSERT_EQ(0, pos_seek_offset(&p, c.off)) << c.off;
    EXPECT_EQ(c.line, line_get_string(&p, b)) << c.off;
  }
  EXPECT_EQ(ERR_INVALID_POINT, pos_seek_offset(&p, 13));
  EXPECT_EQ(ERR_INVALID_POINT, pos_seek_offset(&p, -2));
}

TEST_F(CursorTest, PositionsCompareByBaseThenIndex) {
  Lines want;
  BufferRec* b = load(numbered_text(3000, want));
  PosRecord a{}, c{};
  ASSERT_EQ(0, pos_goto_line(1, &a, b));
  ASSERT_EQ(0, pos_goto_line(3, &c, b));
  EXPECT_LT(pos_compare(&a, &c), 0);
  EXPECT_GT(pos_compare(&c, &a), 0);
  EXPECT_EQ(0, pos_compare(&a, &a));
  ASSERT_EQ(0, pos_goto_line(2900, &c, b));
  EXPECT_NE(a.block, c.block);
  EXPECT_LT(pos_compare(&a, &c), 0);
}

TEST_F(CursorTest, PageIteratorVisitsEveryLineInBothDirections) {
  Lines want;
  BufferRec* b = load(numbered_text(2500, want));
  Lines fwd;
  PosRecord p{};
  ASSERT_EQ(0, pos_first_line(&p, b));
  PageIter it{};
  ASSERT_EQ(0, page_iter_init(it, 1, &p, b));
  for (;;) {
    const uint8_t* t = nullptr;
    int32_t len = page_iter_line(it, t, &p, b);
    ASSERT_GE(len, 0);
    fwd.emplace_back(reinterpret_cast<const char*>(t), static_cast<size_t>(len));
    if (page_iter_advance(it)) continue;
    if (page_iter_next_page(it, &p, b) != 0) break;
  }
  EXPECT_TRUE(same_lines(want, fwd));
  Lines bwd;
  ASSERT_EQ(0, pos_last_line(&p, b));
  ASSERT_EQ(0, page_iter_init(it, -1, &p, b));
  for (;;) {
    const uint8_t* t = nullptr;
    int32_t len = page_iter_line(it, t, &p, b);
    ASSERT_GE(len, 0);
    bwd.insert(bwd.begin(), std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(len)));
    if (page_iter_advance(it)) continue;
    if (page_iter_next_page(it, &p, b) != 0) break;
  }
  ASSERT_FALSE(bwd.empty());
  EXPECT_EQ("", bwd.front()) << "backwards the walk ends on the top-of-file line";
  bwd.erase(bwd.begin());
  EXPECT_TRUE(same_lines(want, bwd));
}

TEST_F(CursorTest, ReplacingAContinuedRecordKeepsLineNumbersBelow) {
  Lines want;
  BufferRec* b = records(300, want);
  // Find a record that continues into the next page.
  PosRecord p{};
  ASSERT_EQ(0, pos_first_line(&p, b));
  int32_t line = 0;
  for (;;) {
    Page* pg = nullptr;
    ASSERT_EQ(0, store_get_page_counted(pg, p.block, b));
    if (pg->cont && -p.index == static_cast<int>(pg->nlines) - 1) {
      line = p.line;
      break;
    }
    ASSERT_EQ(0, pos_next_line(&p, b));
  }
  PosRecord below{};
  ASSERT_EQ(0, pos_goto_line(line + 2, &below, b));
  below.kind[0] = 1;
  pos_link_to_buffer(&below, b);
  std::string t = "short now";
  ASSERT_EQ(0, line_replace_text(t.data(), static_cast<int32_t>(t.size()), &p, b));
  want[static_cast<size_t>(line - 1)] = t;
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
  EXPECT_EQ(line + 2, below.line);
  EXPECT_EQ(want[static_cast<size_t>(line + 1)], line_get_string(&below, b));
  PosRecord check{};
  ASSERT_EQ(0, pos_goto_line(line + 2, &check, b));
  EXPECT_TRUE(pos_same_place(&check, &below));
  EXPECT_EQ("", store_check(b));
  pos_unlink_from_buffer(&below);
}

}  // namespace

namespace {

// Pages of very short lines overflow their line table when first counted and
// split; a position found before the count must look again.
TEST_F(CursorTest, PagesSplitWhenCountedAreFollowed) {
  Lines want;
  std::string text;
  for (int i = 0; i < 5000; ++i) {
    want.push_back(std::to_string(i % 1000));
    text += want.back() + "\n";
  }
  BufferRec* b = load(text);
  PosRecord p{};
  p.buffer = b;
  ASSERT_EQ(0, pos_last_line(&p, b));  // the last block is split by its first count
  EXPECT_EQ(want.back(), line_get_string(&p, b));
  ASSERT_EQ(0, line_insert_text("end", 3, &p, b));
  want.push_back("end");
  BufferRec* c = load(text);
  PosRecord q{};
  q.buffer = c;
  int64_t off = static_cast<int64_t>(text.size()) - 2;  // inside the last line of a page not yet counted
  ASSERT_EQ(0, pos_seek_offset(&q, off));
  EXPECT_EQ(want[want.size() - 2], line_get_string(&q, c));
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
  EXPECT_EQ("", store_check(b));
}

}  // namespace
