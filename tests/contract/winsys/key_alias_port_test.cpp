// What the key translation may count on from the owner of the raw keypad
// codes, whoever answers: characters keep their codes, and an alias is
// final. The same expectations run against the headless answer and the
// editor's own.
#include <gtest/gtest.h>

#include "winsys/key_alias_port.h"
#include "winsys/x_event_codes.h"

namespace {

TEST(KeyAliasPort, CharactersKeepTheirCodes) {
  for (uint32_t c = 1; c < 256; ++c) EXPECT_EQ(evt_key_alias(c), c) << c;
}

TEST(KeyAliasPort, AnAliasIsFinal) {
  const uint32_t firsts[] = {kXeNamed, kXeShiftNamed, kXeCtrlNamed, kXeAltNamed, kXeCtrlShiftNamed};
  for (uint32_t first : firsts) {
    for (uint32_t n = 0; n < kXeNamedKeys; ++n) {
      const uint32_t once = evt_key_alias(first + n);
      EXPECT_NE(once, 0u) << first + n;
      EXPECT_EQ(evt_key_alias(once), once) << first + n;
    }
  }
}

}  // namespace
