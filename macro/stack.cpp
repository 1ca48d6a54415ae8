// The expression stack, value helpers and the value opcodes (push, assign,
// pop, compaction).
#include "macro/stack.h"

#include <cctype>
#include <cstring>
#include <string>

#include "macro/catch.h"
#include "macro/interp.h"
#include "macro/module.h"
#include "macro/varheap.h"

EvalStack vm_stack;
uint32_t vm_last_read_var = 0;
int32_t vm_rc_mirror = 0;
bool vm_number_forms = true;

namespace {

constexpr uint32_t kRcSlot = 1;
constexpr uint16_t kFirstLocalOperand = 8001;
constexpr uint16_t kLastLocalOperand = 8999;
constexpr uint16_t kFirstArgOperand = 9000;

int32_t top_index() { return var_slots.local_base + vm_stack.top; }

// The integer lstr_to_long reads from a number's text: the digits wrap
// modulo 2^32. Only for scale 0 (a point is not a digit).
int32_t wrap_int(int64_t mant) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(mant))); }

// Raise the top by one entry, growing the stack scope when it is full.
bool raise_top() {
  if (vm_stack.top + 1 >= var_stack_capacity() && vm_grow_stack() != ERR_OK) return false;
  ++vm_stack.top;
  return true;
}

}  // namespace

ErrorCode vm_grow_stack() {
  if (var_grow(kStackGrowStep, Scope::Stack, kStackGrowMin) != 0) {
    vm_raise_error(ERR_EXPRESSION_STACK_OVERFLOW);
    return ERR_EXPRESSION_STACK_OVERFLOW;
  }
  return ERR_OK;
}

ErrorCode vm_reserve(int32_t n) {
  const int32_t need = vm_stack.top + 1 + n - var_stack_capacity();
  if (need <= 0) return ERR_OK;
  const int32_t grow = need > kStackGrowStep ? need : kStackGrowStep;
  if (var_grow(grow, Scope::Stack, need) != 0) {
    vm_raise_error(ERR_EXPRESSION_STACK_OVERFLOW);
    return ERR_EXPRESSION_STACK_OVERFLOW;
  }
  return ERR_OK;
}

ErrorCode vm_push_bytes(const void* p, int32_t n) {
  // Growth may compact the heap, and p may be a heap value: copy it first.
  if (vm_stack.top + 1 >= var_stack_capacity()) {
    std::string copy(static_cast<const char*>(p), static_cast<size_t>(n));
    if (!raise_top()) return ERR_EXPRESSION_STACK_OVERFLOW;
    return var_assign_bytes_at(top_index(), copy.data(), n);
  }
  ++vm_stack.top;
  return var_assign_bytes_at(top_index(), p, n);
}

ErrorCode vm_push_lstr(const LStr* s) {
  const std::string_view v = lstr_view(s);
  return vm_push_bytes(v.data(), static_cast<int32_t>(v.size()));
}
ErrorCode vm_push_view(std::string_view s) { return vm_push_bytes(s.data(), static_cast<int32_t>(s.size())); }
ErrorCode vm_push_cstr(const char* s) { return vm_push_bytes(s, static_cast<int32_t>(std::strlen(s))); }

ErrorCode vm_push_int(int32_t v) {
  if (vm_number_forms) return vm_push_num(VarNum{v, 0});
  LStrBuf<16> t;
  lstr_from_int(v, t);
  return vm_push_bytes(t.text, t.len);
}
ErrorCode vm_push_uint(int32_t v) {
  if (vm_number_forms) return vm_push_num(VarNum{v, 0});  // the same text as lstr_from_int_u
  LStrBuf<16> t;
  lstr_from_int_u(v, t);
  return vm_push_bytes(t.text, t.len);
}

ErrorCode vm_push_num_slow(VarNum v) {
  if (!vm_number_forms) {
    char t[kNumTextMax];
    return vm_push_bytes(t, var_num_text(v, t));
  }
  if (!raise_top()) return ERR_EXPRESSION_STACK_OVERFLOW;
  return var_assign_num_at(top_index(), v);
}

ErrorCode vm_push_result(std::string_view text) {
  VarNum v;
  if (vm_number_forms && var_num_from_text(text, &v)) return vm_push_num(v);
  return vm_push_view(text);
}

bool vm_num_value_at_depth(int32_t depth, VarNum* out) {
  return vm_num_at_depth(depth, out) || var_num_from_text(lstr_view(var_value_at(vm_stack_index(depth))), out);
}

bool vm_top_text_is_zero() { return lstr_view(vm_top()) == "0"; }

ErrorCode vm_push_ref(uint32_t target) {
  if (!raise_top()) return ERR_EXPRESSION_STACK_OVERFLOW;
  var_set_ref_at(top_index(), target);
  return ERR_OK;
}

const LStr* vm_top() { return var_value_at(vm_stack.top >= 0 ? top_index() : -1); }

bool vm_pop() {
  if (vm_stack.top < 0) {  // damaged code popping an empty stack?
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return false;
  }
  --vm_stack.top;
  return true;
}

bool vm_pop_lstr(LStrLine* out) {
  out->assign(lstr_view(vm_top()));
  return vm_pop();
}

ErrorCode vm_pop_int(int32_t* out) {
  *out = 0;
  if (vm_stack.top < 0) {
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return ERR_ILLEGAL_OPCODE;
  }
  // Pop first: a raise unwinds the stack, which must not move after it.
  if (VarNum n; vm_num_at_depth(0, &n) && n.scale == 0) {
    --vm_stack.top;
    lstr_number_error = 0;
    *out = wrap_int(n.mant);
    return ERR_OK;
  }
  const LStr* v = vm_top();
  --vm_stack.top;
  return val_to_int(v, out);
}

ErrorCode val_to_int(const LStr* v, int32_t* out) {
  lstr_number_error = 0;
  const int32_t n = lstr_to_long(v);
  if (lstr_number_error) {
    *out = 0;
    vm_raise_error(ERR_INVALID_NUMBER_ARGUMENT);
    return ERR_INVALID_NUMBER_ARGUMENT;
  }
  *out = n;
  return ERR_OK;
}

void vm_set_rc(int32_t v) {
  var_store_int(kRcSlot, v);
  vm_rc_mirror = v;
}

void vm_set_rc_or_raise(int32_t v) {
  if (v >= 0)
    vm_set_rc(v);
  else
    vm_raise_error(v);
}

ErrorCode val_option_letter(char* out, const char* allowed, std::string_view v) {
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
  if (v.empty()) return ERR_OK;
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(v.front())));
  if (c == 0 || std::strchr(allowed, c) == nullptr) return ERR_INVALID_ARGUMENT;
  *out = c;
  return ERR_OK;
}

ErrorCode vm_pop_option_letter(char* out, const char* allowed) {
  LStrLine v;
  if (!vm_pop_lstr(&v)) return ERR_ILLEGAL_OPCODE;
  return val_option_letter(out, allowed, v.view());
}

int32_t val_parse_options(std::string_view v, const char* allowed) {
  int32_t mask = 0;
  const size_t n = std::strlen(allowed);
  for (char ch : v) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    const char* at = c ? static_cast<const char*>(std::memchr(allowed, c, n)) : nullptr;
    if (at == nullptr) return ERR_INVALID_OPTION;
    mask |= 1 << (at - allowed);
  }
  return mask;
}

int32_t val_parse_options_cstr(const char* s, const char* allowed) {
  return val_parse_options(std::string_view(s, strnlen(s, LSTR_CAP_LINE)), allowed);
}

uint32_t vm_fetch_var_operand() {
  uint16_t x;
  if (!vm_fetch_u16(&x)) return 0;
  uint32_t number = 0;
  if (x >= 1 && x < kFirstLocalOperand) {
    LinkEntry e;
    if (!vm_link_entry(x, &e)) return 0;
    number = e.c;  // the global slot the link resolved to
  } else if (x >= kFirstLocalOperand && x <= kLastLocalOperand) {
    number = static_cast<uint32_t>(x + vm.regs.locals_base);
  } else if (x >= kFirstArgOperand) {
    const int32_t s = vm.regs.arg_base + (x - kFirstArgOperand) / 2;
    const int32_t idx = var_slots.local_base + s;
    if (s >= 0 && idx <= var_slots.last_slot) {
      const uint32_t w = var_slots.slots[static_cast<size_t>(idx)];
      number = (w & kSlotRef) ? (w & ~kSlotRef) : vm_stack_number(s);
    }
  }
  if (number == 0 || var_index(number) < 0) {  // names no slot?
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return 0;
  }
  return number;
}

namespace {

// The slot index of a u16 variable operand (and its slot number), or -1
// after raising: locals inline, the rest through vm_fetch_var_operand.
int32_t fetch_var_index(uint32_t* number) {
  const uint8_t* ip = vm.regs.ip;
  if (vm.regs.module_end - ip >= 2) {
    const uint32_t x = static_cast<uint32_t>(ip[0] | ip[1] << 8);
    if (x - kFirstLocalOperand <= static_cast<uint32_t>(kLastLocalOperand - kFirstLocalOperand)) {
      const int32_t idx = var_slots.local_base + vm.regs.locals_base + static_cast<int32_t>(x - kFirstLocalOperand);
      if (idx <= var_slots.last_slot) {
        vm.regs.ip = ip + 2;
        *number = static_cast<uint32_t>(static_cast<int32_t>(x) + vm.regs.locals_base);
        return idx;
      }
    }
  }
  *number = vm_fetch_var_operand();
  return *number != 0 ? var_index(*number) : -1;
}

}  // namespace

int32_t var_int(uint32_t number) {
  const int32_t idx = var_index(number);
  if (VarNum n; idx >= 0 && var_num_at(idx, &n) && n.scale == 0) {
    lstr_number_error = 0;
    return wrap_int(n.mant);
  }
  return lstr_to_long(var_value(number));
}

void var_store_int(uint32_t number, int32_t v) {
  if (vm_number_forms) {
    var_assign_num_at(var_index(number), VarNum{v, 0});
    return;
  }
  LStrBuf<16> t;
  lstr_from_int(v, t);
  var_assign_bytes(number, t.text, t.len);
}

void var_store_bytes(uint32_t number, const void* p, int32_t n) { var_assign_bytes(number, p, n); }

void var_assign_new(std::string_view v, uint32_t* holder) {
  if (*holder == 0) {
    const int32_t g = var_alloc_global();
    if (g <= 0) return;
    *holder = static_cast<uint32_t>(g);
  }
  var_assign_bytes(*holder, v.data(), static_cast<int32_t>(v.size()));
}

int32_t vm_arg_slot(int32_t n) {
  if (n < 1) return vm.regs.arg_count;
  if (n > vm.regs.arg_count) return 0;
  const int32_t s = vm.regs.arg_base + n - 1;
  const int32_t idx = var_slots.local_base + s;
  if (idx < 0 || idx > var_slots.last_slot) return 0;
  const uint32_t w = var_slots.slots[static_cast<size_t>(idx)];
  return static_cast<int32_t>((w & kSlotRef) ? (w & ~kSlotRef) : vm_stack_number(s));
}

// ------------------------------------------------------------ handlers

// Main 5: push a reference to the variable.
void op_push_var_ref() {
  const uint32_t n = vm_fetch_var_operand();
  if (n != 0) vm_push_ref(n);
}

// Main 6: push a copy of the variable's value.
void op_push_var() {
  uint32_t n;
  const int32_t idx = fetch_var_index(&n);
  if (idx < 0) return;
  vm_last_read_var = n;
  if (VarNum v; var_num_at(idx, &v)) {
    vm_push_num(v);
    return;
  }
  // The push may grow the stack and move the value: it copies first.
  const LStr* v = var_value_at(idx);
  vm_push_bytes(v->text, v->len);
}

namespace {

// The constant of a u16 operand: inline for a one-byte length inside the
// image, else (and for every error) through vm_fetch_const.
bool fetch_const(std::string_view* out) {
  const uint8_t* ip = vm.regs.ip;
  const uint8_t* base = vm.regs.module_base;
  const size_t size = static_cast<size_t>(vm.regs.module_end - base);
  if (vm.regs.module_end - ip >= 2) {
    const size_t at = static_cast<size_t>(vm.regs.constants - base) + static_cast<size_t>(ip[0] | ip[1] << 8);
    if (at < size && base[at] < 0x80 && size - at - 1 >= base[at]) {
      vm.regs.ip = ip + 2;
      *out = std::string_view(reinterpret_cast<const char*>(base + at + 1), base[at]);
      return true;
    }
  }
  return vm_fetch_const(out);
}

// The n bytes at p (1 to 8) as a little-endian word, read without passing
// p + n.
uint64_t load_short(const char* p, size_t n) {
  if (n >= 4) {
    uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + n - 4, 4);
    return lo | static_cast<uint64_t>(hi) << (8 * (n - 4));
  }
  uint64_t w = static_cast<uint8_t>(p[0]);
  if (n > 1) w |= static_cast<uint64_t>(static_cast<uint8_t>(p[1])) << 8;
  if (n > 2) w |= static_cast<uint64_t>(static_cast<uint8_t>(p[2])) << 16;
  return w;
}

}  // namespace

// Plain integers of up to eight digits are read as one word.
bool vm_const_number(std::string_view c, VarNum* out) {
  const size_t n = c.size();
  if (n == 1 && static_cast<unsigned>(c[0] - '0') <= 9) {  // the commonest constants
    *out = VarNum{c[0] - '0', 0};
    return true;
  }
  if (n >= 2 && n <= 8 && c[0] != '0') {
    uint64_t w = load_short(c.data(), n);
    // The digits into the high bytes, leading '0's below them.
    if (n < 8) w = (w << (8 * (8 - n))) | (0x3030303030303030ull >> (8 * n));
    if (((w & 0xF0F0F0F0F0F0F0F0ull) | (((w + 0x0606060606060606ull) & 0xF0F0F0F0F0F0F0F0ull) >> 4)) ==
        0x3333333333333333ull) {
      w -= 0x3030303030303030ull;
      w = w * 10 + (w >> 8);
      w = (((w & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
           (((w >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
          32;
      *out = VarNum{static_cast<int64_t>(w), 0};
      return true;
    }
  }
  return var_num_from_text(c, out);
}

// Main 7: push a string constant.
void op_push_const() {
  std::string_view c;
  if (!fetch_const(&c)) return;
  if (VarNum v; vm_number_forms && vm_const_number(c, &v)) {
    vm_push_num(v);
    return;
  }
  vm_push_view(c);
}

// Main 41: pop and assign to the variable.
void op_assign() {
  uint32_t n;
  const int32_t dst = fetch_var_index(&n);
  if (dst < 0) return;
  if (vm_stack.top < 0) {
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return;
  }
  const int32_t src = top_index();
  VarNum v;
  if ((var_num_at(src, &v) ? var_assign_num_at(dst, v) : var_copy_at(dst, src)) != ERR_OK) return;
  --vm_stack.top;
}

// Main 56: drop the top entry.
void op_pop() { vm_pop(); }

// Main 62: compact the string heap.
void op_collect_strings() { var_compact(); }
