// Search built-ins (see search_bi.h). Each handler reads its operands,
// copies its arguments off the stack and drops them before it calls the
// search core, so nothing on the stack is read after the core moved the
// heap or a break unwound the stack.
#include "macro/search_bi.h"

#include <cinttypes>
#include <cstdio>
#include <string_view>

#include "base/lstr.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/interp.h"
#include "macro/opcode_handlers.h"
#include "macro/stack.h"
#include "macro/varheap.h"
#include "text/search.h"
#include "text/search_port.h"

namespace {

// ---- arguments -------------------------------------------------------------------------

void store_view(uint32_t var, std::string_view s) { var_store_bytes(var, s.data(), static_cast<int32_t>(s.size())); }

// rc = the outcome; a negative one is raised when the core says so. A break
// the interpreter's check already raised is not raised twice.
void finish(const SearchOutcome& r, uint32_t unwinds_before) {
  if (vm_catch.unwinds != unwinds_before) return;
  if (r.rc < 0 && r.raise) {
    vm_raise_error(r.rc);
    return;
  }
  vm_set_rc(r.rc);
}

}  // namespace

// A break in a search built-in stops the macro like any other break.
ErrorCode search_check_break() { return vm_check_break(); }

// Main 207: pattern [, options [, replacement]], then a group of at most one
// variable for the number of replacements.
void bi_search() {
  int32_t n = 0, nvars = 0;
  uint32_t count_var = 0;
  if (!bi_count(1, 3, &n)) return;
  if (!bi_var_group(0, 1, &count_var, &nvars)) return;
  LStrLine pattern, options, replacement;
  bi_arg_copy(n, 0, &pattern);
  if (n >= 2) bi_arg_copy(n, 1, &options);
  if (n >= 3) bi_arg_copy(n, 2, &replacement);
  core_drop(n);
  const uint32_t before = vm_catch.unwinds;
  const std::string_view repl = replacement.view();
  int32_t count = 0;
  SearchOutcome r = search_find(pattern.view(), options.view(), n >= 3 ? &repl : nullptr, &count);
  if (vm_catch.unwinds != before) return;
  if (n >= 3 && nvars == 1) var_store_int(count_var, count);
  finish(r, before);
}

// Main 206: [options [, start column]]; an empty start column keeps the
// default (next to the last match).
void bi_repeat_search() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  LStrLine options;
  if (n >= 1) bi_arg_copy(n, 0, &options);
  int32_t start = -1;
  if (n == 2 && core_value(0)->len > 0) {
    lstr_number_error = 0;
    start = lstr_to_long(core_value(0));
    ErrorCode bad = lstr_number_error != 0 ? ERR_INVALID_NUMBER_ARGUMENT : start < 1 ? ERR_INVALID_ARGUMENT : 0;
    if (bad != 0) {
      core_drop(n);
      vm_raise_error(bad);
      return;
    }
  }
  core_drop(n);
  const uint32_t before = vm_catch.unwinds;
  finish(search_repeat(options.view(), start), before);
}

// Main 208: replacement [, "R"].
void bi_search_replace() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  char option = 0;
  if (n == 2 && val_option_letter(&option, "R", core_view(0)) != ERR_OK) {
    core_drop(n);
    vm_raise_error(ERR_INVALID_ARGUMENT);
    return;
  }
  LStrLine replacement;
  bi_arg_copy(n, 0, &replacement);
  core_drop(n);
  const uint32_t before = vm_catch.unwinds;
  finish(search_replace_last(replacement.view(), option == 'R'), before);
}

// Main 212: a group of three or four variables: pattern, flags, word
// characters [, match].
void bi_save_search() {
  int32_t nvars = 0;
  uint32_t vars[4] = {};
  if (!bi_var_group(3, 4, vars, &nvars)) return;
  SearchSaved saved;
  search_save(saved);
  store_view(vars[0], saved.pattern.view());
  store_view(vars[1], saved.flags.view());
  store_view(vars[2], saved.word_chars.view());
  if (nvars == 4) store_view(vars[3], saved.match.view());
}

// Main 254: pattern, flags, word characters [, match].
void bi_restore_search() {
  int32_t n = 0;
  if (!bi_count(3, 4, &n)) return;
  LStrLine pattern, flags, word_chars, match;
  bi_arg_copy(n, 0, &pattern);
  bi_arg_copy(n, 1, &flags);
  bi_arg_copy(n, 2, &word_chars);
  if (n == 4) bi_arg_copy(n, 3, &match);
  core_drop(n);
  const std::string_view m = match.view();
  ErrorCode rc = search_restore(pattern.view(), flags.view(), word_chars.view(), n == 4 ? &m : nullptr);
  if (rc < 0) vm_raise_error(rc);
}

// Main 227: [option] -> a number about the last match.
void bi_match_info() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  LStrLine option;
  if (n == 1) bi_arg_copy(n, 0, &option);
  core_drop(n);
  int64_t value = 0;
  ErrorCode rc = search_match_info(option.view(), &value);
  if (rc < 0) {
    vm_raise_error(rc);
    return;
  }
  char text[24];
  int len = std::snprintf(text, sizeof text, "%" PRId64, value);
  vm_push_bytes(text, len);
}
