// Focus helpers and the frame's message (see picture_services.h).
#include "forms/picture_services.h"

#include <memory>
#include <string>

#include "forms/app_port.h"
#include "forms/objects.h"
#include "winsys/focus.h"
#include "winsys/winapi.h"
#include "winsys/window_rec.h"

XfWindow* obj_focus_target(WindowObject* obj) {
  WindowObject* top = obj ? obj_top_level(obj) : nullptr;
  if (!top) return nullptr;
  // The remembered object must still be the one of this form: its id may
  // have gone to an object elsewhere.
  WindowObject* remembered = top->focus_child ? obj_get(top->focus_child) : nullptr;
  if (remembered && remembered != top && obj_top_level(remembered) == top && remembered->client_window)
    return remembered->client_window;
  return top->client_window;
}

void obj_focus_top_level(WindowObject* obj) {
  if (XfWindow* w = obj_focus_target(obj)) xfSetFocus(w);
}

void obj_remember_focus(WindowObject* obj) {
  if (WindowObject* top = obj ? obj_top_level(obj) : nullptr) top->focus_child = obj->handle;
}

void obj_focus_owner(WindowObject* obj) {
  if (obj && obj->frame_window && obj->frame_window->owner) xfSetFocus(obj->frame_window->owner);
}

bool obj_has_focus(const WindowObject* obj) { return obj && obj->client_window && xfHasFocus(obj->client_window); }

XfWindow* app_query_focus() { return xfQueryFocus(); }

bool app_post_frame_event(int32_t index, const std::string* argument) {
  XfWindow* client = app_frame_client();
  if (!client) return false;
  auto copy = argument ? std::make_unique<std::string>(*argument) : nullptr;
  // The copy is the frame's now.
  WinPostMsg(client, kMsgFrame4142, index, reinterpret_cast<intptr_t>(copy.release()));
  return true;
}
