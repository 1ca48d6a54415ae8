// Property dispatch and the generic accessors (see prop_dispatch.h).
#include "forms/prop_dispatch.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>

#include "base/handle_heap.h"
#include "forms/objects.h"
#include "forms/prop_table.h"
#include "forms/templates.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/dll_port.h"
#include "macro/interp.h"
#include "macro/opcodes.h"
#include "macro/stack.h"
#include "macro/varheap.h"

PropDispatchState prop_state;

namespace {

PropertyBlock g_tpl_copy;  // the template record an access works on

// Ids whose set leaves designChanged alone.
bool marks_design_change(uint32_t id) { return id != 72 && id != 73 && id != 74 && id != 103 && id != 155; }

bool macro_running() { return vm.frame_depth > vm.target_depth; }

// Where an access goes. For a live object the object becomes current for
// the access and the previous current object comes back afterwards.
struct Target {
  WindowObject* obj = nullptr;
  bool tpl = false;
  uint32_t tpl_index = 0, control = 0;
  bool pushed = false;
  WindowSave save{};
  ~Target() {
    if (pushed) window_pop_current(save);
  }
};

// 0, or -2088 (not raised).
ErrorCode resolve(int64_t handle, bool allow_current, Target* t) {
  if (handle < 0 || handle > 0xFFFFFFFFll) return ERR_INVALID_OBJECT_HANDLE;
  const uint32_t high = static_cast<uint32_t>(handle >> kHandleTemplateShift);
  const uint32_t low = static_cast<uint32_t>(handle & 0xFFFF);
  if (high == 0) {
    WindowObject* o = low == 0 ? (allow_current ? window_current() : nullptr) : obj_get(static_cast<int32_t>(low));
    if (!o) return ERR_INVALID_OBJECT_HANDLE;
    t->obj = o;
    if (o != window_current()) {
      window_push_current(o, t->save);
      t->pushed = true;
    }
    return 0;
  }
  if (!tpl_is_template(high) || !tpl_read(high, low, &g_tpl_copy) || g_tpl_copy.type == 0)
    return ERR_INVALID_OBJECT_HANDLE;
  t->tpl = true;
  t->tpl_index = high;
  t->control = low;
  return 0;
}

// The access checks shared by get and set; 0 or the refusal (not raised).
ErrorCode check_access(const Target& t, const PropertyRecord& r, bool set) {
  PropDispatchState& s = prop_state;
  s.obj = t.obj;
  s.view = nullptr;
  s.buf = nullptr;
  s.tpl_index = t.tpl_index;
  s.tpl_control = t.control;
  s.id = r.id;
  if (t.tpl) {
    s.block = &g_tpl_copy;
    if (!(r.flags & (set ? kPropTplSet : kPropTplGet))) return ERR_REQUIRES_DISPLAYED_OBJECT;
  } else {
    s.block = &t.obj->props;
    if (r.flags & kPropView) {
      if (!t.obj->view || !t.obj->view->buffer) return ERR_NOT_ALLOWED_ON_OBJECT;
      s.view = t.obj->view;
      s.buf = t.obj->view->buffer;
    } else if ((r.flags & kPropDisplay) && t.obj->line_height <= 0) {
      return ERR_NOT_ALLOWED_ON_OBJECT;
    }
  }
  if (!(obj_type_bit(s.block->type) & r.type_mask)) return ERR_NOT_ALLOWED_ON_OBJECT;
  // A row without the accessor is refused here, never called.
  if (!(set ? r.setter : r.getter)) return ERR_NOT_ALLOWED_ON_OBJECT;
  return 0;
}

ErrorCode get_dispatch(const Target& t, uint32_t id) {
  const PropertyRecord& r = prop_record(id);
  if (const ErrorCode e = check_access(t, r, false); e != 0) {
    vm_raise_error(e);
    return e;
  }
  const int32_t before = vm_stack.top;
  r.getter();
  assert(vm_stack.top == before + 1 || !macro_running() || vm.frame_depth <= vm.target_depth);
  (void)before;
  return 0;
}

// The value of a set: text, or a number for rows without a text form.
struct SetValue {
  std::string_view text;
  bool has_text = true;
  int32_t number = 0;
};

ErrorCode set_dispatch(const Target& t, uint32_t id, const SetValue& v, bool convert) {
  const PropertyRecord& r = prop_record(id);
  const int32_t noted = t.obj ? t.obj->handle : 0;
  const uint32_t serial = t.obj ? t.obj->serial : 0;
  if (const ErrorCode e = check_access(t, r, true); e != 0) {
    vm_raise_error(e);
    return e;
  }
  PropDispatchState& s = prop_state;
  s.str.assign(v.text);
  s.num = s.dec = v.number;
  if (v.has_text && !(r.flags & (kPropString | kPropFontText | kPropStateText))) {
    if (convert) {
      LStrLine copy;
      copy.assign(v.text);
      const ErrorCode e =
          (r.flags & kPropDecimal) ? val_to_int_decimal(copy.ls(), &s.dec) : val_to_int(copy.ls(), &s.num);
      if (e != 0) return e;  // raised by the converter; nothing set
    } else {
      lstr_number_error = 0;
      const int32_t n = lstr_to_long(s.str.ls());
      s.num = s.dec = lstr_number_error ? 0 : n;
    }
  } else if (!v.has_text) {
    char text[16];
    s.str.assign(std::string_view(text, static_cast<size_t>(std::snprintf(text, sizeof text, "%d", v.number))));
  }
  const int32_t depth = vm.frame_depth;
  r.setter();
  if (t.tpl) tpl_write(t.tpl_index, t.control, g_tpl_copy);
  const bool unwound = vm.frame_depth < depth || (depth > 0 && !macro_running());
  if (!unwound && noted && obj_same(noted, serial) && marks_design_change(id)) {
    WindowObject* o = obj_get(noted);
    if (o->design_mode) o->design_changed = 1;
  }
  return 0;
}

// The handle held by a stack entry; false when it is not an integer.
bool handle_at_depth(int32_t depth, int64_t* out) {
  lstr_number_error = 0;
  const int32_t v = lstr_to_long(core_value(depth));
  if (lstr_number_error) return false;
  *out = static_cast<uint32_t>(v);
  if (v < 0) *out = -1;
  return true;
}

// Runs one instruction of the running module, as the run loop does.
void step() {
  const uint8_t* ip = vm.regs.ip;
  if (ip < vm.regs.module_base || ip >= vm.regs.module_end) return vm_raise_fatal(ERR_ILLEGAL_OPCODE);
  if (--vm.steps_left <= 0) {
    vm.steps_left = 1;
    vm.budget_spent = true;
    return vm_raise_fatal(ERR_ILLEGAL_OPCODE);
  }
  vm.regs.ip = ip + 1;
  vm_dispatch.main[*ip]();
}

}  // namespace

// ---- entry points ----

ErrorCode prop_get_by_handle(int64_t handle, uint32_t id, bool allow_current) {
  Target t;
  if (const ErrorCode e = resolve(handle, allow_current, &t); e != 0) {
    vm_raise_error(e);
    return e;
  }
  return get_dispatch(t, id);
}

ErrorCode prop_set_by_handle(int64_t handle, uint32_t id, std::optional<std::string_view> text, int32_t value) {
  Target t;
  if (const ErrorCode e = resolve(handle, true, &t); e != 0) {
    vm_raise_error(e);
    return e;
  }
  SetValue v;
  if (text) {
    v.text = text->substr(0, LSTR_CAP_LINE);
  } else {
    v.has_text = false;
    v.number = value;
  }
  return set_dispatch(t, id, v, false);
}

namespace {
// Runs a get and takes its value off the stack.
bool get_text(int64_t handle, uint32_t id, std::string* out) {
  const int32_t top = vm_stack.top;
  if (prop_get_by_handle(handle, id, true) != 0 || vm_stack.top != top + 1) {
    while (vm_stack.top > top) vm_pop();
    return false;
  }
  *out = std::string(lstr_view(vm_top()));
  vm_pop();
  return true;
}
}  // namespace

int32_t prop_get_int_by_handle(int64_t handle, uint32_t id) {
  std::string s;
  if (!get_text(handle, id, &s)) return 0;
  LStrLine l;
  l.assign(s);
  lstr_number_error = 0;
  const int32_t v = lstr_to_long(l.ls());
  return lstr_number_error ? 0 : v;
}

int32_t prop_get_number_by_handle(int64_t handle, uint32_t id) {
  std::string s;
  int32_t v = 0;
  if (!get_text(handle, id, &s)) return 0;
  LStrLine l;
  l.assign(s);
  return val_to_int_decimal(l.ls(), &v) == 0 ? v : 0;
}

int32_t prop_get_cstr_by_handle(int64_t handle, uint32_t id, char* out, int32_t size) {
  if (size <= 0) return 0;
  out[0] = 0;
  std::string s;
  if (!get_text(handle, id, &s)) return 0;
  const size_t n = std::min(s.size(), static_cast<size_t>(size - 1));
  std::memcpy(out, s.data(), n);
  out[n] = 0;
  return static_cast<int32_t>(n);
}

int32_t prop_set_int_by_handle(int64_t handle, uint32_t id, int32_t value) {
  return prop_set_by_handle(handle, id, std::nullopt, value);
}
int32_t prop_set_cstr_by_handle(int64_t handle, uint32_t id, const char* text) {
  return prop_set_by_handle(handle, id, std::string_view(text ? text : ""), 0);
}

// ---- the editor API table's property and window entries ----

namespace {
// A library's 32-bit handle: the template in the high half, the object or
// control in the low half.
int64_t library_handle(int32_t handle) { return static_cast<uint32_t>(handle); }
}  // namespace

int32_t dll_property_get_int(int32_t handle, int32_t id) {
  return prop_get_int_by_handle(library_handle(handle), static_cast<uint32_t>(id));
}
int32_t dll_property_get_number(int32_t handle, int32_t id) {
  return prop_get_number_by_handle(library_handle(handle), static_cast<uint32_t>(id));
}
int32_t dll_property_get_cstr(int32_t handle, int32_t id, char* out, int32_t size) {
  return prop_get_cstr_by_handle(library_handle(handle), static_cast<uint32_t>(id), out, size);
}
int32_t dll_property_get_bytes(int32_t handle, int32_t id, char* out, int32_t count) {
  std::string s;
  if (count <= 0 || !out || !get_text(library_handle(handle), static_cast<uint32_t>(id), &s)) return 0;
  const size_t n = std::min(s.size(), static_cast<size_t>(count));
  std::memcpy(out, s.data(), n);
  return static_cast<int32_t>(n);
}
int32_t dll_property_set_int(int32_t handle, int32_t id, int32_t value) {
  return prop_set_int_by_handle(library_handle(handle), static_cast<uint32_t>(id), value);
}
int32_t dll_property_set_cstr(int32_t handle, int32_t id, const char* text) {
  return prop_set_cstr_by_handle(library_handle(handle), static_cast<uint32_t>(id), text);
}
int32_t dll_property_set(int32_t handle, int32_t id, int32_t value, const char* text) {
  if (!text) return prop_set_int_by_handle(library_handle(handle), static_cast<uint32_t>(id), value);
  // With a text a positive number is its length; otherwise it runs to its NUL.
  const size_t cap = value > 0 ? static_cast<size_t>(value) : static_cast<size_t>(LSTR_CAP_LINE);
  return prop_set_by_handle(library_handle(handle), static_cast<uint32_t>(id),
                            std::string_view(text, strnlen(text, cap)), 0);
}

int32_t dll_push_window(int32_t handle, WindowSave* save) {
  const int64_t h = library_handle(handle);
  const uint32_t high = static_cast<uint32_t>(h >> kHandleTemplateShift);
  if (high != 0) return tpl_is_template(high) ? ERR_REQUIRES_DISPLAYED_OBJECT : ERR_INVALID_OBJECT_HANDLE;
  WindowObject* o = h == 0 ? window_current() : obj_get(static_cast<int32_t>(h));
  if (!o || !save) return ERR_INVALID_OBJECT_HANDLE;
  window_push_current(o, *save);
  return 0;
}

// ---- strings ----

int32_t prop_assign_string_slot(int32_t* slot, std::optional<std::string_view> s) {
  const auto h = static_cast<HeapHandle>(static_cast<uint32_t>(*slot));
  if (*slot != 0 && s)
    return hheap_set(h, s->data(), static_cast<uint32_t>(s->size())) == 0 ? 0 : ERR_NOT_ENOUGH_MEMORY;
  if (*slot != 0) {
    hheap_free(h);
    *slot = 0;
    return 0;
  }
  if (!s) return 0;
  const HeapHandle n = s->empty() ? hheap_new_handle() : hheap_alloc(s->data(), static_cast<uint32_t>(s->size()));
  if (n == HeapHandle::none) return ERR_NOT_ENOUGH_MEMORY;
  if (static_cast<uint32_t>(n) > 0xFFFF) {  // the block keeps 16-bit handles
    hheap_free(n);
    return ERR_NOT_ENOUGH_MEMORY;
  }
  *slot = static_cast<int32_t>(n);
  return 0;
}

std::string_view prop_slot_string(int32_t slot) {
  if (slot == 0) return {};
  const auto h = static_cast<HeapHandle>(static_cast<uint32_t>(slot));
  const uint8_t* d = hheap_data(h);
  return d ? std::string_view(reinterpret_cast<const char*>(d), hheap_length(h)) : std::string_view();
}

int32_t prop_block_set_string(PropertyBlock& b, uint32_t id, std::optional<std::string_view> s) {
  int32_t slot = static_cast<int32_t>(prop_get_field(b, id));
  const int32_t r = prop_assign_string_slot(&slot, s);
  if (r == 0) prop_set_field(b, id, static_cast<uint32_t>(slot));
  return r;
}

std::string_view prop_block_string(const PropertyBlock& b, uint32_t id) {
  return prop_slot_string(static_cast<int32_t>(prop_get_field(b, id)));
}

void obj_free_strings(WindowObject* obj) {
  for (uint32_t id : {25u, 26u, 28u, 29u, 30u, 52u, 86u, 92u, 93u, 162u}) {
    if (obj_type_bit(obj->props.type) & prop_record(id).type_mask || id == 30 || id == 52)
      prop_block_set_string(obj->props, id, std::nullopt);
  }
  for (int32_t& s : obj->free_string) prop_assign_string_slot(&s, std::nullopt);
}

// ---- generic accessors ----

void prop_get_int_push() {
  // A whole word reads back signed; a narrower field (at most 16 bits wide
  // here) is never negative.
  vm_push_int(prop_field_value(*prop_state.block, prop_state.id));
}

void prop_set_from_int() { prop_set_field(*prop_state.block, prop_state.id, static_cast<uint32_t>(prop_state.num)); }

void prop_set_flag() { prop_set_field(*prop_state.block, prop_state.id, prop_state.num != 0); }

void prop_get_string_push() {
  const std::string_view s = prop_state.obj ? prop_block_string(*prop_state.block, prop_state.id)
                                            : tpl_string(*prop_state.block, prop_state.id);
  const std::string copy(s);  // the push may move the heap
  vm_push_bytes(copy.data(), static_cast<int32_t>(copy.size()));
}

void prop_set_string_value() {
  const std::string_view v = prop_state.str.view();
  const int32_t r = prop_state.obj ? prop_block_set_string(*prop_state.block, prop_state.id, v)
                                   : tpl_update_string(*prop_state.block, prop_state.id, v);
  if (r != 0) vm_raise_fatal(ERR_NOT_ENOUGH_MEMORY);
}

void prop_refuse(ErrorCode code, bool fatal) {
  if (fatal)
    vm_raise_fatal(code);
  else
    vm_raise_error(code);
}

// ---- opcodes ----

// Main 110: id -> the property of the current object.
void op_property_get_current() {
  uint8_t id = 0;
  if (!vm_fetch_u8(&id)) return;
  if (!window_current()) return vm_raise_error(ERR_INVALID_OBJECT_HANDLE);
  prop_get_by_handle(0, id, true);
}

// Main 85: id depth; depth 0 pops the handle, depth n reads it n - 1 below
// the top and leaves it.
void op_property_get_handle() {
  uint8_t id = 0, depth = 0;
  if (!vm_fetch_u8(&id) || !vm_fetch_u8(&depth)) return;
  const int32_t at = depth == 0 ? 0 : depth - 1;
  if (!core_have(at + 1)) return;
  int64_t handle = 0;
  const bool ok = handle_at_depth(at, &handle);
  if (depth == 0) vm_pop();
  if (!ok) return vm_raise_error(ERR_INVALID_OBJECT_HANDLE);
  prop_get_by_handle(handle, id, false);
}

// Main 81: value -> set the property of the current object.
void op_property_set_current() {
  uint8_t id = 0;
  if (!vm_fetch_u8(&id) || !core_have(1)) return;
  const std::string value(lstr_view(vm_top()));
  vm_pop();
  Target t;
  if (!(t.obj = window_current())) return vm_raise_error(ERR_INVALID_OBJECT_HANDLE);
  SetValue v;
  v.text = value;
  set_dispatch(t, id, v, true);
}

// Main 84: handle value -> set the property of the handle's object; the
// value stays on the stack unless keep is 0.
void op_property_set_handle() {
  uint8_t id = 0, keep = 0;
  if (!vm_fetch_u8(&id) || !vm_fetch_u8(&keep) || !core_have(2)) return;
  int64_t handle = 0;
  const bool ok = handle_at_depth(1, &handle);
  const std::string value(lstr_view(vm_top()));
  vm_pop();
  vm_pop();
  if (keep) vm_push_bytes(value.data(), static_cast<int32_t>(value.size()));
  if (!ok) return vm_raise_error(ERR_INVALID_OBJECT_HANDLE);
  Target t;
  if (const ErrorCode e = resolve(handle, false, &t); e != 0) return vm_raise_error(e);
  SetValue v;
  v.text = value;
  set_dispatch(t, id, v, true);
}

// Main 60: depth; runs the next instruction (and any call it enters) with
// the handle's object current; the handle leaves the stack and a result
// takes its place.
void op_with_object() {
  uint8_t d = 0;
  if (!vm_fetch_u8(&d) || !core_have(d + 1)) return;
  int64_t handle = 0;
  if (!handle_at_depth(d, &handle)) return vm_raise_error(ERR_INVALID_OBJECT_HANDLE);
  const uint32_t high = static_cast<uint32_t>(handle >> kHandleTemplateShift);
  PropertyBlock rec;
  if (handle > 0 && high != 0 && tpl_is_template(high) && tpl_read(high, handle & 0xFFFF, &rec))
    return vm_raise_error(ERR_REQUIRES_DISPLAYED_OBJECT);
  WindowObject* o = high == 0 ? obj_get(static_cast<int32_t>(handle)) : nullptr;
  if (!o) return vm_raise_error(ERR_INVALID_OBJECT_HANDLE);
  const int32_t handle_pos = vm_stack.top - d;
  WindowSave save;
  window_push_current(o, save);
  const int32_t depth0 = vm.frame_depth, target0 = vm.target_depth;
  step();
  while (vm.frame_depth > depth0 && vm.frame_depth > vm.target_depth) step();
  window_pop_current(save);
  if (vm.frame_depth <= target0 || vm.frame_depth < depth0) return;  // the macro was stopped
  if (vm_stack.top > handle_pos) {
    const std::string result(lstr_view(vm_top()));
    vm_pop();
    vm_pop();
    vm_push_bytes(result.data(), static_cast<int32_t>(result.size()));
  } else if (vm_stack.top == handle_pos) {
    vm_pop();
  }
}
