// Control operations on the windows of objects (see obj_window_ctl.h).
#include "forms/obj_window_ctl.h"

#include <algorithm>

// The macro runtime first: the window system's headers bring in Xlib.
#include "forms/bi_objects.h"
#include "forms/ctl_props.h"
#include "forms/input_field.h"
#include "forms/native.h"
#include "forms/objects.h"
#include "forms/prop_dispatch.h"
#include "macro/command_port.h"
#include "winsys/winapi.h"
#include "winsys/winapi_scroll.h"

namespace {

constexpr int32_t kTextCap = 1024;
constexpr int32_t kFieldTextLeft = 2;  // the field's text starts this far in

InputField* field(WindowObject* o) { return o ? ctl_text_field(o) : nullptr; }

// An edit message to the field's window; headless, the model's own step.
void edit(WindowObject* o, uint32_t message, intptr_t mp1, intptr_t mp2, void (*model)(InputField&)) {
  InputField* f = field(o);
  if (!f) return;
  if (f->window) {
    WinSendMsg(f->window, message, mp1, mp2);
  } else if (model) {
    model(*f);
  }
}

}  // namespace

void ctl_text_insert(WindowObject* o, std::string_view text) {
  InputField* f = field(o);
  if (!f) return;
  LStrLine t;
  t.assign(text.substr(0, LSTR_CAP_LINE));
  if (f->window)
    WinSendMsg(f->window, ZWM_EDIT_INSERT, 0, reinterpret_cast<intptr_t>(&t));
  else
    ifield_insert(*f, t.view());
}
void ctl_text_delete_char(WindowObject* o) { edit(o, ZWM_EDIT_DELETE, 0, 0, ifield_delete); }
void ctl_text_cursor_left(WindowObject* o) { edit(o, ZWM_EDIT_LEFT, 0, 0, ifield_left); }
void ctl_text_cursor_right(WindowObject* o) { edit(o, ZWM_EDIT_RIGHT, 0, 0, ifield_right); }
void ctl_text_backspace(WindowObject* o) { edit(o, ZWM_EDIT_BACKSPACE, 0, 0, ifield_backspace); }

void ctl_text_set_insert_mode(WindowObject* o, bool insert) {
  InputField* f = field(o);
  if (!f) return;
  if (f->window)
    WinSendMsg(f->window, ZWM_EDIT_SETINSERTMODE, 1, insert ? 1 : 0);
  else
    f->insert_mode = insert ? 1 : 0;
}
bool ctl_text_get_insert_mode(WindowObject* o) {
  InputField* f = field(o);
  return f ? f->insert_mode != 0 : true;
}

int32_t ctl_text_col_to_x(WindowObject* o, int32_t value, int32_t mode) {
  InputField* f = field(o);
  if (!f) return -1;
  if (mode == kXToCol) {
    const int32_t r = f->window ? static_cast<int32_t>(WinSendMsg(f->window, ZWM_EDIT_CHARFROMPOS, value, 0))
                                : std::clamp((value - kFieldTextLeft + f->scroll) / 8, 0,
                                             static_cast<int32_t>(ifield_text(*f).size()));
    return r < 0 ? r : r + 1;
  }
  const std::string_view text = ifield_text(*f);
  const int32_t n = std::clamp(value, 0, static_cast<int32_t>(text.size()));
  WindowObject* owner = f->owner ? f->owner : o;
  const int32_t x = kFieldTextLeft + obj_text_width(owner, text.substr(0, static_cast<size_t>(n))) - f->scroll;
  return x < 0 ? x : x + 1;
}

void ctl_text_set_sel(WindowObject* o, int32_t start, int32_t end) {
  InputField* f = field(o);
  if (!f) return;
  if (f->window)
    WinSendMsg(f->window, ZWM_EDIT_SETSEL, start - 1, end - 1);
  else
    ifield_set_sel(*f, start - 1, end - 1);
}
void ctl_text_get_sel(WindowObject* o, int32_t* start, int32_t* end) {
  *start = *end = 0;
  InputField* f = field(o);
  if (!f) return;
  int32_t caret = 0;
  const int32_t anchor =
      f->window ? static_cast<int32_t>(WinSendMsg(f->window, ZWM_EDIT_QUERYSEL, 0, reinterpret_cast<intptr_t>(&caret)))
                : ifield_query_sel(*f, &caret);
  *start = anchor + 1;
  *end = caret + 1;
}

std::string ctl_text_get_text(WindowObject* o) {
  InputField* f = field(o);
  if (!f) return std::string();
  LStrLine t;
  if (f->window)
    WinSendMsg(f->window, ZWM_EDIT_GETTEXT, kTextCap, reinterpret_cast<intptr_t>(&t));
  else
    ifield_get_text(*f, kTextCap, t.ls());
  return std::string(t.view());
}

void ctl_text_set_text(WindowObject* o, std::string_view text, int32_t start, int32_t end) {
  InputField* f = field(o);
  if (!f) return;
  LStrLine t;
  t.assign(text.substr(0, LSTR_CAP_LINE));
  if (f->window)
    WinSendMsg(f->window, ZWM_EDIT_SETTEXT, 0, reinterpret_cast<intptr_t>(&t));
  else
    ifield_set_text(*f, t.view());
  if (start >= 1) ctl_text_set_sel(o, start, end < 0 ? start : end);
}

// The window's text is always the caption the object gave it (the window
// layer keeps no copy to read back).
std::string ctl_window_text(WindowObject* o) {
  if (!o || !o->frame_window) return std::string();
  return std::string(prop_block_string(o->props, 29).substr(0, kTextCap));
}

ScrollRangeChange scroll_range_change(int32_t cur_min, int32_t cur_max, int32_t min, int32_t max, int32_t page,
                                      bool force) {
  ScrollRangeChange c;
  if (max < min) max = min;
  c.min = min, c.max = max, c.page = page;
  if (cur_min != min || cur_max != max + page) c.mask |= kSifRange;
  if (force) c.mask |= kSifPage;
  return c;
}

void ctl_scroll_set_range(WindowObject* o, int32_t min, int32_t max, int32_t bar, int32_t page, bool force) {
  XfWindow* w = o ? o->client_window : nullptr;
  if (!w) return;
  if (bar != kSelectHorz && bar != kSelectVert) bar = 0;
  int32_t cur_min = 0, cur_max = 0;
  WinQueryScrollRange(w, &cur_min, &cur_max, bar);
  const ScrollRangeChange c = scroll_range_change(cur_min, cur_max, min, max, page, force);
  if (!c.mask) return;
  ScrollInfo info{sizeof(ScrollInfo), c.mask, c.min, c.max, c.page, 0};
  WinSetScrollInfo(w, &info, bar);
}

char obj_window_state(WindowObject* o) {
  const char s = o ? native_ops(o).get_state(o) : 0;
  return s ? s : 'N';
}
// The command executor's check of the edit window: no window, no state.
char cmd_window_state(const WindowObject* w) { return w ? native_ops(w).get_state(w) : 0; }
void obj_set_window_state(WindowObject* o, char state) {
  if (o) native_ops(o).set_state(o, state == 'I' || state == 'M' ? state : 'N');
}

bool obj_is_changed(const WindowObject* o) { return o && o->changed; }

void obj_mark_changed_band(WindowObject* o) {
  if (!o || o->changed) return;
  o->changed = 1;
  obj_mark_changed(o);
}
