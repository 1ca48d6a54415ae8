// Names-table built-ins (see bi_names.h).
#include "macro/bi_names.h"

#include <string>

#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/decimal.h"
#include "macro/event_tables.h"
#include "macro/names.h"
#include "macro/opcode_handlers.h"
#include "macro/stack.h"
#include "macro/templates_port.h"
#include "macro/varheap.h"

namespace {

// Where name matching goes on; shared by every caller.
uint32_t match_position = 0;

uint32_t index_of(uint32_t handle) { return handle >> 16 ? handle >> 16 : handle; }

// A handle argument; false after raising -3009.
bool handle_arg(int32_t n, int32_t i, uint32_t* out) {
  int32_t v = 0;
  if (!bi_arg_to_int(n, i, &v)) {
    bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
    return false;
  }
  *out = static_cast<uint32_t>(v);
  return true;
}

// The slot of a global or buffer-local variable entry, or 0.
uint32_t variable_slot(uint32_t index) {
  if (!(name_is_valid(index) & (NF_GLOBAL | NF_BUFLOCAL))) return 0;
  const int32_t slot = static_cast<int16_t>(name_entry(index)->data);
  return slot > 0 ? static_cast<uint32_t>(slot) : 0;
}

bool is_default_keys(uint32_t index) {
  return (name_is_valid(index) & NF_EVENT_TABLE) &&
         (static_cast<int32_t>(index) == vm_default_keys_index || name_equal(name_text(index), "default-keys", 0));
}

// Whether bi_delete_name may delete the entry a handle names.
bool deletable(uint32_t handle) {
  if (handle >> 16) return (handle & 0xFFFF) == 0 && (name_is_valid(handle >> 16) & NF_TEMPLATE);
  const uint32_t flags = name_is_valid(handle);
  if (flags & (NF_TEMPLATE | NF_CALLABLE)) return true;
  return flags != 0 && !is_default_keys(handle) && !(flags & 0xFEF7);
}

void name_data_common() {
  if (!core_have(1)) return;
  uint32_t index = 0;
  if (!handle_arg(1, 0, &index)) return;
  core_drop(1);
  const NameEntry* e = name_is_valid(index) ? name_entry(index) : nullptr;
  vm_push_view(std::to_string(e ? e->stored : 0u));
}

void set_name_data_common() {
  if (!core_have(2)) return;
  uint32_t index = 0;
  if (!handle_arg(2, 0, &index)) return;
  const uint32_t flags = name_is_valid(index);
  if (!flags || (flags & NF_HAS_DATA)) return bi_fail(2, ERR_INVALID_NAME_INDEX, true);
  int32_t value = 0;
  if (dec_to_int(bi_arg(2, 1), &value) != 0) return bi_fail(2, ERR_INVALID_NUMBER_ARGUMENT);
  core_drop(2);
  name_entry(index)->stored = static_cast<uint32_t>(value);
}

// Main 116 and 117 share this: `previous` picks the words of the command
// before the current one.
void index_registers(bool previous) {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  char letter = 0;
  if (n >= 1 && val_option_letter(&letter, "CPKW", bi_arg(n, 0)) != 0) return bi_fail(n, ERR_INVALID_ARGUMENT);
  if (letter == 'P') {
    core_drop(n);
    vm_push_view(key_tables.prefix.view());
    return;
  }
  const bool set = n == 2 && !bi_arg(n, 1).empty();
  int32_t v = 0;
  if (set && !bi_arg_to_int(n, 1, &v)) return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  if (set && letter == 'K' && v != 0 && !(name_is_valid(static_cast<uint32_t>(v)) & NF_EVENT_TABLE))
    return bi_fail(n, ERR_INVALID_NAME_INDEX, true);
  core_drop(n);
  KeyDispatchState& r = key_tables.current;
  int64_t out = 0;
  switch (letter) {
    case 'C': {
      int32_t& word = previous ? r.prev_command : r.command;
      if (set) word = v;
      out = word;
      break;
    }
    case 'K':
      if (set) r.key_table = v;
      out = r.key_table;
      break;
    case 'W':
      if (set) r.wflags = r.prev_wflags = v;
      out = r.prev_wflags;
      break;
    default: {
      uint32_t& word = previous ? r.prev_binding : r.binding;
      if (set) word = static_cast<uint32_t>(v);
      out = word;
    }
  }
  vm_push_view(std::to_string(out));
}

}  // namespace

void names_bi_reset() { match_position = 0; }

uint32_t name_find_any(std::string_view name, uint32_t mask) {
  uint32_t found = 0;
  if (mask & ~static_cast<uint32_t>(NF_FILE_NAMED))
    found = name_find(name, mask & ~static_cast<uint32_t>(NF_FILE_NAMED));
  if (!found && (mask & NF_FILE_NAMED)) found = name_find(name, mask & NF_FILE_NAMED);
  return found;
}

uint32_t name_next_any(std::string_view prefix, uint32_t after, uint32_t mask) {
  const uint32_t wanted_type = (mask & NF_TEMPLATE) ? (mask >> 11) & 0x1F : 0;
  for (int32_t i = static_cast<int32_t>(after) + 1; i < name_count(); ++i) {
    const uint32_t flags = name_is_valid(static_cast<uint32_t>(i));
    if (!(flags & mask)) continue;
    if (wanted_type && (flags & NF_TEMPLATE) && ((flags >> 11) & 0x1F) != wanted_type) continue;
    const std::string_view text = name_text(static_cast<uint32_t>(i));
    if (text.size() >= prefix.size() && name_equal(text.substr(0, prefix.size()), prefix, flags))
      return static_cast<uint32_t>(i);
  }
  return 0;
}

int name_find_callable(const LStr* name, uint32_t* index, uint32_t mask, bool no_record) {
  *index = 0;
  const uint32_t found = name_find_any(lstr_view(name), mask);
  if (!found) return 0;
  if (!no_record) {
    KeyDispatchState& r = key_tables.current;
    r.prev_command = r.command;
    r.prev_record = r.record;
    r.prev_wflags = r.wflags;
    r.command = static_cast<int32_t>(found);
    r.record = 0;
    r.wflags = 0;
  }
  const uint32_t flags = name_is_valid(found);
  if (!(flags & NF_CALLABLE) || (name_entry(found)->data >> 16) == 0) return 0;
  *index = found;
  return 1;
}

// ---- built-ins ---------------------------------------------------------------------------

// Main 87: name [, type mask] -> the index (a template handle for a template
// or control), 0 when none; rc 0 or -3022.
void bi_find_index() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  uint32_t mask = kAllNameTypes;
  if (n == 2 && !handle_arg(n, 1, &mask)) return;
  const std::string name = bi_arg_str(n, 0);
  core_drop(n);
  const uint32_t found = name_find_any(name, mask);
  vm_push_uint(static_cast<int32_t>(found));
  vm_set_rc(found ? ERR_OK : ERR_STRING_NOT_FOUND);
}

// Main 88: prefix restart [, type mask] -> the next index whose name begins
// with the prefix (a template's index shifted left 16 bits), 0 at the end;
// rc 0 or -3022. One position is remembered for every caller.
void bi_name_match() {
  int32_t n = 0;
  if (!bi_count(2, 3, &n)) return;
  int32_t restart = 0;
  if (!bi_arg_to_int(n, 1, &restart)) return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  uint32_t mask = kAllNameTypes;
  if (n == 3 && !handle_arg(n, 2, &mask)) return;
  const std::string prefix = bi_arg_str(n, 0);
  core_drop(n);
  if (restart) match_position = 0;
  const uint32_t found = name_next_any(prefix, match_position, mask);
  if (found) match_position = found;
  const uint32_t pushed = (name_is_valid(found) & NF_TEMPLATE) ? found << 16 : found;
  vm_push_uint(static_cast<int32_t>(pushed));
  vm_set_rc(found ? ERR_OK : ERR_STRING_NOT_FOUND);
}

// Main 89: handle -> its type flags.
void bi_name_type() {
  if (!core_have(1)) return;
  uint32_t h = 0;
  if (!handle_arg(1, 0, &h)) return;
  core_drop(1);
  vm_push_uint(static_cast<int32_t>(name_type(h)));
}

// Main 90: handle -> its name.
void bi_name_name() {
  if (!core_have(1)) return;
  uint32_t h = 0;
  if (!handle_arg(1, 0, &h)) return;
  core_drop(1);
  const std::string text(name_text(h));
  vm_push_view(text);
}

// Main 99: index info: sets (an empty info clears) the info string; rc 0, or
// the error raised.
void bi_set_name_info() {
  if (!core_have(2)) return;
  uint32_t index = 0;
  if (!handle_arg(2, 0, &index)) return;
  const std::string info = bi_arg_str(2, 1);
  core_drop(2);
  vm_set_rc_or_raise(name_set_info(index, info));
}

// Main 100: name flags [, info [, source template]] -> the new index, rc 0;
// 0 with rc = the code on failure; an invalid request is -3015, fatal.
void bi_insert_name() {
  int32_t n = 0;
  if (!bi_count(2, 4, &n)) return;
  uint32_t flags = 0, source = 0;
  if (!handle_arg(n, 1, &flags)) return;
  if (n == 4 && !handle_arg(n, 3, &source)) return;
  std::string name = bi_arg_str(n, 0);
  std::optional<std::string> info;
  if (n >= 3) info = bi_arg_str(n, 2);
  core_drop(n);
  if (!(flags & NF_PICTURE)) name_to_dash_form(name);  // a picture is named by its file
  int32_t r;
  if (flags & (NF_TEMPLATE | NF_PICTURE))
    r = templates_create_object(name, flags, info ? std::optional<std::string_view>(*info) : std::nullopt, source);
  else
    r = name_create(name, flags, info ? std::optional<std::string_view>(*info) : std::nullopt);
  if (r == ERR_INVALID_ARGUMENT) {
    vm_raise_fatal(r);
    return;
  }
  vm_push_uint(r > 0 ? r : 0);
  vm_set_rc(r > 0 ? ERR_OK : r);
}

// Main 101: index: deletes a whole template, a procedure or command, an
// event table (not "default-keys"), a picture or a DLL module; anything
// else is -3029, fatal. A procedure still linked from a module stays.
void bi_delete_name() {
  if (!core_have(1)) return;
  uint32_t h = 0;
  if (!handle_arg(1, 0, &h)) return;
  if (!deletable(h)) return bi_fail(1, ERR_INVALID_NAME_INDEX, true);
  core_drop(1);
  name_delete(h, false);
}

// Main 102: handle -> the info string (a control gives its template's).
void bi_name_info() {
  if (!core_have(1)) return;
  uint32_t h = 0;
  if (!handle_arg(1, 0, &h)) return;
  core_drop(1);
  const std::string info(name_info(index_of(h)));
  vm_push_view(info);
}

// Main 116, 117: [letter C, P, K or W [, value]] -> a register of key
// dispatch (of the current command; of the previous one), set first when a
// value is given and not empty.
void bi_index_registers() { index_registers(false); }
void bi_index_registers2() { index_registers(true); }

// Main 118: index -> the value of a global or buffer-local variable; -3029
// (fatal) for any other entry.
void bi_get_global_var() {
  if (!core_have(1)) return;
  uint32_t index = 0;
  if (!handle_arg(1, 0, &index)) return;
  const uint32_t slot = variable_slot(index);
  if (!slot) return bi_fail(1, ERR_INVALID_NAME_INDEX, true);
  core_drop(1);
  const std::string v(lstr_view(var_value(slot)));
  vm_push_view(v);
}

// Main 119: index value: assigns the variable; -3029 (fatal) for any other
// entry.
void bi_set_global_var() {
  if (!core_have(2)) return;
  uint32_t index = 0;
  if (!handle_arg(2, 0, &index)) return;
  const uint32_t slot = variable_slot(index);
  if (!slot) return bi_fail(2, ERR_INVALID_NAME_INDEX, true);
  const std::string v = bi_arg_str(2, 1);
  core_drop(2);
  var_assign_bytes(slot, v.data(), static_cast<int32_t>(v.size()));
}

// Main 120 and ext 27: index -> the entry's stored word, unsigned; "0" for an
// invalid index.
void bi_name_data() { name_data_common(); }

// Main 121 and ext 28: index value: sets the stored word (the value read as
// a decimal number, fractions and exponents allowed); -3029 (fatal) for an
// invalid index or an entry whose word describes its data.
void bi_set_name_data() { set_name_data_common(); }

// Ext 32: index new-name [, info [, flag]] -> the index, or the code: renames
// an event table, template or picture (-3029, fatal, for other entries);
// without an info argument the present info string stays.
void bi_name_op_ext32() {
  int32_t n = 0;
  if (!bi_count(2, 4, &n)) return;
  uint32_t h = 0;
  int32_t flag = 0;
  if (!handle_arg(n, 0, &h)) return;
  if (n == 4 && !bi_arg_to_int(n, 3, &flag)) return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  const uint32_t index = index_of(h);
  if (!(name_is_valid(index) & (NF_TEMPLATE | NF_PICTURE | NF_EVENT_TABLE)))
    return bi_fail(n, ERR_INVALID_NAME_INDEX, true);
  const std::string new_name = bi_arg_str(n, 1);
  std::optional<std::string> info;
  if (n >= 3)
    info = bi_arg_str(n, 2);
  else if (name_is_valid(index) & NF_INFO)
    info = std::string(name_info(index));
  core_drop(n);
  const int r = name_rename(new_name, h, info ? std::optional<std::string_view>(*info) : std::nullopt, flag != 0);
  if (r == ERR_INVALID_ARGUMENT) {
    vm_raise_fatal(r);
    return;
  }
  if (r == 0)
    vm_push_uint(static_cast<int32_t>(h));
  else
    vm_push_int(r);
}

// Ext 40: [ignored]: deletes the names nothing uses.
void bi_purge_unused_names() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  core_drop(n);
  name_purge_unused();
}
