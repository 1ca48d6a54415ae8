// Refresh of an editor window over the real text engine, drawn on a
// recording surface: which rows are rebuilt and drawn for a change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "display/colours.h"
#include "display/lexer.h"
#include "display/msgline.h"
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

// ---- the Top of File line, changed-line marks ----

// What a window's screen shows: every text call and fill of the surface
// lands in a grid of cells (character and colours), as the server keeps
// them; the display only sends what differs.
struct Screen {
  struct Cell {
    char ch = ' ';
    uint32_t fg = 0, bg = 0;
  };
  std::vector<std::vector<Cell>> cells = std::vector<std::vector<Cell>>(12, std::vector<Cell>(80));
  void take(const RecordingSurface& s, int32_t left) {
    for (const auto& f : s.fill_calls)
      for (int32_t row = f.top / 16; row < std::min((f.bottom + 15) / 16, 12); ++row)
        for (int32_t col = std::max((f.left - left) / 8, 0); col < std::min((f.right - left + 7) / 8, 80); ++col)
          cells[row][col] = Cell{' ', 0, f.colour};
    for (const auto& t : s.texts) {
      const int32_t row = t.top / 16, col = (t.x - left) / 8;
      for (size_t k = 0; k < t.text.size() && row < 12 && col + static_cast<int32_t>(k) < 80; ++k)
        cells[row][col + k] = Cell{t.text[k], t.fg, t.bg};
    }
  }
  std::string text(int32_t row) const {
    std::string r;
    for (const Cell& c : cells[row]) r += c.ch;
    while (!r.empty() && r.back() == ' ') r.pop_back();
    return r;
  }
  // The colours of the row's characters (blanks left out).
  std::set<uint32_t> inks(int32_t row) const {
    std::set<uint32_t> r;
    for (const Cell& c : cells[row])
      if (c.ch != ' ') r.insert(c.fg);
    return r;
  }
  uint32_t paper(int32_t row) const { return cells[row][0].bg; }
};

// Draws a window and keeps its screen; whole draws every row anew.
void draw_on(EditorDisplay& e, RecordingSurface& surf, Screen& scr, bool whole) {
  surf.clear();
  if (whole) {
    e.whole_pending = true;
    disp_invalidate_rows(&e.disp, 0, e.disp.area_height + e.disp.line_height);
  }
  disp_draw_window(&e, !whole);
  scr.take(surf, e.disp.text_left);
}

// With the Top of File option a window whose cursor sits on row 1 of line 1
// shows the top-of-file line above it, in the text colour and never colour
// coded; without it the first line moves up to row 0.
TEST_F(Refresh, TopOfFileLineShowsOnlyWithItsOption) {
  struct Case {
    bool option;
    const char* row0;
    const char* row1;
    int32_t cursor_row;
  };
  const Case cases[] = {
      {true, kTopOfFileText, "int v1;", 1},
      {false, "int v1;", "int v2;", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    edit_settings.show_top_line = c.option;
    show(30);
    view_current()->row = 1;
    Screen scr;
    draw_on(ed, s, scr, true);
    EXPECT_EQ(c.cursor_row, view_current()->row);
    EXPECT_EQ(c.row0, scr.text(0));
    EXPECT_EQ(c.row1, scr.text(1));
    if (c.option) {
      // "of" and "File" would be no keywords anyway; "int" below shows coding is on.
      EXPECT_EQ(std::set<uint32_t>{colour_pair(1).fg}, scr.inks(0));
      EXPECT_EQ(2u, scr.inks(1).size()) << "the line below is coded";
    }
    EXPECT_EQ(c.cursor_row * 16, s.caret_y);
    disp_destroy(&ed.disp);
    ed = EditorDisplay{};
  }
}

// Scrolling up stops at the top-of-file line with the option, at line 1
// without it.
TEST_F(Refresh, ScrollingUpStopsAtTheFirstLineTheOptionAllows) {
  for (bool option : {true, false}) {
    SCOPED_TRACE(option);
    edit_settings.show_top_line = option;
    show(30);
    at(5, 0);
    view_current()->row = 0;
    Screen scr;
    draw_on(ed, s, scr, true);
    EXPECT_TRUE(view_scroll_lines(&ed, -10));
    draw_on(ed, s, scr, false);
    EXPECT_EQ(option ? kTopOfFileText : "int v1;", scr.text(0));
    EXPECT_FALSE(view_scroll_lines(&ed, -1)) << "no further";
    disp_destroy(&ed.disp);
    ed = EditorDisplay{};
  }
}

// With the buffer's changed-lines option a line under edit shows in slot
// 12 and an inserted line in slot 13, neither colour coded; without the
// option both keep their code colours.
TEST_F(Refresh, ChangedAndInsertedLinesShowInTheirSlots) {
  struct Case {
    bool option;
    bool insert;  // a new line after line 3, else a typed character on line 3
    int32_t row;
    uint16_t slot;  // 0: coded
  };
  const Case cases[] = {
      {true, false, 2, 12},
      {true, true, 3, 13},
      {false, false, 2, 0},
      {false, true, 3, 0},
  };
  const uint32_t keyword = 0x800080u;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.option ? "option " : "no option ") + (c.insert ? "insert" : "type"));
    show(30);
    if (c.option) buf_current()->display_byte |= kDispChangedLines;
    at(3, 7);
    Screen scr;
    draw_on(ed, s, scr, true);
    if (c.insert) {
      ASSERT_EQ(0, line_insert_after_cursor("int w;", 6));
      line_flush_current();
    } else {
      ASSERT_EQ(0, line_type_char('x'));
    }
    draw_on(ed, s, scr, false);
    EXPECT_EQ(c.insert ? "int w;" : "int v3;x", scr.text(c.row));
    if (c.slot) {
      EXPECT_EQ(std::set<uint32_t>{colour_pair(c.slot).fg}, scr.inks(c.row));
      EXPECT_EQ(colour_pair(c.slot).bg, scr.cells[c.row][0].bg);
    } else {
      EXPECT_TRUE(scr.inks(c.row).count(keyword)) << "coded";
    }
    // An untouched line is never marked.
    EXPECT_TRUE(scr.inks(0).count(keyword));
    disp_destroy(&ed.disp);
    ed = EditorDisplay{};
    buf_current()->display_byte = 0;
  }
}

// ---- the refresh of every window ----

// Records what the refresh shows besides text.
struct ChromeLog {
  std::vector<std::pair<ScrollBar, ScrollBar>> bars;
  std::vector<std::string> captions;
};
ChromeLog chrome_log;
const EditorChrome kLogChrome{[](EditorDisplay*, const ScrollBar& v, const ScrollBar& h) {
                                chrome_log.bars.emplace_back(v, h);
                                return false;
                              },
                              [](EditorDisplay*, const std::string& text) { chrome_log.captions.push_back(text); },
                              nullptr, 75};

class RefreshWindows : public Refresh {
 protected:
  void SetUp() override {
    Refresh::SetUp();
    chrome_log = {};
    status_fields() = StatusFields{};
  }
  void TearDown() override {
    disp_destroy(&ed2.disp);
    disp_destroy(&ed3.disp);
    Refresh::TearDown();
  }
  // A new window object made current, showing nothing yet.
  WindowObject* new_window() {
    WindowObject* like = window_current();
    WindowObject* w = window_alloc_record();
    EXPECT_NE(nullptr, w);
    w->type = 2;
    w->rows = like->rows;
    w->cols = like->cols;
    w->prop19 = 3;
    window_link_edit_list(w);
    window_set_current(w, 0);
    return w;
  }
  void attach(EditorDisplay& e, RecordingSurface& surf, WindowObject* w) {
    e.window = w;
    e.chrome = &kLogChrome;
    ASSERT_EQ(0, disp_layout(&e.disp, &surf, 0, 0, 0));
  }
  void refresh() {
    s.clear(), s2.clear(), s3.clear();
    EditorDisplay* all[] = {&ed, &ed2, &ed3};
    disp_refresh_windows(all, &ed);
    scr.take(s, ed.disp.text_left);
    scr2.take(s2, ed2.disp.text_left);
    scr3.take(s3, ed3.disp.text_left);
  }
  RecordingSurface s2{640, 160}, s3{640, 160};
  EditorDisplay ed2, ed3;
  Screen scr, scr2, scr3;
};

// Typing in one window redraws the edited line in the other window on the
// same buffer, though its cursor is elsewhere; a window on another buffer
// is not touched, and a cursor move alone redraws no other window.
TEST_F(RefreshWindows, TwoWindowsOnOneBufferBothUpdate) {
  open("other text\n", "o.txt");
  WindowObject* w3 = window_current();
  WindowObject* w1 = new_window();
  show(30);
  ed.chrome = &kLogChrome;
  BufferRec* b = buf_current();
  WindowObject* w2 = new_window();
  ASSERT_EQ(0, view_show_buffer(b, 1));
  // Window 2 looks at line 10 from its top.
  pos_goto_line(10, w2->view, b);
  w2->view->row = 0;
  window_set_current(w1, 0);
  ASSERT_NE(w1->view, w2->view);
  attach(ed2, s2, w2);
  attach(ed3, s3, w3);
  redraw_bits = 0xffffbeff;  // the first screen
  disp_invalidate_rows(&ed.disp, 0, 1000);
  b->redraw = 1;
  w3->view->buffer->redraw = 1;
  refresh();
  ASSERT_EQ("int v1;", scr.text(0));
  ASSERT_EQ("int v10;", scr2.text(0));
  ASSERT_EQ("other text", scr3.text(0));

  // Typing on line 12 of window 1: row 2 of window 2 shows it.
  at(12, 0);
  view_current()->row = 5;
  redraw_bits = 0;
  ASSERT_EQ(0, line_type_char('z'));
  refresh();
  EXPECT_EQ("zint v12;", scr.text(5));
  EXPECT_EQ("zint v12;", scr2.text(2));
  EXPECT_EQ((std::vector<int32_t>{2}), s2.rows_drawn()) << "only the changed row reaches window 2's screen";
  EXPECT_TRUE(s3.texts.empty()) << "another buffer's window is left alone";

  // A cursor move alone: window 2 is not visited.
  line_flush_current();
  redraw_bits = 0;
  ASSERT_EQ(0, pos_next_line(view_current(), buf_current()));
  redraw_bits |= 0x2000 | 0x0008;
  ed2.rows_built = 0;
  refresh();
  EXPECT_EQ(0, ed2.rows_built);
  EXPECT_TRUE(s2.texts.empty());
  EXPECT_EQ(0u, redraw_bits & 0xE07F) << "the window bits are consumed";

  // A macro types into the other buffer and comes back: its window shows it.
  window_set_current(w3, 0);
  ASSERT_EQ(0, line_type_char('!'));
  window_set_current(w1, 0);
  refresh();
  EXPECT_EQ("!other text", scr3.text(0));
  EXPECT_TRUE(s2.texts.empty());
}

// After a refresh the status fields hold the current window's cursor: its
// line, its column counted from 1, the insert state; the caption follows
// the buffer's modified state.
TEST_F(RefreshWindows, StatusFieldsAndCaptionFollowTheCursor) {
  show(30);
  ed.chrome = &kLogChrome;
  at(7, 3);
  edit_settings.insert_mode = 0;
  redraw_bits = 0xffffbeff;
  EditorDisplay* one[] = {&ed};
  disp_refresh_windows(one, &ed);
  EXPECT_EQ(7, status_fields().line);
  EXPECT_EQ(4, status_fields().column);
  EXPECT_EQ(0, status_fields().insert);
  ASSERT_FALSE(chrome_log.captions.empty());
  const std::string name(buf_current()->name.view());
  EXPECT_EQ(name, chrome_log.captions.back());
  ASSERT_EQ(0, line_type_char('q'));
  disp_refresh_windows(one, &ed);
  EXPECT_EQ(5, status_fields().column);
  EXPECT_EQ(name + " *", chrome_log.captions.back()) << "an unsaved current line counts as modified";
  const size_t shown = chrome_log.captions.size();
  disp_refresh_windows(one, &ed);
  EXPECT_EQ(shown, chrome_log.captions.size()) << "an unchanged caption is not shown again";
  ASSERT_EQ(0, pos_next_line(view_current(), buf_current()));
  disp_refresh_windows(one, &ed);
  EXPECT_EQ(8, status_fields().line);
}

// ---- scroll bars and scrolling without the cursor ----

// A short buffer's vertical bar counts lines; a long one's counts bytes,
// scaled to at most 32000. The position is the top line's.
TEST_F(RefreshWindows, VerticalBarCountsLinesOrScaledBytes) {
  struct Case {
    int lines;
    int32_t top_line;  // the cursor's line at row 0
    int32_t min, max, page, pos, scale;
  };
  // 10 whole rows: the last page of 30 lines starts at line 21.
  const Case cases[] = {
      {30, 1, 1, 21, 10, 1, 1},
      {30, 15, 1, 21, 10, 15, 1},
      {5, 1, 1, 2, 4, 1, 1},  // everything fits: maximum 2, page the line count - 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    chrome_log = {};
    show(c.lines);
    ed.chrome = &kLogChrome;
    at(c.top_line, 0);
    view_current()->row = 0;
    draw_on(ed, s, scr, true);
    ASSERT_FALSE(chrome_log.bars.empty());
    const ScrollBar v = chrome_log.bars.back().first;
    EXPECT_EQ(c.min, v.min);
    EXPECT_EQ(c.max, v.max);
    EXPECT_EQ(c.page, v.page);
    EXPECT_EQ(c.pos, v.pos);
    EXPECT_EQ(c.scale, v.scale);
    disp_destroy(&ed.disp);
    ed = EditorDisplay{};
  }
  // 200,000 lines of 11 bytes: bytes, scaled.
  chrome_log = {};
  std::string big;
  for (int i = 0; i < 200000; ++i) big += "line " + std::to_string(100000 + i).substr(1) + "\n";
  open(big, "big.txt");
  ed.window = window_current();
  ed.chrome = &kLogChrome;
  ASSERT_EQ(0, disp_layout(&ed.disp, &s, 0, 0, 0));
  Screen big_screen;
  draw_on(ed, s, big_screen, true);
  ASSERT_FALSE(chrome_log.bars.empty());
  const ScrollBar v = chrome_log.bars.back().first;
  const int64_t last_page_point = (200000 - 10) * 11;
  EXPECT_EQ(last_page_point / 32000 + 1, v.scale);
  EXPECT_EQ(last_page_point / v.scale, v.max) << "the last page's top byte, scaled";
  EXPECT_LE(v.max, 32000);
  // The thumb at the bottom shows the last line on the last row.
  ASSERT_TRUE(view_scroll_to_bar(&ed, v.max));
  draw_on(ed, s, big_screen, false);
  EXPECT_EQ("line 99999", big_screen.text(9));
  EXPECT_EQ("", big_screen.text(10));
  EXPECT_EQ(v.max, chrome_log.bars.back().first.pos);
  // Half way: the top line lies half way through the bytes.
  ASSERT_TRUE(view_scroll_to_bar(&ed, v.max / 2));
  draw_on(ed, s, big_screen, false);
  const int first = std::stoi(big_screen.text(0).substr(5));
  EXPECT_NEAR(first, static_cast<int64_t>(v.max / 2) * v.scale / 11, 1) << big_screen.text(0);
}

// Scrolling moves the top line and leaves the cursor on its line; the
// caret goes when the cursor leaves the window. A key brings the view back:
// the cursor keeps its place on the screen when it is still inside the
// scrolled view, else the window returns to the cursor.
TEST_F(RefreshWindows, ScrollingLeavesTheCursorAndAKeyReturnsToIt) {
  show(100);
  at(3, 2);
  view_current()->row = 2;
  draw_on(ed, s, scr, true);
  struct Case {
    int32_t lines;       // scrolled down by
    const char* row0;    // then shown on row 0
    int32_t cursor_row;  // the cursor's row on the screen, -1 out of sight
    int32_t row_after;   // the cursor's row once a key returns the view
  };
  const Case cases[] = {
      {1, "int v2;", 1, 1},
      {2, "int v3;", 0, 0},
      {5, "int v6;", -1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    ASSERT_TRUE(view_scroll_lines(&ed, c.lines));
    draw_on(ed, s, scr, false);
    EXPECT_EQ(c.row0, scr.text(0));
    EXPECT_EQ(c.cursor_row, ed.cursor_row_shown);
    if (c.cursor_row < 0) {
      EXPECT_GT(s.caret_hides, 0);
    }
    EXPECT_EQ(3, cur_line()) << "the cursor stays on its line";
    view_restore_scroll_point(&ed);
    EXPECT_FALSE(ed.scrolled);
    EXPECT_EQ(c.row_after, view_current()->row);
    draw_on(ed, s, scr, false);
    EXPECT_EQ(c.row_after * 16, s.caret_y);
    EXPECT_EQ("int v3;", scr.text(c.row_after));
    // Back to row 2 for the next case.
    view_current()->row = 2;
    draw_on(ed, s, scr, true);
  }
  // Scrolling never goes past the top of the last page.
  EXPECT_TRUE(view_scroll_lines(&ed, 1000));
  draw_on(ed, s, scr, false);
  EXPECT_EQ("int v91;", scr.text(0));
  EXPECT_EQ("int v100;", scr.text(9));
  EXPECT_FALSE(view_scroll_lines(&ed, 1)) << "already at the last page";
}

}  // namespace
