// Core opcodes run as byte code through the interpreter: operators and
// comparisons from tables of cases, the parse statement with its template
// forms, increments and compound assignment, and the statements.
#include "macro/core_ops.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macro/catch.h"
#include "macro/exit_path.h"
#include "macro/varheap.h"
#include "tests/macro/vm_fixture.h"

namespace {

using namespace bc;

class CoreOps : public vmtest::VmTest {
 protected:
  void SetUp() override {
    VmTest::SetUp();
    exit_reset();
  }
  void TearDown() override {
    exit_reset();
    VmTest::TearDown();
  }

  // A fresh global slot and the link index that names it.
  uint16_t global(ImageBuilder& b, uint32_t* slot) {
    *slot = static_cast<uint32_t>(var_alloc_global());
    return b.global(static_cast<uint16_t>(*slot));
  }

  struct Out {
    std::string value;
    ErrorCode code;
  };

  // Pushes the constants in order (the first deepest), runs the opcode and
  // assigns its result to a global.
  Out apply(const char* mnemonic, std::vector<std::string> operands) {
    ImageBuilder b;
    uint32_t g = 0;
    uint16_t lg = global(b, &g);
    uint16_t p = b.proc(0, 0, 0);
    for (auto& s : operands) b.op("push_const", {k(s)});
    b.op(mnemonic);
    b.op("assign", {var(lg)});
    b.op("return");
    ErrorCode rc = run(b, p);
    return {value(g), rc};
  }
};

struct OpCase {
  const char* mnemonic;
  std::vector<std::string> operands;  // deeper first
  const char* want;                   // result, or nullptr when the run stops
  ErrorCode code;
};

const OpCase kOperators[] = {
    // Truth: only the one-byte "0" is false.
    {"or", {"0", "0"}, "0", 0},
    {"or", {"0", ""}, "1", 0},
    {"or", {"00", "0"}, "1", 0},
    {"and", {"1", " 0"}, "1", 0},
    {"and", {"0.0", "x"}, "1", 0},
    {"and", {"1", "0"}, "0", 0},
    {"not", {"0"}, "1", 0},
    {"not", {"0.0"}, "0", 0},
    {"not", {""}, "0", 0},
    // Decimal comparison; non-numbers as stripped strings.
    {"num_gt", {"10", "9"}, "1", 0},
    {"num_eq", {"abc", " abc "}, "1", 0},
    {"num_eq", {"0.0", "0"}, "1", 0},
    {"num_eq", {"1e5", "100000"}, "1", 0},
    {"num_ne", {"1", "1.00"}, "0", 0},
    {"num_lt", {"-5", "3"}, "1", 0},
    {"num_le", {"2", "2.0"}, "1", 0},
    {"num_ge", {"abc", "abd"}, "0", 0},
    {"num_gt", {"10", "9.99"}, "1", 0},
    // Byte comparison.
    {"str_gt", {"10", "9"}, "0", 0},
    {"str_lt", {"10", "9"}, "1", 0},
    {"str_eq", {"abc", " abc"}, "0", 0},
    {"str_ne", {"a", "a"}, "0", 0},
    {"str_ge", {"ab", "ab"}, "1", 0},
    {"str_le", {"abc", "ab"}, "0", 0},
    {"str_gt", {"\xe9", "z"}, "1", 0},  // bytes unsigned
    // Concatenation, both orders.
    {"concat", {"ab", "cd"}, "abcd", 0},
    {"concat_swapped", {"ab", "cd"}, "cdab", 0},
    // Arithmetic with swapped twins.
    {"add", {"0.1", "0.2"}, "0.3", 0},
    {"sub", {"10", "3"}, "7", 0},
    {"sub_swapped", {"10", "3"}, "-7", 0},
    {"mul", {"1.5", "2"}, "3.0", 0},
    {"div", {"10", "4"}, "2.5", 0},
    {"div_swapped", {"10", "4"}, "0.4", 0},
    {"idiv", {"-7", "2"}, "-3", 0},
    {"idiv_swapped", {"2", "-7"}, "-3", 0},
    {"mod", {"-7", "2"}, "-1", 0},
    {"mod", {"7", "-2"}, "-1", 0},
    {"mod_swapped", {"2", "7"}, "1", 0},
    {"pow", {"2", "10"}, "1024", 0},
    {"pow_swapped", {"10", "2"}, "1024", 0},
    {"negate", {"1.50"}, "-1.50", 0},
    {"negate", {"-0"}, "0", 0},
    {"add", {"abc", "1"}, nullptr, ERR_INVALID_NUMBER_ARGUMENT},
    {"div", {"1", "0"}, nullptr, ERR_DIVIDE_BY_ZERO},
    {"pow", {"2", "1.5"}, nullptr, ERR_INVALID_NUMBER_ARGUMENT},
    {"mul", {"1E999999999", "10E1"}, nullptr, ERR_NUMERIC_OVERFLOW},
    // Bit operations through 32-bit integers.
    {"bit_and", {"12", "10"}, "8", 0},
    {"bit_or", {"12", "10"}, "14", 0},
    {"bit_xor", {"12", "10"}, "6", 0},
    {"bit_not", {"0"}, "-1", 0},
    {"shl", {"1", "4"}, "16", 0},
    {"shr", {"-16", "2"}, "-4", 0},
    {"shl_swapped", {"4", "1"}, "16", 0},
    {"shr_swapped", {"2", "-16"}, "-4", 0},
    {"bit_and", {"1.5E1", "3"}, "3", 0},  // 15: the exponent is honoured
    {"bit_or", {"x", "1"}, nullptr, ERR_INVALID_NUMBER_ARGUMENT},
};

TEST_F(CoreOps, OperatorsFromTable) {
  for (const OpCase& c : kOperators) {
    Out r = apply(c.mnemonic, c.operands);
    std::string where = std::string(c.mnemonic) + " " + (c.operands.empty() ? "" : c.operands[0]);
    EXPECT_EQ(r.code, c.code) << where;
    if (c.want) {
      EXPECT_EQ(r.value, c.want) << where;
    } else {
      EXPECT_EQ(r.value, "") << where << ": a failing operation pushes nothing";
    }
  }
}

TEST_F(CoreOps, ConcatenationIsCutAt1024Bytes) {
  Out r = apply("concat", {std::string(1000, 'a'), std::string(100, 'b')});
  EXPECT_EQ(r.code, ERR_OK);
  EXPECT_EQ(r.value, std::string(1000, 'a') + std::string(24, 'b'));
}

TEST_F(CoreOps, IncrementDecrementAndCompoundAssignment) {
  struct Step {
    const char* start;
    char op;  // 0: incr, 1: decr, else the compound operator
    const char* operand;
    const char* want;
    ErrorCode code;
  };
  const Step steps[] = {
      {"41", 0, "", "42", 0},
      {"0.5", 1, "", "-0.5", 0},
      {"9", '+', "0.25", "9.25", 0},
      {"9", '-', "10", "-1", 0},
      {"1.5", '*', "3", "4.5", 0},
      {"1", '/', "8", "0.125", 0},
      {"12", '&', "10", "8", 0},
      {"12", '|', "3", "15", 0},
      {"12", '^', "10", "6", 0},
      {"abc", 0, "", "abc", ERR_INVALID_NUMBER_ARGUMENT},
      {"1", '/', "0", "1", ERR_DIVIDE_BY_ZERO},
      {"1", '%', "2", "1", ERR_ILLEGAL_OPCODE},  // not an operator the compiler emits
  };
  for (const Step& s : steps) {
    ImageBuilder b;
    uint32_t g = 0;
    uint16_t lg = global(b, &g);
    uint16_t p = b.proc(0, 0, 0);
    b.op("push_const", {k(s.start)});
    b.op("assign", {var(lg)});
    if (s.op == 0) {
      b.op("incr", {var(lg)});
    } else if (s.op == 1) {
      b.op("decr", {var(lg)});
    } else {
      b.op("push_const", {k(s.operand)});
      b.op("compound_assign", {oper(s.op), var(lg)});
    }
    b.op("return");
    EXPECT_EQ(run(b, p), s.code) << s.start << " " << s.op;
    EXPECT_EQ(value(g), s.want) << s.start << " " << s.op;
  }
}

TEST_F(CoreOps, IncrementWorksOnLocals) {
  ImageBuilder b;
  uint32_t g = 0;
  uint16_t lg = global(b, &g);
  uint16_t p = b.proc(1, 0, 0);
  b.op("push_const", {k("7")});
  b.op("assign", {var(local(0))});
  b.op("incr", {var(local(0))});
  b.op("incr", {var(local(0))});
  b.op("push_var", {var(local(0))});
  b.op("assign", {var(lg)});
  b.op("return");
  EXPECT_EQ(run(b, p), ERR_OK);
  EXPECT_EQ(value(g), "9");
}

TEST_F(CoreOps, LastReadVariableReference) {
  ImageBuilder b;
  uint32_t g = 0, h = 0;
  uint16_t lg = global(b, &g), lh = global(b, &h);
  uint16_t p = b.proc(0, 0, 0);
  b.op("push_var", {var(lg)});
  b.op("last_var_dollar");
  b.op("assign", {var(lh)});
  b.op("push_var", {var(lg)});
  b.op("last_var_amp");
  b.op("assign", {var(lg)});
  b.op("return");
  EXPECT_EQ(run(b, p), ERR_OK);
  const std::string index = std::to_string(g);
  EXPECT_EQ(value(h).substr(0, 1), "$");
  EXPECT_EQ(value(h).substr(1), index);
  EXPECT_EQ(value(g).substr(0, 1), "&");
  EXPECT_EQ(value(g).substr(1), index);
}

// ---- the parse statement ----------------------------------------------------------

// One template element: a group of variables (indexes into the test's
// globals), a column, a relative column or a pattern with options.
struct Elem {
  enum Kind { Group, Col, Rel, Find } kind;
  std::vector<int> vars;
  int col = 0;
  std::string pattern, options;
};
Elem grp(std::vector<int> v) { return {Elem::Group, std::move(v), 0, "", ""}; }
Elem at(int c) { return {Elem::Col, {}, c, "", ""}; }
Elem rel(int d) { return {Elem::Rel, {}, d, "", ""}; }
Elem find(std::string p, std::string o = "") { return {Elem::Find, {}, 0, std::move(p), std::move(o)}; }

struct ParseCase {
  const char* value;
  std::vector<Elem> tmpl;
  std::vector<const char*> want;  // values of the globals 0..n-1
};

const ParseCase kParses[] = {
    // Words, then the rest: the documented example.
    {"a b c=d", {grp({0, 1}), find("="), grp({2})}, {"a", "b c", "d"}},
    // One variable takes the whole piece, blanks included.
    {"  x  y  ", {grp({0})}, {"  x  y  "}},
    // More variables than words: the rest are empty.
    {"one", {grp({0, 1, 2})}, {"one", "", ""}},
    {"   ", {grp({0, 1})}, {"", ""}},
    // Blanks and tabs separate words; the last variable keeps the rest as is.
    {"a\tb  c d ", {grp({0, 1, 2})}, {"a", "b", "c d "}},
    // A leading column skips the text before it.
    {"abcdefgh", {at(4), grp({0})}, {"defgh"}},
    // Columns end pieces; a relative column counts from the last piece end.
    {"abcdefgh", {grp({0}), at(3), grp({1}), rel(2), grp({2})}, {"ab", "cd", "efgh"}},
    // A relative column moving back starts the next piece earlier.
    {"abcdefgh", {at(5), grp({0}), rel(-3), grp({1})}, {"", "bcdefgh"}},
    // A pattern that is not found ends the piece at the end of the value.
    {"a,b", {grp({0}), find(";"), grp({1})}, {"a,b", ""}},
    // Ignoring case.
    {"keyVALUEx", {grp({0}), find("value", "i"), grp({1})}, {"key", "x"}},
};

#if __has_include("text/regex.h")
const ParseCase kRegexParses[] = {
    {"ab12cd", {grp({0}), find("[0-9]+", "u"), grp({1})}, {"ab", "cd"}},
    {"x = 42", {grp({0}), find("[ ]=[ ]", "u"), grp({1})}, {"x", "42"}},
    {"aXYb", {grp({0}), find("xy", "ri"), grp({1})}, {"a", "b"}},
};
#endif

class CoreOpsParse : public CoreOps {
 protected:
  void check(const ParseCase& c);
};

TEST_F(CoreOpsParse, TemplatesFromTable) {
  for (const ParseCase& c : kParses) check(c);
}

TEST_F(CoreOpsParse, RegularExpressionPatterns) {
#if __has_include("text/regex.h")
  for (const ParseCase& c : kRegexParses) check(c);
#else
  GTEST_SKIP() << "the regular-expression engine is not built yet";
#endif
}

void CoreOpsParse::check(const ParseCase& c) {
  {
    ImageBuilder b;
    std::vector<uint32_t> slots(c.want.size());
    std::vector<uint16_t> links(c.want.size());
    for (size_t i = 0; i < slots.size(); ++i) {
      links[i] = global(b, &slots[i]);
    }
    uint16_t p = b.proc(0, 0, 0);
    b.op("push_const", {k(c.value)});
    b.op("parse_begin");
    for (const Elem& e : c.tmpl) {
      switch (e.kind) {
        case Elem::Group: {
          std::vector<uint16_t> v;
          for (int i : e.vars) v.push_back(links[static_cast<size_t>(i)]);
          b.op("parse_assign", {group(v)});
          break;
        }
        case Elem::Col:
          b.op("parse_col_abs", {col(static_cast<uint8_t>(e.col))});
          break;
        case Elem::Rel:
          b.op("parse_col_rel", {delta(static_cast<int16_t>(e.col))});
          break;
        case Elem::Find:
          b.op("push_const", {k(e.pattern)});
          b.op("push_const", {k(e.options)});
          b.op("parse_find");
          break;
      }
    }
    b.bytes({49});  // the lone 49 that ends the template
    b.op("return");
    EXPECT_EQ(run(b, p), ERR_OK) << c.value;
    for (size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(value(slots[i]), c.want[i]) << c.value << " var " << i;
  }
}

TEST_F(CoreOps, ParseFindWithBadOptionStops) {
  ImageBuilder b;
  uint32_t g = 0;
  uint16_t lg = global(b, &g);
  uint16_t p = b.proc(0, 0, 0);
  b.op("push_const", {k("a=b")});
  b.op("parse_begin");
  b.op("parse_assign", {group({lg})});
  b.op("push_const", {k("=")});
  b.op("push_const", {k("Q")});
  b.op("parse_find");
  b.bytes({49});
  b.op("push_const", {k("after")});
  b.op("assign", {var(lg)});
  b.op("return");
  EXPECT_EQ(run(b, p), ERR_INVALID_ARGUMENT);
  EXPECT_EQ(value(g), "");  // neither the group nor the code after it ran
}

TEST_F(CoreOps, ParseValueIsCutAt1024Bytes) {
  ImageBuilder b;
  uint32_t g = 0;
  uint16_t lg = global(b, &g);
  uint16_t p = b.proc(0, 0, 0);
  b.op("push_const", {k(std::string(1500, 'z'))});
  b.op("parse_begin");
  b.op("parse_assign", {group({lg})});
  b.bytes({49});
  b.op("return");
  EXPECT_EQ(run(b, p), ERR_OK);
  EXPECT_EQ(value(g), std::string(1024, 'z'));
}

// ---- statements ---------------------------------------------------------------------

// The programs the executor ran: the argument after the path, and the flags.
std::vector<std::string> executed;
int32_t fake_program(const CmdProcess& p) {
  executed.push_back(p.argv.back() + "/" + std::to_string(p.flags));
  return 7;
}

TEST_F(CoreOps, ExecuteRunsNonEmptyLinesThroughTheExecutorAndSetsRc) {
  executed.clear();
  cmdtest::cmd.run = fake_program;
  ImageBuilder b;
  uint16_t p = b.proc(0, 0, 0);
  b.op("stmt_mark");
  b.op("push_const", {k("true zvx-arg")});
  b.op("execute");
  b.op("return");
  EXPECT_EQ(run(b, p), ERR_OK);
  EXPECT_EQ(executed, std::vector<std::string>{"zvx-arg/1"}) << "the line is looked up, as a macro's";
  EXPECT_EQ(rc(), "7");

  executed.clear();
  ImageBuilder e;
  uint16_t q = e.proc(0, 0, 0);
  e.op("push_const", {k("")});
  e.op("execute");
  e.op("return");
  EXPECT_EQ(run(e, q), ERR_OK);
  EXPECT_TRUE(executed.empty());  // an empty line runs nothing
}

// No form is current here: a control name stops the macro, fatally. (The
// lookup in a form is the forms layer's, tested there.)
TEST_F(CoreOps, PushControlOfAnUnknownNameStops) {
  ImageBuilder b;
  uint32_t g = 0;
  uint16_t lg = global(b, &g);
  uint16_t p = b.proc(0, 0, 0);
  b.op("push_control", {k(std::string("nope") + '\x01')});
  b.op("assign", {var(lg)});
  b.op("return");
  EXPECT_EQ(run(b, p), ERR_CONTROL_NOT_FOUND);
  EXPECT_EQ(value(g), "");
  EXPECT_EQ(msg_arg.view(), "nope");
  ASSERT_FALSE(vmtest::shown.empty());
  EXPECT_TRUE(vmtest::shown.back().boxed);  // raised as fatal
}

// Exit records the code and stops the macro; its runner leaves the editor.
TEST_F(CoreOps, ExitTakesAnIntegerCode) {
  struct C {
    std::vector<std::string> args;
    int32_t want;
    ErrorCode code;
  };
  const C cases[] = {{{}, 0, 0}, {{"3"}, 3, 0}, {{"1.5"}, -1, ERR_INVALID_NUMBER_ARGUMENT}};
  for (const C& c : cases) {
    exit_reset();
    ImageBuilder b;
    uint32_t g = 0;
    uint16_t lg = global(b, &g);
    uint16_t p = b.proc(0, 0, 0);
    for (auto& a : c.args) b.op("push_const", {k(a)});
    b.op("exit", {cnt(static_cast<int>(c.args.size()))});
    b.op("push_const", {k("went on")});
    b.op("assign", {var(lg)});
    b.op("return");
    EXPECT_EQ(run(b, p), c.code);
    EXPECT_EQ(exit_pending(), c.want >= 0);
    if (c.want >= 0) {
      EXPECT_EQ(exit_pending_code(), c.want);
      EXPECT_EQ(value(g), "") << "the exit stops the macro";
    }
  }
}

TEST_F(CoreOps, ArgGivesCountAndArguments) {
  ImageBuilder b;
  uint32_t g[4];
  uint16_t l[4];
  for (int i = 0; i < 4; ++i) l[i] = global(b, &g[i]);
  uint16_t p = b.proc(0, 0, 0);
  b.op("arg", {cnt(0)});
  b.op("assign", {var(l[0])});
  const char* ns[] = {"2", "0", "9"};
  for (int i = 0; i < 3; ++i) {
    b.op("push_const", {k(ns[i])});
    b.op("arg", {cnt(1)});
    b.op("assign", {var(l[i + 1])});
  }
  b.op("return");
  EXPECT_EQ(run(b, p, {"first", "second"}), ERR_OK);
  EXPECT_EQ(value(g[0]), "2");
  EXPECT_EQ(value(g[1]), "second");
  EXPECT_EQ(value(g[2]), "");
  EXPECT_EQ(value(g[3]), "");
}

TEST_F(CoreOps, CountedLoopWithDecimalStep) {
  ImageBuilder b;
  uint32_t g = 0;
  uint16_t lg = global(b, &g);
  uint16_t p = b.proc(1, 0, 0);
  Label top = b.new_label(), done = b.new_label();
  b.op("push_const", {k("0.5")});
  b.op("push_const", {k("2")});
  b.op("push_const", {k("0.5")});
  b.op("for_begin", {var(local(0)), raw16(0), jmp(done)});
  b.bind(top);
  b.op("for_step");
  b.op("push_var", {var(lg)});
  b.op("push_var", {var(local(0))});
  b.op("concat");
  b.op("push_const", {k(" ")});
  b.op("concat");
  b.op("assign", {var(lg)});
  b.op("jump", {jmp(top)});
  b.bind(done);
  b.op("for_end");
  b.op("return");
  EXPECT_EQ(run(b, p), ERR_OK);
  EXPECT_EQ(value(g), "0.5 1.0 1.5 2.0 ");
}

}  // namespace
