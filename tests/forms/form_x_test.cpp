// A form with one control of each kind on a private Xvfb: the controls show,
// the gauge at 25 % fills a quarter of its bar, clicks move the focus with
// one lost and one got event per change, a check box cycles and a radio
// group holds one choice.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;

const char* const kNames[] = {"text1", "text2", "ok",         "check",      "radio1",      "radio2",
                              "label", "gauge", "spin",       "list",       "scroll",      "picture",
                              "items", "combo", "combo_edit", "combo_list", "combo_button"};

struct Event {
  std::string name;
  int code = 0;
  int value = 0;
  bool operator==(const Event&) const = default;
};

class Form : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server) << why;
    std::vector<std::string> argv{ZVX_DEMO_FORM};
    argv.insert(argv.end(), demo_args.begin(), demo_args.end());
    demo = server->spawn(argv);
    ASSERT_TRUE(demo);
    auto ready = demo->wait_for_line("ready ", 20s);
    ASSERT_TRUE(ready) << "the demo did not start";
    std::istringstream in(ready->substr(6));
    in >> client;
    for (const char* n : kNames) in >> win[n];
    ASSERT_NE(0u, win["spin"]);
    // The frame takes the X focus as a window manager would give it; the
    // form's remembered control then gets the focus.
    ASSERT_TRUE(server->focus_top_level(client));
  }
  unsigned long px(Window w, int x, int y) { return server->pixel(w, x, y).value_or(0xDEADBEEF); }
  // Events printed from now until no more arrive for a moment.
  unsigned long settled(Window w, int x, int y, unsigned long c) { return server->pixel_when(w, x, y, c); }
  std::vector<Event> events(std::chrono::milliseconds quiet = 700ms) {
    std::vector<Event> out;
    for (auto line = demo->wait_for_line("event ", quiet); line; line = demo->wait_for_line("event ", quiet)) {
      std::istringstream in(line->substr(6));
      Event e;
      in >> e.name >> e.code >> e.value;
      out.push_back(e);
    }
    return out;
  }
  std::vector<std::string> demo_args;  // a macro source for the demo to start
  std::unique_ptr<xtest::XvfbServer> server;
  std::unique_ptr<xtest::ChildProgram> demo;
  Window client = 0;
  std::map<std::string, Window> win;
  const unsigned long kBlue = 0x000080;  // fore-colour 0x800000 (BGR)
  const unsigned long kWhite = 0xFFFFFF;
};

TEST_F(Form, EveryControlShowsAndTheGaugeFillsAQuarter) {
  Display* d = server->display();
  for (const char* n : kNames) {
    XWindowAttributes a{};
    ASSERT_TRUE(XGetWindowAttributes(d, win[n], &a)) << n;
    EXPECT_EQ(std::string(n) == "combo_list" ? IsUnmapped : IsViewable, a.map_state) << n;
  }
  // Bordered list and picture: a black frame around their background.
  EXPECT_EQ(0x000000u, settled(win["list"], 0, 20, 0x000000));
  EXPECT_EQ(kWhite, px(win["list"], 5, 20));
  EXPECT_EQ(0x000000u, px(win["picture"], 20, 0));
  // The gauge is 200 x 24 with a one-pixel frame; its bar inside the frame
  // less 2 on each side is 196 wide, 50 of 0..200 fills 49 pixels from x 2.
  EXPECT_EQ(kBlue, settled(win["gauge"], 2, 12, kBlue));
  EXPECT_EQ(kBlue, px(win["gauge"], 2 + 48, 12));
  EXPECT_EQ(kWhite, px(win["gauge"], 2 + 49, 12));
  EXPECT_EQ(kWhite, px(win["gauge"], 150, 12));
  // The spin control's up arrow in the fore-colour, its background white.
  EXPECT_EQ(kBlue, settled(win["spin"], 10, 12, kBlue));
  EXPECT_EQ(kWhite, px(win["spin"], 1, 2));
}

TEST_F(Form, ClicksMoveTheFocusWithOneLostAndOneGotPerChange) {
  EXPECT_EQ((std::vector<Event>{{"text1", 637, 0}}), events()) << "the first focus";
  ASSERT_TRUE(server->click(win["text2"], 20, 10));
  EXPECT_EQ((std::vector<Event>{{"text1", 638, 0}, {"text2", 637, 0}}), events());
  ASSERT_TRUE(server->click(win["text1"], 20, 10));
  EXPECT_EQ((std::vector<Event>{{"text2", 638, 0}, {"text1", 637, 0}}), events());
  ASSERT_TRUE(server->click(win["text1"], 30, 10));
  EXPECT_TRUE(events().empty()) << "a click where the focus is changes nothing";
  ASSERT_TRUE(server->click(win["label"], 5, 5));
  EXPECT_TRUE(events().empty()) << "a label does not take the focus";
}

// Gauges, spin controls, pictures and scroll bars never take the focus
// from a click: it stays in the form where it was.
TEST_F(Form, ClicksOnPassiveControlsLeaveTheFocusWhereItIs) {
  EXPECT_EQ((std::vector<Event>{{"text1", 637, 0}}), events());
  struct Click {
    const char* control;
    int x, y;
  };
  // columns: control, x, y (the scroll bar's trough, away from its arrows)
  for (const Click c :
       {Click{"gauge", 30, 12}, Click{"spin", 10, 7}, Click{"picture", 20, 20}, Click{"scroll", 9, 50}}) {
    ASSERT_TRUE(server->click(win[c.control], c.x, c.y)) << c.control;
    for (const Event& e : events())
      EXPECT_TRUE(e.code != 637 && e.code != 638) << c.control << " moved the focus: " << e.name << " " << e.code;
  }
  ASSERT_TRUE(server->click(win["text2"], 20, 10));
  EXPECT_EQ((std::vector<Event>{{"text1", 638, 0}, {"text2", 637, 0}}), events()) << "text1 kept it throughout";
}

// Focus movement belongs to the dialog manager's table: without one, Tab
// and Shift+Tab in a form do nothing.
TEST_F(Form, WithoutTheDialogManagerTableTabMovesNothing) {
  EXPECT_EQ((std::vector<Event>{{"text1", 637, 0}}), events());
  for (const char* key : {"Tab", "shift+Tab", "Tab"}) {
    ASSERT_TRUE(server->keys({key}));
    EXPECT_TRUE(events().empty()) << key << " moved the focus";
  }
  ASSERT_TRUE(server->click(win["text2"], 20, 10));
  EXPECT_EQ((std::vector<Event>{{"text1", 638, 0}, {"text2", 637, 0}}), events()) << "text1 kept it";
}

bool viewable(Display* d, Window w) {
  XWindowAttributes a{};
  return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

TEST_F(Form, ComboDropDownOpensAndClosesWithItsGrab) {
  Display* d = server->display();
  EXPECT_EQ((std::vector<Event>{{"text1", 637, 0}}), events());
  ASSERT_FALSE(viewable(d, win["combo_list"]));
  ASSERT_TRUE(server->click(win["combo_button"], 5, 5));
  for (int i = 0; i < 50 && !viewable(d, win["combo_list"]); ++i) std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(viewable(d, win["combo_list"])) << "the arrow drops the list";
  EXPECT_EQ((std::vector<Event>{{"text1", 638, 0}, {"combo_edit", 637, 0}}), events())
      << "the arrow gives the focus to the combo box's text part";
  // While dropped the list holds the pointer: a click on another control
  // closes it and reaches nothing else.
  ASSERT_TRUE(server->click(win["text2"], 20, 10));
  for (int i = 0; i < 50 && viewable(d, win["combo_list"]); ++i) std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(viewable(d, win["combo_list"]));
  EXPECT_TRUE(events().empty()) << "the click outside went to the list, not to the text box";
  ASSERT_TRUE(server->click(win["text2"], 25, 10));
  EXPECT_EQ((std::vector<Event>{{"combo_edit", 638, 0}, {"text2", 637, 0}}), events()) << "released afterwards";
}

// A dropped list closes when its form moves (Tab out of the text part, the
// dialog manager's key, is tested with the default macros on a macro form).
TEST_F(Form, ComboDropDownClosesWhenTheFormMoves) {
  Display* d = server->display();
  events();
  int spot = 4;
  auto drop = [&] {
    // A new spot each time: a move to where the pointer is never ends.
    if (!server->click(win["combo_button"], ++spot, 5)) return false;
    for (int i = 0; i < 50 && !viewable(d, win["combo_list"]); ++i) std::this_thread::sleep_for(20ms);
    return viewable(d, win["combo_list"]);
  };
  auto closed = [&] {
    for (int i = 0; i < 50 && viewable(d, win["combo_list"]); ++i) std::this_thread::sleep_for(20ms);
    return !viewable(d, win["combo_list"]);
  };
  ASSERT_TRUE(drop());
  // The form's frame moved, as a user drags it (no window manager here).
  Window w = client, root = 0, parent = 0, *kids = nullptr;
  unsigned n = 0;
  for (;;) {
    ASSERT_TRUE(XQueryTree(d, w, &root, &parent, &kids, &n));
    if (kids) XFree(kids);
    if (parent == root) break;
    w = parent;
  }
  XMoveWindow(d, w, 60, 50);
  XFlush(d);
  EXPECT_TRUE(closed()) << "the form moved";
}

TEST_F(Form, CheckBoxCyclesAndRadioGroupHoldsOneChoice) {
  events();
  std::vector<int> values;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(server->click(win["check"], 8 + 3 * i, 10));  // a new spot: a move to where the pointer is never ends
    for (const Event& e : events())
      if (e.name == "check" && e.code == 603) values.push_back(e.value);
  }
  EXPECT_EQ((std::vector<int>{2, 1, 0}), values) << "style 1 goes 0, 2, 1, 0";
  ASSERT_TRUE(server->click(win["radio2"], 8, 10));
  std::vector<Event> got = events();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ((Event{"radio2", 603, 1}), got.back());
  ASSERT_TRUE(server->click(win["radio1"], 8, 10));
  got = events();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ((Event{"radio1", 603, 1}), got.back());
  ASSERT_TRUE(server->click(win["ok"], 20, 10));
  got = events();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ("ok", got.back().name);
  EXPECT_EQ(603, got.back().code);
}

// The scroll bar (18 x 100, values 0..10, small change 2, large change 5):
// its arrows step the value by the small change, its trough by the large
// one, clamped at the ends; a step at an end raises nothing.
TEST_F(Form, ScrollBarArrowsStepBySmallChangeAndTheTroughByLargeChange) {
  events();
  struct Step {
    const char* what;
    int y;      // where the click lands along the bar
    int value;  // the value ON-CHANGE reports; -1: no event
  };
  // columns: what is clicked, y, value after it
  const Step steps[] = {
      {"down arrow", 93, 2},
      {"trough below the thumb", 80, 7},
      {"trough below the thumb", 80, 10},
      {"down arrow at the maximum", 93, -1},
      {"up arrow", 8, 8},
      {"trough above the thumb", 20, 3},
      {"trough above the thumb", 20, 0},
      {"up arrow at the minimum", 8, -1},
  };
  int x = 12;
  for (const Step& s : steps) {
    ASSERT_TRUE(server->click(win["scroll"], x, s.y)) << s.what;
    x = x == 12 ? 11 : 12;  // a new spot each time: a move to where the pointer is never ends
    std::vector<int> changes;
    for (const Event& e : events())
      if (e.name == "scroll" && e.code == 639) changes.push_back(e.value);
    if (s.value < 0)
      EXPECT_TRUE(changes.empty()) << s.what;
    else
      EXPECT_EQ(std::vector<int>{s.value}, changes) << s.what;
  }
}

// The list "items" (100 x 60, bordered, blue on white) holds three items,
// the cursor on the last: the items are drawn one row each from the top,
// the chosen one as a full blue band, and nothing below the last.
TEST_F(Form, AListDrawsItsItemsAndTheChosenOne) {
  Display* d = server->display();
  const Window w = win["items"];
  ASSERT_EQ(0x000000u, settled(w, 0, 30, 0x000000)) << "the border";
  std::vector<int> blue(60, 0);  // blue pixels of each row inside the border
  bool drawn = false;
  for (int attempt = 0; attempt < 100 && !drawn; ++attempt) {
    XSync(d, False);
    XImage* im = XGetImage(d, w, 1, 0, 98, 60, AllPlanes, ZPixmap);
    ASSERT_NE(nullptr, im);
    for (int y = 0; y < 60; ++y) {
      blue[y] = 0;
      for (int x = 0; x < 98; ++x) blue[y] += (XGetPixel(im, x, y) & 0xFFFFFF) == kBlue;
    }
    XDestroyImage(im);
    for (int y = 0; y < 60; ++y) drawn = drawn || blue[y] > 50;
    if (!drawn) std::this_thread::sleep_for(20ms);
  }
  ASSERT_TRUE(drawn) << "no chosen item";
  int band = 0, band_end = 0;
  while (band < 60 && blue[band] <= 50) ++band;
  band_end = band;
  while (band_end < 60 && blue[band_end] > 50) ++band_end;
  const int h = band_end - band;
  EXPECT_GE(h, 8) << "one row of the font";
  // Blue fills more than half of every row of the band (its letters are
  // white); above it the two other items in blue text on white, in rows of
  // their own: ink, but never half a row.
  EXPECT_GE(band, 1 + 2 * (h - 2));
  int ink_above = 0;
  for (int y = 1; y < band; ++y) {
    EXPECT_LE(blue[y], 50) << "row " << y;
    ink_above += blue[y];
  }
  EXPECT_GT(ink_above, 40) << "the other items' text";
  // Below the last item only the white paper.
  for (int y = band_end; y < 59; ++y) EXPECT_EQ(0, blue[y]) << "row " << y;
}

// The same form with macros whose dialog-manager table binds Tab to a
// command that only counts: keys in controls go through the binding
// search, so Tab runs that command and the focus stays; Shift+Tab, bound
// nowhere, does nothing either.
class FormWithMacros : public Form {
 protected:
  void SetUp() override {
    demo_args = {std::string(ZVX_TEST_DATA_DIR) + "/forms/data/ctl_keys.e"};
    Form::SetUp();
  }
};

TEST_F(FormWithMacros, TabRunsItsBindingAndAnUnboundShiftTabDoesNothing) {
  EXPECT_EQ((std::vector<Event>{{"text1", 637, 0}}), events());
  for (const char* count : {"1", "2"}) {
    ASSERT_TRUE(server->keys({"Tab"}));
    auto line = demo->wait_for_line("global tabbed ", 5s);
    ASSERT_TRUE(line) << "Tab did not run its binding";
    EXPECT_EQ(std::string("global tabbed ") + count, *line);
    EXPECT_TRUE(events().empty()) << "the focus moved although the binding took Tab";
  }
  ASSERT_TRUE(server->click(win["text2"], 20, 10));
  EXPECT_EQ((std::vector<Event>{{"text1", 638, 0}, {"text2", 637, 0}}), events());
  ASSERT_TRUE(server->keys({"shift+Tab"}));
  EXPECT_TRUE(events().empty()) << "an unbound Shift+Tab moved the focus";
}

}  // namespace
