// Sorting: options, the three comparisons, and the read-sort-insert run.

#include "text/sort.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/lstr.h"
#include "text/curline.h"
#include "text/store_edit.h"
#include "text/tabs.h"

namespace {

// ---- default decimal numbers ----

// Blanks, optional sign, digits with at most one point (at least one digit),
// optional exponent, blanks.
bool plain_decimal(std::string_view s, long double* value) {
  size_t i = 0, n = s.size();
  while (i < n && s[i] == ' ') ++i;
  size_t start = i;
  if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
  int digits = 0;
  bool point = false;
  for (; i < n; ++i) {
    if (std::isdigit(static_cast<unsigned char>(s[i]))) ++digits;
    else if (s[i] == '.' && !point) point = true;
    else break;
  }
  if (digits == 0) return false;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
    size_t d = j;
    while (j < n && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
    if (j == d) return false;
    i = j;
  }
  size_t end = i;
  while (i < n && s[i] == ' ') ++i;
  if (i != n) return false;
  if (value) *value = std::strtold(std::string(s.substr(start, end - start)).c_str(), nullptr);
  return true;
}

bool default_valid(std::string_view key) { return plain_decimal(key, nullptr); }
int default_compare(std::string_view a, std::string_view b) {
  long double x = 0, y = 0;
  plain_decimal(a, &x);
  plain_decimal(b, &y);
  return x < y ? -1 : (x > y ? 1 : 0);
}
constexpr SortDecimalHooks kDefaultDecimal = {default_valid, default_compare};
const SortDecimalHooks* decimal = &kDefaultDecimal;

struct Entry {
  std::string text;  // the line as stored (written back)
  std::string key;   // tabs expanded, cut to the key range; empty when not reached
  bool reached;      // the line reaches the key column
};

int byte_compare(const std::string& a, const std::string& b, bool icase) {
  int32_t n = static_cast<int32_t>(std::min(a.size(), b.size()));
  int32_t r = icase ? mem_icompare(a.data(), b.data(), n) : mem_compare(a.data(), b.data(), n);
  if (r) return r;
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

int key_compare(const Entry& a, const Entry& b, const SortOptions& opt) {
  if (!a.reached || !b.reached) {
    if (!a.reached && !b.reached) return 0;
    return a.reached ? 1 : -1;  // a line short of the key column sorts first
  }
  switch (opt.mode) {
    case SortMode::Decimal: return decimal->compare(a.key, b.key);
    case SortMode::FileName: return path_compare(a.key, b.key);
    default: return byte_compare(a.key, b.key, opt.ignore_case);
  }
}

}  // namespace

void sort_set_decimal_hooks(const SortDecimalHooks* hooks) { decimal = hooks ? hooks : &kDefaultDecimal; }

ErrorCode sort_parse_options(std::string_view text, SortOptions& opt) {
  for (size_t i = 0; i < text.size(); ++i) {
    switch (std::toupper(static_cast<unsigned char>(text[i]))) {
      case ' ': break;
      case 'A': opt.direction = 1; break;
      case 'D': opt.direction = -1; break;
      case 'E': opt.ignore_case = false; break;
      case 'I': opt.ignore_case = true; break;
      case '-': {
        char n = i + 1 < text.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1]))) : 0;
        if (n == 'N') opt.mode = SortMode::Decimal;
        else if (n == 'F') opt.mode = SortMode::FileName;
        else return ERR_INVALID_OPTION;
        ++i;
        break;
      }
      default: return ERR_INVALID_OPTION;
    }
  }
  return 0;
}

int32_t mem_icompare(const void* a, const void* b, int32_t n) {
  auto* x = static_cast<const unsigned char*>(a);
  auto* y = static_cast<const unsigned char*>(b);
  int32_t d = 0;
  for (int32_t i = 0; i < n; ++i) {
    d = std::toupper(x[i]) - std::toupper(y[i]);
    if (d) return d;
  }
  return d;
}

int32_t path_compare(std::string_view a, std::string_view b) {
  size_t sa = a.rfind('/'), sb = b.rfind('/');
  size_t da = sa == std::string_view::npos ? 0 : sa + 1;  // directory part lengths
  size_t db = sb == std::string_view::npos ? 0 : sb + 1;
  if (da && db) {
    int32_t r = mem_compare(a.data(), b.data(), static_cast<int32_t>(std::min(da, db)));
    if (r) return r;
  }
  if (da != db) return static_cast<int32_t>(da) - static_cast<int32_t>(db);
  std::string_view na = a.substr(da), nb = b.substr(db);
  if (na.empty() || nb.empty()) return static_cast<int32_t>(na.size()) - static_cast<int32_t>(nb.size());
  int32_t r = mem_compare(na.data(), nb.data(), static_cast<int32_t>(std::min(na.size(), nb.size())));
  if (r) return r;
  return static_cast<int32_t>(na.size()) - static_cast<int32_t>(nb.size());
}

ErrorCode sort_lines(PosRecord* begin, PosRecord* end, const SortOptions& opt, PosRecord* dest, BufferRec* buf) {
  line_flush_if(buf);
  BufferRec* saved_tab_buf = tab_buffer_processed;
  tab_buffer_processed = buf;
  const TabStops ts = tab_stops_of(buf);
  std::vector<Entry> entries;
  PosRecord p = *begin;
  p.buf_next = p.buf_prev = nullptr;  // a private walker, not in the ring
  ErrorCode rc = 0;
  LStrLine expanded;
  for (;;) {
    const uint8_t* t = nullptr;
    int32_t len = line_get_ptr(t, &p, buf);
    if (len < 0) {
      rc = len;
      break;
    }
    Entry e;
    e.text.assign(reinterpret_cast<const char*>(t), static_cast<size_t>(len));
    std::string_view full = e.text;
    if (std::memchr(t, '\t', static_cast<size_t>(len))) {
      expanded.len = 0;
      tab_expand_range(expanded, LSTR_CAP_LINE, full, 1, -1, 'E', ts);
      full = expanded.view();
    }
    e.reached = static_cast<int32_t>(full.size()) > opt.key_col || (opt.key_col == 0 && full.empty());
    if (e.reached) {
      std::string_view k = full.substr(static_cast<size_t>(std::min<int32_t>(opt.key_col, full.size())));
      if (opt.key_width > 0 && static_cast<int32_t>(k.size()) > opt.key_width) k = k.substr(0, opt.key_width);
      e.key.assign(k);
      if (opt.mode == SortMode::Decimal && !decimal->valid(e.key)) {
        rc = ERR_INVALID_SORT_DATA;
        break;
      }
    }
    entries.push_back(std::move(e));
    if (pos_same_place(&p, end)) break;
    if ((rc = pos_next_line(&p, buf)) != 0) break;
  }
  tab_buffer_processed = saved_tab_buf;
  if (rc) return rc == ERR_BOTTOM_OF_FILE ? 0 : rc;

  BufferRec* dbuf = dest->buffer ? dest->buffer : buf;
  line_flush_if(dbuf);
  std::vector<uint32_t> order(entries.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  // A stable sort is the position tie-break: equal keys keep buffer order.
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return key_compare(entries[a], entries[b], opt) * opt.direction < 0;
  });
  for (uint32_t i : order) {
    const std::string& s = entries[i].text;
    if ((rc = line_insert_text(s.data(), static_cast<int32_t>(s.size()), dest, dbuf)) != 0) return rc;
  }
  dbuf->redraw = 1;
  redraw_bits |= 0x0022;
  return 0;
}

ErrorCode sort_selection(std::string_view options, const SelectionMarks* sel, const PosRecord* view) {
  SortOptions opt;
  if (ErrorCode rc = sort_parse_options(options, opt)) return rc;
  if (ErrorCode rc = sel_check_kind(sel, kSelLine | kSelChar | kSelBlock)) return rc;
  PosRecord* begin = sel->begin;
  PosRecord* end = sel->end ? sel->end : sel->begin;
  BufferRec* buf = begin->buffer;
  if (sel_kind(sel) == kSelBlock) {
    int32_t c0 = std::min(begin->column, end->column), c1 = std::max(begin->column, end->column);
    opt.key_col = c0;
    opt.key_width = c1 - c0 + 1;
  }
  PosRecord dest{};
  const PosRecord* at = (view && view->buffer != buf) ? view : end;
  pos_copy_place(&dest, at);
  dest.buffer = at->buffer;
  return sort_lines(begin, end, opt, &dest, buf);
}
