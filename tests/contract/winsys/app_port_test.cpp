// What the window system may count on from the application, whoever
// answers: the headless answer and the editor's own.
#include <gtest/gtest.h>

#include "winsys/app_port.h"

namespace {

TEST(WinsysAppPort, TheOtherKeyFlagTakesEitherValueAtAnyTime) {
  for (bool v : {true, true, false, true, false}) app_set_other_key_flag(v);
  SUCCEED() << "a closing frame never waits for the application";
}

}  // namespace
