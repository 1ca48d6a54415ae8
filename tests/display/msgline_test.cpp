// Reporting error codes: what is recorded, the quiet-truncation rule, the
// pending code, the text engine's reports, and the command executor's messages.

#include "display/msgline.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/messages.h"
#include "macro/command_exec.h"
#include "tests/macro/text_bi_fixture.h"
#include "tests/text/store_fixture.h"

namespace {

TEST(MsglineTest, EveryCodeButTruncationStaysPendingForTheRefresh) {
  msgline_reset_errors();
  message_state_reset();
  struct Case {
    int32_t code;
    int32_t pending;
  };
  for (const Case& c : {Case{ERR_NOT_ENOUGH_MEMORY, ERR_NOT_ENOUGH_MEMORY}, Case{ERR_LINES_TRUNCATED, 0},
                        Case{ERR_SPILL_IO, ERR_SPILL_IO}}) {
    msgline_show_error(c.code);
    EXPECT_EQ(c.pending, message_state().pending_code) << c.code;
    EXPECT_EQ(msg_code_text(c.code), message_state().pending) << c.code;
  }
  EXPECT_EQ(0, msgline_show_error_if(0));
  EXPECT_EQ(ERR_SPILL_IO, message_state().pending_code) << "code 0 reports nothing";
  EXPECT_EQ(ERR_SPILL_IO, msgline_show_error_if(ERR_SPILL_IO));
  EXPECT_EQ(4, msgline_error_count());
  EXPECT_EQ(ERR_SPILL_IO, msgline_last_error());
  msgline_quiet_truncation = true;
  msgline_show_error(ERR_LINES_TRUNCATED);
  msgline_quiet_truncation = false;
  EXPECT_EQ(4, msgline_error_count()) << "quiet truncation shows nothing";
  EXPECT_EQ(ERR_SPILL_IO, message_state().pending_code);
  message_state_reset();
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
