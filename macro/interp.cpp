// The interpreter core: the run loop, frames, calls and returns.
// Start reading at vm_run; then vm_push_frame and vm_call_proc.
#include "macro/interp.h"

#include <cstring>
#include <string>
#include <utility>

#include "base/le.h"
#include "macro/catch.h"
#include "macro/code_cache.h"
#include "macro/names.h"
#include "macro/names_vm.h"
#include "macro/opcodes.h"
#include "macro/stack.h"
#include "macro/varheap.h"

VmState vm;
constinit OpcodeDispatch vm_dispatch;
int32_t vm_key_not_defined_index = 0;
int32_t vm_default_keys_index = 0;

namespace {

constexpr uint32_t kRcSlot = 1;
// Type flags a caller may call: procedure or command.
constexpr uint16_t kProcParamMaskBits = 16;

ErrorCode resolve_none(int32_t, VmCallable* out) {
  *out = VmCallable{};
  return ERR_OK;
}
ErrorCode dll_none(int32_t, int32_t) { return ERR_INVALID_ARGUMENT; }
void command_none(int32_t) {}
int32_t module_none(int32_t) { return 0; }
std::string_view name_none(int32_t) { return std::string_view(""); }

VmNameHooks hooks = {resolve_none, dll_none, command_none, module_none, name_none};

size_t image_size() { return static_cast<size_t>(vm.regs.module_end - vm.regs.module_base); }

// Whether n bytes from offset off lie inside the running image. Offsets,
// not pointers, so a wild operand never forms a wild pointer.
bool in_image_at(size_t off, size_t n) { return off <= image_size() && image_size() - off >= n; }

bool in_image(const uint8_t* p, size_t n) {
  return p >= vm.regs.module_base && p <= vm.regs.module_end &&
         in_image_at(static_cast<size_t>(p - vm.regs.module_base), n);
}

// Base + a header offset, clamped to the image end.
const uint8_t* image_ptr(const uint8_t* base, size_t size, uint16_t off) { return base + (off <= size ? off : size); }

// Copy the value a reference argument refers to into the argument's own
// slot, so the callee sees a value.
void deref_in_place(int32_t stack_index) {
  const int32_t idx = var_slots.local_base + stack_index;
  if ((var_slots.slots[static_cast<size_t>(idx)] & kSlotRef) == 0) return;
  var_copy_at(idx, idx);
}

bool is_ref_entry(int32_t stack_index) {
  const int32_t idx = var_slots.local_base + stack_index;
  return idx >= 0 && idx <= var_slots.last_slot && (var_slots.slots[static_cast<size_t>(idx)] & kSlotRef) != 0;
}

// A return from inside an error-catch block of the returning procedure
// closes the block first, keeping the stack as it is, so the return leaves
// from the procedure's own level and not into the block's pseudo level.
void close_own_blocks() {
  while (vm_catch.depth > 0) {
    const CatchContext& c = vm_catch.contexts[vm_catch.depth];
    if (c.status != kCatchBlock || c.unload_module >= 0 || vm.frame_depth != vm.target_depth + 1) break;
    const VmRegs here = vm.regs;
    const int32_t top = vm_stack.top;
    vm_pop_catch();
    vm.regs = here;
    vm_stack.top = top;
  }
}

// Restore the caller's registers from the frame at the current depth.
void pop_frame() {
  vm.regs = vm.frames[static_cast<size_t>(vm.frame_depth)];
  --vm.frame_depth;
}

// The "return a value" step: the value moves to where the first argument
// was; the argument's old block sits above the top for reuse.
bool return_value_step() {
  close_own_blocks();
  const int32_t dest = vm.regs.arg_base;
  if (vm_stack.top < dest || dest < 0) {  // nothing was pushed to return?
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return false;
  }
  pop_frame();
  var_swap_at(var_slots.local_base + vm_stack.top, var_slots.local_base + dest);
  vm_stack.top = dest;
  return true;
}

// Call a names index with argc arguments on the stack (main 0 and 4).
void call_named(int32_t index, int32_t argc, bool from_link) {
  VmCallable c;
  const ErrorCode rc = hooks.resolve(index, &c);
  if (rc != ERR_OK) {
    // A link names a procedure; a call by index only ever reports -3015.
    const bool missing = rc == ERR_PROCEDURE_NOT_FOUND || rc == ERR_COMMAND_NOT_FOUND;
    vm_raise_error(!from_link ? ERR_INVALID_ARGUMENT : (missing ? ERR_PROCEDURE_NOT_FOUND : rc));
    return;
  }
  if (c.kind == VmCallable::Kind::None) {
    vm_raise_error(from_link ? ERR_PROCEDURE_NOT_FOUND : ERR_INVALID_ARGUMENT);
    return;
  }
  if (c.command) hooks.on_command(index);
  if (c.kind == VmCallable::Kind::Dll) {
    hooks.dll_call(index, argc);
    return;
  }
  vm_call_proc(argc, c.offset, c.image, 0);
}

}  // namespace

void vm_set_name_hooks(const VmNameHooks& h) {
  hooks.resolve = h.resolve ? h.resolve : resolve_none;
  hooks.dll_call = h.dll_call ? h.dll_call : dll_none;
  hooks.on_command = h.on_command ? h.on_command : command_none;
  hooks.proc_module = h.proc_module ? h.proc_module : module_none;
  hooks.module_name = h.module_name ? h.module_name : name_none;
}

std::string_view vm_module_name(int32_t index) { return hooks.module_name(index); }
ErrorCode vm_resolve_index(int32_t index, VmCallable* out) { return hooks.resolve(index, out); }
ErrorCode vm_call_dll(int32_t index, int32_t argc) { return hooks.dll_call(index, argc); }

// ------------------------------------------------------------- lifecycle

ErrorCode vm_reset(int32_t slot_capacity, int32_t heap_size) {
  const ErrorCode rc = var_init(slot_capacity, heap_size);
  if (rc != ERR_OK) return rc;
  vm.regs = VmRegs{};
  vm.frames.assign(kFrameGrowStep, VmRegs{});
  vm.frame_depth = 0;
  vm.target_depth = 0;
  vm.steps_left = INT64_MAX;
  vm.budget_spent = false;
  vm_stack = EvalStack{};
  vm_catch.depth = -1;
  vm_catch.loop = LoopFrame{};
  vm_catch.loops.clear();
  vm_catch.loop_depth = -1;
  vm_catch.error_module.clear();
  vm_catch.error_offset = 0;
  vm_rc_mirror = 0;
  vm_last_read_var = 0;
  // The module linker reaches the slot array through its variable hooks.
  VarHooks& vh = var_hooks();
  vh.alloc_global = var_heap_alloc_global;
  vh.free_slot = [](int32_t slot) { var_heap_free_global(static_cast<uint32_t>(slot)); };
  vh.assign = [](int32_t slot, std::string_view v) -> int {
    return var_assign_bytes(static_cast<uint32_t>(slot), v.data(), static_cast<int32_t>(v.size()));
  };
  vh.value = [](int32_t slot) { return std::string(lstr_view(var_value(static_cast<uint32_t>(slot)))); };
  return ERR_OK;
}

namespace {

bool replacing = false;

// Modules reloaded while they ran are replaced once the outermost run is
// over: load the new file and run its entries, then unload the old one.
void replace_pending_modules() {
  std::vector<PendingReplacement>& pending = mod_pending();
  if (pending.empty() || replacing) return;
  if (vm_catch.depth >= 0) {  // a nested run replaces nothing
    const CatchContext& c = vm_catch.contexts[vm_catch.depth];
    if (c.status == kCatchNestedRun && vm.target_depth > c.saved_target) return;
  }
  replacing = true;
  while (!pending.empty()) {
    const PendingReplacement p = pending.front();
    pending.erase(pending.begin());
    ErrorCode rc = name_load_data(p.module_index);
    if (rc == ERR_OK) {
      uint8_t* image = name_block(p.module_index);
      image[MH_PENDING] = image[MH_PENDING + 1] = 0;
      uint32_t fresh = 0;
      rc = mod_can_unload(p.module_index) ? mod_load_and_init(p.file_name, &fresh, std::nullopt)
                                          : ERR_CANT_REMOVE_MODULE;
    }
    if (rc == ERR_OK)
      mod_unload(p.module_index, false, {});
    else
      vm_raise_error(rc);
  }
  replacing = false;
}

}  // namespace

void vm_run() {
  vm_run_loop();
  vm.regs.module_base = nullptr;
  // A module run unloads its module when its context closes.
  if (vm_catch.depth > 0 && vm_catch.contexts[vm_catch.depth].unload_module > 0) {
    vm_pop_catch();
    return;
  }
  replace_pending_modules();
}

ErrorCode vm_push_frame(uint16_t offset, std::span<const uint8_t> image, int32_t argc) {
  ++vm.frame_depth;
  if (vm.frame_depth >= static_cast<int32_t>(vm.frames.size())) {
    const size_t grown = vm.frames.size() + kFrameGrowStep;
    if (static_cast<int64_t>(vm.frame_depth) + kFrameGrowStep > kFrameLimit) {
      vm_raise_error(ERR_RECURSION_TOO_DEEP);
      return ERR_RECURSION_TOO_DEEP;
    }
    vm.frames.resize(grown);
  }
  vm.frames[static_cast<size_t>(vm.frame_depth)] = vm.regs;
  vm.regs.native_frame = 0;
  // The image must hold its header and the procedure header.
  if (image.size() < kModuleHeaderSize || static_cast<size_t>(offset) + kProcHeaderSize > image.size()) {
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return ERR_ILLEGAL_OPCODE;
  }
  const uint8_t* base = image.data();
  vm.regs.module_base = base;
  vm.regs.proc = base + offset;
  vm.regs.module_end = base + image.size();
  vm.regs.constants = image_ptr(base, image.size(), le::get_u16(base + MH_CONSTANTS));
  vm.regs.link_table = image_ptr(base, image.size(), le::get_u16(base + MH_LINKS));
  vm.regs.ip = base + offset;
  vm.regs.local_count = *vm.regs.ip++;
  vm.regs.arg_count = argc;
  vm.regs.locals_base = vm_stack.top + 1;
  vm.regs.arg_base = vm.regs.locals_base - argc;
  const ErrorCode rc = vm_reserve(vm.regs.local_count);
  if (rc != ERR_OK) return rc;
  // Locals: a position that held a value keeps it; one that held a
  // reference starts empty.
  for (int32_t i = 0; i < vm.regs.local_count; ++i) {
    ++vm_stack.top;
    if (is_ref_entry(vm_stack.top)) var_assign_bytes_at(var_slots.local_base + vm_stack.top, "", 0);
  }
  return ERR_OK;
}

ErrorCode vm_call_proc(int32_t argc, uint16_t offset, std::span<const uint8_t> image, uint8_t result_to_rc) {
  if (argc < 0 || argc > vm_stack.top + 1) {  // arguments the stack does not hold?
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return ERR_ILLEGAL_OPCODE;
  }
  ErrorCode rc = vm_push_frame(offset, image, argc);
  if (rc != ERR_OK) return rc;
  vm.regs.result_to_rc = result_to_rc;
  const uint8_t* h = vm.regs.ip;  // parameter count, then the by-value mask
  const int32_t params = h[0];
  const uint16_t mask = le::get_u16(h + 1);
  vm.regs.ip += 3;
  if (argc < params) {
    vm.regs = vm.frames[static_cast<size_t>(vm.frame_depth)];
    vm_raise_error(ERR_PROCEDURE_NEEDS_ARGUMENTS);
    return ERR_PROCEDURE_NEEDS_ARGUMENTS;
  }
  const int32_t base = vm.regs.arg_base;
  for (int32_t a = argc - 1; a >= params; --a) deref_in_place(base + a);
  for (int32_t a = params - 1; a >= 0; --a) {
    const int32_t bit = params - 1 - a;  // bit 0 is the last parameter
    // Past the 16 mask bits a parameter takes whatever it is given.
    if (bit >= kProcParamMaskBits) continue;
    if (((mask >> bit) & 1) != 0) {
      deref_in_place(base + a);
    } else if (!is_ref_entry(base + a)) {
      vm.regs = vm.frames[static_cast<size_t>(vm.frame_depth)];
      vm_raise_error(ERR_INVALID_CALL_BY_REFERENCE);
      return ERR_INVALID_CALL_BY_REFERENCE;
    }
  }
  rc = vm_check_break();
  return rc;
}

ErrorCode vm_call_proc_at(uint16_t offset, std::span<const uint8_t> image, int32_t argc) {
  if (offset == 0) return ERR_OK;
  return vm_call_proc(argc, offset, image, 1);
}

namespace {

// Open a context, push the arguments, enter and run; close what this call
// opened. The shared tail of vm_call_index and vm_call_image.
ErrorCode run_from_outside(const VmCallable& c, std::span<const std::string_view> args, int32_t index,
                           bool report_stop) {
  const int32_t opened = vm_catch.depth + 1;
  if (vm_push_catch() != ERR_OK) return ERR_RECURSION_TOO_DEEP;
  if (vm.regs.native_frame) vm_set_catch_status(kCatchDllCallback);
  vm_catch.last_stop = 0;
  ErrorCode rc = ERR_OK;
  for (auto a : args) {
    rc = vm_push_view(a);
    if (rc != ERR_OK) break;
  }
  const int32_t argc = static_cast<int32_t>(args.size());
  if (rc == ERR_OK) {
    if (c.kind == VmCallable::Kind::Dll) {
      rc = hooks.dll_call(index, argc);
    } else {
      const int32_t depth_before = vm.frame_depth;
      rc = vm_call_proc_at(c.offset, c.image, argc);
      if (rc == ERR_OK && vm.frame_depth > depth_before) {
        vm_run();
        if (report_stop) rc = vm_catch.last_stop;
      }
    }
  }
  // Close everything this call opened (context 0 stays).
  while (vm_catch.depth >= opened && vm_catch.depth > 0) vm_pop_catch();
  return rc;
}

}  // namespace

ErrorCode vm_call_index(int32_t index, std::span<const std::string_view> args) {
  VmCallable c;
  ErrorCode rc = hooks.resolve(index, &c);
  if (rc == ERR_PROCEDURE_NOT_FOUND) rc = ERR_COMMAND_NOT_FOUND;  // msg_arg holds the name
  if (rc != ERR_OK) {
    vm_raise_fatal(rc);
    return rc;
  }
  if (c.kind == VmCallable::Kind::None) return ERR_OK;  // nothing to call
  if (c.command) hooks.on_command(index);
  return run_from_outside(c, args, index, false);
}

ErrorCode vm_call_image(std::span<const uint8_t> image, uint16_t offset, std::span<const std::string_view> args) {
  VmCallable c;
  c.kind = VmCallable::Kind::Proc;
  c.image = image;
  c.offset = offset;
  return run_from_outside(c, args, 0, true);
}

// -------------------------------------------------------------- start-up

namespace {

// The image of a resident module, or an empty span.
std::span<const uint8_t> resident_image(uint32_t module) {
  const uint8_t* b = name_block(module);
  const NameEntry* e = name_entry(module);
  if (b == nullptr || e == nullptr) return {};
  return {b, e->size};
}

// Schedule one entry of one module; false when the frame could not be
// pushed.
bool schedule_entry(uint32_t module, int32_t field) {
  const std::span<const uint8_t> img = resident_image(module);
  if (img.size() < kModuleHeaderSize) return true;
  const uint16_t off = le::get_u16(img.data() + field);
  if (off == 0) return true;
  return vm_call_proc_at(off, img, field == kEntryMain ? 1 : 0) == ERR_OK;
}

}  // namespace

ErrorCode mod_run_entries(int32_t field, bool first_only) {
  for (int32_t i = 1; i < name_count(); ++i) {
    if (!(name_is_valid(static_cast<uint32_t>(i)) & NF_MODULE)) continue;
    const std::span<const uint8_t> img = resident_image(static_cast<uint32_t>(i));
    if (img.size() < kModuleHeaderSize || le::get_u16(img.data() + field) == 0) continue;
    if (!schedule_entry(static_cast<uint32_t>(i), field)) return ERR_RECURSION_TOO_DEEP;
    if (first_only) break;
  }
  return ERR_OK;
}

ErrorCode mod_run_init(std::string_view arg, int32_t module_index, bool all_modules) {
  const int32_t depth = vm_catch.depth;
  if (vm_push_catch() != ERR_OK) return ERR_RECURSION_TOO_DEEP;
  ErrorCode rc = vm_push_view(arg);
  if (rc == ERR_OK && all_modules) rc = mod_run_entries(kEntryMain, false);
  if (rc == ERR_OK && module_index > 0) {
    if (!schedule_entry(static_cast<uint32_t>(module_index), kEntryMain) ||
        !schedule_entry(static_cast<uint32_t>(module_index), kEntryInit))
      rc = ERR_RECURSION_TOO_DEEP;
  } else if (rc == ERR_OK) {
    rc = all_modules ? mod_run_entries(kEntryLoad, false) : mod_run_entries(kEntryMain, true);
    if (rc == ERR_OK) rc = mod_run_entries(kEntryInit, false);
  }
  if (rc != ERR_OK) {
    while (vm_catch.depth > depth && vm_catch.depth > 0) vm_pop_catch();
    return ERR_RECURSION_TOO_DEEP;
  }
  if (module_index <= 0) return ERR_OK;
  const std::span<const uint8_t> img = resident_image(static_cast<uint32_t>(module_index));
  if (img.size() < kModuleHeaderSize || le::get_u16(img.data() + kEntryMain) == 0) {
    while (vm_catch.depth > depth && vm_catch.depth > 0) vm_pop_catch();
    return ERR_NO_MAIN_ENTRY;
  }
  CatchContext& c = vm_catch.contexts[vm_catch.depth];
  c.unload_module = module_index;
  c.status = kCatchModuleRun;
  return ERR_OK;
}

ErrorCode vm_init(std::string* arg, std::string_view state_file, uint32_t cache_limit) {
  if (name_pool_init() != 0) return ERR_INTERPRETER_OUT_OF_MEMORY;
  if (cache_limit == 0) cache_set_limit(0);
  names_attach_vm();
  vm.frames.assign(kFrameGrowStep, VmRegs{});
  NameEntry rc_entry{};
  rc_entry.flags = NF_GLOBAL;
  rc_entry.data = kRcSlot;
  NameEntry knd{};
  knd.flags = NF_COMMAND;
  if (name_insert("rc", rc_entry) != 1) return ERR_INTERPRETER_OUT_OF_MEMORY;
  const int32_t k = name_insert("key-not-defined", knd);
  if (k < 0) return ERR_INTERPRETER_OUT_OF_MEMORY;
  vm_key_not_defined_index = k;

  uint32_t index = 0;
  bool module_file = false;
  ErrorCode rc = mod_load_file(state_file, &index, &module_file, false);
  if (rc != ERR_OK) return rc;
  // The state replaced the names table: find the command again by name
  // rather than trusting the index it had before.
  uint32_t again = name_find("key-not-defined", NF_COMMAND);
  if (again == 0) {
    const int32_t n = name_insert("key-not-defined", knd);
    if (n < 0) return ERR_INTERPRETER_OUT_OF_MEMORY;
    again = static_cast<uint32_t>(n);
  }
  vm_key_not_defined_index = static_cast<int32_t>(again);

  rc = mod_run_init(arg ? *arg : std::string_view(), 0, module_file);
  if (arg) arg->clear();
  if (rc != ERR_OK) return rc;

  uint32_t keys = name_find("default-keys", NF_EVENT_TABLE);
  if (keys == 0) {
    uint8_t* block = nullptr;
    if (name_data_alloc(&block, kEventTableBytes) != 0) return ERR_INTERPRETER_OUT_OF_MEMORY;
    std::memset(block, 0, kEventTableBytes);
    NameEntry t{};
    t.flags = NF_EVENT_TABLE;
    const int32_t n = name_insert("default-keys", t);
    if (n < 0) {
      name_data_block_free(block);
      return ERR_INTERPRETER_OUT_OF_MEMORY;
    }
    cache_register(static_cast<uint32_t>(n), block, 0, kEventTableBytes, 0, NS_RESIDENT | NS_LOCKED);
    keys = static_cast<uint32_t>(n);
  }
  vm_default_keys_index = static_cast<int32_t>(keys);
  return ERR_OK;
}

// ------------------------------------------------------- operand fetch

bool vm_fetch_u8(uint8_t* out) {
  if (!in_image(vm.regs.ip, 1)) {
    *out = 0;
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return false;
  }
  *out = *vm.regs.ip++;
  return true;
}

bool vm_fetch_u16(uint16_t* out) {
  if (!in_image(vm.regs.ip, 2)) {
    *out = 0;
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return false;
  }
  *out = le::get_u16(vm.regs.ip);
  vm.regs.ip += 2;
  return true;
}

bool vm_fetch_jump(const uint8_t** out) {
  uint16_t t;
  *out = nullptr;
  if (!vm_fetch_u16(&t)) return false;
  if (!in_image_at(t, 1)) {  // a target outside the image?
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return false;
  }
  *out = vm.regs.module_base + t;
  return true;
}

bool vm_fetch_const(std::string_view* out) {
  uint16_t off;
  *out = {};
  if (!vm_fetch_u16(&off)) return false;
  const size_t at = static_cast<size_t>(vm.regs.constants - vm.regs.module_base) + off;
  VarintResult r;
  if (!in_image_at(at, 1) || varint_get(&r, vm.regs.module_base + at, vm.regs.module_end) != 0) {
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return false;
  }
  *out = std::string_view(reinterpret_cast<const char*>(r.next), static_cast<size_t>(r.length));
  return true;
}

bool vm_link_entry(uint16_t index, LinkEntry* out) {
  const size_t at =
      static_cast<size_t>(vm.regs.link_table - vm.regs.module_base) + static_cast<size_t>(index) * kLinkEntrySize;
  if (!in_image_at(at, kLinkEntrySize)) {
    *out = LinkEntry{};
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return false;
  }
  const uint8_t* p = vm.regs.module_base + at;
  *out = LinkEntry{le::get_u16(p), le::get_u16(p + 2), le::get_u16(p + 4), le::get_u16(p + 6)};
  return true;
}

void vm_poll_loop() { vm_check_break(); }

// ------------------------------------------------------------ handlers

// Main 255: the next byte selects a slot of the extended table.
void op_ext_prefix() {
  uint8_t b;
  if (!vm_fetch_u8(&b)) return;
  vm_dispatch.ext[b]();
}

// Main 0: u8 N; pop a names index and call it with N - 1 arguments.
void op_call_index() {
  uint8_t n;
  if (!vm_fetch_u8(&n)) return;
  int32_t index;
  if (n == 0 || vm_pop_int(&index) != ERR_OK) {
    if (n == 0) vm_raise_error(ERR_ILLEGAL_OPCODE);
    return;
  }
  call_named(index, n - 1, false);
}

// Main 4: u8 argc, u16 link index.
void op_call_link() {
  uint8_t argc;
  uint16_t link;
  if (!vm_fetch_u8(&argc) || !vm_fetch_u16(&link)) return;
  LinkEntry e;
  if (!vm_link_entry(link, &e)) return;
  if (e.kind == LK_PRIVATE_PROC) {
    vm_call_proc(
        argc, e.c,
        std::span<const uint8_t>(vm.regs.module_base, static_cast<size_t>(vm.regs.module_end - vm.regs.module_base)),
        0);
    return;
  }
  call_named(e.a, argc, true);
}

// Main 3: return without a value. The stack falls back to below the
// arguments, whatever the procedure left on it.
void op_return() {
  close_own_blocks();
  vm_stack.top = vm.regs.arg_base - 1;
  pop_frame();
}

// Main 1: return; the value goes to rc.
void op_return_rc() {
  if (!return_value_step()) return;
  const LStr* v = vm_top();
  var_assign_bytes(kRcSlot, v->text, v->len);
  vm_rc_mirror = lstr_to_long(var_value(kRcSlot));
  vm_pop();
}

// Main 2: return a value; to rc when the procedure was called as a command.
void op_return_value() {
  if (vm.regs.result_to_rc) {
    op_return_rc();
    return;
  }
  return_value_step();
}

// Main 83: the defining module of a callable.
void bi_proc_module() {
  int32_t index;
  if (vm_pop_int(&index) != ERR_OK) return;
  vm_push_int(hooks.proc_module(index));
}
