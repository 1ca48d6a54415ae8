// The cursor, line and undo built-ins called as byte code: each row runs a
// few instructions on a buffer with the cursor at a given place and checks
// rc, the value left in `out`, the buffer text, the cursor and the error
// reported, refusals included.
#include <gtest/gtest.h>

#include "tests/macro/text_bi_fixture.h"

namespace {

using textbi::TextBiTest;

constexpr int kSame = -99;  // the cursor is not checked

struct Row {
  const char* name;
  const char* setup;  // letters: U undo on, N the current window shows nothing
  const char* text;
  int line, col;
  const char* code;
  const char* rc;     // expected rc, nullptr: not checked
  const char* out;    // expected value of out, nullptr: not checked
  const char* after;  // expected text, nullptr: unchanged
  int to_line, to_col;
  int error;  // the code that stopped the macro, or that was reported; 0 none
};

const char* k4 = "a\nb\nc\nd\n";

// clang-format off
const Row kRows[] = {
  {"down two", "", k4, 1, 0, "push_const \"2\"\ncursor_down 1", "0", nullptr, nullptr, 3, 0, 0},
  {"down by default one", "", k4, 1, 0, "cursor_down 0", "0", nullptr, nullptr, 2, 0, 0},
  {"down counts decimals", "", k4, 1, 0, "push_const \"2.9\"\ncursor_down 1", "0", nullptr, nullptr, 3, 0, 0},
  {"down past the end", "", k4, 3, 0, "push_const \"5\"\ncursor_down 1", "-2024", nullptr, nullptr, 4, 0, 0},
  {"up to the top line then -2025", "", k4, 1, 0, "push_const \"3\"\ncursor_up 1", "-2025", nullptr, nullptr, 0, 0, 0},
  {"count not a number", "", k4, 1, 0, "push_const \"x\"\ncursor_down 1", nullptr, nullptr, nullptr, 1, 0, -3009},
  {"stop at a wide line, the first included", "", "ab\nabc\nabcdef\nx\n", 1, 0,
   "push_const \"100\"\npush_const \"5\"\ncursor_down 2", "0", nullptr, nullptr, 3, 0, 0},
  {"the current line may stop it", "", "abcdef\nabc\n", 1, 0,
   "push_const \"100\"\npush_const \"3\"\ncursor_down 2", "0", nullptr, nullptr, 1, 0, 0},
  {"negative stop: a non-blank within the columns", "", "   \n     x\n  y\nz\n", 1, 0,
   "push_const \"100\"\npush_const \"-3\"\ncursor_down 2", "0", nullptr, nullptr, 3, 0, 0},
  {"end of a line with a tab", "", "abc\tx\n", 1, 0, "end_line", nullptr, nullptr, nullptr, 1, 9, 0},
  {"begin of line", "", "abc\n", 1, 2, "begin_line", nullptr, nullptr, nullptr, 1, 0, 0},
  {"right over a tab", "", "a\tb\n", 1, 1, "cursor_right", nullptr, nullptr, nullptr, 1, 8, 0},
  {"left back over a tab", "", "a\tb\n", 1, 8, "cursor_left", nullptr, nullptr, nullptr, 1, 1, 0},
  {"next tab stop", "", "abc\n", 1, 0, "next_tab_stop", nullptr, nullptr, nullptr, 1, 8, 0},
  {"previous tab stop", "", "abc\n", 1, 10, "prev_tab_stop", nullptr, nullptr, nullptr, 1, 8, 0},
  {"previous tab stop left of the first", "", "abc\n", 1, 0, "prev_tab_stop", nullptr, nullptr, nullptr, 1, 0, 0},
  {"insert a line", "", "a\nb\n", 1, 0, "push_const \"new\"\ninsert_line", nullptr, nullptr, "a\nnew\nb\n", 2, 3, 0},
  {"replace the line", "", "a\nb\n", 2, 0, "push_const \"zz\"\nreplace_line", nullptr, nullptr, "a\nzz\n", 2, 0, 0},
  {"replace on the top-of-file line does nothing", "", "a\n", 0, 0, "push_const \"zz\"\nreplace_line", nullptr,
   nullptr, "a\n", 0, 0, 0},
  {"get the line", "", "a\nbcd\n", 2, 0, "get_line $out", nullptr, "bcd", nullptr, 2, 0, 0},
  {"get a replaced line before it is stored", "", "a\n", 1, 0,
   "push_const \"new\"\nreplace_line\nget_line $out", nullptr, "new", "new\n", kSame, 0, 0},
  {"delete the line", "", "a\nb\nc\n", 2, 0, "delete_line", "0", nullptr, "a\nc\n", 2, 0, 0},
  {"delete the last line", "", "a\nb\n", 2, 0, "delete_line", "0", nullptr, "a\n", 1, 0, 0},
  {"backspace", "", "abc\n", 1, 2, "backspace", nullptr, nullptr, "ac\n", 1, 1, 0},
  {"backspace at column 0 does nothing", "", "abc\n", 1, 0, "backspace", nullptr, nullptr, "abc\n", 1, 0, 0},
  {"backspace with undo on writes through", "U", "abc\n", 1, 3, "backspace", nullptr, nullptr, "ab\n", 1, 2, 0},
  {"delete a character", "", "abc\n", 1, 0, "delete_char", nullptr, nullptr, "bc\n", 1, 0, 0},
  {"delete at the end does not join", "", "ab\ncd\n", 1, 2, "delete_char", nullptr, nullptr, "ab\ncd\n", 1, 2, 0},
  {"get text at the cursor", "", "abcdef\n", 1, 1, "push_const \"3\"\nget_text 1\nassign $out", nullptr, "bcd",
   nullptr, 1, 1, 0},
  {"get text at an offset", "", "ab\ncd\n", 1, 0, "push_const \"4\"\npush_const \"1\"\nget_text 2\nassign $out",
   nullptr, "b\ncd", nullptr, kSame, 0, 0},
  {"get text past the end is empty", "", "ab\n", 1, 0, "push_const \"4\"\npush_const \"99\"\nget_text 2\nassign $out",
   nullptr, "", nullptr, kSame, 0, 0},
  {"point of a line", "", "ab\ncd\n", 2, 0, "point 0\nassign $out", nullptr, "3", nullptr, 2, 0, 0},
  {"line number", "", "ab\ncd\nef\n", 3, 0, "push_const \"l\"\npoint 1\nassign $out", nullptr, "3", nullptr, 3, 0, 0},
  {"point: a bad letter", "", "ab\n", 1, 0, "push_const \"x\"\npoint 1\nassign $out", nullptr, nullptr, nullptr, 1,
   0, -3015},
  {"go to a point", "", "ab\ncd\nef\n", 1, 0, "push_const \"6\"\ngoto_point 1", "0", nullptr, nullptr, 3, 0, 0},
  {"go to a point inside a line", "", "ab\ncd\n", 1, 0, "push_const \"4\"\ngoto_point 1", "0", nullptr, nullptr, 2,
   1, 0},
  {"go to a point past the end", "", "ab\ncd\n", 1, 0, "push_const \"99\"\ngoto_point 1", "-2026", nullptr, nullptr,
   2, kSame, -2026},
  {"top of buffer", "", k4, 3, 1, "top_of_buffer", nullptr, nullptr, nullptr, 1, 0, 0},
  {"bottom of buffer", "", "a\nb\nccc\n", 1, 0, "bottom_of_buffer", nullptr, nullptr, nullptr, 3, 3, 0},
  {"page down at the end", "", k4, 3, 0, "page_down", "-2024", nullptr, nullptr, 4, 0, 0},
  {"page up at the top", "", k4, 2, 0, "page_up", nullptr, nullptr, nullptr, 1, 0, 0},
  {"reserved slot", "", "a\n", 1, 0, "reserved_203", nullptr, nullptr, nullptr, 1, 0, -3014},
  {"no view: fatal", "N", "a\n", 1, 0, "cursor_down 0", nullptr, nullptr, nullptr, kSame, 0, -2073},
  {"no view: begin line is fatal too", "N", "a\n", 1, 0, "begin_line", nullptr, nullptr, nullptr, kSame, 0, -2073},
  {"undo a replaced line", "U", "a\nb\n", 2, 0, "push_const \"zz\"\nreplace_line\npush_const \"U\"\nundo 1",
   nullptr, nullptr, "a\nb\n", kSame, 0, 0},
  {"undo then redo", "U", "a\nb\n", 2, 0,
   "push_const \"zz\"\nreplace_line\npush_const \"U\"\nundo 1\npush_const \"R\"\nundo 1", nullptr, nullptr,
   "a\nzz\n", kSame, 0, 0},
  {"undo with nothing to undo", "U", "a\n", 1, 0, "undo 0", "-2033", nullptr, "a\n", kSame, 0, 0},
  {"undo off drops the pending line", "", "a\n", 1, 0, "push_const \"zz\"\nreplace_line\nundo 0", "0", nullptr,
   "a\n", kSame, 0, 0},
  {"undo: a bad letter", "U", "a\n", 1, 0, "push_const \"Q\"\nundo 1", nullptr, nullptr, "a\n", kSame, 0, -3015},
  {"query: nothing to undo", "U", "a\n", 1, 0, "undo_query 0\nassign $out", nullptr, "-2033", nullptr, kSame, 0, 0},
  {"query: a dirty line can be undone", "U", "a\n", 1, 0,
   "push_const \"zz\"\nreplace_line\nundo_query 0\nassign $out", nullptr, "0", "zz\n", kSame, 0, 0},
  {"query: redo after an undo", "U", "a\n", 1, 0,
   "push_const \"zz\"\nreplace_line\nundo 0\npush_const \"r\"\nundo_query 1\nassign $out", nullptr, "0", "a\n",
   kSame, 0, 0},
  {"query: nothing to redo", "U", "a\n", 1, 0, "push_const \"R\"\nundo_query 1\nassign $out", nullptr, "-2034",
   nullptr, kSame, 0, 0},
};
// clang-format on

class CursorBi : public TextBiTest, public ::testing::WithParamInterface<Row> {};

TEST_P(CursorBi, Row) {
  const Row& r = GetParam();
  BufferRec* b = open(r.text);
  if (std::string(r.setup).find('U') != std::string::npos) undo_enable(b, 100);
  at(r.line, r.col);
  if (std::string(r.setup).find('N') != std::string::npos) {
    WindowObject* w = window_alloc_record();
    w->rows = 25;
    window_set_current(w, 0);
  }
  const textbi::Outcome o = run(r.code);
  ASSERT_NE(o.run, -1);
  if (r.rc) {
    EXPECT_EQ(r.rc, o.rc);
  }
  if (r.out) {
    EXPECT_EQ(r.out, o.out);
  }
  if (r.error == 0) {
    EXPECT_EQ(0, o.stop);
    EXPECT_TRUE(o.shown.empty()) << o.shown.front();
  } else if (o.stop != r.error) {
    EXPECT_NE(std::find(o.shown.begin(), o.shown.end(), r.error), o.shown.end()) << "stop " << o.stop;
  }
  if (std::string(r.setup).find('N') != std::string::npos) return;
  EXPECT_EQ(r.after ? r.after : r.text, text());
  if (r.to_line != kSame) {
    EXPECT_EQ(r.to_line, cur_line());
  }
  if (r.to_col != kSame) {
    EXPECT_EQ(r.to_col, cur_col());
  }
}

INSTANTIATE_TEST_SUITE_P(Table, CursorBi, ::testing::ValuesIn(kRows), [](const auto& info) {
  std::string n = info.param.name;
  for (char& c : n)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return n;
});

}  // namespace

namespace {

// The row comes from a pixel y through the window's line height (16 in the
// one-window stand-in of 25 rows), clamped to the window; the offset is the
// view's first display word.
TEST_F(TextBiTest, SetLineColTakesPixelsAndClampsToTheWindow) {
  open("a\nb\nc\nd\n");
  at(4, 0);
  struct Case {
    const char* offset;
    const char* y;
    int row, word;
  };
  const Case cases[] = {{"5", "40", 2, 5}, {"-3", "-1", 0, 0}, {"0", "100000", 3, 0}};
  for (const Case& c : cases) {
    const textbi::Outcome o =
        run(std::string("push_const \"") + c.offset + "\"\npush_const \"" + c.y + "\"\nset_line_col");
    EXPECT_EQ(0, o.stop);
    EXPECT_EQ(c.row, view_current()->row) << c.y << ": at most the line's own row (line 4)";
    EXPECT_EQ(c.word, view_current()->display[0]);
  }
  EXPECT_EQ(-3009, run("push_const \"x\"\npush_const \"1\"\nset_line_col").stop);
}

}  // namespace
