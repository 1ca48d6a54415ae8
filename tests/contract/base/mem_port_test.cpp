// What the allocator may count on from the layers above, whoever answers:
// the same expectations run against the headless answer and the editor's
// own (with no text store open).
#include <gtest/gtest.h>

#include "base/mem.h"
#include "base/mem_port.h"

namespace {

TEST(MemPort, WithNothingHeldNothingIsGivenBack) {
  EXPECT_FALSE(mem_release(64));
  EXPECT_FALSE(mem_release(1 << 20));
}

TEST(MemPort, ARetryEndsWhenNothingMoreCanBeGivenBack) {
  MemFaultGuard fail(1, true);
  EXPECT_EQ(mem_retry_alloc(32), nullptr);
}

}  // namespace
