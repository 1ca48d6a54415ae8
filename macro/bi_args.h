// Argument handling shared by the built-ins of the event tables, key
// dispatch and keyboard macros. Arguments are read in place on the stack
// (argument 0 is the deepest), checked, then dropped before anything is
// pushed or raised, so no value is used after the heap may have moved.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/lstr.h"
#include "base/messages.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/interp.h"

// Drops n arguments, then raises code (fatally when asked).
inline void bi_fail(int32_t n, ErrorCode code = ERR_INVALID_ARGUMENT, bool fatal = false) {
  core_drop(n);
  if (fatal)
    vm_raise_fatal(code);
  else
    vm_raise_error(code);
}

// Reads the u8 argument count and checks that lo..hi arguments are on the
// stack; outside that range the arguments are dropped and -3015 raised.
inline bool bi_arg_count(int32_t lo, int32_t hi, int32_t* n, bool fatal = false) {
  uint8_t c = 0;
  if (!vm_fetch_u8(&c) || !core_have(c)) return false;
  *n = c;
  if (c < lo || c > hi) {
    bi_fail(c, ERR_INVALID_ARGUMENT, fatal);
    return false;
  }
  return true;
}

// Argument i (0 = the first pushed) of n.
inline const LStr* bi_arg(int32_t n, int32_t i) { return core_value(n - 1 - i); }
inline std::string_view bi_arg_view(int32_t n, int32_t i) { return lstr_view(bi_arg(n, i)); }

// Argument i as an integer; false when it is not one.
inline bool bi_arg_int(int32_t n, int32_t i, int32_t* out) {
  lstr_number_error = 0;
  *out = lstr_to_long(bi_arg(n, i));
  return lstr_number_error == 0;
}
