// A form with one control of each kind built through the objects API, for
// the X tests: prints the controls' windows when ready, then every object
// event the controls raise with the object's value. Given a macro source,
// it assembles and starts it first and prints "global tabbed N" whenever
// that global changes.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "demo_macro_runtime.h"
#include "display/colours.h"
#include "forms/bi_objects.h"
#include "forms/ctl_classes.h"
#include "forms/ctl_common.h"
#include "forms/ctl_props.h"
#include "forms/geometry.h"
#include "forms/objects.h"
#include "forms/prop_dispatch.h"
#include "macro/catch.h"
#include "macro/interp.h"
#include "macro/names.h"
#include "macro/opcodes.h"
#include "macro/varheap.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/engine.h"
#include "tools/zozu/zozu.h"
#include "winsys/focus.h"
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
// columns: name, type, x, y, width, height, caption
constexpr Spec kControls[] = {
    {"text1", kObjText, 10, 10, 150, 24, ""},          {"text2", kObjText, 10, 40, 150, 24, ""},
    {"ok", kObjCommand, 180, 10, 80, 26, "OK"},        {"check", kObjCheck, 180, 45, 120, 22, "Check"},
    {"radio1", kObjRadio, 10, 80, 100, 22, "One"},     {"radio2", kObjRadio, 10, 105, 100, 22, "Two"},
    {"label", kObjLabel, 180, 80, 120, 20, "A label"}, {"gauge", kObjGauge, 10, 140, 200, 24, ""},
    {"spin", kObjSpin, 230, 140, 20, 30, ""},          {"list", kObjList, 320, 10, 100, 60, ""},
    {"scroll", kObjVScroll, 430, 10, 18, 100, ""},     {"picture", kObjPicture, 320, 80, 40, 40, ""},
    {"items", kObjList, 320, 130, 100, 60, ""},        {"combo", kObjCombo, 10, 180, 150, 30, ""},
};

std::string name_of(const WindowObject* o) {
  for (size_t i = 0; i < std::size(kControls); ++i)
    if (obj_get(static_cast<int32_t>(i) + 5) == o) return kControls[i].name;
  if (const WindowObject* c = o->owner ? obj_get(o->owner) : nullptr)
    return c->edit_part == o->handle ? "combo_edit" : c->list_part == o->handle ? "combo_list" : "combo_button";
  return std::to_string(o->handle);
}

void print_event(WindowObject* o, EventCode e) {
  std::printf("event %s %d %d\n", name_of(o).c_str(), static_cast<int>(e), ctl_prop(o, 42));
}

// The list "items" shows the lines of a buffer of its own: three items put
// in one after the other, the cursor (the chosen item) on the last.
bool fill_items(WindowObject* list) {
  WindowObject* before = window_current();
  window_set_current(list, 0);
  BufCreateArgs a;
  a.name = "items";
  BufferRec* b = nullptr;
  // The list keeps its type and window: it is no editor window.
  bool ok = buf_create_from_file(&b, a) == 0 && view_attach_buffer(pos_record(b->own_pos), b, nullptr, 0, true) == 0;
  if (ok) line_replace_current("alpha", 5);  // the empty line a new buffer starts with
  for (const std::string item : {"beta", "gamma"})
    ok = ok && line_insert_after_cursor(item.data(), static_cast<int32_t>(item.size())) >= 0;
  ok = ok && line_flush_current() >= 0;
  window_set_current(before, 0);
  return ok;
}

// Assembles the macro source and starts its main entry; false on failure.
bool start_macros(const char* source_path) {
  if (!demo::start_vm() || demo::init_module(source_path, "demo_form", "") != 0) return false;
  vm_run();
  return true;
}

// The value of the macros' global "tabbed", or empty without one.
std::string tabbed() {
  const uint32_t i = name_find("tabbed", NF_GLOBAL);
  return i ? std::string(lstr_view(var_value(name_entry(i)->data))) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  text_engine_init();
  const bool macros = argc > 1;
  if (macros && !start_macros(argv[1])) return 6;
  xfInitX();
  if (objects_init(1024, 768) != 0) return 2;
  ctl_register_classes();
  ctl_set_event_raiser(print_event);
  WindowObject* form = window_new_child(nullptr);  // id 4
  obj_set_type(form, kObjForm);
  ctl_prop_set(form, 31, 0xC0C0C0);
  XfWindow* frame = WinCreateStdWindow(0, kFrameTitle, "zx_form", "Form", kStyleVisible, 30, 30, 470, 330, nullptr,
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
    ctl_prop_set(c, 35, 0x800000);  // dark blue (0x00BBGGRR)
    prop_block_set_string(c->props, 29, s.caption);
    if (s.type == kObjGauge) {
      ctl_prop_set(c, 77, 0);
      ctl_prop_set(c, 78, 200);
      ctl_prop_set(c, 42, 50);
      ctl_prop_set(c, 15, 2);  // the bar without its text
    }
    if (s.type == kObjCheck) ctl_prop_set(c, 15, 1);
    if (s.type == kObjVScroll) {
      ctl_prop_set(c, 77, 0);
      ctl_prop_set(c, 78, 10);
      ctl_prop_set(c, 79, 2);  // small change: a line step
      ctl_prop_set(c, 80, 5);  // large change: a page step
    }
    if (s.type == kObjPicture || s.type == kObjList) ctl_prop_set(c, 16, 1);
    static int32_t tab_index = 0;
    ctl_prop_set(c, 38, ++tab_index);
    if (!ctl_create_window(c, client)) return 3;
    if (std::string(s.name) == "items" && !fill_items(c)) return 5;
  }
  WindowObject* combo = obj_get(static_cast<int32_t>(std::size(kControls)) + 4);
  if (combo_create_parts(combo, client) != 0) return 4;
  xfShowFrameAndWait(frame);
  xfSetFocus(obj_get(5)->client_window);
  std::printf("ready %lu", client->xwin);
  for (size_t i = 0; i < std::size(kControls); ++i)
    std::printf(" %lu", obj_get(static_cast<int32_t>(i) + 5)->client_window->xwin);
  std::printf(" %lu %lu %lu\n", obj_get(combo->edit_part)->client_window->xwin,
              obj_get(combo->list_part)->client_window->xwin, obj_get(combo->list_part - 1)->client_window->xwin);
  std::string count = macros ? tabbed() : std::string();
  XfMessage m{};
  while (WinGetMsg(&m, nullptr, 0, 0)) {
    WinDispatchMsg(&m);
    if (macros && tabbed() != count) {
      count = tabbed();
      std::printf("global tabbed %s\n", count.c_str());
    }
  }
  return 0;
}
