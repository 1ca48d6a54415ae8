// The sort and reflow built-ins called as byte code: the sorted or reflowed
// lines are written after the selection (the macro deletes the old ones).
#include <gtest/gtest.h>

#include "tests/macro/text_bi_fixture.h"

namespace {

using textbi::Outcome;
using textbi::TextBiTest;

std::string c(const std::string& v) { return "push_const \"" + v + "\"\n"; }
std::string down(int n) { return c(std::to_string(n)) + "cursor_down 1\n"; }
const std::string kActive = "push_const \"\"\nduplicate_selection 1\nassign $h\n";
const std::string H = "push_var $h\n";

struct Row {
  const char* name;
  const char* text;
  std::string code;
  const char* rc;
  const char* after;  // nullptr: unchanged
  int error;
};

std::vector<Row> rows() {
  const std::string all3 = "select_line 0\n" + down(2) + "select_line 0\n";
  return {
      {"exact case", "b\na\nB\n", all3 + "sort 0", "0", "b\na\nB\nB\na\nb\n", 0},
      {"ignoring case equal keys keep their order", "b\na\nB\n", all3 + c("I") + "sort 1", "0", "b\na\nB\na\nb\nB\n",
       0},
      {"descending", "b\na\nc\n", all3 + c("d") + "sort 1", "0", "b\na\nc\nc\nb\na\n", 0},
      {"decimal numbers", "10\n9\n-2.5\n", all3 + c("-N") + "sort 1", "0", "10\n9\n-2.5\n-2.5\n9\n10\n", 0},
      {"decimal numbers of 32 digits", "12345678901234567890123456789013\n12345678901234567890123456789012\n1E31\n",
       all3 + c("-n") + "sort 1", "0",
       "12345678901234567890123456789013\n12345678901234567890123456789012\n1E31\n1E31\n"
       "12345678901234567890123456789012\n12345678901234567890123456789013\n",
       0},
      {"not a number", "1\n12x\n3\n", all3 + c("-N") + "sort 1", "-2080", nullptr, -2080},
      {"file names", "b.c\na/b.c\nx/a\n", all3 + c("-F") + "sort 1", "0", "b.c\na/b.c\nx/a\nb.c\na/b.c\nx/a\n", 0},
      {"a bad option", "b\na\n", "select_line 0\n" + c("Q") + "sort 1", "-3030", nullptr, -3030},
      {"a dash without N or F", "b\na\n", "select_line 0\n" + c("-") + "sort 1", "-3030", nullptr, -3030},
      {"nothing selected", "b\na\n", "sort 0", "-2013", nullptr, -2013},
      {"a block sorts by its columns, short lines first", "x  3\nx  1\nx\ny  2\n",
       "cursor_right\ncursor_right\ncursor_right\nselect_block 0\n" + down(3) + "select_block 0\nsort 0", "0",
       "x  3\nx  1\nx\ny  2\nx\nx  1\ny  2\nx  3\n", 0},
      {"the selection argument", "b\na\n",
       kActive + "select_line 0\n" + down(1) + "select_line 0\n" + c("") + H + "sort 2", "0", "b\na\na\nb\n", 0},
      {"reflow with normalised blanks", "aaa bbb.\nccc\n",
       "select_line 0\n" + down(1) + "select_line 0\nreflow_selection 0\nreflow_result $out, $out2", "0",
       "aaa bbb.\nccc\naaa bbb.  ccc \n", 0},
      {"reflow a char selection", "aaa\n", "select_char 0\ncursor_right\nselect_char 0\nreflow_selection 0", "-2035",
       nullptr, -2035},
  };
}

class SortBi : public TextBiTest, public ::testing::WithParamInterface<Row> {};

TEST_P(SortBi, Row) {
  const Row& r = GetParam();
  open(r.text);
  const Outcome o = run(r.code);
  ASSERT_NE(o.run, -1);
  EXPECT_EQ(r.rc, o.rc);
  if (r.error == 0) {
    EXPECT_EQ(0, o.stop);
    EXPECT_TRUE(o.shown.empty()) << o.shown.front();
  } else if (o.stop != r.error) {
    EXPECT_NE(std::find(o.shown.begin(), o.shown.end(), r.error), o.shown.end()) << "stop " << o.stop;
  }
  EXPECT_EQ(r.after ? r.after : r.text, text());
}

INSTANTIATE_TEST_SUITE_P(Table, SortBi, ::testing::ValuesIn(rows()), [](const auto& info) {
  std::string n = info.param.name;
  for (char& ch : n)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return n;
});

TEST_F(TextBiTest, ReflowResultFollowsTheCursorsWord) {
  edit_settings.margins[1] = 10;
  open("one two three\nfour five\n");
  at(2, 6);
  const Outcome o = run("select_line 0\n" + c("1") + "cursor_up 1\nselect_line 0\n" + down(1) +
                        "end_line\ncursor_left\ncursor_left\ncursor_left\nreflow_selection 0\n"
                        "reflow_result $out, $out2");
  EXPECT_EQ("0", o.rc);
  EXPECT_EQ("one two three\nfour five\none two \nthree four \nfive \n", text());
  EXPECT_EQ("2", o.out) << "the cursor's word went to the third new line";
  EXPECT_EQ("2", o.out2) << "behind its first letter";
}

}  // namespace
