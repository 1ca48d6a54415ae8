// The fetch-dispatch loop (vm_run's body).
//
// The commonest instructions on integers run inline here, with ip, the
// image bounds and the step budget held in registers: pushes of locals and
// of constants, assignment to a local, incr and decr of a local, + and -,
// the six value comparisons and the three jumps. Such a step is taken only
// when every operand is an integer in number form and every slot it writes
// can hold the result without an allocation; it then does exactly what the
// handler does on that path. Anything else (text, a decimal point, a
// reference, a block too small, an operand past the image, any other
// opcode) goes to its handler with the registers written back first, so a
// macro sees the same values, errors and heap whichever ran it.
//
// Constants: the number a constant's text is, is kept in a small table by
// the constant's address, so a constant pushed again is not read again. An
// entry holds the constant's bytes as well and matches only while they are
// the same, so an image freed and another loaded in its place can never
// read a stale number.
#include <array>
#include <cassert>
#include <cstring>

#include "macro/catch.h"
#include "macro/interp.h"
#include "macro/interp_steps.h"
#include "macro/opcode_handlers.h"
#include "macro/opcodes.h"
#include "macro/stack.h"
#include "macro/varheap.h"

bool vm_inline_ops = true;
bool vm_decoded_ops = true;

namespace vm_steps {

namespace {

// The handlers whose work the integer steps repeat. When a slot holds
// another handler (a test's, say) nothing runs without it.
struct InlineOp {
  uint8_t slot;
  OpHandler handler;
};
constexpr InlineOp kInlineOps[] = {
    {kJump, op_jump},
    {kJumpIfTrue, op_jump_if_true},
    {kJumpIfFalse, op_jump_if_false},
    {kPushVar, op_push_var},
    {kPushConst, op_push_const},
    {kAssign, op_assign},
    {kAdd, op_add},
    {kSub, op_subtract},
    {kSubSwapped, op_subtract_swapped},
    {kNumEq, op_num_eq},
    {kNumNe, op_num_ne},
    {kNumLt, op_num_lt},
    {kNumGt, op_num_gt},
    {kNumLe, op_num_le},
    {kNumGe, op_num_ge},
    {kIncr, op_incr},
    {kDecr, op_decr},
};

}  // namespace

bool integer_steps_apply() {
  if (!vm_number_forms) return false;
  for (const InlineOp& o : kInlineOps)
    if (vm_dispatch.main[o.slot] != o.handler) return false;
  return true;
}

void plain_step() {
  // Debug builds check the stacks before every instruction.
  assert(vm_stack.top >= -1 && vm_stack.top < var_stack_capacity());
  assert(vm_catch.depth >= 0 && vm_catch.depth < kMaxCatchContexts);
  assert(vm.frame_depth < static_cast<int32_t>(vm.frames.size()));
  const uint8_t* ip = vm.regs.ip;
  if (ip < vm.regs.module_base || ip >= vm.regs.module_end) {  // ran off the end of the image?
    vm_raise_fatal(ERR_ILLEGAL_OPCODE);
    return;
  }
  if (--vm.steps_left <= 0) {  // a harness's budget spent?
    vm.steps_left = 1;
    vm.budget_spent = true;
    vm_raise_fatal(ERR_ILLEGAL_OPCODE);
    return;
  }
  vm.regs.ip = ip + 1;
  vm_dispatch.main[*ip]();
}

}  // namespace vm_steps

namespace {

using namespace vm_steps;

// ---- constants ----------------------------------------------------------------

// An integer constant of up to seven bytes.
struct ConstEntry {
  const uint8_t* at = nullptr;  // where the constant was read
  uint64_t key = 0;             // its bytes then; 0: empty
  int64_t mant = 0;
};
constexpr size_t kConstSlots = 256;
ConstEntry const_table[kConstSlots];

// Placed by address, so the entry is found while the bytes are still being
// read; checked by both, so bytes that changed at that address never match.
size_t const_hash(const uint8_t* p) { return reinterpret_cast<uintptr_t>(p) % kConstSlots; }

// The integer constant whose length byte is at p, with `room` bytes of the
// image from p on, if the constant is one.
[[gnu::always_inline]] inline bool const_int(const uint8_t* p, size_t room, int64_t* out) {
  // The key: the image's next eight bytes from p (fewer at its end), the
  // length byte and the text among them.
  uint64_t key = 0;
  if (room >= 8) {
    std::memcpy(&key, p, 8);
  } else {  // near the image end: no byte past it is read
    for (size_t i = 0; i < room; ++i) key |= static_cast<uint64_t>(p[i]) << (8 * i);
  }
  const uint8_t len = p[0];
  ConstEntry& e = const_table[const_hash(p)];
  if (e.at == p && e.key == key && len < room) {
    *out = e.mant;
    return true;
  }
  VarNum v;
  if (len == 0 || len > 7 || room <= len ||
      !vm_const_number(std::string_view(reinterpret_cast<const char*>(p + 1), len), &v) || v.scale != 0)
    return false;
  e.at = p;
  e.key = key;
  e.mant = v.mant;
  *out = v.mant;
  return true;
}

// ---- slots ----------------------------------------------------------------------

// The variable area as the inline steps use it: what var_slots holds, read
// once after every handler (only a handler grows or moves it).
struct Area {
  uint32_t* slots;
  VarNumSlot* nums;
  int32_t lb;             // index of the first stack slot
  int32_t last;           // highest index in use
  int32_t locals;         // index of the running procedure's first local
  int32_t locals_number;  // slot number of that local, less 8001

  void load() {
    slots = var_slots.slots.data();
    nums = var_slots.nums.data();
    lb = var_slots.local_base;
    last = var_slots.last_slot;
    locals_number = vm.regs.locals_base;
    locals = lb + locals_number;
  }
  // Whether a slot holds a value in number form (not a reference).
  bool number(int32_t idx) const { return (slots[idx] & (kSlotNumber | kSlotRef)) == kSlotNumber; }
  // The integer a slot holds in number form. References go to the handler.
  bool int_at(int32_t idx, int64_t* out) const {
    if (!number(idx) || nums[idx].scale != 0) return false;
    *out = nums[idx].mant;
    return true;
  }
  // Whether an integer can go into a slot in number form without an
  // allocation (var_set_num_fast for scale 0).
  bool fits(int32_t idx, int64_t m) const { return number(idx) && m >= nums[idx].fit_lo && m <= nums[idx].fit_hi; }
  // Store an integer where fits said it goes.
  void put(int32_t idx, int64_t m) const {
    VarNumSlot& n = nums[idx];
    n.mant = m;
    n.scale = 0;
    n.text_made = 0;
  }
  // The slot index of a local variable operand x, or -1.
  int32_t local(uint32_t x) const {
    if (x - kFirstLocal > kLastLocal - kFirstLocal) return -1;
    const int32_t idx = locals + static_cast<int32_t>(x - kFirstLocal);
    return idx <= last ? idx : -1;
  }
};

uint32_t u16_at(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }

// The inline loop: returns when the frame depth falls back to the target.
void run_inline() {
  const uint8_t* ip;
  const uint8_t* base;
  const uint8_t* end;
  size_t consts;  // offset of the constant area
  int64_t steps;
  int32_t top;  // slot index of the top entry
  Area a;
  // The registers from the machine state, after a handler or at the start.
  auto load = [&] {
    ip = vm.regs.ip;
    base = vm.regs.module_base;
    end = vm.regs.module_end;
    consts = static_cast<size_t>(vm.regs.constants - base);
    steps = vm.steps_left;
    a.load();
    top = a.lb + vm_stack.top;
  };
  auto store = [&] {
    vm.regs.ip = ip;
    vm.steps_left = steps;
    vm_stack.top = top - a.lb;
  };
  // The integer of the constant at a u16 operand.
  auto const_at = [&](uint32_t off, int64_t* out) {
    const size_t at = consts + off;
    const size_t size = static_cast<size_t>(end - base);
    return at < size && const_int(base + at, size - at, out);
  };
  // After a jump: the break key. False when that stopped the run.
  // The poll may run other code (the keyboard's hook), so everything is
  // read again after it.
  auto poll = [&] {
    store();
    if (vm_check_break() != ERR_OK && vm.target_depth >= vm.frame_depth) return false;
    load();
    return true;
  };
  load();
  for (;;) {
    // An instruction the loop cannot take inline starts the plain way,
    // which also raises for an ip outside the image or a spent budget.
    // Every inline opcode has one u16 operand or none; an operand past
    // the image goes to the handler, which raises.
    if (ip < base || end - ip < 3 || steps <= 1) goto plain;
    {
      const uint8_t op = *ip;
      const uint32_t x = u16_at(ip + 1);
      switch (op) {
        case kPushVar: {
          const int32_t src = a.local(x);
          const int32_t t1 = top + 1;
          int64_t v;
          if (src < 0 || t1 > a.last || !a.int_at(src, &v) || !a.fits(t1, v)) goto plain;
          vm_last_read_var = static_cast<uint32_t>(static_cast<int32_t>(x) + a.locals_number);
          // The commonest run: push_var, push_const, an operator, and an
          // assignment or a conditional jump (i + 1 -> i, i < n ?). Done as
          // one step, it leaves every slot as the four would.
          if (end - ip >= 10 && ip[3] == kPushConst && kOpers[ip[6]].kind != kNotInline && steps > 4) {
            const Oper oper = kOpers[ip[6]];
            const uint8_t next = ip[7];
            const int32_t t2 = t1 + 1;
            int64_t k, r;
            if (t2 <= a.last && const_at(u16_at(ip + 4), &k) && a.fits(t2, k) && apply(oper, v, k, &r) &&
                a.fits(t1, r)) {
              const uint32_t y = u16_at(ip + 8);
              if (next == kAssign) {
                const int32_t dst = a.local(y);
                if (dst >= 0 && a.fits(dst, r)) {
                  a.put(t1, r);
                  a.put(t2, k);
                  a.put(dst, r);
                  ip += 10;
                  steps -= 4;
                  continue;
                }
              } else if ((next == kJumpIfFalse || next == kJumpIfTrue) && y < static_cast<size_t>(end - base)) {
                a.put(t1, r);
                a.put(t2, k);
                const bool go = (r == 0) == (next == kJumpIfFalse);
                const bool back = next == kJumpIfTrue || (go && base + y < ip + 10);
                ip = go ? base + y : ip + 10;
                steps -= 4;
                if (back && !poll()) return;
                continue;
              }
              a.put(t1, r);
              a.put(t2, k);
              ++top;
              ip += 7;
              steps -= 3;
              continue;
            }
          }
          a.put(t1, v);
          ++top;
          break;
        }
        case kPushConst: {
          const int32_t t1 = top + 1;
          int64_t k;
          if (t1 > a.last || !const_at(x, &k) || !a.fits(t1, k)) goto plain;
          a.put(t1, k);
          ++top;
          break;
        }
        case kAssign: {
          const int32_t dst = a.local(x);
          int64_t v;
          if (dst < 0 || top < a.lb || !a.int_at(top, &v) || !a.fits(dst, v)) goto plain;
          a.put(dst, v);
          --top;
          break;
        }
        case kIncr:
        case kDecr: {
          const int32_t idx = a.local(x);
          int64_t v;
          if (idx < 0 || !a.int_at(idx, &v)) goto plain;
          const int64_t r = v + (op == kIncr ? 1 : -1);
          if (r > kNumMantMax || r < -kNumMantMax || !a.fits(idx, r)) goto plain;
          a.put(idx, r);
          break;
        }
        case kAdd:
        case kSub:
        case kSubSwapped:
        case kNumEq:
        case kNumNe:
        case kNumLt:
        case kNumGt:
        case kNumLe:
        case kNumGe: {
          int64_t u, v, r;
          if (top - 1 < a.lb || !a.int_at(top - 1, &u) || !a.int_at(top, &v) || !apply(kOpers[op], u, v, &r) ||
              !a.fits(top - 1, r))
            goto plain;
          a.put(top - 1, r);
          --top;
          ++ip;
          --steps;
          continue;
        }
        case kJump:
        case kJumpIfTrue:
        case kJumpIfFalse: {
          if (x >= static_cast<size_t>(end - base)) goto plain;  // a target outside the image
          bool go = true, back = true;
          if (op != kJump) {
            int64_t v;
            if (top < a.lb || !a.int_at(top, &v)) goto plain;
            --top;
            go = (v == 0) == (op == kJumpIfFalse);
            // The false jump polls only when it goes back.
            back = op == kJumpIfTrue || (go && base + x < ip + 3);
          }
          ip = go ? base + x : ip + 3;
          --steps;
          if (back && !poll()) return;
          continue;
        }
        default:
          goto plain;
      }
      ip += 3;
      --steps;
      continue;
    }
  plain:
    store();
    plain_step();
    if (vm.target_depth >= vm.frame_depth) return;
    load();
  }
}

}  // namespace

void vm_run_loop() {
  if (vm.target_depth >= vm.frame_depth) return;
  if (vm_decoded_ops && integer_steps_apply()) {
    vm_run_decoded();
    return;
  }
  if (vm_inline_ops && integer_steps_apply()) {
    run_inline();
    return;
  }
  while (vm.target_depth < vm.frame_depth) plain_step();
}
