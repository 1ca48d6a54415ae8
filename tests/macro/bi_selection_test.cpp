// The selection built-ins called as byte code: each row selects with the
// cursor moves a user makes, runs an operation and checks rc, the values
// left in out .. out4, the buffer text and the code reported, refusals
// included.
#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/macro/text_bi_fixture.h"

namespace {

using textbi::Outcome;
using textbi::TextBiTest;

std::string down(int n) { return "push_const \"" + std::to_string(n) + "\"\ncursor_down 1\n"; }
std::string right(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "cursor_right\n";
  return s;
}
std::string c(const std::string& v) { return "push_const \"" + v + "\"\n"; }
// Selection information of the active selection into out .. out3.
const std::string kInfo = "get_selinfo 0, [ $out $out2 $out3 ]\n";
// The active selection's handle into h, and a push of it (to pass options).
const std::string kActive = "push_const \"\"\nduplicate_selection 1\nassign $h\n";
const std::string H = "push_var $h\n";

struct Row {
  std::string name, text;
  int line, col;
  std::string code;
  const char* rc;
  std::vector<const char*> outs;  // expected out, out2, ...; nullptr: not checked
  const char* after;              // nullptr: unchanged
  int error;
};

const char* kLines = "one\ntwo\nthree\nfour\n";
const char* kBlock = "AB----\nCD----\n------\n";

std::vector<Row> rows() {
  return {
      {"delete two lines",
       kLines,
       1,
       0,
       "select_line 0\n" + down(1) + "select_line 0\ndelete_selection 0",
       "0",
       {},
       "three\nfour\n",
       0},
      {"char to column 0 exclusive joins",
       kLines,
       1,
       3,
       "select_char 0\n" + down(2) +
           "begin_line\nselect_char 0\n"
           "delete_selection 0",
       "0",
       {},
       "onethree\nfour\n",
       0},
      {"char inclusive takes the end column",
       "abcdef\n",
       1,
       1,
       kActive + H + c("i") + "select_char 2\n" + right(2) + H + c("i") + "select_char 2\ndelete_selection 0",
       "0",
       {},
       "aef\n",
       0},
      {"char past the end takes the line break",
       "ab\ncd\n",
       1,
       0,
       "select_char 0\nend_line\ncursor_right\n"
       "select_char 0\ndelete_selection 0",
       "0",
       {},
       "cd\n",
       0},
      {"block delete",
       "abcdef\nghijkl\n",
       1,
       1,
       "select_block 0\n" + down(1) + right(2) + "select_block 0\ndelete_selection 0",
       "0",
       {},
       "aef\ngkl\n",
       0},
      {"char on a line selection",
       kLines,
       1,
       0,
       "select_line 0\n" + down(1) + "select_char 0",
       "-2012",
       {},
       nullptr,
       -2012},
      {"select on the top-of-file line", kLines, 0, 0, "select_line 0", "-2013", {}, nullptr, -2013},
      {"copy lines below, the selection moves onto the copy",
       kLines,
       1,
       0,
       "select_line 0\n" + down(1) + "select_line 0\n" + down(2) +
           "copy_to_cursor 0\nbegin_select 0\npoint 0\nassign $out",
       "0",
       {"19"},
       "one\ntwo\nthree\nfour\none\ntwo\n",
       0},
      {"copy into itself",
       kLines,
       1,
       0,
       "select_line 0\n" + down(2) + "select_line 0\n" + "push_const \"1\"\ncursor_up 1\ncopy_to_cursor 0",
       "-2015",
       {},
       nullptr,
       -2015},
      {"move lines",
       kLines,
       1,
       0,
       "select_line 0\n" + down(3) + "move_to_cursor 0",
       "0",
       {},
       "two\nthree\nfour\none\n",
       0},
      {"move a char piece",
       "abc def\nxyz\n",
       1,
       0,
       "select_char 0\n" + right(4) + "select_char 0\n" + down(1) + "end_line\nmove_to_cursor 0",
       "0",
       {},
       "def\nxyzabc \n",
       0},
      {"fill a block",
       "abcdef\nghijkl\n",
       1,
       1,
       "select_block 0\n" + down(1) + right(1) + "select_block 0\n" + c("xyz") + "fill_selection 1",
       "0",
       {},
       "axxdef\ngxxjkl\n",
       0},
      {"fill with nothing", "abc\n", 1, 0, "select_line 0\n" + c("") + "fill_selection 1", nullptr, {}, nullptr, -3015},
      {"shift right then left",
       "ab\ncd\n",
       1,
       0,
       "select_line 0\n" + down(1) +
           "select_line 0\n"
           "shift_selection_right 0\nshift_selection_right 0\nshift_selection_left 0",
       "0",
       {},
       " ab\n cd\n",
       0},
      {"overlay a block, blanking its old place",
       kBlock,
       1,
       0,
       "select_block 0\n" + down(1) + right(1) + "select_block 0\n" + right(2) + "overlay_block_selection 0",
       "0",
       {},
       "  ----\n  -AB-\n---CD-\n",
       0},
      {"adjust: a copy of the block over the cursor",
       kBlock,
       1,
       0,
       "select_block 0\n" + down(1) + right(1) + "select_block 0\n" + right(2) + "adjust_block_selection 0\n" + kInfo,
       "0",
       {"4", "5"},
       "AB----\nCD-AB-\n---CD-\n",
       0},
      {"overlay moving up walks top-down",
       "------\nAB----\nCD----\n",
       2,
       0,
       "select_block 0\n" + down(1) + right(1) + "select_block 0\n" + c("2") + "cursor_up 1\n" + right(2) +
           "overlay_block_selection 0",
       "0",
       {},
       "---AB-\n  -CD-\n  ----\n",
       0},
      {"overlay past the end adds lines",
       "AB\nCD\n",
       1,
       0,
       "select_block 0\n" + down(1) + right(1) + "select_block 0\n" + right(1) + "adjust_block_selection 0",
       "0",
       {},
       "AB\nCDAB\n  CD\n",
       0},
      {"overlay needs a block",
       kLines,
       1,
       0,
       "select_char 0\n" + right(1) +
           "select_char 0\n"
           "overlay_block_selection 0",
       "-2018",
       {},
       nullptr,
       -2018},
      {"adjust on the top-of-file line",
       kBlock,
       1,
       0,
       "select_block 0\n" + right(1) + "select_block 0\n" + c("1") + "cursor_up 1\nadjust_block_selection 0",
       "-2015",
       {},
       nullptr,
       -2015},
      {"information of a block",
       "abcdef\nghijkl\n",
       1,
       1,
       "select_block 0\n" + down(1) + right(2) + "select_block 0\n" + kInfo,
       "0",
       {"2", "4", "@handle"},
       nullptr,
       0},
      {"information with nothing selected", kLines, 1, 0, kInfo, "-2013", {""}, nullptr, -2013},
      {"type names and setters",
       "abcdefghij\nx\n",
       1,
       5,
       kActive + "select_block 0\n" + right(4) + "select_block 0\nselect_type 0\nassign $out\n" + H + c("T") +
           c("nblock") + "select_type 3\nassign $out2\n" + "get_selinfo 0, [ $out3 $out4 $out ]\n" + H + c("t") +
           c("char") + "select_type 3\nassign $out",
       nullptr,
       {"CHAR", "BLOCK", "6", "9"},
       nullptr,
       0},
      {"type letters I S P U W",
       kLines,
       1,
       0,
       kActive + H + c("I") + "select_char 2\n" + right(2) + H + c("ic") + "select_char 2\n" + H + c("i") +
           "select_type 2\n" + H + c("s") + "select_type 2\nconcat\n" + H + c("p") + "select_type 2\nconcat\n" + H +
           c("w") + "select_type 2\nconcat\nassign $out\n" + H + c("u") + "select_type 2\nassign $out2",
       nullptr,
       {"1CEB0", ""},
       nullptr,
       0},
      {"type of a bad handle is empty",
       kLines,
       1,
       0,
       c("999") + "select_type 1\nassign $out",
       nullptr,
       {""},
       nullptr,
       0},
      {"type with a bad kind",
       kLines,
       1,
       0,
       kActive + "select_line 0\n" + H + c("T") + c("ROW") +
           "select_type 3\n"
           "assign $out",
       nullptr,
       {""},
       nullptr,
       -3015},
      {"begin and end marks",
       kLines,
       2,
       1,
       "select_char 0\n" + down(1) + right(2) +
           "select_char 0\n"
           "begin_select 0\npoint 0\nassign $out\nend_select 0\npoint 0\nassign $out2",
       "0",
       {"4", "8"},
       nullptr,
       0},
      {"compare the cursor with the marks",
       kLines,
       2,
       0,
       "select_line 0\n" + down(1) + "select_line 0\n" +
           "begin_select_compare 0\nassign $out\nend_select_compare 0\nassign $out2\n" + c("2") + "cursor_up 1\n" +
           "begin_select_compare 0\nassign $out3\nend_select_compare 0\nassign $out4",
       nullptr,
       {"1", "0", "-1", "-1"},
       nullptr,
       0},
      {"compare with nothing selected",
       kLines,
       2,
       0,
       "begin_select_compare 0\nassign $out\nend_select_compare 0\n"
       "assign $out2",
       nullptr,
       {"-1", "1"},
       nullptr,
       0},
      {"a selection that follows the cursor",
       "abcdef\n",
       1,
       0,
       kActive + H + c("C") + "select_char 2\n" + right(3) + kInfo,
       "0",
       {"1", "4"},
       nullptr,
       0},
      {"without C it stays", "abcdef\n", 1, 0, "select_char 0\n" + right(3) + kInfo, "0", {"1", "1"}, nullptr, 0},
      {"duplicate and show",
       kLines,
       1,
       0,
       "select_line 0\nduplicate_selection 0\nassign $out\ndeselect 0\n" + c("@out") + "show_selection 1\n" + kInfo,
       "0",
       {"1", "1"},
       nullptr,
       0},
      {"duplicate of an empty argument is the active one",
       kLines,
       1,
       0,
       c("") + "duplicate_selection 1\n"
               "assign $out",
       "0",
       {"@active"},
       nullptr,
       0},
      {"a single mark is placed at the cursor",
       kLines,
       2,
       2,
       c("b") + "alloc_selection 1\nassign $out\n" + c("@out") + "select_line 1\n" + right(1) + c("@out") +
           "select_line 1\n" + c("@out") + "get_selinfo 1, [ $out2 $out3 $out4 ]\n" + c("@out") + c("S") +
           "select_type 2\nassign $out",
       "0",
       {"B", "4", "4"},
       nullptr,
       0},
      {"a single mark is refused by delete",
       kLines,
       2,
       2,
       c("B") + "alloc_selection 1\nassign $out\n" + c("@out") + "delete_selection 1",
       nullptr,
       {},
       nullptr,
       -2036},
      {"alloc with a bad letter", kLines, 1, 0, c("x") + "alloc_selection 1\nassign $out", nullptr, {}, nullptr, -3015},
      {"an unknown handle", kLines, 1, 0, c("4242") + "deselect 1", nullptr, {}, nullptr, -2036},
      {"a handle that is not a number", kLines, 1, 0, c("q") + "deselect 1", nullptr, {}, nullptr, -3009},
      {"free a selection",
       kLines,
       1,
       0,
       "alloc_selection 0\nassign $out\n" + c("@out") + "select_line 1\n" + c("@out") + "free_selection\n" + c("@out") +
           "deselect 1",
       nullptr,
       {},
       nullptr,
       -2036},
      {"deselect", kLines, 1, 0, "select_line 0\ndeselect 0\n" + kInfo, "-2013", {}, nullptr, -2013},
  };
}

class SelectionBi : public TextBiTest, public ::testing::WithParamInterface<Row> {};

// "@out" in a constant stands for the value out has when the code gets there
// (handles are only known at run time): it becomes a push of $out.
std::string expand(std::string code) {
  for (size_t at; (at = code.find("push_const \"@out\"")) != std::string::npos;) code.replace(at, 17, "push_var $out");
  return code;
}

TEST_P(SelectionBi, Row) {
  const Row& r = GetParam();
  open(r.text);
  at(r.line, r.col);
  const Outcome o = run(expand(r.code));
  ASSERT_NE(o.run, -1);
  if (r.rc) {
    EXPECT_EQ(r.rc, o.rc);
  }
  const std::string got[] = {o.out, o.out2, o.out3, o.out4};
  for (size_t i = 0; i < r.outs.size(); ++i) {
    if (!r.outs[i]) continue;
    std::string want = r.outs[i];
    if (want == "@handle") want = std::to_string(buf_current()->handle);
    if (want == "@active") want = std::to_string(sel_handle(sel_active()));
    EXPECT_EQ(want, got[i]) << "out" << i + 1;
  }
  if (r.error == 0) {
    EXPECT_EQ(0, o.stop);
    EXPECT_TRUE(o.shown.empty()) << o.shown.front();
  } else if (o.stop != r.error) {
    EXPECT_NE(std::find(o.shown.begin(), o.shown.end(), r.error), o.shown.end()) << "stop " << o.stop;
  }
  EXPECT_EQ(r.after ? r.after : r.text, text());
}

INSTANTIATE_TEST_SUITE_P(Table, SelectionBi, ::testing::ValuesIn(rows()), [](const auto& info) {
  std::string n = info.param.name;
  for (char& ch : n)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return n;
});

class SelectionBiMore : public TextBiTest {};

TEST_F(SelectionBiMore, SelectMatchSelectsTheLastSearchMatch) {
  open("find the needle here\n");
  const Outcome o = run(kActive + c("needle") + "search 1, [ ]\nselect_match 0\n" + kInfo + H + c("T") +
                        "select_type 2\nassign $out4");
  EXPECT_EQ("10", o.out);
  EXPECT_EQ("16", o.out2);
  EXPECT_EQ("CHAR", o.out4);
}

// The copy built-in's clipboard: tests/forms/clipboard_test.cpp.

TEST_F(SelectionBiMore, LineCopiesKeepTheSourceFlags) {
  BufferRec* b = open("a\nb\nc\n");
  PosRecord p{};
  p.buffer = b;
  pos_goto_line(2, &p, b);
  ASSERT_EQ(0, line_set_flags(0x3, &p, b));
  run("select_line 0\n" + down(1) + "select_line 0\n" + down(1) + "copy_to_cursor 0");
  ASSERT_EQ("a\nb\nc\na\nb\n", text());
  pos_goto_line(5, &p, b);
  EXPECT_EQ(0x3 | kLineInserted, line_get_flags(&p, b) & 0x3f);
}

}  // namespace
