// The paginator of printing into a buffer. See print_text.h.
#include "services/print_text.h"

#include <algorithm>
#include <cctype>

#include "base/messages.h"
#include "text/tabs.h"

std::string print_format_expand(std::string_view format, std::string_view name, std::string_view date, int32_t page) {
  std::string out;
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%' || i + 1 == format.size()) {
      out += c;
      continue;
    }
    const char code = format[++i];
    switch (std::toupper(static_cast<unsigned char>(code))) {
      case 'F':
        out += name;
        break;
      case 'D':
        out += date;
        break;
      case 'P':
        out += std::to_string(page);
        break;
      case '%':
        out += "%%";
        break;
      default:
        out += code;
        break;
    }
  }
  return out;
}

std::string print_date_text(const SysTime& t) {
  // The full year: "years since 1900" would print 2025 as 125.
  return std::to_string(t.month) + "/" + std::to_string(t.day) + "/" + std::to_string(1900 + t.year);
}

std::string print_text_frame_text(const std::array<std::string, 3>& formats, std::string_view name,
                                  std::string_view date, int32_t page, int32_t width, bool header, bool* any) {
  *any = !formats[0].empty() || !formats[1].empty() || !formats[2].empty();
  if (!*any) return {};
  const int32_t W = width;
  std::string out;
  auto put = [&](int32_t p, const std::string& t) {
    if (static_cast<int32_t>(out.size()) < p) out.append(static_cast<size_t>(p) - out.size(), ' ');
    const int32_t room = std::max(0, W - p);
    out += t.substr(0, static_cast<size_t>(std::min<int32_t>(room, static_cast<int32_t>(t.size()))));
  };
  std::string left = print_format_expand(formats[0], name, date, page);
  if (static_cast<int32_t>(left.size()) > W) left.resize(static_cast<size_t>(std::max(W, 0)));
  out = left;
  int32_t c = static_cast<int32_t>(out.size());
  if (!formats[1].empty()) {
    const std::string t = print_format_expand(formats[1], name, date, page);
    int32_t p = (W - static_cast<int32_t>(t.size())) / 2;
    if (p < c + 1) p = c + 1;
    if (p > W) p = c;
    put(p, t);
    c = static_cast<int32_t>(out.size());
  }
  if (!formats[2].empty()) {
    const std::string t = print_format_expand(formats[2], name, date, page);
    int32_t p = std::max(0, W - static_cast<int32_t>(t.size()));
    if (p < c) p = c + 1;
    if (p > W) p = c;
    put(p, t);
  }
  return header && page >= 2 ? "\f" + out : out;
}

namespace {

constexpr int kNumberWidth = 6;

struct Pager {
  const PrintTextJob& job;
  int32_t width;
  int32_t body;
  int32_t page = 1;
  int32_t written = 0;  // lines on the page, the header and its blank lines included
  bool open = false;    // the page's top was written

  void emit(std::string_view line) { job.sink(job.sink_user, line); }

  void open_page() {
    if (open) return;
    open = true;
    bool any = false;
    const std::string h = print_text_frame_text(job.frames.header, job.name, job.date, page, width, true, &any);
    if (any) {
      emit(h);
      ++written;
      for (int32_t i = 0; i < job.layout.after_header; ++i, ++written) emit("");
    } else if (page >= 2) {
      emit("\f");  // without a header the page break still reaches the printer
    }
  }

  void close_page() {
    open_page();
    if (job.frames.has_footer()) {
      while (written < body + job.layout.before_footer) {
        emit("");
        ++written;
      }
      bool any = false;
      emit(print_text_frame_text(job.frames.footer, job.name, job.date, page, width, false, &any));
    }
    ++page;
    written = 0;
    open = false;
  }
};

}  // namespace

int32_t print_next_line(PrintLineSource source, void* user, int32_t& k, std::string& line, bool* forced) {
  for (;;) {
    line.clear();
    const int32_t r = source(user, line);
    if (r != 0) return r;
    if (++k == 1) {
      std::string lower = line;
      std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
      if (lower.find("@zorvex") != std::string::npos) continue;
    }
    *forced = !line.empty() && line[0] == '\f';
    if (*forced) line.erase(0, 1);
    return 0;
  }
}

int32_t print_text_run(const PrintTextJob& job) {
  const PrintTextLayout& L = job.layout;
  const int32_t width = L.width < 1 ? 10 : L.width;
  int32_t body = L.page_length - 1 - L.before_footer;
  if (job.frames.has_header()) body -= 1 + L.after_header;
  if (body < 1) body = 10;
  Pager pg{job, width, body};
  const bool numbering = L.number_every > 0;
  // Every piece of a numbered line leaves room for the number column, so
  // continuation pieces stay within the page width too.
  const int32_t avail = std::max(1, width - (numbering ? kNumberWidth : 0));

  std::string line;
  int32_t k = 0;
  for (;;) {
    bool forced = false;
    const int32_t r = print_next_line(job.source, job.source_user, k, line, &forced);
    if (r == 1) break;
    if (r < 0) return r;
    size_t pos = 0;
    for (bool first = true;; first = false) {
      const std::string_view rest = std::string_view(line).substr(pos);
      size_t cut = rest.size(), next = line.size();
      if (rest.size() > static_cast<size_t>(avail)) {
        cut = static_cast<size_t>(avail);
        if (rest[cut] != ' ') {
          const size_t blank = rest.rfind(' ', cut);
          if (blank != std::string_view::npos) cut = blank;
        }
        next = pos + cut;
        while (next < line.size() && line[next] == ' ') ++next;
      }
      std::string_view piece = rest.substr(0, cut);
      while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);

      if (pg.written >= body || forced) {
        pg.close_page();
        if (forced && line.empty()) break;  // a lone form feed writes nothing itself
        forced = false;
      }
      pg.open_page();
      std::string out;
      if (numbering) {
        if (first && (k == 1 || k % L.number_every == 0)) {
          out = std::to_string(k);
          if (out.size() < kNumberWidth) out.append(kNumberWidth - out.size(), ' ');
        } else {
          out.assign(kNumberWidth, ' ');
        }
      }
      out += piece;
      pg.emit(out);
      ++pg.written;
      if (next >= line.size()) break;
      pos = next;
    }
  }
  if (pg.open && pg.written > 0 && job.frames.has_footer()) {
    pg.close_page();
  }
  return 0;
}

PrintBufferLines::PrintBufferLines(BufferRec* b) : buf(b), tabs(tab_stops_of(b)) { pos.buffer = b; }

int32_t print_buffer_line(void* user, std::string& line) {
  // A line is at most 1024 bytes; its tabs may widen it eightfold.
  constexpr int32_t kExpandedLineCap = 8 * 1024 + 8;
  auto& s = *static_cast<PrintBufferLines*>(user);
  const int32_t r = s.started ? pos_next_line(&s.pos, s.buf) : pos_first_line(&s.pos, s.buf);
  s.started = true;
  if (r == ERR_BOTTOM_OF_FILE || r == ERR_TOP_OF_FILE) return 1;
  if (r != 0) return r;
  const uint8_t* text = nullptr;
  const int32_t len = line_get_ptr(text, &s.pos, s.buf);
  if (len < 0) return len;
  LStrBuf<kExpandedLineCap> expanded;
  tab_expand_range(expanded.ls(), expanded.cap, std::string_view(reinterpret_cast<const char*>(text), len), 0, -1, 'E',
                   s.tabs);
  line.assign(expanded.view());
  return 0;
}
