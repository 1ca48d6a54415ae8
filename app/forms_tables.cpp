// The forms' runtime tables for the wiring check (see forms_tables.h).
#include "app/forms_tables.h"

#include "app/native_windows.h"
#include "forms/macro_menu.h"
#include "forms/obj_window.h"
#include "services/help_view_win.h"

namespace {

template <typename Fn>
WiringSlot slot(const char* name, Fn* fn) {
  return {name, reinterpret_cast<const void*>(fn)};
}

std::span<const WiringSlot> native_slots(const NativeWindowOps& o, std::array<WiringSlot, 13>& out) {
  out = {{slot("create", o.create), slot("destroy", o.destroy), slot("show", o.show), slot("enable", o.enable),
          slot("get_rect", o.get_rect), slot("set_rect", o.set_rect), slot("client_size", o.client_size),
          slot("get_state", o.get_state), slot("set_state", o.set_state), slot("repaint", o.repaint),
          slot("relayout", o.relayout), slot("set_text", o.set_text), slot("set_pointer", o.set_pointer)}};
  return out;
}

std::span<const WiringSlot> menu_slots(const MenuNativeOps& o, std::array<WiringSlot, 13>& out) {
  out = {{slot("create", o.create), slot("destroy", o.destroy), slot("insert_item", o.insert_item),
          slot("insert_cascade", o.insert_cascade), slot("delete_item", o.delete_item),
          slot("modify_item", o.modify_item), slot("offset", o.offset), slot("attach", o.attach),
          slot("relayout", o.relayout), slot("track", o.track), slot("post_destroy", o.post_destroy),
          slot("get_font", o.get_font), slot("set_font", o.set_font)}};
  return out;
}

}  // namespace

std::array<WiringTable, 4> forms_wiring_tables() {
  static std::array<WiringSlot, 13> editor, control, help, menus;
  return {{
      {"native windows: editor", native_slots(kEditorWindowOps, editor)},
      {"native windows: control", native_slots(kControlWindowOps, control)},
      {"native windows: help", native_slots(kHelpControlWindowOps, help)},
      {"macro menus: window system", menu_slots(kMenuWindowSystem, menus)},
  }};
}
