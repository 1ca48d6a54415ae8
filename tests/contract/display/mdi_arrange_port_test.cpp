// What the MDI arrangement built-ins may count on from the application,
// whoever answers: the frame object (or none, before a frame exists) stays
// the same object however the windows are arranged, and an arrangement with
// nothing to arrange returns at once.
#include <gtest/gtest.h>

#include "display/mdi_arrange_port.h"

namespace {

TEST(MdiArrangePort, TheFrameObjectStaysWhateverIsArranged) {
  WindowObject* const frame = app_mdi_frame_object();
  app_mdi_tile(1);
  app_mdi_tile(2);
  app_mdi_cascade();
  app_mdi_arrange_icons();
  app_mdi_save_child_layout(0);
  app_mdi_save_child_layout(1);
  EXPECT_EQ(frame, app_mdi_frame_object());
}

}  // namespace
