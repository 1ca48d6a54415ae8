// What the text-control built-ins may count on from the forms, whoever
// answers: an object that is no text control has no field, so it reads as
// empty and nothing changes it; with no editor window there is none to find.
#include <gtest/gtest.h>

#include "display/textctl_port.h"
#include "text/buffer.h"

namespace {

TEST(TextCtlPort, AnObjectWithoutAFieldReadsEmptyAndIgnoresChanges) {
  WindowObject plain{};
  plain.type = 2;  // a form, not a text box
  textctl_set_text(&plain, "typed");
  textctl_set_sel(&plain, 1, 3);
  textctl_set_insert(&plain, 0);
  EXPECT_EQ("", textctl_get_text(&plain));
  int32_t anchor = -7, caret = -7;
  textctl_get_sel(&plain, &anchor, &caret);
  EXPECT_EQ(-7, anchor) << "the ends are left as the caller had them";
  EXPECT_EQ(-7, caret);
  EXPECT_EQ(1, textctl_get_insert(&plain)) << "insert mode unless a field says otherwise";
}

TEST(TextCtlPort, NoEditorWindowMeansNoneIsFoundAndFocusingReturns) {
  EXPECT_EQ(nullptr, textctl_active_editor());
  textctl_focus_current();
  SUCCEED();
}

}  // namespace
