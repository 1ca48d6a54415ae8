// Twips, pixels and the unit of an object's container (see geometry.h).
#include "forms/geometry.h"

#include <cstdio>

#include "forms/objects.h"
#include "forms/prop_table.h"

namespace {
ScreenMetrics g_screen;
}

ScreenMetrics& screen_metrics() { return g_screen; }

int32_t twips_to_pixels(int32_t twips, int32_t d) {
  if (d <= 0) return twips;
  const int32_t q = twips / d, r = twips % d;
  return r >= (d >> 1) + (d & 1) ? q + 1 : q;  // a negative remainder never rounds
}

int32_t ctl_twips_to_pixels_x(int32_t unit, int32_t v) {
  return unit == kScaleTwips ? twips_to_pixels(v, g_screen.twips_x) : v;
}
int32_t ctl_twips_to_pixels_y(int32_t unit, int32_t v) {
  return unit == kScaleTwips ? twips_to_pixels(v, g_screen.twips_y) : v;
}
int32_t ctl_pixels_to_twips_x(int32_t unit, int32_t v) { return unit == kScaleTwips ? v * g_screen.twips_x : v; }
int32_t ctl_pixels_to_twips_y(int32_t unit, int32_t v) { return unit == kScaleTwips ? v * g_screen.twips_y : v; }

int32_t obj_container_unit(const WindowObject* obj, int32_t which) {
  auto answer = [which](int32_t scale, int32_t container) { return which == kContainerScale ? scale : container; };
  const WindowObject* frame = obj_frame_object();
  if (obj->type == kObjFrame) return answer(kScalePixels, 0);
  if (obj->type == kObjForm) {
    if (obj->mdi_form) return answer(kScaleTwips, obj->owner_form_id);
    // Editor windows the text engine made before they had a parent count as
    // the frame's children: they show a view as a full editor window.
    const bool editor = obj->parent == frame || (!obj->parent && obj->view && obj->prop19 == 3);
    if (!editor && !(obj->flags & kWinHidden)) return answer(kScaleTwips, 0);
    return answer(kScalePixels, frame ? frame->handle : 0);
  }
  if (obj->type == kObjList && obj->owner) {
    const WindowObject* combo = obj_get(obj->owner);
    if (combo && prop_get_field(combo->props, 15) != 1) return answer(kScaleTwips, 0);
  }
  if (obj->parent) return answer(prop_field_value(obj->parent->props, 47), obj->parent->handle);
  if (obj == obj_command_line()) return answer(kScaleTwips, 0);
  std::fputs("DEBUG: GUI_XY: Should not get here!\n", stderr);
  return 0;
}
