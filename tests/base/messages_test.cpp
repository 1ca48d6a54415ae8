// The error-message table: composition, in/out code, flags and the ranges.
#include "base/messages.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Looked {
  std::string text;
  int32_t code_after;
  uint32_t flags;
};

Looked look(int32_t code, int32_t cap = LSTR_CAP_LINE) {
  LStrLine out;
  uint32_t flags = 0xDEAD;
  msg_lookup(out, cap, &code, &flags);
  return {std::string(out.view()), code, flags};
}

TEST(Messages, ComposedMessageTakesItsArgument) {
  msg_arg.assign("init.e");
  Looked r = look(ERR_MACRO_FILE_NOT_FOUND);
  EXPECT_EQ(r.text, "Macro file init.e not found");
  EXPECT_EQ(r.code_after, -2023);
  EXPECT_EQ(r.flags, 0u);
}

}  // namespace
