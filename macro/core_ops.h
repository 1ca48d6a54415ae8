// The language core of the byte code: operators, comparisons, truth,
// concatenation, decimal arithmetic and bit operations, increments and
// compound assignment, the parse-with-template statement, and a few
// statements (execute, control lookup, exit, arg). The execute statement
// runs the command executor (command_exec.h), the control lookup asks the
// forms (form_port.h) and exit takes the exit path (exit_path.h).
//
// Handlers follow the expression-stack conventions (stack.h): the compiler
// pushed the left operand first, so for two-operand opcodes "deeper" is the
// left side and "top" the right side; several operators exist twice with
// swapped operand order, each twin with its own handler. A failing
// operation raises its code (decimal.h) and pushes nothing.
//
// Truth: a value is false exactly when it is the one-byte string "0"; "",
// "00", " 0" and "0.0" are all true. Operators that produce truth values
// push "1" or "0".
//
// The parse statement (main 48, then variable groups (49) and template
// elements (45 absolute column, 47 relative column, 46 find a pattern),
// ended by a lone 49): a group remembers where its variables are, runs the
// following instructions itself until a template element or the closing 49
// ends the piece, then splits the piece among its variables: each but the
// last gets one blank-separated word, the last the rest of the piece (one
// variable alone: the whole piece, blanks included). Start reading at
// op_parse_assign in core_ops.cpp.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/lstr.h"
#include "base/messages.h"

// Executor flag of the execute statement: the first word is looked up among
// the macro commands (command_exec.h CMD_LOOKUP).
inline constexpr int32_t kExecuteFromMacro = 1;

// The state of the parse statement (one instance; tests read it).
struct ParseState {
  LStrLine buffer;        // the value being split, cut at 1024 bytes
  int32_t position = 1;   // 1-based
  int32_t piece_end = 1;  // end of the current piece (exclusive)
  bool pending = false;   // a variable group waits for its piece to end
};
extern ParseState core_parse;

// ---- shared by the handlers here and in string_bi.cpp ------------------------

// Whether the stack holds n entries; raises -3014 when not (damaged code).
bool core_have(int32_t n);
// The value `depth` entries below the top (0 is the top), following a
// reference. It lives in the string heap: valid until the next push or
// assignment.
const LStr* core_value(int32_t depth);
inline std::string_view core_view(int32_t depth) { return lstr_view(core_value(depth)); }
// Drops n entries (their blocks stay for reuse).
void core_drop(int32_t n);
// Raises code; true when that stopped the macro, so the handler must return
// at once without touching the stack.
bool core_raise_stops(ErrorCode code);

// Truth of a value: false only for the one-byte string "0".
inline bool core_truth(std::string_view v) { return !(v.size() == 1 && v[0] == '0'); }
