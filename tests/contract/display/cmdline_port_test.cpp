// What the message line may count on from the command line's field, whoever
// answers: a text set reads back whole, and a new one replaces it.
#include <gtest/gtest.h>

#include <string>

#include "display/cmdline_port.h"

#ifdef ZVX_CONTRACT_real
#include "forms/objects.h"
#endif

namespace {

class CmdlinePort : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef ZVX_CONTRACT_real
    // The editor's command line is the field of its command-line object.
    ASSERT_EQ(0, objects_init(1024, 768));
#endif
  }
};

TEST_F(CmdlinePort, ASetTextReadsBackAndTheNextReplacesIt) {
  cmdline_set_text("open-file a.c");
  EXPECT_EQ("open-file a.c", cmdline_get_text());
  cmdline_set_text("x");
  EXPECT_EQ("x", cmdline_get_text());
  cmdline_set_text("");
  EXPECT_EQ("", cmdline_get_text());
}

}  // namespace
