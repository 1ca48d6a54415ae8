// What the view properties may count on from the application: only an
// editor window has a text display. The same expectations run against the
// headless answer and the editor's own.
#include <gtest/gtest.h>

#include "forms/view_port.h"
#include "text/buffer.h"

namespace {

TEST(ViewPort, AnObjectThatIsNoEditorWindowHasNoDisplay) {
  EXPECT_EQ(view_editor_display(nullptr), nullptr);
  WindowObject form{};
  form.type = 2;
  EXPECT_EQ(view_editor_display(&form), nullptr);
}

}  // namespace
