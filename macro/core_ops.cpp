// Core opcodes: operators, comparisons, arithmetic, bit operations,
// increments, the parse statement and a few statements (see core_ops.h).
#include "macro/core_ops.h"

#include <charconv>
#include <cstdlib>
#include <optional>

#include "macro/catch.h"
#include "macro/command_exec.h"
#include "macro/decimal.h"
#include "macro/exit_path.h"
#include "macro/form_port.h"
#include "macro/interp.h"
#include "macro/opcodes.h"
#include "macro/stack.h"
#include "macro/string_bi.h"
#include "macro/varheap.h"

ParseState core_parse;

namespace {

// Pushes the result of a decimal operation, or raises its failure.
void push_or_raise(ErrorCode rc, const DecText& t) {
  if (rc != ERR_OK) {
    vm_raise_error(rc);
    return;
  }
  vm_push_result(t.view());
}

void push_truth(bool t) { vm_push_num(VarNum{t ? 1 : 0, 0}); }

// The two-operand arithmetic and bit operations.
enum class Arith : uint8_t { Add, Sub, Div, Mul, IntDiv, Mod, Pow, Xor, And, Or, Shl, Shr };

// a op b.
ErrorCode arith(Arith op, std::string_view a, std::string_view b, DecText* t) {
  switch (op) {
    case Arith::Add:
      return dec_add_sub_cmp(t, a, b, 0);
    case Arith::Sub:
      return dec_add_sub_cmp(t, a, b, 1);
    case Arith::Div:
      return dec_div(t, a, b, 0);
    case Arith::Mul:
      return dec_mul(t, a, b);
    case Arith::IntDiv:
      return dec_div(t, a, b, 1);
    case Arith::Mod:
      return dec_div(t, a, b, 2);
    case Arith::Pow:
      return dec_power(t, a, b);
    case Arith::Xor:
      return dec_bit_xor(t, a, b);
    case Arith::And:
      return dec_bit_and_or(t, a, b, false);
    case Arith::Or:
      return dec_bit_and_or(t, a, b, true);
    case Arith::Shl:
      return dec_shift(t, a, b, true);
    case Arith::Shr:
      return dec_shift(t, a, b, false);
  }
  return ERR_ILLEGAL_OPCODE;
}

// ---- numbers in number form ---------------------------------------------------
//
// The shortcuts below give exactly the decimal rules' results for numbers
// of up to 16 digits (var_num_ok), where those results are exact: aligned
// sums and products that stay within 16 digits, integer quotients and
// remainders, and the 32-bit bit operations. Anything else (a result out of
// range, a division that does not come out even, a power, an error) goes
// the way of the text, which is the rule.

constexpr int64_t kPow10[] = {1,
                              10,
                              100,
                              1000,
                              10000,
                              100000,
                              1000000,
                              10000000,
                              100000000,
                              1000000000,
                              10000000000,
                              100000000000,
                              1000000000000,
                              10000000000000,
                              100000000000000,
                              1000000000000000,
                              10000000000000000};

// m x 10^k without overflow.
bool scale_up(int64_t m, int32_t k, int64_t* out) { return !__builtin_mul_overflow(m, kPow10[k], out); }

bool result(int64_t m, int32_t scale, VarNum* r) {
  *r = m == 0 ? VarNum{0, 0} : VarNum{m, scale};  // zero is written "0" whatever its scale
  return var_num_ok(*r);
}

// The 32-bit integer of a number as the bit operations take it (decimal.h):
// the integer part's lowest twelve digits, signed, wrapped to 32 bits.
int32_t bit_int(VarNum a) {
  const int64_t m = a.mant / kPow10[a.scale];  // truncates toward zero
  const uint64_t low = static_cast<uint64_t>(m < 0 ? -m : m) % 1000000000000u;
  const uint32_t w = static_cast<uint32_t>(low);
  return static_cast<int32_t>(m < 0 ? 0u - w : w);
}

int compare(VarNum a, VarNum b) {
  if ((a.scale | b.scale) == 0) return (a.mant > b.mant) - (a.mant < b.mant);
  // Aligned in 128 bits: 16 digits shifted by up to 16 places always fit.
  const int32_t s = a.scale > b.scale ? a.scale : b.scale;
  const __int128 x = static_cast<__int128>(a.mant) * kPow10[s - a.scale];
  const __int128 y = static_cast<__int128>(b.mant) * kPow10[s - b.scale];
  return (x > y) - (x < y);
}

// a + b or a - b with a decimal point in either.
bool add_scaled(Arith op, VarNum a, VarNum b, VarNum* r) {
  const int32_t s = a.scale > b.scale ? a.scale : b.scale;
  int64_t x, y, z;
  return scale_up(a.mant, s - a.scale, &x) && scale_up(b.mant, s - b.scale, &y) &&
         !(op == Arith::Add ? __builtin_add_overflow(x, y, &z) : __builtin_sub_overflow(x, y, &z)) && result(z, s, r);
}

// a op b; false when the text must decide.
[[gnu::always_inline]] inline bool num_arith(Arith op, VarNum a, VarNum b, VarNum* r) {
  const bool ints = (a.scale | b.scale) == 0;
  switch (op) {
    case Arith::Add:  // 16 digits each: no overflow
      return ints ? result(a.mant + b.mant, 0, r) : add_scaled(op, a, b, r);
    case Arith::Sub:
      return ints ? result(a.mant - b.mant, 0, r) : add_scaled(op, a, b, r);
    case Arith::Mul: {
      int64_t z;
      return !__builtin_mul_overflow(a.mant, b.mant, &z) && result(z, a.scale + b.scale, r);
    }
    case Arith::Div:  // an even integer quotient (6 / 2 is 3)
      return ints && b.mant != 0 && a.mant % b.mant == 0 && result(a.mant / b.mant, 0, r);
    case Arith::IntDiv:  // truncates; the sign is the product of the signs
      return ints && b.mant != 0 && result(a.mant / b.mant, 0, r);
    case Arith::Mod: {  // the remainder, signed by the product of the signs
      if (!ints || b.mant == 0) return false;
      const int64_t m = (a.mant < 0 ? -a.mant : a.mant) % (b.mant < 0 ? -b.mant : b.mant);
      return result((a.mant < 0) != (b.mant < 0) ? -m : m, 0, r);
    }
    case Arith::Pow:
      return false;
    case Arith::Xor:
      *r = VarNum{bit_int(a) ^ bit_int(b), 0};
      return true;
    case Arith::And:
      *r = VarNum{bit_int(a) & bit_int(b), 0};
      return true;
    case Arith::Or:
      *r = VarNum{bit_int(a) | bit_int(b), 0};
      return true;
    case Arith::Shl:
    case Arith::Shr: {
      const int32_t v = bit_int(a), k = bit_int(b) & 31;
      *r = VarNum{op == Arith::Shl ? static_cast<int32_t>(static_cast<uint32_t>(v) << k) : v >> k, 0};
      return true;
    }
  }
  return false;
}

// The two operands of a binary opcode as numbers, deeper in *a and top in
// *b: number forms, or texts that are the text of a number.
bool num_operands(VarNum* a, VarNum* b) {
  if (!vm_number_forms) return false;
  const int32_t top = vm_stack_index(0);
  if (var_num_at(top - 1, a) && var_num_at(top, b)) return true;
  return vm_num_value_at_depth(1, a) && vm_num_value_at_depth(0, b);
}

// Replaces the two top entries by r; the deeper one's slot takes it when
// it can hold it.
void replace_two(VarNum r) {
  if (var_set_num_fast(vm_stack_index(1), r)) {
    --vm_stack.top;
    return;
  }
  vm_stack.top -= 2;
  vm_push_num(r);
}

// binary() for operands that are not both in number form.
[[gnu::noinline]] void binary_slow(Arith op, bool swapped) {
  if (!core_have(2)) return;
  if (VarNum x, y, r; num_operands(&x, &y) && (swapped ? num_arith(op, y, x, &r) : num_arith(op, x, y, &r))) {
    replace_two(r);
    return;
  }
  std::string_view b = core_view(0), a = core_view(1);
  DecText t;
  ErrorCode rc = swapped ? arith(op, b, a, &t) : arith(op, a, b, &t);
  core_drop(2);
  push_or_raise(rc, t);
}

// Pops top and deeper and pushes deeper op top (or top op deeper).
[[gnu::always_inline]] inline void binary(Arith op, bool swapped) {
  if (vm_stack.top >= 1 && vm_number_forms) {
    const int32_t top = vm_stack_index(0);
    VarNum x, y, r;
    if (var_num_at(top - 1, &x) && var_num_at(top, &y) &&
        (swapped ? num_arith(op, y, x, &r) : num_arith(op, x, y, &r))) {
      replace_two(r);
      return;
    }
  }
  binary_slow(op, swapped);
}

// Deeper compared with top by value (decimal.h): < 0, 0 or > 0.
int32_t compare_top_two() {
  if (VarNum a, b; num_operands(&a, &b)) return compare(a, b);
  DecText unused;
  return dec_add_sub_cmp(&unused, core_view(1), core_view(0), 2);
}

// Truth of the value depth entries below the top.
bool truth_at(int32_t depth) {
  if (VarNum v; vm_num_at_depth(depth, &v)) return v.mant != 0;
  return core_truth(core_view(depth));
}

// Assigns the text of a decimal result to a variable, as a number when it
// reads back as one.
void assign_result(uint32_t slot, const DecText& t) {
  if (VarNum v; vm_number_forms && var_num_from_text(t.view(), &v)) {
    var_assign_num_at(var_index(slot), v);
    return;
  }
  var_assign_bytes(slot, t.text, t.len);
}

// A variable's number: its number form, or its text read as one.
bool var_num_value(uint32_t slot, VarNum* out) {
  const int32_t idx = var_index(slot);
  return idx >= 0 && (var_num_at(idx, out) || var_num_from_text(lstr_view(var_value_at(idx)), out));
}

}  // namespace

bool core_have(int32_t n) {
  if (vm_stack.top + 1 >= n) return true;
  vm_raise_error(ERR_ILLEGAL_OPCODE);  // damaged code popping below the bottom
  return false;
}

const LStr* core_value(int32_t depth) { return var_value(vm_stack_number(vm_stack.top - depth)); }

void core_drop(int32_t n) { vm_stack.top -= n; }

bool core_raise_stops(ErrorCode code) {
  const uint32_t before = vm_catch.unwinds;
  vm_raise_error(code);
  return vm_catch.unwinds != before;
}

// ---- logic and comparison -----------------------------------------------------

// Main 25: "0" only when both are exactly "0".
void op_logical_or() {
  if (!core_have(2)) return;
  bool t = truth_at(0) || truth_at(1);
  core_drop(2);
  push_truth(t);
}

// Main 26: "1" only when neither is exactly "0".
void op_logical_and() {
  if (!core_have(2)) return;
  bool t = truth_at(0) && truth_at(1);
  core_drop(2);
  push_truth(t);
}

// Main 39.
void op_logical_not() {
  if (!core_have(1)) return;
  bool t = !truth_at(0);
  core_drop(1);
  push_truth(t);
}

namespace {
// Main 27-32: = <> < > <= >= by value; non-numbers as stripped strings.
// `holds` tells from deeper's comparison with top whether the relation holds.
template <typename Holds>
void op_num_compare(Holds holds) {
  if (!core_have(2)) return;
  int32_t c = compare_top_two();
  bool t = holds(c);
  core_drop(2);
  push_truth(t);
}
}  // namespace

void op_num_eq() {
  op_num_compare([](int32_t c) { return c == 0; });
}
void op_num_ne() {
  op_num_compare([](int32_t c) { return c != 0; });
}
void op_num_lt() {
  op_num_compare([](int32_t c) { return c < 0; });
}
void op_num_gt() {
  op_num_compare([](int32_t c) { return c > 0; });
}
void op_num_le() {
  op_num_compare([](int32_t c) { return c <= 0; });
}
void op_num_ge() {
  op_num_compare([](int32_t c) { return c >= 0; });
}

namespace {
// Main 33-38: byte comparison, deeper against top.
int32_t str_compare() { return lstr_cmp(core_value(1), core_value(0)); }
void str_result(bool t) {
  core_drop(2);
  push_truth(t);
}
}  // namespace

void op_str_eq() {
  if (core_have(2)) str_result(str_compare() == 0);
}
void op_str_ne() {
  if (core_have(2)) str_result(str_compare() != 0);
}
void op_str_gt() {
  if (core_have(2)) str_result(str_compare() > 0);
}
void op_str_lt() {
  if (core_have(2)) str_result(str_compare() < 0);
}
void op_str_ge() {
  if (core_have(2)) str_result(str_compare() >= 0);
}
void op_str_le() {
  if (core_have(2)) str_result(str_compare() <= 0);
}

// ---- concatenation and arithmetic ---------------------------------------------

namespace {
// Main 11: deeper then top; main 12: top then deeper. Cut at 1024 bytes.
void concat(bool swapped) {
  if (!core_have(2)) return;
  std::string_view b = core_view(0), a = core_view(1);
  if (swapped) std::swap(a, b);
  LStrLine r(a);
  lstr_append_mem(r, b.data(), static_cast<int32_t>(b.size()), r.cap);
  core_drop(2);
  vm_push_bytes(r.text, r.len);
}
}  // namespace

void op_concat() { concat(false); }
void op_concat_swapped() { concat(true); }

// Main 13.
void op_add() { binary(Arith::Add, false); }

// Main 14: deeper - top; 15: top - deeper.
void op_subtract() { binary(Arith::Sub, false); }
void op_subtract_swapped() { binary(Arith::Sub, true); }

// Main 16-24: / * / (swapped), integer quotient, remainder and power, each
// with a swapped twin.
void op_div() { binary(Arith::Div, false); }
void op_mul() { binary(Arith::Mul, false); }
void op_div_swapped() { binary(Arith::Div, true); }
void op_int_div() { binary(Arith::IntDiv, false); }
void op_int_div_swapped() { binary(Arith::IntDiv, true); }
void op_mod() { binary(Arith::Mod, false); }
void op_mod_swapped() { binary(Arith::Mod, true); }
void op_pow() { binary(Arith::Pow, false); }
void op_pow_swapped() { binary(Arith::Pow, true); }

// Main 40: 0 - a.
void op_negate() {
  if (!core_have(1)) return;
  if (VarNum a, r; vm_number_forms && vm_num_value_at_depth(0, &a) && num_arith(Arith::Sub, VarNum{0, 0}, a, &r)) {
    core_drop(1);
    vm_push_num(r);
    return;
  }
  DecText t;
  ErrorCode rc = dec_add_sub_cmp(&t, "0", core_view(0), 1);
  core_drop(1);
  push_or_raise(rc, t);
}

// Main 55.
void op_bit_xor() { binary(Arith::Xor, false); }

// Main 67.
void op_bit_not() {
  if (!core_have(1)) return;
  if (VarNum a; vm_number_forms && vm_num_value_at_depth(0, &a)) {
    core_drop(1);
    vm_push_num(VarNum{~bit_int(a), 0});
    return;
  }
  DecText t;
  ErrorCode rc = dec_bit_not(&t, core_view(0));
  core_drop(1);
  push_or_raise(rc, t);
}

// Main 72: and; 73: or.
void op_bit_and() { binary(Arith::And, false); }
void op_bit_or() { binary(Arith::Or, false); }

// Main 95: deeper << top; 96: deeper >> top.
void op_shift_left() { binary(Arith::Shl, false); }
void op_shift_right() { binary(Arith::Shr, false); }

// Main 115: top << deeper; 122: top >> deeper.
void op_shift_left_swapped() { binary(Arith::Shl, true); }
void op_shift_right_swapped() { binary(Arith::Shr, true); }

namespace {
// variable = variable ± 1.
void step_var(bool down) {
  uint32_t slot = vm_fetch_var_operand();
  if (slot == 0) return;
  if (VarNum a, r;
      vm_number_forms && var_num_value(slot, &a) && num_arith(down ? Arith::Sub : Arith::Add, a, VarNum{1, 0}, &r)) {
    var_assign_num_at(var_index(slot), r);
    return;
  }
  DecText t;
  ErrorCode rc = dec_add_sub_cmp(&t, lstr_view(var_value(slot)), std::nullopt, down ? 1 : 0);
  if (rc != ERR_OK) {
    vm_raise_error(rc);
    return;
  }
  assign_result(slot, t);
}
}  // namespace

// Main 97, 98.
void op_incr() { step_var(false); }
void op_decr() { step_var(true); }

// Main 113: u8 operator, u16 variable; variable = variable op popped value.
void op_compound_assign() {
  uint8_t op = 0;
  if (!vm_fetch_u8(&op)) return;
  uint32_t slot = vm_fetch_var_operand();
  if (slot == 0 || !core_have(1)) return;
  static constexpr struct {
    char op;
    Arith arith;
  } kCompound[] = {{'&', Arith::And}, {'|', Arith::Or},  {'^', Arith::Xor}, {'*', Arith::Mul},
                   {'+', Arith::Add}, {'-', Arith::Sub}, {'/', Arith::Div}};
  for (const auto& k : kCompound) {
    if (k.op != op || !vm_number_forms) continue;
    if (VarNum a, b, r; var_num_value(slot, &a) && vm_num_value_at_depth(0, &b) && num_arith(k.arith, a, b, &r)) {
      core_drop(1);
      var_assign_num_at(var_index(slot), r);
      return;
    }
  }
  std::string_view a = lstr_view(var_value(slot)), b = core_view(0);
  DecText t;
  ErrorCode rc;
  switch (op) {
    case '&':
      rc = dec_bit_and_or(&t, a, b, false);
      break;
    case '|':
      rc = dec_bit_and_or(&t, a, b, true);
      break;
    case '^':
      rc = dec_bit_xor(&t, a, b);
      break;
    case '*':
      rc = dec_mul(&t, a, b);
      break;
    case '+':
      rc = dec_add_sub_cmp(&t, a, b, 0);
      break;
    case '-':
      rc = dec_add_sub_cmp(&t, a, b, 1);
      break;
    case '/':
      rc = dec_div(&t, a, b, 0);
      break;
    default:
      rc = ERR_ILLEGAL_OPCODE;  // the compiler emits no other operator
  }
  core_drop(1);
  if (rc != ERR_OK) {
    vm_raise_error(rc);
    return;
  }
  assign_result(slot, t);
}

// ---- variables ----------------------------------------------------------------------

namespace {
void last_var_ref(char mark) {
  if (!core_have(1)) return;
  core_drop(1);
  char buf[16];
  buf[0] = mark;
  auto r = std::to_chars(buf + 1, buf + sizeof buf, vm_last_read_var);
  vm_push_bytes(buf, static_cast<int32_t>(r.ptr - buf));
}
}  // namespace

// Main 111, 112: replace the top by "$" or "&" and the last-read variable.
void op_last_var_ref_dollar() { last_var_ref('$'); }
void op_last_var_ref_amp() { last_var_ref('&'); }

// ---- statements -------------------------------------------------------------------

// Main 42: run a command line; rc = its result.
void op_execute() {
  if (!core_have(1)) return;
  LStrLine line(core_view(0));
  core_drop(1);
  if (line.len == 0) return;
  vm_set_rc(cmd_execute_line(line.view(), kExecuteFromMacro));
}

// Main 43: a marker before an execute statement.
void op_set_stmt_flag() {}

// Main 61: the constant holds a control name and one byte, its hash bucket.
void op_push_control() {
  std::string_view k;
  if (!vm_fetch_const(&k)) return;
  std::string_view name = k.empty() ? k : k.substr(0, k.size() - 1);
  uint8_t bucket = k.empty() ? 0 : static_cast<uint8_t>(k.back());
  int32_t h = form_find_control_by_name(name, bucket, 0);
  if (h > 0) {
    vm_push_int(h);
  } else if (h == 0) {
    msg_arg.assign(name);
    vm_raise_fatal(ERR_CONTROL_NOT_FOUND);
  } else {
    vm_raise_fatal(h);
  }
}

// Main 66: leave the editor with an exit code (default 0).
void bi_exit() {
  uint8_t n = 0;
  if (!vm_fetch_u8(&n) || !core_have(n)) return;
  int32_t code = 0;
  if (n > 0 && val_to_int(core_value(n - 1), &code) != ERR_OK) return;
  core_drop(n);
  exit_request(code);
}

// Main 70: the argument count, or argument n ("" out of range).
void bi_arg() {
  uint8_t n = 0;
  if (!vm_fetch_u8(&n) || !core_have(n)) return;
  if (n == 0) {
    vm_push_int(vm.regs.arg_count);
    return;
  }
  int32_t k = 0;
  if (val_to_int(core_value(n - 1), &k) != ERR_OK) return;
  core_drop(n);
  LStrLine v;
  if (k >= 1 && k <= vm.regs.arg_count) v.assign(lstr_view(var_value(static_cast<uint32_t>(vm_arg_slot(k)))));
  vm_push_bytes(v.text, v.len);
}

// ---- the parse statement -------------------------------------------------------------

namespace {
// Position and piece end after the template's last group.
constexpr int32_t kParseEnd = LSTR_CAP_LINE + 1;
}  // namespace

// Main 48: the value to split.
void op_parse_begin() {
  if (!core_have(1)) return;
  core_parse.buffer.assign(core_view(0));
  core_drop(1);
  core_parse.position = core_parse.piece_end = 1;
  core_parse.pending = false;
}

// Main 45: absolute column.
void op_parse_col_abs() {
  uint8_t col = 0;
  if (!vm_fetch_u8(&col)) return;
  core_parse.position = core_parse.piece_end = col;
  core_parse.pending = false;
}

// Main 47: column relative to the end of the last piece, at least 1.
void op_parse_col_rel() {
  uint16_t raw = 0;
  if (!vm_fetch_u16(&raw)) return;
  int32_t end = core_parse.piece_end + static_cast<int16_t>(raw);
  core_parse.position = core_parse.piece_end = end < 1 ? 1 : end;
  core_parse.pending = false;
}

// Main 46: pattern and options on the stack; the piece ends where the
// pattern is found, and the next one starts after the match.
void op_parse_find() {
  if (!core_have(2)) return;
  int32_t mask = val_parse_options(core_view(0), kSearchOptions);
  if (mask < 0) {
    core_drop(2);
    vm_raise_error(ERR_INVALID_ARGUMENT);
    return;
  }
  LStrLine pattern(core_view(1));
  core_drop(2);
  StrMatch m;
  int32_t p =
      str_search(pattern.view(), core_parse.buffer.view(), core_parse.position, true, mask, &core_parse_regex(), &m);
  if (p < -1 && core_raise_stops(p)) return;  // the engine gave up (break key, memory)
  if (p > 0) {
    core_parse.piece_end = p;
    core_parse.position = m.cursor > 0 ? m.cursor : p + m.length;
  } else {
    core_parse.position = core_parse.piece_end = core_parse.buffer.len + 1;
  }
  core_parse.pending = false;
}

// Main 49: a variable group, or (while a group waits) the end of the
// template.
void op_parse_assign() {
  if (core_parse.pending) {  // ends the waiting group's piece
    core_parse.position = core_parse.piece_end = kParseEnd;
    core_parse.pending = false;
    return;
  }
  uint8_t n = 0;
  if (!vm_fetch_u8(&n)) return;
  const uint8_t* vars = vm.regs.ip;
  for (int i = 0; i < n; ++i) {  // skip the variables, checking the image
    uint16_t skip;
    if (!vm_fetch_u16(&skip)) return;
  }
  core_parse.pending = true;
  int32_t start = core_parse.position;
  // Run the template element (and whatever computes its operands) here.
  const uint32_t unwinds = vm_catch.unwinds;
  const int32_t depth = vm.frame_depth;
  while (core_parse.pending) {
    uint8_t op = 0;
    if (!vm_fetch_u8(&op)) return;
    vm_dispatch.main[op]();
    if (vm_catch.unwinds != unwinds || vm.frame_depth < depth) return;  // the run stopped?
  }
  // The piece: start .. piece end - 1, cut at the buffer's length.
  LStrLine& buf = core_parse.buffer;
  int32_t end = std::min(core_parse.piece_end - 1, buf.len);
  LStrLine piece;
  if (start >= 1 && start <= end)
    piece.assign(buf.view().substr(static_cast<size_t>(start - 1), static_cast<size_t>(end - start + 1)));
  const uint8_t* resume = vm.regs.ip;
  vm.regs.ip = vars;
  int32_t at = 1;  // where the word scan goes on
  for (int i = 0; i < n; ++i) {
    uint32_t slot = vm_fetch_var_operand();
    if (slot == 0) return;
    LStrLine v;
    if (n == 1) {
      v = piece;
    } else if (i < n - 1) {
      at = at > 0 ? lstr_word_at(at, piece, v) : 0;
    } else if (at > 0) {
      v.assign(piece.view().substr(static_cast<size_t>(at - 1)));
    }
    if (var_assign_bytes(slot, v.text, v.len) != ERR_OK) return;
  }
  vm.regs.ip = resume;
}
