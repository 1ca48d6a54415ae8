// The native-window seam and its headless default (see native.h).
#include "forms/native.h"

namespace {

int32_t create_none(WindowObject*) { return 0; }
void destroy_none(WindowObject* obj) { obj->frame_window = obj->client_window = nullptr; }
void show_none(WindowObject*, bool) {}
void enable_none(WindowObject*, bool) {}
bool rect_none(const WindowObject*, int32_t*) { return false; }
void set_rect_none(WindowObject*, const int32_t*) {}
void client_none(const WindowObject*, int32_t* w, int32_t* h) { *w = *h = 0; }
char state_none(const WindowObject*) { return 0; }
void set_state_none(WindowObject*, char) {}
void paint_none(WindowObject*) {}
void text_none(WindowObject*, const char*, int32_t) {}
void pointer_none(WindowObject*, int32_t) {}

constexpr NativeWindowOps kHeadless = {create_none,   destroy_none, show_none,   enable_none,    rect_none,
                                       set_rect_none, client_none,  state_none,  set_state_none, paint_none,
                                       paint_none,    text_none,    pointer_none};
NativeWindowOps g_ops = kHeadless;

}  // namespace

NativeWindowOps& native_ops() { return g_ops; }
void native_ops_reset() { g_ops = kHeadless; }
