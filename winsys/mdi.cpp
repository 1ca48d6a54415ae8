#include "winsys/mdi.h"

#include <cstring>
#include <map>
#include <string>

#include "base/mem.h"
#include "winsys/classes.h"
#include "winsys/focus.h"
#include "winsys/mdi_internal.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/scrollbar.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfsys.h"
#include "winsys/xwindows.h"

namespace {

constexpr long kClientMask = 0x807D;
constexpr long kTopFormMask = 0x8030;
constexpr long kButtonPartMask = 0x803C;
constexpr long kClientAreaMask = 0x807C;

// Never destroyed: the window system's own state is freed from a static
// destructor at exit, which may run after a function-local table's.
std::map<XfWindow*, void*>& sys_menus() {
  static auto* m = new std::map<XfWindow*, void*>;
  return *m;
}

bool is_child(const XfWindow* w) { return w && xf_is_live_window(w) && w->kind == XFTYPE_MDITOPFRAME && !w->dying; }
bool is_client(const XfWindow* w) { return w && xf_is_live_window(w) && w->kind == XFTYPE_MDICLIENT; }
XfMdiChildWords& W(XfWindow* child) { return child->k.mdi; }

XfWindow* app_menu_bar(XfWindow* client) {
  XfWindow* app = xf_mdi_app_frame(client);
  return app && app->kind == XFTYPE_STDFRAME ? app->k.frame.menubar : nullptr;
}

// Only a frame with a menu bar has a bar to merge into.
bool can_merge(XfWindow* client) { return app_menu_bar(client) != nullptr; }

void send_size_move(XfWindow* child) {
  XfWindow* area = W(child).client;
  if (!area) return;
  xfSendMsg(area, ZWM_SIZE, 1, xf_pack(area->width, area->height));
  xfSendMsg(area, ZWM_MOVE, 1, xf_pack(child->x, child->y));
}

void set_frame_text(XfWindow* w, const char* text) {
  auto n = static_cast<int32_t>(std::strlen(text ? text : ""));
  if (n + 1 > w->text_capacity) {
    mem_free(w->text);
    w->text_capacity = 2 * n + 1;
    w->text = static_cast<char*>(mem_alloc(static_cast<size_t>(w->text_capacity)));
  }
  std::memcpy(w->text, text ? text : "", static_cast<size_t>(n) + 1);
}

bool mono() { return xf().conn.depth == 1; }

// The active or inactive look of one child.
void set_look(XfWindow* child, bool active) {
  const XfResourceValues& v = xf().values;
  unsigned long colour = active && xf_app_active() ? v.mdi_active : v.mdi_client;
  XfMdiChildWords& c = W(child);
  if (c.state == kMdiMinimised) {
    if (c.icon_label) {
      xfSetWindowColors(c.icon_label, colour, -1);
      xfInvalidateRect(c.icon_label, nullptr);
    }
    if (c.icon_image) xfInvalidateRect(c.icon_image, nullptr);
    return;
  }
  if (child->bg != colour) {
    for (XfWindow* w : {child, c.sysmenu, c.min_button, c.max_button, c.title, c.icon_label}) {
      if (w) xfSetWindowColors(w, colour, -1);
    }
    xf_mdi_invalidate_decoration(child);
  } else if (mono()) {
    xf_mdi_invalidate_decoration(child);
  }
}

// The nearest child frame above (toward the topmost) or below in stacking
// order, optionally only a normal one.
XfWindow* neighbour(XfWindow* child, bool above, bool normal_only) {
  for (XfWindow* w = above ? child->prev_sibling : child->next_sibling; w;
       w = above ? w->prev_sibling : w->next_sibling) {
    if (!is_child(w)) continue;
    if (normal_only && W(w).state != kMdiNormal) continue;
    return w;
  }
  return nullptr;
}

void release_child(XfWindow* w) {
  auto& list = xf_mdi().children;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] == w) {
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  auto it = sys_menus().find(w);
  if (it != sys_menus().end()) {
    xf_mdi_menu_destroy(it->second);
    sys_menus().erase(it);
  }
  if (XfWindow* client = w->parent; is_client(client)) {
    XfMdiClientWords& cw = client->k.mdiclient;
    if (cw.active == w) cw.active = nullptr;
    if (cw.maximised == w) cw.maximised = nullptr;
  }
}

}  // namespace

// The window core tells the layer when its records go, however they go.
void xf_mdi_window_gone(XfWindow* w) {
  if (w->kind == XFTYPE_MDITOPFRAME) {
    release_child(w);
  } else if (w->kind == XFTYPE_MDICLIENT) {
    XfWindow* app = xf_mdi_app_frame(w);
    if (app && app->kind == XFTYPE_STDFRAME && app->k.frame.mdi_client == w) {
      app->k.frame.mdi_client = nullptr;
      app->k.frame.mdi_mark = 0;
    }
  }
}

namespace {

void free_mdi(XfMdi* m) {
  xf_mdi_free_draw_state();
  // Taken out first: destroying a menu can call back into code that erases
  // from the table, which would end this walk in a loop.
  auto menus = std::move(sys_menus());
  sys_menus().clear();
  for (auto& [w, menu] : menus) {
    xf_mdi_menu_destroy(menu);
  }
  delete m;
}

}  // namespace

XfMdi& xf_mdi() {
  XfSystem& s = xf();
  if (!s.mdi) {
    s.mdi = new XfMdi;
    s.free_mdi = free_mdi;
  }
  return *s.mdi;
}

XfMdiMetrics xf_mdi_metrics() { return xf_mdi().m; }

void xf_scroll_bar_activate_mdi(XfWindow* bar) {
  XfWindow* child = xf_mdi_frame_of(bar);
  if (child && xf_is_live_window(child->parent) && child->parent->k.mdiclient.active != child) xfMdiActivate(child);
}

const std::vector<XfWindow*>& xf_mdi_children() { return xf_mdi().children; }

XfWindow* xf_mdi_frame_of(XfWindow* window) {
  for (XfWindow* w = window; w && w != kDesktop && xf_is_live_window(w); w = w->parent) {
    if (w->kind == XFTYPE_MDITOPFRAME) return w;
    if (w->kind == XFTYPE_MDIMINFRAME) return reinterpret_cast<XfWindow*>(w->k.raw[0]);
    if (w->kind == XFTYPE_MDICLIENT || w->kind == XFTYPE_STDFRAME) return nullptr;
  }
  return nullptr;
}

XfWindow* xf_mdi_client_of(XfWindow* child) { return is_child(child) ? child->parent : nullptr; }

XfWindow* xf_mdi_app_frame(XfWindow* client) {
  if (!client || !xf_is_live_window(client)) return nullptr;
  XfWindow* area = client->tree_parent;
  if (!area) return nullptr;
  if (area->kind == XFTYPE_STDFRAME) return area;
  return area->parent && area->parent->kind == XFTYPE_STDFRAME ? area->parent : nullptr;
}

// ----- the MDI client -----

XfWindow* xfCreateMdiClient(XfWindow* frame_client, uint32_t id, uint32_t first_menu_id) {
  if (!frame_client || frame_client == kDesktop || !xf_is_live_window(frame_client)) return nullptr;
  if (frame_client->kind == XFTYPE_STDFRAME && frame_client->k.frame.client)
    frame_client = frame_client->k.frame.client;
  XfMdi& s = xf_mdi();
  const XfResourceValues& v = xf().values;
  s.m.title = xf_mdi_title_height(xf_mdi_font_height(v.mdi_title_font));
  s.m.border = static_cast<int32_t>(v.mdi_border);
  s.m.scroll = static_cast<int32_t>(v.scrollbar_width);
  s.ids.first = first_menu_id;
  XfWindow* client = xfCreateChildWindow(frame_client, 0, 0, 600, 600, kClientMask, 'm');
  xfSetWindowClass(XFTYPE_MDICLIENT, client, frame_client, nullptr);
  client->proc = xfMdiClientProc;
  client->id = id;
  xfSetWindowColors(client, v.mdi_client, -1);
  if (Display* d = xf_display()) XSetWindowBackground(d, client->xwin, v.mdi_client);
  client->k.mdiclient = XfMdiClientWords{};
  xfSendMsg(client, ZWM_CREATE, 0, 0);
  if (XfWindow* app = xf_mdi_app_frame(client)) {
    app->k.frame.mdi_mark = 1;
    app->k.frame.mdi_client = client;
    client->k.mdiclient.window_menu = xf_mdi_window_menu_of_bar(app);
  }
  return client;
}

intptr_t xfMdiClientProc(XfWindow* client, uint32_t message, intptr_t mp1, intptr_t mp2) {
  XfMdiClientWords& cw = client->k.mdiclient;
  switch (message) {
    case ZWM_MOUSEACTIVATE: {
      // A child's procedure may ask its parent again; once is enough.
      static bool passing = false;
      if (!passing && cw.active && W(cw.active).client) {
        passing = true;
        xfSendMsg(W(cw.active).client, message, mp1, mp2);
        passing = false;
      }
      return 3;
    }
    case ZWM_SIZE:
      if (XfWindow* a = cw.active; is_child(a) && W(a).state == kMdiMaximised) {
        const XfMdiMetrics& m = xf_mdi().m;
        xfMdiSetGeometry(a, -m.border, -m.zone(), client->width + 2 * m.border,
                         client->height + 2 * m.border + m.title);
        if (XfWindow* area = W(a).client) xfSendMsg(area, ZWM_SIZE, 1, xf_pack(area->width, area->height));
      }
      return 0;
    case ZWM_HITTEST:
      return mp1;
    case ZWM_MDITITLE:
      xfMdiComposeFrameTitle(xf_mdi_app_frame(client), reinterpret_cast<const char*>(mp1));
      return 0;
    case ZWM_SETPOINTER:
      xfSetPointer(client, xfQuerySysPointer(client, 1));
      return 0;
    case ZWM_PAINT:
      if (Display* d = xf_display()) {
        GC gc = xf_scratch_gc();
        XSetForeground(d, gc, xf().values.mdi_client);
        XFillRectangle(d, client->xwin, gc, 0, 0, static_cast<unsigned>(xf_mdi_extent(client->width)),
                       static_cast<unsigned>(xf_mdi_extent(client->height)));
      }
      xfValidateWindow(client);
      return 0;
    default:
      return xfDefWindowProc(client, message, mp1, mp2);
  }
}

XfWindow* xfMdiGetActive(XfWindow* client) { return is_client(client) ? client->k.mdiclient.active : nullptr; }

void xfMdiSetWindowMenu(XfWindow* client, void* menu) {
  if (is_client(client)) client->k.mdiclient.window_menu = menu;
}
void* xfMdiWindowMenu(XfWindow* client) { return is_client(client) ? client->k.mdiclient.window_menu : nullptr; }
uint32_t xfMdiMoreWindowsId() { return xf_mdi().ids.more(); }

void* xfMdiSysMenu(XfWindow* child) {
  auto it = sys_menus().find(child);
  return it == sys_menus().end() ? nullptr : it->second;
}

// ----- child frames -----

void xf_mdi_layout(XfWindow* frame) {
  XfMdiChildWords& c = W(frame);
  bool vs = c.vsb && c.vsb->shown == 1, hs = c.hsb && c.hsb->shown == 1;
  XfMdiParts p = xf_mdi_parts(xf_mdi().m, frame->width, frame->height, vs, hs);
  auto place = [](XfWindow* w, const XfMdiRect& r, bool invalidate) {
    if (!w) return;
    xfSetWindowGeometry(w, r.x, r.y, r.width, r.height);
    if (invalidate) xfInvalidateRect(w, nullptr);
  };
  place(c.top_form, p.top_form, true);
  place(c.sysmenu, p.sysmenu, true);
  place(c.max_button, p.max_button, true);
  place(c.min_button, p.min_button, true);
  place(c.title, p.title, true);
  if (vs) place(c.vsb, p.vsb, true);
  if (hs) place(c.hsb, p.hsb, true);
  place(c.client, p.client, false);
  xfInvalidateRect(frame, nullptr);
}

XfWindow* xfCreateMdiChild(const char* title, uint32_t style, uint32_t frame_flags, const char* class_name, int32_t x,
                           int32_t y, int32_t width, int32_t height, XfWindow* client, void* create_param) {
  if (!is_client(client)) return nullptr;
  XfMdi& s = xf_mdi();
  const XfMdiMetrics& m = s.m;
  const XfResourceValues& v = xf().values;
  XfClass* cls = nullptr;
  if (class_name && xfFindClass(class_name, &cls) != 0) cls = xf_builtin_class(class_name);
  width = xf_mdi_extent(width);
  height = xf_mdi_extent(height);
  XfWindow* frame = xfCreateChildWindow(client, x, y, width, height, kClientMask, 'u');
  bool vs = frame_flags & 4, hs = frame_flags & 2;
  XfMdiParts p = xf_mdi_parts(m, width, height, vs, hs);
  auto part = [&](XfWindow* parent, const XfMdiRect& r, long mask, uint32_t kind, XfProc proc, unsigned long bg) {
    XfWindow* w = xfCreateChildWindow(parent, r.x, r.y, r.width, r.height, mask, 'm');
    xfSetWindowClass(kind, w, frame, nullptr);
    w->proc = proc;
    xfSetWindowColors(w, bg, -1);
    return w;
  };
  XfWindow* top = part(frame, p.top_form, kTopFormMask, XFTYPE_MDITOPFORM, xfMdiTopFormProc, v.dialog);
  XfWindow* sys = part(top, p.sysmenu, kButtonPartMask, XFTYPE_MDISYSMENU, xfMdiSysMenuButtonProc, v.mdi_client);
  XfWindow* max = part(top, p.max_button, kButtonPartMask, XFTYPE_MDIMAXBUTTON, xfMdiMaxButtonProc, v.mdi_client);
  XfWindow* min = part(top, p.min_button, kButtonPartMask, XFTYPE_MDIMINBUTTON, xfMdiMinButtonProc, v.mdi_client);
  XfWindow* ttl = part(top, p.title, kButtonPartMask, XFTYPE_MDIFRAMETITLE, xfMdiTitleProc, v.mdi_client);
  XfWindow* hsb =
      hs ? xfCreateScrollBar(top, frame, 0x800004, nullptr, kPartHsb, p.hsb.x, p.hsb.y, p.hsb.width, p.hsb.height)
         : nullptr;
  XfWindow* vsb =
      vs ? xfCreateScrollBar(top, frame, 0x800002, nullptr, kPartVsb, p.vsb.x, p.vsb.y, p.vsb.width, p.vsb.height)
         : nullptr;
  XfWindow* area =
      xfCreateChildWindow(top, p.client.x, p.client.y, p.client.width, p.client.height, kClientAreaMask, 'm');
  void* menu = xf_mdi_create_sys_menu();
  sys_menus()[frame] = menu;
  sys->k.raw[0] = reinterpret_cast<intptr_t>(menu);

  frame->kind = XFTYPE_MDITOPFRAME;
  frame->parent = frame->owner = client;
  frame->proc = xfMdiFrameProc;
  xfSetWindowColors(frame, v.mdi_client, -1);
  set_frame_text(frame, title);
  frame->font = v.mdi_title_font;
  frame->id = s.ids.unlisted();
  frame->style = style;
  XfMdiChildWords& c = W(frame);
  c = XfMdiChildWords{};
  c.outer = xf_mdi_app_frame(client);
  c.top_form = top;
  c.sysmenu = sys;
  c.min_button = min;
  c.max_button = max;
  c.title = ttl;
  c.vsb = vsb;
  c.hsb = hsb;
  c.state = kMdiNormal;
  c.first_minimise = 1;
  frame->restore_x = x;
  frame->restore_y = y;
  frame->restore_width = width;
  frame->restore_height = height;
  xfCreateMdiIcon(frame, &c.icon_holder, &c.icon_label, &c.icon_image);

  xfSetWindowClass(XFTYPE_MDICLIENTAREA, area, frame, cls);
  area->proc = cls && cls->proc ? cls->proc : xfMdiChildDefProc;
  xfGiveOwnPS(area, cls, false);
  area->id = kPartClient;
  area->style = style;
  c.client = area;

  s.children.push_back(frame);
  void* saved = s.create_param;
  s.create_param = create_param;
  xfSendMsg(area, ZWM_CREATE, 0, 0);
  s.create_param = saved;
  if (!is_child(frame)) return nullptr;  // the create message destroyed it
  xfSendMsg(area, ZWM_SIZE, 0, xf_pack(width, height));
  xfSendMsg(area, ZWM_MOVE, 0, xf_pack(x, y));
  if (is_child(frame)) xfMdiActivate(frame);
  return is_child(frame) ? frame : nullptr;
}

void* xf_mdi_create_param() { return xf_mdi().create_param; }

void xfMdiSetGeometry(XfWindow* child, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (!is_child(child)) return;
  if (W(child).state == kMdiMinimised) {
    if (XfWindow* holder = W(child).icon_holder) xfMoveWindowTo(holder, x, y);
    return;
  }
  xfSetWindowGeometry(child, x, y, xf_mdi_extent(width), xf_mdi_extent(height));
  xf_mdi_layout(child);
}

void xfMdiSetScrollBars(XfWindow* child, bool vertical, bool horizontal) {
  if (!is_child(child)) return;
  XfMdiChildWords& c = W(child);
  XfMdiParts p = xf_mdi_parts(xf_mdi().m, child->width, child->height, vertical, horizontal);
  auto bar = [&](XfWindow*& slot, bool want, uint32_t style, uint32_t id, const XfMdiRect& r) {
    if (want) {
      if (!slot) {
        slot = xfCreateScrollBar(c.top_form, child, style, nullptr, id, r.x, r.y, r.width, r.height);
      } else {
        xfSetWindowGeometry(slot, r.x, r.y, r.width, r.height);
      }
      xfMapWindow(slot);
      xfInvalidateRect(slot, nullptr);
    } else if (slot) {
      xfUnmapWindow(slot);
    }
  };
  bar(c.vsb, vertical, 2, kPartVsb, p.vsb);
  bar(c.hsb, horizontal, 4, kPartHsb, p.hsb);
  if (XfWindow* area = c.client) {
    bool resized = area->width != p.client.width || area->height != p.client.height;
    xfSetWindowGeometry(area, p.client.x, p.client.y, p.client.width, p.client.height);
    if (resized) xfSendMsg(area, ZWM_SIZE, 0, xf_pack(p.client.width, p.client.height));
  }
}

char xfMdiQueryState(XfWindow* window) {
  if (!is_child(window)) return 'N';
  switch (W(window).state) {
    case kMdiMinimised:
      return 'I';
    case kMdiMaximised:
      return 'M';
    default:
      return 'N';
  }
}

void xfMdiComposeFrameTitle(XfWindow* frame, const char* child_title) {
  if (!frame || !xf_is_live_window(frame)) return;
  std::string out(static_cast<size_t>(std::strlen(frame->text ? frame->text : "") +
                                      std::strlen(child_title ? child_title : "") + 4),
                  '\0');
  xf_mdi_compose_title(frame->text, child_title, out.data(), static_cast<int32_t>(out.size()));
  out.resize(std::strlen(out.c_str()));
  if (frame->text && out == frame->text) return;
  xfSetWMName(frame, out.c_str());
}

void xf_mdi_title_look(XfWindow* frame, char look) {
  if (!frame || !xf_is_live_window(frame) || frame->kind != XFTYPE_STDFRAME) return;
  XfWindow* client = frame->k.frame.mdi_client;
  if (!is_client(client)) return;
  if (XfWindow* a = client->k.mdiclient.active; is_child(a)) set_look(a, look == 'a');
}

// ----- activation -----

void xfMdiDeactivate(XfWindow* child) {
  if (!is_child(child)) return;
  XfWindow* client = child->parent;
  if (client->k.mdiclient.active == child) client->k.mdiclient.active = nullptr;
  set_look(child, false);
  xfMdiMenuUncheckAll(client->k.mdiclient.window_menu, xf_mdi().ids);
}

void xfMdiActivate(XfWindow* child) {
  if (!is_child(child)) return;
  XfWindow* client = child->parent;
  XfMdiClientWords& cw = client->k.mdiclient;
  XfMdiChildWords& c = W(child);
  xfRaiseWindow(c.state == kMdiMinimised && c.icon_holder ? c.icon_holder : child);
  XfWindow* old = cw.active;
  if (old && old != child && is_child(old)) {
    xfMdiDeactivate(old);
    if (W(old).client) xfSendMsg(W(old).client, ZWM_MDIACTIVATE, 1, reinterpret_cast<intptr_t>(c.client));
    if (!is_child(child)) return;
  }
  cw.active = child;
  set_look(child, true);
  if (void* menu = cw.window_menu) {
    if (!c.menu_id) xfMdiMenuAdd(menu, xf_mdi().ids, child);
    xfMdiMenuCheck(menu, child);
  }
  if (c.client) {
    xfSetFocus(c.client);
    xfSendMsg(c.client, ZWM_MDIACTIVATE, 1, reinterpret_cast<intptr_t>(c.client));
  }
}

void xfMdiActivateOrMaximize(XfWindow* child) {
  if (!is_child(child)) return;
  XfWindow* a = child->parent->k.mdiclient.active;
  if (a && a != child && is_child(a) && W(a).state == kMdiMaximised) {
    xfMdiMaximize(child);
  } else {
    xfMdiActivate(child);
  }
}

// ----- states -----

void xfMdiMergeSysMenu(XfWindow* child, char mode) {
  if (!is_child(child) || !can_merge(child->parent)) return;
  xf_mdi_menu_merge(child, mode);
}

void xfMdiMaximize(XfWindow* child) {
  if (!is_child(child)) return;
  XfWindow* client = child->parent;
  XfMdiClientWords& cw = client->k.mdiclient;
  XfMdiChildWords& c = W(child);
  const XfMdiMetrics& m = xf_mdi().m;
  if (c.state == kMdiNormal) {
    child->restore_x = child->x;
    child->restore_y = child->y;
    child->restore_width = child->width;
    child->restore_height = child->height;
  } else if (c.state == kMdiMinimised && c.icon_holder) {
    xfUnmapWindow(c.icon_holder);
  }
  c.state = kMdiMaximised;
  xfUnmapWindow(child);
  xfSetWindowGeometry(child, -m.border, -m.zone(), client->width + 2 * m.border,
                      client->height + 2 * m.border + m.title);
  xf_mdi_layout(child);
  xf_mdi_gray_sys_menu(xfMdiSysMenu(child), {});
  if (can_merge(client)) {
    xfMdiMergeSysMenu(child, 'c');
    xfLayoutFrame(xf_mdi_app_frame(client));
  }
  xfMdiActivate(child);
  if (!is_child(child)) return;
  xfMapWindow(child);
  XfWindow* before = cw.maximised;
  if (before && before != child && is_child(before) && W(before).state == kMdiMaximised) xfMdiRestore(before, true);
  cw.maximised = child;
  xfSendMsg(client, ZWM_MDITITLE, reinterpret_cast<intptr_t>(child->text), 0);
  send_size_move(child);
}

void xfMdiMinimize(XfWindow* child) {
  if (!is_child(child)) return;
  XfWindow* client = child->parent;
  XfMdiClientWords& cw = client->k.mdiclient;
  XfMdiChildWords& c = W(child);
  bool was_max = c.state == kMdiMaximised;
  if (c.state == kMdiNormal) {
    child->restore_x = child->x;
    child->restore_y = child->y;
    child->restore_width = child->width;
    child->restore_height = child->height;
  } else if (was_max && can_merge(client)) {
    xfMdiMergeSysMenu(child, 'd');
    xfLayoutFrame(xf_mdi_app_frame(client));
  }
  xfUnmapWindow(child);
  xf_mdi_gray_sys_menu(xfMdiSysMenu(child), {kMdiCmdSize, kMdiCmdMinimise});
  if (c.first_minimise) {
    std::vector<XfMdiRect> icons;
    for (XfWindow* w : xf_mdi().children) {
      if (w != child && is_child(w) && W(w).state == kMdiMinimised && W(w).icon_holder)
        icons.push_back({W(w).icon_holder->x, W(w).icon_holder->y, 0, 0});
    }
    int32_t cell =
        xf_mdi_free_icon_cell(client->width, client->height, static_cast<int32_t>(xf_mdi().children.size()), icons);
    int32_t ix = 0, iy = 0;
    xf_mdi_icon_cell(client->width, client->height, cell, &ix, &iy);
    if (c.icon_holder) xfMoveWindowTo(c.icon_holder, ix, iy);
    c.first_minimise = 0;
  }
  c.state = kMdiMinimised;
  xfMdiSizeIconLabel(child, child->text);
  if (c.icon_holder) xfMapWindow(c.icon_holder);
  if (cw.active == child) {
    XfWindow* next = neighbour(child, false, true);
    if (!next) next = neighbour(child, true, true);
    if (next) {
      xfMdiActivate(next);
    } else {
      set_look(child, true);
    }
  }
  if (!is_child(child)) return;
  // The frame's title loses the child part only when no other child is
  // shown maximised.
  if (cw.maximised == child || !cw.maximised) xfSendMsg(client, ZWM_MDITITLE, 0, 0);
  send_size_move(child);
  if (cw.maximised == child) cw.maximised = nullptr;
}

void xfMdiRestore(XfWindow* child, bool keep_active) {
  if (!is_child(child)) return;
  XfWindow* client = child->parent;
  XfMdiClientWords& cw = client->k.mdiclient;
  XfMdiChildWords& c = W(child);
  if (c.state == kMdiMaximised && !keep_active && can_merge(client)) {
    xfMdiMergeSysMenu(child, 'd');
    xfLayoutFrame(xf_mdi_app_frame(client));
  }
  if (c.state == kMdiMinimised) {
    if (c.icon_holder) xfUnmapWindow(c.icon_holder);
    c.state = kMdiNormal;
    set_look(child, false);
  }
  c.state = kMdiNormal;
  xfSetWindowGeometry(child, child->restore_x, child->restore_y, xf_mdi_extent(child->restore_width),
                      xf_mdi_extent(child->restore_height));
  xf_mdi_layout(child);
  xfMapWindow(child);
  xf_mdi_gray_sys_menu(xfMdiSysMenu(child), {kMdiCmdRestore});
  if (!keep_active) {
    xfMdiActivate(child);
    if (!is_child(child)) return;
    if (cw.maximised == child || !cw.maximised) {
      xfSendMsg(client, ZWM_MDITITLE, 0, 0);
      cw.maximised = nullptr;
    }
  }
  send_size_move(child);
}

void xfMdiNext(XfWindow* child) {
  if (!is_child(child)) return;
  XfWindow* w = neighbour(child, true, false);
  if (!w) w = neighbour(child, false, false);
  if (!w) return;
  if (W(child).state == kMdiMaximised) {
    xfMdiMaximize(w);
  } else {
    xfMdiActivate(w);
  }
}

void xfMdiPrevious(XfWindow* child) {
  if (!is_child(child)) return;
  XfWindow* w = neighbour(child, false, false);
  if (!w) w = neighbour(child, true, false);
  if (!w) return;
  if (W(child).state == kMdiMaximised) {
    xfMdiMaximize(w);
  } else {
    xfMdiActivate(w);
  }
}

void xfMdiDestroy(XfWindow* child) {
  if (!is_child(child)) return;
  XfWindow* client = child->parent;
  XfMdiClientWords& cw = client->k.mdiclient;
  XfMdi& s = xf_mdi();
  xfPointerGone(child);
  bool others = neighbour(child, true, false) || neighbour(child, false, false);
  if (!others) {
    if (can_merge(client)) {
      xfMdiMergeSysMenu(child, 'd');
      xfLayoutFrame(xf_mdi_app_frame(client));
    }
    cw.active = nullptr;
    xfMdiComposeFrameTitle(xf_mdi_app_frame(client), nullptr);
    xfMdiMenuRemove(cw.window_menu, s.ids, child, s.children);
    if (cw.maximised == child) cw.maximised = nullptr;
  } else {
    xfMdiMenuRemove(cw.window_menu, s.ids, child, s.children);
    if (cw.active == child) xfMdiPrevious(child);
    if (!is_child(child)) return;
    if (cw.maximised == child) {
      // A maximised child that was not the active one leaves the title too.
      cw.maximised = nullptr;
      xfMdiComposeFrameTitle(xf_mdi_app_frame(client), nullptr);
    }
  }
  if (cw.active == child) cw.active = nullptr;
  release_child(child);
  if (XfWindow* holder = W(child).icon_holder) {
    W(child).icon_holder = W(child).icon_image = W(child).icon_label = nullptr;
    xfDestroyWindow(holder);
  }
  xfDestroyWindow(child);
}

int xfMdiSetWindowPos(XfWindow* child, XfWindow* after, int32_t x, int32_t y, int32_t width, int32_t height,
                      uint32_t flags) {
  if (!is_child(child)) return 1;
  XfMdiChildWords& c = W(child);
  if (x || y || width || height) {
    XfWindow* target = c.state == kMdiMinimised && c.icon_holder ? c.icon_holder : child;
    int32_t nx = x == kDefault ? target->x : x, ny = y == kDefault ? target->y : y;
    int32_t nw = width == kDefault || width == 0 ? target->width : xf_mdi_extent(width);
    int32_t nh = height == kDefault || height == 0 ? target->height : xf_mdi_extent(height);
    bool sized = nw != target->width || nh != target->height, moved = nx != target->x || ny != target->y;
    if (target == child) {
      if (sized) {
        xfSetWindowGeometry(child, child->x, child->y, nw, nh);
        xf_mdi_layout(child);
        if (c.client) xfSendMsg(c.client, ZWM_SIZE, 0, xf_pack(c.client->width, c.client->height));
      }
      if (moved) {
        xfMoveWindowTo(child, nx, ny);
        if (c.client) xfSendMsg(c.client, ZWM_MOVE, 0, xf_pack(nx, ny));
      }
    } else {
      if (sized) xfResizeWindowTo(target, nw, nh);
      if (moved) xfMoveWindowTo(target, nx, ny);
    }
  }
  if (!is_child(child)) return 1;
  if (flags & 8) {
    xfMdiMaximize(child);
  } else if (flags & 4) {
    xfMdiMinimize(child);
  } else if (flags & 0x200) {
    xfMdiRestore(child, false);
  }
  if (!is_child(child)) return 1;
  if (flags & 0x20) {
    xfPostMsg(child, ZWM_MDIHIDE, 0, 0);
  } else if (flags & 0x80) {
    xfPostMsg(child, ZWM_MDISHOW, 0, 0);
  }
  if (flags & 0x10) {
    xfMdiActivate(child);
  } else if (flags & 0x400) {
    XfWindow* target = c.state == kMdiMinimised && c.icon_holder ? c.icon_holder : child;
    if (!after) {
      xfRaiseWindow(target);
    } else if (after == reinterpret_cast<XfWindow*>(static_cast<uintptr_t>(0xFFFFFFFF))) {
      xfLowerWindow(target);
    } else if (xf_is_live_window(after)) {
      xfRestackBelow(target, after);
    }
  }
  return 1;
}

void xfMdiSetTitle(XfWindow* child, const char* text) {
  if (!is_child(child)) return;
  set_frame_text(child, text);
  XfMdiChildWords& c = W(child);
  XfWindow* client = child->parent;
  switch (c.state) {
    case kMdiMinimised:
      xfMdiSizeIconLabel(child, child->text);
      break;
    case kMdiMaximised:
      xfMdiComposeFrameTitle(xf_mdi_app_frame(client), child->text);
      break;
    default:
      if (c.title) xfInvalidateRect(c.title, nullptr);
      break;
  }
  xfMdiMenuSetText(client->k.mdiclient.window_menu, child, child->text);
}

int xfMdiClientCommand(XfWindow* client, uint32_t command) {
  if (!is_client(client)) return 1;
  XfMdiClientWords& cw = client->k.mdiclient;
  XfMdi& s = xf_mdi();
  switch (command) {
    case kMdiCascade:
      xfMdiCascade(client);
      return 1;
    case kMdiTileV:
      xfMdiTile(client, true);
      return 1;
    case kMdiTileH:
      xfMdiTile(client, false);
      return 1;
    case kMdiArrange:
      xfMdiArrangeIcons(client);
      return 1;
    case kMdiNextChild:
      if (is_child(cw.active)) xfMdiNext(cw.active);
      return 1;
    case kMdiPrevChild:
      if (is_child(cw.active)) xfMdiPrevious(cw.active);
      return 1;
    case kMdiCloseActive:
      if (is_child(cw.active)) xfMdiDestroy(cw.active);
      return 1;
    case kMdiRestoreItem:  // the menu bar's item of the maximised child
      if (is_child(cw.active) && W(cw.active).state == kMdiMaximised) xfMdiRestore(cw.active, false);
      return 1;
    default:
      break;
  }
  if (!s.ids.is_entry(command)) return 1;
  for (XfWindow* w : s.children) {
    if (w->parent != client || W(w).menu_id != command || w == cw.active) continue;
    if (is_child(cw.active) && W(cw.active).state == kMdiMaximised) {
      xfMdiMaximize(w);
      return 0;
    }
    xfMdiActivate(w);
    return 1;
  }
  return 1;
}

intptr_t xfMdiChildDefProc(XfWindow* area, uint32_t message, intptr_t mp1, intptr_t mp2) {
  XfWindow* child = xf_mdi_frame_of(area);
  switch (message) {
    case ZWM_SYSCOMMAND:
      if (!child) return 0;
      switch (mp1 & 0xFFFF) {
        case kMdiCmdMinimise:
          xfMdiMinimize(child);
          break;
        case kMdiCmdMaximise:
          xfMdiMaximize(child);
          break;
        case kMdiCmdRestore:
          xfMdiRestore(child, false);
          break;
        case kMdiCmdSize:
          xfPostMsg(child, ZWM_MDIKEYBOARDSIZE, 0, 0);
          break;
        case kMdiCmdMove:
          xfMdiTrackTitle(W(child).title, ZWM_SYSCOMMAND, kMdiCmdMove, 0);
          break;
        case kMdiCmdNext:
          xfMdiNext(child);
          break;
        case kMdiCmdClose:
          xfSendMsg(area, ZWM_CLOSE, 0, 0);
          break;
        default:
          break;
      }
      return 0;
    case ZWM_HITTEST:
      return mp1;
    case ZWM_MOUSEACTIVATE:
      if (child && child->parent->k.mdiclient.active != child) xfMdiActivateOrMaximize(child);
      return 1;
    case ZWM_PAINT:
      xfValidateWindow(area);
      return 0;
    case ZWM_CHAR: {
      XfWindow* app = child ? W(child).outer : nullptr;
      return app && app->kind == XFTYPE_STDFRAME ? reinterpret_cast<intptr_t>(xfQueryFrameMenu(app)) : 0;
    }
    default:
      return xfDefWindowProc(area, message, mp1, mp2);
  }
}
