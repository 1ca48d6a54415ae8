// The run loop's inline steps and decoded procedures against the handlers:
// random programs with loops and branches, damaged code and spent budgets
// run with the handlers alone, with the inline steps and from the decoded
// form, and must leave the same values, rc, errors, error offsets, break
// polls, heap and compactions. Code changed where a decoded form was read
// from runs as it now is.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "macro/interp.h"
#include "macro/module.h"
#include "macro/stack.h"
#include "macro/varheap.h"
#include "tests/macro/random_rounds.h"
#include "tests/macro/vm_fixture.h"

namespace {

using namespace bc;

// How the loop runs a procedure.
enum Mode { kHandlers, kInline, kDecoded, kModes };

void set_mode(int m) {
  vm_inline_ops = m == kInline;
  vm_decoded_ops = m == kDecoded;
}

class InlineLoop : public vmtest::VmTest {
 protected:
  void TearDown() override {
    vm_inline_ops = true;
    vm_decoded_ops = true;
    VmTest::TearDown();
  }
};

struct Outcome {
  ErrorCode rc = 0;
  std::vector<std::string> values;
  // The stack's slots above the top as well: a later compaction keeps
  // their text, so it shows in the heap.
  std::vector<std::string> stack;
  uint32_t heap_free = 0;
  int32_t compactions = 0;
  int32_t error_offset = 0;
  int polls = 0;
  uint32_t last_read = 0;
  bool budget_spent = false;
  std::vector<int> shown;
  std::string check;

  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  os << "rc " << o.rc << " heap " << o.heap_free << " compactions " << o.compactions << " offset " << o.error_offset
     << " polls " << o.polls << " last_read " << o.last_read << " budget " << o.budget_spent << " values";
  for (const std::string& v : o.values) os << " [" << v << "]";
  os << " stack";
  for (const std::string& v : o.stack) os << " [" << v << "]";
  os << " shown";
  for (int c : o.shown) os << " " << c;
  return os << " check " << o.check;
}

constexpr int kGlobals = 2;

// A procedure and the image that holds it.
struct Program {
  std::vector<uint8_t> image;
  uint16_t proc = 0;
};

Outcome outcome_of(ErrorCode rc, const uint32_t (&slots)[kGlobals]) {
  Outcome o;
  o.rc = rc;
  for (uint32_t s : slots) o.values.emplace_back(lstr_view(var_value(s)));
  o.values.emplace_back(lstr_view(var_value(1)));  // rc
  for (int32_t i = var_slots.local_base; i <= var_slots.last_slot && i < var_slots.local_base + 16; ++i)
    o.stack.emplace_back(lstr_view(var_value_at(i)));
  o.heap_free = var_slots.heap_free;
  o.compactions = var_slots.compactions;
  o.error_offset = vm_catch.error_offset;
  o.polls = vmtest::break_polls;
  o.last_read = vm_last_read_var;
  o.budget_spent = vm.budget_spent;
  for (const vmtest::Shown& s : vmtest::shown) o.shown.push_back(s.code);
  const char* c = var_check();
  o.check = c ? c : "";
  return o;
}

// Constants the programs push: small and large integers, the edge of the
// 16 digits a number form keeps, decimals, texts and texts that look like
// numbers to the decimal rules but are not kept as numbers, and digits
// followed by something else.
const char* const kPool[] = {"0",
                             "1",
                             "2",
                             "-3",
                             "7",
                             "1000000",
                             "9999999999999999",
                             "-9999999999999999",
                             "0.5",
                             "12",
                             "abc",
                             " 7",
                             "",
                             "007",
                             "1e2",
                             "-0",
                             "5",
                             "40",
                             "99999",
                             "-250",
                             "3.",
                             "1234567",
                             "12345678",
                             "10",
                             "4a",
                             "-",
                             "0 "};

const char* const kOperators[] = {"add",    "sub",    "sub_swapped", "num_eq", "num_ne", "num_lt",
                                  "num_gt", "num_le", "num_ge",      "mul",    "concat", "str_lt"};

// A random procedure over two globals and four locals: assignments of
// operators over variables and constants, increments, forward branches and
// small counted loops (the counter is local 3, which nothing else assigns).
Program random_program(std::mt19937& rng, const uint32_t (&slots)[kGlobals], std::string* listing) {
  ImageBuilder b;
  uint16_t globals[kGlobals];
  for (int i = 0; i < kGlobals; ++i) globals[i] = b.global(static_cast<uint16_t>(slots[i]));
  Program p;
  p.proc = b.proc(4, 0, 0);
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  auto target = [&]() -> uint16_t {
    const size_t i = pick(kGlobals + 3);
    return i < kGlobals ? globals[i] : local(static_cast<int>(i - kGlobals));
  };
  auto emit = [&](std::string_view m, std::vector<Opnd> ops, const std::string& text) {
    b.op(m, std::move(ops));
    *listing += std::string(m) + " " + text + "\n";
  };
  auto push_operand = [&] {
    if (pick(2) == 0) {
      const uint16_t v = pick(4) == 0 ? local(3) : target();
      emit("push_var", {var(v)}, std::to_string(v));
    } else {
      const char* c = kPool[pick(std::size(kPool))];
      emit("push_const", {k(c)}, std::string("\"") + c + "\"");
    }
  };
  auto statement = [&] {
    uint16_t t;
    switch (pick(5)) {
      case 0:
      case 1:
        push_operand();
        push_operand();
        emit(kOperators[pick(std::size(kOperators))], {}, "");
        t = target();
        emit("assign", {var(t)}, std::to_string(t));
        break;
      case 2:
        push_operand();
        t = target();
        emit("assign", {var(t)}, std::to_string(t));
        break;
      case 3:
        t = target();
        emit(pick(2) ? "incr" : "decr", {var(t)}, std::to_string(t));
        break;
      case 4: {  // if (a op b) skip the next statement
        push_operand();
        push_operand();
        emit(kOperators[3 + pick(6)], {}, "");
        const Label skip = b.new_label();
        emit(pick(2) ? "jump_if_false" : "jump_if_true", {jmp(skip)}, "skip");
        push_operand();
        t = target();
        emit("assign", {var(t)}, std::to_string(t));
        b.bind(skip);
        *listing += "skip:\n";
        break;
      }
    }
  };
  for (int s = 0; s < 12; ++s) {
    if (pick(4) != 0) {
      statement();
      continue;
    }
    // for (l3 = 0; l3 < n; l3 = l3 + 1) { statements }
    const Label top = b.new_label(), done = b.new_label();
    emit("push_const", {k("0")}, "\"0\"");
    emit("assign", {var(local(3))}, "l3");
    b.bind(top);
    *listing += "top:\n";
    emit("push_var", {var(local(3))}, "l3");
    emit("push_const", {k(std::to_string(pick(6)))}, "n");
    emit("num_lt", {}, "");
    emit("jump_if_false", {jmp(done)}, "done");
    for (size_t i = 1 + pick(3); i > 0; --i) statement();
    emit("push_var", {var(local(3))}, "l3");
    emit("push_const", {k("1")}, "\"1\"");
    emit("add", {}, "");
    emit("assign", {var(local(3))}, "l3");
    emit("jump", {jmp(top)}, "top");
    b.bind(done);
    *listing += "done:\n";
  }
  emit("return", {}, "");
  p.image = b.finish();
  return p;
}

// The image with some operators swapped for others and some digits of its
// constants changed: the same size, other code.
std::vector<uint8_t> changed_copy(const std::vector<uint8_t>& image, uint16_t proc, unsigned seed) {
  static const uint8_t kSwappable[] = {opcode_slot("add").slot,    opcode_slot("sub").slot,
                                       opcode_slot("num_lt").slot, opcode_slot("num_ge").slot,
                                       opcode_slot("num_eq").slot, opcode_slot("num_ne").slot};
  std::mt19937 rng(seed);
  std::vector<uint8_t> out = image;
  const size_t code_end = image[MH_LINKS] | image[MH_LINKS + 1] << 8;
  const size_t consts = image[MH_CONSTANTS] | image[MH_CONSTANTS + 1] << 8;
  for (size_t i = proc + kProcHeaderSize; i < code_end; ++i)
    if (std::find(std::begin(kSwappable), std::end(kSwappable), out[i]) != std::end(kSwappable) && rng() % 3 == 0)
      out[i] = kSwappable[rng() % std::size(kSwappable)];
  for (size_t i = consts; i < out.size(); ++i)
    if (out[i] >= '0' && out[i] <= '9' && rng() % 3 == 0) out[i] = static_cast<uint8_t>('0' + rng() % 10);
  return out;
}

TEST_F(InlineLoop, RandomProgramsSeeTheSameWithAndWithoutInlineSteps) {
  int budget_stops = 0, errors = 0, compacted = 0, pressed = 0, redecoded = 0;
  int break_at = 0;  // the round's
  // One buffer holds every image the decoded runs see, so a changed image
  // lies where the form of the one before was read from.
  std::vector<uint8_t> buffer;
  buffer.reserve(65536);
  auto make_round = [&](std::mt19937& rng, int round) {
    // A small heap makes compactions and "Out of string space" common; a
    // small budget stops runs in the middle of the commonest runs.
    const int32_t heap = round % 3 == 0 ? 20000 : 1000 + static_cast<int32_t>(rng() % 1500);
    const int64_t budget = round % 4 == 0 ? 1 + static_cast<int64_t>(rng() % 300) : INT64_MAX;
    break_at = round % 7 == 0 ? 1 + static_cast<int>(rng() % 6) : 0;
    // Every other round the decoded run first runs a changed copy of the
    // program from the same buffer.
    const bool changed_first = round % 2 == 1;
    auto prog = std::make_shared<Program>();
    rounds::Round<Outcome> r;
    r.settings = "heap " + std::to_string(heap) + ", budget " + std::to_string(budget) + ", changed copy first " +
                 std::to_string(changed_first);
    r.run = [this, &rng, &buffer, &redecoded, heap, budget, break_at, changed_first, prog, round](
                int mode, std::string* listing) {
      uint32_t slots[kGlobals];
      auto fresh = [&] {
        reset(200, heap);
        set_mode(mode);
        for (uint32_t& s : slots) s = static_cast<uint32_t>(var_alloc_global());
      };
      fresh();
      if (mode == kHandlers) *prog = random_program(rng, slots, listing);
      const uint64_t decodes = vm_decodes();
      bool differs = false;
      if (mode == kDecoded && changed_first) {
        const std::vector<uint8_t> changed = changed_copy(prog->image, prog->proc, static_cast<unsigned>(round));
        differs = changed != prog->image;
        buffer.assign(changed.begin(), changed.end());
        vm.steps_left = 500;
        vm_call_image(buffer, prog->proc, {});
        fresh();
      }
      buffer.assign(prog->image.begin(), prog->image.end());
      vmtest::on_break_poll = [break_at](int n) { return n == break_at ? 1 : 0; };
      vm.steps_left = budget;
      const Outcome o = outcome_of(vm_call_image(buffer, prog->proc, {}), slots);
      if (differs) redecoded += vm_decodes() - decodes >= 2;
      return o;
    };
    return r;
  };
  rounds::run_rounds<Outcome>(
      2000, kModes, make_round,
      [](const Outcome& first, const Outcome& other, int) {
        EXPECT_EQ(first, other);
        EXPECT_EQ(other.check, "");
      },
      [&](const Outcome& o) {
        budget_stops += o.budget_spent;
        errors += o.rc != ERR_OK;
        compacted += o.compactions > 0;
        pressed += break_at != 0 && o.polls >= break_at;
      });
  // The programs reach the paths that matter.
  EXPECT_GT(budget_stops, 20);
  EXPECT_GT(errors, 20);
  EXPECT_GT(compacted, 20);
  EXPECT_GT(pressed, 10);
  EXPECT_GT(redecoded, 500);  // a changed image read again where its copy was
}

// ---- damaged code and edges -----------------------------------------------

// i = 0; while (i < 5) i = i + 1; g = i, in which `damage` may change bytes
// of the finished image (offset of the loop's first instruction given).
struct EdgeCase {
  const char* what;
  void (*damage)(std::vector<uint8_t>& image, uint16_t loop);
  ErrorCode rc;  // what the run gives; kAnyCode: only the same both ways
};
constexpr ErrorCode kAnyCode = 1;

// The counting loop: push_var, push_const, num_lt, jump_if_false at loop+0
// .. loop+7; push_var, push_const, add, assign at loop+10 .. loop+17; jump
// at loop+20.
std::vector<uint8_t> counting_loop(uint16_t* proc, uint16_t* loop, uint32_t g) {
  ImageBuilder b;
  const uint16_t gl = b.global(static_cast<uint16_t>(g));
  *proc = b.proc(1, 0, 0);
  const Label top = b.new_label(), done = b.new_label();
  b.op("push_const", {k("0")});
  b.op("assign", {var(local(0))});
  b.bind(top);
  *loop = b.here();
  b.op("push_var", {var(local(0))});
  b.op("push_const", {k("5")});
  b.op("num_lt");
  b.op("jump_if_false", {jmp(done)});
  b.op("push_var", {var(local(0))});
  b.op("push_const", {k("1")});
  b.op("add");
  b.op("assign", {var(local(0))});
  b.op("jump", {jmp(top)});
  b.bind(done);
  b.op("push_var", {var(local(0))});
  b.op("assign", {var(gl)});
  b.op("return");
  return b.finish();
}

void put16(std::vector<uint8_t>& img, size_t at, uint16_t v) {
  img[at] = static_cast<uint8_t>(v);
  img[at + 1] = static_cast<uint8_t>(v >> 8);
}

const EdgeCase kEdges[] = {
    {"as built", [](std::vector<uint8_t>&, uint16_t) {}, ERR_OK},
    {"jump_if_false target past the image",
     [](std::vector<uint8_t>& img, uint16_t loop) { put16(img, loop + 8, static_cast<uint16_t>(img.size())); },
     ERR_ILLEGAL_OPCODE},
    {"jump target past the image", [](std::vector<uint8_t>& img, uint16_t loop) { put16(img, loop + 21, 0xFFFF); },
     ERR_ILLEGAL_OPCODE},
    {"push_var of a local far above the top",
     [](std::vector<uint8_t>& img, uint16_t loop) { put16(img, loop + 1, 8999); }, kAnyCode},
    {"push_const past the image", [](std::vector<uint8_t>& img, uint16_t loop) { put16(img, loop + 4, 0xFFF0); },
     ERR_ILLEGAL_OPCODE},
    {"assign to a local far above the top",
     [](std::vector<uint8_t>& img, uint16_t loop) { put16(img, loop + 18, 8990); }, kAnyCode},
    {"the add takes the local itself",  // incr in place of the push_var
     [](std::vector<uint8_t>& img, uint16_t loop) { img[loop + 10] = 97; }, kAnyCode},
    {"the loop jumps back into its own operands",
     [](std::vector<uint8_t>& img, uint16_t loop) { put16(img, loop + 21, static_cast<uint16_t>(loop + 1)); },
     kAnyCode},
    {"the image ends inside the loop", [](std::vector<uint8_t>& img, uint16_t loop) { img.resize(loop + 15); },
     kAnyCode},
};

TEST_F(InlineLoop, DamagedCodeStopsAsTheHandlersStopIt) {
  for (const EdgeCase& c : kEdges) {
    Outcome out[kModes];
    for (int in = 0; in < kModes; ++in) {
      reset();
      set_mode(in);
      uint32_t slots[kGlobals];
      for (uint32_t& s : slots) s = static_cast<uint32_t>(var_alloc_global());
      uint16_t proc = 0, loop = 0;
      std::vector<uint8_t> img = counting_loop(&proc, &loop, slots[0]);
      c.damage(img, loop);
      vm.steps_left = 10000;  // a damaged loop may never end
      out[in] = outcome_of(vm_call_image(img, proc, {}), slots);
    }
    for (int m = 1; m < kModes; ++m) EXPECT_EQ(out[0], out[m]) << c.what << ", mode " << m;
    if (c.rc != kAnyCode) {
      EXPECT_EQ(out[kDecoded].rc, c.rc) << c.what;
    }
    if (c.rc == ERR_OK) {
      EXPECT_EQ(out[kDecoded].values[0], "5") << c.what;
    }
  }
}

// Every budget from 1 to past the loop's end: the stop comes at the same
// instruction, with the same values, inline or not.
TEST_F(InlineLoop, BudgetStopsAtTheSameInstruction) {
  for (int64_t budget = 1; budget < 70; ++budget) {
    Outcome out[kModes];
    for (int in = 0; in < kModes; ++in) {
      reset();
      set_mode(in);
      uint32_t slots[kGlobals];
      for (uint32_t& s : slots) s = static_cast<uint32_t>(var_alloc_global());
      uint16_t proc = 0, loop = 0;
      const std::vector<uint8_t> img = counting_loop(&proc, &loop, slots[0]);
      vm.steps_left = budget;
      out[in] = outcome_of(vm_call_image(img, proc, {}), slots);
    }
    for (int m = 1; m < kModes; ++m) EXPECT_EQ(out[0], out[m]) << "budget " << budget << ", mode " << m;
    // 2 + 5 * 9 + 4 + 3 instructions: the budget must outlast them.
    EXPECT_EQ(out[kDecoded].budget_spent, budget <= 54) << "budget " << budget;
  }
}

// The break key is polled as the procedure starts and at each backward
// jump, and a press stops the loop there, inline as without.
TEST_F(InlineLoop, BreakKeyPolledAtEveryBackwardJump) {
  for (int press = 0; press <= 7; ++press) {
    Outcome out[kModes];
    for (int in = 0; in < kModes; ++in) {
      reset();
      set_mode(in);
      vmtest::on_break_poll = [press](int n) { return n == press ? 1 : 0; };
      uint32_t slots[kGlobals];
      for (uint32_t& s : slots) s = static_cast<uint32_t>(var_alloc_global());
      uint16_t proc = 0, loop = 0;
      const std::vector<uint8_t> img = counting_loop(&proc, &loop, slots[0]);
      out[in] = outcome_of(vm_call_image(img, proc, {}), slots);
    }
    for (int m = 1; m < kModes; ++m) EXPECT_EQ(out[0], out[m]) << "press " << press << ", mode " << m;
    const bool stops = press >= 1 && press <= 6;
    EXPECT_EQ(out[kDecoded].polls, stops ? press : 6) << "press " << press;
    EXPECT_EQ(out[kDecoded].rc == ERR_BREAK_KEY, stops) << "press " << press;
    EXPECT_EQ(out[kDecoded].values[0], stops ? "" : "5") << "press " << press;
  }
}

// A constant's number is remembered by its place; an image put where
// another was, with other bytes there, reads its own constants.
TEST_F(InlineLoop, ConstantsReadAfreshWhereAnImageChanged) {
  uint32_t g = static_cast<uint32_t>(var_alloc_global());
  ImageBuilder b;
  const uint16_t gl = b.global(static_cast<uint16_t>(g));
  const uint16_t proc = b.proc(0, 0, 0);
  b.op("push_const", {k("1234")});
  b.op("push_const", {k("1")});
  b.op("add");
  b.op("assign", {var(gl)});
  b.op("return");
  std::vector<uint8_t> img = b.finish();
  ASSERT_EQ(vm_call_image(img, proc, {}), ERR_OK);
  EXPECT_EQ(value(g), "1235");
  // The same buffer, the first constant's digits changed in place.
  const std::string_view text(reinterpret_cast<const char*>(img.data()), img.size());
  const size_t at = text.find("1234");
  ASSERT_NE(at, std::string_view::npos);
  img[at] = '9';
  ASSERT_EQ(vm_call_image(img, proc, {}), ERR_OK);
  EXPECT_EQ(value(g), "9235");
  img[at + 1] = 'x';  // now a text: "9x34" + "1" is an error
  EXPECT_NE(vm_call_image(img, proc, {}), ERR_OK);
  EXPECT_EQ(value(g), "9235");
}

// ---- decoded forms and changed code ---------------------------------------------

// Where the text of a constant lies in an image (its first byte).
size_t constant_text(const std::vector<uint8_t>& img, std::string_view text) {
  const size_t consts = img[MH_CONSTANTS] | img[MH_CONSTANTS + 1] << 8;
  for (size_t i = consts; i + 1 + text.size() <= img.size(); ++i)
    if (img[i] == text.size() && std::string_view(reinterpret_cast<const char*>(&img[i + 1]), text.size()) == text)
      return i + 1;
  ADD_FAILURE() << "no constant " << text;
  return 0;
}

// A change made in place to the counting loop (i = 0; while (i < 5)
// i = i + 1; g = i) after it ran from its decoded form, and the g it must
// then give (none: a budget stops it).
struct CodeChange {
  const char* what;
  void (*change)(std::vector<uint8_t>& image, uint16_t loop);
  const char* g;
};

const CodeChange kChanges[] = {
    {"the limit's constant", [](std::vector<uint8_t>& img, uint16_t) { img[constant_text(img, "5")] = '7'; }, "7"},
    {"the step's constant", [](std::vector<uint8_t>& img, uint16_t) { img[constant_text(img, "1")] = '2'; }, "6"},
    {"the comparison", [](std::vector<uint8_t>& img, uint16_t loop) { img[loop + 6] = opcode_slot("num_le").slot; },
     "6"},
    {"the branch's sense",
     [](std::vector<uint8_t>& img, uint16_t loop) { img[loop + 7] = opcode_slot("jump_if_true").slot; }, "0"},
    {"the branch's target (to the step: the loop never ends)",
     [](std::vector<uint8_t>& img, uint16_t loop) { put16(img, loop + 8, static_cast<uint16_t>(loop + 10)); }, ""},
    {"the operator, to one that runs its handler",
     [](std::vector<uint8_t>& img, uint16_t loop) { img[loop + 16] = opcode_slot("concat").slot; }, "011"},
    {"the assignment's local (the loop never ends)",
     [](std::vector<uint8_t>& img, uint16_t loop) { put16(img, loop + 18, bc::local(1)); }, ""},
};

// Decoded once, run from then on; changed in place, read again and run as
// it now is, the same as the handlers run it.
TEST_F(InlineLoop, ChangedCodeIsDecodedAgain) {
  for (const CodeChange& c : kChanges) {
    Outcome out[kModes];
    for (int mode = 0; mode < kModes; ++mode) {
      reset();
      set_mode(mode);
      uint32_t slots[kGlobals];
      for (uint32_t& s : slots) s = static_cast<uint32_t>(var_alloc_global());
      uint16_t proc = 0, loop = 0;
      std::vector<uint8_t> img = counting_loop(&proc, &loop, slots[0]);
      vm_decoded_clear();  // the last case's image may have lain here
      const uint64_t before = vm_decodes();
      for (int run = 0; run < 3; ++run) ASSERT_EQ(vm_call_image(img, proc, {}), ERR_OK) << c.what;
      EXPECT_EQ(value(slots[0]), "5") << c.what;
      if (mode == kDecoded) {
        EXPECT_EQ(vm_decodes() - before, 1u) << c.what << ": decoded once, run three times";
      }
      c.change(img, loop);
      const uint64_t changed = vm_decodes();
      vm.steps_left = 500;
      out[mode] = outcome_of(vm_call_image(img, proc, {}), slots);
      if (mode == kDecoded) {
        EXPECT_EQ(vm_decodes() - changed, 1u) << c.what << ": read again";
      }
    }
    for (int m = 1; m < kModes; ++m) EXPECT_EQ(out[0], out[m]) << c.what << ", mode " << m;
    if (std::string_view(c.g).empty()) {
      EXPECT_TRUE(out[kDecoded].budget_spent) << c.what;
    } else {
      EXPECT_EQ(out[kDecoded].values[0], c.g) << c.what;
    }
  }
}

}  // namespace
