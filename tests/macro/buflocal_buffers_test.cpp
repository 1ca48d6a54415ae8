// Buffer-local variables over real buffers: each buffer keeps its own value
// of every such variable across switches, starts with the declared default,
// and gets a variable declared while it exists.
#include "macro/buflocal.h"

#include "tests/macro/text_bi_fixture.h"

namespace {

class BufLocalBuffers : public textbi::TextBiTest {
 protected:
  static int32_t slot(const char* name) { return var_slot_of(name_find(name, NF_BUFLOCAL)); }
  static std::string value(const char* name) { return var_slot_value(slot(name)); }
  static void set(const char* name, const char* v) { var_assign_slot(slot(name), v); }
};

TEST_F(BufLocalBuffers, EachBufferKeepsItsOwnValues) {
  ASSERT_TRUE(load("bufvar tab-width = \"8\"\n"));
  BufferRec* a = open("a\n", "a.txt");
  EXPECT_EQ(value("tab-width"), "8");
  set("tab-width", "4");
  BufferRec* b = open("b\n", "b.txt");
  EXPECT_EQ(value("tab-width"), "8") << "a new buffer starts with the default";
  set("tab-width", "2");

  // Declared while both buffers exist: each gets the default.
  ASSERT_TRUE(load("bufvar fill-column = \"70\"\n"));
  EXPECT_EQ(value("fill-column"), "70");
  set("fill-column", "60");  // in b

  struct Step {
    BufferRec* show;
    const char* tab_width;
    const char* fill_column;
  };
  for (const Step& s : {Step{a, "4", "70"}, Step{b, "2", "60"}, Step{a, "4", "70"}}) {
    SCOPED_TRACE(s.show == a ? "a" : "b");
    ASSERT_EQ(0, view_show_buffer(s.show, 0));
    EXPECT_EQ(value("tab-width"), std::string(s.tab_width));
    EXPECT_EQ(value("fill-column"), std::string(s.fill_column));
  }

  // Closing b frees its copies; a keeps its own.
  store_close_buffer(b);
  buf_free(b);
  set("tab-width", "3");
  ASSERT_EQ(0, view_show_buffer(open("c\n", "c.txt"), 0));
  EXPECT_EQ(value("tab-width"), "8");
  ASSERT_EQ(0, view_show_buffer(a, 0));
  EXPECT_EQ(value("tab-width"), "3");
}

}  // namespace
