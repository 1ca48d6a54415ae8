// Recolouring buffers and the display's built-ins, over the real text engine.
#include <gtest/gtest.h>

#include <string>

#include "display/colours.h"
#include "display/lexer.h"
#include "display/recolour.h"
#include "macro/opcodes.h"
#include "tests/display/lex_fixture.h"
#include "tests/macro/text_bi_fixture.h"
#include "text/curline.h"
#include "text/cursor.h"

namespace {

const char* kC =
    "[C]\nIDCHARS=a-zA-Z_ a-zA-Z0-9_\nCASE-SENSITIVE=Y\nMLCOMMENT=/* */\nLINECOMMENT=//\n"
    "STYLES=DQBACKSLASH\nKEYWORDS=int return\n";

class ColourCode : public textbi::TextBiTest {
 protected:
  void SetUp() override {
    TextBiTest::SetUp();
    ASSERT_TRUE(display_register_opcodes(vm_dispatch));
    lex_reset_all();
    colours_reset();
    ASSERT_EQ(0, lex_load_text(kC, "c.zlx"));
  }
  void TearDown() override {
    lex_reset_all();
    colours_reset();
    TextBiTest::TearDown();
  }
  // A C buffer of n lines "int xK = K;", colour coded, clean.
  BufferRec* c_buffer(int n, const std::string& extra = {}) {
    std::string text = extra;
    for (int i = 1; i <= n; ++i) text += "int x" + std::to_string(i) + " = " + std::to_string(i) + ";\n";
    BufferRec* b = open(text, "big.c");
    lex_set_buffer_lexer(b, lex_find("C"));
    lex_recolour(b);
    return b;
  }
  int stored(BufferRec* b, int line) {
    PosRecord p{};
    p.buffer = b;
    EXPECT_EQ(0, pos_goto_line(line, &p, b));
    return line_get_flags(&p, b) & 15;
  }
  // Lines whose stored state is s.
  int count_state(BufferRec* b, int lines, int s) {
    int k = 0;
    for (int i = 1; i <= lines; ++i) k += stored(b, i) == s;
    return k;
  }
};

TEST_F(ColourCode, CommentTypedOnLine3RecoloursEveryLaterLineAndBack) {
  BufferRec* b = c_buffer(2000);
  EXPECT_EQ(0, count_state(b, 2000, 1));
  at(3, 0);
  ASSERT_EQ(0, line_type_char('/'));
  ASSERT_EQ(0, line_type_char('*'));
  const int64_t before = lex_recolour_lines_lexed();
  EXPECT_EQ(0, lex_recolour(b));
  EXPECT_GE(lex_recolour_lines_lexed() - before, 1998);
  EXPECT_EQ(0, stored(b, 3));
  EXPECT_EQ(1997, count_state(b, 2000, 1));  // lines 4..2000
  EXPECT_EQ(1, stored(b, 2000));
  // The range is clean again: a second pass does nothing.
  const int64_t mid = lex_recolour_lines_lexed();
  EXPECT_EQ(1, lex_recolour(b));
  EXPECT_LE(lex_recolour_lines_lexed() - mid, 3);  // only around the cursor line, still loaded
  line_backspace();
  line_backspace();
  EXPECT_EQ(0, lex_recolour(b));
  EXPECT_EQ(0, count_state(b, 2000, 1));
  EXPECT_GT(lex_recolour_lines_lexed(), mid + 1990);
}

TEST_F(ColourCode, PassStopsAtTheFirstAgreeingLine) {
  std::string text = "a;\nb;\n/*\nc\nd\n*/\n";
  BufferRec* b = c_buffer(2000, text);
  EXPECT_EQ(1, stored(b, 4));
  EXPECT_EQ(1, stored(b, 6));
  EXPECT_EQ(0, stored(b, 7));
  at(3, 0);
  line_delete_char();
  line_delete_char();
  const int64_t before = lex_recolour_lines_lexed();
  EXPECT_EQ(0, lex_recolour(b));
  EXPECT_LE(lex_recolour_lines_lexed() - before, 8);
  EXPECT_EQ(0, count_state(b, 2006, 1));
}

TEST_F(ColourCode, EditThatKeepsTheEndStateChangesOnlyTheCursorLine) {
  BufferRec* b = c_buffer(500);
  at(250, 0);
  for (char c : std::string("/* x */ ")) ASSERT_EQ(0, line_type_char(static_cast<uint8_t>(c)));
  const int64_t before = lex_recolour_lines_lexed();
  EXPECT_EQ(1, lex_recolour(b));
  EXPECT_LE(lex_recolour_lines_lexed() - before, 3);
  EXPECT_EQ(0, count_state(b, 500, 1));
}

TEST_F(ColourCode, ReloadedLexerRecoloursItsBuffers) {
  BufferRec* b = c_buffer(20, "/*\n");
  EXPECT_EQ(20, count_state(b, 21, 1));
  // The same lexer without its multi-line comment.
  ASSERT_EQ(0, lex_load_text("[C]\nIDCHARS=a-z a-z\nCASE-SENSITIVE=Y\nKEYWORDS=int\n", "c2.zlx"));
  lex_select(lex_find("C"));
  EXPECT_EQ(0, b->recolour_first);
  lex_recolour(b);
  EXPECT_EQ(0, count_state(b, 21, 1));
}

TEST_F(ColourCode, ChangingTheBuffersLexerMakesItWholeDirty) {
  BufferRec* b = c_buffer(5);
  EXPECT_GT(b->recolour_first, b->recolour_last);
  ASSERT_EQ(0, lex_load_text("[Other]\nIDCHARS=a a\nCASE-SENSITIVE=Y\n", "o.zlx"));
  lex_set_buffer_lexer(b, lex_find("Other"));
  EXPECT_EQ(0, b->recolour_first);
  EXPECT_EQ(0x7fffffff, b->recolour_last);
}

TEST_F(ColourCode, FilesMatchLexersByExtension) {
  ASSERT_EQ(0, lex_load_file(ZVX_TEST_DATA_DIR "/../display/zorvex.zlx"));
  const struct {
    const char* file;
    const char* lexer;
  } cases[] = {{"a.c", "C"},
               {"/x/y.H", "C"},
               {"m.cpp", "C++"},
               {"s.py", "Python"},
               {"Makefile", "Makefile"},
               {"d/r.mk", "Makefile"},
               {"run.sh", "Shell"},
               {"default.zz", "Zozu"},
               {"notes.txt", nullptr},
               {".c", nullptr},
               {"c", nullptr}};
  for (const auto& c : cases) {
    LexerDef* lx = lex_for_file_name(c.file);
    EXPECT_EQ(c.lexer ? lex_find(c.lexer) : nullptr, lx) << c.file;
  }
}

// ---- built-ins ----

struct BiRow {
  const char* what;
  const char* text;
  int line, col;
  const char* code;
  const char* out;  // null: not checked
  int stop;
  int end_line, end_col;  // -1: not checked
};

TEST_F(ColourCode, BuiltinRows) {
  // clang-format off
  const BiRow rows[] = {
      {"next comment", "int a;\nint b; /* c */\n", 1, 0, "push_const \"32\"\ncolor_coding 1\nassign $out", "0", 0, 2, 7},
      {"previous comment", "/* a */\nint b;\nint c;\n", 3, 2, "push_const \"32\"\npush_const \"-o\"\ncolor_coding 2\nassign $out", "0", 0, 1, 6},
      {"next not keyword", "int a;\n", 1, 0, "push_const \"4\"\npush_const \"N\"\ncolor_coding 2\nassign $out", "0", 0, 1, 3},
      {"nothing found", "int a;\n", 1, 0, "push_const \"32\"\ncolor_coding 1\nassign $out", "-3022", 0, 1, 0},
      {"slot at the cursor", "int a;\n", 1, 1, "push_const \"0\"\npush_const \"G\"\ncolor_coding 2\nassign $out", "16", 0, 1, 1},
      {"slot past the end inside a comment", "int a; /* x\n", 1, 30, "push_const \"0\"\npush_const \"g\"\ncolor_coding 2\nassign $out", "20", 0, -1, -1},
      {"slot past the end in text", "int a;\n", 1, 30, "push_const \"0\"\npush_const \"G\"\ncolor_coding 2\nassign $out", "", 0, -1, -1},
      {"test at the cursor", "int a;\n", 1, 0, "push_const \"4\"\npush_const \"T\"\ncolor_coding 2\nassign $out", "1", 0, -1, -1},
      {"test past the end of a comment line pushes one value", "/* x\n", 1, 30, "push_const \"32\"\npush_const \"T\"\ncolor_coding 2\nassign $out", "1", 0, -1, -1},
      {"test past the end of a text line", "x\n", 1, 30, "push_const \"32\"\npush_const \"T\"\ncolor_coding 2\nassign $out", "0", 0, -1, -1},
      {"two kinds", "int a;\n", 1, 0, "push_const \"4\"\npush_const \"OT\"\ncolor_coding 2\nassign $out", "-3022", 0, -1, -1},
      {"bad option", "int a;\n", 1, 0, "push_const \"4\"\npush_const \"Q\"\ncolor_coding 2\nassign $out", nullptr, -3015, -1, -1},
      {"bad mask", "int a;\n", 1, 0, "push_const \"z\"\ncolor_coding 1\nassign $out", nullptr, -3009, -1, -1},
      {"line flags read", "int a;\n", 1, 0, "line_flags 0\nassign $out", "0", 0, -1, -1},
      {"line flags set keeps the state", "/*\nx\n", 2, 0, "push_const \"784\"\nline_flags 1\nassign $out", "785", 0, -1, -1},
      {"line flags clear changed", "/*\nx\n", 2, 0, "push_const \"16\"\nline_flags 1\npop\npush_const \"0\"\npush_const \"16\"\nline_flags 2\nassign $out", "1", 0, -1, -1},
      {"line flags low bits protected", "x\n", 1, 0, "push_const \"15\"\nline_flags 1\nassign $out", "0", 0, -1, -1},
  };
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    BufferRec* b = open(r.text, "t.c");
    lex_set_buffer_lexer(b, lex_find("C"));
    lex_recolour(b);
    at(r.line, r.col);
    const textbi::Outcome o = run(r.code);
    EXPECT_EQ(r.stop, o.stop);
    if (r.out) {
      EXPECT_EQ(r.out, o.out);
    }
    if (r.end_line >= 0) {
      EXPECT_EQ(r.end_line, cur_line());
      EXPECT_EQ(r.end_col, cur_col());
    }
    for (int s = 0; s < colour_slot_count(); ++s) EXPECT_FALSE(colour_slot_marked(static_cast<uint16_t>(s)));
  }
}

TEST_F(ColourCode, BufferWithoutLexerFindsNothing) {
  open("int a; /* b */\n", "t.txt");
  EXPECT_EQ("-3022", run("push_const \"32\"\ncolor_coding 1\nassign $out").out);
}

TEST_F(ColourCode, ColourAndFontRows) {
  const struct {
    const char* code;
    const char* out;
    int stop;
  } rows[] = {
      {"push_const \"12\"\ncolor 1\nassign $out", "255 16777215", 0},
      {"push_const \"12\"\npush_const \"\"\npush_const \"0\"\ncolor 3\nassign $out", "255 0", 0},
      {"push_const \"16\"\npush_const \"1\"\ncolor 2\nassign $out", "1 16777215", 0},
      {"push_const \"26\"\ncolor 1\nassign $out", nullptr, -3015},
      {"push_const \"-1\"\ncolor 1\nassign $out", nullptr, -3015},
      {"push_const \"1\"\npush_const \"red\"\ncolor 2\nassign $out", nullptr, -3009},
      {"push_const \"4\"\ndefault_font 1\nassign $out", "MS Sans Serif,10,0,", 0},
      {"push_const \"1\"\ndefault_font 1\nassign $out", "OEM Fixed Font,10,0,", 0},
      {"push_const \"2\"\ndefault_font 1\nassign $out", nullptr, -3015},
      {"push_const \"6\"\npush_const \"Courier,12\"\ndefault_font 2\nassign $out", "Courier,12,0,", 0},
      {"push_const \"6\"\npush_const \"fixed,8x13,1\"\ndefault_font 2\nassign $out", "fixed,8x13,1,", 0},
      {"push_const \"6\"\npush_const \"fixed,big\"\ndefault_font 2\nassign $out", nullptr, -3009},
      {"push_const \"x\"\ndefault_font 1\nassign $out", nullptr, -3009},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.code);
    colours_reset();
    const textbi::Outcome o = run(r.code);
    EXPECT_EQ(r.stop, o.stop);
    if (r.out) {
      EXPECT_EQ(r.out, o.out);
    }
  }
  colours_reset();
  run("push_const \"6\"\npush_const \"fixed,8x13\"\ndefault_font 2");
  EXPECT_EQ(static_cast<int32_t>(0x8008000d), default_font(6)->size);
  EXPECT_EQ("OEM Fixed Font,10,0,", fmt_default_font(*default_font(1)));
  run("push_const \"16\"\npush_const \"255\"\ncolor 2");
  EXPECT_EQ(255u, colour_slot(16)->fg);
  EXPECT_EQ(16, lex_get_class_attr(2));
}

TEST_F(ColourCode, LoadLexerFileSetsRc) {
  const std::string path = file("x.zlx");
  storetest::write_file(path, "[Late]\nIDCHARS=a a\nCASE-SENSITIVE=Y\nKEYWORDS=a\n");
  EXPECT_EQ("0", run("push_const \"" + path + "\"\nload_lexer_file").rc);
  EXPECT_NE(nullptr, lex_find("late"));
  EXPECT_NE("0", run("push_const \"" + file("none.zlx") + "\"\nload_lexer_file").rc);
}

}  // namespace

namespace {

TEST_F(ColourCode, TabColumnRows) {
  open("x\n", "t.txt");
  const struct {
    const char* code;
    const char* out;
    int stop;
  } rows[] = {
      {"push_const \"a\\tb\"\npush_const \"3\"\npush_const \"I\"\ntext_col 3\nassign $out", "9", 0},
      {"push_const \"a\\tb\"\npush_const \"5\"\npush_const \"t\"\ntext_col 3\nassign $out", "-2", 0},
      {"push_const \"a\\tb\"\npush_const \"5\"\npush_const \"P\"\ntext_col 3\nassign $out", "2", 0},
      {"push_const \"a\\tb\"\ntext_col 1\nassign $out", "9", 0},
      {"push_const \"a\\tb\"\npush_const \"x\"\ntext_col 2\nassign $out", "9", 0},  // L reads no column
      {"push_const \"a\\tb\"\npush_const \"1\"\npush_const \"Q\"\ntext_col 3\nassign $out", nullptr, -3015},
      {"push_const \"a\\tb\"\npush_const \"x\"\npush_const \"I\"\ntext_col 3\nassign $out", nullptr, -3009},
      {"push_const \"a\\tb\"\nexpand_tabs 1\nassign $out", "a       b", 0},
      {"push_const \"a\\tb\"\npush_const \"1\"\npush_const \"5\"\nexpand_tabs 3\nassign $out", "a    ", 0},
      {"push_const \"a\\tb\"\npush_const \"1\"\npush_const \"-1\"\npush_const \"X\"\nexpand_tabs 4\nassign $out",
       nullptr, -3015},
      {"push_const \"a\\tb\"\npush_const \"-1\"\nexpand_tabs 2\nassign $out", nullptr, -3015},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.code);
    const textbi::Outcome o = run(r.code);
    EXPECT_EQ(r.stop, o.stop);
    if (r.out) {
      EXPECT_EQ(r.out, o.out);
    }
  }
}

}  // namespace
