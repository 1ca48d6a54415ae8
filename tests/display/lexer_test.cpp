#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/messages.h"
#include "display/lexer.h"
#include "tests/display/lex_fixture.h"
#include "tests/special_files.h"
#include "tests/temp_dir.h"

namespace {

using lextest::colour;
using lextest::reports;
using lextest::state;

const char* kLexers = R"zlx(
; lexers of the table below
[T]
IDCHARS=a-zA-Z_ a-zA-Z0-9_
CASE-SENSITIVE=Y
MLCOMMENT=/* */
LINECOMMENT=//
STYLES=DQBACKSLASH SQBACKSLASH XHEX EFLOAT DQMULTILINE
PPKEYWORDS=#include #define
KEYWORDS=if int return
SYMBOL1== ==

[N]
IDCHARS=a-z a-z
CASE-SENSITIVE=Y
MLCOMMENT=/* */ NESTING
KEYWORDS=x

[D]
IDCHARS=a-z a-z
CASE-SENSITIVE=Y
STYLES=DQDOUBLES

[I]
CASE-SENSITIVE=No
IDCHARS=a-zA-Z_ a-zA-Z0-9_
MLCOMMENT=(* *)
KEYWORDS=while if
CSKEYWORDS=Main
LINECOMMENT=REM LEADING

[X]
IDCHARS=a-z a-z
CASE-SENSITIVE=Y
LINECOMMENT=* 7 CHECKFIRST

[M]
IDCHARS=a-z a-z
CASE-SENSITIVE=Y
MLCOMMENT=/* */
STYLES=DQUOTE DQMULTILINE DQTERMINATE

[P]
IDCHARS=a-z a-z
CASE-SENSITIVE=Y
STYLES=DQUOTE DQMULTILINE

[K]
IDCHARS=a-zA-Z a-zA-Z
CASE-SENSITIVE=Y
MLCOMMENT=/* */
MLCKEYWORDS=TODO

[L]
IDCHARS=a-zA-Z a-zA-Z
CASE-SENSITIVE=Y
LINECOMMENT=10

[Y]
IDCHARS=a-z a-z
CASE-SENSITIVE=Y
MLCOMMENT=/* */ NESTING
MLCOMMENT={ } NESTING
)zlx";

class LexerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lex_reset_all();
    lextest::install_report_capture();
    lextest::identity_classes();
    ASSERT_EQ(0, lex_load_text(kLexers, "t.zlx"));
  }
  void TearDown() override {
    lex_reset_all();
    lex_default_class_attrs();
    lextest::drop_report_procedure();
  }
};

struct LineCase {
  const char* lexer;
  std::string line;
  int start;
  const char* classes;
  int colour_end;
  int state_end;
};

TEST_F(LexerTest, LinesColourAndEndInTheirStates) {
  const LineCase cases[] = {
      {"T", "/* a */ x = 1;", 0, "55555550008030", 0, 0},
      {"T", "/* open", 0, "5555555", 1, 1},
      {"T", "still */ y", 1, "5555555500", 0, 0},
      {"T", "/* a */ b /* c", 0, "55555550005555", 1, 1},
      {"N", "/* /* */", 0, "55555555", 1, 1},
      {"N", "/* /* */ */ x", 0, "5555555555502", 0, 0},
      {"T", "\"a\\\"b\" x", 0, "44444400", 0, 0},
      {"D", "\"a\"\"b\" x", 0, "44444400", 0, 0},
      {"T", "s = \"open", 0, "008044444", 13, 13},
      {"T", "still\" + 1", 13, "4444440003", 0, 0},
      {"T", "abc", 13, "444", 13, 13},
      {"T", "", 13, "", 13, 13},
      {"T", "", 3, "", 3, 3},
      {"M", "\"open", 0, "00000", 13, 13},
      {"M", "ab\" x", 13, "44400", 0, 0},
      // No multi-line comment: no line state is kept, so the string ends with its line.
      {"P", "\"open", 0, "44444", 13, 0},
      {"T", "0x1E+5", 0, "333303", 0, 0},
      {"T", "1.5e+10", 0, "3333333", 0, 0},
      {"T", "x = .5;", 0, "0080330", 0, 0},
      {"T", "a==b", 0, "0880", 0, 0},
      {"T", "a = 'x';", 0, "00804440", 0, 0},
      {"T", "x = 1; // note", 0, "00803005555555", 8, 0},
      {"T", "#include <a.h>", 0, "66666666000000", 0, 0},
      {"T", "  # define X", 0, "000000000000", 0, 0},
      {"T", "int x; return", 0, "2220000222222", 0, 0},
      {"T", "intx", 0, "0000", 0, 0},
      {"T", std::string("a\0b", 3), 0, "000", 0, 0},
      {"T", "\xe9t\xe9 \xff", 0, "00000", 0, 0},
      {"T", "\"a /* b\" c", 0, "4444444400", 0, 0},
      {"T", "// x /* y", 0, "555555555", 8, 0},
      {"I", "if If IF", 0, "22022022", 0, 0},
      {"I", "While", 0, "22222", 0, 0},
      {"I", "Main main", 0, "222200000", 0, 0},
      {"I", "  REM hello", 0, "55555555555", 8, 0},
      {"I", "  rem x", 0, "5555555", 8, 0},
      {"I", "REMARK x", 0, "00000000", 0, 0},
      {"I", "(* a *) x (* b", 0, "55555550005555", 1, 1},
      {"X", "      * note", 0, "555555555555", 8, 0},
      {"X", "*abc", 0, "0000", 0, 0},
      {"X", "   *", 0, "0000", 0, 0},
      {"K", "/*TODO fix", 0, "2222222222", 2, 2},
      {"K", "more */ x", 2, "222222200", 0, 0},
      {"K", "/* plain", 0, "55555555", 1, 1},
      {"L", "abcdefghijKLM", 0, "0000000005555", 0, 0},
      {"L", "abc", 0, "000", 0, 0},
      // Comment 2 keeps its depth at 4: never the string state 13.
      {"Y", "{{{{{{", 0, "555555", 12, 12},
      {"Y", "}", 12, "5", 11, 11},
      {"Y", "/*/*/*/*/*/*/*/*/*", 0, "555555555555555555", 7, 7},
      {"Y", "{ /* }", 0, "555555", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.lexer) + ": \"" + c.line + "\" from " + std::to_string(c.start));
    LexerDef* lx = lex_find(c.lexer);
    ASSERT_NE(nullptr, lx);
    int end = -1;
    EXPECT_EQ(c.classes, colour(lx, c.line, c.start, &end));
    EXPECT_EQ(c.colour_end, end);
    EXPECT_EQ(c.state_end, state(lx, c.line, c.start));
  }
  EXPECT_TRUE(reports().empty()) << reports().front();
}

// The state computation and the colouring agree on every line of a corpus
// from every start state, but for a line comment (8 against 0).
TEST_F(LexerTest, StateComputationAgreesWithColouring) {
  const std::vector<std::string> lines = {
      "int x = 1; /* a",
      "  b */ y",
      "/* /* */ */",
      "\"s /* t\" /*",
      "'c' // c",
      "}}}} {{{",
      "*/ x /* y */",
      "x = \"a\\",
      "{ { } /* */ }",
      "(* a (* b *)",
      "REM x",
      "   ",
      "",
      "/*TODO",
      "/*/*/*/*/*/*/*/*/*/*",
      "*/ */ */ */ */ */ */ */",
      "\"\"\"",
      "a \"b\" \"c",
  };
  for (const char* name : {"T", "N", "I", "M", "K", "Y"}) {
    LexerDef* lx = lex_find(name);
    for (const auto& line : lines)
      for (int s = 0; s < 16; ++s) {
        if (s == 8) continue;  // never stored
        int end = -1;
        colour(lx, line, s, &end);
        const int st = state(lx, line, s);
        EXPECT_EQ(end == 8 ? 0 : end, st) << name << ": \"" << line << "\" from " << s;
        EXPECT_TRUE(st >= 0 && st < 16 && st != 8);
      }
  }
}

// A line of the full 1024 columns: nothing read or written past it.
TEST_F(LexerTest, FullWidthLineStaysInsideItsCells) {
  std::string line(1024, 'x');
  line.replace(1000, 3, "/* ");
  int end = -1;
  const std::string cls = colour(lex_find("T"), line, 0, &end);
  EXPECT_EQ(std::string(1000, '0') + std::string(24, '5'), cls);
  EXPECT_EQ(1, end);
}

TEST_F(LexerTest, NamesMatchWithoutCaseAndAreCut) {
  ASSERT_EQ(0, lex_load_text("[  A very long section name indeed ]\nIDCHARS=a a\nCASE-SENSITIVE=Y\n", "n.zlx"));
  EXPECT_NE(nullptr, lex_find("a VERY long section"));
  EXPECT_EQ(lex_find("t"), lex_find("T"));
  EXPECT_EQ(nullptr, lex_find("Q"));
}

TEST_F(LexerTest, CharacterSetsTakeRangesToTheLastCodeAndEscapes) {
  ASSERT_EQ(0, lex_load_text("[S]\nIDCHARS=a-z a-z\\-\\\\\nCASE-SENSITIVE=Y\nKEYWORDS=a-b\n", "s.zlx"));
  ASSERT_EQ(0, lex_load_text(std::string("[H]\nIDCHARS=\x80-\xff \x80-\xff\nCASE-SENSITIVE=Y\nKEYWORDS=\xe9\xff\n"),
                             "h.zlx"));
  int end = 0;
  EXPECT_EQ("22000", colour(lex_find("H"), "\xe9\xff \xe9\xfe", 0, &end));
  lex_select(lex_find("S"));
  LexerDef* s = lex_find("S");
  EXPECT_NE(0, s->idmap['-']);
  EXPECT_NE(0, s->idmap['\\']);
  EXPECT_EQ(0, s->idmap['A']);  // not in either set
}

struct BadCase {
  const char* body;
  int32_t code;
  const char* entry;  // the reported key=value
  size_t reports;
};

TEST(LexerFileErrors, ReportCodeAndTextOnFirstUse) {
  const std::string head = "IDCHARS=a-z a-z\nCASE-SENSITIVE=Y\n";
  const BadCase cases[] = {
      {"KEYWORDS = if\nKEYWORDS=x", ERR_LEX_INVALID_NAME, "KEYWORDS = if", 1},
      {"BOGUS=1", ERR_LEX_INVALID_NAME, "BOGUS=1", 1},
      {"STYLES=DQUOTE BOGUS SQUOTE\nKEYWORDS=x", ERR_LEX_INVALID_STYLE, "STYLES=DQUOTE BOGUS SQUOTE", 1},
      {"MLCOMMENT=/*", ERR_LEX_INVALID_MLCOMMENT, "MLCOMMENT=/*", 1},
      {"MLCOMMENT=/* */ WRONG", ERR_LEX_INVALID_MLCOMMENT, "MLCOMMENT=/* */ WRONG", 1},
      {"MLCOMMENT=/* */ FOLLOWEDBY", ERR_LEX_INVALID_MLCOMMENT, "MLCOMMENT=/* */ FOLLOWEDBY", 1},
      {"MLCOMMENT=/*234567890 */", ERR_LEX_INVALID_MLCOMMENT, "MLCOMMENT=/*234567890 */", 1},
      {"MLCOMMENT=/* 1 LEADING", ERR_LEX_INVALID_MLCOMMENT, "MLCOMMENT=/* 1 LEADING", 1},
      {"MLCOMMENT=%% 1 LEADING %% EXTRA\nKEYWORDS=x", ERR_LEX_INVALID_MLCOMMENT, "MLCOMMENT=%% 1 LEADING %% EXTRA", 1},
      {"MLCOMMENT=/* */\nMLCOMMENT=(* *)\nMLCOMMENT={ }", ERR_LEX_TOO_MANY_MLCOMMENTS, "MLCOMMENT={ }", 1},
      {"MLCOMMENT=rem */", ERR_LEX_IDENT_MLCOMMENTS, "MLCOMMENT=rem */", 1},
      {"MLCOMMENT=/* end", ERR_LEX_IDENT_MLCOMMENTS, "MLCOMMENT=/* end", 1},
      {"LINECOMMENT=-- BOGUS\nKEYWORDS=x", ERR_LEX_INVALID_LINECOMMENT, "LINECOMMENT=-- BOGUS", 1},
      {"LINECOMMENT=*234567890 CHECKFIRST", ERR_LEX_INVALID_LINECOMMENT, "LINECOMMENT=*234567890 CHECKFIRST", 1},
      {"LINECOMMENT=*1 1 CHECKFIRST\nLINECOMMENT=*2 1 CHECKFIRST\nLINECOMMENT=*3 1 CHECKFIRST\n"
       "LINECOMMENT=*4 1 CHECKFIRST\nLINECOMMENT=*5 1 CHECKFIRST\nLINECOMMENT=*6 1 CHECKFIRST\nKEYWORDS=x",
       ERR_LEX_TOO_MANY_CHECKFIRST, "LINECOMMENT=*6 1 CHECKFIRST", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    lex_reset_all();
    lextest::install_report_capture();
    ASSERT_EQ(0, lex_load_text("[B]\n" + head + c.body + "\n[Next]\n" + head, "bad.zlx"));
    EXPECT_TRUE(reports().empty()) << "reported at load";
    lex_select(lex_find("B"));
    ASSERT_EQ(c.reports, reports().size());
    EXPECT_EQ(std::string("bad.zlx") + '\0' + std::to_string(c.code) + " B]" + c.entry, reports()[0]);
  }
  // Keys before both IDCHARS and CASE-SENSITIVE.
  lex_reset_all();
  lextest::install_report_capture();
  ASSERT_EQ(0, lex_load_text("[B]\nIDCHARS=a a\nKEYWORDS=if\nCASE-SENSITIVE=Y\n", "bad.zlx"));
  lex_select(lex_find("B"));
  ASSERT_EQ(1u, reports().size());
  EXPECT_EQ(std::string("bad.zlx\0-3551 B]KEYWORDS=if", 27), reports()[0]);
  // Without the procedure nothing is posted.
  lextest::drop_report_procedure();
  ASSERT_EQ(0, lex_load_text("[B]\nKEYWORDS=if\n", "bad.zlx"));
  lex_select(lex_find("B"));
  EXPECT_TRUE(reports().empty());
  lex_reset_all();
  lextest::drop_report_procedure();
}

TEST(LexerFileErrors, WhatWasParsedBeforeAnErrorStays) {
  lex_reset_all();
  lextest::install_report_capture();
  lextest::identity_classes();
  ASSERT_EQ(0, lex_load_text("[B]\nIDCHARS=a-z a-z\nCASE-SENSITIVE=Y\nSTYLES=DQUOTE BOGUS SQUOTE\nKEYWORDS=if\n"
                             "LINECOMMENT=-- junk\nBAD=1\nKEYWORDS=else\n",
                             "b.zlx"));
  LexerDef* b = lex_find("B");
  int end = 0;
  EXPECT_EQ("220000004440000", colour(b, "if else \"x\" 'y'", 0, &end));
  EXPECT_EQ(kStDquote, b->styles1);
  // The bad LINECOMMENT option still defines the comment, as LEADING.
  EXPECT_EQ("5555", colour(b, "--if", 0, &end));
  EXPECT_EQ(8, end);
  EXPECT_EQ("2200022", colour(b, "if --if", 0, &end));
  lex_reset_all();
  lex_default_class_attrs();
  lextest::drop_report_procedure();
}

// A re-parse that stops early keeps nothing of the earlier definitions.
TEST(LexerReload, IncompleteReparseClearsOldDefinitions) {
  lex_reset_all();
  lextest::install_report_capture();
  lextest::identity_classes();
  ASSERT_EQ(0, lex_load_text("[R]\nIDCHARS=a-z a-z\nCASE-SENSITIVE=Y\nKEYWORDS=if\nMLCOMMENT=/* */\n", "1.zlx"));
  LexerDef* r = lex_find("R");
  EXPECT_EQ(1, state(r, "if /*", 0));
  ASSERT_EQ(0, lex_load_text("[R]\nKEYWORDS=if\nMLCOMMENT=/* */\n", "2.zlx"));
  EXPECT_EQ(r, lex_find("R"));
  EXPECT_EQ(0, state(r, "if /*", 0));
  int end = 0;
  EXPECT_EQ("00000", colour(r, "if /*", 0, &end));
  EXPECT_EQ(1u, reports().size());
  lex_reset_all();
  lex_default_class_attrs();
  lextest::drop_report_procedure();
}

// A section still waiting for its parse keeps the text of its file alive
// when another file is loaded over the names.
TEST(LexerReload, PendingSectionSurvivesReloadOfAnother) {
  lex_reset_all();
  lextest::identity_classes();
  {
    std::string first =
        "[S1]\nIDCHARS=a-z a-z\nCASE-SENSITIVE=Y\nKEYWORDS=one\n[S2]\nIDCHARS=a-z a-z\n"
        "CASE-SENSITIVE=Y\nKEYWORDS=two\n";
    ASSERT_EQ(0, lex_load_text(first, "1.zlx"));
    first.assign(first.size(), '#');  // the caller's copy is gone
  }
  int end = 0;
  EXPECT_EQ("222", colour(lex_find("S1"), "one", 0, &end));
  ASSERT_EQ(0, lex_load_text("[S1]\nIDCHARS=a-z a-z\nCASE-SENSITIVE=Y\nKEYWORDS=uno\n", "2.zlx"));
  EXPECT_EQ("000", colour(lex_find("S1"), "one", 0, &end));
  EXPECT_EQ("222", colour(lex_find("S1"), "uno", 0, &end));
  EXPECT_EQ("222", colour(lex_find("S2"), "two", 0, &end));
  lex_reset_all();
  lex_default_class_attrs();
}

TEST(LexerFiles, MissingFileGivesTheOpenCode) {
  lex_reset_all();
  EXPECT_LT(lex_load_file("/nonexistent/dir/x.zlx"), 0);
  EXPECT_EQ(nullptr, lex_find("C"));
}

// Whatever else stands under a lexer file's name gives an error at once
// (no wait on a FIFO, no endless read of /dev/zero, no 64 MiB read), and no
// lexer comes of it; an empty file loads and defines nothing.
TEST(LexerFiles, SpecialFilesInPlaceOfTheLexerFileAreRefusedAtOnce) {
  zvxtest::TempDir dir("zvx-lexfile");
  const std::string path = dir.path() + "/zorvex.zlx";
  struct Case {
    zvxtest::Special kind;
    int32_t want;
  };
  const Case cases[] = {
      {zvxtest::Special::Directory, ERR_ACCESS_DENIED},
      {zvxtest::Special::Fifo, ERR_ACCESS_DENIED},
      {zvxtest::Special::DevZero, ERR_ACCESS_DENIED},
      {zvxtest::Special::Garbage, ERR_LEX_NOT_ENOUGH_MEMORY},
      {zvxtest::Special::Empty, 0},
  };
  for (const zvxtest::SpecialCase& s : zvxtest::kSpecialFiles) {
    SCOPED_TRACE(s.name);
    int32_t want = 1;
    for (const Case& c : cases)
      if (c.kind == s.kind) want = c.want;
    lex_reset_all();
    zvxtest::make_special(path, s.kind);
    zvxtest::Watchdog watch(std::string("lex_load_file of ") + s.name);
    EXPECT_EQ(want, lex_load_file(path.c_str()));
    EXPECT_EQ(nullptr, lex_find("C"));
  }
  lex_reset_all();
}

// The editor's own lexer file parses without an error, and each of its
// lexers colours a line of its language.
TEST(LexerFiles, DefaultLexersColourTheirLanguages) {
  lex_reset_all();
  lextest::install_report_capture();
  lextest::identity_classes();
  ASSERT_EQ(0, lex_load_file(ZVX_TEST_DATA_DIR "/../display/zorvex.zlx"));
  struct Sample {
    const char* lexer;
    const char* line;
    int start;
    const char* classes;
    int end;
  };
  const Sample samples[] = {
      {"C", "#define N 0x1F /* n", 0, "6666666000333305555", 1},
      {"C", "return \"a\\\"\"; // c", 0, "222222044444005555", 8},
      {"C++", "constexpr auto x = nullptr;", 0, "222222222022220000022222220", 0},
      {"Python", "def f(): # x", 0, "222000000555", 8},
      {"Python", "s = \"\"\"doc", 0, "0000444444", 13},
      {"Python", "more\"\"\" if", 13, "4444444022", 0},
      {"Makefile", "CC = $(X) # c", 0, "0000022000555", 8},
      {"Shell", "if [ \"$x\" ]; then # c", 0, "220004444000022220555", 8},
      {"Zozu", "proc t() ; note", 0, "222200000555555", 8},
      {"Zozu", ".main T", 0, "2222200", 0},
  };
  for (const auto& s : samples) {
    SCOPED_TRACE(std::string(s.lexer) + ": " + s.line);
    LexerDef* lx = lex_find(s.lexer);
    ASSERT_NE(nullptr, lx);
    int end = -1;
    EXPECT_EQ(s.classes, colour(lx, s.line, s.start, &end));
    EXPECT_EQ(s.end, end);
  }
  EXPECT_TRUE(reports().empty()) << reports()[0];
  lex_reset_all();
  lex_default_class_attrs();
  lextest::drop_report_procedure();
}

}  // namespace
