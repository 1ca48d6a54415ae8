// Undo log: records in undo blocks, checkpoints, replay. See undo.h.
//
// Record layouts (little-endian; offsets from the record's first byte, which
// holds the kind and the marks). Points are 64-bit buffer offsets.
//   0 column        8: 4 old column
//   1 column, word 12: 4 old column, 8 old display word 1
//   2 line         16: 4 old row, 8 old point
//   3 line, zero   20: as 2, 16 old zero-line count
//   6 inserted     16: 4 zero-line count, 8 point of the line above the new one
//   7 deleted  24 + n + 4c: 4 zero-line count, 8 point where the lines stood,
//                   16 c lines (times the deletion sign), 20 u32 n text bytes,
//                   24 the raw text, then per line u16 flags, u16 length
//   8/9 changed 32 + n: 4 first changed byte (1-based), 8 point, 16 new length,
//                   20 u16 old flags, 24 zero-line count (kind 9 only nonzero),
//                   28 n, 32 the n old bytes
//  10 modified      6: 1 u8 old modified-at-checkpoint value, 2 u32 the
//                   buffer's save count when it was written (the value holds
//                   only while no save came after it)
//  11 copied       32: 4 zero-line count, 8 point of the line the run went
//                   after, 16 lines, 20 zero-line count, 24 point of the last line
//  12 words 2, 3   12: 4 old display word 2, 8 old display word 3
//  13 word 4        8: 4 old display word 4
//  14 flags        20: 4 zero-line count, 8 point of the line, 16 u16 old flags
//  15 marker        1

#include "text/undo.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/le.h"
#include "base/messages.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/selection.h"
#include "text/store.h"
#include "text/store_edit.h"
#include "text/ui_port.h"

int32_t undo_cursor_steps = 0;

namespace {
constexpr uint16_t kColourBits = 0x0f;  // the colour coder's state, never undone
constexpr int32_t kModifiedSize = 6;    // kind 10: kind, old value, save count
}  // namespace

namespace {

struct ReplayState {
  bool replaying = false;
  bool written = false;
  bool force_column = false;
  int32_t mask = 0;
  bool col_flag = false;
  bool point_flag = false;
  int32_t column = 0;
  int64_t point = 0;
  int32_t row = 0;
  int32_t zero = 0;
  uint8_t modified = 0;
  bool sel_flag = false;
  uint8_t sel[40];    // a kind-4 record
  int32_t word1 = 0;  // display word 1 of a kind-1 record
  bool word1_flag = false;
  PosRecord* view = nullptr;  // the view the display words go back into
};
// The active selection as the last checkpoint saw it.
struct SelCopy {
  PosRecord begin;
  PosRecord end;
  int64_t begin_point, end_point;
  int32_t begin_zero, end_zero;
  bool valid;
};
// What the undo log keeps besides the blocks in the store.
struct UndoLog {
  std::unordered_map<const BufferRec*, UndoState> states;
  ReplayState replay;
  SelCopy sel_copy{};
  // The deletion sign of kind-7 records (-1 while a selection's lines go).
  int32_t deletion_sign = 1;
  // Where the last record of this replay was applied, linked into the
  // buffer's ring so that it follows the edits; consecutive records mostly
  // lie close to each other, so a short walk from here saves a search from
  // the buffer start.
  PosRecord hint{};
  bool hint_linked = false;
};
UndoLog g;

constexpr int32_t kHeaderSize = static_cast<int32_t>(sizeof(UndoBlockHeader));

UndoBlockHeader* header(Page* p) { return reinterpret_cast<UndoBlockHeader*>(&p->cont); }
uint8_t* area(Page* p) { return reinterpret_cast<uint8_t*>(&p->cont) + kHeaderSize; }
int32_t area_size() { return store_image_size() - kHeaderSize; }

int32_t get_block(Page*& p, int32_t block, BufferRec* buf) {
  int32_t rc = store_get_page(p, block, buf);
  return rc ? ERR_SPILL_IO : 0;
}

// A fresh undo block chained as the newest.
int32_t new_block(UndoState& st, BufferRec* buf) {
  int32_t b = store_new_block(-1, -1, -1);
  if (b < 0) return ERR_SPILL_IO;
  Page* p = store_block(b).page;
  UndoBlockHeader* h = header(p);
  h->newer = -1;
  h->older = st.newest;
  h->steps = 0;
  h->free = area_size();
  h->first_step = area_size();
  p->dirty = 1;
  if (st.newest < 0) {
    st.oldest = b;
    st.oldest_steps = 0;
  } else {
    Page* q = nullptr;
    if (get_block(q, st.newest, buf)) {
      store_free_block(b);
      return ERR_SPILL_IO;
    }
    header(q)->newer = b;
    q->dirty = 1;
  }
  st.newest = b;
  return 0;
}

// Room for a record of `size` bytes in the newest block; the page stays
// addressable until the next store call.
uint8_t* undo_alloc(int32_t size, BufferRec* buf, int32_t* err) {
  UndoState& st = undo_state(buf);
  if (g.replay.replaying)
    g.replay.written = true;
  else
    st.redo = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (st.newest < 0 || attempt == 1) {
      *err = new_block(st, buf);
      if (*err) return nullptr;
    }
    Page* p = nullptr;
    *err = get_block(p, st.newest, buf);
    if (*err) return nullptr;
    UndoBlockHeader* h = header(p);
    if (h->free - size >= 0) {
      h->free -= size;
      p->dirty = 1;
      st.step_has_changes = 1;
      st.last_block = st.newest;
      st.last_off = h->free;
      st.last_size = size;
      return area(p) + h->free;
    }
  }
  *err = ERR_SPILL_IO;
  return nullptr;
}

// Bytes the newest block still has for records (0 without a block).
int32_t undo_newest_room(BufferRec* buf) {
  UndoState& st = undo_state(buf);
  Page* p = nullptr;
  if (st.newest < 0 || get_block(p, st.newest, buf)) return 0;
  return header(p)->free;
}

int32_t fail(int32_t rc) {
  ui_show_error(rc);
  return rc;
}

bool undo_on(const BufferRec* buf) { return buf->undo_enable && buf->undo_limit != 0; }

// ---- store hooks ----

int32_t hook_inserted(BufferRec* buf, int64_t point, int32_t zero) { return undo_record_insert_line(point, zero, buf); }
int32_t hook_deleted(BufferRec* buf, int64_t point, int32_t zero, const uint8_t* raw, int32_t len,
                     const LineEntry* entries, int32_t count) {
  return undo_record_delete_lines(point, zero, raw, len, entries, count, buf);
}
int32_t hook_copied(BufferRec* buf, int64_t point, int32_t zero, int32_t count, int64_t last_point, int32_t last_zero) {
  return undo_record_copy_lines(point, zero, count, last_point, last_zero, buf);
}
int32_t hook_flags(BufferRec* buf, int64_t point, int32_t zero, uint16_t old_flags) {
  return undo_record_line_flags(point, zero, old_flags, buf);
}
int32_t hook_changed(BufferRec* buf, int64_t point, int32_t zero, const uint8_t* old_text, int32_t old_len,
                     const uint8_t* new_text, int32_t new_len, uint16_t old_flags) {
  return undo_record_replace_line(old_text, old_len, new_text, new_len, point, zero, old_flags, buf);
}

// ---- replay handlers ----

int64_t get_i64(const uint8_t* p) {
  return static_cast<int64_t>(le::get_u32(p)) | (static_cast<int64_t>(le::get_i32(p + 4)) << 32);
}
void put_i64(uint8_t* p, int64_t v) {
  le::put_u32(p, static_cast<uint32_t>(v));
  le::put_i32(p + 4, static_cast<int32_t>(v >> 32));
}

constexpr int kHintSteps = 64;  // steps of the walk from the hint

void hint_set(const PosRecord* at) {
  if (!g.hint_linked) return;
  pos_copy_place(&g.hint, at);
}

bool hint_walk(PosRecord* pos, BufferRec* buf, int64_t point) {
  if (!g.hint_linked || buf->record_len || g.hint.block < 0) return false;  // records may be empty: no unique start
  PosRecord q{};
  pos_copy_place(&q, &g.hint);
  q.buffer = buf;
  int64_t at = q.base + q.offset;
  const bool down = at < point;
  for (int i = 0; i <= kHintSteps; ++i) {
    if (at == point) {
      *pos = q;
      return true;
    }
    if (down != (at < point)) return false;  // passed it: not a line start
    if ((down ? pos_next_line(&q, buf) : pos_prev_line(&q, buf)) != 0) return false;
    at = q.base + q.offset;
  }
  return false;
}

int32_t goto_point(PosRecord* pos, BufferRec* buf, int64_t point, int32_t zero) {
  if (zero == 0 && hint_walk(pos, buf, point)) {
    hint_set(pos);
    return 0;
  }
  *pos = PosRecord{};
  pos->buffer = buf;
  pos->line = -1;
  int32_t rc = pos_goto_point(pos, point, zero);
  if (rc == 0) hint_set(pos);
  return rc;
}

int32_t replay_inserted(const uint8_t* r, BufferRec* buf) {
  PosRecord q;
  int32_t rc = goto_point(&q, buf, get_i64(r + 8), le::get_i32(r + 4));
  if (rc) return rc;
  rc = pos_next_line(&q, buf);
  if (rc) return rc;
  rc = line_delete(&q, buf);
  if (rc == ERR_BOTTOM_OF_FILE) rc = 0;
  g.replay.mask |= kUndoLinesRemoved;
  return rc;
}

// The lines of a kind-7 record as a source for the store's run insertion.
class RecordLines final : public LineSource {
 public:
  explicit RecordLines(const uint8_t* r)
      : count_(std::abs(le::get_i32(r + 16))), text_(r + 24), table_(r + 24 + le::get_u32(r + 20)) {}
  int32_t next(RunLine& l) override {
    if (i_ >= count_) return 0;
    const uint8_t* e = table_ + 4 * i_++;
    l = RunLine{text_, le::get_u16(e + 2), le::get_u16(e), true};
    text_ += l.len;
    return 1;
  }

 private:
  int32_t count_;
  int32_t i_ = 0;
  const uint8_t* text_;
  const uint8_t* table_;
};

// Deleted lines come back after the line above the place they stood at, in
// one run however many the record holds.
int32_t replay_deleted(const uint8_t* r, BufferRec* buf) {
  PosRecord q;
  int32_t rc = goto_point(&q, buf, get_i64(r + 8), le::get_i32(r + 4));
  if (rc == 0) {
    rc = pos_prev_line(&q, buf);  // the line that stood above the deleted ones
  } else if (rc == ERR_INVALID_POINT) {
    rc = 0;  // they were the last lines: q stands on the new last line
  }
  if (rc) return rc;
  RecordLines lines(r);
  int32_t n = 0;
  rc = lines_insert_run(&q, buf, lines, nullptr, &n);
  g.replay.mask |= kUndoLinesRestored;
  return rc;
}

// Copied lines go again: the run after the recorded line, page by page.
int32_t replay_copied(const uint8_t* r, BufferRec* buf) {
  PosRecord q;
  int32_t rc = goto_point(&q, buf, get_i64(r + 8), le::get_i32(r + 4));
  if (rc) return rc;
  rc = pos_next_line(&q, buf);
  if (rc) return rc;
  rc = lines_delete_run(&q, le::get_i32(r + 16), buf);
  if (rc == ERR_BOTTOM_OF_FILE) rc = 0;
  g.replay.mask |= kUndoLinesRemoved;
  return rc;
}

// A line's flags as they were, but for the colour state in the low bits.
int32_t replay_flags(const uint8_t* r, BufferRec* buf) {
  PosRecord q;
  int32_t rc = goto_point(&q, buf, get_i64(r + 8), le::get_i32(r + 4));
  if (rc) return rc;
  const int32_t now = line_get_flags(&q, buf);
  if (now < 0) return now;
  const uint16_t old = le::get_u16(r + 16);
  rc = line_set_flags(static_cast<uint16_t>((old & ~kColourBits) | (now & kColourBits)), &q, buf);
  g.replay.mask |= kUndoFlagsRestored;
  return rc;
}

// Flags that a text record brings back itself: no record of their own.
int32_t set_flags_quietly(uint16_t flags, PosRecord* q, BufferRec* buf) {
  const int32_t saved = buf->undo_enable;
  buf->undo_enable = 0;
  const int32_t rc = line_set_flags(flags, q, buf);
  buf->undo_enable = saved;
  return rc;
}

int32_t replay_changed(const uint8_t* r, BufferRec* buf) {
  int32_t first = le::get_i32(r + 4);
  int64_t point = get_i64(r + 8);
  int32_t new_len = le::get_i32(r + 16);
  uint16_t flags = le::get_u16(r + 20);
  int32_t zero = le::get_i32(r + 24);
  int32_t n = le::get_i32(r + 28);
  std::string old(reinterpret_cast<const char*>(r + 32), static_cast<size_t>(n));
  PosRecord q;
  int32_t rc = goto_point(&q, buf, point, zero);
  if (rc) return rc;
  std::string line = line_get_string(&q, buf);
  size_t at = static_cast<size_t>(first - 1);
  if (at > line.size() || at + static_cast<size_t>(new_len) > line.size())
    return ERR_INVALID_POINT;  // not the line this record was written for
  line.replace(at, static_cast<size_t>(new_len), old);
  rc = line_replace_text(line.data(), static_cast<int32_t>(line.size()), &q, buf);
  if (rc) return rc;
  rc = set_flags_quietly(flags, &q, buf);
  g.replay.mask |= kUndoTextRestored;
  return rc;
}

int32_t replay_record(const uint8_t* r, BufferRec* buf) {
  switch (static_cast<UndoKind>(r[0] & kUndoKindMask)) {
    case UndoKind::kColumn:
      g.replay.column = le::get_i32(r + 4);
      g.replay.col_flag = true;
      g.replay.mask |= kUndoCursorRestored;
      return 0;
    case UndoKind::kColumnWord:
      g.replay.column = le::get_i32(r + 4);
      g.replay.word1 = le::get_i32(r + 8);
      g.replay.col_flag = g.replay.word1_flag = true;
      g.replay.mask |= kUndoCursorRestored;
      return 0;
    case UndoKind::kWords:
      if (g.replay.view) {
        g.replay.view->display[1] = le::get_i32(r + 4);
        g.replay.view->display[2] = le::get_i32(r + 8);
      }
      buf->redraw = 1;
      redraw_bits |= kRedrawCaret | kRedrawWindow;
      g.replay.mask |= kUndoCursorRestored;
      return 0;
    case UndoKind::kWord4:
      if (g.replay.view) g.replay.view->display[3] = le::get_i32(r + 4);
      buf->redraw = 1;
      redraw_bits |= kRedrawCaret | kRedrawWindow;
      g.replay.mask |= kUndoCursorRestored;
      return 0;
    case UndoKind::kCopied:
      return replay_copied(r, buf);
    case UndoKind::kFlags:
      return replay_flags(r, buf);
    case UndoKind::kLine:
    case UndoKind::kLineZero:
      g.replay.row = le::get_i32(r + 4);
      g.replay.point = get_i64(r + 8);
      g.replay.zero = (r[0] & kUndoKindMask) == static_cast<uint8_t>(UndoKind::kLineZero) ? le::get_i32(r + 16) : 0;
      g.replay.point_flag = true;
      g.replay.mask |= kUndoCursorRestored;
      return 0;
    case UndoKind::kInserted:
      return replay_inserted(r, buf);
    case UndoKind::kDeleted:
      return replay_deleted(r, buf);
    case UndoKind::kChanged:
    case UndoKind::kChangedZero:
      return replay_changed(r, buf);
    case UndoKind::kModified:
      // "Unmodified" meant: as the file was at that time. A save since then
      // changed the file, so the buffer then differs from it.
      g.replay.modified = le::get_u32(r + 2) == undo_state(buf).saves ? r[1] : 1;
      return 0;
    case UndoKind::kSelection:
      std::memcpy(g.replay.sel, r, sizeof g.replay.sel);
      g.replay.sel_flag = true;
      g.replay.mask |= kUndoSelRestored;
      return 0;
    case UndoKind::kSelAppeared:
      sel_clear(sel_active_peek());
      g.replay.sel_flag = false;
      g.replay.mask |= kUndoSelRestored;
      return 0;
    default:
      return 0;  // markers and records this log does not write
  }
}

// Kind 10 with the modified-at-checkpoint value and the save count; false
// when no block could be had.
bool write_modified(BufferRec* buf, const UndoState& st, int32_t* err) {
  uint8_t* r = undo_alloc(kModifiedSize, buf, err);
  if (!r) return false;
  r[0] = static_cast<uint8_t>(UndoKind::kModified);
  r[1] = buf->modified_at_checkpoint;
  le::put_u32(r + 2, st.saves);
  return true;
}

int32_t record_size(const uint8_t* r) {
  switch (static_cast<UndoKind>(r[0] & kUndoKindMask)) {
    case UndoKind::kColumn:
      return 8;
    case UndoKind::kColumnWord:
      return 12;
    case UndoKind::kLine:
      return 16;
    case UndoKind::kLineZero:
      return 20;
    case UndoKind::kInserted:
      return 16;
    case UndoKind::kDeleted:
      return 24 + static_cast<int32_t>(le::get_u32(r + 20)) + 4 * std::abs(le::get_i32(r + 16));
    case UndoKind::kCopied:
      return 32;
    case UndoKind::kWords:
      return 12;
    case UndoKind::kWord4:
      return 8;
    case UndoKind::kFlags:
      return 20;
    case UndoKind::kChanged:
    case UndoKind::kChangedZero:
      return 32 + le::get_i32(r + 28);
    case UndoKind::kModified:
      return kModifiedSize;
    case UndoKind::kSelection:
      return 40;
    default:
      return 1;
  }
}

void replay_reset(UndoState& st, BufferRec* buf) {
  st.reading = st.newest;
  st.reading_off = area_size();
  Page* p = nullptr;
  if (st.newest >= 0 && get_block(p, st.newest, buf) == 0) st.reading_off = header(p)->free;
}

// Replays records from the reading position until the end of one step (or of
// a run of cursor-only steps in mode 'C'). 0, -2033, or the first error.
int32_t replay_step(char mode, UndoState& st, BufferRec* buf, bool dry) {
  bool replayed = false;
  bool first_cursor_only = false;
  for (;;) {
    if (st.reading < 0) break;
    Page* p = nullptr;
    int32_t rc = get_block(p, st.reading, buf);
    if (rc) return rc;
    if (st.reading_off >= area_size()) {
      int32_t older = header(p)->older;
      if (older < 0) break;
      rc = get_block(p, older, buf);
      if (rc) return rc;
      st.reading = older;
      st.reading_off = header(p)->free;
      continue;
    }
    if (dry) return 0;
    uint8_t* r = area(p) + st.reading_off;
    if (r[0] & kUndoStop) break;
    if (r[0] & kUndoStepEnd) {
      if (!replayed) {
        first_cursor_only = (r[0] & kUndoCursorOnly) != 0;
      } else if (!(mode == 'C' && first_cursor_only && (r[0] & kUndoCursorOnly))) {
        break;
      }
    }
    // Copy the record out: replaying writes records and may evict this page.
    int32_t size = record_size(r);
    std::string rec(reinterpret_cast<const char*>(r), static_cast<size_t>(size));
    st.reading_off += size;
    rc = replay_record(reinterpret_cast<const uint8_t*>(rec.data()), buf);
    replayed = true;
    if (rc < 0) return rc;
  }
  return replayed ? 0 : ERR_NOTHING_TO_UNDO;
}

void free_oldest_block(UndoState& st, BufferRec* buf) {
  int32_t b = st.oldest;
  Page* p = nullptr;
  int32_t newer = -1;
  if (get_block(p, b, buf) == 0) newer = header(p)->newer;
  store_free_block(b);
  st.oldest = newer;
  if (newer < 0) {
    st.newest = -1;
    st.reading = -1;
    return;
  }
  if (get_block(p, newer, buf) == 0) {
    header(p)->older = -1;
    p->dirty = 1;
  }
  if (st.reading == b) replay_reset(st, buf);
}

// Drops the oldest blocks while the buffer holds more steps than its limit.
int32_t enforce_limit(UndoState& st, BufferRec* buf) {
  while (undo_on(buf) && st.redo == 0 && !g.replay.replaying && st.oldest != st.newest &&
         buf->undo_limit < st.total_steps - st.oldest_steps - 1) {
    free_oldest_block(st, buf);
    Page* p = nullptr;
    for (;;) {
      if (get_block(p, st.oldest, buf)) return ERR_SPILL_IO;
      if (header(p)->steps > 0 || st.oldest == st.newest) break;
      free_oldest_block(st, buf);
    }
    st.total_steps -= 1 + st.oldest_steps;
    UndoBlockHeader* h = header(p);
    if (h->steps > 0) {
      area(p)[h->first_step] |= kUndoStop;
      --h->steps;
      p->dirty = 1;
    }
    st.oldest_steps = h->steps;
  }
  return 0;
}

int32_t write_cursor_records(PosRecord* view, UndoState& st, BufferRec* buf) {
  int64_t point = 0;
  int32_t zero = 0;
  if (pos_get_point(point, zero, view)) return 0;
  if (!st.saved_valid) {
    st.saved_valid = 1;
    st.saved_column = view->column;
    st.saved_row = view->row;
    st.saved_point = point;
    st.saved_zero = zero;
    std::memcpy(st.saved_words, view->display, sizeof st.saved_words);
    return 0;
  }
  int32_t err = 0;
  if (view->display[3] != st.saved_words[3]) {
    uint8_t* r = undo_alloc(8, buf, &err);
    if (!r) return 1;
    r[0] = static_cast<uint8_t>(UndoKind::kWord4);
    le::put_i32(r + 4, st.saved_words[3]);
    st.saved_words[3] = view->display[3];
  }
  if (view->display[1] != st.saved_words[1] || view->display[2] != st.saved_words[2]) {
    uint8_t* r = undo_alloc(12, buf, &err);
    if (!r) return 1;
    r[0] = static_cast<uint8_t>(UndoKind::kWords);
    le::put_i32(r + 4, st.saved_words[1]);
    le::put_i32(r + 8, st.saved_words[2]);
    st.saved_words[1] = view->display[1];
    st.saved_words[2] = view->display[2];
  }
  if (view->display[0] != st.saved_words[0]) {
    uint8_t* r = undo_alloc(12, buf, &err);
    if (!r) return 1;
    r[0] = static_cast<uint8_t>(UndoKind::kColumnWord);
    le::put_i32(r + 4, st.saved_column);
    le::put_i32(r + 8, st.saved_words[0]);
    st.saved_column = view->column;
    st.saved_words[0] = view->display[0];
  } else if (view->column != st.saved_column || g.replay.force_column) {
    uint8_t* r = undo_alloc(8, buf, &err);
    if (!r) return 1;
    r[0] = static_cast<uint8_t>(UndoKind::kColumn);
    le::put_i32(r + 4, st.saved_column);
    st.saved_column = view->column;
  }
  if (point != st.saved_point || zero != st.saved_zero || view->row != st.saved_row) {
    bool z = st.saved_zero != 0;
    uint8_t* r = undo_alloc(z ? 20 : 16, buf, &err);
    if (!r) return 1;
    r[0] = static_cast<uint8_t>(z ? UndoKind::kLineZero : UndoKind::kLine);
    le::put_i32(r + 4, st.saved_row);
    put_i64(r + 8, st.saved_point);
    if (z) le::put_i32(r + 16, st.saved_zero);
    st.saved_point = point;
    st.saved_zero = zero;
    st.saved_row = view->row;
  }
  return 0;
}

}  // namespace

// ---- state ----

void undo_install() {
  StoreUndoHooks& h = store_undo_hooks();
  h.inserted = hook_inserted;
  h.deleted = hook_deleted;
  h.changed = hook_changed;
  h.copied = hook_copied;
  h.flags = hook_flags;
  h.dropped = undo_forget_newest;
  store_set_close_hook(undo_free_blocks);
}

UndoState& undo_state(BufferRec* buf) { return g.states[buf]; }

void undo_enable(BufferRec* buf, int32_t steps) {
  if (steps == 0) undo_free_blocks(buf);
  buf->undo_limit = steps;
  buf->undo_enable = steps != 0;
  buf->modified_at_checkpoint = buf->modified;
}

void undo_note_save(BufferRec* buf) {
  UndoState& st = undo_state(buf);
  int32_t err = 0;
  // What this command changed before the save stays in its step, with the
  // state it started from.
  if (undo_on(buf) && (buf->modified != 0) != (buf->modified_at_checkpoint != 0)) write_modified(buf, st, &err);
  ++st.saves;
  buf->modified_at_checkpoint = 0;
}

void undo_free_blocks(BufferRec* buf) {
  auto it = g.states.find(buf);
  if (it == g.states.end()) return;
  int32_t b = it->second.newest;
  while (b >= 0) {
    Page* p = nullptr;
    int32_t older = -1;
    if (store_get_page(p, b, buf) == 0) older = header(p)->older;
    store_free_block(b);
    if (b == it->second.oldest) break;
    b = older;
  }
  g.states.erase(it);
}

int32_t undo_block_count(BufferRec* buf) {
  UndoState& st = undo_state(buf);
  int32_t n = 0;
  for (int32_t b = st.newest; b >= 0; ++n) {
    Page* p = nullptr;
    if (get_block(p, b, buf)) return -1;
    b = header(p)->older;
  }
  return n;
}

// ---- writers ----

int32_t undo_record_text_change(int32_t first, const uint8_t* old_bytes, int32_t old_len, int32_t new_len,
                                int64_t point, int32_t zero, uint16_t old_flags, BufferRec* buf) {
  if (!undo_on(buf)) return 0;
  uint8_t copy[kMaxLineBytes];
  std::memcpy(copy, old_bytes, static_cast<size_t>(old_len));
  int32_t err = 0;
  uint8_t* r = undo_alloc(32 + old_len, buf, &err);
  if (!r) return fail(err);
  r[0] = static_cast<uint8_t>(zero ? UndoKind::kChangedZero : UndoKind::kChanged);
  r[1] = r[2] = r[3] = 0;
  le::put_i32(r + 4, first);
  put_i64(r + 8, point);
  le::put_i32(r + 16, new_len);
  le::put_u16(r + 20, old_flags);
  le::put_u16(r + 22, 0);
  le::put_i32(r + 24, zero);
  le::put_i32(r + 28, old_len);
  std::memcpy(r + 32, copy, static_cast<size_t>(old_len));
  return 0;
}

int32_t undo_record_replace_line(const uint8_t* old_text, int32_t old_len, const uint8_t* new_text, int32_t new_len,
                                 int64_t point, int32_t zero, uint16_t old_flags, BufferRec* buf) {
  if (!undo_on(buf)) return 0;
  int32_t pre = 0;
  while (pre < old_len && pre < new_len && old_text[pre] == new_text[pre]) ++pre;
  int32_t suf = 0;
  while (suf < old_len - pre && suf < new_len - pre && old_text[old_len - 1 - suf] == new_text[new_len - 1 - suf])
    ++suf;
  return undo_record_text_change(pre + 1, old_text + pre, old_len - pre - suf, new_len - pre - suf, point, zero,
                                 old_flags, buf);
}

int32_t undo_record_delete_line(int64_t point, int32_t zero, const uint8_t* raw, int32_t len, uint16_t flags,
                                BufferRec* buf) {
  if (len > kMaxLineBytes) len = kMaxLineBytes;
  const LineEntry e{flags, static_cast<uint16_t>(len)};
  return undo_record_delete_lines(point, zero, raw, len, &e, 1, buf);
}

int32_t undo_record_delete_lines(int64_t point, int32_t zero, const uint8_t* raw, int32_t len, const LineEntry* entries,
                                 int32_t count, BufferRec* buf) {
  if (!undo_on(buf)) return 0;
  (void)len;                  // the entries' lengths say how the text divides
  std::vector<uint8_t> copy;  // raw may lie in a page that goes while blocks are found
  int32_t done = 0;
  while (done < count) {
    // As many lines as the newest block still holds; at least one, in a
    // fresh block when none fits.
    const int32_t room = undo_newest_room(buf);
    const int32_t limit = room >= 24 + 4 + entries[done].length ? room : area_size();
    int32_t n = 0, bytes = 0;
    while (done + n < count && 24 + bytes + entries[done + n].length + 4 * (n + 1) <= limit) {
      bytes += entries[done + n].length;
      ++n;
    }
    copy.assign(raw, raw + bytes);
    int32_t err = 0;
    uint8_t* r = undo_alloc(24 + bytes + 4 * n, buf, &err);
    if (!r) return fail(err);
    r[0] = static_cast<uint8_t>(UndoKind::kDeleted);
    r[1] = r[2] = r[3] = 0;
    le::put_i32(r + 4, zero);
    put_i64(r + 8, point);
    le::put_i32(r + 16, n * g.deletion_sign);
    le::put_u32(r + 20, static_cast<uint32_t>(bytes));
    if (bytes > 0) std::memcpy(r + 24, copy.data(), static_cast<size_t>(bytes));
    for (int32_t i = 0; i < n; ++i) {
      le::put_u16(r + 24 + bytes + 4 * i, entries[done + i].flags);
      le::put_u16(r + 26 + bytes + 4 * i, entries[done + i].length);
    }
    raw += bytes;
    done += n;
  }
  return 0;
}

int32_t undo_record_copy_lines(int64_t point, int32_t zero, int32_t count, int64_t last_point, int32_t last_zero,
                               BufferRec* buf) {
  if (!undo_on(buf)) return 0;
  int32_t err = 0;
  uint8_t* r = undo_alloc(32, buf, &err);
  if (!r) return fail(err);
  r[0] = static_cast<uint8_t>(UndoKind::kCopied);
  r[1] = r[2] = r[3] = 0;
  le::put_i32(r + 4, zero);
  put_i64(r + 8, point);
  le::put_i32(r + 16, count);
  le::put_i32(r + 20, last_zero);
  put_i64(r + 24, last_point);
  return 0;
}

int32_t undo_record_line_flags(int64_t point, int32_t zero, uint16_t old_flags, BufferRec* buf) {
  if (!undo_on(buf)) return 0;
  int32_t err = 0;
  uint8_t* r = undo_alloc(20, buf, &err);
  if (!r) return fail(err);
  r[0] = static_cast<uint8_t>(UndoKind::kFlags);
  r[1] = r[2] = r[3] = 0;
  le::put_i32(r + 4, zero);
  put_i64(r + 8, point);
  le::put_u16(r + 16, old_flags);
  le::put_u16(r + 18, 0);
  return 0;
}

int32_t undo_record_insert_line(int64_t point, int32_t zero, BufferRec* buf) {
  if (!undo_on(buf)) return 0;
  int32_t err = 0;
  uint8_t* r = undo_alloc(16, buf, &err);
  if (!r) return fail(err);
  r[0] = static_cast<uint8_t>(UndoKind::kInserted);
  r[1] = r[2] = r[3] = 0;
  le::put_i32(r + 4, zero);
  put_i64(r + 8, point);
  return 0;
}

int32_t undo_record_marker(BufferRec* buf) {
  if (!undo_on(buf)) return 0;
  int32_t err = 0;
  uint8_t* r = undo_alloc(1, buf, &err);
  if (!r) return fail(err);
  r[0] = static_cast<uint8_t>(UndoKind::kMarker);
  return 0;
}

void undo_forget_newest(BufferRec* buf) {
  UndoState& st = undo_state(buf);
  if (st.last_block < 0 || st.last_block != st.newest) return;
  Page* p = nullptr;
  if (get_block(p, st.newest, buf)) return;
  UndoBlockHeader* h = header(p);
  if (h->free != st.last_off) return;
  h->free += st.last_size;
  p->dirty = 1;
  st.last_block = -1;
}

// ---- checkpoints ----

namespace {

// The words of a mark that a checkpoint compares: place, columns, display
// words, line, buffer and kind bytes.
bool mark_differs(const PosRecord* a, const PosRecord* b) {
  return a->block != b->block || a->offset != b->offset || a->index != b->index || a->base != b->base ||
         a->column != b->column || a->row != b->row || std::memcmp(a->display, b->display, sizeof a->display) != 0 ||
         a->line != b->line || a->buffer != b->buffer || std::memcmp(a->kind, b->kind, sizeof a->kind) != 0;
}

int32_t write_sel_appeared(BufferRec* buf) {
  if (!undo_on(buf)) return 0;
  int32_t err = 0;
  uint8_t* r = undo_alloc(1, buf, &err);
  if (!r) return err;
  r[0] = static_cast<uint8_t>(UndoKind::kSelAppeared);
  return 0;
}

int32_t write_sel_record(const SelCopy& c) {
  BufferRec* old = c.begin.buffer;
  if (!old || !undo_on(old)) return 0;
  int32_t err = 0;
  uint8_t* r = undo_alloc(40, old, &err);
  if (!r) return err;
  std::memset(r, 0, 40);
  r[0] = static_cast<uint8_t>(UndoKind::kSelection);
  le::put_i32(r + 4, c.begin_zero);
  put_i64(r + 8, c.begin_point);
  le::put_i32(r + 16, c.begin.column);
  le::put_i32(r + 20, c.end_zero);
  put_i64(r + 24, c.end_point);
  le::put_i32(r + 32, c.end.column);
  r[36] = c.begin.kind[1];
  r[37] = c.begin.kind[2];
  r[38] = c.begin.kind[3];
  return 0;
}

}  // namespace

bool sel_changed_since_saved() {
  SelectionMarks* s = sel_active_peek();
  if (!s) return false;
  if (!g.sel_copy.valid) return true;
  return mark_differs(s->begin, &g.sel_copy.begin) || mark_differs(s->end, &g.sel_copy.end);
}

void sel_save_copy() {
  SelectionMarks* s = sel_active_peek();
  if (!s) return;
  g.sel_copy.begin = *s->begin;
  g.sel_copy.end = *s->end;
  g.sel_copy.valid = true;
  if (sel_kind(s) != kSelNone) {
    pos_get_point(g.sel_copy.begin_point, g.sel_copy.begin_zero, s->begin);
    pos_get_point(g.sel_copy.end_point, g.sel_copy.end_zero, s->end);
  }
}

int32_t undo_record_selection() {
  if (!sel_changed_since_saved()) return 0;
  SelectionMarks* s = sel_active_peek();
  bool had = g.sel_copy.valid && g.sel_copy.begin.kind[1] != kSelNone;
  uint8_t now = sel_kind(s);
  int32_t rc = 0;
  if (had) {
    if (now != kSelNone && s->begin->buffer != g.sel_copy.begin.buffer) rc = write_sel_appeared(s->begin->buffer);
    if (rc == 0) rc = write_sel_record(g.sel_copy);
  } else if (now != kSelNone) {
    rc = write_sel_appeared(s->begin->buffer);
  }
  sel_save_copy();
  return rc;
}

void undo_forget_selection() { g.sel_copy = SelCopy{}; }

int32_t undo_checkpoint(PosRecord* view, BufferRec* buf) {
  undo_record_selection();
  UndoState& st = undo_state(buf);
  int32_t err = 0;
  if ((buf->modified != 0) != (buf->modified_at_checkpoint != 0)) {
    if (undo_on(buf) && !write_modified(buf, st, &err)) return 0;
    buf->modified_at_checkpoint = buf->modified;
  }
  int32_t result = 0;
  uint8_t cursor_only = 0;
  if (undo_on(buf)) {
    uint8_t had = st.step_has_changes;
    if (view) result = write_cursor_records(view, st, buf);
    if (!had && st.step_has_changes) {
      cursor_only = kUndoCursorOnly;
      if (!undo_cursor_steps) st.step_has_changes = 0;
    }
  } else if (view) {
    st.saved_valid = 0;
  }
  if (undo_on(buf) && st.newest >= 0) {
    Page* p = nullptr;
    if (get_block(p, st.newest, buf) == 0) {
      UndoBlockHeader* h = header(p);
      if (h->free < area_size() && !(area(p)[h->free] & kUndoStepEnd)) {
        area(p)[h->free] |= static_cast<uint8_t>(kUndoStepEnd | cursor_only);
        if (h->steps == 0) h->first_step = h->free;
        h->steps += st.step_has_changes;
        st.total_steps += st.step_has_changes;
        if (st.oldest == st.newest) st.oldest_steps = h->steps;
        p->dirty = 1;
        st.last_block = -1;  // a closed record is never taken back
      }
    }
    int32_t rc = enforce_limit(st, buf);
    if (rc) {
      st.step_has_changes = 0;
      return rc;
    }
  }
  st.step_has_changes = 0;
  return result;
}

// ---- undo and redo ----

int32_t undo_step(char mode, PosRecord* view, BufferRec* buf) {
  UndoState& st = undo_state(buf);
  int32_t none = mode == 'R' ? ERR_NOTHING_TO_REDO : ERR_NOTHING_TO_UNDO;
  if (!undo_on(buf) || st.newest < 0) return none;
  if (mode == 'R') {
    if (st.redo == 0) return ERR_NOTHING_TO_REDO;
    if (st.redo > 0) {
      st.redo = -st.redo;
      replay_reset(st, buf);
    }
  } else if (st.redo < 1) {
    st.redo = 0;
    replay_reset(st, buf);
  }
  g.replay = ReplayState{};
  g.replay.replaying = true;
  g.replay.modified = buf->modified;
  g.replay.view = view;
  if (view) {
    g.replay.column = view->column;
    g.replay.row = view->row;
  }
  g.hint = PosRecord{};
  g.hint.block = -1;
  g.hint.line = -1;
  pos_link_to_buffer(&g.hint, buf);
  g.hint_linked = true;
  int32_t rc = replay_step(mode, st, buf, false);
  g.hint_linked = false;
  pos_unlink_from_buffer(&g.hint);
  int32_t mask = g.replay.mask;
  const bool modified_before = buf->modified != 0;
  if (rc == 0) {
    if (buf->modified && !g.replay.modified) {
      mask |= kUndoUnmodified;
      buf->modified = 0;
    } else if (!buf->modified && g.replay.modified) {
      buf->modified = 1;
    }
    if (view && g.replay.point_flag) {
      PosRecord q = *view;
      if (pos_goto_point(&q, g.replay.point, g.replay.zero) == 0) {
        pos_copy_place(view, &q);
        // The recorded row, when it lies in the window; a full redraw then.
        const WindowObject* w = window_record(view->owner);
        const int32_t height = w ? std::max(w->rows, 1) : window_height_current();
        if (g.replay.row != view->row && g.replay.row >= 0 && g.replay.row < height) {
          view->row = g.replay.row;
          redraw_bits |= kRedrawWindow;
        }
      }
    }
    if (view && g.replay.col_flag) {
      view->column = g.replay.column;
      if (g.replay.word1_flag) {
        view->display[0] = g.replay.word1;
        redraw_bits |= kRedrawWindow;
      }
      redraw_bits |= kRedrawColField;
    }
    // What the refresh must repaint, and rows that fit the lines again.
    buf->redraw = 1;
    redraw_bits |= kRedrawCaret | kRedrawLineField;
    if (mask & (kUndoLinesRestored | kUndoLinesRemoved | kUndoTextRestored | kUndoFlagsRestored))
      redraw_bits |= kRedrawLines | kRedrawWindow;
    if ((buf->modified != 0) != modified_before) redraw_bits |= kRedrawCaption;
    view_fix_rows(nullptr, buf);
    if (g.replay.sel_flag) {  // the active selection as it was
      const uint8_t* r = g.replay.sel;
      SelectionMarks* s = sel_active();
      sel_clear(s);
      PosRecord q{};
      q.buffer = buf;
      q.line = -1;
      if (pos_goto_point(&q, get_i64(r + 8), le::get_i32(r + 4)) == 0) {
        q.column = le::get_i32(r + 16);
        sel_start(s, r[36], &q);
        PosRecord e{};
        e.buffer = buf;
        e.line = -1;
        if (pos_goto_point(&e, get_i64(r + 24), le::get_i32(r + 20)) == 0) {
          pos_copy_place(s->end, &e);
        }
        s->begin->column = le::get_i32(r + 16);
        s->end->column = le::get_i32(r + 32);
        s->begin->kind[2] = r[37];
        s->begin->kind[3] = r[38];
      }
    }
  }
  if (rc == ERR_NOTHING_TO_UNDO && mode == 'R') rc = ERR_NOTHING_TO_REDO;
  if (rc == 0 && !g.replay.written) g.replay.force_column = true;
  undo_checkpoint(view, buf);  // closes the inverse step (its limit check waits: replaying)
  g.replay.force_column = false;
  if (g.replay.written) ++st.redo;
  g.replay.replaying = false;
  return rc ? rc : mask;
}

int32_t undo_can_step(char mode, BufferRec* buf) {
  UndoState& st = undo_state(buf);
  int32_t none = mode == 'R' ? ERR_NOTHING_TO_REDO : ERR_NOTHING_TO_UNDO;
  if (!undo_on(buf) || st.newest < 0) return none;
  if (mode == 'R') return st.redo != 0 ? 0 : ERR_NOTHING_TO_REDO;
  if (st.redo < 0) return 0;
  if (st.redo == 0) replay_reset(st, buf);
  return replay_step(mode, st, buf, true);
}

// Sets the deletion sign for a multi-line deletion (selections use it).
void undo_set_deletion_sign(int32_t sign) { g.deletion_sign = sign; }
