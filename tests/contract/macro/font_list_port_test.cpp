// What the font built-ins may count on from the font list, whoever answers:
// the same expectations run against the headless answers and the editor's
// own (without a display; the display's X test lists a server's fonts).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macro/font_list_port.h"

namespace {

int32_t collect(std::string_view line, void* user) {
  static_cast<std::vector<std::string>*>(user)->emplace_back(line);
  return 0;
}

TEST(FontListPort, WithoutAServerNoFaceIsListed) {
  std::vector<std::string> lines;
  EXPECT_EQ(font_list_enumerate(1 | 2, "", collect, &lines), 0);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(font_list_enumerate(8, "nosuch-family", collect, &lines), 0);
  EXPECT_TRUE(lines.empty());
}

TEST(FontListPort, AnUnknownFaceIsNeitherScalableNorFixedPitch) {
  EXPECT_EQ(font_list_is_scalable("nosuch-family"), 0);
  EXPECT_EQ(font_list_type_flags("nosuch-family"), 0);
  EXPECT_EQ(font_list_type_flags(""), 0);
}

}  // namespace
