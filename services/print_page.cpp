// Page printing: the print layer over the device and the page layout of a
// job; the built-ins at the end. See print_page.h.
#include "services/print_page.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "base/messages.h"
#include "base/os.h"
#include "forms/modal.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/interp.h"
#include "macro/names.h"
#include "macro/stack.h"
#include "macro/varheap.h"
#include "services/print_bi.h"
#include "text/buffer.h"
#include "text/buffer_rec.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/tab_columns.h"
#include "text/tabs.h"
#include "text/ui_port.h"

// The window system's queue; it brings in Xlib, whose macros would spoil the
// headers above.
#include "winsys/winapi.h"

namespace {

// The job state: one job at a time.
struct PrintState {
  PrintDevice* device = nullptr;
  bool cancelled = false;
  bool abort = false;
  bool busy = false;
  int32_t char_width = 1, line_height = 1;
  bool fixed = true;
  std::array<int32_t, 256> widths{};
};

PrintState& ps() {
  static PrintState s;
  return s;
}

constexpr int32_t kNumberIndentChars = 7;

}  // namespace

void print_set_device(PrintDevice* d) { ps().device = d; }

// ------------------------------------------------------------------ the layer

bool print_poll(bool check) {
  XfMessage m{};
  while (WinPeekMsg(&m, nullptr, 0, 0, 1)) WinDispatchMsg(&m);
  if (!check) return false;
  if (ui_break_pressed() || ps().abort) {
    ps().cancelled = true;
    return true;
  }
  return false;
}

namespace {

int32_t print_check_device() {
  PrintDevice* d = ps().device;
  const int32_t q = d ? d->query() : 0;
  if (q == 0) return ERR_START_PRINTER;
  return q == 1 ? 0 : ERR_PRINTING_FAILED;
}

}  // namespace

int32_t print_begin(std::string_view document) {
  ps().cancelled = false;
  ps().abort = false;
  print_poll(false);
  PrintDevice* d = ps().device;
  if (!d || d->query() == 0) return ERR_START_PRINTER;
  if (const int32_t r = print_check_device()) return r;
  return d->begin_doc(document);
}

int32_t print_end() {
  if (ps().cancelled) return 0;
  if (const int32_t r = print_check_device()) return r;
  return ps().device->end_doc();
}

void print_abort() { ps().abort = true; }
bool print_busy() { return ps().busy; }

namespace {

int32_t text_width(std::string_view t) {
  const PrintState& s = ps();
  if (s.fixed) return s.char_width * static_cast<int32_t>(t.size());
  int32_t w = 0;
  for (unsigned char c : t) w += s.widths[c];
  return w;
}

// How many characters of t fit the width; at least one.
size_t fit_chars(std::string_view t, int32_t width) {
  const PrintState& s = ps();
  size_t n = 0;
  if (s.fixed) {
    n = static_cast<size_t>(std::max(0, width / std::max(1, s.char_width)));
  } else {
    for (int32_t w = 0; n < t.size() && (w += s.widths[static_cast<unsigned char>(t[n])]) <= width;) ++n;
  }
  return std::clamp<size_t>(n, 1, std::max<size_t>(t.size(), 1));
}

void draw_text(int32_t x, int32_t y, std::string_view t) {
  print_poll(false);
  ps().device->text_out(x, y, t);
}

// One header (y 0) or footer line; `align` is the 2-bit alignment for a
// left text alone.
void print_frame_line(const std::array<std::string, 3>& f, const PrintPageJob& job, int32_t page, int32_t align,
                      int32_t y, int32_t width) {
  auto expand = [&](const std::string& fmt) { return print_format_expand(fmt, job.name, job.date, page); };
  if (f[1].empty() && f[2].empty()) {
    if (f[0].empty()) return;
    const std::string t = expand(f[0]);
    const int32_t w = text_width(t);
    const int32_t x = align == 0 ? 0 : align == 1 ? width - w : (width - w) / 2;
    draw_text(std::max(0, x), y, t);
    return;
  }
  if (!f[0].empty()) draw_text(0, y, expand(f[0]));
  if (!f[1].empty()) {
    const std::string t = expand(f[1]);
    draw_text(std::max(0, (width - text_width(t)) / 2), y, t);
  }
  if (!f[2].empty()) {
    const std::string t = expand(f[2]);
    draw_text(std::max(0, width - text_width(t)), y, t);
  }
}

void select_font(const PrintPageJob& job) {
  PrintState& s = ps();
  s.device->set_font(job.face, job.size, job.third, &s.char_width, &s.line_height, &s.fixed, s.widths);
  s.char_width = std::max(1, s.char_width);
  s.line_height = std::max(1, s.line_height);
}

// The page layout of one job on a device that print_begin accepted.
class PageLayout {
 public:
  explicit PageLayout(const PrintPageJob& job) : job_(job) {}

  int32_t run() {
    const PrintPageLayout& L = job_.layout;
    select_font(job_);
    auto& d = *ps().device;
    int32_t l = L.left, t = L.top, r = L.right, b = L.bottom, gap = L.gap, unused = 0;
    d.twips_to_units(&l, &t);
    d.twips_to_units(&r, &b);
    d.twips_to_units(&gap, &unused);
    left_ = std::max(0, l);
    top_ = std::max(0, t);
    right_ = std::max(0, r);
    gap_ = std::max(0, gap);
    d.page_size(L.width, L.height, &W_, &H_);
    const int32_t lh = ps().line_height;
    bottom_ = H_ - std::max(0, b) - (job_.frames.has_footer() ? lh : 0);
    if (bottom_ < 1) bottom_ = 10;
    two_ = (L.flags & kPrintTwoColumns) != 0;
    indent_ = L.number_every > 0 ? kNumberIndentChars * ps().char_width : 0;
    start_page();

    std::string line;
    int32_t k = 0;
    for (;;) {
      bool forced = false;
      const int32_t rr = print_next_line(job_.source, job_.source_user, k, line, &forced);
      if (rr == 1) break;
      if (rr < 0) return rr;
      std::string_view rest = line;
      bool first = true;
      do {
        if (ps().abort) return ERR_COMMAND_CANCELLED;
        if (y_ + lh > bottom_ || forced) {
          if (const int32_t e = break_column()) return e;
          forced = false;
        }
        const size_t n = fit_chars(rest, colw_ - indent_);
        draw_piece(k, first, rest.substr(0, n));
        rest.remove_prefix(std::min(n, rest.size()));
        first = false;
      } while (!rest.empty());
    }
    if (drawn_) {
      footer();
      d.new_page();
    }
    return 0;
  }

 private:
  void header() {
    print_frame_line(job_.frames.header, job_, page_, job_.layout.flags & 3, 0, W_);
    drawn_ = true;
  }
  void footer() {
    print_frame_line(job_.frames.footer, job_, page_, (job_.layout.flags >> 2) & 3, H_ - ps().line_height, W_);
  }

  void start_page() {
    column_ = 0;
    x_ = left_;
    colw_ = two_ ? W_ / 2 - left_ - gap_ / 2 : W_ - left_ - right_;
    if (colw_ < 1) colw_ = 10;
    y_ = top_ + (job_.frames.header[1].empty() ? 0 : ps().line_height);
    drawn_ = false;
  }

  void draw_piece(int32_t k, bool first, std::string_view piece) {
    if (!drawn_) header();
    const int32_t n = job_.layout.number_every;
    if (n > 0 && first && (k == 1 || k % n == 0)) draw_text(x_, y_, std::to_string(k));
    draw_text(x_ + indent_, y_, piece);
    y_ += ps().line_height;
  }

  // The column is full, or a form feed asked for a new page.
  int32_t break_column() {
    if (!drawn_) header();
    if (two_ && column_ == 0) {
      column_ = 1;
      x_ = W_ / 2 + gap_ / 2;
      y_ = top_ + ps().line_height;
      colw_ = W_ / 2 - right_ - gap_ / 2;
      if (colw_ < 1) colw_ = 10;
      print_poll(false);
      ps().device->line(W_ / 2, y_, W_ / 2, bottom_);
      return 0;
    }
    footer();
    if (print_poll(true)) return ERR_COMMAND_CANCELLED;
    if (const int32_t e = print_check_device()) return e;
    ps().device->new_page();
    select_font(job_);
    ++page_;
    start_page();
    return 0;
  }

  const PrintPageJob& job_;
  int32_t W_ = 0, H_ = 0, left_ = 0, top_ = 0, right_ = 0, gap_ = 0, bottom_ = 0;
  int32_t colw_ = 0, indent_ = 0, x_ = 0, y_ = 0, column_ = 0, page_ = 1;
  bool two_ = false, drawn_ = false;
};

}  // namespace

int32_t print_page_run(const PrintPageJob& job) {
  if (const int32_t r = print_begin(job.document)) return r;
  int32_t r = PageLayout(job).run();
  if (r == ERR_COMMAND_CANCELLED) ps().cancelled = true;
  const int32_t e = print_end();
  return r ? r : e;
}

// ------------------------------------------------------------------ built-ins

namespace {

// Calls the job's callback with (code, buffer name), the busy flag set.
void callback(int32_t index, int32_t code, const std::string& buffer_name) {
  if (index <= 0) return;
  const NameEntry* e = name_entry(static_cast<uint32_t>(index));
  if (!e || !(e->flags & NF_CALLABLE)) return;
  const std::string c = std::to_string(code);
  const std::string_view args[] = {c, buffer_name};
  ps().busy = true;
  vm_call_index(index, args);
  ps().busy = false;
}

}  // namespace

void bi_print() {
  int32_t n = 0;
  if (!bi_count(0, 11, &n)) return;
  if (ps().busy) {
    bi_fail(n, ERR_INVALID_OPTION, true);
    return;
  }
  std::vector<std::string> a(11);
  for (int32_t i = 0; i < n; ++i) a[static_cast<size_t>(i)] = bi_arg_str(n, i);
  core_drop(n);
  line_flush_current();
  PosRecord* view = bi_need_view();
  if (!view) return;
  PrintPageJob job;
  PrintPageLayout& L = job.layout;
  int32_t nums[9] = {L.left, L.top, L.right, L.bottom, L.gap, L.flags, L.number_every, L.width, L.height};
  if (!print_parse_layout(a[6], nums)) return;
  L = {nums[0], nums[1], nums[2], nums[3], nums[4], nums[5], nums[6], nums[7], nums[8]};
  int32_t callback_index = 0;
  if (!a[2].empty()) {
    LStrLine v(a[2]);
    if (val_to_int(v.ls(), &callback_index) != ERR_OK) return;
  }
  // The font: face, size in points, and two more numbers.
  int32_t font[3] = {10, 0, 0};
  const size_t comma = a[3].find(',');
  job.face = a[3].substr(0, comma);
  if (comma != std::string::npos && !print_parse_layout(a[3].substr(comma + 1), font)) return;
  job.size = font[0];
  job.third = font[2];
  job.frames.header = {a[4], a[7], a[9]};
  job.frames.footer = {a[5], a[8], a[10]};
  PrintBufferLines src(view->buffer);
  const std::string buffer_name(src.buf->name.view());
  job.document = a[0].empty() ? buffer_name : a[0];
  job.name = print_document_name(src.buf);
  SysTime now{};
  os_get_time(&now);
  job.date = print_date_text(now);
  job.source = print_buffer_line;
  job.source_user = &src;

  modal_hold_windows(true);
  int32_t rc = print_begin(job.document);
  const bool started = rc == 0;
  if (started) {
    callback(callback_index, 0, buffer_name);
    rc = ps().abort ? ERR_COMMAND_CANCELLED : PageLayout(job).run();
    if (rc == ERR_COMMAND_CANCELLED) ps().cancelled = true;
    const int32_t e = print_end();
    if (rc == 0) rc = e;
  }
  modal_hold_windows(false);
  // A job that never started has no start call to answer.
  if (started) callback(callback_index, 1, buffer_name);
  vm_set_rc(rc);
}

void bi_printer_setup() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  uint32_t vars[1] = {};
  int32_t nv = 0;
  if (!bi_var_group(0, 1, vars, &nv)) {
    core_drop(n);
    return;
  }
  char letter = 'S';
  if (n >= 2 && !bi_arg_letter(n, 1, "RIS", &letter)) return;
  core_drop(n);
  print_poll(false);
  if (nv == 1) var_assign_bytes(vars[0], "", 0);
  vm_push_bytes("0", 1);
}

void bi_set_flag_ext184() { print_abort(); }
