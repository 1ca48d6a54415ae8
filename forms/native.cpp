// Native windows of objects by kind, and the headless functions (see
// native.h).
#include "forms/native.h"

#include "forms/objects.h"

int32_t native_create_none(WindowObject*) { return 0; }
void native_destroy_none(WindowObject* obj) { obj->frame_window = obj->client_window = nullptr; }
void native_show_none(WindowObject*, bool) {}
void native_enable_none(WindowObject*, bool) {}
bool native_get_rect_none(const WindowObject*, int32_t*) { return false; }
void native_set_rect_none(WindowObject*, const int32_t*) {}
void native_client_size_none(const WindowObject*, int32_t* w, int32_t* h) { *w = *h = 0; }
char native_get_state_none(const WindowObject*) { return 0; }
void native_set_state_none(WindowObject*, char) {}
void native_paint_none(WindowObject*) {}
void native_set_text_none(WindowObject*, const char*, int32_t) {}
void native_set_pointer_none(WindowObject*, int32_t) {}

const NativeWindowOps kNativeHeadless = {
    .create = native_create_none,
    .destroy = native_destroy_none,
    .show = native_show_none,
    .enable = native_enable_none,
    .get_rect = native_get_rect_none,
    .set_rect = native_set_rect_none,
    .client_size = native_client_size_none,
    .get_state = native_get_state_none,
    .set_state = native_set_state_none,
    .repaint = native_paint_none,
    .relayout = native_paint_none,
    .set_text = native_set_text_none,
    .set_pointer = native_set_pointer_none,
};

namespace {

constexpr NativeWindowTable kHeadlessTable = {&kNativeHeadless, &kNativeHeadless, &kNativeHeadless};
NativeWindowTable g_table = kHeadlessTable;

}  // namespace

NativeKind native_kind(const WindowObject* o) {
  if (!o || o == obj_app_form() || o == obj_frame_object() || o == obj_command_line()) return NativeKind::Editor;
  if (o->type == kObjHelp) return NativeKind::Help;
  if (o->mdi_form && o->type == kObjForm) return NativeKind::Control;
  if (obj_is_frame_child(o)) return NativeKind::Editor;
  if (o->view && o->prop19 == 3 && o->type != kObjList) return NativeKind::Editor;  // an editor view
  return o->type >= kObjForm && o->type <= kObjSpin ? NativeKind::Control : NativeKind::Editor;
}

void native_set_table(const NativeWindowTable& table) { g_table = table; }
void native_table_reset() { g_table = kHeadlessTable; }

const NativeWindowOps& native_ops(const WindowObject* obj) {
  switch (native_kind(obj)) {
    case NativeKind::Control:
      return *g_table.control;
    case NativeKind::Help:
      return *g_table.help;
    case NativeKind::Editor:
      break;
  }
  return *g_table.editor;
}
