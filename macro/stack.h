// The expression stack and the toolkit every built-in uses: pushing values,
// popping them as integers, rc, option letters, variable operands.
//
// The stack is the upper scope of the slot array (varheap.h): entry i is
// slot number 8001 + i, so arguments and locals are ordinary variables.
// Each entry is a value or, in argument positions, a reference to another
// slot. Popped entries keep their heap block, and a later push into the
// same position reuses it when it is big enough. Pushes may compact the
// heap: values fetched before a push must be fetched again after it.
//
// Numbers stay numbers: a constant, a computed result or an integer a
// built-in pushes is kept in number form (varheap.h) whenever its text is
// the text the decimal rules write for it, and becomes text only when
// something reads it as text. What a macro can see is the same either way.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/lstr.h"
#include "base/messages.h"
#include "macro/varheap.h"

struct EvalStack {
  int32_t top = -1;  // index of the top entry; -1 when empty
};
extern EvalStack vm_stack;
// Slot number of the variable main slot 6 pushed last.
extern uint32_t vm_last_read_var;

// Whether values keep their number form (on; tests turn it off to check
// that the text alone gives the same answers).
extern bool vm_number_forms;

// Stack growth: 100 entries at a time, or at least 10.
inline constexpr int32_t kStackGrowStep = 100;
inline constexpr int32_t kStackGrowMin = 10;

// Slot number of stack entry i.
inline uint32_t vm_stack_number(int32_t i) { return static_cast<uint32_t>(8001 + i); }
// Slot index of the entry depth places below the top (0: the top).
inline int32_t vm_stack_index(int32_t depth) { return var_slots.local_base + vm_stack.top - depth; }

// Pushes: raise the top, grow when needed (-3013 raised on failure, nothing
// stored), assign a copy. Return 0 or the raised code.
ErrorCode vm_push_bytes(const void* p, int32_t n);
ErrorCode vm_push_lstr(const LStr* s);
ErrorCode vm_push_cstr(const char* s);
ErrorCode vm_push_view(std::string_view s);
ErrorCode vm_push_int(int32_t v);
ErrorCode vm_push_uint(int32_t v);
// Push a number (var_num_ok), in number form while vm_number_forms is on.
ErrorCode vm_push_num_slow(VarNum v);
inline ErrorCode vm_push_num(VarNum v) {
  const int32_t idx = var_slots.local_base + vm_stack.top + 1;
  if (idx <= var_slots.last_slot && vm_number_forms && var_set_num_fast(idx, v)) {
    ++vm_stack.top;
    return ERR_OK;
  }
  return vm_push_num_slow(v);
}
// The number a constant's text is (var_num_from_text), read quickly.
bool vm_const_number(std::string_view c, VarNum* out);
// Push the text a decimal operation wrote: a number when it reads back as
// one (var_num_from_text), else the text.
ErrorCode vm_push_result(std::string_view text);
// Raise the top by one entry holding a reference to slot number target.
ErrorCode vm_push_ref(uint32_t target);
// Grow the stack scope by 100 entries, or at least 10. Raises -3013.
ErrorCode vm_grow_stack();
// Make room for n entries above the top (locals): -3013 raised on failure.
ErrorCode vm_reserve(int32_t n);

// The top entry's value (following a reference); the empty string when
// the stack is empty.
const LStr* vm_top();
// The number in number form depth entries below the top, if it is one.
inline bool vm_num_at_depth(int32_t depth, VarNum* out) { return var_num_at(vm_stack_index(depth), out); }
// The number depth entries below the top holds: its number form, or its
// text when that is the text of a number (var_num_from_text).
bool vm_num_value_at_depth(int32_t depth, VarNum* out);
// Truth of the top value: whether it is exactly "0" (the stack must not be
// empty).
bool vm_top_text_is_zero();
inline bool vm_top_is_zero() {
  VarNum v;
  if (vm_num_at_depth(0, &v)) return v.mant == 0;  // zero is only ever "0"
  return vm_top_text_is_zero();
}
// Drop the top entry. Returns false (after raising -3014) when the stack
// is empty, so damaged code cannot pop below the bottom.
bool vm_pop();
// Pop the top value into a buffer (cut at its capacity).
bool vm_pop_lstr(LStrLine* out);
// Pop an integer (-3009 raised when it is not one).
ErrorCode vm_pop_int(int32_t* out);

// Conversions. val_to_int: blanks, optional sign, blanks, digits, blanks;
// anything else raises -3009 and stores 0.
ErrorCode val_to_int(const LStr* v, int32_t* out);
// The same through the decimal numbers: fractions and exponents are taken
// and the integer part kept; -3009 raised (and 0 stored) for a non-number.
ErrorCode val_to_int_decimal(const LStr* v, int32_t* out);

// rc is global slot 1; its integer mirror sits beside it.
extern int32_t vm_rc_mirror;
void vm_set_rc(int32_t v);
// rc = v when v >= 0, else raise v.
void vm_set_rc_or_raise(int32_t v);

// Options. val_option_letter: strip blanks, upper-case; empty keeps *out
// (the default); else the first character must be in `allowed` (-3015).
ErrorCode val_option_letter(char* out, const char* allowed, std::string_view v);
ErrorCode vm_pop_option_letter(char* out, const char* allowed);
// Option string to a bit mask: letter at 1-based position p of `allowed`
// sets bit p - 1. Empty gives 0; a letter outside the set gives -3030.
int32_t val_parse_options(std::string_view v, const char* allowed);
int32_t val_parse_options_cstr(const char* s, const char* allowed);

// Variables. vm_fetch_var_operand reads a u16 variable operand and returns
// the slot number it denotes, or 0 after raising -3014 for an operand that
// names no slot.
uint32_t vm_fetch_var_operand();
int32_t var_int(uint32_t number);
void var_store_int(uint32_t number, int32_t v);
void var_store_bytes(uint32_t number, const void* p, int32_t n);
// var_store_int with its arguments the other way round.
void var_set_int(int32_t v, uint32_t number);
void var_store_cstr(uint32_t number, const char* s);
// Assign to the global whose slot number *holder holds; when it is 0, first
// hand out a new global and store its number there (nothing happens when
// that fails).
void var_assign_new(std::string_view v, uint32_t* holder);
// var_assign_new of a NUL-terminated string, cut at 1024 bytes.
void var_assign_new_cstr(const char* s, uint32_t* holder);
// Slot number of argument n (1-based) of the running procedure: the
// referenced slot for a reference argument. n < 1 gives the argument count,
// n past it 0.
int32_t vm_arg_slot(int32_t n);
