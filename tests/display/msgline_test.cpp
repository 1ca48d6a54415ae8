// Reporting error codes: what is recorded, the quiet-truncation rule, the
// stop hook, the text engine's reports, and the command executor's messages.

#include "display/msgline.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/messages.h"
#include "macro/command_exec.h"
#include "tests/macro/text_bi_fixture.h"
#include "tests/text/store_fixture.h"

namespace {

std::vector<int32_t> stopped;

TEST(MsglineTest, EveryCodeButTruncationStopsTheMacro) {
  msgline_reset_errors();
  stopped.clear();
  msgline_set_stop_hook([](int32_t code) { stopped.push_back(code); });
  msgline_show_error(ERR_NOT_ENOUGH_MEMORY);
  msgline_show_error(ERR_LINES_TRUNCATED);
  EXPECT_EQ(0, msgline_show_error_if(0));
  EXPECT_EQ(ERR_SPILL_IO, msgline_show_error_if(ERR_SPILL_IO));
  EXPECT_EQ((std::vector<int32_t>{ERR_NOT_ENOUGH_MEMORY, ERR_SPILL_IO}), stopped);
  EXPECT_EQ(3, msgline_error_count());
  EXPECT_EQ(ERR_SPILL_IO, msgline_last_error());
  msgline_quiet_truncation = true;
  msgline_show_error(ERR_LINES_TRUNCATED);
  msgline_quiet_truncation = false;
  EXPECT_EQ(3, msgline_error_count()) << "quiet truncation shows nothing";
  msgline_set_stop_hook(nullptr);
}

// As the text engine's report, the message line gets the store's
// "Lines truncated" and keeps it quiet when the option says so.
class MsglineTextTest : public storetest::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    msgline_reset_errors();
  }
  void TearDown() override {
    msgline_quiet_truncation = false;
    StoreTest::TearDown();
  }
};

TEST_F(MsglineTextTest, OverLongLinesAreReportedUnlessQuiet) {
  std::string t(1100, 'L');
  BufferRec* b = new_text();
  PosRecord p{};
  ASSERT_EQ(0, pos_first_line(&p, b));
  ASSERT_EQ(0, line_insert_text(t.data(), 1100, &p, b));
  EXPECT_EQ(1, msgline_error_count());
  EXPECT_EQ(ERR_LINES_TRUNCATED, msgline_last_error());
  msgline_quiet_truncation = true;
  BufferRec* c = new_text();
  PosRecord q{};
  ASSERT_EQ(0, pos_first_line(&q, c));
  ASSERT_EQ(0, line_insert_text(t.data(), 1100, &q, c));
  EXPECT_EQ(1, msgline_error_count()) << "quiet truncation shows nothing";
}

// A command's error under flag 0x200 goes to the message line instead of
// being raised.
class MsglineCommandTest : public textbi::TextBiTest {};

TEST_F(MsglineCommandTest, AnUnknownCommandShowsOnTheMessageLine) {
  message_state_reset();
  EXPECT_EQ(cmd_execute_line("zvx-no-such-program arg", CMD_LOOKUP | CMD_MESSAGE_LINE), ERR_UNKNOWN_COMMAND);
  EXPECT_EQ(msgline_get_text(), "Unknown command");
  EXPECT_TRUE(vmtest::shown.empty());
  message_state_reset();
}

}  // namespace
