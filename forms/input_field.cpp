// The input field's editing model and its window class.
#include "forms/input_field.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "display/textctl.h"
#include "forms/cmdline_port.h"
#include "forms/ctl_props.h"
#include "forms/input_translate.h"
#include "forms/objects.h"
#include "forms/routing.h"
#include "winsys/caret.h"
#include "winsys/colours.h"
#include "winsys/draw.h"
#include "winsys/focus.h"
#include "winsys/message_numbers.h"
#include "winsys/winapi.h"
#include "winsys/window.h"

namespace {

int32_t len_of(const InputField& f) { return f.text.size(); }
int32_t clamp_index(const InputField& f, int32_t i) { return std::clamp(i, 0, len_of(f)); }

void erase_range(InputField& f, int32_t from, int32_t to) {
  const int32_t n = len_of(f);
  from = std::clamp(from, 0, n);
  to = std::clamp(to, from, n);
  std::memmove(f.text.text + from, f.text.text + to, static_cast<size_t>(n - to));
  f.text.len = n - (to - from);
}

// Deletes a shown selection; true when there was one.
bool delete_selection(InputField& f) {
  if (!f.selecting) return false;
  const int32_t lo = std::min(f.caret, f.anchor), hi = std::max(f.caret, f.anchor);
  erase_range(f, lo, hi);
  f.caret = f.anchor = lo;
  f.selecting = false;
  f.caret_moved = true;
  ifield_invalidate(f);
  return true;
}

}  // namespace

std::string_view ifield_text(const InputField& f) { return f.text.view(); }

void ifield_invalidate(InputField& f) {
  if (f.paint_requested) return;
  f.paint_requested = true;
  ++f.invalidations;
  if (f.window) {
    const int32_t top = f.height / 2;
    const WinRect strip{0, top, f.width, top + 1};
    WinInvalidateRect(f.window, &strip);
  }
}

void ifield_set_caret(InputField& f, int32_t index) {
  f.caret = clamp_index(f, index);
  f.caret_moved = true;
  const bool was = f.selecting;
  f.anchor = f.caret;
  f.selecting = false;
  if (was) ifield_invalidate(f);
  ifield_invalidate(f);
}

void ifield_set_sel(InputField& f, int32_t anchor, int32_t caret) {
  const bool was = f.selecting;
  const int32_t a = clamp_index(f, anchor);
  ifield_set_caret(f, caret);
  f.anchor = a;
  f.selecting = f.caret != f.anchor;
  if (was || f.selecting) ifield_invalidate(f);
}

int32_t ifield_query_sel(InputField& f, int32_t* caret) {
  if (!f.selecting) f.anchor = f.caret;
  if (caret) *caret = f.caret;
  return f.anchor;
}

void ifield_insert(InputField& f, std::string_view t) {
  delete_selection(f);
  const int32_t n = len_of(f);
  const int32_t at = std::clamp(f.caret, 0, n);
  int32_t put = 0;
  if (f.insert_mode) {
    put = std::min<int32_t>(static_cast<int32_t>(t.size()), kFieldCapacity - n);
    std::memmove(f.text.text + at + put, f.text.text + at, static_cast<size_t>(n - at));
    std::memcpy(f.text.text + at, t.data(), static_cast<size_t>(put));
    f.text.len = n + put;
  } else {
    f.caret_moved = true;
    put = std::min<int32_t>(static_cast<int32_t>(t.size()), kFieldCapacity - at);
    std::memcpy(f.text.text + at, t.data(), static_cast<size_t>(put));
    f.text.len = std::max(n, at + put);
  }
  ifield_invalidate(f);
  f.caret = at;
  for (int32_t i = 0; i < put; ++i) ifield_right(f);
}

void ifield_delete(InputField& f) {
  if (delete_selection(f)) return;
  if (f.caret < len_of(f)) {
    ifield_invalidate(f);
    erase_range(f, f.caret, f.caret + 1);
  }
}

void ifield_backspace(InputField& f) {
  if (!f.selecting) {
    if (f.caret == 0) return;
    ifield_left(f);
  }
  ifield_delete(f);
}

void ifield_left(InputField& f) { ifield_set_caret(f, f.caret - 1); }
void ifield_right(InputField& f) { ifield_set_caret(f, f.caret + 1); }

void ifield_set_text(InputField& f, std::string_view t) {
  f.text.assign(t);
  f.caret = clamp_index(f, f.caret);
  f.anchor = clamp_index(f, f.anchor);
  f.selecting = f.caret != f.anchor;
  f.caret_moved = true;
  ifield_invalidate(f);
}

bool ifield_get_text(const InputField& f, int32_t capacity, LStr* out) {
  // A capacity of 0 or less gives no room to copy into.
  if (capacity <= 0 || len_of(f) > capacity) return false;
  out->len = len_of(f);
  std::memcpy(out->text, f.text.text, static_cast<size_t>(out->len));
  return true;
}

bool ifield_scroll_to_caret(InputField& f, FieldWidthFn width, void* ctx, int32_t text_left, int32_t view_width) {
  const int32_t xc = width(f, f.caret, ctx);
  if (f.scroll > xc) {
    f.scroll = xc;
    return true;
  }
  const int32_t overflow = width(f, f.caret + 1, ctx) - f.scroll + text_left - view_width;
  if (overflow < 1) return false;
  f.scroll += overflow;
  return true;
}

int32_t ifield_char_from_pos(InputField& f, int32_t x, bool fit, FieldWidthFn width, void* ctx, int32_t text_left,
                             int32_t view_width) {
  if (fit) {
    ifield_scroll_to_caret(f, width, ctx, text_left, view_width);
    // Characters counted from the scroll offset: one counts when more than
    // half of it lies left of x.
    int32_t first = 0;
    while (first < kFieldCapacity && width(f, first + 1, ctx) <= f.scroll) ++first;
    int32_t n = 0;
    for (int32_t i = first; i < kFieldCapacity; ++i) {
      const int32_t l = width(f, i, ctx) - f.scroll, r = width(f, i + 1, ctx) - f.scroll;
      if (l + (r - l) / 2 >= x) break;
      ++n;
    }
    return n;
  }
  int32_t i = 0;
  while (i < kFieldCapacity && width(f, i + 1, ctx) <= x) ++i;
  return i;
}

// ---------------------------------------------------------------- the window class

namespace {

constexpr const char* kFieldClass = "zx_input_field";
constexpr int32_t kFieldStyle = static_cast<int32_t>(0x80010000u);
constexpr int32_t kTextLeft = 2;  // pixels between the border and the text

// Fields of windows, and of text controls that have no window.
std::unordered_map<const XfWindow*, std::unique_ptr<InputField>>& window_fields() {
  static std::unordered_map<const XfWindow*, std::unique_ptr<InputField>> m;
  return m;
}
std::unordered_map<int32_t, std::unique_ptr<InputField>>& headless_fields() {
  static std::unordered_map<int32_t, std::unique_ptr<InputField>> m;
  return m;
}

// Widths with the window's font (blanks past the text's end).
struct MeasureCtx {
  DrawContext* dc;
};
// The command line shows the prompt a macro gave it before its text.
std::string_view prompt_of(const InputField& f) {
  return f.owner && f.owner == obj_command_line() ? std::string_view(cmdline_prompt()) : std::string_view();
}
// Where the text starts: after the border, and after the prompt and a blank.
int32_t text_left(const InputField& f, DrawContext* dc) {
  const std::string_view p = prompt_of(f);
  if (p.empty()) return kTextLeft;
  return kTextLeft + WinQueryTextWidth(dc, p.data(), static_cast<int32_t>(p.size())) + WinQueryTextWidth(dc, " ", 1);
}

int32_t measure_width(const InputField& f, int32_t n, void* ctx) {
  auto* m = static_cast<MeasureCtx*>(ctx);
  const int32_t len = f.text.size();
  const int32_t inside = std::min(n, len);
  int32_t w = inside > 0 ? WinQueryTextWidth(m->dc, f.text.text, inside) : 0;
  if (n > len) w += (n - len) * WinQueryTextWidth(m->dc, " ", 1);
  return w;
}

void place_caret(InputField& f, DrawContext* dc) {
  if (!xfHasFocus(f.window)) return;
  if (f.owner && f.owner->design_mode) return;
  MeasureCtx m{dc};
  const int32_t h = WinQueryFontHeight(dc);
  if (f.caret_shape_changed || !f.insert_mode) {
    int32_t w = 2;
    if (!f.insert_mode) w = std::max(1, measure_width(f, f.caret + 1, &m) - measure_width(f, f.caret, &m));
    xfCreateCaret(f.window, w, h, 0);
    xfShowCaret(f.window);
    f.caret_shape_changed = false;
  }
  const int32_t top = std::max(0, (f.height - h) / 2);
  xfSetCaretPos(f.window, text_left(f, dc) + measure_width(f, f.caret, &m) - f.scroll, top);
}

void paint(InputField& f) {
  DrawContext dc{};
  WinRect update{};
  WinBeginPaint(&dc, f.window, &update);
  MeasureCtx m{&dc};
  const int32_t left = text_left(f, &dc);
  ifield_scroll_to_caret(f, measure_width, &m, left, f.width - left);
  const WindowObject* o = f.owner;
  bool enabled = !o || ctl_prop(o, 2) != 0;
  if (o && obj_is_part(o))
    if (const WindowObject* c = obj_get(o->owner)) enabled = enabled && ctl_prop(c, 2) != 0;
  const uint32_t fg = o ? ctl_colour(static_cast<uint32_t>(ctl_prop(o, 35))) : 0;
  const uint32_t bg = o ? ctl_colour(static_cast<uint32_t>(ctl_prop(o, 31))) : 0xFFFFFF;
  const WinRect all{0, 0, f.width, f.height};
  Brush b{};
  WinMakeSolidBrush(&b, bg);
  WinFillRect(&dc, &all, &b);
  const int32_t h = WinQueryFontHeight(&dc);
  const int32_t top = std::max(0, (f.height - h) / 2);
  const int32_t len = f.text.size();
  const int32_t lo = f.selecting ? std::min(f.caret, f.anchor) : len;
  const int32_t hi = f.selecting ? std::max(f.caret, f.anchor) : len;
  // Three runs: before, inside and after the selection.
  const int32_t cuts[4] = {0, lo, hi, len};
  for (int run = 0; run < 3; ++run) {
    const int32_t a = cuts[run], z = cuts[run + 1];
    if (z <= a) continue;
    const bool sel = run == 1;
    WinSetTextColor(&dc, sel ? bg : fg);
    WinSetBkColor(&dc, sel ? fg : bg);
    const int32_t x = left + measure_width(f, a, &m) - f.scroll;
    const WinRect cell{x, top, left + measure_width(f, z, &m) - f.scroll, top + h};
    WinExtTextOut(&dc, x, top, 1, &cell, f.text.text + a, z - a, nullptr);
  }
  if (const std::string_view p = prompt_of(f); !p.empty()) {
    // The prompt over the text that scrolled under it.
    const WinRect cell{0, 0, left, f.height};
    WinSetTextColor(&dc, fg);
    WinSetBkColor(&dc, bg);
    WinExtTextOut(&dc, kTextLeft, top, 1, &cell, p.data(), static_cast<int32_t>(p.size()), nullptr);
  }
  if (!enabled) {
    Brush s{};
    WinMakeHatchBrush(&s, bg, 18);
    WinFillRect(&dc, &all, &s);
  }
  if (f.caret_moved) {
    f.caret_shape_changed = true;
    place_caret(f, &dc);
    f.caret_moved = false;
  }
  f.paint_requested = false;
  WinEndPaint(&dc, f.window);
}

// ON-CHANGE through the window's own procedure chain (the control procedure
// raises it for the object).
void announce_change(XfWindow* w) { WinSendMsg(w, ZWM_OBJEVENT, kEvOnChange, 0); }

int32_t field_char_from_pos(InputField& f, int32_t x, bool fit) {
  DrawContext dc{};
  WinGetPS(&dc, f.window);
  MeasureCtx m{&dc};
  const int32_t left = text_left(f, &dc);
  const int32_t r = ifield_char_from_pos(f, x, fit, measure_width, &m, left, f.width - left);
  WinReleasePS(&dc);
  return r;
}

}  // namespace

InputField* ifield_from_hwnd(XfWindow* window) {
  auto it = window_fields().find(window);
  return it == window_fields().end() ? nullptr : it->second.get();
}

int32_t ctl_input_field_register() { return WinRegisterClass(kFieldClass, ctl_input_field_proc, 0, kFieldStyle); }

XfWindow* ctl_input_field_create(XfWindow* parent, WindowObject* owner, int32_t x, int32_t y, int32_t cx, int32_t cy,
                                 uint32_t id) {
  return WinCreateStdWindow(kCreateChild, 0, kFieldClass, nullptr, 0x800004, x, y, cx, cy, parent, id, owner, nullptr);
}

intptr_t ctl_input_field_proc(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2) {
  if (message == ZWM_CREATE) {
    auto f = std::make_unique<InputField>();
    f->window = window;
    f->owner = static_cast<WindowObject*>(WinCreateParams());
    WinRect r{};
    WinQueryWindowRect(window, &r);
    f->width = r.right - r.left;
    f->height = r.bottom - r.top;
    if (f->owner) {
      if (!f->owner->frame_window) f->owner->frame_window = window;
      f->owner->client_window = window;
      // A text control's headless field hands its text to the window's.
      auto h = headless_fields().find(f->owner->handle);
      if (h != headless_fields().end()) {
        f->text = h->second->text;
        f->caret = h->second->caret;
        f->anchor = h->second->anchor;
        f->selecting = h->second->selecting;
        f->insert_mode = h->second->insert_mode;
        headless_fields().erase(h);
      }
    }
    window_fields()[window] = std::move(f);
    return WinDefWindowProc(window, message, mp1, mp2);
  }
  InputField* f = ifield_from_hwnd(window);
  if (!f) return WinDefWindowProc(window, message, mp1, mp2);
  InputField& F = *f;
  const bool design = F.owner && F.owner->design_mode;
  switch (message) {
    case ZWM_DESTROY:
      xfDestroyCaret(window);
      if (F.owner && F.owner->client_window == window) F.owner->client_window = nullptr;
      window_fields().erase(window);
      return 0;
    case ZWM_SIZE: {
      WinRect r{};
      WinQueryWindowRect(window, &r);
      F.width = r.right - r.left;
      F.height = r.bottom - r.top;
      F.caret_moved = F.caret_shape_changed = true;
      return 0;
    }
    case ZWM_INVALIDATE:
      WinInvalidateRect(window, nullptr);
      return 0;
    case ZWM_KILLFOCUS:
      if (!design) ifield_invalidate(F);
      xfHideCaret(window);
      xfDestroyCaret(window);
      break;
    case ZWM_SETFOCUS:
      if (!design) WinInvalidateRect(window, nullptr);
      F.caret_moved = F.caret_shape_changed = true;
      break;
    case ZWM_SETFONT:
      WinInvalidateRect(window, nullptr);
      F.caret_moved = F.caret_shape_changed = true;
      if (F.owner && F.owner->frame_window)
        WinSendMsg(WinQueryParent(F.owner->frame_window), ZWM_APP_102B, 0, reinterpret_cast<intptr_t>(F.owner));
      return 0;
    case ZWM_SETPOINTER:
      return 0;
    case ZWM_EDIT_INSERT:
      if (mp2) ifield_insert(F, reinterpret_cast<const LStr*>(mp2)->view());
      announce_change(window);
      break;
    case ZWM_EDIT_DELETE:
      ifield_delete(F);
      announce_change(window);
      break;
    case ZWM_EDIT_LEFT:
      ifield_left(F);
      break;
    case ZWM_EDIT_RIGHT:
      ifield_right(F);
      break;
    case ZWM_EDIT_BACKSPACE:
      ifield_backspace(F);
      announce_change(window);
      break;
    case ZWM_EDIT_SETINSERTMODE:
      F.caret_moved = true;
      if (mp1) {
        F.insert_mode = static_cast<uint8_t>(mp2 & 0xFF) ? 1 : 0;
        F.caret_shape_changed = true;
      }
      ifield_invalidate(F);
      break;
    case ZWM_EDIT_CHARFROMPOS:
      return field_char_from_pos(F, static_cast<int32_t>(mp1), mp2 != 0);
    case ZWM_EDIT_QUERYINSERTMODE:
      if (mp2) *reinterpret_cast<uint32_t*>(mp2) = F.insert_mode;
      break;
    case ZWM_EDIT_SETSEL:
      ifield_set_sel(F, static_cast<int32_t>(mp1), static_cast<int32_t>(mp2));
      return 0;
    case ZWM_EDIT_QUERYSEL: {
      int32_t caret = 0;
      const int32_t anchor = ifield_query_sel(F, &caret);
      if (mp2) *reinterpret_cast<int32_t*>(mp2) = caret;
      return anchor;
    }
    case ZWM_EDIT_GETTEXT:
      if (mp2) ifield_get_text(F, static_cast<int32_t>(mp1), reinterpret_cast<LStr*>(mp2));
      return 0;
    case ZWM_EDIT_SETTEXT:
      ifield_set_text(F, mp2 ? reinterpret_cast<const LStr*>(mp2)->view() : std::string_view());
      announce_change(window);
      WinInvalidateRect(window, nullptr);
      return 0;
    case ZWM_PAINT:
      paint(F);
      return 0;
    case ZWM_CHAR:
    case ZWM_LBUTTONDOWN:
      if (F.owner && F.owner == obj_command_line() && cmdline_field_input(window, message, mp1, mp2)) return 0;
      break;
    case ZWM_TIMER:
      // The command line's window owns the macro timers.
      if (F.owner && F.owner == obj_command_line())
        app_translate_input(window, message, mp1, mp2, kMenuNever, kReaderWindowProc);
      return 0;
    default:
      break;
  }
  return WinDefWindowProc(window, message, mp1, mp2);
}

InputField* ctl_text_field(WindowObject* obj) {
  if (!obj) return nullptr;
  if (obj->type == kObjCombo) obj = obj_get(obj->edit_part);
  if (!obj || obj->type != kObjText) return nullptr;
  if (obj->client_window)
    if (InputField* f = ifield_from_hwnd(obj->client_window)) return f;
  auto& m = headless_fields();
  auto it = m.find(obj->handle);
  if (it != m.end() && it->second->owner == obj) return it->second.get();
  auto f = std::make_unique<InputField>();
  f->owner = obj;
  InputField* p = f.get();
  m[obj->handle] = std::move(f);
  return p;
}

bool ctl_text_scroll_to_caret(WindowObject* obj) {
  if (!obj) return true;
  InputField* f = ctl_text_field(obj);
  if (!f) return false;
  if (!f->window) return false;
  DrawContext dc{};
  WinGetPS(&dc, f->window);
  MeasureCtx m{&dc};
  const int32_t left = text_left(*f, &dc);
  const bool changed = ifield_scroll_to_caret(*f, measure_width, &m, left, f->width - left);
  WinReleasePS(&dc);
  if (changed) ifield_invalidate(*f);
  return changed;
}

void ctl_text_fields_reset() { headless_fields().clear(); }
