#include "text/tab_columns.h"

#include <cstring>
#include <string>

#include "base/messages.h"

uint8_t show_tabs_flag = 0;

namespace {

constexpr int32_t kStopListEnd = 1024;

// Walks the line segment by segment: fn(offset, first column, last column,
// is_tab) for each byte, 1-based; stops when fn returns true.
template <typename F>
int32_t walk(std::string_view text, const TabStops& ts, F fn) {
  int32_t col = 1;
  int idx = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    int32_t last = col;
    bool tab = text[i] == '\t' && ts.expand;
    if (tab) last = tab_next_stop(col, ts, idx) - 1;
    if (fn(static_cast<int32_t>(i + 1), col, last, tab)) return -1;
    col = last + 1;
  }
  return col;  // the column after the last byte
}

}  // namespace

int32_t tab_next_stop(int32_t col, const TabStops& ts, int& idx) {
  if (ts.stops) {
    while (idx < kTabStopCount && ts.stops[idx] != 0 && ts.stops[idx] != kStopListEnd && ts.stops[idx] <= col) ++idx;
    if (idx < kTabStopCount && ts.stops[idx] != 0 && ts.stops[idx] != kStopListEnd) return ts.stops[idx];
  }
  return col + kTabDefaultWidth - (col - 1) % kTabDefaultWidth;
}

int32_t tab_find_next(std::string_view text, int32_t start, const TabStops& ts) {
  if (!ts.expand || start < 1 || static_cast<size_t>(start) > text.size()) return 0;
  size_t p = text.find('\t', static_cast<size_t>(start - 1));
  return p == std::string_view::npos ? 0 : static_cast<int32_t>(p + 1);
}

int32_t tab_convert_column(std::string_view text, int32_t value, char mode, const TabStops& ts) {
  if (mode == 'L') return walk(text, ts, [](int32_t, int32_t, int32_t, bool) { return false; }) - 1;
  if (value < 1) return value;
  int32_t result = 0;
  if (mode == 'T' || mode == 'P') {
    int32_t end = walk(text, ts, [&](int32_t off, int32_t first, int32_t last, bool) {
      if (value < first || value > last) return false;
      result = (value == first || mode == 'P') ? off : -off;
      return true;
    });
    return end < 0 ? result : static_cast<int32_t>(text.size()) + 1 + (value - end);
  }
  int32_t end = walk(text, ts, [&](int32_t off, int32_t first, int32_t, bool) {
    if (off != value) return false;
    result = first;
    return true;
  });
  return end < 0 ? result : end + (value - static_cast<int32_t>(text.size()) - 1);
}

void tab_expand_range(LStr* out, int32_t cap, std::string_view text, int32_t start, int32_t end, char mode,
                      const TabStops& ts) {
  std::string r;
  const bool to_end = end < 0;
  if (to_end) end = start + kMaxColumn;  // at most 1024 columns
  int32_t next = walk(text, ts, [&](int32_t off, int32_t first, int32_t last, bool tab) {
    if (first > end) return true;
    if (last < start) return false;
    if (!tab) {
      r += text[static_cast<size_t>(off - 1)];
      return false;
    }
    int32_t a = first < start ? start : first, b = last > end ? end : last;
    if (mode == 'S' && first >= start && last <= end) {
      r += '\t';
    } else if (show_tabs_flag) {
      r += '\t';
      r.append(static_cast<size_t>(b - a), ' ');
    } else {
      r.append(static_cast<size_t>(b - a + 1), ' ');
    }
    return false;
  });
  if (!to_end && next > 0 && next <= end) r.append(static_cast<size_t>(end - (next > start ? next : start) + 1), ' ');
  lstr_set_mem(out, r.data(), static_cast<int32_t>(r.size()), cap);
}

int32_t line_col_char_start(std::string_view line, int32_t col, const TabStops& ts) {
  int32_t p = tab_convert_column(line, col + 1, 'T', ts);
  int32_t q = p < 0 ? -p : p - 1;
  return tab_convert_column(line, q, 'I', ts) - 1;
}

int32_t line_col_next_char(std::string_view line, int32_t col, const TabStops& ts) {
  int32_t p = tab_convert_column(line, col + 1, 'P', ts) + 1;
  return tab_convert_column(line, p, 'I', ts) - 1;
}

int32_t line_col_to_pos_split_tab(LStr* line, int32_t col, const TabStops& ts) {
  std::string text(line->view());
  int32_t p = tab_convert_column(text, col + 1, 'T', ts);
  if (p >= 0) return p;
  LStrBuf<LSTR_CAP_LINE> head, tail;
  tab_expand_range(head, head.cap, text, 1, col, 'S', ts);
  tab_expand_range(tail, tail.cap, text, col + 1, -1, 'E', ts);
  lstr_copy(line, head, LSTR_CAP_LINE);
  lstr_append(line, tail, LSTR_CAP_LINE);
  return tab_convert_column(line->view(), col + 1, 'P', ts);
}

namespace {

// The next blank- or tab-separated word of text from pos on; empty at the end.
std::string_view next_word(std::string_view text, size_t& pos) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  size_t b = pos;
  while (pos < text.size() && text[pos] != ' ' && text[pos] != '\t') ++pos;
  return text.substr(b, pos - b);
}

// A decimal integer (optional sign); false when the word is not one.
bool parse_int(std::string_view w, int64_t& v) {
  size_t i = 0;
  bool neg = false;
  if (i < w.size() && (w[i] == '-' || w[i] == '+')) neg = w[i++] == '-';
  if (i == w.size()) return false;
  v = 0;
  for (; i < w.size(); ++i) {
    if (w[i] < '0' || w[i] > '9') return false;
    v = v * 10 + (w[i] - '0');
    if (v > 1000000000) return false;
  }
  if (neg) v = -v;
  return true;
}

bool in_columns(int64_t v) { return v >= 1 && v <= kMaxColumn; }

}  // namespace

int32_t buf_parse_tabs_margins(std::string_view text, int32_t* a, int n) {
  const bool tabs = n == kTabStopCount;
  int32_t saved[kTabStopCount];
  int keep = n < kTabStopCount ? n : kTabStopCount;
  std::memcpy(saved, a, sizeof(int32_t) * static_cast<size_t>(keep));
  bool ok = true;
  size_t pos = 0;
  for (int i = 0; i < n && ok; ++i) {
    std::string_view w = next_word(text, pos);
    if (w.empty()) {
      a[i] = 0;
      continue;
    }
    if (tabs && w[0] == '+') {
      int64_t from = 1, to = kMaxColumn, step = 0;
      if (i >= 2) {
        from = a[i - 2];
        to = a[i - 1];
        i -= 2;
      } else if (i == 1) {
        from = a[0];
        i -= 1;
      }
      if (!parse_int(w.substr(1), step) || step < 1) {
        ok = false;
        break;
      }
      for (int64_t c = from;; c += step) {
        if (!in_columns(c)) {
          ok = false;
          break;
        }
        a[i] = static_cast<int32_t>(c);
        if (c + step > to || i + 1 >= n) break;
        ++i;
      }
      continue;
    }
    int64_t v = 0;
    if (!parse_int(w, v) || !in_columns(v) || (tabs && i > 0 && v <= a[i - 1])) {
      ok = false;
      break;
    }
    a[i] = static_cast<int32_t>(v);
  }
  if (ok && !tabs && n >= kMarginCount) {
    if (a[0] == 0) a[0] = 1;
    if (a[1] == 0) a[1] = a[0] < 72 ? 74 : kMaxColumn;
    if (a[0] >= a[1] - 1) ok = false;
    if (a[2] == 0) a[2] = a[0];
  }
  if (!ok) {
    std::memcpy(a, saved, sizeof(int32_t) * static_cast<size_t>(keep));
    return tabs ? ERR_TAB_SETTINGS : ERR_MARGIN_SETTINGS;
  }
  return 0;
}
