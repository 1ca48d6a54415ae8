// Argument handling shared by the built-ins of the macro layer.
//
// A built-in with optional arguments reads its count operand, looks at its
// arguments where they lie on the stack (argument 0 is the deepest, the
// last one is the top), copies what it needs and drops them all before it
// calls the engine: the engine may run macros, compact the heap or unwind,
// so nothing on the stack is read after it. Every helper that raises drops
// the arguments first, so a non-stopping error leaves the stack as the
// built-in's row says.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/lstr.h"
#include "base/messages.h"
#include "text/buffer.h"

// Reads the count operand; a count outside lo..hi drops the arguments and
// raises -3015 (fatally when asked). False when the handler must return.
bool bi_count(int32_t lo, int32_t hi, int32_t* n, bool fatal = false);
// Reads a variable group of lo..hi variables (-3015 otherwise).
bool bi_var_group(int32_t lo, int32_t hi, uint32_t* vars, int32_t* n);

// Argument i (0 = the first) of n; valid until the next push or assignment.
std::string_view bi_arg(int32_t n, int32_t i);
// The same as a copy that stays valid.
inline std::string bi_arg_str(int32_t n, int32_t i) { return std::string(bi_arg(n, i)); }
// Copies argument i of n into a line buffer (cut at 1024 bytes).
void bi_arg_copy(int32_t n, int32_t i, LStrLine* out);
// Argument i of n as an integer (blanks, sign, digits), or through the
// decimal numbers; -3009 raised after dropping the n arguments.
bool bi_arg_int(int32_t n, int32_t i, int32_t* out);
// Argument i of n as an integer, raising nothing: false when it is not one.
bool bi_arg_to_int(int32_t n, int32_t i, int32_t* out);
bool bi_arg_int_decimal(int32_t n, int32_t i, int32_t* out);
// The first letter of argument i (blanks stripped, upper-cased) in
// `allowed`; an empty argument keeps *out. -3015 raised otherwise.
bool bi_arg_letter(int32_t n, int32_t i, const char* allowed, char* out);
// Option letters of argument i as a bit mask over `allowed`; a letter
// outside it raises `bad` (after dropping).
bool bi_arg_options(int32_t n, int32_t i, const char* allowed, int32_t* mask, ErrorCode bad = ERR_INVALID_ARGUMENT);

// Drops n arguments and raises code (a non-stopping code sets rc and the
// handler goes on returning nothing).
void bi_fail(int32_t n, ErrorCode code = ERR_INVALID_ARGUMENT, bool fatal = false);

// The current window's view; without one the fatal -2073 is raised and
// null returned.
PosRecord* bi_need_view();
// rc = v, or the error raised when v is negative (it may stop the macro).
void bi_rc_or_raise(int32_t v);
// Pushes a number as decimal text.
void bi_push_int64(int64_t v);

// Blanks stripped from both ends.
inline std::string_view bi_strip_blanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// One pair of double quotes around s removed (each end on its own).
inline std::string_view bi_strip_quotes(std::string_view s) {
  if (!s.empty() && s.front() == '"') s.remove_prefix(1);
  if (!s.empty() && s.back() == '"') s.remove_suffix(1);
  return s;
}
