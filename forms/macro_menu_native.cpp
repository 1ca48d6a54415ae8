// The macro menus' native side: the window system's menu calls.
#include <cstring>

#include "forms/app_port.h"
#include "forms/macro_menu.h"
#include "forms/objects.h"
#include "winsys/fonts.h"
#include "winsys/mdi_winapi.h"
#include "winsys/menu.h"
#include "winsys/menu_api.h"
#include "winsys/message_numbers.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/xfont.h"
#include "winsys/xfsys.h"

namespace {

uint32_t native_flags(uint32_t flags) { return flags & (kMiChecked | kMiDisabled | kMiSysCommand); }

// The frame window of an object: the editor's main frame for the frame object.
XfWindow* frame_of(WindowObject* obj) {
  if (!obj) return nullptr;
  if (obj == obj_frame_object()) return app_frame_client() ? WinFrameFromClient(app_frame_client()) : nullptr;
  return obj->frame_window;
}

XfMenu* create(int32_t kind, WindowObject* owner) {
  if (kind == 1) return WinCreateMenu(kMenuKindBar, frame_of(owner));
  return WinCreateMenu(kMenuKindPopup, nullptr);
}

void destroy(XfMenu* menu) {
  if (menu) WinDestroyMenu(menu);
}

int insert_item(XfMenu* menu, int32_t position, uint32_t id, const char* caption, uint32_t flags) {
  return WinInsertMenuItem(menu, position, id, caption, native_flags(flags));
}

XfMenu* insert_cascade(XfMenu* menu, int32_t position, uint32_t id, const char* caption, uint32_t flags) {
  if (!menu) return nullptr;
  XfMenu* popup = WinCreateMenu(kMenuKindPopup, nullptr);
  if (!popup) return nullptr;
  if (!WinInsertSubmenu(menu, position, id, caption, native_flags(flags), popup)) {
    WinDestroyMenu(popup);
    return nullptr;
  }
  return popup;
}

void delete_item(XfMenu* menu, int32_t position) { WinDeleteMenuItem(menu, static_cast<uint32_t>(position), 1); }

void modify_item(XfMenu* menu, int32_t, uint32_t id, XfMenu* submenu, const char* caption, uint32_t flags) {
  WinModifyMenuItem(menu, nullptr, id, submenu, caption, native_flags(flags));
}

// The merged system menu of a maximised editor window takes position 0 of
// the frame's bar.
int32_t offset(XfMenu* menu) { return menu && xfMenuSysMenuItem(menu) ? 1 : 0; }

int attach(WindowObject* obj, XfMenu* bar, XfMenu* window_list) {
  XfWindow* frame = frame_of(obj);
  if (!frame) return 0;
  if (obj == obj_frame_object() && app_mdi_client()) {
    if (bar) return WinMDISetMenu(app_mdi_client(), bar, window_list);
    WinMDISetMenu(app_mdi_client(), nullptr, nullptr);
  }
  return WinSetMenu(frame, bar);
}

void relayout(WindowObject* obj) {
  if (XfWindow* frame = frame_of(obj)) WinLayoutFrame(frame);
}

int track(XfMenu* menu, uint32_t flags, int32_t x, int32_t y) {
  XfWindow* owner = app_frame_client();
  return menu ? WinTrackPopupMenu(menu, flags, x, y, owner) : 0;
}

void post_destroy(int32_t menu) {
  if (XfWindow* w = app_frame_client())
    WinPostMsg(w, kMsgDestroyMenu, 0, menu);
  else
    menu_destroy(menu, true);
}

// The menus' one font: the one a macro set (the window system's font
// element 0), else the one the menus opened at start-up.
void get_font(std::string* face, int32_t* tenths, uint32_t* style) {
  if (xf_sys_font_record(0)) {
    WinQuerySysFont(0, face, tenths, style);
    return;
  }
  int32_t points = 0;
  xfQueryMenuFont(face, &points, style);
  *tenths = points * 10;
}

// Every menu is laid out again in the new font.
void set_font(const char* face, int32_t tenths, uint32_t style) {
  if (!xf_display()) return;  // fonts need the server
  WinSetSysFont(0, face, tenths, style);
  if (XfFont* f = xf_sys_font_record(0); f && f->fs) xfSetMenuFont(f->fs, style);
}

const MenuNativeOps* g_ops = nullptr;  // null: the window system's

}  // namespace

const MenuNativeOps kMenuWindowSystem = {
    .create = create,
    .destroy = destroy,
    .insert_item = insert_item,
    .insert_cascade = insert_cascade,
    .delete_item = delete_item,
    .modify_item = modify_item,
    .offset = offset,
    .attach = attach,
    .relayout = relayout,
    .track = track,
    .post_destroy = post_destroy,
    .get_font = get_font,
    .set_font = set_font,
};

const MenuNativeOps& menu_native() { return g_ops ? *g_ops : kMenuWindowSystem; }
void menu_native_substitute(const MenuNativeOps* ops) { g_ops = ops; }
