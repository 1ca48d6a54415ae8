// Errors, catch contexts, unwinding, counted loops, jumps and the break key.
// Start reading at vm_report_error, then vm_unwind_error.
#include "macro/catch.h"

#include "base/le.h"
#include "macro/decimal.h"
#include "macro/error_port.h"
#include "macro/module.h"
#include "macro/stack.h"
#include "macro/varheap.h"
#include "text/ui_port.h"

CatchState vm_catch;

namespace {

// The loop array stops growing here: damaged code that opens loops without
// closing them gets -3016 instead of eating memory.
constexpr int32_t kMaxLoopDepth = 65536;

// The stop bits (0x40, 0x20) come from the code's message record.
uint32_t message_flags(int code) {
  uint32_t f = 0;
  msg_full_text(code, &f);
  return f;
}

// Counted loops compute in decimal, as the arithmetic opcodes do.
ErrorCode loop_add(std::string_view a, std::string_view b, bool subtract, LStrLine* out) {
  DecText t;
  const ErrorCode rc = dec_add_sub_cmp(&t, a, b, subtract ? 1 : 0);
  if (rc == ERR_OK) out->assign(t.view());
  return rc;
}
int32_t loop_compare(std::string_view a, std::string_view b) {
  const int32_t c = dec_add_sub_cmp(nullptr, a, b, 2);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool is_hard(int code) {
  return code == ERR_EXPRESSION_STACK_OVERFLOW || code == ERR_OUT_OF_STRING_SPACE || code == ERR_RECURSION_TOO_DEEP ||
         code == ERR_INTERPRETER_OUT_OF_MEMORY;
}

CatchContext* innermost() { return vm_catch.depth >= 0 ? &vm_catch.contexts[vm_catch.depth] : nullptr; }

void restore_loops(int32_t depth) {
  if (depth < vm_catch.loop_depth) {
    vm_catch.loop = vm_catch.loops[static_cast<size_t>(depth + 1)];
    vm_catch.loop_depth = depth;
  }
}

// Back to what the innermost context saved; with none, empty stacks.
void restore_stacks() {
  if (const CatchContext* c = innermost()) {
    // Damaged code may have popped below an outer context's depth and
    // trimmed the stack since: never point past the stack scope.
    const int32_t cap = var_stack_capacity();
    vm_stack.top = c->stack_depth < cap ? c->stack_depth : cap - 1;
    restore_loops(c->loop_depth);
  } else {
    vm_stack.top = -1;
    restore_loops(-1);
  }
  vm.frame_depth = vm.target_depth;
  vm.regs.module_base = nullptr;
}

// Whether a code offset lies inside the running image.
bool in_image(uint16_t off) { return off < vm.regs.module_end - vm.regs.module_base; }

std::string_view value_view(int32_t stack_index) { return lstr_view(var_value_at(var_slots.local_base + stack_index)); }

}  // namespace

// ---------------------------------------------------------------- raising

void vm_raise_error(int code) { vm_report_error(code, false); }
void vm_raise_fatal(int code) { vm_report_error(code, true); }

void vm_report_error(int code, bool fatal) {
  bool show = false;
  if (code == 0) {  // a stop: unwind without a message
    vm_unwind_error(0, &show);
    return;
  }
  if (!msg_stops(message_flags(code)) && !fatal) {
    vm_show_error(code, false);
    if (vm.target_depth < vm.frame_depth && vm_error_positions_wanted()) vm_record_error_pos();
  } else {
    if (!vm_unwind_error(code, &show)) return;
    vm_show_error(code, show);
  }
  vm_set_rc(code);
}

ErrorCode vm_check_break() {
  if (!ui_break_pressed()) return ERR_OK;
  if (const CatchContext* c = innermost(); c && c->break_mode == -1) return ERR_OK;
  ui_clear_break();  // handled here: the macro stops
  vm_raise_error(ERR_BREAK_KEY);
  return ERR_BREAK_KEY;
}

bool vm_unwind_error(int code, bool* show) {
  const CatchContext* in = innermost();
  const bool stops = !(code == ERR_BREAK_KEY && in && in->break_mode == -1);
  const bool hard = is_hard(code);
  if (stops && vm.regs.native_frame == 0) {
    if (vm.target_depth < vm.frame_depth && code != 0) vm_record_error_pos();
    restore_stacks();
  }
  // Once a harness's instruction budget is spent, nothing catches the stop.
  const bool through_blocks = hard || code == 0 || vm.budget_spent;
  // Errors a catch block takes are not shown; those that pass through it are.
  *show = stops && (vm_catch.depth <= 0 || vm_catch.contexts[vm_catch.depth].status != kCatchBlock || through_blocks);
  if (!stops) return false;
  ++vm_catch.unwinds;
  if (vm.regs.native_frame != 0) {
    vm.regs.native_frame = 2;
    return true;
  }
  // Close nested runs and module runs; hard errors pass through blocks too,
  // and so does a stop (code 0): a block that caught it would resume with rc
  // unchanged and run into the same stop again.
  while (vm_catch.depth > 0) {
    const int32_t s = vm_catch.contexts[vm_catch.depth].status;
    if (s == kCatchNestedRun || s == kCatchModuleRun || (through_blocks && s == kCatchBlock))
      vm_pop_catch();
    else
      break;
  }
  restore_stacks();
  // Resource errors give back the room they used up (the break key too).
  if (hard || code == ERR_BREAK_KEY) vm_trim_stacks();
  const CatchContext* c = innermost();
  if (!through_blocks && vm_catch.depth > 0 && c->status == kCatchBlock && c->break_mode == 0) {
    vm_pop_catch();  // caught: resume after the block entry
  } else {
    vm_catch.last_stop = code;
    if (vm_catch.depth >= 0) ++vm_catch.contexts[vm_catch.depth].stops;
  }
  return true;
}

// --------------------------------------------------------------- contexts

ErrorCode vm_push_catch() {
  if (vm_catch.depth + 1 >= kMaxCatchContexts) return ERR_RECURSION_TOO_DEEP;
  CatchContext& c = vm_catch.contexts[++vm_catch.depth];
  c.saved_target = vm.target_depth;
  c.stack_depth = vm_stack.top;
  c.loop_depth = vm_catch.loop_depth;
  c.saved_regs = vm.regs;
  c.unload_module = 0;
  c.break_mode = 0;
  c.status = kCatchNestedRun;
  c.stops = 0;
  vm.target_depth = vm.frame_depth;
  return ERR_OK;
}

void vm_pop_catch() {
  if (vm_catch.depth <= 0) return;  // context 0 is permanent
  restore_stacks();
  const CatchContext c = vm_catch.contexts[vm_catch.depth];
  // A module run is over: its module goes with it.
  if (c.unload_module > 0) mod_unload(static_cast<uint32_t>(c.unload_module), false, {});
  --vm_catch.depth;
  vm.target_depth = c.saved_target;
  vm.regs = c.saved_regs;
}

void vm_set_catch_status(int32_t s) {
  if (vm_catch.depth > 0) vm_catch.contexts[vm_catch.depth].status = s;
}

int32_t vm_catch_status() { return vm_catch.depth > 0 ? vm_catch.contexts[vm_catch.depth].status : -1; }

void vm_record_error_pos() {
  vm_catch.error_module.clear();
  vm_catch.error_offset = 0;
  if (vm.regs.module_base == nullptr) return;
  const uint8_t* b = vm.regs.module_base;
  const int32_t index = le::get_u16(b + MH_INDEX);
  const std::string_view name = vm_module_name(index);
  if (!name.empty()) vm_catch.error_module.assign(name);
  vm_catch.error_offset = static_cast<int32_t>(vm.regs.ip - b);
}

void vm_trim_stacks() {
  var_trim_stack(vm_stack.top + 1);
  if (vm.frames.size() > static_cast<size_t>(vm.frame_depth) + 1)
    vm.frames.resize(static_cast<size_t>(vm.frame_depth) + 1);
}

// ------------------------------------------------------------ handlers

// Main 8: jump, then poll the break key.
void op_jump() {
  const uint8_t* t;
  if (!vm_fetch_jump(&t)) return;
  vm.regs.ip = t;
  vm_poll_loop();
}

// Main 9: pop; jump unless the value is exactly "0"; poll either way.
void op_jump_if_true() {
  const uint8_t* t;
  if (!vm_fetch_jump(&t)) return;
  const bool zero = vm_stack.top >= 0 && vm_top_is_zero();
  if (!vm_pop()) return;
  if (!zero) vm.regs.ip = t;
  vm_poll_loop();
}

// Main 10: pop; jump when the value is exactly "0".
void op_jump_if_false() {
  const uint8_t* t;
  if (!vm_fetch_jump(&t)) return;
  const bool zero = vm_stack.top >= 0 && vm_top_is_zero();
  if (!vm_pop()) return;
  if (!zero) return;
  const bool backward = t < vm.regs.ip;
  vm.regs.ip = t;
  if (backward) vm_poll_loop();
}

namespace {
// Main 53 and 54: u16 target, u16 constant, u16 variable; the stack stays.
void case_jump(bool when_equal) {
  const uint8_t* t;
  std::string_view k;
  if (!vm_fetch_jump(&t) || !vm_fetch_const(&k)) return;
  const uint32_t n = vm_fetch_var_operand();
  if (n == 0) return;
  if ((lstr_view(var_value(n)) == k) != when_equal) return;
  const bool backward = t < vm.regs.ip;
  vm.regs.ip = t;
  if (backward) vm_poll_loop();
}
}  // namespace

void op_case_jump_ne() { case_jump(false); }
void op_case_jump_eq() { case_jump(true); }

// Main 44: stop the macro without a message.
void op_stop() { vm_raise_error(0); }

// Main 57: u16 variable, u16 (unused), u16 exit target; start, end and
// step are on the stack, the step on top.
void op_for_begin() {
  if (vm_catch.loop_depth + 1 >= kMaxLoopDepth) {
    vm_raise_error(ERR_LOOP_STACK_OVERFLOW);
    return;
  }
  ++vm_catch.loop_depth;
  if (vm_catch.loops.size() <= static_cast<size_t>(vm_catch.loop_depth))
    vm_catch.loops.resize(vm_catch.loops.size() + kLoopGrowStep);
  vm_catch.loops[static_cast<size_t>(vm_catch.loop_depth)] = vm_catch.loop;
  LoopFrame& f = vm_catch.loop;
  f.var = vm_fetch_var_operand();
  if (f.var == 0 || !vm_fetch_u16(&f.unused) || !vm_fetch_u16(&f.exit)) return;
  if (!in_image(f.exit) || vm_stack.top < 2) {  // damaged loop?
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return;
  }
  f.start = vm_stack.top - 2;
  f.end = vm_stack.top - 1;
  f.step = vm_stack.top;
  LStrLine v;
  const ErrorCode rc = loop_add(value_view(f.start), value_view(f.step), true, &v);
  f.sign = loop_compare(value_view(f.step), "0");
  if (rc != ERR_OK) {
    vm_raise_error(rc);
    return;
  }
  var_assign_bytes(f.var, v.text, v.len);
}

// Main 58: add the step; leave the loop once the variable passes the end.
void op_for_step() {
  const LoopFrame& f = vm_catch.loop;
  if (vm_catch.loop_depth < 0) {
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return;
  }
  LStrLine v;
  const ErrorCode rc = loop_add(lstr_view(var_value(f.var)), value_view(f.step), false, &v);
  if (rc != ERR_OK) {
    vm_raise_error(rc);
    return;
  }
  if (var_assign_bytes(f.var, v.text, v.len) != ERR_OK) return;
  const int32_t cmp = loop_compare(v.view(), value_view(f.end));
  if (f.sign >= 0 ? cmp > 0 : cmp < 0) vm.regs.ip = vm.regs.module_base + f.exit;
}

// Main 59: back to the enclosing loop; drop start, end and step.
void op_for_end() {
  if (vm_catch.loop_depth < 0) {
    vm_raise_error(ERR_ILLEGAL_OPCODE);
    return;
  }
  vm_catch.loop = vm_catch.loops[static_cast<size_t>(vm_catch.loop_depth)];
  --vm_catch.loop_depth;
  vm_stack.top = vm_stack.top >= 2 ? vm_stack.top - 3 : -1;
}

// Main 201: open an error-catch block; the code after it runs one level
// above the block's target depth.
void bi_catch_begin() {
  const ErrorCode rc = vm_push_catch();
  if (rc != ERR_OK) {
    vm_set_rc_or_raise(rc);
    return;
  }
  CatchContext& c = vm_catch.contexts[vm_catch.depth];
  c.status = kCatchBlock;
  c.unload_module = -1;
  // The pseudo level gets a frame too, so that a return inside the block
  // finds registers of this procedure rather than stale ones.
  if (static_cast<size_t>(vm.frame_depth) + 1 >= vm.frames.size()) {
    if (static_cast<int64_t>(vm.frame_depth) + 1 + kFrameGrowStep > kFrameLimit) {
      vm_pop_catch();
      vm_raise_error(ERR_RECURSION_TOO_DEEP);
      return;
    }
    vm.frames.resize(vm.frames.size() + kFrameGrowStep);
  }
  vm.frame_depth = vm.target_depth + 1;
  vm.frames[static_cast<size_t>(vm.frame_depth)] = vm.regs;
  vm_set_rc(0);
}

// Main 200: close the innermost block; execution goes on after this opcode.
void bi_catch_end() {
  const CatchContext* c = innermost();
  if (vm_catch.depth <= 0 || c->unload_module >= 0 || c->status != kCatchBlock) return;
  const VmRegs here = vm.regs;
  vm_pop_catch();
  vm.regs = here;
}

// Ext 25: u8 count; "B" [, value <= 0] -> the innermost break mode.
void bi_catch_value() {
  uint8_t n;
  if (!vm_fetch_u8(&n)) return;
  if (n < 1 || n > 2) {
    vm_raise_error(ERR_INVALID_ARGUMENT);
    return;
  }
  int32_t value = 0;
  if (n == 2 && vm_pop_int(&value) != ERR_OK) return;
  char opt = 0;
  if (vm_pop_option_letter(&opt, "B") != ERR_OK || opt != 'B' || value > 0) {
    vm_raise_error(ERR_INVALID_ARGUMENT);
    return;
  }
  CatchContext* c = innermost();
  if (n == 2 && c) c->break_mode = value;
  vm_push_int(c ? c->break_mode : 0);
}

// Main 63: u8 count; [offset module] -> offset, a blank, module name.
void bi_error_pos() {
  uint8_t n;
  if (!vm_fetch_u8(&n)) return;
  if (n > 1) {
    vm_raise_error(ERR_INVALID_ARGUMENT);
    return;
  }
  if (n == 1) {
    LStrLine arg, word;
    if (!vm_pop_lstr(&arg)) return;
    lstr_take_word(arg, word);
    int32_t off;
    if (val_to_int(word, &off) != ERR_OK) return;
    lstr_take_word(arg, word);
    vm_catch.error_offset = off;
    vm_catch.error_module.assign(word.view());
  }
  LStrBuf<LSTR_CAP_NAME + 16> out;
  out.len = lstr_from_int(vm_catch.error_offset, out);
  lstr_append_mem(out, " ", 1, out.cap);
  lstr_append_mem(out, vm_catch.error_module.text, vm_catch.error_module.len, out.cap);
  if (out.len > LSTR_CAP_NAME) out.len = LSTR_CAP_NAME;
  vm_push_lstr(out);
}
