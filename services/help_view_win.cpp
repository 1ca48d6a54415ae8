// The help viewer's window class and its canvas on the window system.
#include "services/help_view_win.h"

#include <cstring>
#include <memory>
#include <vector>

#include "forms/ctl_classes.h"
#include "forms/native.h"
#include "forms/obj_window.h"
#include "forms/objects.h"
#include "services/help_view_canvas.h"
#include "services/help_view_host.h"
#include "winsys/classes.h"
#include "winsys/focus.h"
#include "winsys/keyboard.h"
#include "winsys/message_numbers.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"

namespace {

struct WindowViewer {
  std::unique_ptr<HelpWinCanvas> canvas;
  std::unique_ptr<HelpView> view;
};

WindowViewer* viewer_of(XfWindow* w) {
  return reinterpret_cast<WindowViewer*>(xfQueryWindowULong(w, WinFormsWordOffset(1)));
}

}  // namespace

HelpView* help_window_view(XfWindow* window) {
  if (!window || !window->cls) return nullptr;
  const XfClass* c = window->cls;
  const bool ours = (c->name && std::strcmp(c->name, kHelpViewClass) == 0) ||
                    (c->base_name && std::strcmp(c->base_name, kHelpViewClass) == 0);
  if (!ours) return nullptr;
  WindowViewer* wv = viewer_of(window);
  return wv ? wv->view.get() : nullptr;
}

void help_register_class() {
  // Looked up each time: the window layer's registry may have been reset.
  XfClass* cls = nullptr;
  if (xfFindClass(kHelpViewClass, &cls) != 0)
    WinRegisterClass(kHelpViewClass, help_viewer_proc, WinClassWordBytes(), static_cast<int32_t>(0x80010000u));
  if (xfFindClass(kHelpHookClass, &cls) != 0) {
    WinClassInfo base{};
    WinQueryClassInfo(kHelpViewClass, &base);
    WinRegisterSubclass(kHelpViewClass, kHelpHookClass, help_hook_proc, WinClassWordBytes(), base.style);
  }
  help_set_window_lookup(help_window_view);
}

intptr_t help_viewer_proc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  WindowViewer* wv = message == ZWM_CREATE ? nullptr : viewer_of(w);
  HelpView* v = wv ? wv->view.get() : nullptr;
  switch (message) {
    case ZWM_CREATE: {
      auto made = std::make_unique<WindowViewer>();
      made->canvas = help_make_win_canvas(w);
      made->view = std::make_unique<HelpView>(made->canvas.get());
      xfSetWindowULong(w, WinFormsWordOffset(1), reinterpret_cast<intptr_t>(made.release()));
      break;
    }
    case ZWM_DESTROY:
      if (wv) {
        xfSetWindowULong(w, WinFormsWordOffset(1), 0);
        wv->view.reset();
        delete wv;
      }
      return 0;
    case ZWM_SIZE:
      if (v && !v->setting_bars && help_has_topic(*v)) help_relayout(*v);
      break;
    case ZWM_LBUTTONDOWN:
      if (v) {
        xfSetFocus(w);
        int32_t x = 0, y = 0;
        WinMouseMsgPos(w, mp1, mp2, &x, &y);
        help_mouse_press(*v, x, y, xfIsShiftDown() || xfIsCtrlDown());
      }
      break;
    case ZWM_VSCROLL:
    case ZWM_HSCROLL: {
      if (!v) return 0;
      const int32_t code = static_cast<int32_t>((mp2 >> 16) & 0xFFFF), pos = static_cast<int32_t>(mp2 & 0xFFFF);
      const bool vert = message == ZWM_VSCROLL;
      static constexpr const char* kVert[] = {"scrolldown", "scrollup", "pageup", "pagedown"};
      static constexpr const char* kHorz[] = {"scrollright", "scrollleft", "pageleft", "pageright"};
      const int k = code == 1 ? 0 : code == 2 ? 1 : code == 4 ? 2 : code == 8 ? 3 : -1;
      if (k >= 0) {
        help_command(*v, vert ? kVert[k] : kHorz[k], {});
      } else if (code == 16 || code == 32) {
        if (vert)
          help_scroll_to(*v, pos);
        else
          help_hscroll_to(*v, pos);
      }
      xfUpdateWindow(w);
      return 0;
    }
    case ZWM_PAINT:
      if (v && v->paint_suppressed == 0) {
        wv->canvas->begin_paint();
        help_paint(*v);
        wv->canvas->end_paint();
        return 0;
      }
      break;
    default:
      break;
  }
  return WinDefWindowProc(w, message, mp1, mp2);
}

intptr_t help_hook_proc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  switch (message) {
    case ZWM_CREATE: {
      // The object being made takes the window once the viewer exists.
      WindowObject* obj = static_cast<WindowObject*>(WinCreateParams());
      const intptr_t r = help_viewer_proc(w, message, mp1, mp2);
      if (r == 0 && obj && obj->type == kObjHelp) {
        obj->frame_window = WinFrameFromClient(w);
        obj->client_window = w;
      }
      return r;
    }
    case ZWM_VSCROLL:
    case ZWM_HSCROLL:
    case ZWM_PAINT:
      return help_viewer_proc(w, message, mp1, mp2);
    default:
      // Keys and the mouse become the control's object events first.
      return ctl_common_proc(help_viewer_proc, w, message, mp1, mp2);
  }
}

XfWindow* help_create_window(XfWindow* parent, const char* title, int32_t x, int32_t y, int32_t cx, int32_t cy,
                             XfWindow** client, const char* class_name, void* create_data) {
  help_register_class();
  const uint32_t flags = kFrameTitle | kFrameSizeBorder | kFrameVertScroll | kFrameHorzScroll;
  XfWindow* frame =
      WinCreateStdWindow(0, flags, class_name, title, kStyleVisible, x, y, cx, cy, parent, 0, create_data, nullptr);
  *client = frame ? WinQueryFrameClient(frame) : nullptr;
  return frame;
}

namespace {

// A help control's window is made like any control's (a viewer of the
// control sub-class in a control frame), once its class is known.
int32_t control_create(WindowObject* obj) {
  help_register_class();
  return kControlWindowOps.create(obj);
}

}  // namespace

const NativeWindowOps kHelpControlWindowOps = {
    .create = control_create,
    .destroy = kControlWindowOps.destroy,
    .show = kControlWindowOps.show,
    .enable = kControlWindowOps.enable,
    .get_rect = kControlWindowOps.get_rect,
    .set_rect = kControlWindowOps.set_rect,
    .client_size = kControlWindowOps.client_size,
    .get_state = kControlWindowOps.get_state,
    .set_state = kControlWindowOps.set_state,
    .repaint = kControlWindowOps.repaint,
    .relayout = kControlWindowOps.relayout,
    .set_text = kControlWindowOps.set_text,
    .set_pointer = kControlWindowOps.set_pointer,
};
