// The break-key poll: a flagged break answers at once, the keyboard is asked
// only on every 400th call, and the searches can shorten that countdown.
#include <gtest/gtest.h>

#include "winsys/break_key.h"

namespace {

int probes = 0;
bool key_is_down = false;

bool probe() {
  ++probes;
  return key_is_down;
}

class BreakKey : public ::testing::Test {
 protected:
  void SetUp() override {
    probes = 0;
    key_is_down = false;
    evt_clear_break();
    evt_set_break_probe(probe);
  }
  void TearDown() override {
    evt_set_break_probe(nullptr);
    evt_clear_break();
  }
};

TEST_F(BreakKey, KeyboardIsPolledOnEvery400thCall) {
  key_is_down = true;
  for (int i = 1; i < kBreakPollInterval; ++i) ASSERT_FALSE(evt_break_pressed()) << i;
  EXPECT_EQ(probes, 0);
  EXPECT_TRUE(evt_break_pressed());
  EXPECT_EQ(probes, 1);
  // Seeing the key does not flag a break: released, it is gone.
  key_is_down = false;
  evt_set_break_poll_count(1);
  EXPECT_FALSE(evt_break_pressed());
  EXPECT_EQ(probes, 2);
}

TEST_F(BreakKey, FlaggedBreakAnswersAtOnceUntilCleared) {
  evt_flag_break();
  EXPECT_TRUE(evt_break_pressed());
  EXPECT_TRUE(evt_break_pressed());
  EXPECT_EQ(probes, 0);
  evt_clear_break();
  EXPECT_FALSE(evt_break_pressed());
}

TEST_F(BreakKey, PollCountOnlyLowersTheCountdown) {
  key_is_down = true;
  EXPECT_EQ(evt_set_break_poll_count(1), 1);
  EXPECT_TRUE(evt_break_pressed());
  // A larger count does not put the next poll further away than a full interval.
  EXPECT_EQ(evt_set_break_poll_count(100000), 100000);
  for (int i = 1; i < kBreakPollInterval; ++i) ASSERT_FALSE(evt_break_pressed()) << i;
  EXPECT_TRUE(evt_break_pressed());
  // 3 calls: the third polls.
  evt_set_break_poll_count(3);
  EXPECT_FALSE(evt_break_pressed());
  EXPECT_FALSE(evt_break_pressed());
  EXPECT_TRUE(evt_break_pressed());
}

TEST_F(BreakKey, NoProbeMeansNoKey) {
  evt_set_break_probe(nullptr);
  evt_set_break_poll_count(1);
  EXPECT_FALSE(evt_break_pressed());
}

}  // namespace
