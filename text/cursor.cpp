// Moves of positions over lines and pages, line numbers, points, line text.
//
// Lines are reached through the per-block line counts without touching pages
// where possible; pages are fetched counted (store_get_page_counted), so the
// first touch of a lazily loaded block reads and counts it.

#include "text/cursor.h"

#include <cstring>

#include "text/load.h"
#include "text/store_edit.h"
#include "text/ui_port.h"

namespace {

uint8_t join_buf[kMaxLineBytes];

int64_t tof_len(const BufferRec* b) { return b->record_len ? b->record_len : 1; }

int32_t counted(Page*& p, int32_t b, BufferRec* buf) { return store_get_page_counted(p, b, buf); }

// Makes block b's line count known: from the file's bytes while it is
// unread, without a page; otherwise by reading and counting its page.
int32_t count_block(int32_t b, BufferRec* buf) {
  int32_t rc = store_count_unread(b, buf);
  if (rc > 0) return 0;
  if (rc < 0) return rc;
  Page* p = nullptr;
  return counted(p, b, buf);
}

void place(PosRecord* pos, int32_t block, int32_t offset, int32_t index, int64_t base) {
  pos->block = block;
  pos->offset = offset;
  pos->index = index;
  pos->base = base;
}

// The counted page of b's predecessor, looked up again when counting it split
// it (which changes b's previous link). pb = -1 when b is first.
int32_t pred_page(Page*& q, int32_t& pb, int32_t b, BufferRec* buf) {
  for (;;) {
    pb = store_block(b).prev;
    if (pb < 0) return 0;
    int32_t rc = counted(q, pb, buf);
    if (rc) return rc;
    if (store_block(b).prev == pb) return 0;
  }
}

int32_t next_block(PosRecord* pos, BufferRec* buf, uint32_t cont) {
  int32_t b = pos->block;
  int64_t base = pos->base;
  for (;;) {
    int32_t nb = store_block(b).next;
    if (nb < 0) return ERR_BOTTOM_OF_FILE;
    int64_t nbase = base + store_block(b).bytes;
    Page* q = nullptr;
    int32_t rc = counted(q, nb, buf);
    if (rc) return rc;
    if (!cont) {
      place(pos, nb, 0, 0, nbase);
      break;
    }
    if (q->nlines >= 2) {
      place(pos, nb, page_entry(q, 0)->length, -1, nbase);
      break;
    }
    cont = q->cont;  // the page holds only the continued part
    b = nb;
    base = nbase;
  }
  if (pos->line >= 0) ++pos->line;
  return 0;
}

void strip_eol(const uint8_t* text, int32_t& len, const BufferRec* buf) {
  if (buf->record_len) return;
  if (len > 0 && text[len - 1] == buf->eol[1]) --len;
  if (buf->eol[0] != buf->eol[1] && len > 0 && text[len - 1] == buf->eol[0]) --len;
}

void report_truncation(BufferRec* buf) {
  if (buf->trunc_reported) return;
  buf->trunc_reported = 1;
  ui_show_error(ERR_LINES_TRUNCATED);
}

}  // namespace

// ---- ring ----

void pos_link_to_buffer(PosRecord* pos, BufferRec* buf) {
  pos->buffer = buf;
  PosRecord* h = buf->pos_ring;
  if (!h) {
    pos->buf_next = pos->buf_prev = pos;
    buf->pos_ring = pos;
    return;
  }
  pos->buf_next = h;
  pos->buf_prev = h->buf_prev;
  h->buf_prev->buf_next = pos;
  h->buf_prev = pos;
}

void pos_unlink_from_buffer(PosRecord* pos) {
  BufferRec* buf = pos->buffer;
  if (pos->buf_next == pos) {
    if (buf && buf->pos_ring == pos) buf->pos_ring = nullptr;
  } else if (pos->buf_next) {
    pos->buf_prev->buf_next = pos->buf_next;
    pos->buf_next->buf_prev = pos->buf_prev;
    if (buf && buf->pos_ring == pos) buf->pos_ring = pos->buf_next;
  }
  pos->buf_next = pos->buf_prev = nullptr;
}

bool pos_in_ring(const PosRecord* pos, const BufferRec* buf) {
  const PosRecord* h = buf->pos_ring;
  if (!h) return false;
  const PosRecord* q = h;
  do {
    if (q == pos) return true;
    q = q->buf_next;
  } while (q != h);
  return false;
}

// ---- moves ----

int32_t pos_top(PosRecord* pos, BufferRec* buf) {
  pos->buffer = buf;
  place(pos, buf->first_block, 0, 0, -tof_len(buf));
  pos->line = 0;
  return 0;
}

int32_t pos_first_line(PosRecord* pos, BufferRec* buf) {
  pos_top(pos, buf);
  int32_t rc = pos_next_line(pos, buf);
  return rc == ERR_BOTTOM_OF_FILE ? 0 : rc;
}

int32_t pos_start_of_last_line(PosRecord* pos, int32_t b, int64_t base, BufferRec* buf) {
  for (;;) {
    Page* q = nullptr;
    int32_t rc = counted(q, b, buf);
    if (rc) return rc;
    int n = static_cast<int>(q->nlines);
    if (n >= 2) {
      place(pos, b, static_cast<int32_t>(store_block(b).bytes) - page_entry(q, n - 1)->length, 1 - n, base);
      return 0;
    }
    int32_t pb = -1;
    Page* pq = nullptr;
    rc = pred_page(pq, pb, b, buf);
    if (rc) return rc;
    if (pb < 0 || !pq->cont) {
      place(pos, b, 0, 0, base);
      return 0;
    }
    base -= store_block(pb).bytes;  // the single line is a continued part: its line starts earlier
    b = pb;
  }
}

int32_t pos_last_line(PosRecord* pos, BufferRec* buf) {
  if (buf->first_block < 0) return ERR_BOTTOM_OF_FILE;  // never loaded: no lines
  int64_t base = -tof_len(buf);
  int32_t b = buf->first_block;
  for (;;) {
    while (store_block(b).next >= 0) {
      base += store_block(b).bytes;
      b = store_block(b).next;
    }
    Page* p = nullptr;
    int32_t rc = store_get_page_counted_at(p, b, base, buf);
    if (rc) return rc;
    if (store_block(b).next < 0) break;  // counting it split the page: the end moved on
  }
  pos->buffer = buf;
  int32_t rc = pos_start_of_last_line(pos, b, base, buf);
  if (rc) return rc;
  pos->line = -1;
  return pos_line_number(pos, buf, 0);
}

int32_t pos_next_line(PosRecord* pos, BufferRec* buf) {
  Page* p = nullptr;
  int32_t rc = counted(p, pos->block, buf);
  if (rc) return rc;
  int k = -pos->index;
  if (k < static_cast<int>(p->nlines) - 1) {
    pos->offset += page_entry(p, k)->length;
    --pos->index;
    if (pos->line >= 0) ++pos->line;
    return 0;
  }
  return next_block(pos, buf, p->cont);
}

int32_t pos_prev_line(PosRecord* pos, BufferRec* buf) {
  int k = -pos->index;
  if (k > 1) {
    Page* p = nullptr;
    int32_t rc = counted(p, pos->block, buf);
    if (rc) return rc;
    ++pos->index;
    pos->offset -= page_entry(p, k - 1)->length;
    if (pos->line > 0) --pos->line;
    return 0;
  }
  int32_t pb = -1;
  Page* q = nullptr;
  int32_t rc = pred_page(q, pb, pos->block, buf);
  if (rc) return rc;
  if (k == 1 && (pb < 0 || !q->cont)) {  // index 0 of this page starts a line
    pos->index = 0;
    pos->offset = 0;
  } else if (pb < 0) {
    pos->line = 0;
    return ERR_TOP_OF_FILE;
  } else {
    rc = pos_start_of_last_line(pos, pb, pos->base - store_block(pb).bytes, buf);
    if (rc) return rc;
  }
  if (pos->line > 0) --pos->line;
  return 0;
}

int32_t pos_goto_line(int32_t n, PosRecord* pos, BufferRec* buf) {
  if (buf->first_block < 0) return ERR_BOTTOM_OF_FILE;  // never loaded: no lines
  if (n < 0) n = 0;
  pos->buffer = buf;
  int64_t sum = 0, base = -tof_len(buf);
  int32_t b = buf->first_block;
  for (;;) {
    if ((store_block(b).count & kCountLinesMask) == kCountUnknown) {
      int32_t rc = count_block(b, buf);
      if (rc) return rc;
    }
    int64_t cnt = store_block(b).count & kCountLinesMask;
    if (sum + cnt >= n) break;
    if (store_block(b).next < 0) {
      int32_t rc = pos_last_line(pos, buf);
      if (rc) return rc;
      pos->line = static_cast<int32_t>(sum + cnt - 1);
      return ERR_BOTTOM_OF_FILE;
    }
    sum += cnt;
    base += store_block(b).bytes;
    b = store_block(b).next;
  }
  int32_t pb = -1;
  Page* q = nullptr;
  int32_t rc = pred_page(q, pb, b, buf);
  if (rc) return rc;
  bool pred_cont = pb >= 0 && q->cont;
  Page* p = nullptr;
  rc = counted(p, b, buf);
  if (rc) return rc;
  if (!pred_cont) {
    place(pos, b, 0, 0, base);
    pos->line = static_cast<int32_t>(sum);
  } else if (p->nlines >= 2) {
    place(pos, b, page_entry(p, 0)->length, -1, base);
    pos->line = static_cast<int32_t>(sum + 1);
  } else {
    rc = pos_start_of_last_line(pos, pb, base - store_block(pb).bytes, buf);
    if (rc) return rc;
    pos->line = static_cast<int32_t>(sum);
  }
  while (pos->line < n) {
    rc = pos_next_line(pos, buf);
    if (rc) return rc;
  }
  return 0;
}

int32_t pos_seek_offset(PosRecord* pos, int64_t offset) {
  BufferRec* buf = pos->buffer;
  if (buf->first_block < 0) return ERR_INVALID_POINT;
  int64_t base = -tof_len(buf);
  if (offset < base) return ERR_INVALID_POINT;
  int32_t b = buf->first_block;
  Page* p = nullptr;
  for (;;) {
    while (b >= 0 && offset >= base + store_block(b).bytes) {
      base += store_block(b).bytes;
      b = store_block(b).next;
    }
    if (b < 0) return ERR_INVALID_POINT;
    int32_t rc = store_get_page_counted_at(p, b, base, buf);
    if (rc) return rc;
    if (offset < base + store_block(b).bytes) break;  // else counting moved the offset on
  }
  int32_t rc = 0;
  int64_t o = 0, rel = offset - base;
  int k = 0, n = static_cast<int>(p->nlines);
  while (k < n && rel >= o + page_entry(p, k)->length) o += page_entry(p, k++)->length;
  if (k >= n) return ERR_INVALID_POINT;
  place(pos, b, static_cast<int32_t>(o), -k, base);
  if (k == 0) {
    int32_t pb = -1;
    Page* q = nullptr;
    rc = pred_page(q, pb, b, buf);
    if (rc) return rc;
    if (pb >= 0 && q->cont) {
      rc = pos_start_of_last_line(pos, pb, base - store_block(pb).bytes, buf);
      if (rc) return rc;
    }
  }
  pos->line = -1;
  return pos_line_number(pos, buf, 0);
}

namespace {
// Raw length of the line's first part; 0 only for an empty record.
int32_t entry_length(PosRecord* pos, BufferRec* buf, int32_t& len) {
  Page* p = nullptr;
  int32_t rc = counted(p, pos->block, buf);
  if (rc) return rc;
  int k = -pos->index;
  len = page_entry(p, k)->length;
  if (k == static_cast<int>(p->nlines) - 1 && p->cont) len += 1;  // continues: not empty
  return 0;
}
}  // namespace

int32_t pos_get_point(int64_t& point, int32_t& zero_lines, PosRecord* pos) {
  BufferRec* buf = pos->buffer;
  point = pos->base + pos->offset;
  zero_lines = 0;
  PosRecord q = *pos;
  q.line = -1;
  while (pos_prev_line(&q, buf) == 0 && q.base + q.offset == point) {
    int32_t len = 0;
    int32_t rc = entry_length(&q, buf, len);
    if (rc) return rc;
    if (len != 0) break;
    ++zero_lines;
  }
  return 0;
}

int32_t pos_goto_point(PosRecord* pos, int64_t point, int32_t zero_lines) {
  BufferRec* buf = pos->buffer;
  int64_t end = 0;
  int32_t last = -1;
  buf_end_info(buf, end, last);
  int32_t rc = 0;
  if (point >= end) {
    rc = pos_last_line(pos, buf);
    if (rc) return rc;
    if (pos->base + pos->offset != point) return ERR_INVALID_POINT;
  } else {
    rc = pos_seek_offset(pos, point);
    if (rc) {
      if (rc == ERR_INVALID_POINT) pos_last_line(pos, buf);
      return rc;
    }
  }
  // Back to the first line that starts at the point (empty records come first).
  for (;;) {
    PosRecord q = *pos;
    if (pos_prev_line(&q, buf) != 0 || q.base + q.offset != point) break;
    *pos = q;
  }
  for (int32_t i = 0; i < zero_lines; ++i) {
    PosRecord q = *pos;
    if (pos_next_line(&q, buf) != 0 || q.base + q.offset != point) break;
    *pos = q;
  }
  pos->line = -1;
  return pos_line_number(pos, buf, 0);
}

void pos_copy_place(PosRecord* dst, const PosRecord* src) {
  dst->block = src->block;
  dst->offset = src->offset;
  dst->index = src->index;
  dst->base = src->base;
  dst->line = src->line;
}

bool pos_same_place(const PosRecord* a, const PosRecord* b) {
  return a->block == b->block && a->offset == b->offset && a->index == b->index;
}

int pos_compare(const PosRecord* a, const PosRecord* b) {
  if (a->base != b->base) return a->base < b->base ? -1 : 1;
  return b->index - a->index;
}

int32_t pos_line_number(PosRecord* pos, BufferRec* buf, int mode) {
  if (pos->line >= 0 && mode == 0) return 0;
  int64_t sum = 0;
  for (int32_t b = buf->first_block; b >= 0 && b != pos->block; b = store_block(b).next) {
    uint32_t c = store_block(b).count;
    if ((c & kCountLinesMask) == kCountUnknown) {
      if (mode == 0 && !(c & kCountInMemory)) {
        pos->line = -1;
        return 0;
      }
      int32_t rc = count_block(b, buf);
      if (rc) return rc;
    }
    sum += store_block(b).count & kCountLinesMask;
  }
  pos->line = static_cast<int32_t>(sum - pos->index);
  return 0;
}

int32_t pos_count_lines(PosRecord* pos, BufferRec* buf, int32_t& total) {
  int64_t sum = 0;
  for (int32_t b = buf->first_block; b >= 0; b = store_block(b).next) {
    if ((store_block(b).count & kCountLinesMask) == kCountUnknown) {
      int32_t rc = count_block(b, buf);
      if (rc) return rc;
    }
    sum += store_block(b).count & kCountLinesMask;
  }
  total = static_cast<int32_t>(sum - 1);
  if (pos) {
    pos->line = -1;
    return pos_line_number(pos, buf, 1);
  }
  return 0;
}

// ---- reading ----

int32_t line_get_ptr(const uint8_t*& text, PosRecord* pos, BufferRec* buf, LineInfo* info) {
  Page* p = nullptr;
  int32_t rc = counted(p, pos->block, buf);
  if (rc) return rc;
  int k = -pos->index;
  if (k < 0 || k >= static_cast<int>(p->nlines)) return ERR_INVALID_POINT;  // never read past the table
  LineEntry* e = page_entry(p, k);
  LineInfo got{e->flags, e->length};
  int32_t len = e->length;
  if (k == static_cast<int>(p->nlines) - 1 && p->cont) {
    std::memcpy(join_buf, p->text + pos->offset, static_cast<size_t>(len));
    int32_t b = pos->block;
    bool cut = false;
    for (;;) {  // append continued parts while the line goes on
      b = store_block(b).next;
      if (b < 0) break;
      Page* q = nullptr;
      rc = counted(q, b, buf);
      if (rc) return rc;
      int32_t part = page_entry(q, 0)->length;
      got.raw += part;
      int32_t room = kMaxLineBytes - len;
      int32_t n = part < room ? part : room;
      if (n < part) cut = true;
      std::memcpy(join_buf + len, q->text, static_cast<size_t>(n));
      len += n;
      if (!(q->nlines == 1 && q->cont)) break;
    }
    if (cut) report_truncation(buf);
    text = join_buf;
  } else {
    text = p->text + pos->offset;
  }
  if (info) *info = got;
  strip_eol(text, len, buf);
  return len;
}

int32_t line_get_text_n(char* out, int32_t cap, PosRecord* pos, BufferRec* buf) {
  const uint8_t* t = nullptr;
  int32_t len = line_get_ptr(t, pos, buf);
  if (len < 0) return len;
  std::memcpy(out, t, static_cast<size_t>(len < cap ? len : cap));
  return len;
}

int32_t line_get_text(LStr* out, PosRecord* pos, BufferRec* buf) {
  const uint8_t* t = nullptr;
  int32_t len = line_get_ptr(t, pos, buf);
  if (len < 0) return len;
  lstr_set_mem(out, t, len, LSTR_CAP_LINE);
  return len;
}

std::string line_get_string(PosRecord* pos, BufferRec* buf, LineInfo* info) {
  const uint8_t* t = nullptr;
  int32_t len = line_get_ptr(t, pos, buf, info);
  if (len < 0) return {};
  return std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(len));
}

int32_t line_get_flags(PosRecord* pos, BufferRec* buf) {
  Page* p = nullptr;
  int32_t rc = counted(p, pos->block, buf);
  if (rc) return rc;
  return page_entry(p, -pos->index)->flags;
}

int32_t line_set_flags(uint16_t flags, PosRecord* pos, BufferRec* buf) {
  Page* p = nullptr;
  int32_t rc = counted(p, pos->block, buf);
  if (rc) return rc;
  const uint16_t old = page_entry(p, -pos->index)->flags;
  if (old == flags) return 0;
  if (buf->undo_enable && store_undo_hooks().flags) {  // the old flags go into the undo log
    int64_t point = 0;
    int32_t zero = 0;
    if ((rc = pos_get_point(point, zero, pos)) != 0) return rc;
    if ((rc = store_undo_hooks().flags(buf, point, zero, old)) != 0) return rc;
    if ((rc = counted(p, pos->block, buf)) != 0) return rc;  // the record may have taken the page
  }
  page_entry(p, -pos->index)->flags = flags;
  store_mark_dirty(p);
  return 0;
}

// ---- page iteration ----

int32_t page_iter_init(PageIter& it, int dir, PosRecord* pos, BufferRec* buf) {
  int32_t pb = -1;
  Page* q = nullptr;
  bool first_is_line = true;
  if (dir < 0 && pos->index != 0) {
    int32_t rc = pred_page(q, pb, pos->block, buf);
    if (rc) return rc;
    first_is_line = pb < 0 || !q->cont;
  }
  Page* p = nullptr;
  int32_t rc = counted(p, pos->block, buf);
  if (rc) return rc;
  int n = static_cast<int>(p->nlines);
  it.page = p;
  it.dir = dir < 0 ? -1 : 1;
  it.first = page_entry(p, 0);
  it.last = page_entry(p, n - 1);
  it.cur = page_entry(p, -pos->index);
  it.text = p->text + pos->offset;
  if (it.dir > 0)
    it.end = it.last;
  else
    it.end = first_is_line ? it.first : page_entry(p, 1);
  return 0;
}

namespace {
// Moves the record onto the iterator's current line (same page).
void pos_from_iter(const PageIter& it, PosRecord* pos) {
  int32_t index = -static_cast<int32_t>(it.first - it.cur);
  if (pos->line >= 0) pos->line += pos->index - index;
  pos->index = index;
  pos->offset = static_cast<int32_t>(it.text - it.page->text);
}
}  // namespace

int32_t page_iter_line_joined(PageIter& it, const uint8_t*& text, PosRecord* pos, BufferRec* buf) {
  PosRecord q = *pos;
  pos_from_iter(it, &q);
  int32_t len = line_get_ptr(text, &q, buf);
  if (len >= 0) {  // the join may have loaded pages: keep this one the most recent
    Page* p = nullptr;
    int32_t rc = counted(p, q.block, buf);
    if (rc) return rc;
  }
  return len;
}

int32_t page_iter_next_page(PageIter& it, PosRecord* pos, BufferRec* buf) {
  pos_from_iter(it, pos);
  int32_t rc = it.dir > 0 ? pos_next_line(pos, buf) : pos_prev_line(pos, buf);
  if (rc) return rc;
  return page_iter_init(it, it.dir, pos, buf);
}
