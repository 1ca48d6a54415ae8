// Tab stops: see tabs.h.

#include "text/tabs.h"

#include <algorithm>
#include <cstring>

#include "text/buffer.h"

BufferRec* tab_buffer_processed = nullptr;
bool tab_show_tabs = false;

BufferRec* tab_buffer() { return tab_buffer_processed ? tab_buffer_processed : buf_current(); }

bool tab_expands() {
  const BufferRec* b = tab_buffer();
  return !b || (b->record_len == 0 && b->no_tab_expand != 1);
}

int32_t tab_find_next(const void* text, int32_t length, int32_t start) {
  if (start < 1) start = 1;
  if (start > length || !tab_expands()) return 0;
  const void* p = std::memchr(static_cast<const char*>(text) + start - 1, '\t', static_cast<size_t>(length - start + 1));
  return p ? static_cast<int32_t>(static_cast<const char*>(p) - static_cast<const char*>(text)) + 1 : 0;
}

int32_t tab_next_stop(int32_t column, int32_t& index) {
  if (const BufferRec* b = tab_buffer()) {
    if (index < 0) index = 0;
    while (index < kTabStopCount) {
      int32_t s = b->tab_stops[index];
      if (s <= 0 || s >= kTabStopEnd) break;
      if (s > column) return s;
      ++index;
    }
  }
  if (column < 1) column = 1;
  return column + kTabWidth - (column - 1) % kTabWidth;
}

namespace {

// One step of the column walk: the byte at 0-based i starts at column `col`
// and the next byte at the returned column.
struct Walker {
  const uint8_t* t;
  int32_t n;
  bool expand;
  int32_t index = 0;
  int32_t next_col(int32_t i, int32_t col) {
    if (expand && t[i] == '\t') return tab_next_stop(col, index);
    return col + 1;
  }
};

}  // namespace

int32_t tab_convert_column(const void* text, int32_t length, int32_t value, char mode) {
  if (value < 1 && mode != 'L') return value;
  Walker w{static_cast<const uint8_t*>(text), std::max(length, 0), tab_expands()};
  int32_t col = 1;
  if (mode == 'T' || mode == 'P') {
    for (int32_t i = 0; i < w.n; ++i) {
      int32_t nc = w.next_col(i, col);
      if (value < nc) {
        if (value == col) return i + 1;
        return mode == 'T' ? -(i + 1) : i + 1;
      }
      col = nc;
    }
    return w.n + 1 + (value - col);
  }
  if (mode == 'L') {
    for (int32_t i = 0; i < w.n; ++i) col = w.next_col(i, col);
    return col - 1;
  }
  for (int32_t i = 0; i < w.n; ++i) {
    if (i + 1 == value) return col;
    col = w.next_col(i, col);
  }
  return col + (value - w.n - 1);
}

void tab_expand_range(LStr* out, int32_t cap, const void* text, int32_t length, int32_t start, int32_t end,
                      char mode) {
  out->len = 0;
  if (cap < 0) cap = 0;
  if (start < 1) start = 1;
  const bool to_end = end < 0;
  int32_t last = to_end ? start + kTabMaxColumns - 1 : std::min(end, start + kTabMaxColumns - 1);
  if (last < start) return;
  Walker w{static_cast<const uint8_t*>(text), std::max(length, 0), tab_expands()};
  char* o = out->text;
  int32_t n = 0;
  auto put = [&](char c) {
    if (n < cap) o[n++] = c;
  };
  int32_t col = 1;
  for (int32_t i = 0; i < w.n && col <= last; ++i) {
    int32_t nc = w.next_col(i, col);
    if (nc > start) {
      if (w.t[i] == '\t' && w.expand) {
        int32_t a = std::max(col, start), z = std::min(nc - 1, last);
        if (mode == 'S' && col >= start && nc - 1 <= last) {
          put('\t');
        } else if (tab_show_tabs) {
          put('\t');
          for (int32_t c = a + 1; c <= z; ++c) put(' ');
        } else {
          for (int32_t c = a; c <= z; ++c) put(' ');
        }
      } else {
        put(static_cast<char>(w.t[i]));
      }
    }
    col = nc;
  }
  if (!to_end)
    for (int32_t c = std::max(col, start); c <= last; ++c) put(' ');
  out->len = n;
}
