// Shared set-up of the colour-coding tests: lexers loaded from text, class
// attributes equal to the classes, and lines coloured into class strings.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/lexer.h"
#include "macro/names.h"
#include "tests/support/headless/lex_error_fakes.h"

namespace lextest {

// The parse-error reports posted to the frame, for the "_clex_error"
// procedure that install_report_capture defines.
inline uint32_t& report_procedure() {
  static uint32_t index = 0;
  return index;
}
inline std::vector<std::string> reports() {
  std::vector<std::string> r;
  for (const auto& [index, text] : lexerrorfake::frame.posts) {
    EXPECT_EQ(report_procedure(), index) << "posted for the procedure";
    r.push_back(text);
  }
  return r;
}

// A names table holding the procedure "_clex_error", and no reports yet.
inline void install_report_capture() {
  ASSERT_EQ(0, name_pool_init());
  NameEntry proc{};
  proc.flags = NF_PROC;
  const int32_t index = name_insert("_clex_error", proc);
  ASSERT_GT(index, 0);
  report_procedure() = static_cast<uint32_t>(index);
  lexerrorfake::install();
}
// The procedure goes: nothing is reported any more.
inline void drop_report_procedure() {
  ASSERT_EQ(0, name_pool_init());
  lexerrorfake::install();
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
