// Reflow: words between the margins, normalised blanks, justification and
// the cursor's new place, against hand-worked expected lines.

#include "text/reflow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "buffer_fixture.h"

namespace {

using Lines = std::vector<std::string>;

struct Case {
  const char* what;
  Lines in;
  int32_t left, right, para;
  uint8_t wrap_flags;
  Lines want;
};

class ReflowTest : public buftest::BufferTest {
 protected:
  // Reflows all lines of a buffer holding `in`; returns the new lines.
  Lines reflow(const Lines& in, int32_t left, int32_t right, int32_t para, uint8_t flags, uint8_t kind = kReflowLine,
               int32_t col0 = 0, int32_t col1 = 0, PosRecord* cursor_at = nullptr, int32_t cursor_line = 0,
               int32_t cursor_col = 0) {
    std::string text;
    for (const auto& s : in) text += s + "\n";
    BufferRec* b = make(std::string("r").append(std::to_string(++n_)), text);
    b->margins[0] = left;
    b->margins[1] = right;
    b->margins[2] = para;
    b->wrap_flags = flags;
    PosRecord begin{}, end{};
    begin.buffer = b;
    begin.line = -1;
    EXPECT_EQ(0, pos_first_line(&begin, b));
    end = begin;
    EXPECT_EQ(0, pos_goto_line(static_cast<int32_t>(in.size()), &end, b));
    begin.column = col0;
    end.column = col1;
    PosRecord cursor{};
    if (cursor_at || cursor_line) {
      cursor = begin;
      if (cursor_line > 1) {
        EXPECT_EQ(0, pos_goto_line(cursor_line, &cursor, b));
      }
      cursor.column = cursor_col;
      cursor.buffer = b;
    }
    PosRecord dest = end;
    EXPECT_EQ(0, reflow_lines(&begin, &end, kind, &dest, cursor_line ? &cursor : nullptr, b));
    Lines out;
    PosRecord p = end;
    while (pos_next_line(&p, b) == 0) out.push_back(line_get_string(&p, b));
    return out;
  }
  int n_ = 0;
};

TEST_F(ReflowTest, FillsWordsBetweenTheMargins) {
  const Case cases[] = {
      {"sentence end gets two blanks", {"aaa bbb.", "ccc"}, 1, 72, 1, 1, {"aaa bbb.  ccc "}},
      {"long word stands alone", {"ab verylongword cd"}, 1, 5, 1, 0, {"ab ", "verylongword ", "cd "}},
      {"justify to 7", {"a b c dddd"}, 1, 7, 1, 4, {"a  b  c", "dddd "}},
      {"justify to 8: extra blank to the last gap", {"a b c dddd"}, 1, 8, 1, 4, {"a  b   c", "dddd "}},
      {"blank lines give nothing", {"   ", "", "\t"}, 1, 72, 1, 1, {}},
      {"paragraph and left margins", {"one two three four"}, 3, 12, 5, 1, {"    one two ", "  three four "}},
      {"without normalising gaps are kept", {"a   b", "c"}, 1, 72, 1, 0, {"a   b c "}},
      {"normalising drops extra blanks", {"a   b", "c"}, 1, 72, 1, 1, {"a b c "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.want, reflow(c.in, c.left, c.right, c.para, c.wrap_flags));
  }
}

TEST_F(ReflowTest, BlockTakesItsColumnsAndNormalises) {
  // Columns 1..6 (0-based) of each line; a block always normalises.
  EXPECT_EQ(Lines({"bc d xde fg "}), reflow({"abc   dxyz", "xxde fgyy"}, 1, 72, 1, 0, kReflowBlock, 1, 6));
}

TEST_F(ReflowTest, CursorWordIsFollowed) {
  // Cursor on the 'r' of "three" (third source line, column 2).
  Lines got = reflow({"one two", "xx", "three four"}, 1, 10, 1, 1, kReflowLine, 0, 0, nullptr, 3, 2);
  EXPECT_EQ(Lines({"one two xx ", "three four "}), got);
  EXPECT_EQ(1, reflow_result.line);
  EXPECT_EQ(3, reflow_result.column);  // the 'r' of "three" on the second new line
}

TEST_F(ReflowTest, IndentWithTabs) {
  LStrLine out;
  BufferRec b{};
  b.indent_tabs = 1;
  line_make_indent(&b, out, 10);
  EXPECT_EQ("\t  ", std::string(out.view()));
  b.indent_tabs = 0;
  line_make_indent(&b, out, 3);
  EXPECT_EQ("   ", std::string(out.view()));
}

}  // namespace

namespace {

TEST_F(ReflowTest, SelectionKinds) {
  sel_install();
  BufferRec* b = make("sel", "aaa bbb.\nccc\n");
  b->margins[0] = 1;
  b->margins[1] = 72;
  b->margins[2] = 1;
  b->wrap_flags = 1;
  SelectionMarks* s = sel_alloc_pair();
  PosRecord p{};
  p.buffer = b;
  p.line = -1;
  ASSERT_EQ(0, pos_first_line(&p, b));
  sel_start(s, kSelChar, &p);
  EXPECT_EQ(ERR_LINE_OR_BLOCK_SELECTION_REQUIRED, reflow_selection(s, nullptr));
  sel_start(s, kSelLine, &p);
  ASSERT_EQ(0, pos_goto_line(2, &p, b));
  ASSERT_EQ(0, sel_extend(s, kSelLine, &p));
  ASSERT_EQ(0, reflow_selection(s, nullptr));
  PosRecord q{};
  q.buffer = b;
  q.line = -1;
  ASSERT_EQ(0, pos_goto_line(3, &q, b));
  EXPECT_EQ("aaa bbb.  ccc ", line_get_string(&q, b));
  sel_free(s);
}

}  // namespace
