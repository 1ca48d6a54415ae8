// Operating-system built-ins (see bi_os.h).
#include "macro/bi_os.h"

#include <string>
#include <string_view>

#include "base/filename.h"
#include "base/lstr.h"
#include "base/os.h"
#include "macro/bi_args.h"
#include "macro/bi_names.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/file_match.h"
#include "macro/font_list_port.h"
#include "macro/names.h"
#include "macro/opcode_handlers.h"
#include "macro/stack.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/store_edit.h"

namespace {

// ---- inserting a list after the cursor line --------------------------------------------

// The insertion point is the current view itself: each line goes in after
// it and it moves onto the new line, so the cursor ends on the last one.
struct ListInsert {
  WindowObject* window = nullptr;
  PosRecord* view = nullptr;
  BufferRec* buf = nullptr;
  int32_t row = 0;     // the cursor row, one down per line
  int32_t last = 0;    // result of the last insertion
  int32_t failed = 0;  // first insertion error
};

// Flushes the edited line and takes the current view; false after raising
// -2073 (fatal) when there is none.
bool insert_begin(ListInsert* c) {
  line_flush_current();
  c->window = window_current();
  if (!view_select(c->window)) {
    vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
    return false;
  }
  c->view = view_snap.view;
  c->buf = view_snap.buffer;
  c->row = c->view->row;
  c->buf->redraw = 1;
  return true;
}

int32_t insert_line(ListInsert* c, std::string_view text) {
  c->last = line_insert_text(text.data(), static_cast<int32_t>(text.size()), c->view, c->buf);
  if (c->last == 0)
    ++c->row;
  else if (c->failed == 0)
    c->failed = c->last;
  return c->last;
}

void insert_end(ListInsert* c) {
  c->buf->redraw = 1;
  redraw_bits |= kRedrawLines | kRedrawCaption;
  if (view_select(c->window)) view_set_cursor_row(c->row, 1);
}

int insert_listing_line(const LStr* line, void* user) {
  return insert_line(static_cast<ListInsert*>(user), line->view());
}

int32_t insert_font_line(std::string_view line, void* user) {
  return insert_line(static_cast<ListInsert*>(user), line);
}

// An option string of the font built-ins as bits; false after raising
// -3015 for a letter outside "SPFX".
bool font_options(int32_t n, int32_t i, uint32_t* bits) {
  const int32_t v = val_parse_options(bi_arg(n, i), kFontOptions);
  if (v < 0) {
    bi_fail(n, ERR_INVALID_ARGUMENT);
    return false;
  }
  *bits = static_cast<uint32_t>(v);
  return true;
}

// Drops the optional argument of the built-ins that take [any].
bool drop_any() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return false;
  core_drop(n);
  return true;
}

}  // namespace

// Main 197: [any] -> "LINUX".
void bi_machine() {
  if (drop_any()) vm_push_cstr("LINUX");
}

// Main 194: [any] -> the current directory (empty on failure); rc its status.
void bi_getcwd() {
  if (!drop_any()) return;
  LStrLine dir;
  const ErrorCode rc = file_getcwd(dir, dir.cap);
  vm_push_view(dir.view());
  vm_set_rc(rc);
}

// Main 220: path [, plain]: changes directory; rc = the result. Without the
// plain flag double quotes around the path are dropped first.
void bi_chdir() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  int32_t plain = 0;
  if (n == 2 && !bi_arg_to_int(n, 1, &plain)) return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  LStrLine path(bi_strip_blanks(bi_arg(n, 0)));
  core_drop(n);
  vm_set_rc(plain ? file_chdir(path) : file_dir_op(2, path));
}

// Main 204: name [, variable [, option P or M]] -> the full name found along
// the directories of the variable (PATH when absent or empty), or empty; rc
// 0 or the search's code. P looks for an executable, M for an executable or
// a macro module (".e" or ".ex" added).
void bi_path_search() {
  int32_t n = 0;
  if (!bi_count(1, 3, &n)) return;
  char option = 0;
  if (n == 3 && val_option_letter(&option, "PM", bi_arg(n, 2)) != 0) return bi_fail(n, ERR_INVALID_ARGUMENT);
  LStrLine name(bi_strip_quotes(bi_arg(n, 0)));
  LStrName variable(n >= 2 ? bi_arg(n, 1) : std::string_view());
  core_drop(n);
  if (variable.len == 0) variable.assign("PATH");
  LStrLine out;
  int flag = option == 'M' ? 1 : 0, extra = 0;
  const ErrorCode rc = file_search_env_path(out, name, variable, option != 0, out.cap, &flag, &extra);
  vm_push_view(rc == 0 ? out.view() : std::string_view());
  vm_set_rc(rc);
}

// Main 225: name -> the absolute name (empty on failure); rc its status.
void bi_absolute() {
  if (!core_have(1)) return;
  LStrLine name(bi_arg(1, 0));
  core_drop(1);
  LStrLine out;
  const ErrorCode rc = file_absolute(out, name, out.cap);
  vm_push_view(out.view());
  vm_set_rc(rc);
}

// Main 245: name -> the name relative to the current directory; rc 0.
void bi_relative() {
  if (!core_have(1)) return;
  LStrLine name(bi_arg(1, 0));
  core_drop(1);
  LStrLine out;
  file_relative(out, name, out.cap);
  vm_push_view(out.view());
  vm_set_rc(ERR_OK);
}

// Main 240: options and pattern as one text: inserts a directory listing
// ("+T" into subdirectories, "+P" the directory before each name, "-V"
// short lines, "+D" directories too; default pattern "*"). rc = the
// listing's result (0, -2 nothing matched, a search error), or the first
// insertion error.
void bi_insert_file_list() {
  if (!core_have(1)) return;
  const LStrLine text(bi_arg(1, 0));
  core_drop(1);
  ListInsert c;
  if (!insert_begin(&c)) return;
  uint32_t attrs = 0, flags = kMatchLong;
  LStrLine spec("*");
  if (ErrorCode e = file_match_parse_options(text.view(), &attrs, &flags, spec, spec.cap)) {
    vm_raise_error(e);
    return;
  }
  LStrLine full;
  ErrorCode rc = file_absolute(full, spec, full.cap);
  if (rc == 0) {
    const int32_t dir_len = file_dir_length(full);
    LStrLine dir(full.view().substr(0, static_cast<size_t>(dir_len)));
    const LStrLine pattern(full.view().substr(static_cast<size_t>(dir_len)));
    rc = dirlist_run(dir, pattern, (flags & (kMatchRecurse | kMatchPrefix | kMatchLong)) | DIRLIST_LEAD_BLANK,
                     insert_listing_line, attrs, &c);
    if (rc == 0 && c.failed) rc = c.failed;
  }
  insert_end(&c);
  vm_set_rc(rc);
}

// Ext 136: [options "SPFX" [, face]]: inserts the names of the fonts, or
// the sizes of a face. S is added when neither S nor P is given. rc = the
// enumeration's result, or the first insertion error.
void bi_insert_font_list() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  uint32_t bits = 0;
  if (n >= 1 && !font_options(n, 0, &bits)) return;
  if (!(bits & 3)) bits |= 1;
  const std::string face = n == 2 ? bi_arg_str(n, 1) : std::string();
  core_drop(n);
  ListInsert c;
  if (!insert_begin(&c)) return;
  int32_t rc = font_list_enumerate(bits, face, insert_font_line, &c);
  if (rc == 0 && c.failed) rc = c.failed;
  insert_end(&c);
  vm_set_rc(rc);
}

// Ext 185: [type mask [, prefix]]: inserts the names of the names table
// whose type meets the mask (default procedures and commands) and that begin
// with the prefix, one blank before each. Callables without code and
// templates of another object type are left out; names are written with
// '_' for '-' except for pictures and for a mask of commands alone. rc = the
// last insertion's result.
void bi_insert_name_list() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  int32_t mask = NF_PROC | NF_COMMAND;
  if (n >= 1 && !bi_arg_to_int(n, 0, &mask)) return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  const std::string prefix = n == 2 ? bi_arg_str(n, 1) : std::string();
  core_drop(n);
  ListInsert c;
  if (!insert_begin(&c)) return;
  const uint32_t m = static_cast<uint32_t>(mask);
  const bool stored_form = m == NF_COMMAND;
  const uint32_t wanted_type = (m & NF_TEMPLATE) ? (m >> 11) & 0x1F : 0;
  for (uint32_t i = name_next_any(prefix, 0, m); i != 0; i = name_next_any(prefix, i, m)) {
    const NameEntry* e = name_entry(i);
    if (!e) continue;
    if ((e->flags & NF_CALLABLE) && (e->data >> 16) == 0) continue;
    if (wanted_type && (e->flags & NF_TEMPLATE) && ((e->flags >> 11) & 0x1F) != wanted_type) continue;
    std::string line = " ";
    line += name_text(i);
    if (!(e->flags & NF_PICTURE) && !stored_form)
      for (char& ch : line)
        if (ch == '-') ch = '_';
    if (insert_line(&c, line) != 0) break;
  }
  insert_end(&c);
  vm_set_rc(c.last);
}

// Ext 182: face [, options] -> 1 when the face is scalable. The options
// are only checked.
void bi_font_is_scalable() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  uint32_t bits = 0;
  if (n == 2 && !font_options(n, 1, &bits)) return;
  const std::string face = bi_arg_str(n, 0);
  core_drop(n);
  vm_push_int(font_list_is_scalable(face));
}

// Ext 181: face [, options] -> the face's kind flags. The options are only
// checked.
void bi_font_type_flags() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  uint32_t bits = 0;
  if (n == 2 && !font_options(n, 1, &bits)) return;
  const std::string face = bi_arg_str(n, 0);
  core_drop(n);
  vm_push_int(font_list_type_flags(face));
}
