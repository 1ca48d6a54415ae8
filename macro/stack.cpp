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

namespace {

constexpr uint32_t kRcSlot = 1;
constexpr uint16_t kFirstLocalOperand = 8001;
constexpr uint16_t kLastLocalOperand = 8999;
constexpr uint16_t kFirstArgOperand = 9000;

int32_t top_index() { return var_slots.local_base + vm_stack.top; }

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
ErrorCode vm_push_view(std::string_view s) {
  return vm_push_bytes(s.data(), static_cast<int32_t>(s.size()));
}
ErrorCode vm_push_cstr(const char* s) { return vm_push_bytes(s, static_cast<int32_t>(std::strlen(s))); }

ErrorCode vm_push_int(int32_t v) {
  LStrBuf<16> t;
  lstr_from_int(v, t);
  return vm_push_bytes(t.text, t.len);
}
ErrorCode vm_push_uint(int32_t v) {
  LStrBuf<16> t;
  lstr_from_int_u(v, t);
  return vm_push_bytes(t.text, t.len);
}

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
  LStrBuf<16> t;
  lstr_from_int(v, t);
  var_assign_bytes(kRcSlot, t.text, t.len);
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

int32_t var_int(uint32_t number) { return lstr_to_long(var_value(number)); }

void var_store_int(uint32_t number, int32_t v) {
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
  const uint32_t n = vm_fetch_var_operand();
  if (n == 0) return;
  const int32_t idx = var_index(n);
  vm_last_read_var = n;
  // The push may grow the stack and move the value: it copies first.
  const LStr* v = var_value_at(idx);
  vm_push_bytes(v->text, v->len);
}

// Main 7: push a string constant.
void op_push_const() {
  std::string_view c;
  if (vm_fetch_const(&c)) vm_push_view(c);
}

// Main 41: pop and assign to the variable.
void op_assign() {
  const uint32_t n = vm_fetch_var_operand();
  if (n == 0) return;
  if (vm_stack.top < 0) {
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return;
  }
  const LStr* v = vm_top();
  if (var_assign_bytes(n, v->text, v->len) != ERR_OK) return;
  --vm_stack.top;
}

// Main 56: drop the top entry.
void op_pop() { vm_pop(); }

// Main 62: compact the string heap.
void op_collect_strings() { var_compact(); }
