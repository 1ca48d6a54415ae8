// The default macros' shift selections with cut and copy, on the forms'
// clipboard (in memory without a display).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/clipboard.h"
#include "tests/macro/default_macros_fixture.h"
#include "text/selection.h"

namespace {

using namespace defaultmacros;

// The clipboard's plain text, without the NUL its writer adds.
std::string held_text() {
  std::string s;
  if (clip_get(ClipFormat::Text, &s) != 0) return "(none)";
  if (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

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
