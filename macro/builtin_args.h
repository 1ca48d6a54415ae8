// Argument handling shared by the operating-system, file, environment,
// file-matching and names-table built-ins.
//
// A built-in finds its n arguments on the stack, the first pushed deepest
// and the last on top. It reads them in place, copies what it keeps, drops
// them, and only then works and pushes: a push or an assignment may move
// the string heap, and a raise may unwind the stack, so no argument is read
// after either.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/lstr.h"
#include "base/messages.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/interp.h"

namespace biargs {

// Drops n arguments, then raises code (fatally when asked).
inline void fail(int32_t n, ErrorCode code, bool fatal = false) {
  core_drop(n);
  if (fatal)
    vm_raise_fatal(code);
  else
    vm_raise_error(code);
}

// Reads the u8 argument count and checks the stack holds that many; outside
// lo..hi the arguments are dropped and -3015 raised. False when the
// built-in must return at once.
inline bool count(int32_t lo, int32_t hi, int32_t* n) {
  uint8_t c = 0;
  if (!vm_fetch_u8(&c) || !core_have(c)) return false;
  *n = c;
  if (c < lo || c > hi) {
    fail(c, ERR_INVALID_ARGUMENT);
    return false;
  }
  return true;
}

// A fixed number of arguments: false (after raising -3014) when the stack
// holds fewer, which only damaged code can cause.
inline bool fixed(int32_t n) { return core_have(n); }

// Argument i (0 = the first pushed) of n, valid until the next push.
inline const LStr* value(int32_t n, int32_t i) { return core_value(n - 1 - i); }
inline std::string_view view(int32_t n, int32_t i) { return lstr_view(value(n, i)); }
inline std::string str(int32_t n, int32_t i) { return std::string(view(n, i)); }

// Argument i as an integer in the grammar of val_to_int; false when it is
// not one (nothing is raised here).
inline bool integer(int32_t n, int32_t i, int32_t* out) {
  lstr_number_error = 0;
  *out = lstr_to_long(value(n, i));
  return lstr_number_error == 0;
}

// Blanks stripped from both ends.
inline std::string_view strip_blanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// One pair of double quotes around s removed (each end on its own).
inline std::string_view strip_quotes(std::string_view s) {
  if (!s.empty() && s.front() == '"') s.remove_prefix(1);
  if (!s.empty() && s.back() == '"') s.remove_suffix(1);
  return s;
}

}  // namespace biargs
