// The menu built-ins of the macro language: live menus by handle, menu
// resources by a handle of 65536 or more.
#include <string>

#include "base/messages.h"
#include "display/colours.h"
#include "forms/macro_menu.h"
#include "forms/menu_res.h"
#include "forms/objects.h"
#include "forms/prop_table.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/interp.h"
#include "macro/opcodes.h"
#include "macro/stack.h"

namespace {

// The border style that has no room for a menu bar.
constexpr uint32_t kPropBorder = 16, kBorderNoMenu = 3;

// The current object when it may carry a menu bar: the frame object or a
// form of its own (not an editor window, not the placeholder window).
WindowObject* menu_owner() {
  WindowObject* o = window_current();
  if (!o) return nullptr;
  if (o == obj_frame_object()) return o;
  if (o->type != kObjFrame && o->type != kObjForm) return nullptr;
  if (o->parent == obj_frame_object() || (o->flags & kWinHidden)) return nullptr;
  return o;
}

bool arg_int64(int32_t n, int32_t i, int64_t* out) {
  int32_t v = 0;
  const std::string_view a = bi_strip_blanks(bi_arg(n, i));
  // Resource handles pass 2^31: read them as unsigned when all digits.
  if (!a.empty() && a.size() <= 10 && a.find_first_not_of("0123456789") == std::string_view::npos) {
    *out = std::stoll(std::string(a));
    return true;
  }
  if (!bi_arg_int(n, i, &v)) return false;
  *out = v;
  return true;
}

int32_t handle32(int64_t h) { return h > INT32_MAX || h < INT32_MIN ? -1 : static_cast<int32_t>(h); }

// The strings of arguments from..n-1, in the order caption, command,
// categories, help command, help message.
MenuStrings strings_from(int32_t n, int32_t from) {
  MenuStrings s;
  std::string* fields[] = {&s.caption, &s.command, &s.categories, &s.help_command, &s.help_message};
  for (int32_t i = from; i < n && i - from < 5; ++i) *fields[i - from] = bi_arg_str(n, i);
  return s;
}

// Ext 120: menu.
void bi_set_object_menu() {
  int64_t menu = 0;
  if (!arg_int64(1, 0, &menu)) return;
  core_drop(1);
  WindowObject* o = menu_owner();
  if (!o) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  if (prop_get_field(o->props, kPropBorder) == kBorderNoMenu) return vm_set_rc(ERR_BORDER_NO_MENUS);
  vm_set_rc_or_raise(menu_attach(o, handle32(menu)));
}

// Ext 121: menu key flags [option CMP [caption [command [categories [help
// command [help message]]]]]].
void bi_set_menu_item() {
  int32_t n = 0;
  if (!bi_count(3, 9, &n)) return;
  int64_t menu = 0;
  int32_t flags = 0;
  char option = 'C';
  if (!arg_int64(n, 0, &menu) || !bi_arg_int(n, 2, &flags)) return;
  if (n >= 4 && !bi_arg_letter(n, 3, "CMP", &option)) return;
  const std::string key(bi_strip_blanks(bi_arg(n, 1)));
  const MenuStrings s = strings_from(n, 4);
  core_drop(n);
  vm_set_rc_or_raise(menu_set_state(handle32(menu), key, static_cast<uint32_t>(flags), option, n > 4 ? &s : nullptr));
}

// Ext 128: menu key [option CMP], variables flags [caption command
// categories help-command help-message].
void bi_get_menu_item() {
  int32_t n = 0;
  if (!bi_count(2, 3, &n)) return;
  uint32_t vars[6] = {};
  int32_t nv = 0;
  if (!bi_var_group(1, 6, vars, &nv)) return core_drop(n);
  int64_t menu = 0;
  char option = 'C';
  if (!arg_int64(n, 0, &menu)) return;
  if (n == 3 && !bi_arg_letter(n, 2, "CMP", &option)) return;
  const std::string key(bi_strip_blanks(bi_arg(n, 1)));
  core_drop(n);
  uint32_t flags = 0;
  MenuStrings s;
  const int32_t r = menu_get_item(handle32(menu), key, option, &flags, &s);
  if (r < 0) return vm_set_rc_or_raise(r);
  var_store_int(vars[0], static_cast<int32_t>(flags));
  const std::string* fields[] = {&s.caption, &s.command, &s.categories, &s.help_command, &s.help_message};
  for (int32_t i = 1; i < nv; ++i)
    var_store_bytes(vars[i], fields[i - 1]->data(), static_cast<int32_t>(fields[i - 1]->size()));
  vm_set_rc(0);
}

// Ext 197: resource [option PM] -> a new menu.
void bi_load_menu() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  int64_t resource = 0;
  char option = 'M';
  if (!arg_int64(n, 0, &resource)) return;
  if (n == 2 && !bi_arg_letter(n, 1, "PM", &option)) return;
  core_drop(n);
  WindowObject* o = menu_owner();
  if (!o) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
  const int32_t r = menu_load_resource(o, resource, option == 'M' ? 1 : 0);
  if (r < 0) vm_set_rc(r);
  // A default menu font set by the macros goes to the new menu.
  if (const DefaultFont* f = default_font(kMenuFontId); r > 0 && f && f->face[0])
    menu_set_font(r, f->face, f->size * 10, f->flags);
  vm_push_int(r);
}

// Ext 198: menu [flags [x [y]]].
void bi_show_popup_menu() {
  int32_t n = 0;
  if (!bi_count(1, 4, &n)) return;
  int64_t menu = 0;
  int32_t v[3] = {0x2000, 0, 0};
  if (!arg_int64(n, 0, &menu)) return;
  for (int32_t i = 1; i < n; ++i)
    if (!bi_arg_int(n, i, &v[i - 1])) return;
  core_drop(n);
  vm_set_rc_or_raise(
      menu_track_popup(window_current(), handle32(menu), static_cast<uint32_t>(v[0]) & 0x300E, v[1], v[2]));
}

// Ext 201: menu [option C] -> the number of items.
void bi_menu_item_count() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  int64_t menu = 0;
  char option = 'C';
  if (!arg_int64(n, 0, &menu)) return;
  if (n == 2 && !bi_arg_letter(n, 1, "C", &option)) return;
  core_drop(n);
  const int32_t r = menu_item_count(handle32(menu));
  if (r < 0) vm_set_rc(r);
  vm_push_int(r);
}

// Ext 202: menu.
void bi_destroy_menu() {
  int64_t menu = 0;
  if (!arg_int64(1, 0, &menu)) return;
  core_drop(1);
  vm_set_rc_or_raise(menu_destroy_by_macro(handle32(menu)));
}

// Ext 203: menu position [ignored].
void bi_delete_menu_item() {
  int32_t n = 0;
  if (!bi_count(2, 3, &n)) return;
  int64_t menu = 0;
  int32_t position = 0;
  if (!arg_int64(n, 0, &menu) || !bi_arg_int(n, 1, &position)) return;
  core_drop(n);
  vm_set_rc_or_raise(menu >= kMenuResourceHandleMin ? menu_resource_delete(menu, position)
                                                    : menu_delete_item(handle32(menu), position));
}

// Ext 204: menu position flags caption [command [categories [help command
// [help message]]]].
void bi_insert_menu_item() {
  int32_t n = 0;
  if (!bi_count(4, 8, &n)) return;
  int64_t menu = 0;
  int32_t position = 0, flags = 0;
  if (!arg_int64(n, 0, &menu) || !bi_arg_int(n, 1, &position) || !bi_arg_int(n, 2, &flags)) return;
  const MenuStrings s = strings_from(n, 3);
  core_drop(n);
  const uint32_t f = static_cast<uint32_t>(flags);
  vm_set_rc_or_raise(menu >= kMenuResourceHandleMin ? menu_resource_insert(menu, position, f, s)
                                                    : menu_insert(handle32(menu), position, f, s));
}

// Ext 205: menu key [option MC], variables menu position -> 0 or -3022.
void bi_find_menu_item() {
  int32_t n = 0;
  if (!bi_count(2, 3, &n)) return;
  const uint32_t var_menu = vm_fetch_var_operand();
  const uint32_t var_pos = var_menu ? vm_fetch_var_operand() : 0;
  if (!var_pos) return core_drop(n);
  int64_t menu = 0;
  char option = 'C';
  if (!arg_int64(n, 0, &menu)) return;
  if (n == 3 && !bi_arg_letter(n, 2, "MC", &option)) return;
  const std::string key(bi_strip_blanks(bi_arg(n, 1)));
  core_drop(n);
  int32_t found = 0, position = 0;
  const int32_t r = menu_find_item(handle32(menu), key, option, &found, &position);
  if (r == 0) {
    var_store_int(var_menu, found);
    var_store_int(var_pos, position);
  }
  vm_push_int(r);
}

// Ext 208: menu resource command key-text [option BUC].
void bi_set_menu_key_text() {
  int32_t n = 0;
  if (!bi_count(4, 5, &n)) return;
  int64_t menu = 0, resource = 0;
  char option = 'B';
  if (!arg_int64(n, 0, &menu) || !arg_int64(n, 1, &resource)) return;
  if (n == 5 && !bi_arg_letter(n, 4, "BUC", &option)) return;
  const std::string command(bi_arg(n, 2)), key_text(bi_arg(n, 3));
  core_drop(n);
  int32_t r = 0;
  if (resource != 0) r = menu_resource_key_text(resource, command, key_text, option);
  int32_t m = 0;
  if (menu != 0) m = menu_set_key_text(handle32(menu), command, key_text, option);
  vm_set_rc_or_raise(r != 0 ? r : m);
}

// Ext 211: source position target position.
void bi_move_menu_resource_item() {
  int64_t source = 0, target = 0;
  int32_t sp = 0, tp = 0;
  if (!arg_int64(4, 0, &source) || !bi_arg_int(4, 1, &sp) || !arg_int64(4, 2, &target) || !bi_arg_int(4, 3, &tp))
    return;
  core_drop(4);
  if (source < kMenuResourceHandleMin || target < kMenuResourceHandleMin) return vm_raise_fatal(ERR_INVALID_ARGUMENT);
  vm_set_rc_or_raise(menu_resource_move(source, sp, target, tp));
}

constexpr OpcodeBinding kMenuOpcodes[] = {
    {opcode_slot("set_object_menu"), bi_set_object_menu},
    {opcode_slot("set_menu_item"), bi_set_menu_item},
    {opcode_slot("get_menu_item"), bi_get_menu_item},
    {opcode_slot("load_menu"), bi_load_menu},
    {opcode_slot("show_popup_menu"), bi_show_popup_menu},
    {opcode_slot("menu_item_count"), bi_menu_item_count},
    {opcode_slot("destroy_menu"), bi_destroy_menu},
    {opcode_slot("delete_menu_item"), bi_delete_menu_item},
    {opcode_slot("insert_menu_item"), bi_insert_menu_item},
    {opcode_slot("find_menu_item"), bi_find_menu_item},
    {opcode_slot("set_menu_key_text"), bi_set_menu_key_text},
    {opcode_slot("move_menu_resource_item"), bi_move_menu_resource_item},
};

}  // namespace

BindResult menu_register_opcodes(OpcodeDispatch& d) { return opcodes_register(d, Layer::Forms, kMenuOpcodes); }
