// Editor windows without forms: no native window is made (unless a test
// makes the making fail), and a window whose last view is quit gives its
// views back and leaves the ring of editor windows.
#include "tests/support/headless/edit_window_fakes.h"
#include "tests/support/headless/mark.h"
#include "text/buffer.h"
#include "text/edit_window_port.h"

int32_t edit_window_create(WindowObject* w, bool first_edit_window) {
  ++editwintest::windows.created;
  const auto make = editwintest::windows.make;
  return make ? make(w, first_edit_window) : 0;
}

void edit_window_close(WindowObject* w) {
  ++editwintest::windows.closed;
  while (PosRecord* v = w->view) {
    PosRecord* next = v->win_next != v ? v->win_next : nullptr;
    pos_free(v);
    w->view = next;
  }
  window_unlink_edit_list(w);
}
