#include "display/recolour.h"

#include <cstring>
#include <string_view>

#include "display/lex_internal.h"
#include "display/lexer.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/recolour.h"
#include "text/tab_columns.h"
#include "text/tabs.h"

namespace {

constexpr int64_t kClean = 0x7fffffff;
int64_t lines_lexed = 0;

void set_whole_dirty(BufferRec* b) {
  b->recolour_first = 0;
  b->recolour_last = kClean;
}

bool has_tab(const uint8_t* t, int32_t n) { return n > 0 && std::memchr(t, '\t', static_cast<size_t>(n)) != nullptr; }

// Which lexer a file extension selects.
struct ExtRow {
  const char* ext;
  const char* lexer;
};
constexpr ExtRow kExtensions[] = {
    {"c", "C"},      {"h", "C"},        {"cpp", "C++"},   {"cc", "C++"},     {"cxx", "C++"},     {"hpp", "C++"},
    {"hh", "C++"},   {"hxx", "C++"},    {"py", "Python"}, {"pyw", "Python"}, {"mk", "Makefile"}, {"mak", "Makefile"},
    {"sh", "Shell"}, {"bash", "Shell"}, {"zz", "Zozu"},   {"zoz", "Zozu"},
};

}  // namespace

void lex_lexer_reparsed(LexerDef* lexer) {
  // States stored under the old definitions are stale: colour the buffers again.
  BufferRec* head = buf_ring_head();
  if (!head) return;
  BufferRec* b = head;
  do {
    if (b->lexer == lexer) set_whole_dirty(b);
    b = b->ring_next;
  } while (b && b != head);
}

void lex_set_buffer_lexer(BufferRec* buf, LexerDef* lexer) {
  if (buf->lexer == lexer) return;
  buf->lexer = lexer;
  set_whole_dirty(buf);
  buf->redraw = 1;
}

int64_t lex_recolour_lines_lexed() { return lines_lexed; }

LexerDef* lex_for_file_name(const char* name) {
  std::string_view n(name ? name : "");
  const size_t slash = n.find_last_of('/');
  std::string_view leaf = slash == std::string_view::npos ? n : n.substr(slash + 1);
  if (leaf == "Makefile" || leaf == "makefile" || leaf == "GNUmakefile") return lex_find("Makefile");
  const size_t dot = leaf.find_last_of('.');
  if (dot == std::string_view::npos || dot == 0) return nullptr;
  const std::string_view ext = leaf.substr(dot + 1);
  for (const auto& r : kExtensions) {
    if (ext.size() != std::strlen(r.ext)) continue;
    bool eq = true;
    for (size_t i = 0; i < ext.size() && eq; ++i) eq = (ext[i] | 0x20) == r.ext[i];
    if (eq) return lex_find(r.lexer);
  }
  return nullptr;
}

int lex_recolour(BufferRec* buf) {
  LexerDef* lexer = buf->lexer;
  const bool cursor_loaded = current_line.dirty && current_line.buffer == buf && current_line.view;
  if (cursor_loaded) {
    int64_t point = 0;
    int32_t zeros = 0;
    if (pos_get_point(point, zeros, current_line.view) == 0) lex_mark_dirty_lines(buf, point, 0);
  }
  if (buf->recolour_first > buf->recolour_last) return 1;
  const int64_t last = buf->recolour_last;
  PosRecord pos{};
  pos.buffer = buf;
  pos.line = -1;
  int result = 1;
  int state = 0;
  int64_t offset = 0;
  int32_t zeros = 0;
  if (!lexer || pos_seek_offset(&pos, buf->recolour_first < 0 ? 0 : buf->recolour_first) != 0) goto done;
  if (pos_prev_line(&pos, buf) == 0) {
    if (pos_get_point(offset, zeros, &pos) != 0) goto done;
    if (offset < 0) {
      // The top-of-file line: passed over with state 0.
      if (pos_next_line(&pos, buf) != 0) goto done;
      state = 0;
    } else {
      state = line_get_flags(&pos, buf) & 15;
    }
  }
  if (pos_get_point(offset, zeros, &pos) != 0) goto done;
  lex_select(lexer);
  for (;;) {
    const uint8_t* text = nullptr;
    LineInfo info;
    int32_t len = line_get_ptr(text, &pos, buf, &info);
    if (len < 0) break;
    const uint16_t flags = info.flags;
    const int32_t raw = info.raw;
    const bool is_cursor = cursor_loaded && pos_same_place(&pos, current_line.view);
    if (is_cursor) {
      text = reinterpret_cast<const uint8_t*>(current_line.text.text);
      len = current_line.text.len;
    }
    if ((flags & 15) != state) {
      line_set_flags(static_cast<uint16_t>((flags & ~15) | state), &pos, buf);
      if (!is_cursor) result = 0;
    } else if (offset > last) {
      break;
    }
    LStrBuf<LSTR_CAP_LINE> expanded;
    const TabStops ts = tab_stops_of(buf);
    if (ts.expand && has_tab(text, len)) {
      tab_expand_range(reinterpret_cast<LStr*>(&expanded), LSTR_CAP_LINE,
                       std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(len)), 1, -1, 'E', ts);
      text = reinterpret_cast<const uint8_t*>(expanded.text);
      len = expanded.len;
    }
    state = lex_line_state(lexer, text, len, state);
    ++lines_lexed;
    offset += raw;
    if (pos_next_line(&pos, buf) != 0) break;
  }
done:
  buf->recolour_first = kClean;
  buf->recolour_last = 0;
  return result;
}

int lex_recolour_current() {
  if (!view_select_current() || !view_snap.buffer) return 1;
  const int r = lex_recolour(view_snap.buffer);
  if (r == 0) redraw_bits |= kRedrawLines;
  return r;
}
