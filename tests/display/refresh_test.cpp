// Refresh of an editor window over the real text engine, drawn on a
// recording surface: which rows are rebuilt and drawn for a change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "display/colours.h"
#include "display/lexer.h"
#include "display/recolour.h"
#include "display/refresh.h"
#include "tests/display/recording_surface.h"
#include "tests/macro/text_bi_fixture.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/selection.h"

namespace {

using disptest::RecordingSurface;

class Refresh : public textbi::TextBiTest {
 protected:
  void SetUp() override {
    TextBiTest::SetUp();
    lex_reset_all();
    colours_reset();
    ASSERT_EQ(0, lex_load_text("[C]\nIDCHARS=a-zA-Z_ a-zA-Z0-9_\nCASE-SENSITIVE=Y\nMLCOMMENT=/* */\nKEYWORDS=int\n",
                               "c.zlx"));
  }
  void TearDown() override {
    disp_destroy(&ed.disp);
    lex_reset_all();
    colours_reset();
    TextBiTest::TearDown();
  }
  void show(int lines, bool coded = true) {
    std::string text;
    for (int i = 1; i <= lines; ++i) text += "int v" + std::to_string(i) + ";\n";
    BufferRec* b = open(text, "r.c");
    if (coded) lex_set_buffer_lexer(b, lex_find("C"));
    ed.window = window_current();
    ASSERT_NE(nullptr, ed.window);
    ASSERT_EQ(0, disp_layout(&ed.disp, &s, 0, 0, 0));
    disp_draw_window(&ed, false);
    s.clear();
  }
  RecordingSurface s{640, 160};  // 80 columns, 10 rows and a partial one
  EditorDisplay ed;
};

TEST_F(Refresh, FirstDrawShowsEveryRowColoured) {
  BufferRec* b = open("int a;\n/* c\nstill */ x\n", "f.c");
  lex_set_buffer_lexer(b, lex_find("C"));
  ed.window = window_current();
  ASSERT_EQ(0, disp_layout(&ed.disp, &s, 0, 0, 0));
  disp_draw_window(&ed, false);
  EXPECT_EQ(11, ed.rows_built);
  ASSERT_GE(s.texts.size(), 4u);
  EXPECT_EQ("int", s.texts[0].text);
  EXPECT_EQ(0x800080u, s.texts[0].fg);  // keyword slot 16
  EXPECT_EQ("/* c", s.texts[2].text);
  EXPECT_EQ(0x008000u, s.texts[2].fg);  // comment slot 20
  EXPECT_EQ("still */", s.texts[3].text);
  EXPECT_EQ(0x008000u, s.texts[3].fg);
  EXPECT_EQ(1, s.caret_creates);
  EXPECT_EQ(1, s.caret_shows);
}

TEST_F(Refresh, TypedCharacterRebuildsAtMostTwoRows) {
  show(100);
  at(5, 4);
  ASSERT_EQ(0, line_type_char('x'));
  disp_draw_window(&ed, true);
  EXPECT_LE(ed.rows_built, 2);
  ASSERT_EQ(1u, s.texts.size());
  EXPECT_EQ("xv5;", s.texts[0].text);
  EXPECT_EQ(4 * 16, s.texts[0].top);
  EXPECT_EQ(32, s.texts[0].x);
}

TEST_F(Refresh, CommentOpenedTurnsTheRefreshWhole) {
  show(100);
  at(3, 0);
  ASSERT_EQ(0, line_type_char('/'));
  ASSERT_EQ(0, line_type_char('*'));
  disp_draw_window(&ed, true);
  EXPECT_EQ(ed.disp.line_count, ed.rows_built);
  const auto rows = s.rows_drawn();
  EXPECT_EQ((std::vector<int32_t>{2, 3, 4, 5, 6, 7, 8, 9, 10}), rows);
  for (const auto& t : s.texts) {
    if (t.top / 16 > 2) {
      EXPECT_EQ(0x008000u, t.fg) << t.text;
    }
  }
}

TEST_F(Refresh, CursorRowBeyondTheBufferStillDraws) {
  show(3);
  PosRecord* v = view_current();
  v->row = 8;  // more rows than lines above the cursor
  s.clear();
  disp_draw_window(&ed, false);
  EXPECT_EQ(0, v->row);
  EXPECT_EQ(ed.disp.line_count, ed.rows_built);
  EXPECT_EQ(0, s.caret_y);
}

TEST_F(Refresh, HorizontalScrollRedrawsTheWindow) {
  show(20, false);
  at(2, 200);
  disp_draw_window(&ed, true);
  EXPECT_GT(ed.first_col, 0);
  EXPECT_EQ(ed.disp.line_count, ed.rows_built);
  EXPECT_EQ((200 - ed.first_col) * 8, s.caret_x);
}

// Selected cells draw in slot 0: a character selection from its start column
// to its (exclusive) end column, a block as a rectangle padded with selected
// blanks; a selection that goes away leaves no highlighted cell behind. The
// surface only gets what changed, so the test keeps the screen it would show.
TEST_F(Refresh, SelectionsDrawInTheSelectionColour) {
  open("abcdef\ngh\nmnopqr\n", "s.txt");
  ed.window = window_current();
  ASSERT_EQ(0, disp_layout(&ed.disp, &s, 0, 0, 0));
  const uint32_t selected = colour_pair(0).bg;
  ASSERT_NE(selected, colour_pair(1).bg);
  // Three rows of eight cells: the character, upper case when selected.
  std::vector<std::string> screen(3, std::string(8, ' '));
  auto draw = [&] {
    s.clear();
    disp_draw_window(&ed, true);
    for (const auto& f : s.fill_calls)
      for (int32_t row = f.top / 16; row < std::min(f.bottom / 16, 3); ++row)
        for (int32_t col = (f.left - ed.disp.text_left) / 8; col < std::min((f.right - ed.disp.text_left) / 8, 8);
             ++col)
          screen[row][col] = f.colour == selected ? '#' : ' ';
    for (const auto& t : s.texts) {
      const int32_t row = t.top / 16, col = (t.x - ed.disp.text_left) / 8;
      if (row >= 3) continue;
      for (size_t k = 0; k < t.text.size() && col + k < 8; ++k)
        screen[row][col + k] = t.bg == selected ? (t.text[k] == ' ' ? '#' : char(std::toupper(t.text[k]))) : t.text[k];
    }
    return screen;
  };
  using Rows = std::vector<std::string>;
  ASSERT_EQ(draw(), (Rows{"abcdef  ", "gh      ", "mnopqr  "}));
  SelectionMarks* sel = sel_active();
  at(1, 2);
  sel_start(sel, kSelChar, view_current());
  at(3, 3);
  ASSERT_EQ(0, sel_extend(sel, kSelChar, view_current()));
  // Every line but the last stays highlighted to the row's end.
  EXPECT_EQ(draw(), (Rows{"abCDEF##", "GH######", "MNOpqr  "}));

  sel_clear(sel);
  at(1, 1);
  sel_start(sel, kSelBlock, view_current());
  at(3, 4);
  ASSERT_EQ(0, sel_extend(sel, kSelBlock, view_current()));
  EXPECT_EQ(draw(), (Rows{"aBCDEf  ", "gH###   ", "mNOPQr  "}));

  sel_clear(sel);
  EXPECT_EQ(draw(), (Rows{"abcdef  ", "gh      ", "mnopqr  "}));
}

}  // namespace
