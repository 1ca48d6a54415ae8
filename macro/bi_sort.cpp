// The sort built-in, and the reflow built-ins: both write new lines after a
// selection and leave the old ones for the calling macro to delete.
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/decimal.h"
#include "macro/interp.h"
#include "macro/opcode_handlers.h"
#include "macro/stack.h"
#include "text/curline.h"
#include "text/reflow.h"
#include "text/selection.h"
#include "text/sort.h"

namespace {

// Numeric sort keys are the macro language's 32-digit decimal numbers.
bool decimal_valid(std::string_view key) {
  DecNumber x;
  return dec_parse(key, &x) == 0;
}
int decimal_compare(std::string_view a, std::string_view b) { return dec_add_sub_cmp(nullptr, a, b, 2); }
constexpr SortDecimalHooks kDecimalHooks = {decimal_valid, decimal_compare};

// The selection argument at index i of n: the active one when absent.
SelectionMarks* selection(int32_t n, int32_t i) {
  if (i >= n) return sel_active();
  int32_t h = 0;
  if (!bi_arg_int(n, i, &h)) return nullptr;
  SelectionMarks* s = sel_find(h);
  if (!s || sel_single(s)) {
    bi_fail(n, ERR_INVALID_SELECTION_HANDLE);
    return nullptr;
  }
  return s;
}

}  // namespace

// Main 228: [options [, sel]]; rc.
void bi_sort() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  LStrLine options;
  if (n >= 1) bi_arg_copy(n, 0, &options);
  SelectionMarks* s = selection(n, 1);
  if (!s) return;
  core_drop(n);
  PosRecord* v = bi_need_view();
  if (!v) return;
  sel_update_active(v);
  if (s == sel_active_peek()) sel_stop_following(s);
  if (BufferRec* b = sel_buffer(s)) b->redraw = 1;
  redraw_bits |= kRedrawWindow | kRedrawCaption;
  line_flush_current();
  sort_set_decimal_hooks(&kDecimalHooks);
  vm_set_rc_or_raise(sort_selection(options.view(), s, view_current()));
}

// Main 229: [sel]; the active selection keeps its mark flags; rc.
void bi_reflow_selection() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  SelectionMarks* s = selection(n, 0);
  if (!s) return;
  core_drop(n);
  PosRecord* v = bi_need_view();
  if (!v) return;
  sel_update_active(v);
  line_flush_current();
  vm_set_rc_or_raise(reflow_selection(s, view_current()));
}

// Main 230: two variables: the line offset and the column of the last reflow.
void bi_reflow_result() {
  const uint32_t line = vm_fetch_var_operand();
  if (line == 0) return;
  const uint32_t column = vm_fetch_var_operand();
  if (column == 0) return;
  var_store_int(line, reflow_result.line);
  var_store_int(column, reflow_result.column);
}
