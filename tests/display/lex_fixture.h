// Shared set-up of the colour-coding tests: lexers loaded from text, class
// attributes equal to the classes, and lines coloured into class strings.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/lexer.h"

namespace lextest {

// Posted parse-error reports.
inline std::vector<std::string>& reports() {
  static std::vector<std::string> r;
  return r;
}

inline void install_report_capture() {
  reports().clear();
  lex_error_hooks().find_procedure = [] { return 7u; };
  lex_error_hooks().post = [](uint32_t index, std::string_view text) {
    EXPECT_EQ(7u, index);
    reports().emplace_back(text);
  };
}

inline void identity_classes() {
  for (int c = 0; c < kLexClassCount; ++c) lex_set_class_attr(c, static_cast<uint16_t>(c));
}

// One character per cell: the class as 0-9, A, B.
inline std::string colour(LexerDef* lx, const std::string& line, int start, int* end) {
  lex_select(lx);
  std::vector<uint16_t> attrs(line.size() + 1, 0xffff);
  *end = lex_colour_line(reinterpret_cast<const uint8_t*>(line.data()), static_cast<int32_t>(line.size()), attrs.data(),
                         start);
  EXPECT_EQ(0xffff, attrs[line.size()]) << "wrote past the line";
  std::string s;
  for (size_t i = 0; i < line.size(); ++i) s += "0123456789AB"[attrs[i] < 12 ? attrs[i] : 0];
  return s;
}

inline int state(LexerDef* lx, const std::string& line, int start) {
  return lex_line_state(lx, reinterpret_cast<const uint8_t*>(line.data()), static_cast<int32_t>(line.size()), start);
}

}  // namespace lextest
