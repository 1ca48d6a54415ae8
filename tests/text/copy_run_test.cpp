// Copies as runs and deletions in page runs: large copies against a model of
// the text, one undo record for a copy however large, positions moving with
// the text, undo and redo of both under a three-page memory limit; the copy
// into a line that goes on in the next page, between end-of-line
// conventions, and into its own range; and the undo records of line flags
// and of the view's display words.

#include <random>

#include "undo_sel_fixture.h"

namespace {

using Lines = std::vector<std::string>;

class CopyRunTest : public buftest::UndoSelTest {
 protected:
  void TearDown() override {
    for (BufferRec* b : undone_) undo_free_blocks(b);
    UndoSelTest::TearDown();
  }
  PosRecord at(BufferRec* b, int32_t line) {
    PosRecord p{};
    p.buffer = b;
    p.line = -1;
    EXPECT_EQ(0, pos_goto_line(line, &p, b));
    return p;
  }
  static Lines numbered(int n, const std::string& prefix) {
    Lines l;
    for (int i = 1; i <= n; ++i)
      l.push_back(prefix + std::to_string(i) + std::string(static_cast<size_t>(i % 37), '.'));
    return l;
  }
  BufferRec* with(const Lines& lines, const std::string& name) {
    std::string text;
    for (const auto& s : lines) text += s + "\n";
    return make(name, text);
  }
  // The line numbers of positions agree with a fresh count.
  static void check_line(const PosRecord* q, BufferRec* b) {
    PosRecord c{};
    pos_copy_place(&c, q);
    c.buffer = b;
    c.line = -1;
    ASSERT_EQ(0, pos_line_number(&c, b, 1));
    EXPECT_EQ(c.line, q->line);
  }
  std::vector<BufferRec*> undone_;
};

class CopyRunSmall : public CopyRunTest {
 protected:
  CopyRunSmall() { kb_ = storetest::kThreePagesKb; }
};

TEST_F(CopyRunSmall, ALargeCopyIsOneRecordAndUndoesAndRedoesUnderAThreePageLimit) {
  const Lines orig = numbered(5000, "line ");
  BufferRec* b = with(orig, "big");
  undone_.push_back(b);
  undo_enable(b, kUndoDefaultSteps);
  undo_checkpoint(nullptr, b);
  ASSERT_EQ(0, undo_block_count(b));
  // A mark inside the range, and one after the destination, follow the text.
  PosRecord inside = at(b, 2000), after = at(b, 4800);
  pos_link_to_buffer(&inside, b);
  pos_link_to_buffer(&after, b);

  PosRecord src = at(b, 100), end = at(b, 4100), dst = at(b, 4500), first{};
  ASSERT_EQ(0, lines_copy(&dst, &src, &end, &first, b));
  Lines want = orig;
  want.insert(want.begin() + 4500, orig.begin() + 99, orig.begin() + 4100);
  EXPECT_TRUE(storetest::same_lines(want, storetest::lines_forward(b)));
  EXPECT_EQ("", store_check(b));
  EXPECT_EQ(1, undo_block_count(b)) << "the 4001 lines are one record";
  EXPECT_EQ(want[4500], line_get_string(&first, b));
  EXPECT_EQ(want[8500], line_get_string(&dst, b));
  EXPECT_EQ(8501, dst.line);
  EXPECT_EQ(orig[1999], line_get_string(&inside, b));
  EXPECT_EQ(orig[4799], line_get_string(&after, b));
  check_line(&inside, b);
  check_line(&after, b);
  EXPECT_EQ(8801, after.line);
  undo_checkpoint(nullptr, b);

  EXPECT_GT(undo_step('U', nullptr, b) & kUndoLinesRemoved, 0);
  EXPECT_TRUE(storetest::same_lines(orig, storetest::lines_forward(b)));
  EXPECT_EQ("", store_check(b));
  // Page runs: the text and 4 bytes per line, a few records per block of
  // overhead; line by line it would take 24 bytes more per line.
  int64_t logged = 0;
  for (int i = 99; i < 4100; ++i) logged += static_cast<int64_t>(orig[static_cast<size_t>(i)].size()) + 1 + 4;
  const int64_t area = store_image_size() - static_cast<int64_t>(sizeof(UndoBlockHeader));
  EXPECT_LE(undo_block_count(b), logged / area + 3) << "deleted in page runs, not one record per line";
  check_line(&after, b);
  EXPECT_EQ(orig[4799], line_get_string(&after, b));

  EXPECT_GT(undo_step('R', nullptr, b) & kUndoLinesRestored, 0);
  EXPECT_TRUE(storetest::same_lines(want, storetest::lines_forward(b)));
  EXPECT_EQ("", store_check(b));
  check_line(&after, b);
  EXPECT_EQ(orig[4799], line_get_string(&after, b));
  EXPECT_EQ(ERR_NOTHING_TO_REDO, undo_step('R', nullptr, b));
  pos_unlink_from_buffer(&inside);
  pos_unlink_from_buffer(&after);
}

TEST_F(CopyRunTest, CopiesConvertLineEndsAndKeepFlags) {
  BufferRec* lf = with({"a", "bb", "ccc"}, "lf");
  BufferRec* crlf = make("crlf", "x\r\ny\r\n");
  ASSERT_EQ('\r', crlf->eol[0]);
  PosRecord f = at(lf, 2);
  ASSERT_EQ(0, line_set_flags(0x5, &f, lf));
  PosRecord src = at(lf, 1), end = at(lf, 3), dst = at(crlf, 1);
  ASSERT_EQ(0, lines_copy(&dst, &src, &end, nullptr, crlf));
  EXPECT_EQ((Lines{"x", "a", "bb", "ccc", "y"}), storetest::lines_forward(crlf));
  EXPECT_EQ(6 + 3 + 4 + 5, crlf->bytes);
  PosRecord p = at(crlf, 3);
  EXPECT_EQ(0x5 | kLineInserted, line_get_flags(&p, crlf));
  char raw[8] = {};
  ASSERT_EQ(4, buf_read_bytes_at(raw, 4, 3, crlf));
  EXPECT_EQ(std::string("a\r\nb"), std::string(raw, 4));
  EXPECT_EQ("", store_check(crlf));

  // Into its own range: the part up to the destination, then the rest.
  src = at(lf, 1);
  end = at(lf, 3);
  dst = at(lf, 2);
  ASSERT_EQ(0, lines_copy(&dst, &src, &end, nullptr, lf));
  EXPECT_EQ((Lines{"a", "bb", "a", "bb", "ccc", "ccc"}), storetest::lines_forward(lf));
  EXPECT_EQ("", store_check(lf));
}

// A lazily loaded file whose line crosses the boundary of its first page:
// that line goes on in the next page, and a copy after it goes in after the
// continued part.
TEST_F(CopyRunTest, ACopyAfterALineThatGoesOnInTheNextPage) {
  Lines orig;
  int64_t size = 0;
  for (int i = 0; size < 3 * store_page_size(); ++i) {
    orig.push_back("row " + std::to_string(i) + std::string(40, 'x'));
    size += static_cast<int64_t>(orig.back().size()) + 1;
  }
  BufferRec* b = with(orig, "lazy");
  // The line in which the first page's text ends.
  int64_t off = 0;
  int32_t crossing = 0;
  for (size_t i = 0; i < orig.size(); ++i) {
    off += static_cast<int64_t>(orig[i].size()) + 1;
    if (off > store_page_size() - 1) {
      crossing = static_cast<int32_t>(i) + 1;
      break;
    }
  }
  ASSERT_GT(crossing, 0);
  BufferRec* other = with(numbered(300, "new "), "src");
  PosRecord src = at(other, 1), end = at(other, 300), dst = at(b, crossing);
  ASSERT_EQ(0, lines_copy(&dst, &src, &end, nullptr, b));
  Lines want = orig;
  const Lines add = numbered(300, "new ");
  want.insert(want.begin() + crossing, add.begin(), add.end());
  EXPECT_TRUE(storetest::same_lines(want, storetest::lines_forward(b)));
  EXPECT_EQ("", store_check(b));
}

TEST_F(CopyRunTest, DeletingLinesInPageRunsMovesMarksAsLineByLineWould) {
  const Lines orig = numbered(3000, "d ");
  BufferRec* b = with(orig, "del");
  undone_.push_back(b);
  undo_enable(b, kUndoDefaultSteps);
  undo_checkpoint(nullptr, b);
  PosRecord before = at(b, 5), on = at(b, 1500), after = at(b, 2900);
  for (PosRecord* q : {&before, &on, &after}) pos_link_to_buffer(q, b);
  PosRecord from = at(b, 10);
  ASSERT_EQ(0, lines_delete_run(&from, 2000, b));
  Lines want = orig;
  want.erase(want.begin() + 9, want.begin() + 2009);
  EXPECT_TRUE(storetest::same_lines(want, storetest::lines_forward(b)));
  EXPECT_EQ("", store_check(b));
  EXPECT_EQ(orig[2009], line_get_string(&from, b));
  EXPECT_EQ(orig[2009], line_get_string(&on, b)) << "a position on a deleted line goes to the one after";
  EXPECT_EQ(orig[4], line_get_string(&before, b));
  EXPECT_EQ(orig[2899], line_get_string(&after, b));
  for (PosRecord* q : {&before, &on, &after, &from}) check_line(q, b);
  undo_checkpoint(nullptr, b);
  undo_step('U', nullptr, b);
  EXPECT_TRUE(storetest::same_lines(orig, storetest::lines_forward(b)));
  EXPECT_EQ("", store_check(b));
  check_line(&after, b);

  // The last lines: the position goes to the line above with -2024.
  from = at(b, 2999);
  EXPECT_EQ(ERR_BOTTOM_OF_FILE, lines_delete_run(&from, 2, b));
  EXPECT_EQ(orig[2997], line_get_string(&from, b));
  EXPECT_EQ(2998, from.line);
  EXPECT_EQ(2998u, storetest::lines_forward(b).size());
  for (PosRecord* q : {&before, &on, &after}) pos_unlink_from_buffer(q);
}

int32_t chain_blocks(BufferRec* b) {
  int32_t n = 0;
  for (int32_t k = b->first_block; k >= 0; k = store_block(k).next) ++n;
  return n;
}

// Lines deleted one by one come back one by one: short runs go in without
// a page split each, so the text keeps about the pages it had.
TEST_F(CopyRunTest, ShortRunsDoNotSplitAPagePerLine) {
  const Lines orig = numbered(3000, "s ");
  BufferRec* b = with(orig, "short");
  undone_.push_back(b);
  PosRecord all = at(b, 3000);
  pos_count_lines(&all, b, all.line);  // every page counted
  const int32_t blocks = chain_blocks(b);
  undo_enable(b, kUndoDefaultSteps);
  undo_checkpoint(nullptr, b);
  PosRecord p = at(b, 100);
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(0, line_delete(&p, b));
  undo_checkpoint(nullptr, b);
  ASSERT_GE(undo_step('U', nullptr, b), 0);
  EXPECT_TRUE(storetest::same_lines(orig, storetest::lines_forward(b)));
  EXPECT_LE(chain_blocks(b), 2 * blocks + 2);
}

TEST_F(CopyRunTest, LineFlagsAndDisplayWordsAreUndone) {
  BufferRec* b = with({"a", "b"}, "flags");
  undone_.push_back(b);
  undo_enable(b, kUndoDefaultSteps);
  WindowObject* w = window(10);
  PosRecord* v = show(w, b);
  v->display[0] = 3;
  v->display[1] = 4;
  v->display[3] = 9;
  undo_checkpoint(v, b);
  PosRecord p = at(b, 2);
  ASSERT_EQ(0, line_set_flags(0x40, &p, b));
  v->display[0] = 30;
  v->display[1] = 40;
  v->display[2] = 50;
  v->display[3] = 90;
  v->column = 7;
  undo_checkpoint(v, b);
  // The colour coder's state moves on meanwhile; it is not logged.
  b->undo_enable = 0;
  ASSERT_EQ(0, line_set_flags(0x42, &p, b));
  b->undo_enable = 1;
  redraw_bits = 0;
  const int32_t mask = undo_step('U', v, b);
  ASSERT_GE(mask, 0);
  EXPECT_NE(0, mask & kUndoFlagsRestored);
  EXPECT_NE(0, mask & kUndoCursorRestored);
  EXPECT_EQ(0x02, line_get_flags(&p, b)) << "the flag goes, the colour state stays";
  EXPECT_EQ(3, v->display[0]);
  EXPECT_EQ(4, v->display[1]);
  EXPECT_EQ(0, v->display[2]);
  EXPECT_EQ(9, v->display[3]);
  EXPECT_EQ(0, v->column);
  EXPECT_NE(0u, redraw_bits & kRedrawWindow);
  EXPECT_EQ(1, b->redraw);
  EXPECT_GE(undo_step('R', v, b), 0);
  EXPECT_EQ(0x42, line_get_flags(&p, b));
  EXPECT_EQ(30, v->display[0]);
  EXPECT_EQ(50, v->display[2]);
  EXPECT_EQ(90, v->display[3]);
  EXPECT_EQ(7, v->column);
}

}  // namespace
