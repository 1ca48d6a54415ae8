// List boxes' buffers (see ctl_list.h).
#include "forms/ctl_list.h"

#include "base/messages.h"
#include "forms/objects.h"
#include "text/buffer_rec.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/undo.h"

namespace {

// Runs f with obj current, restoring the previous current object after.
template <class F>
void with_current(WindowObject* obj, F f) {
  WindowSave save;
  window_push_current(obj, save);
  f();
  window_pop_current(save);
}

}  // namespace

int32_t list_create_buffer(WindowObject* list) {
  if (!list || list->type != kObjList || list->view) return 0;
  BufCreateArgs a;
  a.name = "";
  a.window = list;
  a.undo_steps = kListUndoSteps;
  BufferRec* b = nullptr;
  if (const int32_t rc = buf_create_from_file(&b, a); rc != 0) return rc;
  b->flags |= kBufHidden | kBufDeleteWithWindow;
  int32_t rc = 0;
  with_current(list, [&] {
    // The list keeps its type and window: it is no editor window.
    line_flush_current();
    rc = view_attach_buffer(pos_record(b->own_pos), b, nullptr, 0, true);
    if (rc != 0) return;
    // A new buffer holds one empty line under its top line: a list
    // starts without items.
    line_flush_current();
    if (list->prop19 != 3 && pos_goto_line(1, list->view, b) >= 0) line_delete_current();
    line_flush_current();
  });
  if (rc != 0) {
    buf_close(b);
    return rc;
  }
  undo_enable(b, kListUndoSteps);
  b->undo_limit = kListUndoSteps;
  return 0;
}

void obj_close_own_buffer(WindowObject* obj) {
  if (!obj || !obj->view || obj_is_frame_child(obj)) return;
  BufferRec* b = obj->view->buffer;
  if (!b || !(b->flags & kBufDeleteWithWindow)) return;
  with_current(obj, [&] { buf_close(b); });
}

void list_clear(WindowObject* list) {
  if (!list || !list->view || !list->view->buffer) return;
  with_current(list, [&] {
    int32_t total = 0;
    PosRecord* v = list->view;
    BufferRec* b = v->buffer;
    for (int guard = 0; pos_count_lines(v, b, total) == 0 && total > 0 && guard < 1000000; ++guard) {
      pos_goto_line(1, v, b);
      if (line_delete_current() < 0) break;
      line_flush_current();
    }
  });
}
