// Errors of the macro runtime, error-catch contexts, loops and the break key.
//
// A raised error either only sets rc and queues its message (no stop flag),
// or stops the macro: the interpreter unwinds to the innermost catch
// context, whose saved stack top, loop depth and target depth come back, so
// the run loop of that level ends. Contexts are opened by every entry from
// outside (key commands, object events, nested runs, module runs) and by the
// error-catch block of the byte code, which swallows what it catches and
// resumes after its entry with rc = the code. Resource-exhaustion errors
// (-3013, -3012, -3010, -3002) are hard: they pass through catch blocks.
// Context 0, opened first, is never closed. The break key is the text
// engine's (text/ui_port.h); what the report shows goes to the layers above
// (macro/error_port.h).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/messages.h"
#include "macro/interp.h"

inline constexpr int32_t kMaxCatchContexts = 100;
inline constexpr int32_t kLoopGrowStep = 20;

// What opened a context.
inline constexpr int32_t kCatchNestedRun = 0;  // a run from outside the interpreter
inline constexpr int32_t kCatchKeyCommand = 1;
inline constexpr int32_t kCatchDllCallback = 2;
inline constexpr int32_t kCatchBlock = -2;      // main slot 201
inline constexpr int32_t kCatchModuleRun = -3;  // a module run that unloads it afterwards

struct CatchContext {
  VmRegs saved_regs;
  int32_t unload_module = 0;  // > 0 module to unload on close, -1 in a catch block
  int32_t break_mode = 0;     // -1: break ignored while innermost
  int32_t stack_depth = -1;   // stack top when opened
  int32_t saved_target = 0;
  int32_t loop_depth = -1;
  int32_t status = 0;
  uint32_t stops = 0;  // stopping errors whose unwind ended at this context
};

// A counted loop's state; enclosing loops are saved in an array indexed
// by the loop depth.
struct LoopFrame {
  uint32_t var = 0;   // slot number of the loop variable
  int32_t sign = 0;   // sign of the step
  int32_t start = 0;  // stack indexes of start, end and step
  int32_t end = 0;
  int32_t step = 0;
  uint16_t unused = 0;
  uint16_t exit = 0;  // exit target
};

struct CatchState {
  CatchContext contexts[kMaxCatchContexts];
  int32_t depth = -1;  // innermost context; -1 before start-up
  LoopFrame loop;      // the current loop frame
  std::vector<LoopFrame> loops;
  int32_t loop_depth = -1;
  LStrName error_module;  // position of the last recorded error
  int32_t error_offset = 0;
  int32_t last_stop = 0;  // code of the last error that ended a run (not caught by a block)
  uint32_t unwinds = 0;   // stopping errors so far: a handler that raised can tell it must return
};
extern CatchState vm_catch;

// ---------------------------------------------------------------- raising

// Report a run-time error; a code whose message stops macros unwinds to
// the innermost catch context. Handlers return at once afterwards.
void vm_raise_error(int code);
// Report an error that always stops the running macro.
void vm_raise_fatal(int code);
// The error report: message, unwinding, rc (see catch.cpp).
void vm_report_error(int code, bool fatal);
// Poll the break key: 0, or -3020 raised unless the innermost context
// ignores it.
ErrorCode vm_check_break();
// Unwind for a stopping error; returns whether it stops anything, and in
// *show whether its message is to be shown in a box.
bool vm_unwind_error(int code, bool* show);

// --------------------------------------------------------------- contexts

// Open a context: -3010 (returned, not raised) past 100 contexts.
ErrorCode vm_push_catch();
// Close the innermost context (never context 0).
void vm_pop_catch();
void vm_set_catch_status(int32_t s);
int32_t vm_catch_status();
void vm_record_error_pos();
// Shrink the stack scope to the entries in use and the frame array to
// depth + 1 frames.
void vm_trim_stacks();
