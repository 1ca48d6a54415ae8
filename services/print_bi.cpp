// bi_print_text: the current window's buffer paginated into the buffer of
// a target window, after that view's cursor line.
#include <string>
#include <vector>

#include "base/filename.h"
#include "base/lstr.h"
#include "base/messages.h"
#include "base/os.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/stack.h"
#include "services/print_bi.h"
#include "services/print_text.h"
#include "text/buffer.h"
#include "text/buffer_rec.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/store_edit.h"
#include "text/tab_columns.h"
#include "text/tabs.h"

namespace {

struct ViewSink {
  PosRecord* view;
  BufferRec* buf;
};

int32_t insert_after_cursor(void* user, std::string_view line) {
  auto& s = *static_cast<ViewSink*>(user);
  return line_insert_text(line.data(), static_cast<int32_t>(line.size()), s.view, s.buf);
}

}  // namespace

bool print_parse_layout(std::string_view text, std::span<int32_t> fields) {
  size_t i = 0;
  while (!text.empty() && i < fields.size()) {
    const size_t comma = text.find(',');
    const std::string_view f = text.substr(0, comma);
    if (!bi_strip_blanks(f).empty()) {
      LStrLine v(f);
      if (val_to_int(v.ls(), &fields[i]) != ERR_OK) return false;
    }
    ++i;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return true;
}

std::string print_document_name(const BufferRec* buf) {
  LStrName name(buf->name.view());
  file_strip(name.ls(), 'P');
  return std::string(name.view());
}

void bi_print_text() {
  int32_t n = 0;
  if (!bi_count(1, 9, &n)) return;
  std::vector<std::string> a(9);
  for (int32_t i = 0; i < n; ++i) a[static_cast<size_t>(i)] = bi_arg_str(n, i);
  int32_t target = 0;
  if (!bi_arg_int(n, 0, &target)) return;
  core_drop(n);
  line_flush_current();
  PosRecord* source = bi_need_view();
  if (!source) return;
  PosRecord* view = window_id_is_valid(target) ? window_id_view(target) : nullptr;
  // A target on the source buffer would read its own output back forever.
  if (!view || !view->buffer || view->buffer == source->buffer) {
    vm_raise_fatal(ERR_INVALID_ARGUMENT);
    return;
  }
  PrintTextJob job;
  int32_t layout[6] = {job.layout.unused,      job.layout.after_header, job.layout.before_footer,
                       job.layout.page_length, job.layout.width,        job.layout.number_every};
  if (!print_parse_layout(a[2], layout)) return;  // val_to_int raised -3009
  job.layout = {layout[0], layout[1], layout[2], layout[3], layout[4], layout[5]};
  job.frames.header = {a[5], a[3], a[7]};
  job.frames.footer = {a[6], a[4], a[8]};
  PrintBufferLines src(source->buffer);
  job.name = a[1].empty() ? print_document_name(src.buf) : a[1];
  SysTime now{};
  os_get_time(&now);
  job.date = print_date_text(now);
  job.source = print_buffer_line;
  job.source_user = &src;
  ViewSink sink{view, view->buffer};
  job.sink = insert_after_cursor;
  job.sink_user = &sink;
  line_flush_if(view->buffer);
  view->buffer->redraw = 1;
  redraw_bits |= kRedrawLines;
  vm_set_rc(print_text_run(job));
}
