// The message and status lines without windows: the layout of the status
// band for narrow and wide frames, click hit-tests, the message flags, the
// command history in its buffer, and command-line execution options.

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "display/cmd_history.h"
#include "display/msgline.h"
#include "tests/support/headless/cmdline_fakes.h"
#include "tests/text/store_fixture.h"
#include "text/curline.h"

namespace {

// Band metrics of a made-up font: every width differs, so a field placed
// from the wrong width shows.
StatusMetrics metrics() {
  StatusMetrics m;
  m.font_height = 14;
  m.twips_per_pixel = 15;
  m.w_line_label = 25;
  m.w_line_value = 48;
  m.w_blank = 3;
  m.w_col_label = 20;
  m.w_col_value = 36;
  m.w_mode = 70;
  m.w_insert = 18;
  m.w_w = 9;
  return m;
}

// Field widths from those metrics: 226 pixels from the line label to the end
// of the insert field; gaps 45 twips = 3 pixels and 180 twips = 12 pixels; the
// command line's full width 3270 twips = 218 pixels.
TEST(StatusLayout, NarrowAndWideBands) {
  struct Case {
    const char* what;
    int32_t width;
    bool fields;
    int32_t cmd_right;
    int32_t line_label;  // where the fields start
  };
  const Case cases[] = {
      {"wide: the command line grows until the fields end at the right", 800, true, 562, 574},
      {"medium: full width, the fields run past the end", 400, true, 222, 234},
      {"narrow: ends three pixels before the band's end", 150, true, 147, 159},
      {"very narrow: never below one W", 10, true, 13, 25},
      {"command line alone", 800, false, 788, 800},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const StatusLayout l = msgline_status_layout_compute(metrics(), c.width, c.fields);
    EXPECT_EQ(4, l.cmd_left);
    EXPECT_EQ(3, l.cmd_top);
    EXPECT_EQ(14 + 2 + 2, l.cmd_height);
    EXPECT_EQ(c.cmd_right, l.cmd_right);
    EXPECT_EQ(c.line_label, l.line_label);
    EXPECT_EQ(c.line_label + 25, l.line_value);
    EXPECT_EQ(c.line_label + 73, l.line_end);
    EXPECT_EQ(c.line_label + 76, l.col_label);
    EXPECT_EQ(c.line_label + 132, l.col_end);
    EXPECT_EQ(c.line_label + 135, l.mode_left);
    EXPECT_EQ(c.line_label + 208, l.insert_left);
    EXPECT_EQ(c.line_label + 226, l.insert_end);
  }
  EXPECT_EQ(800, msgline_status_layout_compute(metrics(), 800, true).insert_end);
}

TEST(StatusLayout, ClicksHitFieldsAndNothingBetween) {
  const StatusLayout l = msgline_status_layout_compute(metrics(), 800, true);
  const std::pair<int32_t, const char*> cases[] = {
      {573, nullptr},        {574, "gui_goto_line"}, {646, "gui_goto_line"}, {647, nullptr},       {649, nullptr},
      {650, "gui_goto_col"}, {705, "gui_goto_col"},  {706, nullptr},         {709, "select_mode"}, {778, "select_mode"},
      {780, nullptr},        {782, "insert_toggle"}, {799, "insert_toggle"}, {800, nullptr},       {100, nullptr},
  };
  for (const auto& [x, command] : cases) {
    SCOPED_TRACE(x);
    const char* got = status_field_command(msgline_status_hit(l, x));
    if (command)
      EXPECT_STREQ(command, got);
    else
      EXPECT_EQ(nullptr, got);
  }
}

TEST(StatusFields, ValueTexts) {
  EXPECT_EQ("", status_line_text(-1));
  EXPECT_EQ("0", status_line_text(0));
  EXPECT_EQ("99999999", status_line_text(99999999));
  EXPECT_EQ("", status_column_text(0));
  EXPECT_EQ("999999", status_column_text(999999));
  EXPECT_STREQ("Ins", status_insert_text(1));
  EXPECT_STREQ("Rep", status_insert_text(0));
  status_set_mode("A-MODE-NAME-LONGER-THAN-TWENTY");
  EXPECT_EQ("A-MODE-NAME-LONGER-T", status_fields().mode);
}

class MessageLine : public ::testing::Test {
 protected:
  void SetUp() override {
    message_state_reset();
    msgline_reset_errors();
    redraw_bits = 0;
  }
  void TearDown() override {
    message_state_reset();
    msgline_set_delay(nullptr);
    msgline_set_error_box(nullptr);
    redraw_bits = 0;
  }
};

TEST_F(MessageLine, SameTextTwicePaintsOnceAndTextsAreCut) {
  msgline_set_text("hello");
  msgline_set_text("hello");
  EXPECT_EQ(1, message_state().paints);
  msgline_set_text(std::string(1500, 'm'));
  EXPECT_EQ(static_cast<size_t>(kMessageCapacity), msgline_get_text().size());
  EXPECT_EQ(2, message_state().paints);
}

TEST_F(MessageLine, ShownMessageIsPendingAndAsksForTheFlush) {
  msgline_show("one");
  EXPECT_EQ("one", msgline_get_text());
  EXPECT_EQ("one", message_state().pending);
  EXPECT_EQ(kRedrawMessage, redraw_bits);
  message_state().mode = 'O';
  msgline_show("two");
  EXPECT_EQ(kRedrawMessage | kRedrawMessageO, redraw_bits);
}

// A pending code shows at the refresh's flush, not when it was set.
TEST_F(MessageLine, PendingCodeShowsAtTheFlush) {
  msgline_show("before");
  msgline_set_pending_code(ERR_BOTTOM_OF_FILE);
  EXPECT_EQ("before", msgline_get_text());
  disp_flush_message();
  EXPECT_EQ("Bottom of file", msgline_get_text());
  EXPECT_EQ(0u, redraw_bits & kRedrawMessage);
}

TEST_F(MessageLine, NextKeyClearsUnlessSticky) {
  for (bool sticky : {false, true}) {
    SCOPED_TRACE(sticky);
    message_state_reset();
    msgline_show("msg");
    message_state().keep = sticky;
    disp_flush_message();
    msgline_key_pressed();
    EXPECT_EQ(sticky ? "msg" : "", msgline_get_text());
    msgline_key_pressed();
    EXPECT_EQ(sticky ? "msg" : "", msgline_get_text());
  }
}

bool key_came(int32_t) { return true; }
bool no_key(int32_t) { return false; }

TEST_F(MessageLine, KeyPrefixWaitsForItsDelay) {
  message_state().key_prefix_delay = 50;
  msgline_set_delay(key_came);
  msgline_show_key_prefix("Ctrl+K");
  EXPECT_EQ("", msgline_get_text()) << "the next key came first";
  msgline_set_delay(no_key);
  msgline_show_key_prefix("Ctrl+K");
  EXPECT_EQ("Ctrl+K", msgline_get_text());
  msgline_show_key_prefix("");
  EXPECT_EQ("", msgline_get_text());
  msgline_show("kept");
  message_state().keep = true;
  msgline_show_key_prefix("");
  EXPECT_EQ("kept", msgline_get_text());
}

std::vector<std::pair<int32_t, std::string>> boxed;

TEST_F(MessageLine, ErrorsGoToTheBoxAndTruncationNeverStaysPending) {
  boxed.clear();
  msgline_set_error_box([](int32_t code, std::string_view text) { boxed.emplace_back(code, std::string(text)); });
  msgline_show_error(ERR_LINES_TRUNCATED);
  EXPECT_EQ(0, message_state().pending_code);
  msgline_show_error(ERR_INVALID_ARGUMENT);
  EXPECT_EQ(ERR_INVALID_ARGUMENT, message_state().pending_code);
  ASSERT_EQ(2u, boxed.size());
  EXPECT_EQ("Lines truncated", boxed[0].second);
  EXPECT_EQ("Invalid argument", boxed[1].second);
  // Without a box the text goes to the message line.
  msgline_set_error_box(nullptr);
  msgline_show_error(ERR_BOTTOM_OF_FILE);
  EXPECT_EQ("Bottom of file", msgline_get_text());
  EXPECT_EQ(ERR_BOTTOM_OF_FILE, message_state().pending_code);
}

TEST_F(MessageLine, TextCopyIsTerminatedAndCut) {
  EXPECT_STREQ("Invalid argument", msg_text_copy(ERR_INVALID_ARGUMENT));
  for (int32_t code = -4000; code < 0; code += 7) ASSERT_LE(std::strlen(msg_text_copy(code)), 255u);
}

// ---------------------------------------------------------------- history

class History : public storetest::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    cmd_history_attach(new_text());
    cmdlinefake::install();
    runs.clear();
    disp_set_command_runner([](std::string_view line, uint32_t flags) {
      runs.emplace_back(std::string(line), flags);
      return line == "fail" ? int32_t{-2} : int32_t{0};
    });
  }
  void TearDown() override {
    cmd_history_attach(nullptr);
    disp_set_command_runner(nullptr);
    cmdlinefake::install();
    StoreTest::TearDown();
  }
  std::string prev() {
    std::string s;
    EXPECT_TRUE(cmd_history_prev(&s));
    return s;
  }
  std::string next() {
    std::string s;
    EXPECT_TRUE(cmd_history_next(&s));
    return s;
  }
  static inline std::vector<std::pair<std::string, uint32_t>> runs;
};

TEST_F(History, EmptyHistoryGivesNothing) {
  std::string s = "x";
  EXPECT_FALSE(cmd_history_prev(&s));
  EXPECT_FALSE(cmd_history_next(&s));
  cmd_history_record("");
  EXPECT_EQ(0, cmd_history_count());
}

TEST_F(History, DuplicateOfTheNewestIsRecordedOnce) {
  for (const char* c : {"a", "b", "b", "a"}) cmd_history_record(c);
  EXPECT_EQ(3, cmd_history_count());
  EXPECT_EQ((std::vector<std::string>{"a", "b", "a"}), storetest::lines_forward(cmd_history_buffer()));
}

TEST_F(History, StepsWrapBothWays) {
  for (const char* c : {"one", "two", "three"}) cmd_history_record(c);
  EXPECT_FALSE(cmd_history_browsing());
  EXPECT_EQ("three", prev()) << "the first step shows the newest without moving";
  EXPECT_EQ("two", prev());
  EXPECT_EQ("one", prev());
  EXPECT_EQ("three", prev()) << "past the oldest wraps to the newest";
  EXPECT_EQ("one", next()) << "past the newest wraps to the oldest";
  EXPECT_EQ("two", next());
  EXPECT_TRUE(cmd_history_browsing());
  cmd_history_record("four");
  EXPECT_FALSE(cmd_history_browsing());
  EXPECT_EQ("four", prev()) << "right after a command, previous shows it";
}

TEST_F(History, KeepsThreeHundredLines) {
  for (int i = 1; i <= kHistoryLimit; ++i) cmd_history_record("c" + std::to_string(i));
  EXPECT_EQ(kHistoryLimit, cmd_history_count());
  cmd_history_record("c301");
  EXPECT_EQ(kHistoryLimit, cmd_history_count());
  const std::vector<std::string> lines = storetest::lines_forward(cmd_history_buffer());
  EXPECT_EQ("c2", lines.front());
  EXPECT_EQ("c301", lines.back());
  EXPECT_EQ("c301", prev());
  EXPECT_EQ("c2", next());
}

TEST_F(History, ExecutionFlagsOptionsAndRecording) {
  struct Case {
    const char* options;
    uint32_t flags;
    bool recorded;
  };
  const Case cases[] = {
      {"", 805, true}, {"W", 549, false}, {"a", 673, false}, {"R", 801, true}, {"war", 933, true}, {"ZL", 545, false},
  };
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string text = "cmd" + std::to_string(++i);
    cmdlinefake::cmdline.text = "typed";
    EXPECT_EQ(0, disp_execute_command_line(&text, c.options));
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(text, runs.back().first);
    EXPECT_EQ(c.flags, runs.back().second);
    EXPECT_EQ(c.recorded, storetest::lines_forward(cmd_history_buffer()).back() == text);
    EXPECT_EQ(c.recorded ? "" : "typed", cmdlinefake::cmdline.text) << "recording empties the command line";
  }
}

TEST_F(History, BadOptionRunsNothingAndCommandLineTextRunsWithoutOne) {
  EXPECT_FALSE(exec_options_valid("WX"));
  EXPECT_TRUE(exec_options_valid("wArZl"));
  EXPECT_EQ(ERR_INVALID_ARGUMENT, disp_execute_command_line(nullptr, "Q"));
  EXPECT_TRUE(runs.empty());
  cmdlinefake::cmdline.text = "fail";
  EXPECT_EQ(-2, disp_execute_command_line(nullptr, ""));
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ("fail", runs[0].first);
  EXPECT_EQ("fail", prev());
}

}  // namespace
