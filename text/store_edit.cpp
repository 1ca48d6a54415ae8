// Line edits on pages: insertion with page splits, resizing, removal with
// block unlinking, dropping continued parts, copies between buffers, and the
// adjustment of the positions that point into a buffer.

#include "text/store_edit.h"

#include <cstdlib>
#include <cstring>
#include <optional>

#include "text/recolour.h"
#include "text/ui_seam.h"


namespace {

StoreUndoHooks undo_hooks{};
MarkRemoveHook mark_remove_hook = nullptr;

// Takes back an undo record when the change it was written for fails.
struct UndoDropGuard {
  BufferRec* buf;
  bool armed;
  ~UndoDropGuard() {
    if (armed && undo_hooks.dropped) undo_hooks.dropped(buf);
  }
};

enum class SplitFor { kInsert, kResize };

// Links a position into the ring for the length of an edit, so that it moves
// exactly as ring members do; its own links are given back afterwards.
class RingGuard {
 public:
  RingGuard(PosRecord* p, BufferRec* b) : p_(p) {
    if (!p || pos_in_ring(p, b)) return;
    next_ = p->buf_next;
    prev_ = p->buf_prev;
    pos_link_to_buffer(p, b);
    linked_ = true;
  }
  ~RingGuard() {
    if (!linked_) return;
    pos_unlink_from_buffer(p_);
    p_->buf_next = next_;
    p_->buf_prev = prev_;
  }
  RingGuard(const RingGuard&) = delete;
  RingGuard& operator=(const RingGuard&) = delete;

 private:
  PosRecord* p_;
  PosRecord* next_ = nullptr;
  PosRecord* prev_ = nullptr;
  bool linked_ = false;
};

template <typename F>
void for_each_pos(BufferRec* buf, F f) {
  PosRecord* h = buf->pos_ring;
  if (!h) return;
  PosRecord* q = h;
  do {
    f(q);
    q = q->buf_next;
  } while (q != h);
}

int32_t eol_count(const BufferRec* buf) {
  if (buf->record_len) return 0;
  return buf->eol[0] == buf->eol[1] ? 1 : 2;
}

void report_truncation(BufferRec* buf) {
  if (buf->trunc_reported) return;
  buf->trunc_reported = 1;
  ui_show_error(ERR_LINES_TRUNCATED);
}

void set_count_word(int32_t b, const Page* p) {
  store_block(b).count = kCountInMemory | (p->nlines - p->cont);
}

// Choose the split index s (entries s.. move to the new page) that balances
// the two pages best while both fit after the operation at entry k.
int choose_split(Page* p, int32_t bytes, int k, int32_t need, SplitFor why, int32_t* off_at) {
  const int n = static_cast<int>(p->nlines);
  const int64_t image = store_image_size();
  int best = -1;
  int64_t best_diff = INT64_MAX;
  int64_t off = 0;
  for (int s = 0; s <= n; ++s) {
    if (s > 0) off += page_entry(p, s - 1)->length;
    if (s == 0) continue;
    int64_t lt = off, ln = s, rt = bytes - off, rn = n - s;
    bool left = k < s;
    if (left) {
      lt += need;
      if (why == SplitFor::kInsert) ++ln;
    } else {
      rt += need;
      if (why == SplitFor::kInsert) ++rn;
    }
    if (ln < 1 || rn < 1) continue;
    int64_t lsz = 8 + lt + 4 * ln, rsz = 8 + rt + 4 * rn;
    if (lsz > image || rsz > image) continue;
    int64_t diff = lsz > rsz ? lsz - rsz : rsz - lsz;
    if (diff < best_diff) {
      best_diff = diff;
      best = s;
      *off_at = static_cast<int32_t>(off);
    }
  }
  return best;
}

// Splits q's page so that the operation at q (an insertion of `need` bytes
// before entry -q.index, or line -q.index growing by `need`) fits. q and page
// follow the line to the new page when it moves.
int32_t page_split(Page*& page, int32_t need, PosRecord* q, BufferRec* buf, SplitFor why) {
  int32_t b = q->block;
  int32_t bytes = static_cast<int32_t>(store_block(b).bytes);
  int k = -q->index;
  int32_t off_s = 0;
  int s = choose_split(page, bytes, k, need, why, &off_s);
  if (s < 0) return ERR_NOT_ENOUGH_MEMORY;
  int32_t next = store_block(b).next;
  int32_t nb = store_new_block(-1, next, b);
  if (nb < 0) return nb;
  store_block(b).next = nb;
  if (next >= 0) store_block(next).prev = nb;
  page = store_block(b).page;  // still in memory: it was the most recent before
  Page* np = store_block(nb).page;
  const int n = static_cast<int>(page->nlines);

  PosRecord P = *q;
  P.index = -s;
  P.offset = off_s;
  marks_adjust(0, 0, nb, &P, buf);

  for (int j = s; j < n; ++j) *page_entry(np, j - s) = *page_entry(page, j);
  std::memcpy(np->text, page->text + off_s, static_cast<size_t>(bytes - off_s));
  np->nlines = static_cast<uint32_t>(n - s);
  np->cont = page->cont;
  page->cont = 0;
  page->nlines = static_cast<uint32_t>(s);
  store_block(b).bytes = static_cast<uint32_t>(off_s);
  store_block(nb).bytes = static_cast<uint32_t>(bytes - off_s);
  set_count_word(b, page);
  set_count_word(nb, np);
  page->dirty = np->dirty = 1;

  if (k >= s) {
    q->block = nb;
    q->index += s;
    q->offset -= off_s;
    q->base += off_s;
    page = np;
  }
  return 0;
}

// Changes line -q.index's length by d, moving the text after it.
int32_t line_resize(Page*& page, int32_t d, PosRecord* q, BufferRec* buf) {
  if (d == 0) return 0;
  if (page_free_space(page, store_block(q->block).bytes) < d) {
    int32_t rc = page_split(page, d, q, buf, SplitFor::kResize);
    if (rc) return rc;
  }
  int32_t b = q->block;
  LineEntry* e = page_entry(page, -q->index);
  int64_t start = q->offset + e->length;
  int64_t bytes = store_block(b).bytes;
  std::memmove(page->text + start + d, page->text + start, static_cast<size_t>(bytes - start));
  e->length = static_cast<uint16_t>(e->length + d);
  store_block(b).bytes = static_cast<uint32_t>(bytes + d);
  buf->bytes += d;
  page->dirty = 1;
  buf->modified = 1;
  marks_adjust(0, d, -1, q, buf);
  return 0;
}

void block_unlink(int32_t b, BufferRec* buf) {
  int32_t prev = store_block(b).prev, next = store_block(b).next;
  if (prev >= 0)
    store_block(prev).next = next;
  else
    buf->first_block = next;
  if (next >= 0) store_block(next).prev = prev;
  store_free_block(b);
}

// Takes entry -D.index out of its page (marks already adjusted).
void page_remove_entry(const PosRecord* D, BufferRec* buf) {
  int32_t b = D->block;
  Page* p = store_block(b).page;
  int k = -D->index;
  int n = static_cast<int>(p->nlines);
  int32_t len = page_entry(p, k)->length;
  int64_t bytes = store_block(b).bytes;
  for (int j = k; j < n - 1; ++j) *page_entry(p, j) = *page_entry(p, j + 1);
  std::memmove(p->text + D->offset, p->text + D->offset + len, static_cast<size_t>(bytes - D->offset - len));
  p->nlines = static_cast<uint32_t>(n - 1);
  store_block(b).bytes = static_cast<uint32_t>(bytes - len);
  buf->bytes -= len;
  p->dirty = 1;
  buf->modified = 1;
  set_count_word(b, p);
  if (p->nlines == 0) block_unlink(b, buf);
}

// When q's line continues over pages, makes it end in its own page by
// removing the continued parts (the line is being replaced or deleted).
int32_t line_drop_continuation(PosRecord* q, BufferRec* buf) {
  Page* p = nullptr;
  int32_t rc = store_get_page_counted(p, q->block, buf);
  if (rc) return rc;
  if (-q->index != static_cast<int>(p->nlines) - 1 || !p->cont) return 0;
  p->cont = 0;
  p->dirty = 1;
  set_count_word(q->block, p);
  int64_t base = q->base + store_block(q->block).bytes;
  for (;;) {
    int32_t nb = store_block(q->block).next;
    if (nb < 0) break;
    Page* r = nullptr;
    rc = store_get_page_counted(r, nb, buf);
    if (rc) return rc;
    bool more = r->nlines == 1 && r->cont;
    int32_t part = page_entry(r, 0)->length;
    // The line count does not change: the line now ends one page earlier.
    for_each_pos(buf, [&](PosRecord* Q) {
      if (Q->base > base) Q->base -= part;
      if (Q->block == nb && Q->index < 0) {
        ++Q->index;
        Q->offset -= part;
      }
    });
    lex_mark_dirty_lines(buf, base, -part);
    PosRecord D{};
    D.block = nb;
    D.base = base;
    page_remove_entry(&D, buf);
    if (!more) break;
  }
  return 0;
}

int32_t insert_line(const uint8_t* text, int32_t len, bool add_eol, PosRecord* pos, BufferRec* buf) {
  if (len < 0) return ERR_INVALID_ARGUMENT;
  int32_t eol = 0, total;
  if (add_eol) {
    total = line_eol_length(eol, len, buf);
  } else {
    if (len > kMaxLineBytes) {
      len = kMaxLineBytes;
      report_truncation(buf);
    }
    total = len;
  }
  int64_t point = 0;
  int32_t zero = 0;
  bool logged = false;
  if (buf->undo_enable && undo_hooks.inserted) {
    pos_get_point(point, zero, pos);
    int32_t urc = undo_hooks.inserted(buf, point, zero);
    if (urc) return urc;
    logged = true;
  }
  UndoDropGuard undo_guard{buf, logged};
  PosRecord q = *pos;
  int32_t rc = pos_next_line(&q, buf);
  if (rc == ERR_BOTTOM_OF_FILE) {  // append after the last page of the chain
    q = *pos;
    if (q.line >= 0) ++q.line;
    Page* lp = nullptr;
    for (;;) {
      while (store_block(q.block).next >= 0) {
        q.base += store_block(q.block).bytes;
        q.block = store_block(q.block).next;
      }
      rc = store_get_page_counted(lp, q.block, buf);
      if (rc) return rc;
      if (store_block(q.block).next < 0) break;  // counting split it: go on to the new end
    }
    q.index = -static_cast<int32_t>(lp->nlines);
    q.offset = static_cast<int32_t>(store_block(q.block).bytes);
  } else if (rc) {
    return rc;
  }
  Page* p = nullptr;
  rc = store_get_page_counted(p, q.block, buf);
  if (rc) return rc;
  if (page_free_space(p, store_block(q.block).bytes) < total + 4) {
    rc = page_split(p, total, &q, buf, SplitFor::kInsert);
    if (rc) return rc;
  }
  int32_t b = q.block;
  int k = -q.index, n = static_cast<int>(p->nlines);
  int64_t bytes = store_block(b).bytes;
  for (int j = n; j > k; --j) *page_entry(p, j) = *page_entry(p, j - 1);
  page_entry(p, k)->flags = kLineInserted;
  page_entry(p, k)->length = static_cast<uint16_t>(total);
  std::memmove(p->text + q.offset + total, p->text + q.offset, static_cast<size_t>(bytes - q.offset));
  std::memcpy(p->text + q.offset, text, static_cast<size_t>(len));
  if (eol >= 1) p->text[q.offset + len + eol - 1] = buf->eol[1];
  if (eol == 2) p->text[q.offset + len] = buf->eol[0];
  p->nlines = static_cast<uint32_t>(n + 1);
  store_block(b).bytes = static_cast<uint32_t>(bytes + total);
  buf->bytes += total;
  set_count_word(b, p);
  p->dirty = 1;
  buf->modified = 1;
  undo_guard.armed = false;
  marks_adjust(1, total, -1, &q, buf);
  pos_copy_place(pos, &q);
  return 0;
}

int32_t copy_range(PosRecord* dst, PosRecord* src, PosRecord* end, PosRecord* first_line, BufferRec* dbuf) {
  BufferRec* sbuf = src->buffer;
  uint8_t line[kMaxLineBytes];
  bool first = true;
  std::optional<RingGuard> keep_first;  // later inserts may split its page: it must move with them
  for (;;) {
    const uint8_t* t = nullptr;
    int32_t len = line_get_ptr(t, src, sbuf);
    if (len < 0) return len;
    uint16_t flags = line_last_flags();
    std::memcpy(line, t, static_cast<size_t>(len));
    int32_t rc = line_insert_text(line, len, dst, dbuf);
    if (rc) return rc;
    rc = line_set_flags(static_cast<uint16_t>(flags | kLineInserted), dst, dbuf);
    if (rc) return rc;
    if (first && first_line) {
      pos_copy_place(first_line, dst);
      keep_first.emplace(first_line, dbuf);
    }
    first = false;
    if (pos_same_place(src, end)) return 0;
    rc = pos_next_line(src, sbuf);
    if (rc) return rc == ERR_BOTTOM_OF_FILE ? 0 : rc;
  }
}

// Makes q's line end in its own page, then fetches that page (after the drop,
// which loads other pages), for a line about to be replaced or deleted.
int32_t line_whole_page(PosRecord* q, BufferRec* buf, Page*& p) {
  int32_t rc = line_drop_continuation(q, buf);
  if (rc) return rc;
  return store_get_page_counted(p, q->block, buf);
}

}  // namespace

StoreUndoHooks& store_undo_hooks() { return undo_hooks; }
void store_set_mark_remove_hook(MarkRemoveHook hook) { mark_remove_hook = hook; }

int32_t line_eol_length(int32_t& eol, int32_t& len, BufferRec* buf) {
  eol = eol_count(buf);
  if (len + eol > kMaxLineBytes) {
    len = kMaxLineBytes - 2;
    report_truncation(buf);
  }
  return len + eol;
}

int32_t line_insert_text(const void* text, int32_t len, PosRecord* pos, BufferRec* buf) {
  return insert_line(static_cast<const uint8_t*>(text), len, true, pos, buf);
}

int32_t line_insert(const LStr* text, PosRecord* pos, BufferRec* buf) {
  return line_insert_text(text->bytes(), text->len < 0 ? 0 : text->len, pos, buf);
}

int32_t line_replace(const LStr* text, PosRecord* pos, BufferRec* buf) {
  return line_replace_text(text->bytes(), text->len < 0 ? 0 : text->len, pos, buf);
}

int32_t line_insert_raw(const void* raw, int32_t len, PosRecord* pos, BufferRec* buf) {
  return insert_line(static_cast<const uint8_t*>(raw), len, false, pos, buf);
}

int32_t line_replace_text(const void* text, int32_t len, PosRecord* pos, BufferRec* buf) {
  if (len < 0) return ERR_INVALID_ARGUMENT;
  int32_t eol = 0;
  int32_t total = line_eol_length(eol, len, buf);
  PosRecord q = *pos;
  bool logged = false;
  if (buf->undo_enable && undo_hooks.changed) {
    int64_t point = 0;
    int32_t zero = 0;
    pos_get_point(point, zero, &q);
    uint8_t old[kMaxLineBytes];
    const uint8_t* t = nullptr;
    int32_t ol = line_get_ptr(t, &q, buf);
    if (ol < 0) return ol;
    std::memcpy(old, t, static_cast<size_t>(ol));
    int32_t urc = undo_hooks.changed(buf, point, zero, old, ol, static_cast<const uint8_t*>(text), len,
                                     line_last_flags());
    if (urc) return urc;
    logged = true;
  }
  UndoDropGuard undo_guard{buf, logged};
  Page* p = nullptr;
  int32_t rc = line_whole_page(&q, buf, p);
  if (rc) return rc;
  LineEntry* e = page_entry(p, -q.index);
  e->flags |= kLineChanged;
  p->dirty = 1;
  buf->modified = 1;
  lex_mark_dirty_lines(buf, q.base + q.offset, 0);
  rc = line_resize(p, total - e->length, &q, buf);
  if (rc) return rc;
  undo_guard.armed = false;
  std::memcpy(p->text + q.offset, text, static_cast<size_t>(len));
  if (eol >= 1) p->text[q.offset + len + eol - 1] = buf->eol[1];
  if (eol == 2) p->text[q.offset + len] = buf->eol[0];
  int32_t line = pos->line;
  pos_copy_place(pos, &q);
  pos->line = line;
  return 0;
}

int32_t line_delete(PosRecord* pos, BufferRec* buf) {
  if (pos->block == buf->first_block && pos->index == 0) return ERR_INVALID_ARGUMENT;
  RingGuard guard(pos, buf);
  PosRecord q = *pos;
  bool logged = false;
  if (buf->undo_enable && undo_hooks.deleted) {
    // The whole line, continued parts included, before anything moves.
    int64_t point = 0;
    int32_t zero = 0;
    int32_t rc = pos_get_point(point, zero, &q);
    if (rc) return rc;
    const uint8_t* t = nullptr;
    int32_t len = line_get_ptr(t, &q, buf);
    if (len < 0) return len;
    uint8_t raw[kMaxLineBytes + 2];
    std::memcpy(raw, t, static_cast<size_t>(len));
    int32_t extra = line_last_raw_length() - len;
    extra = extra < 0 ? 0 : (extra > eol_count(buf) ? eol_count(buf) : extra);
    int32_t raw_len = len + extra;
    if (extra == 2) raw[len] = buf->eol[0];
    if (extra >= 1) raw[raw_len - 1] = buf->eol[1];
    rc = undo_hooks.deleted(buf, point, zero, raw, raw_len, line_last_flags());
    if (rc) return rc;
    logged = true;
  }
  UndoDropGuard undo_guard{buf, logged};
  Page* p = nullptr;
  int32_t rc = line_whole_page(&q, buf, p);
  if (rc) return rc;
  int k = -q.index, n = static_cast<int>(p->nlines);
  LineEntry e = *page_entry(p, k);
  PosRecord dest = q;
  bool above = false;
  int32_t result = 0;
  if (k == n - 1) {
    int32_t nb = store_block(q.block).next;
    if (nb >= 0) {
      dest.block = nb;
      dest.index = 0;
      dest.offset = 0;
      dest.base = q.base + store_block(q.block).bytes - e.length;
    } else {
      rc = pos_prev_line(&dest, buf);
      if (rc && rc != ERR_TOP_OF_FILE) return rc;
      above = true;
      result = ERR_BOTTOM_OF_FILE;
    }
  }
  marks_adjust_remove(-e.length, &q, &dest, above, buf);
  rc = store_get_page_counted(p, q.block, buf);
  if (rc) return rc;
  undo_guard.armed = false;
  page_remove_entry(&q, buf);
  return result;
}

int32_t lines_copy(PosRecord* dst, PosRecord* src, PosRecord* end, PosRecord* first_line, BufferRec* dbuf) {
  BufferRec* sbuf = src->buffer;
  RingGuard gs(src, sbuf);
  RingGuard ge(end, sbuf);
  int32_t rc;
  if (sbuf == dbuf && pos_compare(src, dst) <= 0 && pos_compare(dst, end) < 0) {
    // The destination lies inside the range: copy the part up to it, then
    // the rest, so that no copied line is read again.
    PosRecord upto = *dst, rest = *dst;
    RingGuard gu(&upto, sbuf);
    rc = pos_next_line(&rest, sbuf);
    if (rc) return rc;
    RingGuard gr(&rest, sbuf);
    rc = copy_range(dst, src, &upto, first_line, dbuf);
    if (rc) return rc;
    RingGuard gf(first_line, dbuf);
    pos_copy_place(src, &rest);
    rc = copy_range(dst, src, end, nullptr, dbuf);
  } else {
    rc = copy_range(dst, src, end, first_line, dbuf);
  }
  return rc;
}

void marks_adjust(int32_t lines, int64_t bytes, int32_t block, const PosRecord* P, BufferRec* buf) {
  const int32_t pb = P->block, po = P->offset, pi = P->index, pline = P->line;
  const int64_t pbase = P->base;
  lex_mark_dirty_lines(buf, pbase + po, bytes);
  for_each_pos(buf, [&](PosRecord* Q) {
    bool same = Q->block == pb;
    if (block >= 0) {  // page split: the lines from P on moved to the new block
      if (same && Q->index <= pi) {
        Q->block = block;
        Q->index -= pi;
        Q->offset -= po;
        Q->base += po;
      }
      return;
    }
    bool at_or_after = Q->base > pbase || (same && Q->index <= pi);
    if (lines != 0 && Q->line >= 0 && at_or_after) Q->line = pline >= 0 ? Q->line + lines : -1;
    if (Q->base > pbase) Q->base += bytes;
    if (!same) return;
    if (lines > 0) {
      if (Q->index <= pi) {
        Q->index -= lines;
        Q->offset += static_cast<int32_t>(bytes);
      }
    } else if (Q->index < pi) {
      Q->offset += static_cast<int32_t>(bytes);
    }
  });
}

void marks_adjust_remove(int64_t bytes, const PosRecord* P, const PosRecord* dest, bool dest_above, BufferRec* buf) {
  const int32_t pb = P->block, pi = P->index, pline = P->line;
  const int64_t pbase = P->base;
  lex_mark_dirty_lines(buf, pbase + P->offset, bytes);
  for_each_pos(buf, [&](PosRecord* Q) {
    bool same = Q->block == pb;
    if (same && Q->index == pi) {  // on the removed line
      if (mark_remove_hook && mark_remove_hook(Q, P, dest, dest_above, buf)) return;
      int32_t line = Q->line;
      Q->block = dest->block;
      Q->offset = dest->offset;
      Q->index = dest->index;
      Q->base = dest->base;
      Q->line = (dest_above && line > 0) ? line - 1 : line;
      return;
    }
    bool after = Q->base > pbase || (same && Q->index < pi);
    if (after && Q->line >= 0) Q->line = pline >= 0 ? Q->line - 1 : -1;
    if (Q->base > pbase) Q->base += bytes;
    if (same && Q->index < pi) {
      ++Q->index;
      Q->offset += static_cast<int32_t>(bytes);
    }
  });
}
