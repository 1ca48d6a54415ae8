// What the names table may count on from the form templates, whoever
// answers: nothing is known of an entry that is no template, nothing
// without a name can be made, and a module's template that does not parse
// is refused as a bad file.
#include <gtest/gtest.h>

#include <vector>

#include "base/messages.h"
#include "macro/names.h"
#include "macro/templates_port.h"

namespace {

class MacroTemplatesPort : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(name_pool_init(), 0); }
  void TearDown() override { name_pool_init(); }
};

TEST_F(MacroTemplatesPort, AnEntryThatIsNoTemplateHoldsNoControls) {
  NameEntry table;
  table.flags = NF_EVENT_TABLE;
  const int32_t index = name_insert("some-table", table);
  ASSERT_GT(index, 0);
  for (uint32_t i : {uint32_t(index), 999u}) {
    EXPECT_EQ(templates_control_type(i, 1), -1) << i;
    EXPECT_EQ(templates_find_control(i, "okay"), -1) << i;
    EXPECT_EQ(templates_control_name(i, 1), "") << i;
    EXPECT_FALSE(templates_picture_in_use(i)) << i;
  }
  templates_entry_deleted(uint32_t(index), NF_EVENT_TABLE);
  templates_table_bound(uint32_t(index), "some-table");
  EXPECT_TRUE(name_table_check());
}

TEST_F(MacroTemplatesPort, NothingWithoutANameIsMade) {
  EXPECT_EQ(templates_create_object("", NF_TEMPLATE | 2u << 11, std::nullopt, 0), ERR_INVALID_ARGUMENT);
  EXPECT_EQ(templates_create_object("", NF_PICTURE, std::nullopt, 0), ERR_INVALID_ARGUMENT);
  EXPECT_EQ(name_count(), 0) << "no entry appeared";
}

TEST_F(MacroTemplatesPort, AModulesTemplateThatDoesNotParseIsABadFile) {
  const std::vector<uint8_t> garbage(37, 0xEE);
  EXPECT_EQ(templates_store_module(garbage), ERR_INCORRECT_VERSION);
  EXPECT_EQ(templates_store_module({}), ERR_INCORRECT_VERSION);
}

}  // namespace
