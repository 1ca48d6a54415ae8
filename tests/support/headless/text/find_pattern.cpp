// Directory searches without the text engine match with the foundation's
// interim matcher, which knows the syntax a converted wildcard can hold.
#include "base/find_pattern_port.h"
#include "base/wildcard.h"
#include "tests/support/headless/mark.h"

void* find_pattern_compile(std::string_view expr, ErrorCode* error) { return wildcard::compile(expr, error); }
int find_pattern_match(const void* compiled, std::string_view name) {
  return wildcard::match(static_cast<const wildcard::Program*>(compiled), name);
}
void find_pattern_release(void* compiled) { wildcard::release(static_cast<wildcard::Program*>(compiled)); }
