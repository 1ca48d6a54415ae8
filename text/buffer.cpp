// Buffers, views and the current window: see buffer.h.

#include "text/buffer.h"

#include <unistd.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "base/filename.h"
#include "base/handle_heap.h"
#include "base/handle_table.h"
#include "base/messages.h"
#include "text/buflocal_port.h"
#include "text/curline.h"
#include "text/edit_window_port.h"
#include "text/kbdmac_port.h"
#include "text/load.h"
#include "text/process_port.h"
#include "text/store.h"

BufferRec* buf_cmdline = nullptr;
uint8_t buf_nested_edit = 0;

namespace {

// What the buffer layer keeps: its records, the rings, the cursors of the
// name matchers and the selections' hooks.
struct BufferLayer {
  HandleTable windows = handle_table_make(sizeof(WindowObject), kWindowGrow);
  HandleTable buffers = handle_table_make(sizeof(BufferRec), kBufferGrow);
  HandleTable positions = handle_table_make(sizeof(PosRecord), kPosGrow);

  WindowObject* current = nullptr;
  BufferRec* ring = nullptr;          // one buffer of the ring of all buffers
  WindowObject* edit_head = nullptr;  // one window of the edit-window ring
  int32_t match_cursor = -1;          // buf_match_next's place (a buffer handle)
  int32_t win_cursor = 0;             // window_match_next's place (a window handle)
  int nesting = 0;                    // window_push_current depth
  BufHooks hooks{};
};
BufferLayer g;

// Display words 7..10 of a view; the last is reset whenever a view is shown.
constexpr int kDisplayReset = 3;

template <typename T>
T* fresh(HandleTable* t) {
  void* r = htab_alloc(t);
  if (!r) return nullptr;
  int32_t h = *static_cast<int32_t*>(r);
  T* rec = new (r) T{};
  *reinterpret_cast<int32_t*>(rec) = h;
  return rec;
}

std::string_view strip_blanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool same_file_name(std::string_view a, std::string_view b) {
  LStrName x(a), y(b);
  return file_name_eq(x, y) != 0;
}

void buf_ring_link_after(BufferRec* b, BufferRec* after) {
  if (!after) {
    b->ring_next = b->ring_prev = b;
    g.ring = b;
    return;
  }
  b->ring_prev = after;
  b->ring_next = after->ring_next;
  after->ring_next->ring_prev = b;
  after->ring_next = b;
}

void buf_ring_unlink(BufferRec* b) {
  if (b->ring_next == b || !b->ring_next) {
    if (g.ring == b) g.ring = nullptr;
  } else {
    b->ring_prev->ring_next = b->ring_next;
    b->ring_next->ring_prev = b->ring_prev;
    if (g.ring == b) g.ring = b->ring_next;
  }
  b->ring_next = b->ring_prev = nullptr;
}

// The place and display state a view saves into, or takes from, a buffer's
// own position.
void pos_copy_state(PosRecord* dst, const PosRecord* src) { pos_copy(dst, src); }

PosRecord* own_pos(const BufferRec* b) { return pos_record(b->own_pos); }

// Re-points a shown view at another buffer (steps 4 of showing a buffer).
void view_repoint(PosRecord* v, BufferRec* to, bool save_place) {
  BufferRec* from = v->buffer;
  pos_unlink_from_buffer(v);
  if (save_place && from) {
    if (PosRecord* o = own_pos(from)) pos_copy_state(o, v);
  }
  if (PosRecord* o = own_pos(to)) pos_copy_state(v, o);
  v->buffer = to;
  pos_link_to_buffer(v, to);
}

// Saves a buffer's own position's display words (while no window shows it).
void save_display_words(BufferRec* b) {
  PosRecord* o = own_pos(b);
  if (!o) return;
  b->saved_display[0] = o->column;
  b->saved_display[1] = o->row;
  for (int i = 0; i < 4; ++i) b->saved_display[2 + i] = o->display[i];
}

}  // namespace

// ---- tables ---------------------------------------------------------------------

WindowObject* window_alloc_record() {
  // Handle 0 is no window (window ids > 0 name windows): keep it taken.
  if (g.windows.count == 0 && !fresh<WindowObject>(&g.windows)) return nullptr;
  return fresh<WindowObject>(&g.windows);
}

void window_free_record(WindowObject* w) {
  if (!w) return;
  while (PosRecord* v = w->view) {
    PosRecord* next = v->win_next != v ? v->win_next : nullptr;
    pos_free(v);
    w->view = next;
  }
  window_unlink_edit_list(w);
  if (g.current == w) g.current = nullptr;
  htab_free(&g.windows, w);
}

WindowObject* window_record(int32_t handle) {
  return handle > 0 ? static_cast<WindowObject*>(htab_record(&g.windows, handle)) : nullptr;
}
int32_t window_table_count() { return g.windows.count; }
PosRecord* pos_record(int32_t handle) { return static_cast<PosRecord*>(htab_record(&g.positions, handle)); }
BufferRec* buf_record(int32_t handle) { return static_cast<BufferRec*>(htab_record(&g.buffers, handle)); }

PosRecord* pos_alloc() {
  PosRecord* p = fresh<PosRecord>(&g.positions);
  if (!p) return nullptr;
  p->kind[0] = 1;
  p->display[kDisplayReset] = -1;
  p->owner = -1;
  p->line = -1;
  p->block = -1;
  return p;
}

void pos_free(PosRecord* pos) {
  if (!pos) return;
  if (pos->buf_next) pos_unlink_from_buffer(pos);
  view_unlink_from_window(pos);
  htab_free(&g.positions, pos);
}

void pos_copy(PosRecord* dst, const PosRecord* src) {
  int32_t h = dst->handle, owner = dst->owner;
  PosRecord *wn = dst->win_next, *wp = dst->win_prev, *bn = dst->buf_next, *bp = dst->buf_prev;
  *dst = *src;
  dst->handle = h;
  dst->owner = owner;
  dst->win_next = wn;
  dst->win_prev = wp;
  dst->buf_next = bn;
  dst->buf_prev = bp;
}

void buf_copy_record(BufferRec* dst, const BufferRec* src) {
  BufferRec keep = *dst;
  *dst = *src;
  dst->handle = keep.handle;
  dst->ring_next = keep.ring_next;
  dst->ring_prev = keep.ring_prev;
  dst->own_pos = keep.own_pos;
  dst->pos_ring = keep.pos_ring;
}

void pos_link_new(PosRecord* pos, BufferRec* buf) {
  pos_link_to_buffer(pos, buf);
  pos->win_next = pos->win_prev = pos;
}

void view_link_after(PosRecord* view, PosRecord* after) {
  if (!after) {
    view->win_next = view->win_prev = view;
    return;
  }
  view->win_prev = after;
  view->win_next = after->win_next;
  after->win_next->win_prev = view;
  after->win_next = view;
}

void view_unlink_from_window(PosRecord* view) {
  if (view->win_next && view->win_next != view) {
    view->win_prev->win_next = view->win_next;
    view->win_next->win_prev = view->win_prev;
    if (WindowObject* w = window_record(view->owner); w && w->view == view) w->view = view->win_next;
  } else if (view->owner > 0) {
    if (WindowObject* w = window_record(view->owner); w && w->view == view) w->view = nullptr;
  }
  view->win_next = view->win_prev = nullptr;
}

void window_link_edit_list(WindowObject* w) {
  if (w->edit_next) return;  // already in the ring
  if (!g.edit_head) {
    w->edit_next = w->edit_prev = w;
    g.edit_head = w;
    return;
  }
  w->edit_next = g.edit_head;
  w->edit_prev = g.edit_head->edit_prev;
  g.edit_head->edit_prev->edit_next = w;
  g.edit_head->edit_prev = w;
}

void window_unlink_edit_list(WindowObject* w) {
  if (!w->edit_next) return;
  if (w->edit_next == w) {
    g.edit_head = nullptr;
  } else {
    w->edit_prev->edit_next = w->edit_next;
    w->edit_next->edit_prev = w->edit_prev;
    if (g.edit_head == w) g.edit_head = w->edit_next;
  }
  w->edit_next = w->edit_prev = nullptr;
}

WindowObject* window_edit_list_head() { return g.edit_head; }

// ---- buffers -------------------------------------------------------------------

BufferRec* buf_new() {
  BufferRec* b = fresh<BufferRec>(&g.buffers);
  if (!b) return nullptr;
  PosRecord* o = pos_alloc();
  if (!o) {
    htab_free(&g.buffers, b);
    return nullptr;
  }
  buf_store_defaults(b);
  b->own_pos = o->handle;
  b->locals.mode_name.assign("Fundamental");
  b->wrap_flags = 3;
  b->edit_state = 3;
  for (int i = 0; i < kTabStopCount; ++i) b->tab_stops[i] = edit_settings.tab_stops[i];
  for (int i = 0; i < 3; ++i) b->margins[i] = edit_settings.margins[i];
  b->word_chars.assign("A-Za-z0-9_$");
  pos_link_new(o, b);
  o->owner = -1;
  buflocal_init(b);

  // After the buffer the current window shows, else the first one any window shows.
  BufferRec* after = buf_current();
  if (!after) {
    for (int32_t h = 0; h < g.windows.count && !after; ++h)
      if (WindowObject* w = window_record(h); w && w->view && w->view->buffer) after = w->view->buffer;
  }
  if (!after) after = g.ring;
  buf_ring_link_after(b, after);
  b->redraw = 1;
  redraw_bits |= 0x880;
  return b;
}

void buf_free(BufferRec* buf) {
  if (!buf) return;
  for (int32_t* h : {&buf->char_table, &buf->second_string}) {
    if (*h) hheap_free(static_cast<HeapHandle>(*h));
    *h = 0;
  }
  buflocal_free(buf);
  if (current_line.buffer == buf) {
    current_line.dirty = 0;
    current_line.buffer = nullptr;
    current_line.view = nullptr;
  }
  pos_free(own_pos(buf));
  buf->own_pos = -1;
  buf_ring_unlink(buf);
  if (g.match_cursor == buf->handle) g.match_cursor = -1;
  htab_free(&g.buffers, buf);
}

BufferRec* buf_ring_head() { return g.ring; }
int buf_live_count() { return g.buffers.live; }

// ---- the current window ---------------------------------------------------------

WindowObject* window_current() { return g.current; }
PosRecord* view_current() { return g.current ? g.current->view : nullptr; }
BufferRec* buf_current() {
  PosRecord* v = view_current();
  return v ? v->buffer : nullptr;
}

void buf_swap_locals(BufferRec* previous) {
  if (buf_nested_edit) return;
  BufferRec* cur = buf_current();
  if (cur == previous) return;
  if (previous) buflocal_save(previous);
  if (cur) buflocal_load(cur);
  redraw_bits |= 0x880;
}

void view_activate(PosRecord* view) {
  BufferRec* prev = buf_current();
  WindowObject* w = window_record(view->owner);
  if (!w) w = g.current;  // a buffer's own position: the current window takes it
  if (!w) return;
  g.current = w;
  if (view->owner < 0) view->owner = w->handle;
  w->view = view;
  if (view->buffer) view->buffer->redraw = 1;
  redraw_bits |= 0xffffu & ~0x4100u;
  buf_swap_locals(prev);
}

void window_set_current(WindowObject* obj, int flags) {
  line_flush_current();
  WindowObject* old = g.current;
  BufferRec* prev = buf_current();
  if (obj && obj->view) {
    BufferRec* b = obj->view->buffer;
    uint8_t keep = b ? b->redraw : 0;
    view_activate(obj->view);
    if ((flags & 2) && b) b->redraw = keep;
    return;
  }
  if (prev && !buf_nested_edit) buflocal_save(prev);
  g.current = obj;
  if (flags & 2) return;
  if (old && old->view && (redraw_bits & 0xa042)) {
    redraw_bits &= ~0xa042u;
    redraw_bits |= 3;
  }
  redraw_bits |= 4;
}

void window_make_current_redraw(WindowObject* obj) {
  window_set_current(obj, 0);
  if (BufferRec* b = buf_current()) b->redraw = 1;
  redraw_bits |= 0x20be;
  if (obj && !obj->view) redraw_bits |= 4;
  redraw_bits |= 0x800;
}

void window_push_current(WindowObject* obj, WindowSave& save) {
  ++g.nesting;
  save.current = g.current ? g.current->handle : 0;
  save.generation = g.current ? htab_generation(&g.windows, g.current->handle) : 0;
  save.object = obj ? obj->handle : 0;
  save.bits = redraw_bits;
  window_set_current(obj, 2);
}

void window_pop_current(const WindowSave& save) {
  if (g.nesting > 0) --g.nesting;
  WindowObject* w = window_record(save.current);
  if (w && htab_generation(&g.windows, save.current) == save.generation) window_set_current(w, 2);
  redraw_bits |= save.bits & ~0x100u;
}

// ---- showing buffers --------------------------------------------------------------

int32_t view_attach_buffer(const PosRecord* tmpl, BufferRec* buf, PosRecord** view_out, int flags, bool keep_window) {
  WindowObject* w = g.current;
  if (!w || !buf) return ERR_NOT_ALLOWED_ON_OBJECT;
  const bool had_view = w->view != nullptr;
  PosRecord* v;
  bool made = false;
  if ((flags != 0 && flags != 2) || !had_view) {
    v = pos_alloc();
    if (!v) return ERR_TOO_MANY_SELECTIONS;
    made = true;
    pos_copy(v, tmpl);
    v->kind[0] = 1;
    v->buffer = buf;
    pos_link_to_buffer(v, buf);
    view_link_after(v, w->view);
    w->view = v;
    v->owner = w->handle;
  } else {
    v = w->view;
    view_repoint(v, buf, flags != 2);
  }
  buf->redraw = 1;
  redraw_bits |= 0x203a;
  window_link_edit_list(w);
  if (!had_view && !keep_window) {
    w->type = kObjTypeEditor;
    w->prop19 = 3;
    const bool first = (w->flags & kWinHidden) != 0;
    if (edit_window_create(w, first) != 0) {
      if (made) {
        pos_free(v);
        if (!w->view) window_unlink_edit_list(w);
      }
      return ERR_TOO_MANY_WINDOWS;
    }
  }
  if (!keep_window) {
    view_check_row(v);
    view_fix_rows(v, buf);
  }
  v->display[kDisplayReset] = -1;
  if (view_out) *view_out = v;
  return 0;
}

int32_t view_show_buffer(BufferRec* buf, int flags) {
  line_flush_current();
  BufferRec* prev = buf_current();
  PosRecord* o = own_pos(buf);
  if (!o) return ERR_INVALID_ARGUMENT;
  int32_t rc = view_attach_buffer(o, buf, nullptr, flags, false);
  if (rc == 0) buf_swap_locals(prev);
  return rc;
}

// ---- window ids ------------------------------------------------------------------

int32_t window_id_of(const WindowObject* obj) { return obj ? obj->handle : 0; }

PosRecord* window_id_view(int32_t id) {
  if (id > 0) {
    WindowObject* w = window_record(id);
    return w ? w->view : nullptr;
  }
  if (id == 0) return nullptr;
  PosRecord* p = pos_record(~id);
  return p && p->win_next && p->owner >= 0 && window_record(p->owner) ? p : nullptr;
}

bool window_id_is_valid(int32_t id) {
  if (id > 0) return window_record(id) != nullptr;
  return window_id_view(id) != nullptr;
}

int32_t window_id_activate(int32_t id) {
  if (!window_id_is_valid(id)) return ERR_INVALID_ARGUMENT;
  if (id > 0) {
    window_set_current(window_record(id), 0);
  } else {
    line_flush_current();
    view_activate(window_id_view(id));
  }
  return 0;
}

// ---- lookup by name ---------------------------------------------------------------

namespace {
bool name_matches(const BufferRec* b, std::string_view want, int flags) {
  if ((b->flags & kBufHidden) && !(flags & kMatchHidden)) return false;
  std::string_view have = strip_blanks(b->name.view());
  if (flags & kMatchExact) return same_file_name(have, want);
  return have.substr(0, want.size()) == want;
}
}  // namespace

BufferRec* buf_match_next(std::string_view name, bool restart, int flags) {
  if (restart) g.match_cursor = -1;
  std::string_view want = strip_blanks(name);
  for (int32_t h = g.match_cursor + 1; h < g.buffers.count; ++h) {
    BufferRec* b = buf_record(h);
    if (!b || b == buf_cmdline) continue;
    if (name_matches(b, want, flags)) {
      g.match_cursor = h;
      return b;
    }
  }
  g.match_cursor = g.buffers.count;
  return nullptr;
}

PosRecord* buf_find(std::string_view name) {
  for (int32_t h = 0; h < g.buffers.count; ++h) {
    BufferRec* b = buf_record(h);
    if (b && same_file_name(b->name.view(), name)) return own_pos(b);
  }
  return nullptr;
}

namespace {
bool window_matches(const WindowObject* w, std::string_view want, int flags) {
  if (!w->view || !w->view->buffer) return false;
  if ((w->flags & kWinHidden) && !(flags & kWinMatchHidden)) return false;
  if ((flags & kWinMatchEditMode) && !w->edit_mode) return false;
  if ((flags & kWinMatchNotEditMode) && w->edit_mode) return false;
  std::string_view have = strip_blanks(w->view->buffer->name.view());
  if (flags & kWinMatchExact) return same_file_name(have, want);
  return have.substr(0, want.size()) == want;
}
}  // namespace

WindowObject* window_match_next(std::string_view name, bool restart, int flags) {
  if (restart) g.win_cursor = 0;
  std::string_view want = strip_blanks(name);
  for (int32_t h = g.win_cursor + 1; h < g.windows.count; ++h) {
    WindowObject* w = window_record(h);
    if (w && window_matches(w, want, flags)) {
      g.win_cursor = h;
      return w;
    }
  }
  g.win_cursor = g.windows.count;
  return nullptr;
}

WindowObject* window_find(std::string_view name, int flags) {
  std::string_view want = strip_blanks(name);
  for (int32_t h = 1; h < g.windows.count; ++h)
    if (WindowObject* w = window_record(h); w && window_matches(w, want, flags)) return w;
  return nullptr;
}

// ---- closing ----------------------------------------------------------------------

int32_t buf_close(BufferRec* buf) {
  if (!buf || buf == buf_cmdline) return 1;
  if (proc_is_process_buffer(buf) || kbdmac_is_target_buffer(buf)) return 1;
  line_flush_current();
  buf_nested_edit = 1;
  BufferRec* prev_current = buf_current();

  bool other_visible = false;
  for (BufferRec* b = buf->ring_next; b && b != buf; b = b->ring_next)
    if (!(b->flags & kBufHidden) && b != buf_cmdline) other_visible = true;
  BufferRec* target = nullptr;
  for (BufferRec* b = buf->ring_prev; b && b != buf; b = b->ring_prev) {
    if (b == buf_cmdline) continue;
    if (other_visible && (b->flags & kBufHidden)) continue;
    target = b;
    break;
  }

  // Every view of the buffer, in every window.
  for (int32_t h = 0; h < g.windows.count; ++h) {
    WindowObject* w = window_record(h);
    if (!w || !w->view) continue;
    PosRecord* v = w->view;
    int n = 0;
    for (PosRecord* p = v;; p = p->win_next) {
      ++n;
      if (p->win_next == v) break;
    }
    PosRecord* p = v;
    for (int i = 0; i < n; ++i) {
      PosRecord* next = p->win_next;
      if (p->buffer == buf) {
        if (target) {
          view_repoint(p, target, false);
          target->redraw = 1;
        } else {
          pos_free(p);
        }
      }
      p = next;
    }
    if (!w->view) window_unlink_edit_list(w);
  }

  if (g.hooks.deselect_buffer) g.hooks.deselect_buffer(buf);
  // Positions still in the ring (marks of others) no longer name a buffer.
  PosRecord* o = own_pos(buf);
  while (buf->pos_ring && buf->pos_ring != o) {
    PosRecord* p = buf->pos_ring;
    pos_unlink_from_buffer(p);
    p->buffer = nullptr;
  }
  while (o && o->buf_next && o->buf_next != o) {
    PosRecord* p = o->buf_next;
    pos_unlink_from_buffer(p);
    p->buffer = nullptr;
  }
  store_close_buffer(buf);
  buf_free(buf);
  buf_nested_edit = 0;
  buf_swap_locals(prev_current == buf ? nullptr : prev_current);
  if (BufferRec* c = buf_current()) c->redraw = 1;
  redraw_bits |= 0x20ba;
  return 0;
}

// ---- creating and naming -----------------------------------------------------------

int32_t buf_create_from_file(BufferRec** out, const BufCreateArgs& a) {
  if (out) *out = nullptr;
  BufferRec* b = buf_new();
  if (!b) {
    if (a.fd >= 0) ::close(a.fd);
    return ERR_TOO_MANY_FILES;
  }
  b->name.assign(a.name);
  b->record_len = a.record_len;
  b->source_fd = a.fd;
  b->eol[0] = a.eol[0];
  b->eol[1] = a.eol[1];
  b->keep_open = a.keep_open;
  b->edit_state = 3;
  b->no_tab_expand = 0;
  b->edit_state2 = 0;
  b->backup_state = 4;
  b->load_state = a.read_only ? 1 : 0;
  if (a.read_only) b->locals.mode_name.assign("Read only");
  b->expand_tabs_load = a.expand_tabs ? 1 : 0;
  b->undo_limit = a.undo_steps;
  b->undo_enable = a.undo_steps != 0;
  b->no_reread = a.no_reread ? 1 : 0;
  b->lex_state = 0;
  b->recolour_first = 0;
  b->recolour_last = 0x7fffffff;

  PosRecord* o = own_pos(b);
  StoreLoadOptions opt;
  opt.whole = a.load_mode == 1;
  opt.ctrlz_stop = a.ctrlz_stop;
  opt.mode = a.load_mode;
  opt.eol_given = a.eol_given;
  int32_t rc = store_load_file(o, b, opt);
  if (rc == 0 && a.count_lines && !a.expand_tabs && edit_settings.line_count_display >= 0) {
    int32_t total = 0;
    rc = pos_count_lines(o, b, total);
  }
  if (rc) {
    store_close_buffer(b);
    if (b->source_fd >= 0) ::close(b->source_fd);
    b->source_fd = -1;
    buf_free(b);
    return rc;
  }
  if (a.no_reread) b->no_reread = 1;
  // The row of the own position: its line, with the top-of-file line as row 0 when shown.
  bool shown = edit_settings.show_top_line && (!a.window || a.window->prop19 == 3);
  o->row = o->line < 0 ? 0 : (shown ? o->line : o->line - 1);
  if (o->row < 0) o->row = 0;
  o->display[0] = (o->block == b->first_block && o->index == 0) ? 1 : 0;
  save_display_words(b);
  b->word_chars.assign("A-Za-z0-9_$");
  if (out) *out = b;
  return 0;
}

void buf_set_mode_name(BufferRec* buf, std::string_view name) {
  buf->locals.mode_name.assign(name);
  redraw_bits |= 0x80;
}

int32_t buf_set_name_current(std::string_view name) {
  BufferRec* b = buf_current();
  if (!b) return ERR_NOT_ALLOWED_ON_OBJECT;
  if (same_file_name(b->name.view(), name)) return 0;
  b->name.assign(name);
  b->redraw = 1;
  b->backup_state = 2;
  redraw_bits |= 0x20;
  return 0;
}

int32_t buf_add_local_var_all(int32_t names_index, const void* value, int32_t length) {
  for (int32_t h = 0; h < g.buffers.count; ++h)
    if (BufferRec* b = buf_record(h))
      if (int32_t rc = buflocal_add(b, names_index, value, length); rc) return ERR_NOT_ENOUGH_MEMORY;
  return 0;
}

void view_sync_idle(WindowObject* obj) {
  if (!obj || !obj->view) return;
  if (obj != g.current) window_set_current(obj, 0);
  line_flush_current();
  if (BufferRec* b = obj->view->buffer) view_fix_rows(nullptr, b);
  if (g.hooks.reextend_selection) g.hooks.reextend_selection();
}

void window_close_if_no_view() {
  WindowObject* w = g.current;
  if (!w || w->view) return;
  edit_window_close(w);
}

// ---- switching ---------------------------------------------------------------------------

int32_t buf_switch(int dir, bool hidden, int show_flags, bool keep_redraw) {
  BufferRec* cur = buf_current();
  if (!cur) return ERR_NOT_ALLOWED_ON_OBJECT;
  BufferRec* b = cur;
  do {
    b = dir > 0 ? b->ring_next : b->ring_prev;
  } while (b != cur && (b == buf_cmdline || ((b->flags & kBufHidden) && !hidden)));
  if (b == cur) return 0;
  uint8_t keep = b->redraw;
  int32_t rc = view_show_buffer(b, show_flags);
  if (keep_redraw) b->redraw = keep;
  return rc;
}

int32_t view_switch(int dir) {
  PosRecord* v = view_current();
  if (!v) return ERR_NOT_ALLOWED_ON_OBJECT;
  line_flush_current();
  PosRecord* n = dir > 0 ? v->win_next : v->win_prev;
  if (n && n != v) view_activate(n);
  return 0;
}

int32_t view_quit() {
  WindowObject* w = g.current;
  PosRecord* v = view_current();
  if (!v) return ERR_NOT_ALLOWED_ON_OBJECT;
  if (v->buffer == buf_cmdline) return 0;
  line_flush_current();
  if (v->win_next && v->win_next != v) {
    PosRecord* next = v->win_next;
    pos_free(v);
    w->view = next;
    view_activate(next);
    if (next->buffer) next->buffer->redraw = 1;
    redraw_bits |= 0xa038;
    return 0;
  }
  if (w->owner != 0 && w->type != kObjTypeCombo) return ERR_NOT_ALLOWED_ON_OBJECT;
  edit_window_close(w);
  return 0;
}

namespace {
// Whether one of the window's views shows the buffer.
bool window_shows(const WindowObject* w, const BufferRec* b) {
  const PosRecord* v = w->view;
  for (const PosRecord* p = v; p;) {
    if (p->buffer == b) return true;
    p = p->win_next;
    if (p == v) break;
  }
  return false;
}
}  // namespace

int32_t buf_delete_current() {
  BufferRec* b = buf_current();
  if (!b) return ERR_NOT_ALLOWED_ON_OBJECT;
  // The windows that show it: one left without any view would be dead, so
  // it closes (the buffer was the only one to show).
  std::vector<std::pair<WindowObject*, uint32_t>> showing;
  for (int32_t h = 1; h < g.windows.count; ++h)
    if (WindowObject* w = window_record(h); w && w->view && window_shows(w, b))
      showing.emplace_back(w, htab_generation(&g.windows, h));
  buf_close(b);
  for (auto [w, generation] : showing)
    if (window_record(w->handle) == w && htab_generation(&g.windows, w->handle) == generation && !w->view)
      edit_window_close(w);
  return 0;
}

BufHooks& buf_hooks() { return g.hooks; }

void buf_shutdown() {
  current_line = CurrentLine{};
  view_snap = ViewSnapshot{};
  for (int32_t h = 0; h < g.buffers.count; ++h) {
    if (BufferRec* b = buf_record(h)) {
      store_close_buffer(b);
      buflocal_free(b);
    }
  }
  htab_release(&g.windows);
  htab_release(&g.buffers);
  htab_release(&g.positions);
  g.current = nullptr;
  g.ring = nullptr;
  g.edit_head = nullptr;
  g.match_cursor = -1;
  g.win_cursor = 0;
  g.nesting = 0;
  buf_cmdline = nullptr;
  buf_nested_edit = 0;
  g.hooks = BufHooks{};
}

std::string buf_check() {
  int n = 0;
  if (g.ring) {
    BufferRec* b = g.ring;
    do {
      if (b->ring_next->ring_prev != b) return "buffer ring links disagree";
      if (!buf_record(b->handle)) return "dead buffer in the ring";
      PosRecord* o = own_pos(b);
      if (!o || !pos_in_ring(o, b)) return "own position not in its buffer's ring";
      for (PosRecord* p = b->pos_ring;;) {
        if (p->buffer != b) return "position names another buffer";
        if (p->buf_next->buf_prev != p) return "position ring links disagree";
        p = p->buf_next;
        if (p == b->pos_ring) break;
      }
      ++n;
      b = b->ring_next;
    } while (b != g.ring && n <= g.buffers.count);
  }
  if (n != g.buffers.live) return "ring and table disagree on the buffer count";
  for (int32_t h = 1; h < g.windows.count; ++h) {
    WindowObject* w = window_record(h);
    if (!w || !w->view) continue;
    PosRecord* v = w->view;
    for (PosRecord* p = v;;) {
      if (p->owner != w->handle) return "view owned by another window";
      if (!p->buffer || !pos_in_ring(p, p->buffer)) return "view not in its buffer's ring";
      if (p->win_next->win_prev != p) return "view ring links disagree";
      p = p->win_next;
      if (p == v) break;
    }
  }
  return "";
}
