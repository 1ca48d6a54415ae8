// Argument handling of the text built-ins (see bi_args.h).
#include "macro/bi_args.h"

#include <cinttypes>
#include <cstdio>

#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/decimal.h"
#include "macro/interp.h"
#include "macro/stack.h"

bool bi_count(int32_t lo, int32_t hi, int32_t* n, bool fatal) {
  uint8_t c = 0;
  if (!vm_fetch_u8(&c) || !core_have(c)) return false;
  *n = c;
  if (c < lo || c > hi) {
    bi_fail(c, ERR_INVALID_ARGUMENT, fatal);
    return false;
  }
  return true;
}

bool bi_var_group(int32_t lo, int32_t hi, uint32_t* vars, int32_t* n) {
  uint8_t c = 0;
  if (!vm_fetch_u8(&c)) return false;
  for (int32_t i = 0; i < c; ++i) {
    const uint32_t v = vm_fetch_var_operand();
    if (v == 0) return false;  // raised -3014
    if (i < hi) vars[i] = v;
  }
  *n = c;
  if (c < lo || c > hi) {
    vm_raise_error(ERR_INVALID_ARGUMENT);
    return false;
  }
  return true;
}

std::string_view bi_arg(int32_t n, int32_t i) { return core_view(n - 1 - i); }

void bi_arg_copy(int32_t n, int32_t i, LStrLine* out) { out->assign(bi_arg(n, i)); }

bool bi_arg_int(int32_t n, int32_t i, int32_t* out) {
  lstr_number_error = 0;
  *out = lstr_to_long(core_value(n - 1 - i));
  if (lstr_number_error == 0) return true;
  *out = 0;
  bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  return false;
}

bool bi_arg_to_int(int32_t n, int32_t i, int32_t* out) {
  lstr_number_error = 0;
  *out = lstr_to_long(core_value(n - 1 - i));
  return lstr_number_error == 0;
}

bool bi_arg_int_decimal(int32_t n, int32_t i, int32_t* out) {
  LStrLine copy;
  bi_arg_copy(n, i, &copy);
  if (dec_to_int(copy.view(), out) == ERR_OK) return true;
  core_drop(n);
  val_to_int_decimal(copy.ls(), out);  // raises -3009 with the arguments gone
  return false;
}

bool bi_arg_letter(int32_t n, int32_t i, const char* allowed, char* out) {
  if (val_option_letter(out, allowed, bi_arg(n, i)) == ERR_OK) return true;
  bi_fail(n, ERR_INVALID_ARGUMENT);
  return false;
}

bool bi_arg_options(int32_t n, int32_t i, const char* allowed, int32_t* mask, ErrorCode bad) {
  const int32_t m = val_parse_options(bi_arg(n, i), allowed);
  if (m >= 0) {
    *mask = m;
    return true;
  }
  bi_fail(n, bad);
  return false;
}

void bi_fail(int32_t n, ErrorCode code, bool fatal) {
  core_drop(n);
  if (fatal)
    vm_raise_fatal(code);
  else
    vm_raise_error(code);
}

PosRecord* bi_need_view() {
  PosRecord* v = view_current();
  if (v && v->buffer) return v;
  vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  return nullptr;
}

void bi_rc_or_raise(int32_t v) { vm_set_rc_or_raise(v); }

void bi_push_int64(int64_t v) {
  char text[24];
  const int len = std::snprintf(text, sizeof text, "%" PRId64, v);
  vm_push_bytes(text, len);
}
