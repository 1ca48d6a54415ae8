// Lexer-file error reports without the frame: kept for a test to read.
#include <string>

#include "display/lex_error_port.h"
#include "tests/support/headless/lex_error_fakes.h"
#include "tests/support/headless/mark.h"

void lex_error_post(uint32_t procedure, std::string_view text) {
  lexerrorfake::frame.posts.emplace_back(procedure, std::string(text));
}
