#include "macro/interp.h"

#include <gtest/gtest.h>

#include "tests/macro/vm_fixture.h"

namespace {

using namespace bc;
using vmtest::VmTest;

class Interp : public VmTest {};

// ------------------------------------------------------------ control flow

TEST_F(Interp, JumpsAndCaseTests) {
  // Each program leaves its answer in rc through return_value (a run from
  // outside is a command call).
  struct Case {
    const char* name;
    void (*build)(ImageBuilder&);
    const char* want;
  };
  auto cond = [](ImageBuilder& b, const char* jump_op, const char* value) {
    Label yes = b.new_label();
    b.op("push_const", {k(value)});
    b.op(jump_op, {jmp(yes)});
    b.op("push_const", {k("fell")});
    b.op("return_value");
    b.bind(yes);
    b.op("push_const", {k("jumped")});
    b.op("return_value");
  };
  const Case cases[] = {
      {"jump skips code",
       [](ImageBuilder& b) {
         Label l = b.new_label();
         b.op("push_const", {k("x")});
         b.op("jump", {jmp(l)});
         b.op("pop");
         b.op("push_const", {k("y")});
         b.bind(l);
         b.op("return_value");
       },
       "x"},
      {"true on '0' falls", nullptr, "fell"},
      {"true on '00' jumps", nullptr, "jumped"},
      {"true on empty jumps", nullptr, "jumped"},
      {"true on ' 0' jumps", nullptr, "jumped"},
      {"false on '0' jumps", nullptr, "jumped"},
      {"false on '1' falls", nullptr, "fell"},
      {"false on '0.0' falls", nullptr, "fell"},
  };
  const char* const cond_ops[][2] = {{"jump_if_true", "0"},   {"jump_if_true", "00"}, {"jump_if_true", ""},
                                     {"jump_if_true", " 0"},  {"jump_if_false", "0"}, {"jump_if_false", "1"},
                                     {"jump_if_false", "0.0"}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    reset();
    ImageBuilder b;
    const uint16_t p = b.proc(0, 0, 0);
    if (cases[i].build)
      cases[i].build(b);
    else
      cond(b, cond_ops[i - 1][0], cond_ops[i - 1][1]);
    EXPECT_EQ(run(b, p), ERR_OK) << cases[i].name;
    EXPECT_EQ(rc(), cases[i].want) << cases[i].name;
    EXPECT_EQ(vm_stack.top, -1) << cases[i].name;
    EXPECT_EQ(vm.frame_depth, 0) << cases[i].name;
  }
}

TEST_F(Interp, CaseJumpsCompareVariableWithConstant) {
  for (const char* v : {"abc", "abd", "ab", ""}) {
    reset();
    ImageBuilder b;
    const uint16_t p = b.proc(1, 0, 0);
    Label eq = b.new_label(), ne = b.new_label();
    b.op("push_const", {k(v)});
    b.op("assign", {var(local(0))});
    b.op("case_jump_eq", {jmp(eq), k("abc"), var(local(0))});
    b.op("case_jump_ne", {jmp(ne), k("abc"), var(local(0))});
    b.op("push_const", {k("neither")});
    b.op("return_value");
    b.bind(eq);
    b.op("push_const", {k("eq")});
    b.op("return_value");
    b.bind(ne);
    b.op("push_const", {k("ne")});
    b.op("return_value");
    EXPECT_EQ(run(b, p), ERR_OK);
    EXPECT_EQ(rc(), std::string_view(v) == "abc" ? "eq" : "ne") << v;
    EXPECT_EQ(vm_stack.top, -1);
  }
}

// for v = start to end step s: body stores v in g_last and polls once.
struct LoopProg {
  uint16_t proc;
};
void emit_loop(ImageBuilder& b, uint16_t v, const char* start, const char* end, const char* step,
               const std::function<void()>& body) {
  Label exit = b.new_label(), top = b.new_label();
  b.op("push_const", {k(start)});
  b.op("push_const", {k(end)});
  b.op("push_const", {k(step)});
  b.op("for_begin", {var(v), raw16(0), jmp(exit)});
  b.bind(top);
  b.op("for_step");
  body();
  b.op("jump", {jmp(top)});
  b.bind(exit);
  b.op("for_end");
}

TEST_F(Interp, CountedLoopsNestAndRestoreTheOuterLoop) {
  struct Case {
    const char* start;
    const char* end;
    const char* step;
    int iterations;
    const char* last;   // the body's last value of the variable
    const char* after;  // the variable after the loop
  };
  const Case cases[] = {
      {"1", "3", "1", 3, "3", "4"}, {"10", "1", "-3", 4, "1", "-2"}, {"5", "4", "1", 0, "", "5"},
      {"2", "2", "1", 1, "2", "3"}, {"-1", "1", "1", 3, "1", "2"},   {"0.5", "1.5", "0.5", 3, "1.5", "2.0"},
  };
  for (const auto& c : cases) {
    reset();
    const uint32_t g_last = var_alloc_global(), g_inner = var_alloc_global();
    const uint32_t g_outer_after = var_alloc_global(), g_count = var_alloc_global();
    ImageBuilder b;
    const uint16_t last = b.global(g_last), inner = b.global(g_inner);
    const uint16_t outer_after = b.global(g_outer_after);
    (void)g_count;
    const uint16_t p = b.proc(2, 0, 0);
    // Outer loop 1..2 around the case's loop; after the inner loop the
    // outer loop must go on with its own variable, end and step.
    emit_loop(b, local(0), "1", "2", "1", [&] {
      emit_loop(b, local(1), c.start, c.end, c.step, [&] {
        b.op("push_var", {var(local(1))});
        b.op("assign", {var(last)});
      });
      b.op("push_var", {var(local(1))});
      b.op("assign", {var(inner)});
    });
    b.op("push_var", {var(local(0))});
    b.op("assign", {var(outer_after)});
    b.op("return");
    EXPECT_EQ(run(b, p), ERR_OK) << c.start << " " << c.end << " " << c.step;
    EXPECT_EQ(value(g_last), c.last);
    EXPECT_EQ(value(g_inner), c.after);
    EXPECT_EQ(value(g_outer_after), "3");
    // Each body iteration ends in a polled jump: outer 2 + inner 2 x n.
    EXPECT_EQ(vmtest::break_polls, 1 + 2 + 2 * c.iterations);
    EXPECT_EQ(vm_stack.top, -1);
    EXPECT_EQ(vm_catch.loop_depth, -1);
  }
}

TEST_F(Interp, NonNumericLoopBoundsRaise3009) {
  ImageBuilder b;
  const uint16_t p = b.proc(1, 0, 0);
  emit_loop(b, local(0), "a", "3", "1", [] {});
  b.op("return");
  EXPECT_EQ(run(b, p), ERR_INVALID_NUMBER_ARGUMENT);
  EXPECT_EQ(rc(), "-3009");
  EXPECT_EQ(vm_stack.top, -1);
  EXPECT_EQ(vm_catch.loop_depth, -1);
}

// ------------------------------------------------------------------ calls

struct CallSetup {
  ImageBuilder b;
  uint32_t g[4];
  uint16_t gl[4];
};

TEST_F(Interp, ArgumentsByValueAndByReference) {
  const uint32_t ga = var_alloc_global(), gb = var_alloc_global(), gseen = var_alloc_global();
  ImageBuilder b;
  const uint16_t la = b.global(ga), lb = b.global(gb), lseen = b.global(gseen);
  // set2(&x, y): x = "set"; y = "changed"; seen = y's old value.
  const uint16_t set2 = b.proc(0, 2, 0x1);
  b.op("push_var", {var(arg(1))});
  b.op("assign", {var(lseen)});
  b.op("push_const", {k("set")});
  b.op("assign", {var(arg(0))});
  b.op("push_const", {k("changed")});
  b.op("assign", {var(arg(1))});
  b.op("return");
  const uint16_t lset2 = b.private_proc(set2);
  // main: a = "1"; b = "2"; set2(&a, &b) -- b given by reference to a
  // by-value parameter is copied.
  const uint16_t main = b.proc(0, 0, 0);
  b.op("push_const", {k("1")});
  b.op("assign", {var(la)});
  b.op("push_const", {k("2")});
  b.op("assign", {var(lb)});
  b.op("push_ref", {var(la)});
  b.op("push_ref", {var(lb)});
  b.op("call_link", {cnt(2), lnk(lset2)});
  b.op("return");
  EXPECT_EQ(run(b, main), ERR_OK);
  EXPECT_EQ(value(ga), "set");  // by reference: reaches the caller
  EXPECT_EQ(value(gb), "2");    // by value: the callee had a copy
  EXPECT_EQ(value(gseen), "2");
  EXPECT_EQ(vm_stack.top, -1);
}

TEST_F(Interp, ArgumentChecks) {
  struct Case {
    const char* name;
    int pushes_ref;  // bit i: argument i is pushed by reference
    int argc;
    ErrorCode want;
  };
  // Callee: two parameters, the first by reference, the second by value;
  // its first instruction marks that it ran.
  const Case cases[] = {
      {"enough", 0b01, 2, ERR_OK},
      {"one too few", 0b01, 1, ERR_PROCEDURE_NEEDS_ARGUMENTS},
      {"none", 0, 0, ERR_PROCEDURE_NEEDS_ARGUMENTS},
      {"value for reference", 0b00, 2, ERR_INVALID_CALL_BY_REFERENCE},
      {"extra arguments", 0b101, 3, ERR_OK},
      {"reference for value", 0b11, 2, ERR_OK},
  };
  for (const auto& c : cases) {
    reset();
    const uint32_t ran = var_alloc_global(), x = var_alloc_global();
    ImageBuilder b;
    const uint16_t lran = b.global(ran), lx = b.global(x);
    const uint16_t callee = b.proc(0, 2, 0x1);
    b.op("push_const", {k("yes")});
    b.op("assign", {var(lran)});
    b.op("push_const", {k("callee")});
    b.op("assign", {var(arg(2))});  // the extra argument, when there is one
    b.op("return");
    const uint16_t lcallee = b.private_proc(callee);
    const uint16_t main = b.proc(0, 0, 0);
    b.op("push_const", {k("x0")});
    b.op("assign", {var(lx)});
    for (int i = 0; i < c.argc; ++i) {
      if (c.pushes_ref & (1 << i))
        b.op("push_ref", {var(lx)});
      else
        b.op("push_const", {k("v")});
    }
    b.op("call_link", {cnt(c.argc), lnk(lcallee)});
    b.op("return");
    EXPECT_EQ(run(b, main), c.want) << c.name;
    EXPECT_EQ(value(ran), c.want == ERR_OK ? "yes" : "") << c.name;
    // The extra argument was copied: the callee's write stays with it.
    EXPECT_EQ(value(x), "x0") << c.name;
    EXPECT_EQ(vm_stack.top, -1) << c.name;
    EXPECT_EQ(vm.frame_depth, 0) << c.name;
  }
}

TEST_F(Interp, ArgumentOperandsNameArgumentsInPairs) {
  ImageBuilder b;
  const uint16_t p = b.proc(0, 2, 0x3);
  b.op("push_var", {var(static_cast<uint16_t>(9003))});  // the second argument
  b.op("return_value");
  EXPECT_EQ(run(b, p, {"first", "second"}), ERR_OK);
  EXPECT_EQ(rc(), "second");
}

TEST_F(Interp, ReturnsAndNestedCalls) {
  const uint32_t g = var_alloc_global(), depth_seen = var_alloc_global();
  ImageBuilder b;
  const uint16_t lg = b.global(g), ld = b.global(depth_seen);
  // c(): returns "deep" as a value.
  const uint16_t c = b.proc(0, 0, 0);
  b.op("push_const", {k("deep")});
  b.op("return_value");
  const uint16_t lc = b.private_proc(c);
  // r(): return_rc always stores into rc.
  const uint16_t r = b.proc(0, 0, 0);
  b.op("push_const", {k("to-rc")});
  b.op("return_rc");
  const uint16_t lr = b.private_proc(r);
  // n(): returns nothing.
  const uint16_t n = b.proc(1, 0, 0);
  b.op("push_const", {k("temp")});
  b.op("return");
  const uint16_t ln = b.private_proc(n);
  // bm(a): calls c and returns its result plus nothing else.
  const uint16_t bm = b.proc(2, 1, 0x1);
  b.op("call_link", {cnt(0), lnk(lc)});
  b.op("return_value");
  const uint16_t lbm = b.private_proc(bm);
  const uint16_t main = b.proc(0, 0, 0);
  b.op("push_const", {k("keep")});  // must survive every call below
  b.op("push_const", {k("arg")});
  b.op("call_link", {cnt(1), lnk(lbm)});  // -> "deep" where the argument was
  b.op("assign", {var(lg)});
  b.op("call_link", {cnt(0), lnk(ln)});  // leaves nothing
  b.op("call_link", {cnt(0), lnk(lr)});  // rc only
  b.op("assign", {var(ld)});             // pops "keep"
  b.op("return");
  EXPECT_EQ(run(b, main), ERR_OK);
  EXPECT_EQ(value(g), "deep");
  EXPECT_EQ(value(depth_seen), "keep");
  EXPECT_EQ(rc(), "to-rc");
  EXPECT_EQ(vm_stack.top, -1);
}

TEST_F(Interp, ReturnValueOfACommandGoesToRc) {
  ImageBuilder b;
  const uint16_t p = b.proc(0, 0, 0);
  b.op("push_const", {k("42")});
  b.op("return_value");
  EXPECT_EQ(run(b, p), ERR_OK);
  EXPECT_EQ(rc(), "42");
  EXPECT_EQ(vm_rc_mirror, 42);
  EXPECT_EQ(vm_stack.top, -1);
}

TEST_F(Interp, LocalsKeepValuesButNotReferences) {
  const uint32_t seen_val = var_alloc_global(), seen_ref = var_alloc_global();
  const uint32_t x = var_alloc_global();
  ImageBuilder b;
  const uint16_t lsv = b.global(seen_val), lsr = b.global(seen_ref), lx = b.global(x);
  // peek(): one local, read straight away.
  const uint16_t peek = b.proc(1, 0, 0);
  b.op("push_var", {var(local(0))});
  b.op("return_value");
  const uint16_t lpeek = b.private_proc(peek);
  const uint16_t main = b.proc(0, 0, 0);
  // A value left in the next stack position: the local starts with it.
  b.op("push_const", {k("left over")});
  b.op("pop");
  b.op("call_link", {cnt(0), lnk(lpeek)});
  b.op("assign", {var(lsv)});
  // A reference left there: the local starts empty.
  b.op("push_const", {k("x value")});
  b.op("assign", {var(lx)});
  b.op("push_ref", {var(lx)});
  b.op("pop");
  b.op("call_link", {cnt(0), lnk(lpeek)});
  b.op("assign", {var(lsr)});
  b.op("return");
  EXPECT_EQ(run(b, main), ERR_OK);
  EXPECT_EQ(value(seen_val), "left over");
  EXPECT_EQ(value(seen_ref), "");
  EXPECT_EQ(value(x), "x value");
}

TEST_F(Interp, RecursionStopsAtTheFrameLimit) {
  ImageBuilder b;
  const uint16_t r = b.proc(0, 0, 0);
  const uint16_t lr = b.private_proc(r);
  b.op("push_const", {k("frame")});  // something on the stack per level
  b.op("call_link", {cnt(0), lnk(lr)});
  b.op("return");
  EXPECT_EQ(run(b, r), ERR_RECURSION_TOO_DEEP);
  // Every entered procedure polls the break key once: frames 1 .. 1699.
  EXPECT_EQ(vmtest::break_polls, 1699);
  EXPECT_EQ(rc(), "-3010");
  EXPECT_EQ(vm.frame_depth, 0);
  EXPECT_EQ(vm_stack.top, -1);
  ASSERT_FALSE(vmtest::shown.empty());
  EXPECT_TRUE(vmtest::shown.back().boxed);
  // The stacks were trimmed after the hard error and the runtime still runs.
  ImageBuilder b2;
  const uint16_t p = b2.proc(0, 0, 0);
  b2.op("push_const", {k("fine")});
  b2.op("return_value");
  EXPECT_EQ(run(b2, p), ERR_OK);
  EXPECT_EQ(rc(), "fine");
}

TEST_F(Interp, CallByIndexUsesTheNamesHook) {
  static std::vector<uint8_t> img;
  static uint16_t target;
  ImageBuilder lib;
  target = lib.proc(0, 1, 0x1);
  lib.op("push_var", {var(arg(0))});
  lib.op("return_value");
  img = lib.finish();
  VmNameHooks h{};
  h.resolve = [](int32_t index, VmCallable* out) -> ErrorCode {
    *out = VmCallable{};
    if (index == 7) {
      out->kind = VmCallable::Kind::Proc;
      out->image = img;
      out->offset = target;
    }
    return ERR_OK;
  };
  vm_set_name_hooks(h);
  for (const char* index : {"7", "8"}) {
    ImageBuilder b;
    const uint16_t p = b.proc(0, 0, 0);
    b.op("push_const", {k("passed")});
    b.op("push_const", {k(index)});
    b.op("call_index", {cnt(2)});
    b.op("return_value");
    const ErrorCode want = std::string_view(index) == "7" ? ERR_OK : ERR_INVALID_ARGUMENT;
    EXPECT_EQ(run(b, p), want) << index;
    if (want == ERR_OK) {
      EXPECT_EQ(rc(), "passed");
    }
    EXPECT_EQ(vm_stack.top, -1);
  }
  // A call by index from outside runs the callee to completion.
  const std::string_view args[] = {"outside"};
  EXPECT_EQ(vm_call_index(7, args), ERR_OK);
  EXPECT_EQ(rc(), "outside");
}

TEST_F(Interp, LinkedProcedureWithoutDefinitionRaises3003) {
  ImageBuilder b;
  const uint16_t ext = b.link(35, 5);
  const uint16_t p = b.proc(0, 0, 0);
  b.op("call_link", {cnt(0), lnk(ext)});
  b.op("return");
  EXPECT_EQ(run(b, p), ERR_PROCEDURE_NOT_FOUND);
}

}  // namespace
