#include "store_fixture.h"
using namespace storetest;
TEST_F(StoreTest, Smoke) {
  BufferRec* b = load("a\nbb\nccc\n");
  EXPECT_EQ((std::vector<std::string>{"a", "bb", "ccc"}), lines_forward(b));
  EXPECT_EQ((std::vector<std::string>{"a", "bb", "ccc"}), lines_backward(b));
  EXPECT_EQ("", store_check(b));
  PosRecord p{};
  pos_goto_line(2, &p, b);
  EXPECT_EQ("bb", line_get_string(&p, b));
  EXPECT_EQ(0, line_insert_text("xy", 2, &p, b));
  EXPECT_EQ((std::vector<std::string>{"a", "bb", "xy", "ccc"}), lines_forward(b));
  EXPECT_EQ(0, line_delete(&p, b));
  EXPECT_EQ((std::vector<std::string>{"a", "bb", "ccc"}), lines_forward(b));
  EXPECT_EQ("", store_check(b));
}
