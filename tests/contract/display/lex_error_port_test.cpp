// What the lexer files' error report may count on from the frame, whoever
// answers: a report is taken whole (NUL bytes and all) and the caller goes
// on at once, whether or not a frame is there to run the procedure.
#include <gtest/gtest.h>

#include <string>

#include "display/lex_error_port.h"
#include "display/lexer.h"

namespace {

TEST(LexErrorPort, APostReturnsAtOnceWithOrWithoutAFrame) {
  const std::string text = lex_error_text("bad.zlx", -3555, "C", "BOGUS", "1");
  ASSERT_EQ(std::string("bad.zlx\0-3555 C]BOGUS=1", 23), text);
  lex_error_post(1, text);
  lex_error_post(1, std::string(1024, 'x'));
  SUCCEED();
}

}  // namespace
