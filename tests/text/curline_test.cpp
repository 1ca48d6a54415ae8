// Editing the cursor line: typing in insert and overwrite mode, tabs, wrap at
// the margin with and without a join, deleting, line moves and pages, the
// redraw bits, and the flush before anything else sees the buffer.

#include <string>

#include "buffer_fixture.h"
#include "tests/support/headless/process_fakes.h"

using namespace buftest;

namespace {

class CurlineTest : public BufferTest {
 protected:
  // One window showing a buffer with the given text, cursor on line `line`.
  PosRecord* open(const std::string& text, int32_t line = 1, int rows = 20) {
    w_ = window(rows);
    b_ = make("t" + std::to_string(++n_), text);
    PosRecord* v = show(w_, b_);
    if (line != 1) {
      EXPECT_EQ(0, pos_goto_line(line, v, b_));
      view_fix_rows(v, b_);
    }
    return v;
  }
  void type(const std::string& s) {
    for (char c : s) ASSERT_EQ(0, line_type_char(static_cast<uint8_t>(c)));
  }
  std::vector<std::string> store_lines() { return storetest::lines_forward(b_); }
  std::string cur() { return std::string(current_line.text.view()); }
  WindowObject* w_ = nullptr;
  BufferRec* b_ = nullptr;
  int n_ = 0;
};

TEST_F(CurlineTest, TypingEditsTheCurrentLineUntilTheFlush) {
  PosRecord* v = open("abc\ndef\n");
  redraw_bits = 0;
  type("xy");
  EXPECT_EQ("xyabc", cur());
  EXPECT_EQ(1, current_line.dirty);
  EXPECT_EQ(2, v->column);
  EXPECT_EQ("abc", store_lines()[0]);  // not yet in the store
  EXPECT_NE(0u, redraw_bits & kRedrawCursorLine);
  EXPECT_NE(0u, redraw_bits & kRedrawCaption);  // first change of an unmodified buffer
  EXPECT_EQ(1, b_->redraw);
  char out[16];
  EXPECT_EQ(5, line_get_current_cstr(out, sizeof out));
  EXPECT_STREQ("xyabc", out);
  ASSERT_EQ(0, line_flush_current());
  EXPECT_EQ(0, current_line.dirty);
  EXPECT_EQ((std::vector<std::string>{"xyabc", "def"}), store_lines());
  EXPECT_EQ(1, b_->modified);
}

TEST_F(CurlineTest, OverwriteReplacesAndPadsPastTheEnd) {
  PosRecord* v = open("abc\n");
  edit_settings.insert_mode = 0;
  v->column = 1;
  type("X");
  EXPECT_EQ("aXc", cur());
  v->column = 5;
  type("Z");
  EXPECT_EQ("aXc  Z", cur());
  EXPECT_EQ(6, v->column);
}

TEST_F(CurlineTest, TabsMoveToTheNextStopAndSplitUnderTheCursor) {
  PosRecord* v = open("\tx\n");
  v->column = 3;  // inside the tab's blanks
  type("y");
  EXPECT_EQ("   y     x", cur());
  EXPECT_EQ(4, v->column);
  v->column = 0;
  type("\t");
  EXPECT_EQ("\t   y     x", cur());
  EXPECT_EQ(8, v->column);
}

TEST_F(CurlineTest, WrapCarriesTheWordToANewLine) {
  PosRecord* v = open("aaaa bbbb cccc dddd\n");
  b_->margins[1] = 20;
  v->column = 19;
  type("e");
  EXPECT_EQ("aaaa bbbb cccc dddde", cur());  // width 20: no wrap yet
  type("f");
  EXPECT_EQ((std::vector<std::string>{"aaaa bbbb cccc ", "ddddef"}), store_lines());
  EXPECT_EQ(2, v->line);
  EXPECT_EQ(6, v->column);  // after the f
  EXPECT_NE(0u, redraw_bits & kRedrawLines);
  type("g");
  EXPECT_EQ("ddddefg", cur());
}

TEST_F(CurlineTest, WrapJoinsTheNextLineInInsertModeOnly) {
  for (uint8_t mode : {1, 0}) {
    SCOPED_TRACE(mode ? "insert" : "overwrite");
    edit_settings.insert_mode = mode;
    PosRecord* v = open("aaaa bbbb cccc dddd\ngggg hhhh  \n");
    b_->margins[1] = 20;
    v->column = 19;
    type("ef");
    if (mode)
      EXPECT_EQ((std::vector<std::string>{"aaaa bbbb cccc ", "ddddef gggg hhhh  "}), store_lines());
    else
      EXPECT_EQ((std::vector<std::string>{"aaaa bbbb cccc ", "ddddef", "gggg hhhh  "}), store_lines());
    EXPECT_EQ(2, v->line);
    EXPECT_EQ(6, v->column);
    line_flush_current();
    buf_close(b_);
  }
}

TEST_F(CurlineTest, NoJoinWhenTheJoinedLinePassesTheMargin) {
  PosRecord* v = open("aaaa bbbb cccc dddd\ngggg hhhh iiii jjjj\n");
  b_->margins[1] = 20;
  v->column = 19;
  type("ef");
  EXPECT_EQ((std::vector<std::string>{"aaaa bbbb cccc ", "ddddef", "gggg hhhh iiii jjjj"}), store_lines());
}

TEST_F(CurlineTest, WrapIndentsToTheLeftMargin) {
  PosRecord* v = open("aaaa bbbb cccc dddd\n");
  b_->margins[0] = 4;  // indent of 3 columns
  b_->margins[1] = 20;
  v->column = 19;
  type("ef");
  EXPECT_EQ((std::vector<std::string>{"aaaa bbbb cccc ", "   ddddef"}), store_lines());
  EXPECT_EQ(9, v->column);
}

TEST_F(CurlineTest, TypingPastColumn1022WrapsEvenWithWrapOff) {
  PosRecord* v = open(std::string(1022, 'a') + "\n");
  b_->wrap_flags = 0;
  v->column = 1000;
  type("b");  // width 1023
  auto lines = store_lines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(std::string(72, 'a'), lines[0]);
  EXPECT_EQ(std::string(928, 'a') + "b" + std::string(22, 'a'), lines[1]);
  EXPECT_EQ(2, v->line);
  EXPECT_EQ(929, v->column);
  EXPECT_EQ(0, uitest::ui.error_count);
}

TEST_F(CurlineTest, AFullLineReportsTruncationAndKeepsWhatFits) {
  PosRecord* v = open("x\n");
  b_->record_len = 0;
  std::string full(LSTR_CAP_LINE, 'q');
  line_replace_current(full.data(), static_cast<int32_t>(full.size()));
  b_->wrap_flags = 0;
  v->column = 10;
  uitest::reset_errors();
  line_type_char('Z');
  EXPECT_EQ(ERR_LINES_TRUNCATED, uitest::ui.last_error);
  EXPECT_EQ(1, uitest::ui.error_count);
}

TEST_F(CurlineTest, BackspaceAndDelete) {
  PosRecord* v = open("abc\ndef\n");
  line_backspace();  // column 0: nothing
  EXPECT_EQ(0, current_line.dirty);
  v->column = 2;
  line_backspace();
  EXPECT_EQ("ac", cur());
  EXPECT_EQ(1, v->column);
  v->column = 2;
  line_delete_char();  // at the end: no join
  EXPECT_EQ("ac", cur());
  line_flush_current();
  EXPECT_EQ((std::vector<std::string>{"ac", "def"}), store_lines());
  v->column = 0;
  line_delete_char();
  EXPECT_EQ("c", cur());
}

TEST_F(CurlineTest, BackspaceOverATabGoesToItsStart) {
  PosRecord* v = open("a\tx\n");
  v->column = 8;  // on the x
  line_backspace();
  EXPECT_EQ("ax", cur());
  EXPECT_EQ(1, v->column);
  v->column = 5;  // inside a tab: it is split first
  line_replace_current("a\tx", -1);
  line_backspace();
  EXPECT_EQ("a      x", cur());
  EXPECT_EQ(4, v->column);
}

TEST_F(CurlineTest, WithUndoOnEachDeletionIsWrittenThrough) {
  PosRecord* v = open("abc\n");
  b_->undo_enable = 1;
  int calls = 0;
  static int* seen = nullptr;
  seen = &calls;
  curline_undo_hooks().char_deleted = [](BufferRec*, PosRecord*, int32_t q, uint8_t old) {
    EXPECT_EQ(2, q);
    EXPECT_EQ('b', old);
    ++*seen;
  };
  v->column = 1;
  line_delete_char();
  curline_undo_hooks().char_deleted = nullptr;
  EXPECT_EQ(1, calls);
  EXPECT_EQ(0, current_line.dirty);
  EXPECT_EQ((std::vector<std::string>{"ac"}), store_lines());
  EXPECT_EQ(1, b_->undo_enable);
}

TEST_F(CurlineTest, TheTopOfFileLineIsNeverEdited) {
  PosRecord* v = open("abc\n");
  ASSERT_EQ(0, pos_top(v, b_));
  EXPECT_EQ(0, line_type_char('x'));
  line_replace_current("zzz", 3);
  EXPECT_EQ(0, line_delete_current());
  EXPECT_EQ(0, current_line.dirty);
  EXPECT_EQ((std::vector<std::string>{"abc"}), store_lines());
}

TEST_F(CurlineTest, TheLineIsFlushedBeforeSwitchingOrClosing) {
  PosRecord* v = open("abc\n");
  BufferRec* a = b_;
  BufferRec* other = make("other", "zzz\n");
  type("1");
  ASSERT_EQ(0, view_show_buffer(other, 0));
  EXPECT_EQ(0, current_line.dirty);
  EXPECT_EQ("1abc", storetest::lines_forward(a)[0]);
  type("2");
  EXPECT_EQ("2zzz", cur());
  window_set_current(window(), 0);
  EXPECT_EQ("2zzz", storetest::lines_forward(other)[0]);
  window_set_current(w_, 0);
  type("3");
  ASSERT_EQ(0, buf_close(other));  // its views go back to a
  EXPECT_EQ(0, current_line.dirty);
  EXPECT_EQ(a, v->buffer);
}

TEST_F(CurlineTest, WholeLineOperations) {
  PosRecord* v = open("one\ntwo\nthree\n");
  ASSERT_EQ(0, line_insert_after_cursor("new\tx", 5));
  EXPECT_EQ(2, v->line);
  EXPECT_EQ(1, v->row);
  EXPECT_EQ(9, v->column);  // after the inserted text
  EXPECT_EQ((std::vector<std::string>{"one", "new\tx", "two", "three"}), store_lines());
  type("!");
  processtest::install();
  ASSERT_EQ(0, line_delete_current());             // drops the pending edit with the line
  EXPECT_EQ(1, processtest::process.mark_resets);  // the process mark follows deleted lines
  EXPECT_EQ((std::vector<std::string>{"one", "two", "three"}), store_lines());
  EXPECT_EQ("two", text_at(v));
  line_replace_current("TWO", 3);
  EXPECT_EQ(0x2040u, redraw_bits & 0x2040u);
  ASSERT_EQ(0, line_flush_current());
  EXPECT_EQ((std::vector<std::string>{"one", "TWO", "three"}), store_lines());
  ASSERT_EQ(0, pos_last_line(v, b_));
  EXPECT_EQ(0, line_delete_current());  // the last line: -2024 is no error
  EXPECT_EQ((std::vector<std::string>{"one", "TWO"}), store_lines());
}

TEST_F(CurlineTest, CursorMovesWithinTheLine) {
  PosRecord* v = open("ab\tc\n");
  cursor_end_line();
  EXPECT_EQ(9, v->column);
  cursor_left();
  EXPECT_EQ(8, v->column);
  cursor_left();
  EXPECT_EQ(2, v->column);  // the tab's start
  cursor_right();
  EXPECT_EQ(8, v->column);
  cursor_begin_line();
  EXPECT_EQ(0, v->column);
  EXPECT_NE(0u, redraw_bits & 0x2010);
}

TEST_F(CurlineTest, TabStopMoves) {
  PosRecord* v = open("x\n");
  for (int i = 0; i < kTabStopCount; ++i) b_->tab_stops[i] = 0;
  b_->tab_stops[0] = 5;
  b_->tab_stops[1] = 12;
  v->column = 1;
  cursor_prev_tab_stop();  // left of the first stop: to the first stop
  EXPECT_EQ(4, v->column);
  cursor_next_tab_stop();
  EXPECT_EQ(11, v->column);
  cursor_next_tab_stop();  // past the last stop: nothing
  EXPECT_EQ(11, v->column);
  cursor_prev_tab_stop();
  EXPECT_EQ(4, v->column);
  v->column = 30;
  cursor_prev_tab_stop();  // none at or right: the last stop
  EXPECT_EQ(11, v->column);
}

TEST_F(CurlineTest, LineMovesAndRows) {
  PosRecord* v = open(lines(50), 1, 10);
  EXPECT_EQ(0, view_cursor_lines(pos_next_line, 3));
  EXPECT_EQ(4, v->line);
  EXPECT_EQ(3, v->row);
  EXPECT_NE(0u, redraw_bits & 0x2008);
  // Down past the bottom row: the window scrolls, the row stays at the limit.
  redraw_bits = 0;
  EXPECT_EQ(0, view_cursor_lines(pos_next_line, 10));
  EXPECT_EQ(14, v->line);
  EXPECT_EQ(9, v->row);
  EXPECT_NE(0u, redraw_bits & kRedrawWindow);
  EXPECT_EQ(0, view_cursor_lines(pos_next_line, 1));
  EXPECT_EQ(1, w_->scroll_count);  // the row did not change
  EXPECT_EQ(ERR_TOP_OF_FILE, view_cursor_lines(pos_prev_line, 100));
  EXPECT_EQ(0, v->line);  // on the top-of-file line
  EXPECT_EQ(0, v->row);
}

TEST_F(CurlineTest, CursorDownStopsAtAWideEnoughLine) {
  PosRecord* v = open("ab\nabc\nabcdef\nx\n", 1, 10);
  EXPECT_EQ(0, view_cursor_lines(pos_next_line, 100, LineStop{1, 5}));
  EXPECT_EQ(3, v->line);
  // The current line counts too.
  EXPECT_EQ(0, view_cursor_lines(pos_next_line, 100, LineStop{1, 5}));
  EXPECT_EQ(3, v->line);
  // Mode 2: a non-blank within the first columns.
  ASSERT_EQ(0, line_replace_text("      y", 7, v, b_));
  EXPECT_EQ(0, view_cursor_lines(pos_next_line, 100, LineStop{2, 3}));
  EXPECT_EQ(4, v->line);
}

TEST_F(CurlineTest, PagesAndTheEndsOfTheBuffer) {
  PosRecord* v = open(lines(25), 1, 10);
  EXPECT_EQ(0, view_page(pos_next_line));
  EXPECT_EQ(10, v->line);
  EXPECT_EQ(0, v->row);
  EXPECT_EQ(0, view_page(pos_next_line));
  EXPECT_EQ(19, v->line);
  // At the end the cursor row moves down instead.
  EXPECT_EQ(ERR_BOTTOM_OF_FILE, view_page(pos_next_line));
  EXPECT_EQ(25, v->line);
  EXPECT_EQ(6, v->row);
  EXPECT_EQ(0, view_top_of_buffer());
  EXPECT_EQ(1, v->line);
  EXPECT_EQ(0, v->row);
  EXPECT_EQ(0, view_bottom_of_buffer());
  EXPECT_EQ(25, v->line);
  EXPECT_EQ(9, v->row);
  EXPECT_EQ(6, v->column);
  EXPECT_EQ(0, view_page(pos_prev_line));
  EXPECT_EQ(16, v->line);
}

TEST_F(CurlineTest, TextAtTheCursorAndAtOffsets) {
  PosRecord* v = open("ab\tcd\nef\n");
  v->column = 8;  // on the c
  char out[8];
  EXPECT_EQ(3, buf_get_text_at(3, 0x7fffffff, out));
  EXPECT_STREQ("cd\n", out);
  EXPECT_EQ(2, buf_get_text_at(2, 6, out));
  EXPECT_STREQ("ef", out);
  EXPECT_EQ(ERR_INVALID_POINT, buf_get_text_at(2, 100, out));
}

}  // namespace

namespace {

TEST_F(CurlineTest, EditorApiEntriesMoveTheCursor) {
  PosRecord* v = open(lines(10), 5);
  EXPECT_EQ(0, api_cursor_down(2));
  EXPECT_EQ(7, v->line);
  EXPECT_EQ(0, api_cursor_up(3));
  EXPECT_EQ(4, v->line);
  EXPECT_EQ(ERR_BOTTOM_OF_FILE, api_cursor_down(50));
  EXPECT_EQ(10, v->line);
  EXPECT_EQ(0, api_top_of_buffer());
  EXPECT_EQ(1, v->line);
  EXPECT_EQ(0, api_bottom_of_buffer());
  EXPECT_EQ(10, v->line);
  void* p = store_alloc(100);
  ASSERT_NE(nullptr, p);
  store_free(p);
  store_free(nullptr);
}

}  // namespace

namespace {

// Cursor moves after a switch to another window move that window's cursor,
// never the one of the window that had an edit before the switch.
TEST_F(CurlineTest, MovesAfterAWindowSwitchActOnTheNewWindow) {
  PosRecord* first = open("abc\n");
  type("x");  // the first window's view is the last one edited
  ASSERT_EQ(1, first->column);
  PosRecord* second = open("def\n");
  ASSERT_EQ(window_current(), w_);
  struct Move {
    const char* name;
    void (*move)();
    int32_t want;
  };
  const Move moves[] = {{"end", cursor_end_line, 3},
                        {"left", cursor_left, 2},
                        {"begin", cursor_begin_line, 0},
                        {"right", cursor_right, 1}};
  for (const Move& m : moves) {
    SCOPED_TRACE(m.name);
    m.move();
    EXPECT_EQ(m.want, second->column);
    EXPECT_EQ(1, first->column);
  }
}

// A buffer without a file holds one empty line, and its position starts on
// it, so typing works from the first key.
TEST_F(CurlineTest, ANewBufferTakesTypingAtOnce) {
  const std::string name = dir_.file("new.txt");
  BufCreateArgs a;
  a.name = name;
  BufferRec* b = nullptr;
  ASSERT_EQ(0, buf_create_from_file(&b, a));
  b_ = b;
  PosRecord* v = show(window(), b);
  type("hi");
  ASSERT_EQ(0, line_flush_current());
  EXPECT_EQ(std::vector<std::string>{"hi"}, store_lines());
  EXPECT_EQ(2, v->column);
}

}  // namespace
