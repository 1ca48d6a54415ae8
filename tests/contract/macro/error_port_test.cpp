// What the macro runtime's error report may count on from the layers above,
// whoever answers: the same expectations run against the headless answers
// and the editor's own (without a display, as a program started with no
// screen has it).
#include <gtest/gtest.h>

#include "base/messages.h"
#include "macro/error_port.h"

namespace {

TEST(ErrorPort, WithoutADisplayShowingNeverWaits) {
  vm_show_error(ERR_STRING_NOT_FOUND, false);
  vm_show_error(ERR_ILLEGAL_OPCODE, true);
  vm_show_error(ERR_BREAK_KEY, true);
  SUCCEED() << "a box nobody can answer is not shown";
}

TEST(ErrorPort, PositionsAreNotRecordedUntilTheOptionAsks) { EXPECT_FALSE(vm_error_positions_wanted()); }

}  // namespace
