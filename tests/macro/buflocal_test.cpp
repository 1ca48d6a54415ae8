#include "macro/buflocal.h"

#include "macro_fixture.h"

namespace {

using BufLocalTest = MacroFilesTest;

TEST_F(BufLocalTest, NewBufferStartsWithTheDefaultAndSwitchingRestoresValues) {
  write_file(path("a.ex"), sample_module().file());  // declares tab-width = "8"
  uint32_t i;
  bool mf;
  ASSERT_EQ(mod_load_file(path("a.ex"), &i, &mf, false), 0);
  uint32_t var = name_find("tab-width", NF_BUFLOCAL);
  int32_t slot = var_slot_of(var);

  VarList a, b;
  ASSERT_EQ(var_list_init(a, NF_BUFLOCAL), ERR_OK);
  ASSERT_EQ(a.entries.size(), 1u);
  EXPECT_EQ(a.entries[0].value, "8");
  EXPECT_EQ(a.mode_name, "Fundamental");
  EXPECT_EQ(a.event_table, name_find("default-keys", NF_EVENT_TABLE));

  // A is current and changes its value; switch to B, which changes it too.
  var_assign_slot(slot, "4");
  ASSERT_EQ(var_list_save(a), ERR_OK);
  ASSERT_EQ(var_list_init(b, NF_BUFLOCAL), ERR_OK);
  var_list_load(b);
  EXPECT_EQ(var_slot_value(slot), "8");
  var_assign_slot(slot, "2");
  ASSERT_EQ(var_list_save(b), ERR_OK);
  var_list_load(a);
  EXPECT_EQ(var_slot_value(slot), "4");
  var_list_load(b);
  EXPECT_EQ(var_slot_value(slot), "2");

  VarList empty;
  var_list_free(empty);
  EXPECT_TRUE(empty.entries.empty());
}

}  // namespace
