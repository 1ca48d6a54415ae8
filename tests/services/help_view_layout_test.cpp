// The help viewer's layout with a fake fixed-width font: word wrap, tabs,
// scaled indents, fonts of other heights, pictures, link marks, escapes,
// trailing line feeds; scroll limits and scrolling; a topic that cannot be
// read leaving the shown one intact.
#include <gtest/gtest.h>

#include "base/le.h"
#include "tests/services/help_view_fixture.h"

namespace {

using helptest::HelpViewTest;

struct LayoutCase {
  const char* what;
  std::string raw;
  int32_t width;
  std::string lines;
};

class HelpLayout : public HelpViewTest {};

TEST_F(HelpLayout, LinesOfRunsFromRawText) {
  // The margin is 6 pixels; characters are 8 wide; font 0 is 16/12, font 2 26/22.
  const LayoutCase cases[] = {
      {"empty topic: one empty line", "", 200, "16/12"},
      {"words join one run, the line feed its own", "one two\n", 200, "16/12|6:one two|62:\\n"},
      {"trailing line feeds leave no empty lines", "a\n\n\n", 200, "16/12|6:a|14:\\n"},
      {"wrap before the word that does not fit", "aaa bbb ccc", 60, "16/12|6:aaa  ; 16/12|6:bbb  ; 16/12|6:ccc"},
      {"a word wider than the window gets its own line", "x abcdefghij", 60, "16/12|6:x  ; 16/12|6:abcdefghij"},
      {"a line feed that does not fit wraps and then goes as trailing", "abcd\n", 38, "16/12|6:abcd"},
      {"tab past the last stop: next 720 twips", "a\tb", 400, "16/12|6:a|14:\\t|54:b"},
      {"tab exactly on a multiple moves a full 720", "abcdef\tx", 400, "16/12|6:abcdef|54:\\t|102:x"},
      {"tab to the format's stop", "\001p1 Key\tMeaning", 400, "16/12|54:Key|78:\\t|102:Meaning"},
      {"tab short of the left indent goes to it", "a\001p1 \tb", 400, "16/12|6:a|14:\\t|54:b"},
      {"first-line and left indent", "\001p2 aaaa bbbb", 100, "16/12|78:aaaa  ; 16/12|54:bbbb"},
      {"link escape at a line start does nothing", "\001l0 abc", 200, "16/12|6:abc"},
      {"link escape marks the run before it", "abc\001l0 def", 200, "16/12|6:abc@0|30:def"},
      {"a taller font mid-line grows ascent and height", "ab\001c2 CD", 200, "26/22|6:ab|22:CD/f2"},
      {"a font at the line start sets the line's measures", "\001c2 A\nB", 200,
       "26/22|6:A/f2|14:\\n/f2 ; 26/22|6:B/f2"},
      {"an escaped 0x01 is a one-byte run the next word joins", "a\001\001b", 200, "16/12|6:a|14:^Ab"},
      {"an unknown escape goes with its code byte", "a\001zb", 200, "16/12|6:a|14:b"},
      {"an escape cut off by the end ends the text", "ab\001", 200, "16/12|6:ab"},
      {"a picture raises the ascent", "\001b0 x", 200, "34/30|6:[b0]|16:x"},
      {"a picture that does not fit wraps", "abc\001b0 ", 30, "16/12|6:abc ; 34/30|6:[b0]"},
      {"a font or format out of range is ignored", "\001c9 a\001p9 b", 200, "16/12|6:a|14:b"},
  };
  load("@topic T\nx\n");
  for (const LayoutCase& c : cases) {
    canvas_.set_size(c.width, 100);
    layout_raw(c.raw);
    EXPECT_EQ(c.lines, dump()) << c.what;
  }
}

TEST_F(HelpLayout, HorizontalLimitFollowsTheWidestLine) {
  load("@topic T\nx\n", 60, 100);
  layout_raw("x abcdefghij");
  // widest = 6 + 80; limit = widest - W + W / 2.
  EXPECT_EQ(86 - 60 + 30, view_.hlimit);
  EXPECT_EQ(view_.hlimit, canvas_.hrange);
  layout_raw("abc");
  EXPECT_EQ(0, view_.hlimit);
}

TEST_F(HelpLayout, VerticalLimitAndScrolling) {
  struct Case {
    int lines;
    int32_t height, limit;
  };
  const Case cases[] = {
      {1, 100, 0},
      {10, 160, 0},  // exactly the window: no scrolling
      {10, 100, 160 - 100 + 50},
      {10, 159, 160 - 159 + 79},
      {40, 33, 640 - 33 + 16},
  };
  load("@topic T\nx\n");
  for (const Case& c : cases) {
    std::string raw;
    for (int i = 0; i < c.lines; ++i) raw += "a\n";
    canvas_.set_size(200, c.height);
    layout_raw(raw);
    EXPECT_EQ(c.limit, view_.vlimit) << c.lines << " lines in " << c.height;
    EXPECT_EQ(c.limit, canvas_.vrange);
  }
  // 40 lines of 16 in a window of 33: scroll to 35 is line 2, 3 into it.
  help_scroll_to(view_, 35);
  EXPECT_EQ(2, view_.first_visible);
  EXPECT_EQ(32, view_.view_top);
  EXPECT_EQ(3, view_.view_offset);
  EXPECT_EQ(35, canvas_.vpos);
  help_scroll_to(view_, 100000);
  EXPECT_EQ(view_.vlimit, help_vpos(view_));
  help_scroll_to(view_, -5);
  EXPECT_EQ(0, help_vpos(view_));
}

TEST_F(HelpLayout, ShowingATopicPutsThePositionsLineAtTheTop) {
  std::string body = "@topic T\n";
  for (int i = 0; i < 30; ++i) body += "line " + std::to_string(i) + "\n";
  body += "{kw deep}the deep line\n";
  for (int i = 0; i < 30; ++i) body += "more " + std::to_string(i) + "\n";
  body += "{kw end}the end\n";
  load(body, 200, 100);
  ASSERT_EQ(0, help_goto_keyword(view_, "deep", nullptr));
  EXPECT_EQ(30, view_.first_visible);
  EXPECT_EQ("the deep line\\n", line_text(30));
  EXPECT_EQ(0, view_.view_offset);
  // Near the end the position is limited by the scroll limit.
  ASSERT_EQ(0, help_goto_keyword(view_, "end", nullptr));
  EXPECT_GT(view_.vlimit, 0);
  EXPECT_EQ(view_.vlimit, help_vpos(view_));
}

TEST_F(HelpLayout, ResizeKeepsTheTextAtTheTop) {
  std::string body = "@topic T\n";
  for (int i = 0; i < 40; ++i) body += "word" + std::to_string(i) + " and more words here\n";
  load(body, 400, 100);
  ASSERT_EQ(0, help_show_topic(view_, 0, 0));
  help_scroll_to(view_, 16 * 20);
  const std::string top = line_text(static_cast<size_t>(view_.first_visible));
  ASSERT_EQ(0u, top.find("word20 "));
  canvas_.set_size(100, 100);  // every line now wraps
  help_relayout(view_);
  EXPECT_EQ(0u, line_text(static_cast<size_t>(view_.first_visible)).find("word20 ")) << dump();
}

TEST_F(HelpLayout, NoFontAtAllRingsTwiceAndShowsNothing) {
  load("@topic T\nhello\n");
  canvas_.fail_fonts = true;
  EXPECT_EQ(1, help_show_topic(view_, 0, 0));
  EXPECT_EQ(2, canvas_.beeps);
  EXPECT_FALSE(help_has_topic(view_));
  canvas_.clear();
  help_paint(view_);
  EXPECT_TRUE(canvas_.drawn.empty());
}

TEST_F(HelpLayout, AFailedTopicReadLeavesTheShownTopicWhole) {
  load("@topic First\nfirst topic text\n@topic Second\nsecond topic text\n");
  ASSERT_EQ(0, help_show_topic(view_, 0, 0));
  // Topic 1's text now claims to run far past the end of the file.
  std::vector<uint8_t> bytes;
  {
    const std::string s = spelltest::read_file(path_);
    bytes.assign(s.begin(), s.end());
  }
  const uint32_t topics = le::get_u32(bytes.data() + bytes.size() - kHelpTrailerBytes + 4 * HT_TOPIC_OFFSET);
  le::put_u32(bytes.data() + topics + 12 + 8, 0x7FFFFFF0u);
  spelltest::write_file(path_, std::string(bytes.begin(), bytes.end()));
  ASSERT_EQ(0, help_view_load(view_, path_));
  ASSERT_EQ(0, help_show_topic(view_, 0, 0));
  EXPECT_EQ(1, help_show_topic(view_, 1, 0));
  EXPECT_EQ("First", topic());
  EXPECT_EQ("0", help_query(view_, "offset"));
  canvas_.clear();
  help_paint(view_);
  ASSERT_FALSE(canvas_.drawn.empty());
  EXPECT_EQ("first topic text", canvas_.drawn[0].text);
  EXPECT_EQ(6, help_point_to_text(view_, 6 + 6 * 8 + 1, 5));  // the 't' of "topic"
  EXPECT_EQ(0, help_command(view_, "copyall", "N"));
  EXPECT_STREQ("first topic text", canvas_.clipboard.data());
}

TEST_F(HelpLayout, ClosingTheFileDropsTheLines) {
  load("@topic T\nhello\n");
  ASSERT_EQ(0, help_show_topic(view_, 0, 0));
  help_view_close(view_);
  EXPECT_TRUE(view_.lines.empty());
  EXPECT_EQ(kHelpNoText, help_point_to_text(view_, 10, 5));
  EXPECT_EQ("", topic());
  canvas_.clear();
  help_paint(view_);
  ASSERT_EQ(1u, canvas_.fills.size());
  EXPECT_EQ((HelpRect{0, 0, 200, 100}), canvas_.fills[0].first);
}

}  // namespace
