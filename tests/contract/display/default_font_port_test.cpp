// What the font built-in may count on from the fonts' owners, whoever
// answers: an owner that is not there has nothing to tell, and a change it
// cannot apply leaves the display's record as it is.
#include <gtest/gtest.h>

#include <string>

#include "display/colours.h"
#include "display/default_font_port.h"

namespace {

TEST(DefaultFontPort, NoOwnerHasNothingToTellAndTheRecordStays) {
  for (int32_t id : {2, 8, 10, 12, 500, 502, 504, 506}) {
    SCOPED_TRACE(id);
    std::string face = "untouched";
    int32_t tenths = -1;
    uint32_t flags = 77;
    EXPECT_FALSE(default_font_query(id, &face, &tenths, &flags) && !face.empty());
    const DefaultFont before = *default_font(id / 2);
    default_font_changed(id);
    EXPECT_STREQ(before.face, default_font(id / 2)->face);
    EXPECT_EQ(before.size, default_font(id / 2)->size);
  }
}

}  // namespace
