// What the foundation's environment lookups may count on, whoever answers:
// the same expectations run against the headless answer and the editor's
// own (before any macro changed a variable, the process environment).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/env_port.h"

namespace {

TEST(EnvPort, UntouchedTheProcessEnvironmentIsRead) {
  ASSERT_EQ(setenv("ZVX_ENV_PORT_PROBE", "a=b", 1), 0);
  const char* v = env_lookup("ZVX_ENV_PORT_PROBE");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(std::string(v), "a=b");
  EXPECT_EQ(env_lookup("ZVX_ENV_PORT_ABSENT"), nullptr);
  unsetenv("ZVX_ENV_PORT_PROBE");
}

}  // namespace
