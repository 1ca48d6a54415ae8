// What the run loops share (interp_loop.cpp, interp_decoded.cpp): the plain
// step, the opcodes whose integer paths run without their handlers, and the
// integer operators among them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "macro/opcodes.h"
#include "macro/varheap.h"

namespace vm_steps {

consteval uint8_t slot_of(std::string_view m) { return opcode_slot(m).slot; }

inline constexpr uint8_t kReturn = slot_of("return");
inline constexpr uint8_t kReturnValue = slot_of("return_value");
inline constexpr uint8_t kJump = slot_of("jump");
inline constexpr uint8_t kJumpIfTrue = slot_of("jump_if_true");
inline constexpr uint8_t kJumpIfFalse = slot_of("jump_if_false");
inline constexpr uint8_t kPushVar = slot_of("push_var");
inline constexpr uint8_t kPushConst = slot_of("push_const");
inline constexpr uint8_t kAssign = slot_of("assign");
inline constexpr uint8_t kAdd = slot_of("add");
inline constexpr uint8_t kSub = slot_of("sub");
inline constexpr uint8_t kSubSwapped = slot_of("sub_swapped");
inline constexpr uint8_t kNumEq = slot_of("num_eq");
inline constexpr uint8_t kNumNe = slot_of("num_ne");
inline constexpr uint8_t kNumLt = slot_of("num_lt");
inline constexpr uint8_t kNumGt = slot_of("num_gt");
inline constexpr uint8_t kNumLe = slot_of("num_le");
inline constexpr uint8_t kNumGe = slot_of("num_ge");
inline constexpr uint8_t kIncr = slot_of("incr");
inline constexpr uint8_t kDecr = slot_of("decr");

inline constexpr uint32_t kFirstLocal = 8001;
inline constexpr uint32_t kLastLocal = 8999;

// Whether the loops may run integer steps without the handlers: number
// forms are on and every slot they stand in for still holds its usual
// handler (a test may have put another there).
bool integer_steps_apply();

// Run one instruction the plain way: its handler, after the checks of the
// image bounds and the budget.
void plain_step();

// The operators that run without their handlers, and for a comparison which
// of deeper < top, = and > make it true (bits 0, 1, 2).
enum OperKind : uint8_t { kNotInline, kPlus, kMinus, kMinusSwapped, kCompare };
struct Oper {
  OperKind kind = kNotInline;
  uint8_t holds = 0;
};
inline constexpr std::array<Oper, 256> kOpers = [] {
  std::array<Oper, 256> t{};
  t[kAdd] = {kPlus, 0};
  t[kSub] = {kMinus, 0};
  t[kSubSwapped] = {kMinusSwapped, 0};
  t[kNumEq] = {kCompare, 2};
  t[kNumNe] = {kCompare, 5};
  t[kNumLt] = {kCompare, 1};
  t[kNumGt] = {kCompare, 4};
  t[kNumLe] = {kCompare, 3};
  t[kNumGe] = {kCompare, 6};
  return t;
}();

// a op b; false when the result leaves the numbers a slot keeps (more than
// 16 digits).
[[gnu::always_inline]] inline bool apply(Oper o, int64_t a, int64_t b, int64_t* r) {
  switch (o.kind) {
    case kCompare:
      *r = (o.holds >> ((a > b) - (a < b) + 1)) & 1;
      return true;
    case kPlus:  // 16 digits each: no overflow
      *r = a + b;
      break;
    case kMinus:
      *r = a - b;
      break;
    default:
      *r = b - a;
      break;
  }
  return *r <= kNumMantMax && *r >= -kNumMantMax;
}

}  // namespace vm_steps
