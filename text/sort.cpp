// Sorting: options, the three comparisons, and the read-sort-insert run.

#include "text/sort.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/lstr.h"
#include "base/mem.h"
#include "text/curline.h"
#include "text/store.h"
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
    if (std::isdigit(static_cast<unsigned char>(s[i])))
      ++digits;
    else if (s[i] == '.' && !point)
      point = true;
    else
      break;
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

// One line of the selection: its text and its key as offsets into the byte
// area (the key is the line with tabs expanded, cut to the key range).
struct Entry {
  uint64_t text;
  uint64_t key;
  uint16_t text_len;
  uint16_t key_len;
  uint8_t reached;  // the line reaches the key column
};

// A block of T through the store's evicting allocator, grown by doubling.
// A failed growth leaves the block as it was.
template <typename T>
struct SeamArray {
  T* p = nullptr;
  size_t n = 0, cap = 0;
  SeamArray() = default;
  SeamArray(const SeamArray&) = delete;
  SeamArray& operator=(const SeamArray&) = delete;
  ~SeamArray() { mem_free(p); }
  bool reserve(size_t want) {
    if (want <= cap) return true;
    size_t c = cap ? cap : 256;
    while (c < want) c *= 2;
    void* q = store_realloc(p, c * sizeof(T));
    if (!q) return false;
    p = static_cast<T*>(q);
    cap = c;
    return true;
  }
  bool append(const T* v, size_t k) {
    if (!reserve(n + k)) return false;
    std::memcpy(p + n, v, k * sizeof(T));
    n += k;
    return true;
  }
};

struct Table {
  SeamArray<uint8_t> bytes;
  SeamArray<Entry> entries;
  std::string_view text(const Entry& e) const { return {reinterpret_cast<const char*>(bytes.p + e.text), e.text_len}; }
  std::string_view key(const Entry& e) const { return {reinterpret_cast<const char*>(bytes.p + e.key), e.key_len}; }
};

int byte_compare(std::string_view a, std::string_view b, bool icase) {
  int32_t n = static_cast<int32_t>(std::min(a.size(), b.size()));
  int32_t r = icase ? mem_icompare(a.data(), b.data(), n) : mem_compare(a.data(), b.data(), n);
  if (r) return r;
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

int key_compare(const Table& t, const Entry& a, const Entry& b, const SortOptions& opt) {
  if (!a.reached || !b.reached) {
    if (!a.reached && !b.reached) return 0;
    return a.reached ? 1 : -1;  // a line short of the key column sorts first
  }
  switch (opt.mode) {
    case SortMode::Decimal:
      return decimal->compare(t.key(a), t.key(b));
    case SortMode::FileName:
      return path_compare(t.key(a), t.key(b));
    default:
      return byte_compare(t.key(a), t.key(b), opt.ignore_case);
  }
}

// Reads the lines begin..end into the table. 0, -2080, -2029 or a store error.
ErrorCode read_lines(Table& t, PosRecord* begin, PosRecord* end, const SortOptions& opt, BufferRec* buf) {
  const TabStops ts = tab_stops_of(buf);
  PosRecord p = *begin;
  p.buf_next = p.buf_prev = nullptr;  // a private walker, not in the ring
  LStrLine expanded;
  for (;;) {
    const uint8_t* text = nullptr;
    int32_t len = line_get_ptr(text, &p, buf);
    if (len < 0) return len;
    Entry e{};
    e.text = t.bytes.n;
    e.text_len = static_cast<uint16_t>(len);
    std::string_view full(reinterpret_cast<const char*>(text), static_cast<size_t>(len));
    bool tabs = std::memchr(text, '\t', static_cast<size_t>(len)) != nullptr;
    if (tabs) {
      expanded.len = 0;
      tab_expand_range(expanded, LSTR_CAP_LINE, full, 1, -1, 'E', ts);
    }
    if (!t.bytes.append(text, static_cast<size_t>(len))) return ERR_NOT_ENOUGH_MEMORY;
    if (tabs) full = expanded.view();
    e.reached = static_cast<int32_t>(full.size()) > opt.key_col || (opt.key_col == 0 && full.empty());
    if (e.reached) {
      std::string_view k = full.substr(static_cast<size_t>(std::min<int32_t>(opt.key_col, full.size())));
      if (opt.key_width > 0 && static_cast<int32_t>(k.size()) > opt.key_width) k = k.substr(0, opt.key_width);
      if (opt.mode == SortMode::Decimal && !decimal->valid(k)) return ERR_INVALID_SORT_DATA;
      if (tabs || opt.key_col > 0 || k.size() != full.size()) {
        e.key = t.bytes.n;
        if (!t.bytes.append(reinterpret_cast<const uint8_t*>(k.data()), k.size())) return ERR_NOT_ENOUGH_MEMORY;
      } else {
        e.key = e.text;  // the whole line is the key
      }
      e.key_len = static_cast<uint16_t>(k.size());
    }
    if (!t.entries.append(&e, 1)) return ERR_NOT_ENOUGH_MEMORY;
    if (pos_same_place(&p, end)) return 0;
    ErrorCode rc = pos_next_line(&p, buf);
    if (rc) return rc == ERR_BOTTOM_OF_FILE ? 0 : rc;
  }
}

}  // namespace

void sort_set_decimal_hooks(const SortDecimalHooks* hooks) { decimal = hooks ? hooks : &kDefaultDecimal; }

ErrorCode sort_parse_options(std::string_view text, SortOptions& opt) {
  for (size_t i = 0; i < text.size(); ++i) {
    switch (std::toupper(static_cast<unsigned char>(text[i]))) {
      case ' ':
        break;
      case 'A':
        opt.direction = 1;
        break;
      case 'D':
        opt.direction = -1;
        break;
      case 'E':
        opt.ignore_case = false;
        break;
      case 'I':
        opt.ignore_case = true;
        break;
      case '-': {
        char n = i + 1 < text.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1]))) : 0;
        if (n == 'N')
          opt.mode = SortMode::Decimal;
        else if (n == 'F')
          opt.mode = SortMode::FileName;
        else
          return ERR_INVALID_OPTION;
        ++i;
        break;
      }
      default:
        return ERR_INVALID_OPTION;
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
  Table t;
  ErrorCode rc = read_lines(t, begin, end, opt, buf);
  tab_buffer_processed = saved_tab_buf;
  if (rc) return rc;

  BufferRec* dbuf = dest->buffer ? dest->buffer : buf;
  line_flush_if(dbuf);
  SeamArray<uint32_t> order;
  if (!order.reserve(t.entries.n)) return ERR_NOT_ENOUGH_MEMORY;
  for (uint32_t i = 0; i < t.entries.n; ++i) order.p[i] = i;
  order.n = t.entries.n;
  // The position tie-break makes the order total: equal keys keep buffer
  // order in both directions, and the sort needs no memory of its own.
  std::sort(order.p, order.p + order.n, [&](uint32_t a, uint32_t b) {
    const int r = key_compare(t, t.entries.p[a], t.entries.p[b], opt) * opt.direction;
    return r != 0 ? r < 0 : a < b;
  });
  // The lines are copied out of the table, which a page eviction never moves.
  for (size_t i = 0; i < order.n; ++i) {
    const std::string_view s = t.text(t.entries.p[order.p[i]]);
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
