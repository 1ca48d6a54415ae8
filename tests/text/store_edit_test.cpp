// Edits on the store: page splits, removal of emptied blocks, truncation,
// end-of-line conversion on copies, line flags, overlapping copies, undo hooks.

#include "store_fixture.h"

using namespace storetest;

namespace {

using Lines = std::vector<std::string>;

int count_blocks(BufferRec* b) {
  int n = 0;
  for (int32_t k = b->first_block; k >= 0; k = store_block(k).next) ++n;
  return n;
}

std::string raw_text(BufferRec* b) {
  std::string s(static_cast<size_t>(b->bytes), '\0');
  int64_t lead = b->record_len ? b->record_len : 1;
  EXPECT_EQ(b->bytes, buf_read_bytes(s.data(), b->bytes, b->first_block, lead, b));
  return s;
}

TEST_F(StoreTest, InsertAfterTheLastLineOfAFullPageSplitsIt) {
  BufferRec* b = new_text();
  PosRecord p{};
  ASSERT_EQ(0, pos_first_line(&p, b));
  Lines want{""};
  std::string t(99, 'f');
  while (count_blocks(b) == 1) {
    ASSERT_EQ(0, line_insert_text(t.data(), 99, &p, b));
    want.push_back(t);
  }
  EXPECT_EQ(2, count_blocks(b));
  EXPECT_EQ(static_cast<int32_t>(want.size()), p.line);
  EXPECT_EQ(store_block(b->first_block).next, p.block) << "the new line is in the new page";
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
  EXPECT_EQ("", store_check(b));
  // Both pages have room again for following inserts.
  Page* first = nullptr;
  ASSERT_EQ(0, store_get_page_counted(first, b->first_block, b));
  EXPECT_GT(page_free_space(first, store_block(b->first_block).bytes), 1000);
}

TEST_F(StoreTest, DeletingTheOnlyLineOfAPageRemovesTheBlock) {
  BufferRec* b = new_text();
  PosRecord p{};
  ASSERT_EQ(0, pos_first_line(&p, b));
  Lines want{""};
  std::string t(500, 'd');
  for (int i = 0; i < 60; ++i) {
    t[0] = static_cast<char>('A' + i % 26);
    ASSERT_EQ(0, line_insert_text(t.data(), 500, &p, b));
    want.push_back(t);
  }
  int blocks = count_blocks(b);
  ASSERT_GT(blocks, 2);
  // Empty the second block line by line from its first line.
  int32_t victim = store_block(b->first_block).next;
  Page* pg = nullptr;
  ASSERT_EQ(0, store_get_page_counted(pg, victim, b));
  int n = static_cast<int>(pg->nlines);
  PosRecord d{};
  ASSERT_EQ(0, pos_goto_line(static_cast<int32_t>(store_block(b->first_block).count & kCountLinesMask), &d, b));
  ASSERT_EQ(victim, d.block);
  int32_t line = d.line;
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(0, line_delete(&d, b));
    want.erase(want.begin() + line - 1);
  }
  EXPECT_EQ(blocks - 1, count_blocks(b));
  EXPECT_NE(victim, store_block(b->first_block).next);
  EXPECT_EQ(line, d.line);
  EXPECT_EQ(want[static_cast<size_t>(line - 1)], line_get_string(&d, b)) << "the position went to the next line";
  EXPECT_TRUE(same_lines(want, lines_forward(b)));
  EXPECT_EQ("", store_check(b));
}

TEST_F(StoreTest, DeletingTheLastLineMovesUpAndReportsBottom) {
  BufferRec* b = load("a\nb\n");
  PosRecord p{};
  ASSERT_EQ(0, pos_last_line(&p, b));
  EXPECT_EQ(ERR_BOTTOM_OF_FILE, line_delete(&p, b));
  EXPECT_EQ(1, p.line);
  EXPECT_EQ("a", line_get_string(&p, b));
  EXPECT_EQ(ERR_BOTTOM_OF_FILE, line_delete(&p, b));
  EXPECT_EQ(0, p.line) << "on the top-of-file line";
  EXPECT_EQ(ERR_INVALID_ARGUMENT, line_delete(&p, b)) << "the top-of-file line stays";
  EXPECT_TRUE(same_lines({}, lines_forward(b)));
  EXPECT_EQ(0, b->bytes);
}

TEST_F(StoreTest, OverLongLinesAreCutOnceReported) {
  BufferRec* b = new_text('\r', '\n');
  PosRecord p{};
  ASSERT_EQ(0, pos_first_line(&p, b));
  uitest::reset_errors();
  std::string t(1100, 'L');
  ASSERT_EQ(0, line_insert_text(t.data(), 1100, &p, b));
  ASSERT_EQ(0, line_insert_text(t.data(), 1100, &p, b));
  LineInfo info;
  EXPECT_EQ(std::string(1022, 'L'), line_get_string(&p, b, &info));
  EXPECT_EQ(1024, info.raw);
  EXPECT_EQ(1, uitest::ui.error_count);
  EXPECT_EQ(ERR_LINES_TRUNCATED, uitest::ui.last_error);
}

TEST_F(StoreTest, CopiesConvertEndsOfLine) {
  BufferRec* lf = load("one\ntwo\n");
  BufferRec* crlf = new_text('\r', '\n');
  PosRecord s{}, e{}, d{};
  ASSERT_EQ(0, pos_goto_line(1, &s, lf));
  ASSERT_EQ(0, pos_goto_line(2, &e, lf));
  ASSERT_EQ(0, pos_goto_line(1, &d, crlf));
  ASSERT_EQ(0, lines_copy(&d, &s, &e, nullptr, crlf));
  EXPECT_EQ("\r\none\r\ntwo\r\n", raw_text(crlf));
  EXPECT_EQ(2, s.line) << "the source stays on the range's last line at the end of the buffer";

  BufferRec* rec = new_buffer();
  rec->record_len = 4;
  load("abcdwxyz", {}, nullptr, rec);
  PosRecord rs{}, re{}, ld{};
  ASSERT_EQ(0, pos_goto_line(1, &rs, rec));
  ASSERT_EQ(0, pos_goto_line(2, &re, rec));
  ASSERT_EQ(0, pos_goto_line(2, &ld, lf));
  ASSERT_EQ(0, lines_copy(&ld, &rs, &re, nullptr, lf));
  EXPECT_EQ("one\ntwo\nabcd\nwxyz\n", raw_text(lf));
  EXPECT_EQ(4, ld.line);
}

TEST_F(StoreTest, LineFlagsMarkInsertedCopiedAndChangedLines) {
  BufferRec* b = load("a\nb\nc\n");
  PosRecord p{};
  ASSERT_EQ(0, pos_goto_line(1, &p, b));
  EXPECT_EQ(0, line_get_flags(&p, b));
  ASSERT_EQ(0, line_set_flags(0x03, &p, b));  // a colour state
  PosRecord d{};
  ASSERT_EQ(0, pos_goto_line(3, &d, b));
  PosRecord first{};
  ASSERT_EQ(0, lines_copy(&d, &p, &p, &first, b));
  EXPECT_EQ(0x23, line_get_flags(&d, b)) << "copied lines keep their other bits";
  ASSERT_EQ(0, pos_goto_line(2, &p, b));
  ASSERT_EQ(0, line_replace_text("B", 1, &p, b));
  EXPECT_EQ(kLineChanged, line_get_flags(&p, b));
  ASSERT_EQ(0, line_insert_text("new", 3, &p, b));
  EXPECT_EQ(kLineInserted, line_get_flags(&p, b));
  EXPECT_EQ(1, b->modified);
  EXPECT_TRUE(same_lines((Lines{"a", "B", "new", "c", "a"}), lines_forward(b)));
}

// A copy whose destination lies inside its own range copies the original lines.
TEST_F(StoreTest, CopyOntoItselfCopiesTheOriginalRange) {
  BufferRec* b = load("A\nB\nC\nD\n");
  PosRecord s{}, e{}, d{};
  ASSERT_EQ(0, pos_goto_line(1, &s, b));
  ASSERT_EQ(0, pos_goto_line(4, &e, b));
  ASSERT_EQ(0, pos_goto_line(2, &d, b));
  PosRecord first{};
  ASSERT_EQ(0, lines_copy(&d, &s, &e, &first, b));
  EXPECT_TRUE(same_lines((Lines{"A", "B", "A", "B", "C", "D", "C", "D"}), lines_forward(b)));
  EXPECT_EQ(6, d.line);
  EXPECT_EQ("A", line_get_string(&first, b));
  EXPECT_EQ("", store_check(b));
}

// The place of the first copied line stays right while the rest of the copy
// splits its page, also when the copy lands inside its own range.
TEST_F(StoreTest, FirstCopiedLineIsFoundAfterTheCopySplitsItsPage) {
  std::string text;
  Lines want;
  for (int i = 0; i < 400; ++i) {
    want.push_back("line " + std::to_string(i) + std::string(static_cast<size_t>(i % 30), '.'));
    text += want.back() + "\n";
  }
  for (int32_t into = 0; into < 400; into += 7) {  // before the range, inside it, after it
    SCOPED_TRACE("copied after line " + std::to_string(into));
    BufferRec* b = load(text);
    PosRecord s{}, e{}, d{}, first{};
    ASSERT_EQ(0, pos_goto_line(100, &s, b));
    ASSERT_EQ(0, pos_goto_line(399, &e, b));
    ASSERT_EQ(0, pos_goto_line(into, &d, b));
    ASSERT_EQ(0, lines_copy(&d, &s, &e, &first, b));
    EXPECT_EQ(want[99], line_get_string(&first, b));
    ASSERT_EQ(0, pos_line_number(&first, b, 1));
    EXPECT_EQ(into + 1, first.line);
    EXPECT_EQ("", store_check(b));
  }
}

TEST_F(StoreTest, PositionsInTheRingFollowEdits) {
  BufferRec* b = load("1\n2\n3\n4\n5\n");
  PosRecord view{}, mark{};
  ASSERT_EQ(0, pos_goto_line(4, &view, b));
  ASSERT_EQ(0, pos_goto_line(2, &mark, b));
  pos_link_to_buffer(&view, b);
  pos_link_to_buffer(&mark, b);
  PosRecord p{};
  ASSERT_EQ(0, pos_goto_line(1, &p, b));
  ASSERT_EQ(0, line_insert_text("x", 1, &p, b));  // after line 1
  EXPECT_EQ(5, view.line);
  EXPECT_EQ(3, mark.line);
  EXPECT_EQ("4", line_get_string(&view, b));
  ASSERT_EQ(0, line_delete(&mark, b));  // mark's own line: it moves to the next
  EXPECT_EQ(3, mark.line);
  EXPECT_EQ("3", line_get_string(&mark, b));
  EXPECT_EQ(4, view.line);
  EXPECT_EQ("4", line_get_string(&view, b));
  pos_unlink_from_buffer(&view);
  pos_unlink_from_buffer(&mark);
}

struct UndoLog {
  static inline std::vector<std::string> calls;
};

TEST_F(StoreTest, UndoHooksSeeEachEditWhileUndoIsOn) {
  UndoLog::calls.clear();
  store_undo_hooks().inserted = [](BufferRec*, int64_t point, int32_t) {
    UndoLog::calls.push_back("ins@" + std::to_string(point));
    return 0;
  };
  store_undo_hooks().deleted = [](BufferRec*, int64_t point, int32_t, const uint8_t* raw, int32_t len, const LineEntry*,
                                  int32_t) {
    UndoLog::calls.push_back("del@" + std::to_string(point) + ":" +
                             std::string(reinterpret_cast<const char*>(raw), static_cast<size_t>(len)));
    return 0;
  };
  store_undo_hooks().changed = [](BufferRec*, int64_t point, int32_t, const uint8_t* old, int32_t len, const uint8_t*,
                                  int32_t, uint16_t) {
    UndoLog::calls.push_back("chg@" + std::to_string(point) + ":" +
                             std::string(reinterpret_cast<const char*>(old), static_cast<size_t>(len)));
    return 0;
  };
  BufferRec* b = load("ab\ncd\n");
  PosRecord p{};
  ASSERT_EQ(0, pos_goto_line(1, &p, b));
  ASSERT_EQ(0, line_insert_text("zz", 2, &p, b));  // undo off: nothing recorded
  b->undo_enable = 1;
  ASSERT_EQ(0, line_replace_text("Z", 1, &p, b));
  ASSERT_EQ(0, line_delete(&p, b));
  ASSERT_EQ(0, line_insert_text("q", 1, &p, b));
  store_undo_hooks() = StoreUndoHooks{};
  EXPECT_EQ((std::vector<std::string>{"chg@3:zz", "del@3:Z\n", "ins@3"}), UndoLog::calls);
}

}  // namespace
