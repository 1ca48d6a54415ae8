// What the macro start-up may count on from the screen, whoever answers:
// the same expectations run against the headless answers and the editor's
// own (without a display, as a program started with no screen has it).
#include <gtest/gtest.h>

#include <string>

#include "macro/startup_port.h"
#include "macro/state_settings.h"

namespace {

TEST(StartupPort, WithoutAScreenABoxIsALineOnStandardError) {
  testing::internal::CaptureStderr();
  startup_message_box("Macro file zorvex.stu not found");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "zorvex: Macro file zorvex.stu not found\n");
}

TEST(StartupPort, BeforeTheObjectsExistTheScreenStartsAndFirstInitRunsAsTheCurrentWindow) {
  EXPECT_EQ(startup_screen_start(), 0);
  EXPECT_EQ(startup_first_child(), nullptr);
}

TEST(StartupPort, SettingsAreTakenWithoutAScreen) {
  startup_apply_settings(settings_defaults());
  SUCCEED() << "the screen half of the settings needs no display";
}

}  // namespace
