// The rules every control shares, apart from its window.
#include "forms/ctl_common.h"

#include <algorithm>
#include <vector>

#include "base/messages.h"
#include "forms/ctl_props.h"
#include "forms/objects.h"
#include "forms/routing.h"
#include "macro/catch.h"

namespace {

FocusEvents focus;
CtlEventRaiser raiser = nullptr;

// Raises an event; false when a handler closed the object.
bool raise(WindowObject* obj, EventCode event) {
  const int32_t id = obj->handle;
  const uint32_t serial = obj->serial;
  ctl_raise(obj, event);
  return obj_same(id, serial);
}

}  // namespace

void ctl_set_event_raiser(CtlEventRaiser r) { raiser = r; }
void ctl_raise(WindowObject* obj, EventCode event) {
  if (raiser)
    raiser(obj, event);
  else
    obj_raise_event(obj, event);
}

FocusEvents& focus_events() { return focus; }
void focus_events_reset() { focus = FocusEvents{}; }

void ctl_focus_got(WindowObject* obj, const XfWindow* w) {
  if (!obj) return;
  const bool skip = (w && w == focus.silent) || focus.lost_running || obj->handle == focus.raising;
  if (!skip) {
    if (focus.deferred || focus.pending) {
      focus.pending = obj->handle;
    } else {
      focus.holder = obj->handle;
      focus.raising = obj->handle;
      focus.error = false;
      if (!raise(obj, kEvOnGotFocus)) {
        focus.raising = 0;
        return;
      }
      if (!focus.error) focus.raising = 0;
    }
  }
  focus.raising = 0;
  // The top-level object remembers the control that had the focus last.
  if (WindowObject* top = obj_top_level(obj); top && top != obj) top->focus_child = obj->handle;
}

void ctl_focus_lost(WindowObject* obj, const XfWindow* w) {
  if (!obj) return;
  if ((w && w == focus.silent) || focus.lost_running || focus.deferred || focus.pending) return;
  focus.lost_running = true;
  raise(obj, kEvOnLostFocus);
  focus.lost_running = false;
}

void ctl_deliver_focus_events() {
  if (!focus.pending) return;
  const int32_t next = focus.pending;
  focus.pending = 0;
  if (WindowObject* h = obj_get(focus.holder); h && focus.holder != next) {
    focus.lost_running = true;
    raise(h, kEvOnLostFocus);
    focus.lost_running = false;
  }
  if (WindowObject* n = obj_get(next)) {
    focus.holder = next;
    focus.raising = next;
    raise(n, kEvOnGotFocus);
    focus.raising = 0;
  }
}

WindowObject* ctl_next_tab_stop(WindowObject* from, bool backwards) {
  WindowObject* top = obj_top_level(from);
  if (!top) return nullptr;
  struct Stop {
    int32_t index, order;
    WindowObject* obj;
  };
  struct Walk {
    WindowObject* top;
    std::vector<Stop> stops;
  } walk{top, {}};
  obj_visit_preorder(
      top, &walk,
      [](WindowObject* o, void* a) {
        auto* w = static_cast<Walk*>(a);
        if (o == w->top || !ctl_prop(o, 12) || !ctl_prop(o, 11) || !obj_is_enabled_in_chain(o, true)) return 0;
        const int32_t index = ctl_prop(o, 38);
        if (index >= 1) w->stops.push_back({index, static_cast<int32_t>(w->stops.size()), o});
        return 0;
      },
      false);
  std::vector<Stop>& v = walk.stops;
  std::sort(v.begin(), v.end(),
            [](const Stop& a, const Stop& b) { return a.index != b.index ? a.index < b.index : a.order < b.order; });
  if (v.empty()) return nullptr;
  const auto at = std::find_if(v.begin(), v.end(), [&](const Stop& s) { return s.obj == from; });
  if (at == v.end()) return backwards ? v.back().obj : v.front().obj;
  const size_t i = static_cast<size_t>(at - v.begin());
  const size_t n = v.size();
  WindowObject* next = v[backwards ? (i + n - 1) % n : (i + 1) % n].obj;
  return next == from ? nullptr : next;
}

// ---------------------------------------------------------------- scroll bars

bool ctl_scroll_value(const WindowObject* sb, int32_t code, int32_t position, int32_t* value, EventCode* event) {
  const int32_t now = ctl_prop(sb, 42);
  int32_t v = now;
  *event = kEvOnChange;
  switch (code) {
    case 1:  // line down
      v = now + ctl_prop(sb, 79);
      break;
    case 2:  // line up
      v = now - ctl_prop(sb, 79);
      break;
    case 4:  // page up
      v = now - ctl_prop(sb, 80);
      break;
    case 8:  // page down
      v = now + ctl_prop(sb, 80);
      break;
    case 16:  // thumb track: every position, as ON-SCROLL
      *value = position;
      *event = kEvOnScroll;
      return true;
    case 32:  // thumb position
      v = position;
      break;
    default:
      return false;
  }
  const int32_t lo = ctl_prop(sb, 77), hi = ctl_prop(sb, 78);
  v = std::clamp(v, std::min(lo, hi), std::max(lo, hi));
  if (v == now && code != 32) return false;
  *value = v;
  return true;
}

bool ctl_scroll_notify(WindowObject* sb, int32_t code, int32_t position) {
  int32_t v = 0;
  EventCode ev = 0;
  if (!ctl_scroll_value(sb, code, position, &v, &ev)) return false;
  ctl_prop_set(sb, 42, v);
  raise(sb, ev);
  return true;
}

// ---------------------------------------------------------------- buttons

int32_t check_next_value(int32_t style, int32_t value) {
  switch (style) {
    case 0:
      return value == 0 ? 1 : 0;
    case 1:  // 0 -> 2 -> 1 -> 0
      return value == 0 ? 2 : value == 2 ? 1 : 0;
    case 2:  // 0 -> 1 -> 2 -> 0
      return value == 0 ? 1 : value == 1 ? 2 : 0;
    default:
      return value;
  }
}

void btn_raise_click(WindowObject* obj) {
  if (focus.click_depth >= kObjEventDepthLimit) {
    vm_raise_error(ERR_RECURSION_TOO_DEEP);
    return;
  }
  ++focus.click_depth;
  ctl_raise(obj, kEvLButtonUp);
  --focus.click_depth;
}

void btn_click(WindowObject* o, int32_t notification, SetCheckFn set_check) {
  if (!o) return;
  const bool design = o->design_mode != 0;
  switch (o->type) {
    case kObjRadio: {
      // Every other radio button among the siblings is cleared; radio
      // buttons under another parent are not touched.
      for (WindowObject* s = o->next; s && s != o; s = s->next) {
        if (s->type != kObjRadio) continue;
        if (set_check) set_check(s, 0);
        ctl_prop_set(s, 42, 0);
        s->design_changed = 1;
      }
      if (set_check) set_check(o, 1);
      ctl_prop_set(o, 42, 1);
      o->changed = 1;
      if (!design) btn_raise_click(o);
      break;
    }
    case kObjCheck: {
      const int32_t v = check_next_value(ctl_prop(o, 15), ctl_prop(o, 42));
      if (set_check) set_check(o, v);
      ctl_prop_set(o, 42, v);
      o->changed = 1;
      if (!design) btn_raise_click(o);
      break;
    }
    case kObjCommand: {
      const int32_t n = (notification >> 16) & 0xFFFF;
      if (n == 1) btn_raise_click(o);
      if (n == 2) ctl_raise(o, kEvLButtonDblClk);
      break;
    }
    default:
      break;
  }
}

// ---------------------------------------------------------------- gauge

GaugeBar gauge_bar(int32_t minimum, int32_t maximum, int32_t value, int32_t style, int32_t w, int32_t h) {
  GaugeBar g;
  int32_t range = maximum - minimum, pos = value - minimum;
  if (range < 1) range = 1, pos = 0;
  pos = std::clamp(pos, 0, range);  // a value past the maximum fills the bar, never more
  const int32_t percent = static_cast<int32_t>(int64_t{pos} * 100 / range);
  const int32_t fill_w = static_cast<int32_t>(int64_t{pos} * w / range);
  const int32_t fill_h = static_cast<int32_t>(int64_t{pos} * h / range);
  switch (style) {
    case 0:
    case 1:
      g.text = std::to_string(percent) + "%";
      [[fallthrough]];
    case 2:
      g.right = fill_w;
      g.bottom = h;
      break;
    case 3:
      g.top = h - fill_h;
      g.right = w;
      g.bottom = h;
      break;
    default:
      g.drawn = false;
      break;
  }
  return g;
}

// ---------------------------------------------------------------- natural sizes

int32_t list_natural_height(int32_t wanted, int32_t line, int32_t border, bool border_on, int32_t hbar_height,
                            bool editor_style) {
  int32_t extra = (border_on ? 2 * border : 0) + hbar_height + (editor_style ? 0 : 3);
  line = std::max(line, 1);
  const int32_t rows = std::max(1, (wanted - extra) / line);
  return extra + line * rows;
}

ComboLayout combo_layout_compute(int32_t style, int32_t x, int32_t y, int32_t w, int32_t h, int32_t text_height,
                                 int32_t list_row, int32_t button_picture_w, int32_t pixels_per_inch) {
  ComboLayout c;
  const bool button = style != 1;
  const int32_t th = text_height - 6;
  c.combo_height = h;
  if (button) {
    c.combo_height = th + 6;
    c.button_w = button_picture_w + 4;
    c.button_h = th;
    c.button_y = 3;
    c.button_x = w - c.button_w - 3;
  }
  c.edit_x = c.edit_y = 3;
  c.edit_w = style == 1 ? w - 6 : w - c.button_w - 7;
  c.edit_h = th;
  if (c.edit_w < 3) c.edit_w = 2;
  if (c.edit_h < 3) c.edit_h = 2;
  const int32_t l = std::max(list_row, 1);
  if (style == 1) {
    c.list_h = std::max(1, (h - th - 6) / l) * l + 6;
    c.combo_height = c.list_h + th + 6;
  } else {
    c.list_h = std::max(1, (pixels_per_inch - 6) / l) * l + 6;
  }
  c.list_w = w - 6 < 3 ? 2 : w - 6;
  c.list_x = 3;
  c.list_y = th + 3;
  if (button) {
    c.list_x += x;
    c.list_y += y;
  }
  return c;
}
