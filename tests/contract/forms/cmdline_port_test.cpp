// What the command line's field may count on from the application: it
// takes keys and clicks at most; every other message stays the field's.
// The same expectations run against the headless answer and the editor's
// own.
#include <gtest/gtest.h>

#include "forms/cmdline_port.h"
#include "winsys/message_numbers.h"
#include "winsys/window_rec.h"

namespace {

TEST(CmdlinePort, MessagesOtherThanKeysAndClicksStayTheFields) {
  XfWindow field{};
  for (const uint32_t m : {ZWM_PAINT, ZWM_SIZE, ZWM_TIMER, ZWM_SETFOCUS, ZWM_KILLFOCUS})
    EXPECT_FALSE(cmdline_field_input(&field, m, 0, 0)) << m;
}

}  // namespace
