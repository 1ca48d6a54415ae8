// The built-ins that convert between display columns and byte offsets of a
// text under the current buffer's tab stops.
#include <string>

#include "base/lstr.h"
#include "base/messages.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/stack.h"
#include "text/tab_columns.h"
#include "text/tabs.h"

// Main 124: text [column [mode TPIL]] -> the column or offset converted.
void bi_text_col() {
  int32_t n = 0;
  if (!bi_count(1, 3, &n)) return;
  int32_t column = 0;
  char mode = 'L';
  if (n >= 3 && !bi_arg_letter(n, 2, "TPIL", &mode)) return;
  if (n >= 2 && mode != 'L' && !bi_arg_int(n, 1, &column)) return;
  LStrLine text;
  bi_arg_copy(n, 0, &text);
  core_drop(n);
  PosRecord* v = bi_need_view();
  if (!v) return;
  vm_push_int(tab_convert_column(text.view(), column, mode, tab_stops_of(v->buffer)));
}

// Main 125: text [start [end [mode ES]]] -> the text with its tabs expanded.
void bi_expand_tabs() {
  int32_t n = 0;
  if (!bi_count(1, 4, &n)) return;
  int32_t start = 1, end = -1;
  char mode = 'E';
  if (n >= 4 && !bi_arg_letter(n, 3, "ES", &mode)) return;
  if (n >= 3 && !bi_arg_int(n, 2, &end)) return;
  if (n >= 2 && !bi_arg_int(n, 1, &start)) return;
  if (start < 0) return bi_fail(n, ERR_INVALID_ARGUMENT);
  LStrLine text;
  bi_arg_copy(n, 0, &text);
  core_drop(n);
  PosRecord* v = bi_need_view();
  if (!v) return;
  LStrLine out;
  tab_expand_range(reinterpret_cast<LStr*>(&out), LSTR_CAP_LINE, text.view(), start, end, mode,
                   tab_stops_of(v->buffer));
  vm_push_view(out.view());
}
