// The default macros' shift selections with cut and copy, on the clipboard
// of a program without windows (what the copy built-ins put there is kept).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/macro/default_macros_fixture.h"
#include "tests/support/headless/text_window_fakes.h"
#include "text/selection.h"

namespace {

using namespace defaultmacros;

// The clipboard's text.
std::string held_text() { return textwintest::windows.clip_text; }

TEST_F(DefaultMacros, ShiftSelectsAndCutCopyUseTheClipboard) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<EventCode> keys;
    std::vector<std::string> want;
    std::string clip;
  };
  const Case cases[] = {
      {"shift right twice, cut", "abcd\n", {kShiftRight, kShiftRight, kCtrlX}, {"cd"}, "ab"},
      {"shift left from the end, cut", "abcd\n", {kEvEnd, kShiftLeft, kCtrlX}, {"abc"}, "d"},
      {"shift left then right shrinks back", "abcd\n", {kShiftRight, kShiftRight, kShiftLeft, kCtrlX}, {"bcd"}, "a"},
      {"shift home back to the start, cut", "abcd\n", {kEvRight, kEvRight, kShiftHome, kCtrlX}, {"cd"}, "ab"},
      {"shift end, copy keeps the text", "abcd\n", {kEvRight, kShiftEnd, kCtrlC}, {"abcd"}, "bcd"},
      {"shift down across a line end, cut", "abc\ndef\n", {kEvRight, kShiftDown, kCtrlX}, {"aef"}, "bc\nd"},
      {"shift up across a line end, cut", "abc\ndef\n", {kEvDown, kEvRight, kShiftUp, kCtrlX}, {"aef"}, "bc\nd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowObject* w = editor(c.text);
    type(w, c.keys);
    EXPECT_EQ(text_of(w), c.want);
    EXPECT_EQ(held_text(), c.clip);
    type(w, {'X'});  // the cursor stays where the cut text was
    if (SelectionMarks* a = sel_active_peek()) sel_clear(a);
  }
}

}  // namespace
