// Line edits on pages: insertion with page splits, resizing, removal with
// block unlinking, dropping continued parts, copies between buffers, and the
// adjustment of the positions that point into a buffer.

#include "text/store_edit.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "text/recolour.h"
#include "text/ui_port.h"

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

void set_count_word(int32_t b, const Page* p) { store_block(b).count = kCountInMemory | (p->nlines - p->cont); }

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

// Moves the entries s.. of q's page (text from off_s on) to a new block
// chained after it. q and page follow q's line when it moves.
int32_t split_at(Page*& page, int s, int32_t off_s, PosRecord* q, BufferRec* buf) {
  int32_t b = q->block;
  int32_t bytes = static_cast<int32_t>(store_block(b).bytes);
  int k = -q->index;
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

// Splits q's page so that the operation at q (an insertion of `need` bytes
// before entry -q.index, or line -q.index growing by `need`) fits. q and page
// follow the line to the new page when it moves.
int32_t page_split(Page*& page, int32_t need, PosRecord* q, BufferRec* buf, SplitFor why) {
  int32_t bytes = static_cast<int32_t>(store_block(q->block).bytes);
  int32_t off_s = 0;
  int s = choose_split(page, bytes, -q->index, need, why, &off_s);
  if (s < 0) return ERR_NOT_ENOUGH_MEMORY;
  return split_at(page, s, off_s, q, buf);
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

// The lines of a buffer from src through end. Each line is copied out of
// its page, which the next store call may take away.
class BufferSource final : public LineSource {
 public:
  BufferSource(PosRecord* src, PosRecord* end) : src_(src), end_(end), buf_(src->buffer) {}
  int32_t next(RunLine& l) override {
    if (done_) return 0;
    const uint8_t* t = nullptr;
    LineInfo info;
    int32_t len = line_get_ptr(t, src_, buf_, &info);
    if (len < 0) return len;
    std::memcpy(line_, t, static_cast<size_t>(len));
    l = RunLine{line_, len, info.flags, false};
    if (pos_same_place(src_, end_)) {
      done_ = true;
    } else if (int32_t rc = pos_next_line(src_, buf_); rc) {
      if (rc != ERR_BOTTOM_OF_FILE) return rc;
      done_ = true;
    }
    return 1;
  }

 private:
  PosRecord* src_;
  PosRecord* end_;
  BufferRec* buf_;
  bool done_ = false;
  uint8_t line_[kMaxLineBytes];
};

// A place in a page as a position.
PosRecord place(int32_t block, int32_t index, int64_t offset, int64_t base, int32_t line) {
  PosRecord p{};
  p.block = block;
  p.index = index;
  p.offset = static_cast<int32_t>(offset);
  p.base = base;
  p.line = line;
  return p;
}

// The run itself, with undo off: see lines_insert_run. *first gets the first
// inserted line's place.
int32_t append_run(PosRecord* dst, BufferRec* buf, LineSource& src, PosRecord* first, int32_t* lines) {
  *lines = 0;
  if (dst->block < 0) return ERR_INVALID_ARGUMENT;  // a buffer without text has no line to follow
  RunLine l{};
  int32_t rc = src.next(l);
  if (rc <= 0) return rc;
  std::optional<RingGuard> keep_first;
  // The first page's worth goes in line by line: for a short run a page
  // split would cost more than it saves. So does a line after one that goes
  // on in the next page.
  Page* p = nullptr;
  for (int64_t bytes = 0;;) {
    if ((rc = store_get_page_counted(p, dst->block, buf)) != 0) return rc;
    const bool continued = -dst->index == static_cast<int>(p->nlines) - 1 && p->cont;
    if (bytes >= store_image_size() && !continued) break;
    rc = l.raw ? line_insert_raw(l.text, l.len, dst, buf) : line_insert_text(l.text, l.len, dst, buf);
    if (rc == 0) rc = line_set_flags(l.raw ? l.flags : static_cast<uint16_t>(l.flags | kLineInserted), dst, buf);
    if (rc) return rc;
    if (*lines == 0) {
      pos_copy_place(first, dst);
      keep_first.emplace(first, buf);  // later inserts may split its page: it must move with them
    }
    ++*lines;
    bytes += l.len + 4;
    if ((rc = src.next(l)) <= 0) return rc;
  }
  const int k = -dst->index;
  if (k < static_cast<int>(p->nlines) - 1) {  // the lines after dst's line go to a page of their own
    PosRecord q = *dst;
    if ((rc = split_at(p, k + 1, dst->offset + page_entry(p, k)->length, &q, buf)) != 0) return rc;
  }
  // dst's line now ends its page: the run is appended behind it.
  const PosRecord P =
      place(dst->block, dst->index - 1, store_block(dst->block).bytes, dst->base, dst->line >= 0 ? dst->line + 1 : -1);
  int32_t b = dst->block;
  int64_t base = dst->base, total_bytes = 0;
  int32_t count = 0;
  PosRecord last{};
  for (;;) {
    int32_t len = l.len, eol = 0, total = len;
    if (!l.raw) {
      total = line_eol_length(eol, len, buf);
    } else if (len > kMaxLineBytes) {
      len = total = kMaxLineBytes;
      report_truncation(buf);
    }
    if ((rc = store_get_page_counted(p, b, buf)) != 0) break;  // reading the source may have evicted it
    int64_t bytes = store_block(b).bytes;
    if (page_free_space(p, bytes) < total + 4) {  // full: the run goes on in a new page after it
      int32_t next = store_block(b).next;
      int32_t nb = store_new_block(-1, next, b);
      if (nb < 0) {
        rc = nb;
        break;
      }
      store_block(b).next = nb;
      if (next >= 0) store_block(next).prev = nb;
      base += bytes;
      b = nb;
      p = store_block(nb).page;
      bytes = 0;
      p->dirty = 1;
    }
    const int idx = static_cast<int>(p->nlines);
    LineEntry* e = page_entry(p, idx);
    e->flags = l.raw ? l.flags : static_cast<uint16_t>(l.flags | kLineInserted);
    e->length = static_cast<uint16_t>(total);
    std::memcpy(p->text + bytes, l.text, static_cast<size_t>(len));
    if (eol >= 1) p->text[bytes + len + eol - 1] = buf->eol[1];
    if (eol == 2) p->text[bytes + len] = buf->eol[0];
    p->nlines = static_cast<uint32_t>(idx + 1);
    store_block(b).bytes = static_cast<uint32_t>(bytes + total);
    set_count_word(b, p);  // the chain stays counted whatever stops the run
    p->dirty = 1;
    buf->bytes += total;
    last = place(b, -idx, bytes, base, -1);
    if (count == 0 && *lines == 0) *first = last;
    ++count;
    total_bytes += total;
    if ((rc = src.next(l)) <= 0) break;
  }
  if (count > 0) {
    buf->modified = 1;
    marks_adjust(count, total_bytes, -1, &P, buf);  // one adjustment for the whole run
    const int32_t line = dst->line;
    pos_copy_place(dst, &last);
    dst->line = line >= 0 ? line + count : -1;
    if (*lines == 0) first->line = P.line;
  }
  *lines += count;
  return rc < 0 ? rc : 0;
}

int32_t copy_run(PosRecord* dst, PosRecord* src, PosRecord* end, PosRecord* first_line, BufferRec* dbuf) {
  BufferSource source(src, end);
  int32_t n = 0;
  return lines_insert_run(dst, dbuf, source, first_line, &n);
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
    LineInfo info;
    int32_t ol = line_get_ptr(t, &q, buf, &info);
    if (ol < 0) return ol;
    std::memcpy(old, t, static_cast<size_t>(ol));
    int32_t urc = undo_hooks.changed(buf, point, zero, old, ol, static_cast<const uint8_t*>(text), len, info.flags);
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
    LineInfo info;
    int32_t len = line_get_ptr(t, &q, buf, &info);
    if (len < 0) return len;
    uint8_t raw[kMaxLineBytes + 2];
    std::memcpy(raw, t, static_cast<size_t>(len));
    int32_t extra = info.raw - len;
    extra = extra < 0 ? 0 : (extra > eol_count(buf) ? eol_count(buf) : extra);
    int32_t raw_len = len + extra;
    if (extra == 2) raw[len] = buf->eol[0];
    if (extra >= 1) raw[raw_len - 1] = buf->eol[1];
    const LineEntry entry{info.flags, static_cast<uint16_t>(raw_len)};
    rc = undo_hooks.deleted(buf, point, zero, raw, raw_len, &entry, 1);
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
    rc = copy_run(dst, src, &upto, first_line, dbuf);
    if (rc) return rc;
    RingGuard gf(first_line, dbuf);
    pos_copy_place(src, &rest);
    rc = copy_run(dst, src, end, nullptr, dbuf);
  } else {
    rc = copy_run(dst, src, end, first_line, dbuf);
  }
  return rc;
}

int32_t lines_insert_run(PosRecord* dst, BufferRec* buf, LineSource& src, PosRecord* first_line, int32_t* lines) {
  *lines = 0;
  const bool logged = buf->undo_enable && undo_hooks.copied;
  int64_t point = 0;
  int32_t zero = 0;
  if (logged) {
    int32_t rc = pos_get_point(point, zero, dst);
    if (rc) return rc;
  }
  PosRecord first{};
  const int32_t saved = buf->undo_enable;
  buf->undo_enable = 0;  // one record for the run, written below
  int32_t rc = append_run(dst, buf, src, &first, lines);
  buf->undo_enable = saved;
  if (*lines > 0 && first_line) pos_copy_place(first_line, &first);
  if (!logged || *lines == 0) return rc;
  int64_t last_point = 0;
  int32_t last_zero = 0;
  int32_t urc = pos_get_point(last_point, last_zero, dst);
  if (urc == 0) urc = undo_hooks.copied(buf, point, zero, *lines, last_point, last_zero);
  if (urc) {
    // No record, no lines: the log never misses a change.
    first.buffer = buf;
    buf->undo_enable = 0;
    lines_delete_run(&first, *lines, buf);
    buf->undo_enable = saved;
    *lines = 0;
    return urc;
  }
  return rc;
}

int32_t lines_delete_run(PosRecord* pos, int32_t n, BufferRec* buf) {
  if (pos->block == buf->first_block && pos->index == 0) return ERR_INVALID_ARGUMENT;
  RingGuard guard(pos, buf);
  const bool logged = buf->undo_enable && undo_hooks.deleted;
  int64_t point = 0;
  int32_t zero = 0;
  if (logged) {
    int32_t rc = pos_get_point(point, zero, pos);
    if (rc) return rc;
  }
  std::vector<uint8_t> text;
  std::vector<LineEntry> entries;
  int32_t done = 0;
  while (done < n) {
    Page* p = nullptr;
    int32_t rc = store_get_page_counted(p, pos->block, buf);
    if (rc) return rc;
    const int k0 = -pos->index;
    int c = std::min(static_cast<int>(p->nlines) - k0, n - done);
    if (c <= 0) return ERR_INVALID_ARGUMENT;  // a position past its page's lines
    if (k0 + c == static_cast<int>(p->nlines) && p->cont) {
      // The run takes the page's last line, which goes on in the next page:
      // made whole first.
      PosRecord q = *pos;
      q.index = -(k0 + c - 1);
      if ((rc = line_drop_continuation(&q, buf)) != 0) return rc;
      if ((rc = store_get_page_counted(p, pos->block, buf)) != 0) return rc;
    }
    const int32_t off0 = pos->offset;
    int32_t bytes = 0;
    entries.clear();
    for (int j = 0; j < c; ++j) {
      entries.push_back(*page_entry(p, k0 + j));
      bytes += entries.back().length;
    }
    if (logged) {
      // Copied out first: writing the record may take this page away.
      text.assign(p->text + off0, p->text + off0 + bytes);
      if ((rc = undo_hooks.deleted(buf, point, zero, text.data(), bytes, entries.data(), c)) != 0) return rc;
      if ((rc = store_get_page_counted(p, pos->block, buf)) != 0) return rc;
    }
    // Where positions on the deleted lines go (in the page as it will be).
    const int32_t b = pos->block;
    const int nl = static_cast<int>(p->nlines);
    PosRecord dest = *pos;
    bool above = false;
    int32_t result = 0;
    if (k0 + c == nl) {
      const int32_t nb = store_block(b).next;
      if (nb >= 0) {
        dest = place(nb, 0, 0, pos->base + store_block(b).bytes - bytes, pos->line);
      } else {
        rc = pos_prev_line(&dest, buf);
        if (rc && rc != ERR_TOP_OF_FILE) return rc;
        above = true;
        result = ERR_BOTTOM_OF_FILE;
      }
      if ((rc = store_get_page_counted(p, b, buf)) != 0) return rc;
    }
    const PosRecord P = *pos;
    marks_adjust_remove_run(-bytes, &P, c, &dest, above, buf);
    // One edit for the page's part of the run.
    for (int j = k0; j + c < nl; ++j) *page_entry(p, j) = *page_entry(p, j + c);
    const int64_t block_bytes = store_block(b).bytes;
    std::memmove(p->text + off0, p->text + off0 + bytes, static_cast<size_t>(block_bytes - off0 - bytes));
    p->nlines = static_cast<uint32_t>(nl - c);
    store_block(b).bytes = static_cast<uint32_t>(block_bytes - bytes);
    buf->bytes -= bytes;
    p->dirty = 1;
    buf->modified = 1;
    set_count_word(b, p);
    if (p->nlines == 0) block_unlink(b, buf);
    done += c;
    const int32_t line = dest.line;
    pos_copy_place(pos, &dest);
    pos->line = line;
    if (result) return done == n ? result : ERR_BOTTOM_OF_FILE;
  }
  return 0;
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
  marks_adjust_remove_run(bytes, P, 1, dest, dest_above, buf);
}

void marks_adjust_remove_run(int64_t bytes, const PosRecord* P, int32_t count, const PosRecord* dest, bool dest_above,
                             BufferRec* buf) {
  const int32_t pb = P->block, pi = P->index, pline = P->line;
  const int64_t pbase = P->base;
  lex_mark_dirty_lines(buf, pbase + P->offset, bytes);
  for_each_pos(buf, [&](PosRecord* Q) {
    const bool same = Q->block == pb;
    if (same && Q->index <= pi && Q->index > pi - count) {  // on a removed line
      if (mark_remove_hook && mark_remove_hook(Q, P, count, dest, dest_above, buf)) return;
      const int32_t line = Q->line < 0 ? -1 : (count == 1 ? Q->line : pline);
      Q->block = dest->block;
      Q->offset = dest->offset;
      Q->index = dest->index;
      Q->base = dest->base;
      Q->line = (dest_above && line > 0) ? line - 1 : line;
      return;
    }
    const bool after = Q->base > pbase || (same && Q->index <= pi - count);
    if (after && Q->line >= 0) Q->line = pline >= 0 ? Q->line - count : -1;
    if (Q->base > pbase) Q->base += bytes;
    if (same && Q->index <= pi - count) {
      Q->index += count;
      Q->offset += static_cast<int32_t>(bytes);
    }
  });
}
