// The tag parser reached from macros as the library "cparse.dll": a macro
// loads it by that name, its entry points are declared through the editor
// API table, and calls list the tags of the current buffer and search them.
#include <gtest/gtest.h>

#include <string>

#include "forms/objects.h"
#include "macro/dll.h"
#include "macro/names.h"
#include "services/opcode_bind.h"
#include "tests/macro/text_bi_fixture.h"

namespace {

class TagLibrary : public textbi::TextBiTest {
 protected:
  void SetUp() override {
    TextBiTest::SetUp();
    ASSERT_TRUE(services_register_opcodes(vm_dispatch));
  }
  void TearDown() override {
    dll_unload_all();
    TextBiTest::TearDown();
  }
};

constexpr const char* kSource = "int count;\nstruct point { int x; };\nstatic int area(int w) { return w; }\n";

TEST_F(TagLibrary, AMacroLoadsCparseAndListsTheTagsOfItsBuffer) {
  open(kSource);
  at(1, 0);
  textbi::Outcome o = run(R"(  push_const "/some/dir/CPARSE.DLL"
  dll_load 1
  push_const "0"
  push_const ""
  push_const ""
  call_link 3, zxc_list_tags
  assign $out)");
  ASSERT_EQ(o.stop, 0);
  EXPECT_EQ(o.out, "0");
  for (const char* name : {"c_proc_search", "zxc_list_tags", "java_proc_search", "zxjava_list_tags"}) {
    const uint32_t i = name_find(name, NF_CALLABLE);
    ASSERT_NE(i, 0u) << name;
    EXPECT_EQ(name_entry(i)->data >> 16, name_find("CPARSE.DLL", NF_DLL_MODULE)) << name;
  }
  // The tag lines go in after the cursor line.
  EXPECT_EQ(text(), std::string("int count;\ncount(gvar)\npoint(struct)\narea(proc)\n") +
                        "struct point { int x; };\nstatic int area(int w) { return w; }\n");
}

// A tag found puts the cursor on its line, through the table's property
// entries on the current window (an editor window of the forms).
TEST_F(TagLibrary, AMacroSearchesForATagThroughTheLibrary) {
  open(kSource);
  obj_type_editor_window(window_current());
  const textbi::Outcome o = run(R"(  push_const "cparse.dll"
  dll_load 1
  push_const "point"
  assign $out2
  push_ref $out2
  push_const "1"
  push_const ""
  call_link 3, c_proc_search
  assign $out
  push_const "nothing_here"
  assign $out3
  push_ref $out3
  push_const "1"
  push_const ""
  call_link 3, c_proc_search
  assign $out4)");
  ASSERT_EQ(o.stop, 0);
  EXPECT_EQ(o.out, "0");
  EXPECT_EQ(o.out2, "point(struct)");
  EXPECT_EQ(o.out4, "-3022");
  EXPECT_EQ(o.out3, "nothing_here");
  EXPECT_EQ(cur_line(), 2) << "on the struct's line";
}

TEST_F(TagLibrary, AnotherNameStillNeedsAFile) {
  open(kSource);
  const textbi::Outcome o = run(R"(  push_const "cparse2.dll"
  dll_load 1)");
  EXPECT_EQ(o.rc, "-2");
}

}  // namespace
