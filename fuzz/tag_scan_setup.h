// The scanner as the tag parser sets it up, with a "#define" handler that
// only notes the macro's name and reads the definition to its line end, as
// the parser's does. Shared by the scanner's tests and its fuzz target.
#pragma once

#include <string>
#include <vector>

#include "services/tag_parse.h"
#include "services/tag_scan.h"

struct DirectiveLog {
  std::vector<std::string> seen;
};

inline void log_define(TagScan& scan, void* user) {
  auto* log = static_cast<DirectiveLog*>(user);
  const bool old = scan.set_line_mode(true);
  int32_t t = scan.next();
  std::string name = t == kTokIdent ? std::string(scan.text()) : "";
  if (log) log->seen.push_back("define:" + name);
  if (t == kTokIdent) t = scan.next();
  const uint8_t directive = scan.directive_char();
  scan.set_directive_char(0);
  while (t != kTokLineEnd && t != kTokEnd) {
    if (t == kTokChar && scan.token_char() == '\\' && (scan.peek_byte() == '\n' || scan.peek_byte() == '\r'))
      scan.next();
    t = scan.next();
  }
  scan.set_directive_char(directive);
  scan.set_line_mode(old);
}

inline int tag_scan_test_config(TokenScanner& cfg, bool java = false) { return tag_scan_config(cfg, java, log_define); }
