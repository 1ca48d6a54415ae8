// Fuzz target: the line lexer over arbitrary lines and start states. The
// first byte picks the lexer and the start state; the line lies in a block of
// exactly its length, so a read past its end shows under the address
// sanitizer, and the attributes get exactly one cell per byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "display/lexer.h"

namespace {
const char* kLexers =
    "[C]\nIDCHARS=a-zA-Z_ a-zA-Z0-9_\nCASE-SENSITIVE=Y\nMLCOMMENT=/* */\nLINECOMMENT=//\n"
    "STYLES=DQBACKSLASH SQBACKSLASH XHEX EFLOAT DQBACKSLASHML\nPPKEYWORDS=#include #define\n"
    "KEYWORDS=int if return\nSYMBOL1== == != ->\n"
    "[N]\nIDCHARS=a-zA-Z\\x80-\\xff a-zA-Z0-9\nCASE-SENSITIVE=N\nMLCOMMENT=(* *) NESTING FOLLOWEDBY a-z\n"
    "MLCOMMENT={ } NESTING LASTCHAR\nMLCKEYWORDS=TODO\nLINECOMMENT=REM LEADING\nLINECOMMENT=* 7 CHECKFIRST\n"
    "LINECOMMENT=72\nSTYLES=DQDOUBLES SQLEN1 DQMULTILINE SQMULTILINE DQTERMINATE ZQHEX AMPHHEX AMPOOCT "
    "DOLLARHEX POUNDBASE HEXH OCTQ OCTO REXXHEX LINENUM UNDERLINEINT DFLOAT\nKEYWORDS=while \"end if\" &&\n"
    "[M]\nIDCHARS=a-z a-z\nCASE-SENSITIVE=Y\nMLCOMMENT=%% 1 LEADING %% LASTCHAR\nMLCOMMENT=<! !>\n"
    "STYLES=DQUOTE SQBACKSLASHML NONUMBERS\n";
LexerDef* lexers[3];
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = [] {
    lex_load_text(kLexers, "fuzz.zlx");
    lexers[0] = lex_find("C");
    lexers[1] = lex_find("N");
    lexers[2] = lex_find("M");
    for (LexerDef* lx : lexers) lex_select(lx);
    return true;
  }();
  (void)once;
  if (size < 1 || size > 1025) return 0;
  LexerDef* lx = lexers[(data[0] >> 4) % 3];
  const int start = data[0] & 15;
  const size_t n = size - 1;
  std::unique_ptr<uint8_t[]> line(new uint8_t[n > 0 ? n : 1]);
  std::memcpy(line.get(), data + 1, n);
  std::unique_ptr<uint16_t[]> attrs(new uint16_t[n > 0 ? n : 1]);
  lex_select(lx);
  const int e = lex_colour_line(line.get(), static_cast<int32_t>(n), attrs.get(), start);
  for (size_t i = 0; i < n; ++i)
    if (attrs[i] > 25) std::abort();
  const int st = lex_line_state(lx, line.get(), static_cast<int32_t>(n), start);
  if (e < 0 || e > 15 || st < 0 || st > 15 || st == 8) std::abort();
  if (std::memcmp(line.get(), data + 1, n) != 0) std::abort();  // the text is never written
  return 0;
}
