// Selections: a table of operations on line, character and block selections
// (buffer start and end, empty lines, tabs, lines at the length limit), each
// undone and redone; marks following edits; copies between buffers.

#include "text/selection.h"

#include <string>
#include <vector>

#include "text/search.h"
#include "undo_sel_fixture.h"

namespace {

using Lines = std::vector<std::string>;

class SelectionTest : public buftest::UndoSelTest {
 protected:
  void TearDown() override {
    for (BufferRec* b : bufs_) undo_free_blocks(b);
    if (cursor_) pos_unlink_from_buffer(cursor_);
    UndoSelTest::TearDown();
  }
  BufferRec* text(const Lines& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\n";
    BufferRec* b = make("b" + std::to_string(bufs_.size()), s);
    undo_enable(b, kUndoDefaultSteps);
    undo_checkpoint(nullptr, b);
    bufs_.push_back(b);
    return b;
  }
  SelectionMarks* sel() {
    sels_.push_back(sel_alloc_pair());
    return sels_.back();
  }
  // A cursor linked into b's ring, as a view is.
  PosRecord* cursor(BufferRec* b, int32_t line, int32_t col) {
    if (!cursor_) {
      cursor_ = &cursor_rec_;
    } else {
      pos_unlink_from_buffer(cursor_);
    }
    *cursor_ = PosRecord{};
    cursor_->buffer = b;
    cursor_->kind[0] = 1;
    EXPECT_EQ(0, pos_goto_line(line, cursor_, b));
    cursor_->column = col;
    pos_link_to_buffer(cursor_, b);
    return cursor_;
  }
  void select(SelectionMarks* s, BufferRec* b, uint8_t kind, int32_t l1, int32_t c1, int32_t l2, int32_t c2) {
    ASSERT_EQ(0, sel_extend(s, kind, cursor(b, l1, c1)));
    ASSERT_EQ(0, sel_extend(s, kind, cursor(b, l2, c2)));
  }
  static Lines all(BufferRec* b) { return storetest::lines_forward(b); }
  std::vector<BufferRec*> bufs_;
  PosRecord cursor_rec_{};
  PosRecord* cursor_ = nullptr;
};

enum class Op { kDelete, kCopy, kMove, kFill, kShiftLeft, kShiftRight, kUpper, kLower };

struct Case {
  const char* name;
  Lines text;
  uint8_t kind;
  int32_t l1, c1, l2, c2;  // begin and end (0-based columns)
  Op op;
  int32_t cl, cc;  // cursor
  Lines want;
};

const Lines kT = {"abc", "defgh", "", "ij"};
const std::string kLong(1023, 'x');  // with its end of line a line at the length limit

std::vector<Case> cases() {
  return {
      // LINE
      {"line delete at start", kT, kSelLine, 1, 0, 1, 0, Op::kDelete, 1, 0, {"defgh", "", "ij"}},
      {"line delete at end over an empty line", kT, kSelLine, 3, 0, 4, 0, Op::kDelete, 1, 0, {"abc", "defgh"}},
      {"line copy after the last line",
       kT,
       kSelLine,
       1,
       0,
       2,
       0,
       Op::kCopy,
       4,
       0,
       {"abc", "defgh", "", "ij", "abc", "defgh"}},
      {"line copy to the top-of-file line",
       kT,
       kSelLine,
       2,
       0,
       3,
       0,
       Op::kCopy,
       0,
       0,
       {"defgh", "", "abc", "defgh", "", "ij"}},
      {"line move down", kT, kSelLine, 1, 0, 2, 0, Op::kMove, 4, 0, {"", "ij", "abc", "defgh"}},
      {"line move up", kT, kSelLine, 3, 0, 4, 0, Op::kMove, 1, 0, {"abc", "", "ij", "defgh"}},
      {"line fill", kT, kSelLine, 1, 0, 2, 0, Op::kFill, 1, 0, {"###", "#####", "", "ij"}},
      {"line shift right with an empty line",
       kT,
       kSelLine,
       1,
       0,
       3,
       0,
       Op::kShiftRight,
       1,
       0,
       {" abc", " defgh", " ", "ij"}},
      {"line shift left", kT, kSelLine, 1, 0, 2, 0, Op::kShiftLeft, 1, 0, {"bc", "efgh", "", "ij"}},
      {"line upper", kT, kSelLine, 1, 0, 4, 0, Op::kUpper, 1, 0, {"ABC", "DEFGH", "", "IJ"}},
      {"line copy of a line at the limit", {kLong, "s"}, kSelLine, 1, 0, 1, 0, Op::kCopy, 2, 0, {kLong, "s", kLong}},
      // CHAR (exclusive end)
      {"char delete inside a line", kT, kSelChar, 1, 1, 1, 2, Op::kDelete, 1, 0, {"ac", "defgh", "", "ij"}},
      {"char delete to column 0 joins", kT, kSelChar, 1, 1, 3, 0, Op::kDelete, 1, 0, {"a", "ij"}},
      {"char end past the line takes its break", kT, kSelChar, 2, 3, 2, 9, Op::kDelete, 1, 0, {"abc", "def", "ij"}},
      {"char at the end of the buffer", kT, kSelChar, 4, 1, 4, 5, Op::kDelete, 1, 0, {"abc", "defgh", "", "i"}},
      {"char copy over two lines", kT, kSelChar, 1, 0, 2, 2, Op::kCopy, 4, 1, {"abc", "defgh", "", "iabc", "dej"}},
      {"char copy inside a line", kT, kSelChar, 2, 1, 2, 3, Op::kCopy, 1, 3, {"abcef", "defgh", "", "ij"}},
      {"char move", kT, kSelChar, 2, 1, 2, 3, Op::kMove, 4, 2, {"abc", "dgh", "", "ijef"}},
      {"char move forward on its own line", {"abcdef"}, kSelChar, 1, 1, 1, 3, Op::kMove, 1, 5, {"adebcf"}},
      {"char move backward on its own line", {"abcdef"}, kSelChar, 1, 1, 1, 3, Op::kMove, 1, 0, {"bcadef"}},
      {"char fill", kT, kSelChar, 1, 1, 2, 2, Op::kFill, 1, 0, {"a##", "##fgh", "", "ij"}},
      {"char upper", kT, kSelChar, 1, 1, 2, 2, Op::kUpper, 1, 0, {"aBC", "DEfgh", "", "ij"}},
      {"char shift leaves an end line at column 0 out",
       kT,
       kSelChar,
       1,
       2,
       3,
       0,
       Op::kShiftRight,
       1,
       0,
       {" abc", " defgh", "", "ij"}},
      {"char delete over a tab", {"a\tb"}, kSelChar, 1, 0, 1, 8, Op::kDelete, 1, 0, {"b"}},
      {"char copy into a line at the limit is cut",
       {kLong, "yy"},
       kSelChar,
       2,
       0,
       2,
       2,
       Op::kCopy,
       1,
       500,
       {std::string(500, 'x') + "yy" + std::string(520, 'x'), "yy"}},  // 1025 bytes cut to 1022
      // BLOCK
      {"block delete at start", kT, kSelBlock, 1, 1, 2, 2, Op::kDelete, 1, 0, {"a", "dgh", "", "ij"}},
      {"block delete over empty and short lines",
       kT,
       kSelBlock,
       2,
       3,
       4,
       4,
       Op::kDelete,
       1,
       0,
       {"abc", "def", "", "ij"}},
      {"block copy onto an empty line", kT, kSelBlock, 1, 0, 2, 1, Op::kCopy, 3, 0, {"abc", "defgh", "ab", "deij"}},
      {"block copy past the end appends lines",
       kT,
       kSelBlock,
       1,
       1,
       2,
       2,
       Op::kCopy,
       4,
       3,
       {"abc", "defgh", "", "ij bc", "   ef"}},
      {"block fill pads short lines", kT, kSelBlock, 2, 1, 3, 2, Op::kFill, 1, 0, {"abc", "d**gh", " **", "ij"}},
      {"block shift left", kT, kSelBlock, 1, 1, 2, 1, Op::kShiftLeft, 1, 0, {"ac", "dfgh", "", "ij"}},
      {"block move to another line", kT, kSelBlock, 1, 0, 1, 0, Op::kMove, 2, 5, {"bc", "defgha", "", "ij"}},
      {"block move right on its own lines",
       {"abcdef", "ghijkl"},
       kSelBlock,
       1,
       1,
       2,
       2,
       Op::kMove,
       1,
       5,
       {"adebcf", "gjkhil"}},
      {"block copy into itself reads the source first",
       {"abcdef", "ghijkl"},
       kSelBlock,
       1,
       1,
       2,
       2,
       Op::kCopy,
       2,
       2,
       {"abcdef", "ghbcijkl", "  hi"}},
      {"block delete inside a tab splits it", {"a\tb"}, kSelBlock, 1, 3, 1, 4, Op::kDelete, 1, 0, {"a     b"}},
      {"block upper over a tab", {"a\tb"}, kSelBlock, 1, 0, 1, 8, Op::kUpper, 1, 0, {"A\tB"}},
      {"block shift right of a line at the limit is cut",
       {kLong},
       kSelBlock,
       1,
       0,
       1,
       0,
       Op::kShiftRight,
       1,
       0,
       {" " + std::string(1021, 'x')}},
      {"block fill stops at the line limit",
       {kLong},
       kSelBlock,
       1,
       1020,
       1,
       1025,
       Op::kFill,
       1,
       0,
       {std::string(1020, 'x') + "***"}},
  };
}

int32_t run(Op op, SelectionMarks* s, PosRecord* cur) {
  switch (op) {
    case Op::kDelete:
      return sel_delete(s, cur);
    case Op::kCopy:
      return sel_copy_to_cursor(s, cur);
    case Op::kMove:
      return sel_move_to_cursor(s, cur);
    case Op::kFill:
      return sel_fill(s, s->begin->kind[1] == kSelBlock ? '*' : '#');
    case Op::kShiftLeft:
      return sel_shift(s, -1);
    case Op::kShiftRight:
      return sel_shift(s, 1);
    case Op::kUpper:
      return sel_change_case(s, 'U');
    case Op::kLower:
      return sel_change_case(s, 'L');
  }
  return 0;
}

TEST_F(SelectionTest, TableOfOperationsUndoAndRedo) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    BufferRec* b = text(c.text);
    SelectionMarks* s = sel();
    select(s, b, c.kind, c.l1, c.c1, c.l2, c.c2);
    PosRecord* cur = cursor(b, c.cl, c.cc);
    int32_t rc = run(c.op, s, cur);
    EXPECT_EQ(0, rc);
    EXPECT_EQ(c.want, all(b));
    EXPECT_EQ("", store_check(b));
    undo_checkpoint(nullptr, b);
    EXPECT_GT(undo_step('U', nullptr, b), 0);
    EXPECT_EQ(c.text, all(b));
    EXPECT_GT(undo_step('R', nullptr, b), 0);
    EXPECT_EQ(c.want, all(b));
    sel_clear(s);
  }
}

TEST_F(SelectionTest, ACopyIsSelectedAfterwards) {
  BufferRec* b = text(kT);
  SelectionMarks* s = sel();
  select(s, b, kSelChar, 2, 1, 2, 3);
  ASSERT_EQ(0, sel_copy_to_cursor(s, cursor(b, 1, 3)));
  std::vector<std::string> t;
  ASSERT_EQ(0, sel_text(s, t));
  EXPECT_EQ(Lines{"ef"}, t);
  EXPECT_EQ(1, s->begin->line);
}

TEST_F(SelectionTest, ErrorsForKindsAndConflicts) {
  BufferRec* b = text(kT);
  SelectionMarks* s = sel();
  EXPECT_EQ(ERR_TEXT_NOT_SELECTED, sel_delete(s, nullptr));
  EXPECT_EQ(ERR_TEXT_NOT_SELECTED, sel_extend(s, kSelChar, cursor(b, 0, 0)));  // the top-of-file line
  select(s, b, kSelLine, 1, 0, 3, 0);
  EXPECT_EQ(ERR_TEXT_ALREADY_SELECTED, sel_extend(s, kSelChar, cursor(b, 2, 0)));
  EXPECT_EQ(ERR_SOURCE_DESTINATION_CONFLICT, sel_copy_to_cursor(s, cursor(b, 2, 0)));
  EXPECT_EQ(ERR_BLOCK_SELECTION_REQUIRED, sel_check_kind(s, kSelBlock));
  EXPECT_EQ(ERR_BLOCK_SELECTION_REQUIRED, sel_check_kind(s, kSelChar | kSelBlock));
  sel_clear(s);
  select(s, b, kSelChar, 1, 0, 2, 2);
  EXPECT_EQ(ERR_SOURCE_DESTINATION_CONFLICT, sel_copy_to_cursor(s, cursor(b, 1, 2)));
  EXPECT_EQ(ERR_SOURCE_DESTINATION_CONFLICT, sel_copy_to_cursor(s, cursor(b, 0, 0)));
  EXPECT_EQ(ERR_LINE_SELECTION_REQUIRED, sel_check_kind(s, kSelLine));
  EXPECT_EQ(ERR_LINE_OR_BLOCK_SELECTION_REQUIRED, sel_check_kind(s, kSelLine | kSelBlock));
  EXPECT_EQ(kT, all(b));
}

TEST_F(SelectionTest, ExtendingKeepsTheAnchor) {
  BufferRec* b = text(kT);
  SelectionMarks* s = sel();
  select(s, b, kSelChar, 2, 3, 4, 1);
  EXPECT_EQ(2, s->begin->line);
  EXPECT_EQ(3, s->begin->column);
  ASSERT_EQ(0, sel_extend(s, kSelChar, cursor(b, 1, 1)));  // back above the anchor
  EXPECT_EQ(1, s->begin->line);
  EXPECT_EQ(1, s->begin->column);
  EXPECT_EQ(2, s->end->line);
  EXPECT_EQ(3, s->end->column);
  sel_clear(s);
  select(s, b, kSelBlock, 1, 4, 3, 1);  // BLOCK columns are always ordered
  EXPECT_EQ(1, s->begin->column);
  EXPECT_EQ(4, s->end->column);
}

TEST_F(SelectionTest, MarksFollowLineEdits) {
  BufferRec* b = text({"l1", "l2", "l3", "l4", "l5", "l6"});
  SelectionMarks* s = sel();
  select(s, b, kSelLine, 3, 0, 4, 0);
  PosRecord p{};
  p.buffer = b;
  ASSERT_EQ(0, pos_goto_line(1, &p, b));
  ASSERT_EQ(0, line_insert_text("new", 3, &p, b));  // above: both marks move down
  EXPECT_EQ(4, s->begin->line);
  EXPECT_EQ(5, s->end->line);
  ASSERT_EQ(0, pos_goto_line(4, &p, b));
  ASSERT_EQ(0, line_delete(&p, b));  // its first line: it starts at the line after
  EXPECT_EQ(kSelLine, sel_kind(s));
  EXPECT_EQ(4, s->begin->line);
  EXPECT_EQ(4, s->end->line);
  std::vector<std::string> t;
  ASSERT_EQ(0, sel_text(s, t));
  EXPECT_EQ(Lines{"l4"}, t);
  ASSERT_EQ(0, pos_goto_line(4, &p, b));
  ASSERT_EQ(0, line_delete(&p, b));  // its last line: the selection goes
  sel_check_after_adjust(s);
  EXPECT_EQ(kSelNone, sel_kind(s));
}

TEST_F(SelectionTest, AnEndMarkOnADeletedLineGoesToTheLineAbove) {
  BufferRec* b = text({"one", "two", "three", "four"});
  SelectionMarks* s = sel();
  select(s, b, kSelChar, 1, 1, 3, 2);
  PosRecord p{};
  p.buffer = b;
  ASSERT_EQ(0, pos_goto_line(3, &p, b));
  ASSERT_EQ(0, line_delete(&p, b));
  EXPECT_EQ(2, s->end->line);
  EXPECT_EQ(4, s->end->column);  // "two" and its break (exclusive end)
  std::vector<std::string> t;
  ASSERT_EQ(0, sel_text(s, t));
  EXPECT_EQ((Lines{"ne", "two", ""}), t);
}

TEST_F(SelectionTest, CopyAndMoveBetweenBuffers) {
  BufferRec* a = text({"a1", "a2", "a3"});
  BufferRec* b = text({"b1", "b2"});
  SelectionMarks* s = sel();
  select(s, a, kSelLine, 2, 0, 3, 0);
  ASSERT_EQ(0, sel_copy_to_cursor(s, cursor(b, 1, 0)));
  EXPECT_EQ((Lines{"b1", "a2", "a3", "b2"}), all(b));
  EXPECT_EQ(b, sel_buffer(s));
  sel_clear(s);
  select(s, a, kSelChar, 1, 1, 2, 1);
  ASSERT_EQ(0, sel_move_to_cursor(s, cursor(b, 4, 2)));
  EXPECT_EQ((Lines{"a2", "a3"}), all(a));
  EXPECT_EQ((Lines{"b1", "a2", "a3", "b21", "a"}), all(b));
  undo_checkpoint(nullptr, a);
  undo_checkpoint(nullptr, b);
  EXPECT_GT(undo_step('U', nullptr, a), 0);
  EXPECT_EQ((Lines{"a1", "a2", "a3"}), all(a));
  sel_clear(s);
  select(s, b, kSelBlock, 1, 0, 2, 1);
  ASSERT_EQ(0, sel_copy_to_cursor(s, cursor(a, 3, 2)));
  EXPECT_EQ((Lines{"a1", "a2", "a3b1", "  a2"}), all(a));  // a line appended past the end
}

TEST_F(SelectionTest, UndoRestoresTheActiveSelection) {
  BufferRec* b = text(kT);
  SelectionMarks* s = sel_active();
  undo_checkpoint(nullptr, b);
  select(s, b, kSelChar, 1, 1, 2, 3);
  undo_checkpoint(nullptr, b);
  ASSERT_EQ(0, sel_extend(s, kSelChar, cursor(b, 4, 1)));
  undo_checkpoint(nullptr, b);
  EXPECT_EQ(4, s->end->line);
  EXPECT_EQ(kUndoSelRestored, undo_step('U', nullptr, b));
  ASSERT_EQ(kSelChar, sel_kind(s));
  EXPECT_EQ(1, s->begin->line);
  EXPECT_EQ(1, s->begin->column);
  EXPECT_EQ(2, s->end->line);
  EXPECT_EQ(3, s->end->column);
  EXPECT_EQ(kUndoSelRestored, undo_step('U', nullptr, b));
  EXPECT_EQ(kSelNone, sel_kind(s));  // it had just appeared
  EXPECT_EQ(kUndoSelRestored, undo_step('R', nullptr, b));
  ASSERT_EQ(kSelChar, sel_kind(s));
  EXPECT_EQ(2, s->end->line);
  EXPECT_EQ(kT, all(b));
}

// Columns of CHAR marks (and views) on a line after a change inside it.
TEST_F(SelectionTest, ColumnAdjustmentsOfMarksOnALine) {
  struct Row {
    const char* name;
    int32_t col, delta, direction;
    int32_t begin_line, begin_col, end_line, end_col;  // afterwards
  };
  // The selection runs from column 2 to column 6 of line 2 ("defgh" and more).
  const Row rows[] = {
      {"insert before both", 1, 3, 0, 2, 5, 2, 9},
      {"insert at the begin moves it, an end mark only when past", 2, 1, 0, 2, 3, 2, 7},
      {"insert at the end column leaves the end", 6, 2, 0, 2, 2, 2, 6},
      {"delete over the begin: it goes to the start of the range", 1, -3, 0, 2, 1, 2, 3},
      {"delete inside: the end moves left", 3, -2, 0, 2, 2, 2, 4},
      {"split before both: they go down", 1, 0, 1, 3, 1, 3, 5},
      {"split between: only the end goes down", 4, 0, 1, 2, 2, 3, 2},
      {"join to the line above at column 10", 0, 10, -1, 1, 12, 1, 16},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    BufferRec* b = text({"abcdefghijklmn", "defghijklmnop", "xyz"});
    SelectionMarks* s = sel();
    select(s, b, kSelChar, 2, 2, 2, 6);
    PosRecord p{};
    p.buffer = b;
    ASSERT_EQ(0, pos_goto_line(2, &p, b));
    ASSERT_EQ(0, marks_adjust_columns(r.col, r.delta, r.direction, &p, b));
    EXPECT_EQ(r.begin_line, s->begin->line);
    EXPECT_EQ(r.begin_col, s->begin->column);
    EXPECT_EQ(r.end_line, s->end->line);
    EXPECT_EQ(r.end_col, s->end->column);
    sel_clear(s);
  }
}

TEST_F(SelectionTest, TheSearchSeesTheActiveSelection) {
  BufferRec* b = text(kT);
  SearchSelection out{};
  EXPECT_FALSE(search_hooks().selection(b, &out));
  SelectionMarks* s = sel_active();
  select(s, b, kSelChar, 1, 1, 2, 3);
  ASSERT_TRUE(search_hooks().selection(b, &out));
  EXPECT_EQ(kSelChar, out.kind);
  EXPECT_EQ(1, out.begin_col);
  EXPECT_EQ(3, out.end_col);  // exclusive
  EXPECT_EQ(2, out.last->line);
  // A replacement on the begin line that grows it by 2 before the end moves nothing
  // before the begin column and the end mark not at all (another line).
  PosRecord p{};
  p.buffer = b;
  ASSERT_EQ(0, pos_goto_line(2, &p, b));
  search_hooks().shift_marks(&p, 1, 2);  // two bytes more at column 1 of line 2
  EXPECT_EQ(5, s->end->column);
  EXPECT_EQ(1, s->begin->column);
  sel_clear(s);
  EXPECT_FALSE(search_hooks().selection(b, &out));
}

}  // namespace
