// Fuzz target: lexer definition files (.zlx): registering the sections, the
// deferred parse of each, with every error reported, and colouring a few
// lines with what was parsed.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "display/lexer.h"
#include "macro/names.h"
#include "tests/support/headless/lex_error_fakes.h"

namespace {
const char* const kLines[] = {
    "int x = 1; /* a */ // b", "#include \"x.h\"", "  REM note", "\"open \\",   "0x1E+5 1.5e-3 &H1F $ff",
    "{ (* /* nested */ *) }",  "      * col 7",    "'c' ''''",   "\t\tx\t= y;",
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 18)) return 0;
  // Every error is reported: the procedure they go to exists.
  static bool once = [] {
    if (name_pool_init() != 0) std::abort();
    return name_insert("_clex_error", NameEntry{.flags = NF_PROC}) > 0;
  }();
  if (!once) std::abort();
  lexerrorfake::install();
  lex_reset_all();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // Twice: the second load re-registers the same names over parsed records.
  for (int round = 0; round < 2; ++round) {
    if (lex_load_text(text, "f.zlx") != 0) std::abort();
    for (int h = 1; LexerDef* lx = lex_by_handle(h); ++h) {
      lex_select(lx);
      if (lx->ml_count > 2 || lx->checkfirst_count > kLexMaxCheckFirst) std::abort();
      for (const char* line : kLines) {
        const std::string l(line);
        std::vector<uint16_t> attrs(l.size());
        for (int s : {0, 1, 5, 9, 12, 13, 14}) {
          lex_select(lx);
          const int e = lex_colour_line(reinterpret_cast<const uint8_t*>(l.data()), static_cast<int32_t>(l.size()),
                                        attrs.data(), s);
          const int st =
              lex_line_state(lx, reinterpret_cast<const uint8_t*>(l.data()), static_cast<int32_t>(l.size()), s);
          if (e < 0 || e > 15 || st < 0 || st > 15 || st == 8) std::abort();
        }
      }
    }
  }
  for (const auto& [index, report] : lexerrorfake::frame.posts)
    if (report.size() > 1024) std::abort();
  return 0;
}
