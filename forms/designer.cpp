// The form designer: handles, hit tests, the grid and drag tracking (see
// designer.h).
#include "forms/designer.h"

#include <algorithm>

#include "base/le.h"
#include "base/messages.h"
#include "forms/ctl_props.h"
#include "forms/geometry.h"
#include "forms/native.h"
#include "forms/objects.h"
#include "forms/routing.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/stack.h"
#include "macro/state_settings.h"
#include "winsys/draw.h"
#include "winsys/present.h"
#include "winsys/winapi.h"
#include "winsys/winquery.h"

namespace {

DesignerSettings g_settings;
DesignTrack g_track;

// The pointer on the screen: the last event's position is relative to
// whichever window took it, while a drag crosses windows.
void last_event_pointer(int32_t* x, int32_t* y) { xfQueryRootPointer(nullptr, x, y); }
DesignPointerFn g_pointer = last_event_pointer;

bool contains(const WinRect& r, int32_t x, int32_t y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}
bool meets(const WinRect& a, const WinRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
WinRect intersect(const WinRect& a, const WinRect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

// Floor division: the half-way rule's halvings round down.
int32_t half_down(int32_t v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

bool is_top_level(const WindowObject* o) { return o->type == kObjFrame || o->type == kObjForm; }

// Objects the designer never works on.
bool designer_refuses(const WindowObject* o) {
  return !o || o == obj_app_form() || o == obj_frame_object() || o == obj_command_line() || obj_is_frame_child(o) ||
         o->view != nullptr;
}

// Stored position in twips whatever the object's unit.
int32_t to_twips_x(const WindowObject* o, int32_t v) {
  const int32_t unit = obj_container_unit(o, kContainerScale);
  return unit == kScaleTwips ? v : v * screen_metrics().twips_x;
}
int32_t to_twips_y(const WindowObject* o, int32_t v) {
  const int32_t unit = obj_container_unit(o, kContainerScale);
  return unit == kScaleTwips ? v : v * screen_metrics().twips_y;
}
int32_t from_twips_x(const WindowObject* o, int32_t v) {
  const int32_t unit = obj_container_unit(o, kContainerScale);
  return unit == kScaleTwips ? v : twips_to_pixels(v, screen_metrics().twips_x);
}
int32_t from_twips_y(const WindowObject* o, int32_t v) {
  const int32_t unit = obj_container_unit(o, kContainerScale);
  return unit == kScaleTwips ? v : twips_to_pixels(v, screen_metrics().twips_y);
}

// The stored rectangle of o in its parent's client, pixels.
WinRect stored_rect(const WindowObject* o) {
  const int32_t unit = obj_container_unit(o, kContainerScale);
  const int32_t x = ctl_twips_to_pixels_x(unit, ctl_prop(o, 40)), y = ctl_twips_to_pixels_y(unit, ctl_prop(o, 41));
  return {x, y, x + ctl_twips_to_pixels_x(unit, ctl_prop(o, 39)), y + ctl_twips_to_pixels_y(unit, ctl_prop(o, 36))};
}

// Moves the object to (x, y) twips: the block in its unit, then its window.
void move_object(WindowObject* o, int32_t x, int32_t y) {
  ctl_prop_set(o, 40, from_twips_x(o, x));
  ctl_prop_set(o, 41, from_twips_y(o, y));
  o->design_changed = 1;
  const WinRect r = stored_rect(o);
  const int32_t px[4] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
  native_ops(o).set_rect(o, px);
}

// A drawing context on the window that draws over its child windows.
struct OverlayContext {
  DrawContext dc{};
  bool open = false;
  explicit OverlayContext(XfWindow* w) {
    if (w && WinGetPS(&dc, w)) {
      open = true;
      xfSetSubwindowMode(dc.state->ps, 0);
    }
  }
  ~OverlayContext() {
    if (open) {
      xfSetSubwindowMode(dc.state->ps, 99);
      WinReleasePS(&dc);
    }
  }
  OverlayContext(const OverlayContext&) = delete;
  OverlayContext& operator=(const OverlayContext&) = delete;
};

// A one-pixel frame drawn by exclusive or with the colour: drawing it twice
// leaves the screen as it was. The corners are drawn once.
void xor_frame(DrawContext* dc, const WinRect& r, uint32_t colour) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  Brush b{};
  WinMakeSolidBrush(&b, colour);
  b.mix = 7;  // exclusive or
  const WinRect edges[4] = {{r.left, r.top, r.right, r.top + 1},
                            {r.left, r.bottom - 1, r.right, r.bottom},
                            {r.left, r.top + 1, r.left + 1, r.bottom - 1},
                            {r.right - 1, r.top + 1, r.right, r.bottom - 1}};
  const int32_t n = r.bottom - r.top > 1 ? 4 : 1;
  for (int32_t i = 0; i < n; ++i) design_fill_rect(dc, edges[i], b);
}

WindowObject* tracked() { return obj_same(g_track.id, g_track.serial) ? obj_get(g_track.id) : nullptr; }

// One object: the outline at (x, y) twips in its parent's client.
WinRect single_outline(const WindowObject* o, int32_t x, int32_t y) {
  const WinRect s = stored_rect(o);
  const int32_t px = twips_to_pixels(x, screen_metrics().twips_x), py = twips_to_pixels(y, screen_metrics().twips_y);
  return {px, py, px + s.right - s.left, py + s.bottom - s.top};
}

void draw_single(WindowObject* o, int32_t x, int32_t y) {
  XfWindow* w = o->parent ? o->parent->client_window : nullptr;
  OverlayContext c(w);
  if (c.open) xor_frame(&c.dc, single_outline(o, x, y), g_track.colour);
}

void draw_several(WindowObject* top, int32_t dx_twips, int32_t dy_twips) {
  OverlayContext c(top ? top->client_window : nullptr);
  if (!c.open) return;
  const int32_t dx = twips_to_pixels(dx_twips, screen_metrics().twips_x);
  const int32_t dy = twips_to_pixels(dy_twips, screen_metrics().twips_y);
  for (const WinRect& r : g_track.outlines)
    xor_frame(&c.dc, WinRect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}, g_track.colour);
}

struct SelectedWalk {
  std::vector<WindowObject*> objects;
};
int32_t collect_selected(WindowObject* o, void* arg) {
  if (o->selected && o->design_mode) static_cast<SelectedWalk*>(arg)->objects.push_back(o);
  return 0;
}
std::vector<WindowObject*> selected_objects(WindowObject* top) {
  SelectedWalk walk;
  if (top) obj_visit_preorder(top, &walk, collect_selected, true);
  return walk.objects;
}

}  // namespace

void design_fill_rect(DrawContext* dc, const WinRect& r, const Brush& brush) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  Brush old{};
  WinSelectBrush(&old, dc, &brush);
  // The presentation space takes the right and bottom edges in.
  xfPsFillRect(dc->state->ps, XfRect4{r.left, r.top, r.right - 1, r.bottom - 1});
  WinSelectBrush(nullptr, dc, &old);
}

// ---- pure geometry ----

int32_t design_handle_size(int32_t twips_per_pixel) { return std::max(1, twips_to_pixels(75, twips_per_pixel)); }

std::array<WinRect, 8> design_handle_rects(const WinRect& r, bool form, int32_t w, int32_t h) {
  const int32_t mx = (r.left + r.right) / 2, my = (r.top + r.bottom) / 2;
  std::array<WinRect, 8> out{};
  if (form) {
    const int32_t xs[3] = {r.left, mx - w / 2, r.right - w};
    const int32_t ys[3] = {r.top, my - h / 2, r.bottom - h};
    // column, row of each code
    constexpr int kAt[8][2] = {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}};
    for (int i = 0; i < 8; ++i) out[i] = {xs[kAt[i][0]], ys[kAt[i][1]], xs[kAt[i][0]] + w, ys[kAt[i][1]] + h};
    return out;
  }
  const int32_t cx[3] = {r.left, mx, r.right};
  const int32_t cy[3] = {r.top, my, r.bottom};
  constexpr int kAt[8][2] = {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}};
  for (int i = 0; i < 8; ++i) {
    const int32_t x = cx[kAt[i][0]] - w / 2, y = cy[kAt[i][1]] - h / 2;
    out[i] = {x, y, x + w, y + h};
  }
  return out;
}

int32_t design_hit_handle(const WinRect& r, bool form, int32_t w, int32_t h, const WinRect* clip, int32_t x,
                          int32_t y) {
  const std::array<WinRect, 8> handles = design_handle_rects(r, form, w, h);
  for (int i = 0; i < 8; ++i) {
    WinRect hr = handles[i];
    if (clip) {
      if (!meets(hr, *clip)) continue;
      hr = intersect(hr, *clip);
    }
    if (contains(hr, x, y)) return i + 1;
  }
  return kHandleNone;
}

int32_t obj_grid_round(int32_t v, int32_t g) {
  if (g == 0) return v;
  return g * ((v + g / 2) / g);
}

int32_t obj_grid_snap(int32_t v, int32_t o, int32_t g) {
  if (g < 2) return v;
  const int32_t r = obj_grid_round(v, g);
  if (r < o && o < r + g) return v + half_down(o - r) < o ? r : o;
  if (r <= o || r - g >= o || v - half_down(r - o) >= o) return r;
  return o;
}

WinRect design_bounds(const std::vector<WinRect>& rects) {
  if (rects.empty()) return {0, 0, 0, 0};
  WinRect b = rects.front();
  for (const WinRect& r : rects) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

// ---- on objects ----

DesignerSettings& designer_settings() { return g_settings; }

int32_t designer_grid_x() { return le::get_i32(settings_live().data() + SET_GRID_X); }
int32_t designer_grid_y() { return le::get_i32(settings_live().data() + SET_GRID_Y); }

void designer_init_metrics() {
  g_settings.handle_w = design_handle_size(screen_metrics().twips_x);
  g_settings.handle_h = design_handle_size(screen_metrics().twips_y);
}

WinRect design_object_rect(const WindowObject* o) {
  if (is_top_level(o)) {
    int32_t w = 0, h = 0;
    native_ops(o).client_size(o, &w, &h);
    if (w == 0 && h == 0) {
      const int32_t unit = obj_container_unit(o, kContainerScale);
      w = ctl_twips_to_pixels_x(unit, ctl_prop(o, 39));
      h = ctl_twips_to_pixels_y(unit, ctl_prop(o, 36));
    }
    return {0, 0, w, h};
  }
  WinRect r = stored_rect(o);
  for (const WindowObject* p = o->parent; p && !is_top_level(p); p = p->parent) {
    const WinRect pr = stored_rect(p);
    r = {r.left + pr.left, r.top + pr.top, r.right + pr.left, r.bottom + pr.top};
  }
  return r;
}

bool design_handle_clip(const WindowObject* o, WinRect* clip) {
  if (!o->parent || is_top_level(o->parent)) return false;
  *clip = design_object_rect(o->parent);
  return true;
}

int32_t obj_hit_grab_handle(const WindowObject* o, int32_t x, int32_t y) {
  WinRect clip{};
  const bool clipped = design_handle_clip(o, &clip);
  return design_hit_handle(design_object_rect(o), o->type == kObjForm || o->type == kObjFrame, g_settings.handle_w,
                           g_settings.handle_h, clipped ? &clip : nullptr, x, y);
}

int32_t obj_hit_handles(WindowObject* obj, int32_t x, int32_t y, int32_t* id, int32_t* count) {
  *id = 0;
  *count = 0;
  WindowObject* top = obj ? obj_top_level(obj) : nullptr;
  if (designer_refuses(obj) || designer_refuses(top)) return kHandleNone;
  int32_t hit = kHandleNone;
  WindowObject* hit_obj = nullptr;
  WindowObject* last = nullptr;
  for (WindowObject* o : selected_objects(top)) {
    ++*count;
    last = o;
    if (*count >= 2) {
      hit = kHandleNone;  // handles do not size several objects
      hit_obj = nullptr;
    } else if (!is_top_level(o)) {
      hit = obj_hit_grab_handle(o, x, y);
      hit_obj = hit ? o : nullptr;
    }
  }
  WindowObject* who = hit_obj ? hit_obj : last;
  *id = who ? who->handle : 0;
  return hit;
}

namespace {
// The handle area of one object, in the window it is drawn on.
void invalidate_handles(WindowObject* o) {
  WindowObject* top = obj_top_level(o);
  if (!top || !top->client_window) return;
  const int32_t w = g_settings.handle_w, h = g_settings.handle_h;
  if (is_top_level(o)) {
    for (const WinRect& r : design_handle_rects(design_object_rect(o), true, w, h))
      WinInvalidateRect(top->client_window, &r);
    return;
  }
  const WinRect r = design_object_rect(o);
  // Siblings under the grown rectangle are refreshed first, so the handles
  // never stay painted over them.
  if (o->parent) {
    const WinRect s = stored_rect(o);
    obj_refresh_children_in_rect(o->parent, s.left - w / 2, s.top - h / 2, s.right + (w - w / 2),
                                 s.bottom + (h - h / 2), false);
  }
  const WinRect grown{r.left - w / 2, r.top - h / 2, r.right + (w - w / 2), r.bottom + (h - h / 2)};
  WinInvalidateRect(top->client_window, &grown);
}

struct SetSelected {
  uint8_t value;
};
int32_t set_selected_one(WindowObject* o, void* arg) {
  const uint8_t v = static_cast<SetSelected*>(arg)->value;
  if (o->selected != v) {
    o->selected = 1;  // so the area of its handles is invalidated
    obj_draw_grab_handles(o);
    o->selected = v;
  }
  return 0;
}

struct RectWalk {
  WinRect r;
  bool by_window;
};
}  // namespace

void obj_tree_set_selected(WindowObject* obj, uint8_t value) {
  if (!obj) return;
  SetSelected s{value};
  obj_visit_preorder(obj, &s, set_selected_one, true);
}

void obj_draw_grab_handles(WindowObject* o) {
  if (!o || !o->design_mode || !o->selected) return;
  invalidate_handles(o);
}

void obj_paint_grab_handles(DrawContext* dc, const WindowObject* o, const WinRect& clip) {
  if (!o || !o->design_mode || !o->selected || design_handles_hidden == 'H') return;
  WinRect limit = clip;
  WinRect parent{};
  if (design_handle_clip(o, &parent)) limit = intersect(limit, parent);
  for (const WinRect& r :
       design_handle_rects(design_object_rect(o), is_top_level(o), g_settings.handle_w, g_settings.handle_h)) {
    if (!meets(r, limit)) continue;
    const WinRect cut = intersect(r, limit);
    WinInvertRect(dc, &cut);
  }
}

void obj_refresh_children_in_rect(WindowObject* parent, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                  bool by_window) {
  if (!parent || !parent->first_child) return;
  const WinRect area{x1, y1, x2, y2};
  WindowObject* c = parent->first_child;
  do {
    WinRect r = stored_rect(c);
    if (by_window && c->frame_window) {
      int32_t px[4];
      if (native_ops(c).get_rect(c, px)) r = {px[0], px[1], px[0] + px[2], px[1] + px[3]};
    }
    if (meets(r, area)) {
      native_ops(c).repaint(c);
      if (c->first_child) obj_refresh_children_in_rect(c, x1 - r.left, y1 - r.top, x2 - r.left, y2 - r.top, by_window);
    }
    c = c->next;
  } while (c && c != parent->first_child);
}

WindowObject* obj_windowless_child_at(WindowObject* parent, int32_t x, int32_t y) {
  if (!parent || !parent->first_child) return nullptr;
  WindowObject* c = parent->first_child;
  do {
    const bool shown = c->design_mode ? c->design_visible != 0 : ctl_prop(c, 11) != 0;
    if (!c->client_window && !c->frame_window && shown && contains(stored_rect(c), x, y)) return c;
    c = c->next;
  } while (c && c != parent->first_child);
  return nullptr;
}

// ---- the drag ----

uint8_t design_handles_hidden = 0;
DesignTrack& design_track() { return g_track; }
void designer_set_pointer_source(DesignPointerFn fn) { g_pointer = fn ? fn : last_event_pointer; }

namespace {

int32_t track_start(WindowObject* cur, uint32_t colour, int32_t px, int32_t py, DesignOpResult* out) {
  // Handles are hit in the top-level client's pixels.
  int32_t at[2] = {px, py};
  if (WindowObject* top = obj_top_level(cur); top && top->client_window)
    WinMapWindowPoints(nullptr, top->client_window, at, 1);
  out->hit = obj_hit_handles(cur, at[0], at[1], &out->id, &out->count);
  WindowObject* o = obj_owner_or_self(cur);
  g_track = DesignTrack{};
  g_track.selected = out->count;
  g_track.pointer_x = px;
  g_track.pointer_y = py;
  g_track.id = o->handle;
  g_track.serial = o->serial;
  g_track.start_x = to_twips_x(o, ctl_prop(o, 40));
  g_track.start_y = to_twips_y(o, ctl_prop(o, 41));
  g_track.colour = colour;
  g_track.hit = out->hit;
  // One object's outline position starts where the object is; several
  // objects' offset starts at 0.
  if (out->count < 2) {
    g_track.shown_x = g_track.start_x;
    g_track.shown_y = g_track.start_y;
  }
  if (out->count >= 2)
    for (WindowObject* s : selected_objects(obj_top_level(o))) g_track.outlines.push_back(design_object_rect(s));
  g_track.phase = 'M';
  return 0;
}

int32_t track_move(int32_t px, int32_t py) {
  WindowObject* o = tracked();
  if (o && o->type == kObjImage) return ERR_NOT_ALLOWED_ON_OBJECT;
  if (!o || !o->parent) return ERR_INVALID_ARGUMENT;
  const int32_t dx = (px - g_track.pointer_x) * screen_metrics().twips_x;
  const int32_t dy = (py - g_track.pointer_y) * screen_metrics().twips_y;
  if (g_track.selected < 2) {
    const int32_t x = obj_grid_snap(g_track.start_x + dx, g_track.start_x, designer_grid_x());
    const int32_t y = obj_grid_snap(g_track.start_y + dy, g_track.start_y, designer_grid_y());
    if (g_track.shown && g_track.shown_x == x && g_track.shown_y == y) return 0;
    if (g_track.shown) draw_single(o, g_track.shown_x, g_track.shown_y);
    draw_single(o, x, y);
    g_track.shown = true;
    g_track.shown_x = x;
    g_track.shown_y = y;
    return 0;
  }
  const int32_t ox = obj_grid_round(dx, designer_grid_x()), oy = obj_grid_round(dy, designer_grid_y());
  if (g_track.shown && g_track.shown_x == ox && g_track.shown_y == oy) return 0;
  WindowObject* top = obj_top_level(o);
  if (g_track.shown) draw_several(top, g_track.shown_x, g_track.shown_y);
  draw_several(top, ox, oy);
  g_track.shown = true;
  g_track.shown_x = ox;
  g_track.shown_y = oy;
  return 0;
}

int32_t track_end(char letter) {
  WindowObject* o = tracked();
  if (!o || !o->parent) return ERR_INVALID_ARGUMENT;
  design_handles_hidden = 'H';
  WindowObject* top = obj_top_level(o);
  const std::vector<WindowObject*> sel = g_track.selected >= 2 ? selected_objects(top) : std::vector<WindowObject*>{};
  if (g_track.selected < 2)
    obj_draw_grab_handles(o);
  else
    for (WindowObject* s : sel) obj_draw_grab_handles(s);
  g_track.phase = letter;
  if (g_track.selected < 2) {
    if (g_track.shown) draw_single(o, g_track.shown_x, g_track.shown_y);
    g_track.shown = false;
    if (letter == 'T') {
      // A drag that never moved leaves the object where it was.
      const int32_t x = g_track.shown_x, y = g_track.shown_y;
      if (x != g_track.start_x || y != g_track.start_y) move_object(o, x, y);
    }
  } else {
    g_track.erasing = true;
    if (g_track.shown) draw_several(top, g_track.shown_x, g_track.shown_y);
    g_track.erasing = false;
    if (letter == 'T' && g_track.shown && (g_track.shown_x || g_track.shown_y))
      for (WindowObject* s : sel)
        move_object(s, to_twips_x(s, ctl_prop(s, 40)) + g_track.shown_x,
                    to_twips_y(s, ctl_prop(s, 41)) + g_track.shown_y);
    g_track.shown = false;
  }
  if (g_track.selected < 2)
    obj_draw_grab_handles(o);
  else
    for (WindowObject* s : sel) obj_draw_grab_handles(s);
  design_handles_hidden = 0;
  return 0;
}

}  // namespace

int32_t design_op(char letter, uint32_t colour, int32_t px, int32_t py, DesignOpResult* out) {
  *out = DesignOpResult{};
  WindowObject* cur = window_current();
  if (designer_refuses(cur)) return ERR_NOT_ALLOWED_ON_OBJECT;
  int32_t rc = 0;
  switch (letter) {
    case 'I':
      return track_start(cur, colour, px, py, out);
    case 'M':
      rc = track_move(px, py);
      break;
    case 'T':
    case 'C':
      rc = track_end(letter);
      break;
    default:
      return ERR_INVALID_ARGUMENT;
  }
  out->hit = g_track.hit;
  out->count = g_track.selected;
  out->id = g_track.id;
  return rc;
}

void bi_form_design_op() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  uint32_t vars[3] = {};
  int32_t nv = 0;
  if (!bi_var_group(0, 3, vars, &nv)) return core_drop(n);
  char letter = 0;
  if (!bi_arg_letter(n, 0, "ITMC", &letter)) return;
  int32_t colour = 0x808080;
  if (n == 2 && !bi_arg_int(n, 1, &colour)) return;
  core_drop(n);
  int32_t px = 0, py = 0;
  g_pointer(&px, &py);
  DesignOpResult r{};
  const int32_t rc = design_op(letter, static_cast<uint32_t>(colour), px, py, &r);
  const uint32_t unwinds = vm_catch.unwinds;
  if (nv >= 1) var_store_int(vars[0], r.hit);
  if (nv >= 2 && vm_catch.unwinds == unwinds) var_store_int(vars[1], r.count);
  if (nv >= 3 && vm_catch.unwinds == unwinds) var_store_int(vars[2], r.id);
  if (rc == ERR_NOT_ALLOWED_ON_OBJECT) return vm_raise_fatal(rc);
  if (rc) vm_raise_error(rc);
}
