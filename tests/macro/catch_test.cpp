#include "macro/catch.h"

#include <gtest/gtest.h>

#include "tests/macro/vm_fixture.h"
#include "tests/support/headless/text_ui_fakes.h"

namespace {

using namespace bc;
using vmtest::VmTest;

class Catch : public VmTest {};

// A module with a guarded call a() -> b() -> c(), where c runs `fault`.
// a: 201; if rc <> "0" goto caught; call b; 200; g = "normal"; return
//    caught: g = rc; return
struct Guarded {
  uint32_t g;
  uint16_t a;
};
Guarded build_guarded(ImageBuilder& b, const std::function<void(ImageBuilder&, uint16_t self)>& fault) {
  Guarded r;
  r.g = static_cast<uint32_t>(var_alloc_global());
  const uint16_t lg = b.global(static_cast<uint16_t>(r.g)), lrc = b.global(1);
  const uint16_t c = b.proc(1, 0, 0);
  b.op("push_const", {k("c's value")});
  fault(b, c);
  b.op("return");
  const uint16_t lc = b.private_proc(c);
  const uint16_t bp = b.proc(0, 0, 0);
  b.op("push_const", {k("b's value")});
  b.op("call_link", {cnt(0), lnk(lc)});
  b.op("pop");
  b.op("return");
  const uint16_t lb = b.private_proc(bp);
  r.a = b.proc(0, 0, 0);
  Label caught = b.new_label();
  b.op("push_const", {k("under the block")});
  b.op("catch_begin");
  b.op("case_jump_ne", {jmp(caught), k("0"), var(lrc)});
  b.op("push_const", {k("inside")});
  b.op("call_link", {cnt(0), lnk(lb)});
  b.op("pop");
  b.op("catch_end");
  b.op("pop");
  b.op("push_const", {k("normal")});
  b.op("assign", {var(lg)});
  b.op("return");
  b.bind(caught);
  b.op("pop");
  b.op("push_var", {var(lrc)});
  b.op("assign", {var(lg)});
  b.op("return");
  return r;
}

TEST_F(Catch, BlockCatchesAStoppingErrorSeveralFramesDown) {
  struct Case {
    const char* name;
    void (*fault)(ImageBuilder&, uint16_t);
    ErrorCode run_result;
    const char* g;
  };
  const Case cases[] = {
      {"no error", [](ImageBuilder&, uint16_t) {}, ERR_OK, "normal"},
      {"illegal slot", [](ImageBuilder& b, uint16_t) { b.bytes({109}); }, ERR_OK, "-3014"},
      {"unbuilt handler", [](ImageBuilder& b, uint16_t) { b.bytes({128}); }, ERR_OK, "-3014"},
      {"bad number",
       [](ImageBuilder& b, uint16_t) {
         b.op("push_const", {k("x")});
         b.op("push_const", {k("y")});
         b.op("call_index", {cnt(1)});
       },
       ERR_OK, "-3009"},
      // A stop ends the macro; a catch block does not turn it into a loop.
      {"stop", [](ImageBuilder& b, uint16_t) { b.op("stop"); }, ERR_OK, ""},
  };
  for (const auto& c : cases) {
    reset();
    ImageBuilder b;
    const Guarded gd = build_guarded(b, c.fault);
    EXPECT_EQ(run(b, gd.a), c.run_result) << c.name;
    EXPECT_EQ(value(gd.g), c.g) << c.name;
    EXPECT_EQ(vm_stack.top, -1) << c.name;
    EXPECT_EQ(vm.frame_depth, 0) << c.name;
    EXPECT_EQ(vm_catch.depth, 0) << c.name;
    // Caught errors are never shown in a box.
    for (const auto& s : vmtest::shown) EXPECT_FALSE(s.boxed) << c.name;
  }
}

TEST_F(Catch, HardErrorsPassThroughBlocks) {
  ImageBuilder b;
  const Guarded gd = build_guarded(b, [](ImageBuilder& b, uint16_t c) {
    // Endless recursion of c itself.
    b.op("call_link", {cnt(0), lnk(b.private_proc(c))});
  });
  EXPECT_EQ(run(b, gd.a), ERR_RECURSION_TOO_DEEP);
  EXPECT_EQ(value(gd.g), "");
  EXPECT_EQ(rc(), "-3010");
  ASSERT_FALSE(vmtest::shown.empty());
  EXPECT_TRUE(vmtest::shown.back().boxed);
  EXPECT_EQ(vm_stack.top, -1);
  EXPECT_EQ(vm_catch.depth, 0);
}

TEST_F(Catch, ErrorsWithoutStopFlagOnlySetRc) {
  // The break poll of the first jump raises a non-stopping error.
  vmtest::on_break_poll = [](int n) {
    if (n == 2) vm_raise_error(ERR_STRING_NOT_FOUND);
    return 0;
  };
  const uint32_t g = var_alloc_global();
  ImageBuilder b;
  const uint16_t lg = b.global(g), lrc = b.global(1);
  const uint16_t p = b.proc(0, 0, 0);
  Label l = b.new_label();
  b.op("jump", {jmp(l)});
  b.bind(l);
  b.op("push_var", {var(lrc)});
  b.op("assign", {var(lg)});
  b.op("return");
  EXPECT_EQ(run(b, p), ERR_OK);
  EXPECT_EQ(value(g), "-3022");
  ASSERT_EQ(vmtest::shown.size(), 1u);
  EXPECT_FALSE(vmtest::shown[0].boxed);
}

void emit_forever(ImageBuilder& b) {
  Label l = b.new_label();
  b.bind(l);
  b.op("jump", {jmp(l)});
}

TEST_F(Catch, BreakKeyStopsAnEndlessLoop) {
  vmtest::on_break_poll = [](int n) { return n == 50 ? 1 : 0; };
  ImageBuilder b;
  const uint16_t p = b.proc(0, 0, 0);
  b.op("push_const", {k("on the stack")});
  emit_forever(b);
  EXPECT_EQ(run(b, p), ERR_BREAK_KEY);
  EXPECT_EQ(rc(), "-3020");
  EXPECT_EQ(vmtest::break_polls, 50);
  EXPECT_EQ(vm_stack.top, -1);
  ASSERT_EQ(vmtest::shown.size(), 1u);
  EXPECT_TRUE(vmtest::shown[0].boxed);
}

TEST_F(Catch, BreakModeMinusOneIgnoresTheBreakKey) {
  // Pressed at poll 3 only; with break mode -1 the run goes on and ends
  // normally, rc untouched by the break.
  vmtest::on_break_poll = [](int n) { return n == 3 ? 1 : 0; };
  const uint32_t g = var_alloc_global();
  ImageBuilder b;
  const uint16_t lg = b.global(g);
  const uint16_t p = b.proc(1, 0, 0);
  Label exit = b.new_label(), top = b.new_label();
  b.op("push_const", {k("B")});
  b.op("push_const", {k("-1")});
  b.op("catch_value", {cnt(2)});
  b.op("pop");
  // for i = 1 to 5: five polled jumps.
  b.op("push_const", {k("1")});
  b.op("push_const", {k("5")});
  b.op("push_const", {k("1")});
  b.op("for_begin", {var(local(0)), raw16(0), jmp(exit)});
  b.bind(top);
  b.op("for_step");
  b.op("jump", {jmp(top)});
  b.bind(exit);
  b.op("for_end");
  b.op("push_var", {var(local(0))});
  b.op("assign", {var(lg)});
  b.op("return");
  EXPECT_EQ(run(b, p), ERR_OK);
  EXPECT_EQ(value(g), "6");
  EXPECT_EQ(rc(), "");
  EXPECT_TRUE(vmtest::shown.empty());
  EXPECT_GE(vmtest::break_polls, 3);
}

TEST_F(Catch, CatchValueChecksItsArguments) {
  struct Case {
    std::vector<const char*> args;
    ErrorCode want;
    const char* pushed;
  };
  const Case cases[] = {
      {{"B"}, ERR_OK, "0"},
      {{" b "}, ERR_OK, "0"},
      {{"B", "-2"}, ERR_OK, "-2"},
      {{"B", "1"}, ERR_INVALID_ARGUMENT, ""},
      {{"X"}, ERR_INVALID_ARGUMENT, ""},
      {{"B", "z"}, ERR_INVALID_NUMBER_ARGUMENT, ""},
  };
  for (const auto& c : cases) {
    reset();
    ImageBuilder b;
    const uint16_t p = b.proc(0, 0, 0);
    for (const char* a : c.args) b.op("push_const", {k(a)});
    b.op("catch_value", {cnt(static_cast<int>(c.args.size()))});
    b.op("return_value");
    EXPECT_EQ(run(b, p), c.want);
    if (c.want == ERR_OK) {
      EXPECT_EQ(rc(), c.pushed);
    }
    EXPECT_EQ(vm_stack.top, -1);
  }
}

TEST_F(Catch, ErrorPositionIsRecordedAndReadable) {
  ImageBuilder b;
  const uint16_t p = b.proc(0, 0, 0);
  b.op("push_const", {k("77 mymod")});
  b.op("error_pos", {cnt(1)});
  b.op("return_value");
  EXPECT_EQ(run(b, p), ERR_OK);
  EXPECT_EQ(rc(), "77 mymod");
  // A stopping error records where it happened.
  reset();
  ImageBuilder b2;
  const uint16_t p2 = b2.proc(0, 0, 0);
  const uint16_t at = b2.here();
  b2.bytes({109});
  EXPECT_EQ(run(b2, p2), ERR_ILLEGAL_OPCODE);
  EXPECT_EQ(vm_catch.error_offset, at + 1);
}

TEST_F(Catch, ContextsAreLimitedToOneHundred) {
  // Nested catch blocks in a loop: the 100th context cannot open.
  const uint32_t g = var_alloc_global();
  ImageBuilder b;
  const uint16_t lg = b.global(g), lrc = b.global(1);
  const uint16_t p = b.proc(0, 0, 0);
  Label loop = b.new_label(), out = b.new_label();
  b.bind(loop);
  b.op("catch_begin");
  b.op("case_jump_ne", {jmp(out), k("0"), var(lrc)});
  b.op("jump", {jmp(loop)});
  b.bind(out);
  b.op("push_var", {var(lrc)});
  b.op("assign", {var(lg)});
  b.op("return");
  EXPECT_EQ(run(b, p), ERR_RECURSION_TOO_DEEP);
  EXPECT_EQ(vm_catch.depth, 0);
  EXPECT_EQ(vm_stack.top, -1);
}

TEST_F(Catch, DamagedCodeRaisesIllegalOpcode) {
  struct Case {
    const char* name;
    void (*build)(ImageBuilder&);
  };
  const Case cases[] = {
      {"runs into the link table", [](ImageBuilder&) {}},
      {"illegal main slot", [](ImageBuilder& b) { b.bytes({114}); }},
      {"illegal ext slot",
       [](ImageBuilder& b) {
         b.bytes({255, 50});
       }},
      {"ext byte past the table",
       [](ImageBuilder& b) {
         b.bytes({255, 240});
       }},
      {"ext prefix at the end", [](ImageBuilder& b) { b.bytes({255}); }},
      {"jump outside",
       [](ImageBuilder& b) {
         b.bytes({8, 0xF0, 0xFF});
       }},
      {"constant outside",
       [](ImageBuilder& b) {
         b.bytes({7, 0xF0, 0xFF});
       }},
      {"link outside",
       [](ImageBuilder& b) {
         b.bytes({4, 0, 0xF0, 0x7F});
       }},
      {"variable 0",
       [](ImageBuilder& b) {
         b.bytes({6, 0, 0});
       }},
      {"argument far away",
       [](ImageBuilder& b) {
         b.bytes({6, 0xFF, 0xFF});
       }},
      {"pop on empty stack", [](ImageBuilder& b) { b.op("pop"); }},
      {"return value of nothing", [](ImageBuilder& b) { b.op("return_value"); }},
      {"loop end without loop", [](ImageBuilder& b) { b.op("for_end"); }},
      {"call with more arguments than pushed",
       [](ImageBuilder& b) {
         b.bytes({0, 9});
       }},
  };
  for (const auto& c : cases) {
    reset();
    ImageBuilder b;
    const uint16_t p = b.proc(0, 0, 0);
    c.build(b);
    EXPECT_EQ(run(b, p), ERR_ILLEGAL_OPCODE) << c.name;
    EXPECT_EQ(vm.frame_depth, 0) << c.name;
    EXPECT_EQ(vm_stack.top, -1) << c.name;
  }
}

}  // namespace

namespace {

using namespace bc;

class CatchReturn : public vmtest::VmTest {};

TEST_F(CatchReturn, ReturnInsideABlockLeavesFromTheProcedure) {
  ImageBuilder b;
  // inner(): catch_begin; push "v"; return_value (the block is still open).
  const uint16_t inner = b.proc(0, 0, 0);
  b.op("catch_begin");
  b.op("catch_begin");
  b.op("push_const", {k("v")});
  b.op("return_value");
  const uint16_t linner = b.private_proc(inner);
  const uint16_t main = b.proc(0, 0, 0);
  b.op("push_const", {k("below")});
  b.op("call_link", {cnt(0), lnk(linner)});
  b.op("return_value");  // returns inner's value; "below" stays under it
  EXPECT_EQ(run(b, main), ERR_OK);
  EXPECT_EQ(rc(), "v");
  EXPECT_EQ(vm.frame_depth, 0);
  EXPECT_EQ(vm_catch.depth, 0);
}

}  // namespace

namespace {

class BreakKey : public vmtest::VmTest {};

TEST_F(BreakKey, AFlaggedBreakStopsTheMacroThroughTheTextEnginesBreakKey) {
  uitest::install();  // the break key alone, no script
  bc::ImageBuilder b;
  const uint16_t p = b.proc(0, 0, 0);
  bc::Label l = b.new_label();
  b.bind(l);
  b.op("jump", {bc::jmp(l)});
  uitest::ui.break_flagged = true;
  EXPECT_EQ(run(b, p), ERR_BREAK_KEY);
  EXPECT_FALSE(uitest::ui.break_flagged);  // handled: the flag is gone
  uitest::install();
}

}  // namespace
