// The display's built-ins that reach the application through its ports: the
// screen refresh, the MDI arrangements, the editor views a colour change
// redraws, and the current object following its cursor. Without the
// application these get the headless answers, whose records show what was
// asked of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/colours.h"
#include "display/display_settings.h"
#include "macro/opcodes.h"
#include "tests/macro/builtin_fixture.h"
#include "tests/support/headless/mdi_arrange_fakes.h"
#include "tests/support/headless/redraw_fakes.h"
#include "tests/support/headless/refresh_fakes.h"

namespace {

using bitest::Out;

class DisplayBuiltins : public bitest::BufferBuiltinTest {
 protected:
  void SetUp() override {
    BufferBuiltinTest::SetUp();
    ASSERT_TRUE(display_register_opcodes(vm_dispatch));
    display_settings_reset();
    colours_reset();
    refreshfake::install();
    mdiarrangefake::install();
    redrawfake::install();
  }
  void TearDown() override {
    display_settings_reset();
    colours_reset();
    BufferBuiltinTest::TearDown();
  }
  // A window object of its own, made current.
  WindowObject* object(int32_t type = 0) {
    WindowObject* w = window_alloc_record();
    w->type = type;
    window_set_current(w, 0);
    return w;
  }
};

TEST_F(DisplayBuiltins, RefreshRefreshesTheScreenUnlessItsLetterSaysWindowsOnly) {
  struct Case {
    std::vector<std::string> args;
    ErrorCode code;
    int screens;
  };
  const Case cases[] = {{{}, 0, 1}, {{"A"}, 0, 1}, {{"W"}, 0, 0}, {{"f"}, 0, 1}, {{"Z"}, ERR_INVALID_ARGUMENT, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "" : c.args[0]);
    refreshfake::install();
    EXPECT_EQ(c.code, call("refresh", c.args).raised);
    EXPECT_EQ(c.screens, refreshfake::refresh.screens);
    if (c.screens) {
      EXPECT_EQ(1, refreshfake::refresh.depth_seen) << "the built-in's refresh is marked as such";
    }
  }
  EXPECT_EQ(0, refresh_builtin_depth);
}

TEST_F(DisplayBuiltins, OnlyTheFrameObjectArrangesAndTheLettersAreChecked) {
  struct Case {
    const char* mnemonic;
    std::vector<std::string> args;
    bool on_frame;
    ErrorCode stop;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"tile_windows", {}, true, 0, {"tile 0", "save 0"}},
      {"tile_windows", {"V"}, true, 0, {"tile 1", "save 0"}},
      {"tile_windows", {"h"}, true, 0, {"tile 2", "save 0"}},
      {"tile_windows", {"HS"}, true, 0, {"tile 6", "save 0"}},
      {"tile_windows", {"X"}, true, -3015, {}},
      {"tile_windows", {"VC"}, true, -3015, {}},
      {"tile_windows", {"V"}, false, -2073, {}},
      {"tile_windows", {"X"}, false, -2073, {}},
      {"cascade_windows", {}, true, 0, {"cascade", "save 1"}},
      {"cascade_windows", {"S"}, true, 0, {"cascade", "save 1"}},
      {"cascade_windows", {"V"}, true, -3015, {}},
      {"cascade_windows", {}, false, -2073, {}},
      {"arrange_icons", {}, true, 0, {"arrange"}},
      {"arrange_icons", {}, false, -2073, {}},
  };
  WindowObject* other = object();
  WindowObject* frame = object();
  mdiarrangefake::arrange.frame = frame;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mnemonic) + " " + (c.args.empty() ? "" : c.args[0]) + (c.on_frame ? " frame" : ""));
    window_set_current(c.on_frame ? frame : other, 0);
    mdiarrangefake::arrange.calls.clear();
    EXPECT_EQ(c.stop, call(c.mnemonic, c.args).stop);
    EXPECT_EQ(c.calls, mdiarrangefake::arrange.calls);
  }
}

TEST_F(DisplayBuiltins, WithoutAFrameObjectEveryArrangementIsRefused) {
  object();
  for (const char* m : {"tile_windows", "cascade_windows", "arrange_icons"}) EXPECT_EQ(-2073, call(m, {}).stop) << m;
  EXPECT_TRUE(mdiarrangefake::arrange.calls.empty());
}

TEST_F(DisplayBuiltins, AColourChangeOfTheTextRedrawsEveryEditorView) {
  struct Case {
    std::vector<std::string> args;
    int views;
  };
  const Case cases[] = {
      {{"1", "255"}, 1},      // a text colour
      {{"20", "", "0"}, 1},   // a colour class's slot
      {{"4", "255"}, 0},      // the message line's: the bands alone
      {{"6", "", "255"}, 0},  // window text: the objects
      {{"1"}, 0},             // a query redraws nothing
      {{"1", "", ""}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + std::to_string(c.args.size()));
    redrawfake::install();
    const Out o = call("color", c.args);
    EXPECT_EQ(0, o.raised);
    EXPECT_EQ(c.views, redrawfake::redraw.views);
  }
  EXPECT_EQ("255 16777215", call("color", {"1"}).value) << "the change itself stays";
}

TEST_F(DisplayBuiltins, TheCurrentObjectFollowsItsCursorWhenItHasOne) {
  open("text\n");
  WindowObject* editor = window_current();
  EXPECT_EQ(0, call("scroll_to_cursor", {}).stop);
  EXPECT_EQ(editor, refreshfake::refresh.scrolled);
  WindowObject* box = object(kObjTypeTextBox);
  EXPECT_EQ(0, call("scroll_to_cursor", {}).stop);
  EXPECT_EQ(box, refreshfake::refresh.scrolled) << "a text box scrolls its field";
  object(kObjTypeEditor);
  EXPECT_EQ(ERR_NOT_ALLOWED_ON_OBJECT, call("scroll_to_cursor", {}).stop) << "a form without a view";
  EXPECT_EQ(2, refreshfake::refresh.scrolls);
}

}  // namespace
