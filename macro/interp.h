// The interpreter core: registers, call frames and the fetch-dispatch loop.
//
// How it works. A module image is byte code with a header (image size at
// byte 0, link table offset at 2, constants offset at 24). vm_run fetches
// one opcode byte at ip and calls its handler from vm_dispatch, which the
// layers fill at start-up (opcodes.h); byte 255 selects the extended table.
// A call pushes the caller's registers as a CallFrame and enters the callee;
// a return pops it. The run ends when the frame depth falls back to the
// target depth, which the innermost error-catch context (catch.h) set, so a
// nested run (a built-in calling back into macros) stops when its own frames
// have returned. Errors unwind by resetting depth, stack top and registers
// from that context; handlers return at once after raising.
//
// Every fetch is checked against the image: an operand, jump target,
// constant or link entry outside it raises -3014 "Illegal opcode", so no
// byte string can make the loop read outside its image.
//
// Start reading at vm_run in interp.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/lstr.h"
#include "base/messages.h"
#include "macro/module.h"

// The interpreter registers; call frames and catch contexts save copies.
struct VmRegs {
  const uint8_t* ip = nullptr;
  const uint8_t* proc = nullptr;         // the running procedure's header
  const uint8_t* module_base = nullptr;  // null while no macro runs
  const uint8_t* module_end = nullptr;   // one past the image
  const uint8_t* constants = nullptr;
  const uint8_t* link_table = nullptr;
  int32_t arg_base = 0;     // stack index of the first argument
  int32_t locals_base = 0;  // stack index of the first local
  int32_t arg_count = 0;
  int32_t local_count = 0;
  uint8_t result_to_rc = 0;  // called as a command: a returned value goes to rc
  uint8_t native_frame = 0;  // 1 while a DLL function runs native code, 2 after an error in it
};
using CallFrame = VmRegs;

// Frames: capacity starts at 100 and grows by 100; growth stops where it
// would pass 1776, so 1699 is the deepest frame index.
inline constexpr int32_t kFrameGrowStep = 100;
inline constexpr int32_t kFrameLimit = 1776;

struct VmState {
  VmRegs regs;
  std::vector<CallFrame> frames;  // frames[i]: the caller of the procedure at depth i
  int32_t frame_depth = 0;        // 0 while nothing runs
  int32_t target_depth = 0;       // the run loop stops when the depth falls back to it
  // Instructions left before the run stops with -3014. Effectively endless
  // unless a test harness sets it; once spent, nothing catches the stop.
  int64_t steps_left = INT64_MAX;
  bool budget_spent = false;
};
extern VmState vm;

// ---------------------------------------------------------------- hooks
// What calls by names index need of the names table, modules and DLLs.
// The names table plugs in here; the defaults know no names.

struct VmCallable {
  enum class Kind : uint8_t { None, Proc, Dll };
  Kind kind = Kind::None;
  bool command = false;            // type flag 16: do the command bookkeeping
  std::span<const uint8_t> image;  // Proc: the defining module's image
  uint16_t offset = 0;             // Proc: code offset in it
};

struct VmNameHooks {
  // Resolve a names index. Kind None: not callable (-3015 from main 0).
  // Returns 0, or -3003 / -3024 with msg_arg holding the name when the
  // entry has no defining module, or the error of making it resident.
  ErrorCode (*resolve)(int32_t index, VmCallable* out);
  // Call a DLL function with argc arguments on the stack.
  ErrorCode (*dll_call)(int32_t index, int32_t argc);
  // Command bookkeeping of the key dispatch state when a command is called.
  void (*on_command)(int32_t index);
  // Names index of the module that defines a callable (main 83), 0 if none.
  int32_t (*proc_module)(int32_t index);
  // Name of a module by its names index (error positions), empty if none.
  std::string_view (*module_name)(int32_t index);
};
// Install hooks; a null member keeps the plain default.
void vm_set_name_hooks(const VmNameHooks& hooks);
// Name of a module by its names index, through the hook (empty if none).
std::string_view vm_module_name(int32_t index);
// Resolve a names index through the hook (nothing is raised).
ErrorCode vm_resolve_index(int32_t index, VmCallable* out);
// Call a DLL function through the hook with argc arguments on the stack.
ErrorCode vm_call_dll(int32_t index, int32_t argc);

// ------------------------------------------------------------- lifecycle

// Reset registers, frames and catch contexts and set up the variable area
// with "rc" in global slot 1. For the runtime's start-up and for tests.
ErrorCode vm_reset(int32_t slot_capacity = 10000, int32_t heap_size = 200000);

// Run until the frame depth falls back to the target depth.
void vm_run();
// The fetch-dispatch loop vm_run runs (interp_loop.cpp).
void vm_run_loop();
// Whether the loop runs its commonest instructions inline (on; tests turn
// it off to check that the handlers alone give the same answers).
extern bool vm_inline_ops;
// Whether the loop runs procedures in their decoded form (on; it stands in
// for the inline steps; tests turn it off as vm_inline_ops).
extern bool vm_decoded_ops;
// The loop over decoded procedures (interp_decoded.cpp).
void vm_run_decoded();
// Decoded procedures kept, and how many were decoded since the start (tests).
size_t vm_decoded_count();
uint64_t vm_decodes();
// Drop every decoded form (tests; a changed image is read again anyway).
void vm_decoded_clear();

// Enter a procedure's frame at code offset in image, with argc arguments
// already on the stack. Raises and returns -3010 / -3013 / -3014.
ErrorCode vm_push_frame(uint16_t offset, std::span<const uint8_t> image, int32_t argc);
// Enter a procedure and check its parameters (-3019, -3018); polls break.
// Does not run it: the caller runs vm_run or is a handler in the loop.
ErrorCode vm_call_proc(int32_t argc, uint16_t offset, std::span<const uint8_t> image, uint8_t result_to_rc);
// vm_call_proc as a command; offset 0 does nothing.
ErrorCode vm_call_proc_at(uint16_t offset, std::span<const uint8_t> image, int32_t argc);

// Call a procedure, command or DLL function by names index from outside the
// interpreter and run it to completion inside its own catch context.
ErrorCode vm_call_index(int32_t index, std::span<const std::string_view> args);
// The same for a procedure given by image and code offset (tests, module
// entries): 0 after a completed run, else the code of the failed step or of
// the stopping error that ended the run (one a catch block took is not).
ErrorCode vm_call_image(std::span<const uint8_t> image, uint16_t offset, std::span<const std::string_view> args);

// ------------------------------------------------------------- start-up

// Names indexes kept for key dispatch and binding lookups.
extern int32_t vm_key_not_defined_index;
extern int32_t vm_default_keys_index;

// Header fields of a module image that hold entry procedures.
inline constexpr int32_t kEntryMain = MH_MAIN;  // called with one argument
inline constexpr int32_t kEntryInit = MH_INIT;  // no argument at start-up
inline constexpr int32_t kEntryLoad = MH_LOAD;

// Start the runtime on an area set up by vm_reset: names table, "rc"
// (names index 1, slot 1), "key-not-defined", the state file (or a module
// file read in its place), the scheduled entry procedures and
// "default-keys". The entries are only scheduled: they run, inside the
// catch context left open here, at the caller's next vm_run. *arg (the
// argument of the main entry) is emptied. Returns 0, -3002 (out of memory)
// or the error of reading the state file or scheduling.
ErrorCode vm_init(std::string* arg, std::string_view state_file, uint32_t cache_limit);

// Schedule the entry at a header field of every loaded, resident module in
// names-index order (only the first with first_only). -3010 on failure.
ErrorCode mod_run_entries(int32_t field, bool first_only);

// Open a catch context, push arg and schedule entries: with all_modules
// the main entries of every module; with a module (module_index > 0) its
// main and init entries, the module being unloaded when the context
// closes; otherwise the first module's main entry (the load entries with
// all_modules) and every init entry. 0, -3010, or -3001 for a module
// without a main entry.
ErrorCode mod_run_init(std::string_view arg, int32_t module_index, bool all_modules);

// ------------------------------------------------- operand fetch (handlers)
// Each reads at ip and advances it; past the image end it raises -3014 and
// returns false, leaving the out value 0.

bool vm_fetch_u8(uint8_t* out);
bool vm_fetch_u16(uint16_t* out);
// A jump target: a u16 offset that must lie inside the image.
bool vm_fetch_jump(const uint8_t** out);
// A constant operand: its bytes in the constant area.
bool vm_fetch_const(std::string_view* out);
// A link-table entry of the running module.
bool vm_link_entry(uint16_t index, LinkEntry* out);
// Poll at a backward jump or loop step: the break key. Raises; callers
// check the frame depth or return.
void vm_poll_loop();
