// Reflow: words of the source lines are appended to an output line; a word
// that would pass the right margin ends the line (justified when asked),
// which is inserted after the destination.

#include "text/reflow.h"

#include <cstring>
#include <string>
#include <vector>

#include "text/curline.h"
#include "text/store_edit.h"
#include "text/tabs.h"

ReflowResult reflow_result;

namespace {

constexpr int32_t kMaxRight = 1022;  // an output line must fit a line with its end of line
constexpr size_t kMaxGaps = 1024;

bool is_space(char c) { return c == ' ' || c == '\t'; }

class Reflow {
 public:
  Reflow(BufferRec* buf, PosRecord* dest, int32_t left, int32_t right, bool justify)
      : buf_(buf), dest_(dest), left_(left), right_(right), justify_(justify), ts_(tab_stops_of(buf)) {}

  int32_t width() const { return tab_convert_column(out_.view(), 0, 'L', ts_); }
  int32_t written() const { return written_; }

  void start_line(int32_t indent) {
    out_.len = 0;
    line_make_indent(buf_, out_, indent);
    gaps_.clear();
  }

  // Appends a word; ends the line first when the word does not fit.
  ErrorCode add_word(const std::string& w) {
    const int32_t before = out_.len;
    bool cut = !append(w);
    if (cut || (out_.len > left_ && width() > right_)) {
      out_.len = before;
      if (before > 0) {
        if (ErrorCode rc = emit(true)) return rc;
      }
      start_line(left_ - 1);
      append(w);
    }
    return 0;
  }

  void add_gap(const std::string& g) {
    if (!g.empty() && g[0] != '\t' && gaps_.size() < kMaxGaps) gaps_.push_back(out_.len);
    append(g);
  }

  // Writes the output line after the destination; a full line (one that
  // ended because the next word did not fit) is justified when asked.
  ErrorCode emit(bool full) {
    if (justify_ && full) justify();
    ErrorCode rc = line_insert_text(out_.text, out_.len, dest_, dest_->buffer);
    if (!rc) ++written_;
    return rc;
  }

  bool has_text() const {
    for (int32_t i = 0; i < out_.len; ++i)
      if (!is_space(out_.text[i])) return true;
    return false;
  }

  LStrLine& out() { return out_; }

 private:
  bool append(const std::string& s) {
    int32_t room = LSTR_CAP_LINE - out_.len;
    int32_t n = static_cast<int32_t>(s.size());
    bool fits = n <= room;
    if (!fits) n = room;
    std::memcpy(out_.text + out_.len, s.data(), static_cast<size_t>(n));
    out_.len += n;
    return fits;
  }

  void insert_blanks(int32_t at, int32_t n) {
    if (n <= 0 || out_.len + n > LSTR_CAP_LINE) return;
    std::memmove(out_.text + at + n, out_.text + at, static_cast<size_t>(out_.len - at));
    std::memset(out_.text + at, ' ', static_cast<size_t>(n));
    out_.len += n;
  }

  void justify() {
    while (out_.len > 0 && is_space(out_.text[out_.len - 1])) --out_.len;
    // Gaps strictly inside the text: between words.
    std::vector<int32_t> inner;
    for (int32_t g : gaps_)
      if (g < out_.len) inner.push_back(g);
    const int32_t g = static_cast<int32_t>(inner.size());
    if (g < 1) return;
    int32_t need = right_ - width();
    if (need <= 0) return;
    const int32_t base = need / g;
    int32_t extra = need % g;
    const int32_t step = extra ? g / extra : 0;
    for (int32_t i = g - 1; i >= 0; --i) {
      int32_t add = base;
      if (extra > 0 && (g - 1 - i) % step == 0) {
        ++add;
        --extra;
      }
      insert_blanks(inner[static_cast<size_t>(i)], add);
      if (width() >= right_) break;
    }
  }

  BufferRec* buf_;
  PosRecord* dest_;
  int32_t left_, right_;
  bool justify_;
  TabStops ts_;
  LStrLine out_;
  std::vector<int32_t> gaps_;
  int32_t written_ = 0;
};

}  // namespace

void line_make_indent(const BufferRec* buf, LStr* out, int32_t n) {
  out->len = 0;
  if (n <= 0) return;
  if (n > kMaxRight) n = kMaxRight;
  if (buf && buf->indent_tabs) {
    std::string tabs(static_cast<size_t>(n), '\t');
    tab_expand_range(out, LSTR_CAP_LINE, tabs, 1, n, 'S', tab_stops_of(buf));
    return;
  }
  std::memset(out->text, ' ', static_cast<size_t>(n));
  out->len = n;
}

ErrorCode reflow_lines(PosRecord* begin, PosRecord* end, uint8_t kind, PosRecord* dest, const PosRecord* cursor,
                       BufferRec* buf) {
  line_flush_if(buf);
  reflow_result.line = -1;
  const bool block = kind == kReflowBlock;
  const bool fixed = buf->record_len != 0;
  const bool normalise = ((buf->wrap_flags & 5) || block) && !fixed;
  const bool justify = (buf->wrap_flags & 4) && !fixed;
  int32_t right = buf->margins[1] < kMaxRight ? buf->margins[1] : kMaxRight;
  const int32_t left = buf->margins[0] < 1 ? 1 : buf->margins[0];
  const TabStops ts = tab_stops_of(buf);

  // Lines are counted first: inserting after the destination never changes
  // which lines are source lines.
  PosRecord s = *begin, e = *end;
  if (pos_line_number(&s, buf, 1) < 0 || pos_line_number(&e, buf, 1) < 0) return ERR_INVALID_ARGUMENT;
  int32_t count = e.line - s.line + 1;
  if (count < 1) return 0;
  PosRecord src{}, dst{};
  pos_copy_place(&src, &s);
  pos_copy_place(&dst, dest);
  pos_link_to_buffer(&src, buf);
  BufferRec* dbuf = dest->buffer ? dest->buffer : buf;
  line_flush_if(dbuf);
  pos_link_to_buffer(&dst, dbuf);
  int32_t cursor_line = -1, cursor_col = 0;
  if (cursor && cursor->buffer == buf) {
    PosRecord c = *cursor;
    if (pos_line_number(&c, buf, 1) >= 0) cursor_line = c.line;
    cursor_col = cursor->column;
  }

  Reflow r(buf, &dst, left, right, justify);
  r.start_line(buf->margins[2] - 1);
  ErrorCode rc = 0;
  for (int32_t n = 0; n < count && !rc; ++n) {
    if (n > 0 && (rc = pos_next_line(&src, buf)) != 0) break;
    std::string line = line_get_string(&src, buf);
    if (block && static_cast<int32_t>(line.size()) > end->column + 1) line.resize(static_cast<size_t>(end->column + 1));
    int32_t at = 0;  // 0-based byte where the scan starts
    if (block && begin->column > 0) {
      int32_t o = tab_convert_column(line, begin->column + 1, 'T', ts);
      at = o < 0 ? -o : o - 1;  // inside a tab: after it
      if (at > static_cast<int32_t>(line.size())) at = static_cast<int32_t>(line.size());
    }
    const bool on_cursor = src.line == cursor_line;
    int32_t cursor_byte = -1;
    if (on_cursor) {
      cursor_byte = tab_convert_column(line, cursor_col + 1, 'P', ts) - 1;
      reflow_result = {r.written(), left};
    }
    const int32_t len = static_cast<int32_t>(line.size());
    while (at < len && !rc) {
      int32_t w0 = at;
      if (!fixed) {
        while (w0 < len && is_space(line[static_cast<size_t>(w0)])) ++w0;
        if (w0 == len) break;
      }
      int32_t w1 = w0;
      while (w1 < len && !is_space(line[static_cast<size_t>(w1)])) ++w1;
      int32_t g1 = w1;
      while (g1 < len && is_space(line[static_cast<size_t>(g1)])) ++g1;
      const int32_t wstart = fixed ? at : w0;  // fixed records keep leading blanks in the word
      std::string word = line.substr(static_cast<size_t>(wstart), static_cast<size_t>(w1 - wstart));
      std::string gap = line.substr(static_cast<size_t>(w1), static_cast<size_t>(g1 - w1));
      at = g1;
      int32_t cursor_off = -1;
      if (on_cursor && wstart <= cursor_byte + 1) {
        cursor_off = cursor_byte - wstart;
        if (cursor_off < 0) cursor_off = 0;
        if (cursor_off > static_cast<int32_t>(word.size()) + 1) cursor_off = static_cast<int32_t>(word.size()) + 1;
      }
      if (normalise) {
        while (!gap.empty() && gap.back() == ' ') gap.pop_back();
        if (gap.empty()) {
          char last = word.empty() ? 0 : word.back();
          gap.assign((last == '.' || last == '?' || last == '!') ? 2 : 1, ' ');
        }
      } else if (gap.empty() && !fixed) {
        gap.assign(1, ' ');
      }
      if ((rc = r.add_word(word)) != 0) break;
      if (cursor_off >= 0) {
        int32_t word_start = r.out().len - static_cast<int32_t>(word.size());
        int32_t byte = word_start + cursor_off;
        reflow_result = {r.written(), tab_convert_column(r.out().view(), byte + 1, 'I', ts)};
      }
      r.add_gap(gap);
    }
  }
  if (!rc && r.has_text()) rc = r.emit(false);
  pos_unlink_from_buffer(&src);
  pos_unlink_from_buffer(&dst);
  pos_copy_place(dest, &dst);
  dbuf->redraw = 1;
  redraw_bits |= 0x203a;
  return rc;
}

ErrorCode reflow_selection(const SelectionMarks* sel, const PosRecord* view) {
  if (ErrorCode rc = sel_check_kind(sel, kSelLine | kSelBlock)) return rc;
  PosRecord* begin = sel->begin;
  PosRecord* end = sel->end ? sel->end : sel->begin;
  BufferRec* buf = begin->buffer;
  PosRecord dest{};
  const PosRecord* at = (view && view->buffer != buf) ? view : end;
  pos_copy_place(&dest, at);
  dest.buffer = at->buffer;
  return reflow_lines(begin, end, sel_kind(sel) == kSelBlock ? kReflowBlock : kReflowLine, &dest, view, buf);
}
