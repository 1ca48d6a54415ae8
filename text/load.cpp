// Loading: the lazy block chain, reading a block from its source file,
// counting a page's lines, whole-file reads and tab expansion.
//
// Counting keeps lines at most 1024 bytes: a longer line is cut and the rest
// starts a new line. A page that ends inside a line would continue into the
// next page; when that page is still unread its file range simply starts
// earlier instead, so the line is read whole with it. Only pages read out of
// order keep a continued line, and one that would pass 1024 bytes is cut
// there rather than joined (nothing is lost).

#include "text/load.h"

#include <emmintrin.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "text/source_check.h"
#include "text/store_edit.h"
#include "text/ui_port.h"

namespace {

// Fixed-length records are counted as soon as they are read.
bool R_counted_at_once(const BufferRec* buf) { return buf->record_len > 0; }

constexpr uint8_t kCtrlZ = 26;
constexpr int kEolScanBytes = 1025;
constexpr int kTabWidth = 8;

int64_t tof_len(const BufferRec* b) { return b->record_len ? b->record_len : 1; }

// A block never read from its file: only its range may still move. A block
// read before keeps its count when its clean page is dropped, and its range
// is final from then on: lines were counted (and continued) across it.
bool unread_source(int32_t b) {
  const BlockEntry& e = store_block(b);
  return !(e.count & kCountInMemory) && store_loc_is_source(e.loc) && (e.count & kCountLinesMask) == kCountUnknown;
}

int64_t read_fully(int fd, uint8_t* dst, int64_t n, int64_t off) {
  int64_t got = 0;
  while (got < n) {
    long r = file_io().pread(fd, dst + got, static_cast<size_t>(n - got), off + got);
    if (r <= 0) break;
    got += r;
  }
  return got;
}

// Reading a file's pages in order, as a walk over every line does: once a
// page's range starts where the one read before ended (or within a line of
// it), the file is read a chunk at a time and the following pages come from
// the chunk. It belongs to the file of one stamp (the source check refuses a
// changed file before any read), so a page read out of order or from
// another file reads alone.
struct ReadAhead {
  FileStamp stamp;
  int64_t expect = -1;  // where the last page read ended
  int64_t off = 0;      // the chunk's range in the file
  int64_t len = 0;
  std::vector<uint8_t> data;
};
constexpr int64_t kReadAheadBytes = 256 << 10;

ReadAhead& read_ahead() {
  static ReadAhead r;
  return r;
}

bool same_stamp(const FileStamp& a, const FileStamp& b) {
  return a.known && b.known && a.dev == b.dev && a.ino == b.ino && a.size == b.size && a.mtime_ns == b.mtime_ns;
}

// n bytes of the source at off into dst; the number read, or -1 when the
// file changed (and, read or not, nothing of it may be used). A writer
// stamps the file before it puts bytes in, so a stamp still unchanged after
// the read proves that the bytes are the loaded file's.
int64_t read_source(BufferRec* buf, uint8_t* dst, int64_t n, int64_t off) {
  ReadAhead& ra = read_ahead();
  if (!same_stamp(ra.stamp, buf->source_stamp)) {
    ra = ReadAhead{};
    ra.stamp = buf->source_stamp;
  }
  // In order: from the end of the last page read, or a little before it when
  // counting that page gave its last line to this one.
  if (ra.stamp.known && off <= ra.expect && off >= ra.expect - kMaxLineBytes && n <= kReadAheadBytes) {
    if (off < ra.off || off + n > ra.off + ra.len) {
      ra.data.resize(static_cast<size_t>(kReadAheadBytes));
      ra.off = off;
      ra.len = read_fully(buf->source_fd, ra.data.data(), kReadAheadBytes, off);
      if (store_source_check(buf) != 0) {
        ra = ReadAhead{};
        return -1;
      }
    }
    if (off >= ra.off && off + n <= ra.off + ra.len) {
      std::memcpy(dst, ra.data.data() + (off - ra.off), static_cast<size_t>(n));
      ra.expect = off + n;
      return n;
    }
  }
  const int64_t got = read_fully(buf->source_fd, dst, n, off);
  if (store_source_check(buf) != 0) return -1;
  ra.expect = ra.stamp.known ? off + got : -1;
  return got;
}

void detect_eol(BufferRec* buf, const uint8_t* t, int64_t n) {
  if (n > kEolScanBytes) n = kEolScanBytes;
  for (int64_t i = 0; i < n; ++i) {
    if (t[i] == '\n') {
      buf->eol[0] = buf->eol[1] = '\n';
      return;
    }
    if (t[i] == '\r') {
      bool lf = i + 1 < n && t[i + 1] == '\n';
      buf->eol[0] = '\r';
      buf->eol[1] = lf ? '\n' : '\r';
      return;
    }
  }
}

void fill_tof(uint8_t* t, const BufferRec* buf) { std::memset(t, buf->eol[1], static_cast<size_t>(tof_len(buf))); }

void add_entry(Page* p, uint32_t n, int64_t len) {
  LineEntry* e = page_entry(p, static_cast<int>(n));
  e->flags = 0;
  e->length = static_cast<uint16_t>(len);
}

int64_t fixed_block_bytes(int32_t r) {
  int64_t room = store_alloc_size() - 28 - store_page_size() / 40 - 4;
  int64_t n = room * r / (r + 4);
  return n < r ? r : n;
}

// Text of one page from pos on moves to a fresh block after `block`; the new
// page is in memory and uncounted. Both keep their file ranges when the page
// came from the source file, so neither ever needs writing while clean.
int32_t split_rest(int32_t block, int64_t pos, int64_t bytes, BufferRec* buf) {
  int32_t next = store_block(block).next;
  int32_t nb = store_new_block(-1, next, block);
  if (nb < 0) return nb;
  if (next >= 0) store_block(next).prev = nb;
  store_block(block).next = nb;
  Page* src = store_block(block).page;
  Page* dst = store_block(nb).page;
  std::memcpy(dst->text, src->text + pos, static_cast<size_t>(bytes - pos));
  store_block(nb).bytes = static_cast<uint32_t>(bytes - pos);
  store_block(nb).count = kCountInMemory | kCountUnknown;
  if (store_loc_is_source(src->loc)) {
    int64_t lead = block == buf->first_block ? tof_len(buf) : 0;
    dst->loc = store_loc_source(store_loc_source_offset(src->loc) + pos - lead);
  } else {
    src->loc = kLocNone;  // a slot's image no longer matches: written afresh on eviction
    src->dirty = 1;
    dst->dirty = 1;
  }
  return 0;
}

// The common case of counting, 64 bytes at a time: every line that ends with
// an end of line (over-long ones cut at 1024), while the table has room.
// Leaves pos at the first byte not yet in a line; the careful loop below
// takes over from there (the table split, the last line, Ctrl-Z).
void count_terminated_lines(Page* page, const uint8_t* t, int64_t bytes, uint8_t eol2, uint32_t& n, int64_t& pos,
                            bool* truncated) {
  const int64_t max_n = (static_cast<int64_t>(store_image_size()) - 8 - bytes) / 4;
  const __m128i needle = _mm_set1_epi8(static_cast<char>(eol2));
  LineEntry* e = page_entry(page, static_cast<int>(n));
  for (int64_t base = pos; base < bytes; base += 64) {
    // The image has room past the text, so a whole 64-byte load stays inside it.
    uint64_t m0 = static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t + base)), needle)));
    uint64_t m1 = static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t + base + 16)), needle)));
    uint64_t m2 = static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t + base + 32)), needle)));
    uint64_t m3 = static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t + base + 48)), needle)));
    uint64_t mask = m0 | m1 << 16 | m2 << 32 | m3 << 48;
    if (bytes - base < 64) mask &= (uint64_t{1} << (bytes - base)) - 1;
    while (mask) {
      int64_t end = base + __builtin_ctzll(mask) + 1;
      mask &= mask - 1;
      int64_t len = end - pos;
      while (len > 0) {
        if (static_cast<int64_t>(n) + 1 > max_n) return;  // the table is full: split there
        int64_t piece = len > kMaxLineBytes ? kMaxLineBytes : len;
        if (piece < len) *truncated = true;
        e->flags = 0;
        e->length = static_cast<uint16_t>(piece);
        --e;
        ++n;
        pos += piece;
        len -= piece;
      }
    }
  }
}

// Counts one page; sets *rest_block when the table filled the page and the
// remaining text went to a new block that must be counted in turn.
int32_t count_one(Page* page, int32_t block, BufferRec* buf, int32_t* rest_block, bool* truncated) {
  StoreLoadState& ls = store_load_state();
  *rest_block = -1;
  const int64_t bytes = store_block(block).bytes;
  const bool was_slot = page->loc >= 0;
  const int64_t image = store_image_size();
  uint8_t* t = page->text;
  uint32_t n = 0;
  int64_t pos = 0;
  uint32_t cont = 0;
  bool ended = false;
  const int32_t R = buf->record_len;
  int64_t first_rec = R;
  if (R > 0 && block != buf->first_block && store_loc_is_source(page->loc)) {
    int64_t phase = store_loc_source_offset(page->loc) % R;
    if (phase) first_rec = R - phase;
  }
  if (R == 0 && ls.ctrlz_mode != 2 && bytes + 64 <= image - 8)
    count_terminated_lines(page, t, bytes, buf->eol[1], n, pos, truncated);
  while (pos < bytes) {
    if (8 + bytes + 4 * static_cast<int64_t>(n + 1) > image) {  // the table meets the text
      const int32_t nb = store_block(block).next;
      const int64_t rest = bytes - pos;
      if (R == 0 && !ls.raw && nb >= 0 && unread_source(nb) && rest < kMaxLineBytes &&
          !std::memchr(t + pos, buf->eol[1], static_cast<size_t>(rest))) {
        // Only the start of a line is left: a block of that alone would
        // continue into the next one unchecked, so the next block's file
        // range takes it and the line is counted whole there.
        BlockEntry& ne = store_block(nb);
        ne.loc = store_loc_source(store_loc_source_offset(ne.loc) - rest);
        ne.bytes += static_cast<uint32_t>(rest);
        break;
      }
      int32_t rc = split_rest(block, pos, bytes, buf);
      if (rc) return rc;
      *rest_block = store_block(block).next;
      break;
    }
    int64_t rem = bytes - pos;
    int64_t len;
    if (R > 0) {
      int64_t want = n == 0 ? first_rec : R;
      len = rem < want ? rem : want;
      if (len < want) cont = 1;
    } else {
      int64_t lim = rem < kMaxLineBytes ? rem : kMaxLineBytes;
      const uint8_t* e = static_cast<const uint8_t*>(std::memchr(t + pos, buf->eol[1], static_cast<size_t>(lim)));
      int64_t upto = e ? (e - (t + pos)) + 1 : lim;
      if (ls.ctrlz_mode == 2) {
        const uint8_t* z = static_cast<const uint8_t*>(std::memchr(t + pos, kCtrlZ, static_cast<size_t>(upto)));
        if (z) {
          int64_t zl = z - (t + pos);
          if (zl > 0) add_entry(page, n++, zl);
          pos += zl;
          ls.ctrlz_mode = 1;
          ls.ctrlz_block = block;
          ended = true;
          break;
        }
      }
      if (e) {
        len = upto;
      } else if (rem >= kMaxLineBytes) {  // a full-length piece is a line of its own
        len = kMaxLineBytes;
        if (rem > kMaxLineBytes) *truncated = true;
      } else {
        len = rem;
        cont = 1;
      }
    }
    add_entry(page, n++, len);
    pos += len;
  }
  int32_t next = store_block(block).next;
  if (ls.raw || next < 0 || ended) cont = 0;
  int64_t join_tail = 0;  // > 0: the last line may join the next page's first part
  if (cont && R == 0 && *rest_block < 0 && n >= 2) {
    int64_t tail = page_entry(page, static_cast<int>(n - 1))->length;
    if (unread_source(next)) {
      BlockEntry& ne = store_block(next);
      // The next block is unread: let its file range start at this line instead.
      ne.loc = store_loc_source(store_loc_source_offset(ne.loc) - tail);
      ne.bytes += static_cast<uint32_t>(tail);
      --n;
      pos -= tail;
      cont = 0;
    } else {
      join_tail = tail;
    }
  }
  page->nlines = n;
  page->cont = cont;
  if (pos != bytes) {
    if (ended) buf->bytes -= bytes - pos;  // the text after a Ctrl-Z is not used
    store_block(block).bytes = static_cast<uint32_t>(pos);
  }
  store_block(block).count = kCountInMemory | (n - cont);
  if (was_slot) page->dirty = 1;
  if (join_tail > 0) {
    // Join only when the whole line keeps within the limit; the decision
    // depends on the text alone, so a page read again is counted the same.
    // Counting the next page may split it and push this one out of memory:
    // this one is complete first and fetched again after.
    Page* np = nullptr;
    int32_t rc = store_get_page_counted(np, next, buf);
    if (rc) return rc;
    if (join_tail + page_entry(np, 0)->length > kMaxLineBytes) {
      *truncated = true;
      rc = store_get_page_counted(page, block, buf);
      if (rc) return rc;
      if (page->cont) {
        page->cont = 0;
        store_block(block).count = kCountInMemory | page->nlines;
      }
    }
  }
  return 0;
}

}  // namespace

int64_t store_lazy_block_bytes(const BufferRec* buf) {
  return buf->record_len ? fixed_block_bytes(buf->record_len) : store_page_size();
}

int32_t page_count_lines(Page* page, int32_t block, BufferRec* buf) {
  bool truncated = false;
  int32_t b = block;
  for (;;) {
    int32_t rest = -1;
    int32_t rc = count_one(page, b, buf, &rest, &truncated);
    if (rc) return rc;
    if (rest < 0) break;
    b = rest;
    page = store_block(b).page;
  }
  if (truncated && !buf->trunc_reported && !store_load_state().raw) {
    buf->trunc_reported = 1;
    ui_show_error(ERR_LINES_TRUNCATED);
  }
  return 0;
}

namespace {

// Moves the last r bytes of unread block p's file range to the start of b's.
void shift_range(int32_t p, int32_t b, int64_t r) {
  if (r <= 0) return;
  store_block(p).bytes -= static_cast<uint32_t>(r);
  BlockEntry& e = store_block(b);
  e.loc = store_loc_source(store_loc_source_offset(e.loc) - r);
  e.bytes += static_cast<uint32_t>(r);
}

// Bytes at the end of unread block p that belong to a line piece going on in
// the next block: after the last end of line, modulo the line limit; -1 when
// p's range holds no end of line at all.
int64_t open_piece(int32_t p, BufferRec* buf, std::string& scratch) {
  int64_t lead = p == buf->first_block ? tof_len(buf) : 0;
  int64_t len = store_block(p).bytes - lead;
  int64_t off = store_loc_source_offset(store_block(p).loc);
  int64_t want = len < kMaxLineBytes ? len : kMaxLineBytes;  // most lines end near the end
  for (;;) {
    scratch.resize(static_cast<size_t>(want));
    auto* t = reinterpret_cast<uint8_t*>(scratch.data());
    if (read_fully(buf->source_fd, t, want, off + len - want) != want) return 0;
    const void* e = ::memrchr(t, buf->eol[1], static_cast<size_t>(want));
    if (e)
      return (static_cast<const uint8_t*>(e) - t + 1 == want)
                 ? 0
                 : (want - (static_cast<const uint8_t*>(e) - t + 1)) % kMaxLineBytes;
    if (want == len) return lead ? len % kMaxLineBytes : -1;  // the first block starts a line
    want = len;
  }
}

// Before block b is read from its file: make its range start where a line,
// or a piece of an over-long line, starts, so that a page never ends inside
// a line whatever order pages are read in. Usually only the previous block's
// last bytes are looked at; a run of blocks without any end of line is walked
// back to the block where the pieces start, at most kAlignWalk blocks: in a
// longer run (a binary file) pieces simply restart at that block's start.
constexpr int kAlignWalk = 4;

int32_t align_block_start(int32_t b, BufferRec* buf) {
  std::vector<int32_t> run;  // blocks whose start is not known yet, newest first
  std::string scratch;
  int32_t cur = b;
  for (;;) {
    int32_t p = store_block(cur).prev;
    if (p < 0) break;
    if (!unread_source(p)) {
      if ((store_block(p).count & kCountLinesMask) == kCountUnknown) {
        Page* pg = nullptr;  // counting it moves an open piece into cur while cur is unread
        int32_t rc = store_get_page_counted(pg, p, buf);
        if (rc) return rc;
      }
      break;
    }
    int64_t r = open_piece(p, buf, scratch);
    if (r >= 0) {
      shift_range(p, cur, r);
      break;
    }
    run.push_back(cur);
    cur = p;
    if (static_cast<int>(run.size()) >= kAlignWalk) break;
  }
  // cur's start is known; walk forward through blocks made of one long piece.
  while (!run.empty()) {
    int32_t next = run.back();
    run.pop_back();
    int64_t lead = cur == buf->first_block ? tof_len(buf) : 0;
    shift_range(cur, next, (store_block(cur).bytes - lead) % kMaxLineBytes);
    cur = next;
  }
  return 0;
}

}  // namespace

int32_t store_read_source_page(int32_t block, BufferRec* buf) {
  StoreLoadState& ls0 = store_load_state();
  const uint32_t counted_before = store_block(block).count & kCountLinesMask;
  if (counted_before == kCountUnknown && block != buf->first_block && buf->record_len == 0 && !ls0.raw &&
      ls0.ctrlz_mode != 2) {
    int32_t rc = align_block_start(block, buf);
    if (rc) return rc;
  }
  int64_t off = store_loc_source_offset(store_block(block).loc);
  int64_t n = store_block(block).bytes;
  int32_t err = 0;
  Page* p = store_new_page(&err);
  if (!p) return err;
  int64_t lead = block == buf->first_block ? tof_len(buf) : 0;
  int64_t got = buf->source_fd >= 0 ? read_source(buf, p->text + lead, n - lead, off) : 0;
  if (got < 0 || (got < 1 && n - lead > 0)) {
    store_release_page(p);
    return ERR_READING_FILE;
  }
  StoreLoadState& ls = store_load_state();
  if (ls.detect_eol) {
    if (buf->record_len == 0) detect_eol(buf, p->text + lead, got);
    ls.detect_eol = 0;
  }
  if (lead) fill_tof(p->text, buf);
  BlockEntry& e = store_block(block);
  if (lead + got != n) {  // the file is shorter than when it was opened
    buf->bytes -= n - (lead + got);
    e.bytes = static_cast<uint32_t>(lead + got);
  }
  p->owner = block;
  p->loc = buf->no_reread ? kLocNone : store_loc_source(off);
  p->dirty = 0;
  p->counted_before = lead + got == n ? counted_before : kCountUnknown;
  e.count = kCountUnknown;
  store_adopt_page(p, block);
  if (R_counted_at_once(buf)) return page_count_lines(p, block, buf);
  return 0;
}

namespace {

void release(BufferRec* buf) {
  store_free_blocks(buf->first_block);
  buf->first_block = -1;
  buf->bytes = 0;
}

// A buffer without a file: the top-of-file line and one empty line.
int32_t make_new_text(BufferRec* buf, bool with_empty_line) {
  int32_t b = store_new_block(-1, -1, -1);
  if (b < 0) return b;
  buf->first_block = b;
  Page* p = store_block(b).page;
  int64_t tof = tof_len(buf);
  fill_tof(p->text, buf);
  add_entry(p, 0, tof);
  int64_t total = tof;
  uint32_t n = 1;
  if (with_empty_line) {
    int64_t el = 0;
    if (!buf->record_len) {
      el = buf->eol[0] == buf->eol[1] ? 1 : 2;
      p->text[tof] = buf->eol[0];
      p->text[tof + el - 1] = buf->eol[1];
    }
    add_entry(p, n++, el);
    total += el;
  }
  p->nlines = n;
  p->dirty = 1;
  store_block(b).bytes = static_cast<uint32_t>(total);
  store_block(b).count = kCountInMemory | n;
  buf->bytes = total - tof;
  return 0;
}

int32_t build_lazy_chain(BufferRec* buf, int64_t size) {
  if (size == 0) return make_new_text(buf, false);
  const int64_t tof = tof_len(buf);
  const int64_t per = store_lazy_block_bytes(buf);
  const int64_t n = (size + tof + per - 1) / per;
  if (n > INT32_MAX) return ERR_NOT_ENOUGH_MEMORY;
  int32_t first = -1;
  int32_t rc = store_new_chain(static_cast<int32_t>(n), &first, size, tof, per);
  if (rc) return rc;
  buf->first_block = first;
  buf->bytes = size;  // the top-of-file line is in the first block but not in the count
  return 0;
}

// Appends a line (raw bytes, end of line included) after pos.
int32_t append_raw(PosRecord* pos, BufferRec* buf, const uint8_t* t, int64_t n) {
  return line_insert_raw(t, static_cast<int32_t>(n), pos, buf);
}

int32_t load_expanding(BufferRec* buf, int64_t size, bool detect) {
  int32_t rc = make_new_text(buf, false);
  if (rc) return rc;
  PosRecord at{};
  pos_top(&at, buf);
  const int64_t chunk = store_page_size();
  std::string scratch(static_cast<size_t>(chunk), '\0');
  uint8_t line[kMaxLineBytes + kTabWidth];
  int64_t len = 0, col = 0;
  bool first = true, truncated = false;
  int64_t off = 0;
  while (off < size) {
    int64_t n = chunk < size - off ? chunk : size - off;
    auto* s = reinterpret_cast<uint8_t*>(scratch.data());
    int64_t got = read_fully(buf->source_fd, s, n, off);
    if (got < 1) return ERR_READING_FILE;
    if (first) {
      if (detect) detect_eol(buf, s, got);
      first = false;
    }
    off += got;
    for (int64_t i = 0; i < got; ++i) {
      uint8_t c = s[i];
      if (c == kCtrlZ) {  // the text ends here: its last line gets an end of line like any other
        store_load_state().ctrlz_mode = 1;
        off = size;
        break;
      }
      if (c == '\t') {
        int64_t stop = col + kTabWidth - col % kTabWidth;
        if (stop > kMaxLineBytes - 1) {
          rc = append_raw(&at, buf, line, len);
          if (rc) return rc;
          len = col = 0;
          truncated = true;
          stop = kTabWidth;
        }
        while (col < stop) line[len++] = ' ', ++col;
      } else {
        line[len++] = c;
        ++col;
      }
      if (c == buf->eol[1] || len >= kMaxLineBytes - 1) {
        if (c != buf->eol[1]) truncated = true;
        rc = append_raw(&at, buf, line, len);
        if (rc) return rc;
        len = col = 0;
      }
    }
  }
  if (len > 0) {
    rc = append_raw(&at, buf, line, len);
    if (rc) return rc;
  }
  if (truncated && !buf->trunc_reported) {
    buf->trunc_reported = 1;
    ui_show_error(ERR_LINES_TRUNCATED);
  }
  buf->no_reread = 1;
  buf->modified = 0;  // loading is no change
  ::close(buf->source_fd);
  buf->source_fd = -1;
  return 0;
}

// Adds the end of line a file's last line lacks, leaving the buffer
// unmodified and every byte of the file in place. A last line with no room
// left for it (a piece that the line limit cut) stays as it is, and the end
// of line follows as a line of its own: what the file with its end of line
// would load as. A lone first byte of a two-byte end of line at the very end
// only gets the second byte.
int32_t supply_final_eol(BufferRec* buf) {
  PosRecord q{};
  q.buffer = buf;
  int32_t rc = pos_last_line(&q, buf);
  if (rc) return rc;
  if (q.line <= 0 && q.index == 0 && q.block == buf->first_block) return 0;  // only the top-of-file line
  int64_t end = 0;
  int32_t last_block = -1;
  buf_end_info(buf, end, last_block);
  uint8_t last = 0;
  if (end < 1 || buf_read_bytes_at(&last, 1, end - 1, buf) != 1) return ERR_READING_FILE;
  if (last == buf->eol[1]) return 0;  // it has one
  const uint8_t* t = nullptr;
  LineInfo info;
  int32_t len = line_get_ptr(t, &q, buf, &info);
  if (len < 0) return len;
  const int32_t raw = info.raw;
  const bool two = buf->eol[0] != buf->eol[1];
  uint8_t suffix[2] = {buf->eol[0], buf->eol[1]};
  int32_t add = two ? 2 : 1;
  const uint8_t* add_bytes = two ? suffix : suffix + 1;
  if (two && last == buf->eol[0]) {  // the lone first byte stays and takes the second
    add = 1;
    add_bytes = suffix + 1;
  }
  uint8_t saved = buf->modified;
  if (raw + add <= kMaxLineBytes) {
    uint8_t text[kMaxLineBytes];
    std::memcpy(text, t, static_cast<size_t>(len));
    rc = line_replace_text(text, len, &q, buf);  // strip_eol took off a lone first byte: it comes back
  } else {
    rc = line_insert_raw(add_bytes, add, &q, buf);
  }
  buf->modified = saved;
  return rc;
}

// After a Ctrl-Z ended the text: the chain ends with the block it was found
// in (counting may have split the page it was read into, so that block can
// lie after the one being read), or with the block before when the Ctrl-Z
// was its first byte. The last block never continues.
int32_t end_chain_at_ctrlz(BufferRec* buf, int32_t read) {
  int32_t last = store_load_state().ctrlz_block >= 0 ? store_load_state().ctrlz_block : read;
  store_free_blocks(store_block(last).next);
  store_block(last).next = -1;
  if (store_block(last).bytes == 0 && last != buf->first_block) {
    int32_t prev = store_block(last).prev;
    store_free_block(last);
    store_block(prev).next = -1;
    last = prev;
  }
  Page* p = nullptr;
  int32_t rc = store_get_page_counted(p, last, buf);
  if (rc) return rc;
  p = store_block(last).page;
  if (p->cont) {
    p->cont = 0;
    store_block(last).count = kCountInMemory | p->nlines;
    p->dirty = 1;
  }
  return 0;
}

}  // namespace

int32_t store_read_all(BufferRec* buf, bool count) {
  buf->no_reread = 1;
  int32_t rc = 0;
  for (int32_t b = buf->first_block; b >= 0; b = store_block(b).next) {
    Page* p = nullptr;
    rc = count ? store_get_page_counted(p, b, buf) : store_get_page(p, b, buf);
    if (rc) break;
    p = store_block(b).page;
    if (store_loc_is_source(p->loc)) p->loc = kLocNone;
    if (store_load_state().ctrlz_mode == 1) {
      rc = end_chain_at_ctrlz(buf, b);
      break;
    }
  }
  int64_t end = 0;
  int32_t last = -1;
  buf_end_info(buf, end, last);
  buf->bytes = end;
  if (buf->source_fd >= 0) {
    if (buf->keep_open & 0x80000000)
      buf->keep_open = static_cast<int32_t>(0x80000000u | static_cast<uint32_t>(buf->source_fd));
    else
      ::close(buf->source_fd);
    buf->source_fd = -1;
  }
  return rc;
}

int32_t store_detach_source(BufferRec* buf) {
  if (buf->source_fd < 0) return 0;
  buf->no_reread = 1;
  for (int32_t b = buf->first_block; b >= 0; b = store_block(b).next) {
    Page* p = nullptr;
    int32_t rc = store_get_page_counted(p, b, buf);
    if (rc) return rc;
    p = store_block(b).page;
    if (store_loc_is_source(p->loc)) p->loc = kLocNone;
  }
  ::close(buf->source_fd);
  buf->source_fd = -1;
  return 0;
}

int32_t store_load_file(PosRecord* pos, BufferRec* buf, const StoreLoadOptions& opt) {
  store_source_opened(buf);
  StoreLoadState& ls = store_load_state();
  const bool raw = opt.mode == 2;
  int32_t undo = buf->undo_enable;
  buf->undo_enable = 0;
  buf->modified = 0;
  buf->backup_state = 1;
  buf->trunc_reported = raw ? 1 : 0;
  buf->no_reread = 0;
  const bool ctrlz = opt.ctrlz_stop && !raw;
  const bool expand = buf->expand_tabs_load && !raw && buf->record_len == 0;
  ls = StoreLoadState{};
  int32_t rc = 0;
  bool fix_last = false;
  pos->buffer = buf;
  if (buf->source_fd < 0) {
    rc = make_new_text(buf, true);
    // The position starts on the one empty line, never unplaced: typing
    // into a new buffer works from the first key.
    if (!rc) rc = pos_first_line(pos, buf);
  } else {
    buf->load_state = 1;
    if (!opt.eol_given) buf->eol[0] = buf->eol[1] = '\n';
    off_t size = file_io().seek(buf->source_fd, 0, SEEK_END);
    if (size < 0) rc = ERR_READING_FILE;
    uint8_t tail[3] = {0, 0, 0};
    int64_t tn = size < 3 ? size : 3;
    if (!rc && tn > 0 && read_fully(buf->source_fd, tail, tn, size - tn) != tn) rc = ERR_READING_FILE;
    if (!rc && tn > 0 && buf->record_len == 0 && tail[tn - 1] == kCtrlZ && !raw) {
      --size;
      --tn;
    }
    if (!rc) {
      if (expand) {
        rc = load_expanding(buf, size, !opt.eol_given);
      } else {
        rc = build_lazy_chain(buf, size);
        // Raw text must never be counted again as records: read it all now.
        if (!rc && (opt.whole || ctrlz || raw) && size > 0) {
          ls.ctrlz_mode = ctrlz ? 2 : 0;
          ls.detect_eol = buf->record_len == 0 && !opt.eol_given;
          ls.raw = raw;
          rc = store_read_all(buf, opt.mode == 1 || ctrlz || raw);
        }
      }
    }
    if (!rc) {
      ls.detect_eol = buf->record_len == 0 && !opt.eol_given && !expand && !opt.whole && !ctrlz;
      rc = pos_first_line(pos, buf);
      ls.detect_eol = 0;
      // Only now is the end-of-line convention known.
      if (!rc && size > 0 && !raw && buf->record_len == 0)
        fix_last = tn == 0 || tail[tn - 1] != buf->eol[1] || ls.ctrlz_mode == 1;
    }
  }
  if (!rc) {
    if (raw && buf->record_len == 0) {
      buf->record_len = 1;  // lines keep their end-of-line bytes as data from now on
    } else if (fix_last) {
      rc = supply_final_eol(buf);
      if (!rc) rc = pos_first_line(pos, buf);
    }
  }
  ls = StoreLoadState{};
  if (rc) {
    release(buf);
    if (buf->source_fd >= 0) ::close(buf->source_fd);
    buf->source_fd = -1;
    buf->undo_enable = undo;
    return rc;
  }
  pos->row = pos->line;
  buf->modified_at_checkpoint = buf->modified;
  buf->undo_enable = undo;
  return 0;
}

// ---- unread text straight from the source file ----

namespace {

bool only_in_source(int32_t b, const BufferRec* buf) {
  const BlockEntry& e = store_block(b);
  return b != buf->first_block && !(e.count & kCountInMemory) && store_loc_is_source(e.loc) &&
         !store_block_lost(buf, b);
}

constexpr int64_t kCountChunk = 1 << 20;

std::vector<uint8_t>& scan_buffer() {
  static std::vector<uint8_t> v;
  return v;
}

}  // namespace

// One copy for processors with a population-count instruction, one without
// (g++ only: clang's clones do not link in the sanitized fuzz builds).
#if defined(__clang__)
#define ZVX_POPCNT_CLONES
#else
#define ZVX_POPCNT_CLONES __attribute__((target_clones("popcnt", "default")))
#endif
ZVX_POPCNT_CLONES void line_scan(LineScan& sc, const uint8_t* t, int64_t from, int64_t to, uint8_t eol) {
  const __m128i needle = _mm_set1_epi8(static_cast<char>(eol));
  const __m128i blank = _mm_set1_epi8(' ');
  uint64_t carry = from > 0 && t[from - 1] == ' ';  // a blank right before the first byte
  auto mask64 = [&](const uint8_t* q, __m128i v) {
    uint64_t m = 0;
    for (int i = 0; i < 4; ++i)
      m |= static_cast<uint64_t>(static_cast<uint32_t>(
               _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 16 * i)), v))))
           << (16 * i);
    return m;
  };
  for (int64_t base = from; base < to; base += 64) {
    uint64_t mask = mask64(t + base, needle);
    if (to - base < 64) mask &= (uint64_t{1} << (to - base)) - 1;
    if (sc.want_blanks) {
      const uint64_t sp = mask64(t + base, blank);
      if (mask & (sp << 1 | carry)) sc.blank_end = true;
      carry = sp >> 63;
    }
    if (!mask) continue;
    // Lines inside one 64-byte step are short: only the first can be long.
    if (base + __builtin_ctzll(mask) + 1 - sc.line_start > kMaxLineBytes) sc.over_limit = true;
    sc.eols += __builtin_popcountll(mask);
    sc.line_start = base + 64 - __builtin_clzll(mask);
  }
}

bool store_unread_source(int32_t b) { return unread_source(b); }

void store_shift_to_next(int32_t b, int64_t r) { shift_range(b, store_block(b).next, r); }

bool store_source_run(int32_t b, const BufferRec* buf, int64_t max_bytes, SourceRun& run) {
  if (b < 0 || buf->source_fd < 0 || buf->no_reread || !only_in_source(b, buf)) return false;
  run.first = run.last = b;
  run.file_off = store_loc_source_offset(store_block(b).loc);
  run.bytes = store_block(b).bytes;
  for (int32_t x = store_block(b).next; x >= 0 && only_in_source(x, buf); x = store_block(x).next) {
    const BlockEntry& e = store_block(x);
    if (store_loc_source_offset(e.loc) != run.file_off + run.bytes || run.bytes + e.bytes > max_bytes) break;
    run.last = x;
    run.bytes += e.bytes;
  }
  return true;
}

int32_t store_read_source_bytes(BufferRec* buf, uint8_t* dst, int64_t n, int64_t off) {
  buf->load_state = 1;
  if (int32_t rc = store_source_check(buf)) return rc;
  const bool whole = read_fully(buf->source_fd, dst, n, off) == n;
  // Checked again: the file may have changed while it was read.
  if (int32_t rc = store_source_check(buf)) return rc;
  return whole ? 0 : ERR_READING_FILE;
}

int32_t store_count_unread(int32_t b, BufferRec* buf) {
  const StoreLoadState& ls = store_load_state();
  if (buf->record_len || ls.raw || ls.ctrlz_mode == 2 || ls.detect_eol || !unread_source(b)) return 0;
  const int32_t p = store_block(b).prev;
  if (p < 0 || (store_block(p).count & kCountLinesMask) == kCountUnknown) return 0;  // b's start may still move
  SourceRun run;
  if (!store_source_run(b, buf, kCountChunk, run)) return 0;
  std::vector<uint8_t>& s = scan_buffer();
  s.resize(static_cast<size_t>(run.bytes + 64));
  if (store_read_source_bytes(buf, s.data(), run.bytes, run.file_off) != 0) return 0;  // a read reports it
  const int64_t image = store_image_size();
  int32_t done = 0;
  const int32_t end = store_block(run.last).next;
  for (int32_t cur = b; cur != end && unread_source(cur);) {
    BlockEntry& e = store_block(cur);
    const int64_t at = store_loc_source_offset(e.loc) - run.file_off;
    const int64_t len = e.bytes;
    LineScan sc;
    line_scan(sc, s.data() + at, 0, len, buf->eol[1]);
    if (sc.over_limit) break;
    const int64_t eols = sc.eols, tail = len - sc.line_start;
    if (tail >= kMaxLineBytes || 8 + len + 4 * (eols + (tail > 0) + 1) > image) break;  // counting would split the page
    const int32_t next = e.next;
    int64_t lines = eols;
    if (tail > 0) {
      if (next < 0) {
        lines = eols + 1;  // the last line, without an end of line
      } else if (eols > 0 && unread_source(next)) {
        shift_range(cur, next, tail);  // the next block takes the line's start, as counting does
      } else {
        break;
      }
    }
    store_block(cur).count = static_cast<uint32_t>(lines);
    ++done;
    cur = next;
  }
  return done;
}
