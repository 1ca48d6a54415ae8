#include "text/search.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "text/curline.h"
#include "text/cursor.h"
#include "text/load.h"
#include "text/plain_search.h"
#include "text/search_port.h"
#include "text/store_edit.h"
#include "text/tabs.h"
#include "text/ui_port.h"

SearchState search_state;
LStrBuf<kSearchPatternCap> search_pattern;

namespace {

// The upper-cased copy the plain search gets when case is ignored.
LStrBuf<kSearchPatternCap> plain_pattern;
// The word characters compiled; direction 0 means "compile again".
RegexState word_regex;
int break_countdown = kSearchBreakEvery;

SearchHooks hooks = {nullptr, nullptr};

bool is_regex() { return (search_state.flags & (kSearchFlagRegex | kSearchFlagUnix)) != 0; }
int direction() { return search_state.direction < 0 ? -1 : 1; }
void mark_for_compiling() { re_current().direction = 0; }

uint8_t upper(uint8_t b) { return (b >= 'a' && b <= 'z') ? static_cast<uint8_t>(b - 32) : b; }

// The edit style is 'C' (centre the found line) while the walk runs.
struct ScrollStyleScope {
  char saved = edit_settings.scroll_style;
  ScrollStyleScope() { edit_settings.scroll_style = 'C'; }
  ~ScrollStyleScope() { edit_settings.scroll_style = saved; }
};

// Byte offsets and display columns of a line, with the stops that apply now.
int32_t convert_column(const void* text, int32_t len, int32_t value, char mode) {
  std::string_view line(static_cast<const char*>(text), static_cast<size_t>(len < 0 ? 0 : len));
  return tab_convert_column(line, value, mode, tab_stops_current());
}

bool on_top_line(const PosRecord& pos, const BufferRec* buf) {
  return pos.block == buf->first_block && pos.offset == 0 && pos.index == 0;
}

// -3022 when the working position has left the selection in the search direction.
ErrorCode check_selection(const SearchSelection& sel) {
  if (direction() > 0 ? pos_compare(&search_state.work, sel.last) > 0 : pos_compare(&search_state.work, sel.first) < 0)
    return ERR_STRING_NOT_FOUND;
  return 0;
}

// Step 5 of the walk: 1 accept, 0 reject (search on in the line), or -3022.
int selection_verdict(const SearchSelection& sel, int32_t d, int32_t w) {
  const PosRecord& work = search_state.work;
  bool fwd = direction() > 0;
  if (fwd ? pos_compare(&work, sel.first) < 0 : pos_compare(&work, sel.last) > 0) return 0;
  bool on_first = pos_same_place(&work, sel.first);
  bool on_last = pos_same_place(&work, sel.last);
  if (sel.kind == 2) {
    bool ends_after = on_last && sel.end_col < d + w - 1;
    if (on_first && d - 1 < sel.begin_col) {
      if (fwd) return 0;
      return ends_after ? 0 : ERR_STRING_NOT_FOUND;
    }
    if (ends_after) return fwd ? ERR_STRING_NOT_FOUND : 0;
  } else if (sel.kind == 4) {
    if (d < search_state.col_low || d + w - 1 > search_state.col_high) return 0;
  }
  return 1;
}

bool is_word_byte(uint8_t b) { return re_search(word_regex, 1, &b, 1) > 0; }

// 1-based byte column of the view's cursor in its line.
int32_t cursor_byte_column(PosRecord* view) {
  const uint8_t* text = nullptr;
  int32_t len = line_get_ptr(text, view, view->buffer);
  if (len < 0) len = 0;
  return convert_column(text, len, view->column + 1, 'P');
}

// The view's cursor column (0-based display column) from a byte column.
void set_view_column(PosRecord* view, int32_t byte_column) {
  const uint8_t* text = nullptr;
  int32_t len = line_get_ptr(text, view, view->buffer);
  if (len < 0) len = 0;
  view->column = convert_column(text, len, byte_column, 'I') - 1;
}

ErrorCode built_in_break() {
  if (--break_countdown >= 0) return 0;
  break_countdown = kSearchBreakEvery;
  ui_poll_break_soon();
  return search_check_break();
}

void append_bytes(LStrBuf<kSearchLineCap>& out, const void* p, int32_t n) {
  int32_t room = kSearchLineCap - out.len;
  n = std::min(n, room);
  if (n <= 0) return;
  std::memcpy(out.text + out.len, p, static_cast<size_t>(n));
  out.len += n;
}

void append_group(LStrBuf<kSearchLineCap>& out, int g, const uint8_t* line, int32_t length) {
  const RegexState& st = re_current();
  if (g < 0 || g >= kRegexGroups || !(st.group_mask & (1u << g))) return;
  int32_t s = st.groups[g].start - 1;
  int32_t e = std::min(st.groups[g].end - 1, length);
  if (s < 0 || e <= s) return;
  append_bytes(out, line + s, e - s);
}

bool parse_int(std::string_view s, int64_t* v) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool neg = i < s.size() && s[i] == '-';
  if (neg || (i < s.size() && s[i] == '+')) ++i;
  if (i == s.size()) return false;
  int64_t n = 0;
  for (; i < s.size() && s[i] != ' '; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    n = n * 10 + (s[i] - '0');
    if (n > INT32_MAX) return false;
  }
  while (i < s.size() && s[i] == ' ') ++i;
  if (i != s.size()) return false;
  *v = neg ? -n : n;
  return true;
}

constexpr int64_t kScanChunk = 1 << 20;

// Where block b starts, in the offsets pos_seek_offset takes (the top line
// before the first). Walked from the first block: a position keeps the
// offset its block had when it was placed, and blocks read since may have
// moved line pieces between blocks before it.
int64_t block_start(const BufferRec* buf, int32_t b) {
  int64_t o = -(buf->record_len ? buf->record_len : 1);
  for (int32_t x = buf->first_block; x >= 0 && x != b; x = store_block(x).next) o += store_block(x).bytes;
  return o;
}

// Before a forward walk steps off the last line of a page into
// blocks whose text is still only in the file, their bytes are scanned for
// the pattern directly, a megabyte at a time, without pages for the lines
// passed over. The walk goes on at the line holding the first occurrence,
// or at the last line scanned when there is none: a line can only hold the
// pattern where the file's bytes do. 1 when the work position moved, 0 when
// it stays (the ordinary step follows), or an error.
//
// A regular expression is passed over the same way, looking for the run of
// bytes every match holds (when the pattern has one), else for a byte that
// every match contains.
ErrorCode skip_unread(const LStr* pat, bool regex, BufferRec* buf) {
  PosRecord& w = search_state.work;
  Page* p = nullptr;
  const RegexState& st = re_current();
  const int32_t required = regex ? st.required : -1;
  const int32_t chain = regex ? st.chain_len : 0;
  if ((regex ? required < 0 && chain == 0 : pat->len <= 0) || store_get_page_counted(p, w.block, buf) != 0) return 0;
  if (p->cont || -w.index != static_cast<int32_t>(p->nlines) - 1) return 0;
  static std::vector<uint8_t> chunk;
  // An occurrence may straddle two reads.
  const int64_t keep_max = regex ? (chain ? chain - 1 : 0) : pat->len - 1;
  SourceRun run;
  if (!store_source_run(store_block(w.block).next, buf, kScanChunk, run)) return 0;  // nothing unread next
  const int64_t start = block_start(buf, w.block) + store_block(w.block).bytes;
  int64_t base = start;  // buffer offset of the run
  int64_t keep = 0, file_end = -1, found = -1;
  for (int32_t b = store_block(w.block).next; found < 0 && store_source_run(b, buf, kScanChunk, run);
       b = store_block(run.last).next) {
    if (ui_break_pressed()) return ERR_COMMAND_CANCELLED;
    if (run.file_off != file_end) keep = 0;
    chunk.resize(static_cast<size_t>(keep + run.bytes));
    if (store_read_source_bytes(buf, chunk.data() + keep, run.bytes, run.file_off) != 0) break;
    if (chain) {
      const int32_t at = re_find_chain(st, chunk.data(), static_cast<int32_t>(chunk.size()));
      if (at >= 0) found = base - keep + at;
    } else if (regex) {
      const void* at = std::memchr(chunk.data(), required, chunk.size());
      if (at) found = base - keep + (static_cast<const uint8_t*>(at) - chunk.data());
    } else if (const int32_t c = search_plain_forward(1, pat, chunk.data(), static_cast<int32_t>(chunk.size()))) {
      found = base - keep + c - 1;
    }
    base += run.bytes;
    file_end = run.file_off + run.bytes;
    keep = std::min(keep_max, static_cast<int64_t>(chunk.size()));
    std::memmove(chunk.data(), chunk.data() + chunk.size() - keep, static_cast<size_t>(keep));
  }
  if (found < 0 && base == start) return 0;  // nothing scanned
  ErrorCode rc = pos_seek_offset(&w, found >= 0 ? found : base - 1);
  return rc ? rc : 1;
}

// The backward twin: before a backward walk steps off the first line of a
// page into blocks whose text is still only in the file, their bytes are
// scanned from the end, a megabyte at a time, for the last occurrence (or
// the last run every match of a regular expression holds, or its required
// byte). The walk goes on at the line holding it, or at the first line
// scanned when there is none. The first block, which holds the top line
// too, is left to the walk.
ErrorCode skip_unread_back(const LStr* pat, bool regex, BufferRec* buf) {
  PosRecord& w = search_state.work;
  const RegexState& st = re_current();
  const int32_t required = regex ? st.required : -1;
  const int32_t chain = regex ? st.chain_len : 0;
  Page* p = nullptr;
  if ((regex ? required < 0 && chain == 0 : pat->len <= 0) || w.index != 0 ||
      store_get_page_counted(p, w.block, buf) != 0)
    return 0;
  static std::vector<uint8_t> chunk;
  const int64_t keep_max = regex ? (chain ? chain - 1 : 0) : pat->len - 1;
  SourceRun one;
  auto unread = [&](int32_t x) { return x >= 0 && x != buf->first_block && store_source_run(x, buf, 0, one); };
  if (!unread(store_block(w.block).prev)) return 0;  // nothing unread before
  const int64_t end = block_start(buf, w.block);
  int64_t low = end;  // buffer offset of the first byte scanned
  int64_t keep = 0, file_low = -1, found = -1;
  for (int32_t b = store_block(w.block).prev; found < 0 && unread(b); b = store_block(b).prev) {
    if (ui_break_pressed()) return ERR_COMMAND_CANCELLED;
    // Blocks back from b whose ranges follow each other in the file.
    int64_t off = one.file_off, bytes = one.bytes;
    for (int32_t x = store_block(b).prev; bytes < kScanChunk && unread(x) && one.file_off + one.bytes == off;
         x = store_block(x).prev) {
      b = x;
      off = one.file_off;
      bytes += one.bytes;
    }
    if (off + bytes != file_low) keep = 0;
    // The new bytes, then the first bytes of the read after them: an
    // occurrence may straddle the two.
    chunk.resize(static_cast<size_t>(bytes + keep));
    std::memmove(chunk.data() + bytes, chunk.data(), static_cast<size_t>(keep));
    if (store_read_source_bytes(buf, chunk.data(), bytes, off) != 0) break;
    low -= bytes;
    const auto n = static_cast<int32_t>(chunk.size());
    if (chain) {
      for (int32_t from = 0, at; from < n && (at = re_find_chain(st, chunk.data() + from, n - from)) >= 0;
           from += at + 1)
        found = low + from + at;
    } else if (regex) {
      const void* at = ::memrchr(chunk.data(), required, chunk.size());
      if (at) found = low + (static_cast<const uint8_t*>(at) - chunk.data());
    } else if (const int32_t c = search_plain_backward(n, pat, chunk.data(), n)) {
      found = low + c - 1;
    }
    file_low = off;
    keep = std::min(keep_max, static_cast<int64_t>(chunk.size()));
  }
  if (found < 0 && low == end) return 0;  // nothing scanned
  ErrorCode rc = pos_seek_offset(&w, found >= 0 ? found : low);
  return rc ? rc : 1;
}

}  // namespace

SearchHooks& search_hooks() { return hooks; }

ErrorCode search_parse_options(std::string_view options) {
  SearchState& s = search_state;
  for (size_t i = 0; i < options.size(); ++i) {
    switch (upper(static_cast<uint8_t>(options[i]))) {
      case '+':
        s.direction = 1;
        mark_for_compiling();
        break;
      case '-':
        s.direction = -1;
        mark_for_compiling();
        break;
      case 'E':
        s.flags &= ~kSearchFlagIgnoreCase;
        mark_for_compiling();
        break;
      case 'I':
        s.flags |= kSearchFlagIgnoreCase;
        mark_for_compiling();
        break;
      case 'M':
        s.flags |= kSearchFlagInSelection;
        break;
      case '>':
        s.flags |= kSearchFlagCursorAfter;
        break;
      case '<':
        s.flags &= ~kSearchFlagCursorAfter;
        break;
      // A change of syntax needs a new compile too.
      case 'R':
        s.flags = (s.flags | kSearchFlagRegex) & ~(kSearchFlagV1 | kSearchFlagUnix);
        mark_for_compiling();
        break;
      case 'U':
        s.flags = (s.flags | kSearchFlagUnix) & ~(kSearchFlagRegex | kSearchFlagV1);
        mark_for_compiling();
        break;
      case 'N':
        s.flags &= ~(kSearchFlagRegex | kSearchFlagV1);
        break;
      case 'V':
        if (i + 1 < options.size() && options[i + 1] == '1') {
          s.flags = (s.flags | kSearchFlagRegex | kSearchFlagV1) & ~kSearchFlagUnix;
          mark_for_compiling();
          ++i;
        }
        break;
      case 'W':
        s.flags |= kSearchFlagWholeWord;
        if (i + 1 < options.size() && options[i + 1] == '=') {
          s.word_chars.assign(options.substr(i + 2, kSearchWordCharsCap));
          word_regex.direction = 0;
          return 0;
        }
        break;
      case '@':
        s.flags |= kSearchFlagRcOnly;
        break;
      case 'P':
        s.flags |= kSearchFlagShiftMarks;
        break;
      case '*':
        break;
      default:
        return ERR_INVALID_OPTION;
    }
  }
  return 0;
}

ErrorCode search_start(int32_t start_column) {
  SearchState& s = search_state;
  PosRecord* view = view_current();
  BufferRec* buf = buf_current();
  if (view == nullptr || buf == nullptr) return ERR_NOT_ALLOWED_ON_OBJECT;
  line_flush_if(buf);
  s.col_low = 1;
  s.col_high = kSearchLastColumn;
  s.direction = direction();
  bool fwd = s.direction > 0;
  s.line_step = fwd ? pos_next_line : pos_prev_line;
  s.search_fn = fwd ? search_plain_forward : search_plain_backward;
  s.next_line_start = fwd ? 1 : kSearchLastColumn;
  if (is_regex()) s.search_fn = re_search;
  if (s.flags & kSearchFlagInSelection) {
    SearchSelection sel{};
    if (hooks.selection != nullptr && hooks.selection(buf, &sel)) {
      if (sel.kind == 4) {
        s.col_low = sel.begin_col + 1;
        s.col_high = sel.end_col + 1;
        if (s.col_low > s.col_high) return ERR_STRING_NOT_FOUND;
        s.next_line_start = fwd ? 1 : s.col_high;
      }
    } else {
      s.flags &= ~kSearchFlagInSelection;
    }
  }
  search_finish();
  pos_copy_place(&s.work, view);
  s.work.row = view->row;  // the walk counts the window row with its lines
  pos_link_to_buffer(&s.work, buf);
  if (!is_regex()) {
    plain_pattern = search_pattern;
    if (s.flags & kSearchFlagIgnoreCase)
      for (int32_t i = 0; i < plain_pattern.len; ++i)
        plain_pattern.text[i] = static_cast<char>(upper(static_cast<uint8_t>(plain_pattern.text[i])));
    search_plain_prepare(plain_pattern, s.direction, s.flags & kSearchFlagIgnoreCase);
  } else if (re_current().direction == 0) {
    ErrorCode rc = re_compile(re_current(), search_pattern.view(), s.direction,
                              (s.flags & kSearchFlagIgnoreCase) ? 1 : 0, (s.flags & kSearchFlagUnix) ? 1 : 0);
    if (rc != 0) return rc;
  }
  if ((s.flags & kSearchFlagWholeWord) && word_regex.direction == 0) {
    ErrorCode rc = re_compile(word_regex, s.word_chars.view(), 1, 0, 0);
    if (rc != 0) return rc;
  }
  return search_lines(start_column, false);
}

ErrorCode search_lines(int32_t start_column, bool keep_cursor_column) {
  SearchState& s = search_state;
  BufferRec* buf = s.work.buffer;
  PosRecord* view = view_current();
  if (buf == nullptr || view == nullptr) return ERR_NOT_ALLOWED_ON_OBJECT;
  ScrollStyleScope style;
  const bool regex = is_regex();
  const LStr* pat = regex ? static_cast<const LStr*>(search_pattern) : static_cast<const LStr*>(plain_pattern);
  const int dir = direction();
  int32_t col = start_column;
  // Searches pass over unread text from the file's bytes.
  const bool fast_skip = !(s.flags & kSearchFlagInSelection);
  for (;;) {
    if (ui_break_pressed()) return ERR_COMMAND_CANCELLED;
    SearchSelection sel{};
    bool in_sel = (s.flags & kSearchFlagInSelection) && hooks.selection != nullptr && hooks.selection(buf, &sel);
    if (in_sel) {
      if (ErrorCode rc = check_selection(sel)) return rc;
    }
    const uint8_t* text = nullptr;
    int32_t len = line_get_ptr(text, &s.work, buf);
    if (len < 0) return len;
    int32_t c = s.search_fn(col, pat, text, len);
    if (c < 0) return c;  // the matcher was stopped or ran out of memory
    if (c == 0) {
      if (fast_skip) {
        if (ErrorCode moved = dir > 0 ? skip_unread(pat, regex, buf) : skip_unread_back(pat, regex, buf)) {
          if (moved < 0) return moved;
          col = s.next_line_start;
          continue;
        }
      }
      ErrorCode rc = s.line_step(&s.work, buf);
      if (rc == ERR_BOTTOM_OF_FILE || rc == ERR_TOP_OF_FILE) return ERR_STRING_NOT_FOUND;
      if (rc != 0) return rc;
      s.work.row += dir;
      col = s.next_line_start;
      continue;
    }
    int32_t mlen = regex ? re_current().match_length : pat->len;
    if (in_sel && sel.kind != 1) {
      int32_t d = convert_column(text, len, c, 'I');
      int32_t w = convert_column(text, len, c + mlen, 'I') - d;
      int v = selection_verdict(sel, d, w);
      if (v < 0) return v;
      if (v == 0) {
        col = c + dir;
        continue;
      }
    }
    if (s.flags & kSearchFlagWholeWord) {
      bool before = c > 1 && is_word_byte(text[c - 2]);
      bool after = c - 1 + mlen < len && is_word_byte(text[c - 1 + mlen]);
      if (before || after) {
        col = c + dir;
        continue;
      }
    }
    if (on_top_line(s.work, buf)) {
      col = c + dir;
      continue;
    }
    int32_t cursor = c;
    if (regex && re_current().cursor_column != 0)
      cursor = re_current().cursor_column;
    else if (s.flags & kSearchFlagCursorAfter)
      cursor = c + mlen;
    pos_copy_place(view, &s.work);
    view->row = s.work.row;
    view_show_row(view, dir);
    s.work.row = view->row;
    s.match_length = mlen;
    s.match_column = c;
    s.cursor_column = cursor;
    s.cursor_offset = cursor - c;
    if (!keep_cursor_column) set_view_column(view, cursor);
    return 0;
  }
}

ErrorCode search_expand_replacement(std::string_view replacement, const uint8_t* line, int32_t length,
                                    LStrBuf<kSearchLineCap>& out) {
  const uint32_t flags = search_state.flags;
  const bool unix_syntax = flags & kSearchFlagUnix;
  const bool v1 = !unix_syntax && (flags & kSearchFlagV1);
  out.len = 0;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(replacement.data());
  const uint8_t* end = p + replacement.size();
  while (p < end) {
    uint8_t ch = *p;
    bool special = ch == '\\' || (ch == '#' && !unix_syntax && !v1);
    if (!special) {
      const uint8_t* run = p;
      while (p < end && *p != '\\' && !(*p == '#' && !unix_syntax && !v1)) ++p;
      append_bytes(out, run, static_cast<int32_t>(p - run));
      continue;
    }
    ++p;
    if (p == end) break;  // a special character at the end is dropped
    uint8_t next = *p;
    bool digit = next >= '0' && next <= '9';
    if (ch == '#') {
      if (digit) {
        append_group(out, next - '0', line, length);
      } else {
        append_bytes(out, "#", 1);
        append_bytes(out, p, 1);
      }
      ++p;
    } else if (digit && (v1 || unix_syntax)) {
      int g = next - '0';
      if (unix_syntax) g = g == 0 ? 9 : g - 1;
      append_group(out, g, line, length);
      ++p;
    } else if (v1) {
      append_bytes(out, p, 1);
      ++p;
    } else {
      uint8_t b = 0;
      if (re_decode_escape(&p, static_cast<int>(end - p), &b, unix_syntax) != 0) return ERR_INVALID_REGEX;
      append_bytes(out, &b, 1);
    }
  }
  return 0;
}

ErrorCode search_replace_match(std::string_view replacement) {
  SearchState& s = search_state;
  BufferRec* buf = s.work.buffer;
  if (buf == nullptr) return ERR_NOT_ALLOWED_ON_OBJECT;
  buf->redraw = 1;
  redraw_bits |= 0xa020;
  LStrBuf<kSearchLineCap> line;
  int32_t full = line_get_text_n(line.text, kSearchLineCap, &s.work, buf);
  if (full < 0) return full;
  line.len = std::min(full, kSearchLineCap);
  const bool empty_match = s.match_length == 0;
  LStrBuf<kSearchLineCap> expanded;
  std::string_view rtext = replacement;
  if (is_regex()) {
    ErrorCode rc =
        search_expand_replacement(replacement, reinterpret_cast<const uint8_t*>(line.text), line.len, expanded);
    if (rc != 0) return rc;
    rtext = expanded.view();
  }
  const int32_t at = std::min(s.match_column - 1, line.len);  // 0-based
  const int32_t removed = std::max(0, std::min(s.match_length, line.len - at));
  const int32_t rlen = static_cast<int32_t>(rtext.size());
  if ((s.flags & kSearchFlagShiftMarks) && hooks.shift_marks != nullptr)
    hooks.shift_marks(&s.work, convert_column(line.text, line.len, at + 1, 'I'), rlen - removed);
  LStrBuf<kSearchLineCap> out;
  append_bytes(out, line.text, at);
  append_bytes(out, rtext.data(), rlen);
  append_bytes(out, line.text + at + removed, line.len - at - removed);
  int64_t wanted = static_cast<int64_t>(line.len) - removed + rlen;
  if (wanted > kSearchLineCap) ui_show_error(ERR_LINES_TRUNCATED);
  if (s.direction >= 0) {
    // The next search begins after the replacement; after an empty match
    // one byte further, past the byte that followed it, so an empty match
    // is never found at the same place again.
    int32_t next = s.match_column + rlen - 1 + (empty_match ? 1 : 0);
    s.match_column = std::min(next, kSearchLastColumn + 1);
  }
  return line_replace_text(out.text, out.len, &s.work, buf);
}

void search_finish() {
  PosRecord& w = search_state.work;
  if (w.buffer != nullptr && pos_in_ring(&w, w.buffer)) pos_unlink_from_buffer(&w);
  w.buffer = nullptr;
}

SearchOutcome search_find(std::string_view pattern, std::string_view options, const std::string_view* replacement,
                          int32_t* count) {
  SearchState& s = search_state;
  if (count != nullptr) *count = 0;
  if (ErrorCode rc = built_in_break()) return {rc, true};
  PosRecord* view = view_current();
  if (view == nullptr) return {ERR_NOT_ALLOWED_ON_OBJECT, true};
  s.flags = 0;
  s.direction = 1;
  mark_for_compiling();
  search_pattern.assign(pattern.substr(0, kSearchPatternCap));
  if (ErrorCode rc = search_parse_options(options)) return {rc, !(s.flags & kSearchFlagRcOnly)};
  if (pattern.empty()) return {0, false};
  line_flush_if(view->buffer);
  ErrorCode rc = search_start(cursor_byte_column(view));
  if (replacement != nullptr) {
    int32_t n = 0;
    while (rc == 0) {
      rc = search_replace_match(*replacement);
      if (rc != 0) break;
      ++n;
      rc = search_lines(s.match_column + direction(), true);
    }
    if (n > 0) set_view_column(view, s.cursor_column);
    if (rc == ERR_STRING_NOT_FOUND) rc = 0;
    if (count != nullptr) *count = n;
  }
  search_finish();
  return {rc, rc < 0 && !(s.flags & kSearchFlagRcOnly)};
}

SearchOutcome search_repeat(std::string_view options, int32_t start_column) {
  SearchState& s = search_state;
  if (ErrorCode rc = built_in_break()) return {rc, true};
  PosRecord* view = view_current();
  if (view == nullptr) return {ERR_NOT_ALLOWED_ON_OBJECT, true};
  if (ErrorCode rc = search_parse_options(options)) return {rc, !(s.flags & kSearchFlagRcOnly)};
  const int32_t saved[4] = {s.match_length, s.cursor_offset, s.match_column, s.cursor_column};
  line_flush_if(view->buffer);
  int32_t start;
  if (start_column >= 0) {
    const uint8_t* text = nullptr;
    int32_t len = line_get_ptr(text, view, view->buffer);
    start = convert_column(text, len < 0 ? 0 : len, start_column, 'P');
  } else if (direction() > 0) {
    start = cursor_byte_column(view) + (s.cursor_offset == 0 ? 1 : 0);
  } else {
    start = cursor_byte_column(view) - s.cursor_offset - 1;
  }
  ErrorCode rc = search_start(start);
  search_finish();
  if (rc != 0) {
    s.match_length = saved[0];
    s.cursor_offset = saved[1];
    s.match_column = saved[2];
    s.cursor_column = saved[3];
  }
  return {rc, rc < 0 && !(s.flags & kSearchFlagRcOnly)};
}

SearchOutcome search_replace_last(std::string_view replacement, bool search_on) {
  SearchState& s = search_state;
  if (ErrorCode rc = built_in_break()) return {rc, true};
  PosRecord* view = view_current();
  BufferRec* buf = buf_current();
  if (view == nullptr || buf == nullptr) return {ERR_NOT_ALLOWED_ON_OBJECT, true};
  if (on_top_line(*view, buf)) return {0, false};
  line_flush_if(buf);
  search_finish();
  pos_copy_place(&s.work, view);
  pos_link_to_buffer(&s.work, buf);
  ErrorCode rc = search_replace_match(replacement);
  if (rc == 0 && search_on) rc = search_start(s.match_column + direction());
  search_finish();
  return {rc, rc < 0};
}

void search_save(SearchSaved& out) {
  const SearchState& s = search_state;
  out.pattern = search_pattern;
  uint32_t flags = s.flags | (s.direction < 0 ? kSearchFlagSavedBackward : 0);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%u", flags);
  out.flags.assign(buf);
  out.word_chars = s.word_chars;
  std::snprintf(buf, sizeof buf, " %d %d %d", s.match_length, s.match_column, s.cursor_offset);
  out.match.assign(buf);
}

ErrorCode search_restore(std::string_view pattern, std::string_view flags, std::string_view word_chars,
                         const std::string_view* match) {
  SearchState& s = search_state;
  int64_t f = 0;
  if (!parse_int(flags, &f)) return ERR_INVALID_NUMBER_ARGUMENT;
  s.word_chars.assign(word_chars.substr(0, kSearchWordCharsCap));
  word_regex.direction = 0;
  s.flags = static_cast<uint32_t>(f);
  s.direction = (s.flags & kSearchFlagSavedBackward) ? -1 : 1;
  search_pattern.assign(pattern.substr(0, kSearchPatternCap));
  s.cursor_offset = 0;
  if (match != nullptr) {
    int32_t v[3] = {0, 0, 0};
    std::string_view m = *match;
    for (int i = 0; i < 3; ++i) {
      size_t a = m.find_first_not_of(' ');
      if (a == std::string_view::npos) break;
      size_t b = m.find(' ', a);
      int64_t n = 0;
      if (parse_int(m.substr(a, b == std::string_view::npos ? m.npos : b - a), &n)) v[i] = static_cast<int32_t>(n);
      m = b == std::string_view::npos ? std::string_view() : m.substr(b);
    }
    s.match_length = v[0];
    s.match_column = v[1];
    s.cursor_offset = v[2];
  }
  mark_for_compiling();
  return 0;
}

ErrorCode search_match_info(std::string_view option, int64_t* value) {
  const SearchState& s = search_state;
  const RegexState& st = re_current();
  auto group_of = [&](char digit) {
    int g = digit - '0';
    if (s.flags & kSearchFlagUnix) g = g == 0 ? 9 : g - 1;
    return g;
  };
  auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  if (option.empty()) {
    *value = s.match_length;
    return 0;
  }
  char o = static_cast<char>(upper(static_cast<uint8_t>(option[0])));
  if (option.size() == 1 && is_digit(o)) {
    int g = group_of(o);
    *value = (is_regex() && (st.group_mask & (1u << g))) ? st.groups[g].end - st.groups[g].start : 0;
    return 0;
  }
  if (o == 'C' && option.size() == 1) {
    *value = s.cursor_offset;
    return 0;
  }
  if (o == 'S' && (option.size() == 1 || (option.size() == 2 && is_digit(option[1])))) {
    PosRecord* view = view_current();
    if (view == nullptr) return ERR_NOT_ALLOWED_ON_OBJECT;
    int64_t point = 0;
    int32_t zero = 0;
    if (ErrorCode rc = pos_get_point(point, zero, view)) return rc;
    int32_t col = s.match_column;
    if (option.size() == 2) {
      int g = group_of(option[1]);
      col = (st.group_mask & (1u << g)) ? st.groups[g].start : 0;
      if (col == 0) {
        *value = 0;
        return 0;
      }
    }
    *value = point + col - 1;
    return 0;
  }
  return ERR_INVALID_ARGUMENT;
}

void search_reset() {
  search_finish();
  search_state = SearchState{};
  search_pattern.len = 0;
  plain_pattern.len = 0;
  word_regex.direction = 0;
  break_countdown = kSearchBreakEvery;
  mark_for_compiling();
}
