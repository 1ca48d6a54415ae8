// Sorting lines: each comparison against hand-written expected orders, and a
// sort whose range ends on the last line of a full page.

#include "text/sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/mem.h"
#include "buffer_fixture.h"
#include "text/store_edit.h"

namespace {

using Lines = std::vector<std::string>;

class SortTest : public buftest::BufferTest {
 protected:
  // Loads the lines, sorts lines first..last (1-based) and returns the lines
  // inserted after the last one.
  Lines sort(const Lines& in, const char* options, int32_t first, int32_t last, int32_t key_col = 0,
             int32_t key_width = 0, ErrorCode* rc_out = nullptr) {
    std::string text;
    for (const auto& s : in) text += s + "\n";
    BufferRec* b = make("s" + std::to_string(++n_), text);
    PosRecord begin{}, end{};
    begin.buffer = end.buffer = b;
    begin.line = end.line = -1;
    EXPECT_EQ(0, pos_first_line(&begin, b));
    if (first > 1) {
      EXPECT_EQ(0, pos_goto_line(first, &begin, b));
    }
    end = begin;
    EXPECT_EQ(0, pos_goto_line(last, &end, b));
    PosRecord dest = end;
    SortOptions opt;
    EXPECT_EQ(0, sort_parse_options(options, opt));
    opt.key_col = key_col;
    opt.key_width = key_width;
    ErrorCode rc = sort_lines(&begin, &end, opt, &dest, b);
    if (rc_out)
      *rc_out = rc;
    else
      EXPECT_EQ(0, rc);
    Lines out;
    PosRecord p{};
    p.buffer = b;
    p.line = -1;
    EXPECT_EQ(0, pos_goto_line(last, &p, b));
    while (pos_next_line(&p, b) == 0 && static_cast<size_t>(p.line) <= in.size() + (last - first + 1))
      out.push_back(line_get_string(&p, b));
    // Lines after the range that were there before follow the sorted ones.
    out.resize(out.size() - (in.size() - last));
    return out;
  }
  int n_ = 0;
};

struct Case {
  const char* what;
  Lines in;
  const char* options;
  int32_t key_col, key_width;
  Lines want;
};

TEST_F(SortTest, OrdersByEveryComparison) {
  const Case cases[] = {
      {"exact", {"b", "a", "B"}, "E", 0, 0, {"B", "a", "b"}},
      {"ignore case keeps b before B", {"b", "a", "B"}, "I", 0, 0, {"a", "b", "B"}},
      {"prefix first", {"abc", "ab", "abd", "a"}, "", 0, 0, {"a", "ab", "abc", "abd"}},
      {"descending keeps equal keys in order", {"x1", "a", "x2", "b"}, "D", 0, 1, {"x1", "x2", "b", "a"}},
      {"descending ignore case", {"B", "a", "b", "A"}, "D I", 0, 0, {"B", "b", "a", "A"}},
      {"decimal: 10 after 9", {"10", "9", "-1.5", "2e1", " 3"}, "-N", 0, 0, {"-1.5", " 3", "9", "10", "2e1"}},
      {"file names", {"y/a", "a/b.c", "b.c", "x/a", "x/b/c"}, "-F", 0, 0, {"b.c", "a/b.c", "x/a", "x/b/c", "y/a"}},
      {"block columns, short lines first",
       {"abcdzz", "ab", "abcdaa", "x", "zzzdmm"},
       "",
       4,
       2,
       {"ab", "x", "abcdaa", "zzzdmm", "abcdzz"}},
      {"tabs expand before the key column",
       {"\tb", "a       a", "        c"},
       "",
       8,
       0,
       {"a       a", "\tb", "        c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.want, sort(c.in, c.options, 1, static_cast<int32_t>(c.in.size()), c.key_col, c.key_width));
  }
}

TEST_F(SortTest, PartOfTheBufferAndTheLinesAround) {
  // Lines 2..4 sorted; "z" before and "y" after are left alone.
  EXPECT_EQ(Lines({"a", "b", "c"}), sort({"z", "c", "a", "b", "y"}, "", 2, 4));
}

TEST_F(SortTest, BadDecimalDataInsertsNothing) {
  ErrorCode rc = 0;
  EXPECT_EQ(Lines{}, sort({"1", "12x", "3"}, "-N", 1, 3, 0, 0, &rc));
  EXPECT_EQ(ERR_INVALID_SORT_DATA, rc);
}

TEST_F(SortTest, OptionErrors) {
  SortOptions o;
  EXPECT_EQ(ERR_INVALID_OPTION, sort_parse_options("X", o));
  EXPECT_EQ(ERR_INVALID_OPTION, sort_parse_options("-", o));
  EXPECT_EQ(ERR_INVALID_OPTION, sort_parse_options("-Q", o));
  EXPECT_EQ(0, sort_parse_options(" a d e i -n -f ", o));
  EXPECT_EQ(SortMode::FileName, o.mode);
  EXPECT_EQ(-1, o.direction);
}

TEST_F(SortTest, ComparisonHelpers) {
  EXPECT_EQ(0, mem_icompare("abc", "ABC", 3));
  EXPECT_EQ(0, mem_icompare("a", "b", 0));
  EXPECT_LT(mem_icompare("abc", "ABD", 3), 0);
  EXPECT_LT(path_compare("b.c", "a/b.c"), 0);
  EXPECT_LT(path_compare("x/a", "y/a"), 0);
  EXPECT_LT(path_compare("x/", "x/a"), 0);
}

// The range ends on the buffer's last line, on pages full of short lines: the
// lines are appended after it, where a page split moves that last line.
TEST_F(SortTest, RangeEndingOnTheLastLineOfAFullPage) {
  for (int32_t kb : {-1, 40}) {
    SCOPED_TRACE(kb);
    kb_ = kb;
    TearDown();
    SetUp();
    Lines in;
    for (int i = 0; i < 6000; ++i) in.push_back(std::string(1, static_cast<char>('a' + (i * 7919) % 26)));
    Lines want = in;
    std::stable_sort(want.begin(), want.end());
    Lines got = sort(in, "", 1, static_cast<int32_t>(in.size()));
    EXPECT_TRUE(want == got);
  }
}

}  // namespace

namespace {

class SortSelectionTest : public buftest::BufferTest {
 protected:
  void SetUp() override {
    BufferTest::SetUp();
    sel_install();
  }
  // A selection of `kind` from (line0, col0) to (line1, col1).
  SelectionMarks* select(BufferRec* b, uint8_t kind, int32_t line0, int32_t col0, int32_t line1, int32_t col1) {
    SelectionMarks* s = sel_alloc_pair();
    PosRecord p{};
    p.buffer = b;
    p.line = -1;
    EXPECT_EQ(0, pos_goto_line(line0, &p, b));
    p.column = col0;
    sel_start(s, kind, &p);
    EXPECT_EQ(0, pos_goto_line(line1, &p, b));
    p.column = col1;
    EXPECT_EQ(0, sel_extend(s, kind, &p));
    return s;
  }
  static std::vector<std::string> all(BufferRec* b) {
    std::vector<std::string> out;
    PosRecord p{};
    p.buffer = b;
    pos_top(&p, b);
    while (pos_next_line(&p, b) == 0) out.push_back(line_get_string(&p, b));
    return out;
  }
};

TEST_F(SortSelectionTest, LineCharAndBlockSelections) {
  BufferRec* b = make("l", "z\nc\na\nb\n");
  SelectionMarks* s = select(b, kSelLine, 2, 0, 4, 0);
  ASSERT_EQ(0, sort_selection("", s, nullptr));
  EXPECT_EQ(std::vector<std::string>({"z", "c", "a", "b", "a", "b", "c"}), all(b));
  sel_free(s);

  BufferRec* c = make("c", "b\na\n");
  s = select(c, kSelChar, 1, 0, 2, 0);
  ASSERT_EQ(0, sort_selection("D", s, nullptr));
  EXPECT_EQ(std::vector<std::string>({"b", "a", "b", "a"}), all(c));
  sel_free(s);

  BufferRec* k = make("k", "x3b\nx1a\nx2c\n");
  s = select(k, kSelBlock, 1, 1, 3, 1);
  ASSERT_EQ(0, sort_selection("", s, nullptr));
  EXPECT_EQ(std::vector<std::string>({"x3b", "x1a", "x2c", "x1a", "x2c", "x3b"}), all(k));
  sel_free(s);
}

TEST_F(SortSelectionTest, ErrorsAndAnotherBuffersView) {
  BufferRec* b = make("e", "b\na\n");
  SelectionMarks* s = sel_alloc_pair();
  EXPECT_EQ(ERR_TEXT_NOT_SELECTED, sort_selection("", s, nullptr));
  sel_free(s);
  s = select(b, kSelLine, 1, 0, 2, 0);
  EXPECT_EQ(ERR_INVALID_OPTION, sort_selection("Q", s, nullptr));
  BufferRec* other = make("o", "top\nend\n");
  PosRecord view{};
  view.buffer = other;
  view.line = -1;
  ASSERT_EQ(0, pos_first_line(&view, other));
  ASSERT_EQ(0, sort_selection("", s, &view));
  EXPECT_EQ(std::vector<std::string>({"top", "a", "b", "end"}), all(other));
  EXPECT_EQ(std::vector<std::string>({"b", "a"}), all(b));
  sel_free(s);
}

// The whole buffer selected: its end mark is the last line of a full page.
TEST_F(SortSelectionTest, SelectionEndingOnTheLastLineOfAFullPage) {
  for (int32_t kb : {-1, 40}) {
    SCOPED_TRACE(kb);
    kb_ = kb;
    TearDown();
    SetUp();
    std::vector<std::string> in;
    std::string text;
    for (int i = 0; i < 6000; ++i) {
      in.push_back(std::string(1, static_cast<char>('a' + (i * 7919) % 26)));
      text += in.back() + "\n";
    }
    BufferRec* b = make("f", text);
    SelectionMarks* s = select(b, kSelLine, 1, 0, 6000, 0);
    ASSERT_EQ(0, sort_selection("", s, nullptr));
    std::vector<std::string> want = in, sorted = in;
    std::stable_sort(sorted.begin(), sorted.end());
    want.insert(want.end(), sorted.begin(), sorted.end());
    EXPECT_TRUE(want == all(b));
    sel_free(s);
  }
}

}  // namespace

namespace {

// Every allocation of the sort table failing (the store has nothing it can
// give back) ends the sort with -2029 and inserts nothing.
TEST_F(SortTest, RunningOutOfMemoryGivesNotEnoughMemoryAndInsertsNothing) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "line " + std::to_string(300 - i) + "\n";
  BufferRec* b = make("big", text);
  PosRecord begin{}, end{};
  begin.buffer = end.buffer = b;
  ASSERT_EQ(0, pos_first_line(&begin, b));
  end = begin;
  ASSERT_EQ(0, pos_goto_line(300, &end, b));
  SortOptions opt;
  for (int after : {1, 2, 3, 5}) {
    PosRecord dest = end;
    ErrorCode rc = 0;
    {
      MemFaultGuard fail(after, true);
      rc = sort_lines(&begin, &end, opt, &dest, b);
    }
    EXPECT_EQ(ERR_NOT_ENOUGH_MEMORY, rc) << after;
    PosRecord p = end;
    EXPECT_EQ(ERR_BOTTOM_OF_FILE, pos_next_line(&p, b)) << "nothing was inserted";
  }
  PosRecord dest = end;
  EXPECT_EQ(0, sort_lines(&begin, &end, opt, &dest, b));
  PosRecord p = end;
  ASSERT_EQ(0, pos_next_line(&p, b));
  EXPECT_EQ("line 1", line_get_string(&p, b));
}

}  // namespace
