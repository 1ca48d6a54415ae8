// Value helpers of the built-in toolkit that take decimal numbers and C
// strings (see stack.h). Kept apart from stack.cpp, whose push and assign
// paths are tuned on their own.
#include <cstring>

#include "macro/catch.h"
#include "macro/decimal.h"
#include "macro/stack.h"
#include "macro/varheap.h"

ErrorCode val_to_int_decimal(const LStr* v, int32_t* out) {
  const ErrorCode rc = dec_to_int(lstr_view(v), out);
  if (rc != ERR_OK) {
    *out = 0;
    vm_raise_error(ERR_INVALID_NUMBER_ARGUMENT);
    return ERR_INVALID_NUMBER_ARGUMENT;
  }
  return ERR_OK;
}

void var_set_int(int32_t v, uint32_t number) { var_store_int(number, v); }

void var_store_cstr(uint32_t number, const char* s) {
  var_assign_bytes(number, s, static_cast<int32_t>(std::strlen(s)));
}

void var_assign_new_cstr(const char* s, uint32_t* holder) {
  LStrLine copy;  // the text is cut at 1024 bytes, as a line value is
  copy.assign(std::string_view(s, strnlen(s, LSTR_CAP_LINE)));
  var_assign_new(copy.view(), holder);
}
