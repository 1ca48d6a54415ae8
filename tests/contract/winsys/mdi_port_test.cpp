// What the MDI layer may count on from the application for its Window menu,
// whoever answers.
#include <gtest/gtest.h>

#include "winsys/mdi_port.h"
#include "winsys/window_rec.h"

namespace {

TEST(WinsysMdiPort, AWindowShowingNoDocumentHasNoNameSoItsTitleShows) {
  EXPECT_EQ("", mdi_menu_name(nullptr));
  XfWindow stranger{};  // no editor window is shown in it
  EXPECT_EQ("", mdi_menu_name(&stranger));
}

}  // namespace
