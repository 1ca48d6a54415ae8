// Property dispatch: the property opcodes and the entry points of the
// program's own code all end in one get and one set dispatch, which pick
// the target (a live object or a control record of a form template), apply
// the row's access rules (prop_table.h), convert the value and call the
// row's getter or setter.
//
// Getters and setters take no arguments: they read the dispatch state.
// The state is rebuilt by every access; a setter that runs macros takes
// what it needs from it first, since a nested access overwrites it.
//
// Refusals, all raised through the error report and leaving the object,
// the block and the stack below the operands as they were:
//   -2088 a handle that names nothing (not a number, 0 where not allowed,
//         dead, not a form template, a record past the end or of type 0);
//   -2082 a template record and a row without the template flag;
//   -2073 a type outside the row's mask, a missing view or text display,
//         and a get or set of a row without a getter or setter;
//   -3009 a value that is not a number for a numeric row.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/lstr.h"
#include "base/messages.h"
#include "text/buffer.h"

struct PropDispatchState {
  WindowObject* obj = nullptr;  // null for a template record
  PosRecord* view = nullptr;    // rows with the view flag
  PropertyBlock* block = nullptr;
  uint32_t tpl_index = 0;  // names index of the template
  uint32_t tpl_control = 0;
  BufferRec* buf = nullptr;  // the view's buffer
  uint32_t id = 0;           // the property accessed
  LStrLine str;              // value of a set, as text
  int32_t dec = 0;           // value through the decimal parser (flag 0x80)
  int32_t num = 0;           // value through the integer parser
};
extern PropDispatchState prop_state;

// Handles: the high half 0 names a live object (0 the current one where
// allowed), a high half n a control of form template n.
inline constexpr int64_t kHandleTemplateShift = 16;

// Resolves a handle and runs the get dispatch: pushes the value. 0, or the
// error raised.
ErrorCode prop_get_by_handle(int64_t handle, uint32_t id, bool allow_current);
// Sets from a value of the program's own code: text when given (at most
// 1024 bytes), else the number. 0 or the error raised.
ErrorCode prop_set_by_handle(int64_t handle, uint32_t id, std::optional<std::string_view> text, int32_t value);

// Direct entry points; handle 0 is the current object. The gets leave the
// stack as they found it.
int32_t prop_get_int_by_handle(int64_t handle, uint32_t id);     // 0 when the get fails
int32_t prop_get_number_by_handle(int64_t handle, uint32_t id);  // decimal parse; 0 on failure
int32_t prop_get_cstr_by_handle(int64_t handle, uint32_t id, char* out, int32_t size);
int32_t prop_set_int_by_handle(int64_t handle, uint32_t id, int32_t value);
int32_t prop_set_cstr_by_handle(int64_t handle, uint32_t id, const char* text);

// Strings of live objects: heap handles in the block (0 the empty string).
// Replace, create or free by the rule: a string given replaces or creates
// (the empty string keeps a handle), none frees. 0 or -2029 (the property
// stays as it was).
int32_t prop_block_set_string(PropertyBlock& b, uint32_t id, std::optional<std::string_view> s);
std::string_view prop_block_string(const PropertyBlock& b, uint32_t id);
// The same rule for a heap handle kept in a plain slot.
int32_t prop_assign_string_slot(int32_t* slot, std::optional<std::string_view> s);
std::string_view prop_slot_string(int32_t slot);
// Frees every string the object holds in its block and slots.
void obj_free_strings(WindowObject* obj);

// Opcodes: main 110, 85, 81, 84 and 60.
void op_property_get_current();
void op_property_get_handle();
void op_property_set_current();
void op_property_set_handle();
void op_with_object();

// Raises a refusal of an accessor (fatal where the accessor says so).
void prop_refuse(ErrorCode code, bool fatal = true);
