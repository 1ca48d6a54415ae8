// A form in design mode for the X tests, built through the objects API the
// way demo_form.cpp builds its form: a selected command button, a label, a
// text box and a windowless image with a border. A press on a control
// starts a drag, moves follow it and the release ends it, as the designer's
// macros do with the tracking built-in. Prints the windows when ready,
// "start HIT COUNT ID" at a press, "outline x y" while a drag shows its outline, and "moved NAME x y" after
// a drop.
#include <cstdio>
#include <string>

#include "base/le.h"
#include "forms/ctl_classes.h"
#include "forms/ctl_props.h"
#include "forms/designer.h"
#include "forms/geometry.h"
#include "forms/native.h"
#include "forms/objects.h"
#include "forms/prop_dispatch.h"
#include "macro/state_settings.h"
#include "text/engine.h"
#include "winsys/message_numbers.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/window_rec.h"
#include "winsys/xinit.h"

namespace {

struct Spec {
  const char* name;
  int32_t type;
  int32_t x, y, w, h;
  const char* caption;
};
// columns: name, type, x, y, width, height, caption (pixels)
constexpr Spec kControls[] = {
    {"ok", kObjCommand, 60, 40, 80, 26, "OK"},
    {"label", kObjLabel, 200, 40, 100, 20, "A label"},
    {"text", kObjText, 60, 120, 120, 24, ""},
    {"image", kObjImage, 200, 120, 40, 30, ""},
};
constexpr int32_t kFirstId = 5;

bool get_rect(const WindowObject* o, int32_t r[4]) {
  if (!o->frame_window) return false;
  r[0] = ctl_prop(o, 40);
  r[1] = ctl_prop(o, 41);
  r[2] = ctl_prop(o, 39);
  r[3] = ctl_prop(o, 36);
  return true;
}
void set_rect(WindowObject* o, const int32_t r[4]) {
  if (o->frame_window) WinMoveWindow(o->frame_window, r[0], r[1], r[2], r[3], 1);
}
void client_size(const WindowObject* o, int32_t* w, int32_t* h) {
  *w = *h = 0;
  WinRect r{};
  if (o->client_window && WinQueryWindowRect(o->client_window, &r)) *w = r.right, *h = r.bottom;
}
void repaint(WindowObject* o) {
  if (o->client_window) WinInvalidateRect(o->client_window, nullptr);
}

const char* name_of(const WindowObject* o) {
  const int32_t i = o ? o->handle - kFirstId : -1;
  return i >= 0 && i < static_cast<int32_t>(std::size(kControls)) ? kControls[i].name : "?";
}

}  // namespace

int main(int, char**) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  text_engine_init();
  xfInitX();
  if (objects_init(1024, 768) != 0) return 2;
  screen_metrics().twips_x = screen_metrics().twips_y = 15;
  designer_init_metrics();                                // handles of 5 pixels
  le::put_u32(settings_live().data() + SET_GRID_X, 150);  // a grid of 10 pixels
  le::put_u32(settings_live().data() + SET_GRID_Y, 150);
  static NativeWindowOps ops = kNativeHeadless;
  ops.get_rect = get_rect;
  ops.set_rect = set_rect;
  ops.client_size = client_size;
  ops.repaint = repaint;
  native_set_table({&ops, &ops, &ops});
  ctl_register_classes();
  WindowObject* form = window_new_child(nullptr);  // id 4
  obj_set_type(form, kObjForm);
  ctl_prop_set(form, 31, 0xC0C0C0);
  ctl_prop_set(form, 47, 3);  // its controls in pixels
  form->design_mode = 1;
  XfWindow* frame = WinCreateStdWindow(0, kFrameTitle, "zx_form", "Designer", kStyleVisible, 30, 30, 420, 260, nullptr,
                                       static_cast<uint32_t>(form->handle), form, nullptr);
  if (!frame) return 1;
  XfWindow* client = WinQueryFrameClient(frame);
  form->frame_window = frame;
  form->client_window = client;
  for (const Spec& s : kControls) {
    WindowObject* c = window_new_child(form);
    obj_set_type(c, s.type);
    ctl_prop_set(c, 40, s.x);
    ctl_prop_set(c, 41, s.y);
    ctl_prop_set(c, 39, s.w);
    ctl_prop_set(c, 36, s.h);
    ctl_prop_set(c, 31, 0xFFFFFF);
    ctl_prop_set(c, 11, 1);
    prop_block_set_string(c->props, 29, s.caption);
    c->design_mode = 1;
    c->design_visible = 1;
    if (s.type == kObjImage) {
      ctl_prop_set(c, 16, 1);
      continue;  // windowless: the form paints it
    }
    if (!ctl_create_window(c, client)) return 3;
  }
  obj_get(kFirstId)->selected = 1;
  xfShowFrameAndWait(frame);
  std::printf("ready %lu", client->xwin);
  for (size_t i = 0; i < std::size(kControls); ++i) {
    const WindowObject* c = obj_get(static_cast<int32_t>(i) + kFirstId);
    std::printf(" %lu", c->client_window ? c->client_window->xwin : 0ul);
  }
  std::printf("\n");
  XfMessage m{};
  WindowObject* dragging = nullptr;
  while (WinGetMsg(&m, nullptr, 0, 0)) {
    WindowObject* o = obj_find_by_window(m.window);
    const bool control = o && o != form && o->design_mode;
    const int32_t rx = xf_low(m.mp2), ry = xf_high(m.mp2);
    DesignOpResult r{};
    if (m.number == ZWM_LBUTTONDOWN && control && !dragging) {
      window_set_current(o, 0);
      if (design_op('I', 0x808080, rx, ry, &r) == 0) {
        std::printf("start %d %d %d\n", r.hit, r.count, r.id);
        dragging = o;
        WinSetCapture(m.window);
      }
      continue;
    }
    if (m.number == ZWM_MOUSEMOVE && dragging) {
      const DesignTrack before = design_track();
      if (design_op('M', 0x808080, rx, ry, &r) == 0 && design_track().shown &&
          (!before.shown || before.shown_x != design_track().shown_x || before.shown_y != design_track().shown_y))
        std::printf("outline %d %d\n", twips_to_pixels(design_track().shown_x, 15),
                    twips_to_pixels(design_track().shown_y, 15));
      continue;
    }
    if (m.number == ZWM_LBUTTONUP && dragging) {
      design_op('M', 0x808080, rx, ry, &r);
      design_op('T', 0x808080, rx, ry, &r);
      WinReleaseCapture();
      std::printf("moved %s %d %d\n", name_of(dragging), ctl_prop(dragging, 40), ctl_prop(dragging, 41));
      dragging = nullptr;
      continue;
    }
    WinDispatchMsg(&m);
  }
  return 0;
}
