// Selections on the cursor line while it is edited: typing (insert and
// overwrite), backspace and delete move the columns of character marks and of
// other views on the line, runs after a tab move only as far as the tab lets
// them, block marks keep their columns, and a wrap carries the marks with
// the words it moves.

#include <string>
#include <vector>

#include "buffer_fixture.h"
#include "text/engine.h"
#include "text/selection.h"
#include "text/store_edit.h"
#include "text/undo.h"

namespace {

using Lines = std::vector<std::string>;

enum class Edit { kType, kOverwrite, kBackspace, kDelete };

class CurlineSelectionTest : public buftest::BufferTest {
 protected:
  void SetUp() override {
    BufferTest::SetUp();
    text_engine_init();
  }
  void TearDown() override {
    for (SelectionMarks* s : sels_) sel_free(s);
    store_undo_hooks() = StoreUndoHooks{};
    sel_uninstall();
    BufferTest::TearDown();
  }
  // Window 1 shows the text with its cursor on line 1; window 2 shows the
  // same buffer, its cursor on line 1 at `other_col`.
  void open(const std::string& text, int32_t other_col) {
    b_ = make("t" + std::to_string(++n_), text);
    WindowObject* w2 = window();
    other_ = show(w2, b_);
    other_->column = other_col;
    w1_ = window();
    v_ = show(w1_, b_);
  }
  SelectionMarks* select(uint8_t kind, int32_t line1, int32_t c1, int32_t line2, int32_t c2) {
    sels_.push_back(sel_alloc_pair());
    SelectionMarks* s = sels_.back();
    PosRecord at = *v_;
    at.column = c1;
    EXPECT_EQ(0, pos_goto_line(line1, &at, b_));
    EXPECT_EQ(0, sel_extend(s, kind, &at));
    at.column = c2;
    EXPECT_EQ(0, pos_goto_line(line2, &at, b_));
    EXPECT_EQ(0, sel_extend(s, kind, &at));
    return s;
  }
  void edit(Edit e, int32_t col, char ch) {
    v_->column = col;
    switch (e) {
      case Edit::kType:
      case Edit::kOverwrite:
        edit_settings.insert_mode = e == Edit::kType ? 1 : 0;
        ASSERT_EQ(0, line_type_char(static_cast<uint8_t>(ch)));
        break;
      case Edit::kBackspace:
        line_backspace();
        break;
      case Edit::kDelete:
        line_delete_char();
        break;
    }
  }
  static std::string selected(const SelectionMarks* s) {
    std::vector<std::string> parts;
    EXPECT_EQ(0, sel_text(s, parts));
    std::string r;
    for (const auto& p : parts) r += p;
    return r;
  }
  BufferRec* b_ = nullptr;
  WindowObject* w1_ = nullptr;
  PosRecord* v_ = nullptr;
  PosRecord* other_ = nullptr;
  std::vector<SelectionMarks*> sels_;
  int n_ = 0;
};

struct Row {
  const char* name;
  Edit edit;
  int32_t col;           // cursor column of the edit
  char ch;               // the byte typed
  const char* line;      // line 1 afterwards
  int32_t begin, end;    // CHAR columns afterwards
  int32_t other;         // the other window's column afterwards
  const char* selected;  // the CHAR selection's text afterwards
};

// Line 1 is "abcdefghij"; the CHAR selection runs from column 2 to column 6
// with an exclusive end ("cdef"); the other window's cursor is on column 5
// (the f); a BLOCK selection covers columns 3 to 7.
TEST_F(CurlineSelectionTest, MarksFollowEditsOfTheCursorLine) {
  const Row rows[] = {
      {"type before the selection", Edit::kType, 0, 'X', "Xabcdefghij", 3, 7, 6, "cdef"},
      {"type at its begin: the typed byte stays outside", Edit::kType, 2, 'X', "abXcdefghij", 3, 7, 6, "cdef"},
      {"type inside", Edit::kType, 4, 'X', "abcdXefghij", 2, 7, 6, "cdXef"},
      {"type at the exclusive end: the end stays", Edit::kType, 6, 'X', "abcdefXghij", 2, 6, 5, "cdef"},
      {"type after", Edit::kType, 8, 'X', "abcdefghXij", 2, 6, 5, "cdef"},
      {"type past the end of the line", Edit::kType, 12, 'X', "abcdefghij  X", 2, 6, 5, "cdef"},
      {"a tab before pushes to the next stop", Edit::kType, 0, '\t', "\tabcdefghij", 10, 14, 13, "cdef"},
      {"a tab inside", Edit::kType, 4, '\t', "abcd\tefghij", 2, 10, 9, "cd\tef"},
      {"overwrite before", Edit::kOverwrite, 0, 'X', "Xbcdefghij", 2, 6, 5, "cdef"},
      {"overwrite inside", Edit::kOverwrite, 4, 'X', "abcdXfghij", 2, 6, 5, "cdXf"},
      {"overwrite with a tab widens the byte", Edit::kOverwrite, 0, '\t', "\tbcdefghij", 9, 13, 12, "cdef"},
      {"backspace before", Edit::kBackspace, 2, 0, "acdefghij", 1, 5, 4, "cdef"},
      {"backspace over the first selected byte", Edit::kBackspace, 3, 0, "abdefghij", 2, 5, 4, "def"},
      {"backspace over the last selected byte", Edit::kBackspace, 6, 0, "abcdeghij", 2, 5, 5, "cde"},
      {"backspace after", Edit::kBackspace, 8, 0, "abcdefgij", 2, 6, 5, "cdef"},
      {"backspace at column 0 does nothing", Edit::kBackspace, 0, 0, "abcdefghij", 2, 6, 5, "cdef"},
      {"delete before", Edit::kDelete, 0, 0, "bcdefghij", 1, 5, 4, "cdef"},
      {"delete the first selected byte", Edit::kDelete, 2, 0, "abdefghij", 2, 5, 4, "def"},
      {"delete the other window's byte", Edit::kDelete, 5, 0, "abcdeghij", 2, 5, 5, "cde"},
      {"delete at the exclusive end", Edit::kDelete, 6, 0, "abcdefhij", 2, 6, 5, "cdef"},
      {"delete at the end of the line does nothing", Edit::kDelete, 10, 0, "abcdefghij", 2, 6, 5, "cdef"},
  };
  for (bool undo : {false, true}) {
    for (const Row& r : rows) {
      SCOPED_TRACE(std::string(r.name) + (undo ? " (undo on)" : ""));
      open("abcdefghij\nxyz\n", 5);
      if (undo) {
        undo_enable(b_, kUndoDefaultSteps);
        undo_checkpoint(v_, b_);
      }
      SelectionMarks* c = select(kSelChar, 1, 2, 1, 6);
      SelectionMarks* k = select(kSelBlock, 1, 3, 1, 7);
      edit(r.edit, r.col, r.ch);
      ASSERT_EQ(0, line_flush_current());
      EXPECT_EQ((Lines{r.line, "xyz"}), storetest::lines_forward(b_));
      EXPECT_EQ(kSelChar, sel_kind(c));
      EXPECT_EQ(1, c->begin->line);
      EXPECT_EQ(1, c->end->line);
      EXPECT_EQ(r.begin, c->begin->column);
      EXPECT_EQ(r.end, c->end->column);
      EXPECT_EQ(r.selected, selected(c));
      EXPECT_EQ(r.other, other_->column);
      EXPECT_EQ(3, k->begin->column);  // block marks keep their display columns
      EXPECT_EQ(7, k->end->column);
      if (undo) undo_free_blocks(b_);
      for (SelectionMarks* s : sels_) sel_free(s);
      sels_.clear();
      buf_close(b_);
    }
  }
}

// Line 1 is "ab\tcdef" (stops every 8: the tab covers columns 2 to 7, c is
// on column 8); the CHAR selection covers "cd" (columns 8 to 10, exclusive),
// the other window's cursor is on the f (column 11).
TEST_F(CurlineSelectionTest, TextAfterATabMovesOnlyAsTheTabLetsIt) {
  const Row rows[] = {
      {"type before the tab: it takes the column up", Edit::kType, 0, 'X', "Xab\tcdef", 8, 10, 11, "cd"},
      {"type inside the tab: it turns into blanks", Edit::kType, 4, 'X', "ab  X    cdef", 9, 11, 12, "cd"},
      {"a tab before the tab", Edit::kType, 0, '\t', "\tab\tcdef", 16, 18, 19, "cd"},
      {"overwrite before the tab", Edit::kOverwrite, 0, 'X', "Xb\tcdef", 8, 10, 11, "cd"},
      {"delete before the tab: it gives the column back", Edit::kDelete, 0, 0, "b\tcdef", 8, 10, 11, "cd"},
      {"backspace over the tab", Edit::kBackspace, 8, 0, "abcdef", 2, 4, 5, "cd"},
      {"delete inside the tab", Edit::kDelete, 3, 0, "ab     cdef", 7, 9, 10, "cd"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    open("ab\tcdef\n", 11);
    SelectionMarks* c = select(kSelChar, 1, 8, 1, 10);
    edit(r.edit, r.col, r.ch);
    ASSERT_EQ(0, line_flush_current());
    EXPECT_EQ((Lines{r.line}), storetest::lines_forward(b_));
    EXPECT_EQ(r.begin, c->begin->column);
    EXPECT_EQ(r.end, c->end->column);
    EXPECT_EQ(r.selected, selected(c));
    EXPECT_EQ(r.other, other_->column);
    for (SelectionMarks* s : sels_) sel_free(s);
    sels_.clear();
    buf_close(b_);
  }
}

TEST_F(CurlineSelectionTest, TypingPastTheTabStopPushesTheTab) {
  // "abcdefg" fills the columns before the stop at 9: the tab is one column
  // wide, and one more byte pushes it (and the z) a whole stop further.
  open("abcdefg\tz\n", 8);
  SelectionMarks* c = select(kSelChar, 1, 8, 1, 9);
  edit(Edit::kType, 0, 'X');
  ASSERT_EQ(0, line_flush_current());
  EXPECT_EQ(16, c->begin->column);
  EXPECT_EQ(17, c->end->column);
  EXPECT_EQ(16, other_->column);
  EXPECT_EQ("z", selected(c));
}

TEST_F(CurlineSelectionTest, AWrapCarriesTheMarksWithTheWords) {
  // Margin 20: typing the f wraps "dddd" with the typed bytes to a new line.
  open("aaaa bbbb cccc dddd\n", 17);
  b_->margins[1] = 20;
  SelectionMarks* c = select(kSelChar, 1, 15, 1, 19);  // "dddd"
  SelectionMarks* a = select(kSelChar, 1, 5, 1, 9);    // "bbbb" stays
  edit(Edit::kType, 19, 'e');
  edit(Edit::kType, 20, 'f');
  ASSERT_EQ(0, line_flush_current());
  EXPECT_EQ((Lines{"aaaa bbbb cccc ", "ddddef"}), storetest::lines_forward(b_));
  EXPECT_EQ(2, c->begin->line);
  EXPECT_EQ(0, c->begin->column);
  EXPECT_EQ(2, c->end->line);
  EXPECT_EQ(4, c->end->column);
  EXPECT_EQ("dddd", selected(c));
  EXPECT_EQ("bbbb", selected(a));
  EXPECT_EQ(2, other_->line);
  EXPECT_EQ(2, other_->column);
}

TEST_F(CurlineSelectionTest, AJoinMovesTheMarksOfTheNextLineBehindTheCarriedWords) {
  open("aaaa bbbb cccc dddd\n  gggg hhhh\n", 0);
  b_->margins[1] = 20;
  SelectionMarks* c = select(kSelChar, 2, 7, 2, 11);  // "hhhh"
  edit(Edit::kType, 19, 'e');
  edit(Edit::kType, 20, 'f');
  ASSERT_EQ(0, line_flush_current());
  EXPECT_EQ((Lines{"aaaa bbbb cccc ", "ddddef gggg hhhh"}), storetest::lines_forward(b_));
  EXPECT_EQ(2, c->begin->line);
  EXPECT_EQ(12, c->begin->column);
  EXPECT_EQ(16, c->end->column);
  EXPECT_EQ("hhhh", selected(c));
}

}  // namespace
