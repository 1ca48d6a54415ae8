// The help viewer's painting, selection rectangles, point-to-text, links
// (spanning lines, highlighted, clicked), commands, copying and the mouse,
// on the recording canvas.
#include <gtest/gtest.h>

#include "tests/services/help_view_fixture.h"

namespace {

using helptest::HelpViewTest;

// The first paragraph's link wraps over three lines at width 100:
//   "See " "the " | "second " | "topic here"@0 | " now." "\n" | "Other " "third"@1 | " end"
const char* kLinks = R"(@topic Start
See {link Second}the second topic here{/link} now.
Other {link Third}third{/link} end
@topic Second
second body
@topic Third
third body
)";

class HelpLinks : public HelpViewTest {
 protected:
  void SetUp() override {
    HelpViewTest::SetUp();
    load(kLinks, 100, 200);
    ASSERT_EQ(0, help_show_topic(view_, 0, 0));
  }
  // The texts of the highlighted runs, in order.
  std::string highlighted() const {
    std::string out;
    for (const HelpLine& l : view_.lines)
      for (const HelpRun& r : l.runs)
        if (r.highlighted) out += "[" + text_of(r) + "]";
    return out;
  }
};

TEST_F(HelpLinks, TheLinkSpansThreeLines) {
  EXPECT_EQ(
      "16/12|6:See |38:the /f1 ; 16/12|6:second /f1 ; 16/12|6:topic here/f1@0 ; 16/12|6: now.|46:\\n ; "
      "16/12|6:Other |54:third/f1@1 ; 16/12|6: end",
      dump());
}

TEST_F(HelpLinks, NextAndPreviousHighlightWholeLinks) {
  struct Step {
    const char* command;
    const char* highlighted;
  };
  const Step steps[] = {
      {"nextht", "[the ][second ][topic here]"},
      {"NextHT", "[third]"},
      {"nextht", "[the ][second ][topic here]"},  // round to the first
      {"prevht", "[third]"},
      {"prevht", "[the ][second ][topic here]"},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(0, help_command(view_, s.command, ""));
    EXPECT_EQ(s.highlighted, highlighted()) << s.command;
  }
}

TEST_F(HelpLinks, BackwardWithNothingHighlightedTakesTheLastLink) {
  help_command(view_, "prevht", "");
  EXPECT_EQ("[third]", highlighted());
}

TEST_F(HelpLinks, GotoFollowsTheHighlightedOrTheFirstLink) {
  help_command(view_, "gotoht", "");
  EXPECT_EQ("Second", topic());
  ASSERT_EQ(0, help_show_topic(view_, 0, 0));
  help_command(view_, "nextht", "");
  help_command(view_, "nextht", "");
  help_command(view_, "gotoht", "");
  EXPECT_EQ("Third", topic());
}

TEST_F(HelpLinks, ClickOnAnyPartOfALinkFollowsIt) {
  struct Case {
    int32_t x, y;
    const char* topic;
  };
  const Case cases[] = {
      {40, 5, "Second"},                     // "the " on the first line
      {10, 20, "Second"},                    // "second " on the second
      {80, 40, "Second"},                    // "topic here", the run carrying the link
      {60, 70, "Third"},  {10, 5, "Start"},  // "See "
      {97, 5, "Start"},                      // right of everything
      {10, 100, "Start"},                    // below the lines
  };
  for (const Case& c : cases) {
    ASSERT_EQ(0, help_show_topic(view_, 0, 0));
    canvas_.last_x = c.x;
    canvas_.last_y = c.y;
    help_mouse_press(view_, c.x, c.y, false);
    EXPECT_EQ(c.topic, topic()) << c.x << "," << c.y;
  }
}

TEST_F(HelpLinks, ADragSelectsAndNeverFollows) {
  canvas_.script = {{HelpTrackKind::Move, 30, 20}, {HelpTrackKind::ButtonUp, 30, 20}};
  help_mouse_press(view_, 40, 5, false);
  EXPECT_EQ("Start", topic());
  EXPECT_EQ("1", help_query(view_, "selactive"));
  EXPECT_EQ(8, std::min(view_.sel_anchor, view_.sel_end));  // the "t" of "the", after the font escape
  // A key while the button is down ends the press without a click.
  help_command(view_, "deselect", "");
  EXPECT_EQ("0", help_query(view_, "selactive"));
  canvas_.script = {{HelpTrackKind::Key, 0, 0}};
  help_mouse_press(view_, 40, 5, false);
  EXPECT_EQ("Start", topic());
}

TEST_F(HelpLinks, ShiftExtendsTheSelectionFromItsAnchor) {
  canvas_.script = {{HelpTrackKind::Move, 20, 20}, {HelpTrackKind::ButtonUp, 20, 20}};
  help_mouse_press(view_, 7, 5, false);
  const int32_t anchor = view_.sel_anchor;
  canvas_.script = {};
  canvas_.last_x = 20;
  canvas_.last_y = 40;
  help_mouse_press(view_, 20, 40, true);
  EXPECT_EQ(anchor, view_.sel_anchor);
  EXPECT_EQ(help_point_to_text(view_, 20, 40), view_.sel_end);
  EXPECT_EQ("Start", topic());
}

TEST_F(HelpLinks, DraggingBelowTheWindowScrollsByTheDistance) {
  std::string body = "@topic Long\n";
  for (int i = 0; i < 60; ++i) body += "line " + std::to_string(i) + "\n";
  load(body, 200, 100);
  ASSERT_EQ(0, help_show_topic(view_, 0, 0));
  // 5 pixels below (75 twips): one step every 100 ms; 50 below (750 twips):
  // four steps every 50 ms; then back inside.
  canvas_.script = {{HelpTrackKind::Move, 20, 105}, {HelpTrackKind::Timer, 0, 0},  {HelpTrackKind::Move, 20, 150},
                    {HelpTrackKind::Timer, 0, 0},   {HelpTrackKind::Move, 20, 50}, {HelpTrackKind::ButtonUp, 20, 50}};
  const int32_t anchor = help_point_to_text(view_, 20, 5);
  help_mouse_press(view_, 20, 5, false);
  ASSERT_EQ(2u, canvas_.timers.size());
  EXPECT_EQ(100u, canvas_.timers[0]);
  EXPECT_EQ(50u, canvas_.timers[1]);
  // Passes: 1 step, 1 step, 4 steps, 4 steps of 26 pixels.
  EXPECT_EQ(10 * 26, help_vpos(view_));
  EXPECT_EQ(anchor, view_.sel_anchor);
  EXPECT_EQ(help_point_to_text(view_, 20, 50), view_.sel_end);
}

TEST_F(HelpLinks, HitTestingHonoursTheHorizontalScroll) {
  canvas_.set_size(400, 100);
  layout_raw("aaaaaaaaaaaaaaaaaa\001c1 link\001l0 \001c0 ");
  ASSERT_EQ("16/12|6:aaaaaaaaaaaaaaaaaa|150:link/f1@0", dump());
  canvas_.set_size(100, 100);
  view_.hlimit = 300;
  help_hscroll_to(view_, 100);
  struct Case {
    int32_t x;
    bool hit;
  };
  for (const Case c : {Case{49, false}, Case{50, true}, Case{81, true}, Case{82, false}}) {
    layout_raw("aaaaaaaaaaaaaaaaaa\001c1 link\001l0 \001c0 ");
    canvas_.set_size(100, 100);
    view_.hlimit = 300;
    help_hscroll_to(view_, 100);
    EXPECT_EQ(c.hit, help_link_at(view_, c.x, 5)) << c.x;
    canvas_.set_size(400, 100);
  }
}

TEST_F(HelpLinks, PaintDrawsLinksInTheirColours) {
  canvas_.clear();
  help_paint(view_);
  ASSERT_GE(canvas_.drawn.size(), 3u);
  EXPECT_EQ("See ", canvas_.drawn[0].text);
  EXPECT_EQ(0x000000u, canvas_.drawn[0].fg);
  EXPECT_EQ(0xFFFFFFu, canvas_.drawn[0].bg);
  EXPECT_EQ("the ", canvas_.drawn[1].text);
  EXPECT_EQ(38, canvas_.drawn[1].x);
  EXPECT_EQ(0x008000u, canvas_.drawn[1].fg);
  help_command(view_, "nextht", "");
  canvas_.clear();
  help_paint(view_);
  EXPECT_EQ(0xFF00FFu, canvas_.drawn[1].fg);
  EXPECT_EQ(0x000000u, canvas_.drawn[1].bg);
  // Line feeds draw nothing; the rest of the window below the lines is filled.
  for (const auto& d : canvas_.drawn) EXPECT_EQ(std::string::npos, d.text.find('\n'));
  EXPECT_EQ((HelpRect{0, 6 * 16, 100, 200}), canvas_.fills.back().first);
}

class HelpText : public HelpViewTest {};

TEST_F(HelpText, PointToText) {
  load("@topic T\nabc def\nxy\n", 200, 100);
  ASSERT_EQ(0, help_show_topic(view_, 0, 0));
  ASSERT_EQ("16/12|6:abc def|62:\\n ; 16/12|6:xy", dump());
  struct Case {
    int32_t x, y, offset;
  };
  const Case cases[] = {
      {0, 5, 0},      // left of the first run
      {-5, -5, 0},    // negative as 0
      {9, 5, 0},      // before the midpoint of 'a'
      {10, 5, 1},     // past it: 'b'
      {57, 5, 6},     // 'f'
      {61, 5, 7},     // left of the line feed's run
      {100, 5, 8},    // right of everything: the next line's start
      {7, 20, 8},     // 'x'
      {100, 20, 10},  // right of the last line: the end of its last run
      {5, 90, 10},    // below the lines
  };
  for (const Case& c : cases) EXPECT_EQ(c.offset, help_point_to_text(view_, c.x, c.y)) << c.x << "," << c.y;
  // A picture narrower than four margins: its left half gives the escape,
  // its right half the byte after it.
  layout_raw("\001b0 x");
  ASSERT_EQ("34/30|6:[b0]|16:x", dump());
  for (const Case& c : {Case{7, 5, 0}, Case{10, 20, 0}, Case{11, 5, 1}, Case{15, 30, 1}, Case{17, 5, 4}})
    EXPECT_EQ(c.offset, help_point_to_text(view_, c.x, c.y)) << "picture " << c.x;
}

TEST_F(HelpText, SelectionRectanglesAndTheirChanges) {
  load("@topic T\nabc def\nxy\n", 200, 100);
  ASSERT_EQ(0, help_show_topic(view_, 0, 0));
  view_.sel_anchor = 9;
  view_.sel_end = 1;  // either order
  canvas_.clear();
  help_paint(view_);
  ASSERT_EQ(2u, canvas_.inverted.size());
  EXPECT_EQ((HelpRect{14, 0, 70, 16}), canvas_.inverted[0]);
  EXPECT_EQ((HelpRect{6, 16, 14, 32}), canvas_.inverted[1]);
  // From [1, 5) to [1, 9): only the strip on the right of the first line and
  // the new second line are inverted.
  canvas_.clear();
  help_invert_selection_change(view_, 1, 9, 1, 5);
  ASSERT_EQ(2u, canvas_.inverted.size());
  EXPECT_EQ((HelpRect{46, 0, 70, 16}), canvas_.inverted[0]);
  EXPECT_EQ((HelpRect{6, 16, 14, 32}), canvas_.inverted[1]);
  // Shrinking back inverts the same areas again.
  canvas_.clear();
  help_invert_selection_change(view_, 1, 5, 1, 9);
  EXPECT_EQ((HelpRect{46, 0, 70, 16}), canvas_.inverted[0]);
}

TEST_F(HelpText, CommandsScrollAndStepThroughTopics) {
  std::string body;
  for (int t = 0; t < 3; ++t) {
    body += "@topic T" + std::to_string(t) + "\n";
    body += "averyveryverylongwordthatdoesnotfit\n";  // 280 pixels: the horizontal limit is 236
    for (int i = 0; i < 40; ++i) body += "line " + std::to_string(i) + " of a fairly long topic line here\n";
  }
  load(body, 100, 100);
  ASSERT_EQ(0, help_show_topic(view_, 0, 0));
  // A vertical page is the height less 400 twips (26 pixels); a step 26.
  struct Case {
    const char* command;
    int32_t vpos, hscroll;
  };
  const Case cases[] = {
      {"PageDown", 74, 0},   {"page down", 74, 0}, {"scrolldown", 100, 0}, {"scrollup", 74, 0},  {"pageup", 0, 0},
      {"pageup", 0, 0},      {"bottom", -1, 0},    {"top", 0, 0},          {"pageright", 0, 50}, {"scrollright", 0, 76},
      {"scrollleft", 0, 50}, {"pageleft", 0, 0},   {"pageleft", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(0, help_command(view_, c.command, ""));
    EXPECT_EQ(c.vpos < 0 ? view_.vlimit : c.vpos, help_vpos(view_)) << c.command;
    EXPECT_EQ(c.hscroll, view_.hscroll) << c.command;
  }
  EXPECT_EQ(0, help_command(view_, "prevtopic", ""));
  EXPECT_EQ("T0", topic());
  help_command(view_, "nexttopic", "");
  help_command(view_, "nexttopic", "");
  EXPECT_EQ("T2", topic());
  help_command(view_, "nexttopic", "");
  EXPECT_EQ("T2", topic());
  help_command(view_, "prevtopic", "");
  EXPECT_EQ("T1", topic());
  EXPECT_EQ(0, help_command(view_, "no such command", "x"));
}

TEST_F(HelpText, CopyingLaidOutOrRaw) {
  load("@topic T\naaa bbb ccc\n@topic Fonts\n{f 2}big{f 0} and {link T}link{/link}.\n", 60, 100);
  ASSERT_EQ(0, help_show_topic(view_, 0, 0));
  struct Case {
    const char* command;
    const char* argument;
    int32_t from, to;  // a selection, or none when equal
    const char* copied;
  };
  const Case cases[] = {
      {"copy", "", 0, 0, "aaa \nbbb \nccc\n"},  // no selection: the whole topic, a line feed at each wrap
      {"copyall", "", 2, 5, "aaa \nbbb \nccc\n"},
      {"copy", "", 2, 5, "a \nb\n"},     // the part of each line inside; the line before gave bytes
      {"copy", "", 5, 10, "bb \ncc\n"},  // the first line gives nothing
      {"copy", "n", 2, 5, "a b"},
      {"Copy", "Native", 0, 0, "aaa bbb ccc"},
  };
  for (const Case& c : cases) {
    view_.sel_anchor = c.from;
    view_.sel_end = c.to;
    EXPECT_EQ(0, help_command(view_, c.command, c.argument));
    EXPECT_STREQ(c.copied, canvas_.clipboard.data()) << c.command << " " << c.from << ".." << c.to;
    EXPECT_EQ(std::strlen(c.copied) + 1, canvas_.clipboard.size());
  }
  ASSERT_EQ(0, help_show_topic(view_, 1, 0));
  EXPECT_EQ(0, help_command(view_, "copyall", "n"));
  EXPECT_STREQ("big and link.", canvas_.clipboard.data());
}

TEST_F(HelpText, AClipboardThatFailsGivesInsufficientMemory) {
  struct NoClip : helptest::RecordingCanvas {
    NoClip() : RecordingCanvas(200, 100) {}
    bool set_clipboard(const std::vector<char>&) override { return false; }
  } canvas;
  HelpView v(&canvas);
  std::vector<uint8_t> out;
  std::vector<HelpcDiag> diags;
  ASSERT_TRUE(helpc_compile(std::string(helptest::kHeader) + "@topic T\nabc\n", dir_.path(), out, diags));
  spelltest::write_file(dir_ / "c.hlp", std::string(out.begin(), out.end()));
  ASSERT_EQ(0, help_view_load(v, dir_ / "c.hlp"));
  ASSERT_EQ(0, help_show_topic(v, 0, 0));
  EXPECT_EQ(ERR_INSUFFICIENT_MEMORY, help_command(v, "copy", ""));
}

}  // namespace
