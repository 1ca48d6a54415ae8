// Event tables: binding queries, key lookups with prefix keys, the pending
// command record, starting a call, and the table built-ins.
// Start reading at evtab_lookup_key.
#include "macro/event_tables.h"

#include <cstdint>

#include "base/le.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/code_cache.h"
#include "macro/core_ops.h"
#include "macro/event_port.h"
#include "macro/interp.h"
#include "macro/kbd_macro.h"
#include "macro/names.h"
#include "macro/stack.h"
#include "macro/varheap.h"
#include "text/ui_port.h"

KeyTables key_tables;

namespace {

constexpr uint32_t kPrefixKeyOut = 0xFFFFFFFFu;  // a prefix key met the no-prefix-wait flag

int32_t default_keys() { return vm_default_keys_index; }

// Makes a table's block resident: 1 with a block, 0 when it has none, or the
// cache's negative code.
int32_t table_block(int32_t table) {
  if (!evtab_is_table(table)) return 0;
  const int e = name_load_data(static_cast<uint32_t>(table));
  if (e != 0) return e;
  const NameEntry* n = name_entry(static_cast<uint32_t>(table));
  return name_block(static_cast<uint32_t>(table)) && n->size >= kEventTableBytes ? 1 : 0;
}

bool is_table_binding(uint32_t b) { return (b >> 16) == 0 && evtab_is_table(static_cast<int32_t>(b)); }

// A binding found in a table: 0 usable, 1 the module it names is not loaded,
// -1 a names index that is neither callable nor a table (taken as unbound).
int check_binding(uint32_t b) {
  if (b >> 16) return (name_is_valid(b >> 16) & NF_MODULE) ? 0 : 1;
  return (name_is_valid(b) & (NF_CALLABLE | NF_EVENT_TABLE)) ? 0 : -1;
}

// Clears the prefix text, and the message line when it showed one.
void clear_prefix(bool shown) {
  key_tables.prefix.len = 0;
  if (shown) evt_show_key_prefix(key_tables.prefix);
}

void show_prefix_key(EventCode event) {
  LStrBuf<kPrefixTextCap>& p = key_tables.prefix;
  if (p.len > 0) lstr_append_mem(p, " ", 1, p.cap);
  const std::string_view name = event_name(event, kStyleLong);
  lstr_append_mem(p, name.data(), static_cast<int32_t>(name.size()), p.cap);
  evt_show_key_prefix(p);
}

bool break_ignored() { return vm_catch.depth >= 0 && vm_catch.contexts[vm_catch.depth].break_mode == -1; }

// The next key of a multi-key sequence, skipping empty results and mouse
// moves; 0 when the break key ended the wait.
EventCode next_prefix_key() {
  for (;;) {
    const EventCode e = kbdmac_next_key();
    if (e != 0 && e != kEvMouseMove) return e;
    if (ui_break_pressed()) return 0;
  }
}

bool store_word(int32_t table, int32_t k, uint32_t w) {
  if (table_block(table) != 1) return false;
  le::put_u32(name_block(static_cast<uint32_t>(table)) + 4 + 4 * k, w);
  name_pin_data(static_cast<uint32_t>(table));  // changed: the state file keeps it
  return true;
}

}  // namespace

void key_tables_reset() { key_tables = KeyTables{}; }

bool evtab_is_table(int32_t table) {
  return table > 0 && (name_is_valid(static_cast<uint32_t>(table)) & NF_EVENT_TABLE) != 0;
}

uint32_t evtab_word(int32_t table, int32_t k, int32_t* error) {
  if (error) *error = 0;
  if (k < 0 || k >= kKeyIndexCount) return 0;
  const int32_t r = table_block(table);
  if (r != 1) {
    if (error && r < 0) *error = r;
    return 0;
  }
  return le::get_u32(name_block(static_cast<uint32_t>(table)) + 4 + 4 * k);
}

uint32_t evtab_binding(EventCode event, int32_t table) {
  const int32_t k = event_to_key_index(event);
  const uint32_t w = evtab_word(table, k);
  return w != 0 ? w : evtab_word(default_keys(), k);
}

int32_t evtab_find_binding(EventCode event, uint32_t* out, int32_t table) {
  *out = evtab_binding(event, table);
  return 0;
}

bool evtab_is_bound_to(EventCode event, std::string_view name, int32_t table) {
  const uint32_t b = evtab_binding(event_pair_lookup(event, 0), table);
  if (b == 0 || (b >> 16) != 0 || !name_is_valid(b)) return false;
  return name_equal(name_text(b), name, 0);
}

// ---- lookups ------------------------------------------------------------------

namespace {

int32_t lookup_key(EventCode event, uint32_t* out, bool prefix_mode, int32_t base_table, int32_t first_table) {
  *out = 0;
  int32_t err = 0;
  uint32_t b = 0;
  int32_t in_use = 0;
  bool shown = false;
  if (prefix_mode) {  // continue a sequence in the table of the running key
    in_use = key_tables.current.key_table;
    if (!evtab_is_table(in_use)) return 1;
    b = evtab_word(in_use, event_to_key_index(event), &err);
    if (err) return err;
    shown = key_tables.prefix.len > 0;
    if (b == 0) {
      clear_prefix(true);
      return 0;
    }
  } else {
    key_tables.prefix.len = 0;
    if (evtab_is_table(first_table)) {
      b = evtab_word(first_table, event_to_key_index(event), &err);
      if (err) return err;
      in_use = first_table;
    }
    if (b == 0) {
      b = evtab_word(base_table, event_to_key_index(event), &err);
      if (err) return err;
      in_use = base_table;
    }
    if (b == 0) return 0;
  }
  int c = check_binding(b);
  if (c != 0) return c > 0 ? 1 : 0;

  while (is_table_binding(b)) {  // a prefix key: wait for the next key
    if (key_tables.no_prefix_wait) {
      *out = kPrefixKeyOut;
      evtab_set_pending_command(b, in_use);
      return 0;
    }
    in_use = static_cast<int32_t>(b);
    const int32_t r = table_block(in_use);
    if (r <= 0) {  // cache error, or a table without data
      if (shown) clear_prefix(true);
      return r;
    }
    show_prefix_key(event);
    shown = true;
    EventCode next = next_prefix_key();
    if (next == 0 && !break_ignored()) {
      clear_prefix(true);
      ui_clear_break();
      return ERR_BREAK_KEY;
    }
    event = next;
    b = evtab_word(in_use, event_to_key_index(event), &err);
    if (err) return err;
    c = b == 0 ? -1 : check_binding(b);
    if (c != 0) {  // unbound after the prefix: the sequence ends here
      clear_prefix(true);
      return c > 0 ? 1 : 0;
    }
  }
  if (shown) clear_prefix(true);
  *out = b;
  if (b >> 16) return 0;  // addressed into a module: nothing to record
  evtab_set_pending_command(b, in_use);
  return 0;
}

}  // namespace

int32_t evtab_lookup_key(EventCode event, uint32_t* out, bool prefix_mode, int32_t base_table, int32_t first_table) {
  const int32_t r = lookup_key(event, out, prefix_mode, base_table, first_table);
  key_tables.last_found = r == 0 && *out != 0;
  return r;
}

int32_t evtab_lookup(EventCode event, uint32_t* out, int32_t table) {
  if (!evtab_is_table(table)) return 0;
  return evtab_lookup_key(event, out, false, table, table);
}

int32_t evtab_lookup2(EventCode event, uint32_t* out, int32_t base_table, int32_t first_table) {
  if (!evtab_is_table(base_table)) return 0;
  return evtab_lookup_key(event, out, key_tables.prefix_mode, base_table,
                          evtab_is_table(first_table) ? first_table : base_table);
}

int32_t evtab_lookup_inherited(EventCode event, uint32_t* out, int32_t table) {
  *out = 0;
  for (int i = 0; i < kMaxInheritance && evtab_is_table(table); ++i) {
    const int32_t r = evtab_lookup(event, out, table);
    if (r != 0 || *out != 0) return r;
    table = evtab_parent(table, 0, false);
  }
  return 0;
}

// ---- the command records ----------------------------------------------------------

void evtab_set_pending_command(uint32_t binding, int32_t table) {
  KeyDispatchState& p = key_tables.pending;
  const KeyDispatchState& c = key_tables.current;
  p.prev_binding = c.binding;
  p.prev_command = c.command;
  p.binding = binding;
  p.command = static_cast<int32_t>(binding);
  p.prev_wflags = c.wflags;
  p.wflags = 0;
  if (table != 0) p.key_table = table;
}

void evtab_commit_pending() { key_tables.current = key_tables.pending; }

void evtab_command_called(int32_t index) {
  KeyDispatchState& c = key_tables.current;
  c.prev_command = c.command;
  c.command = index;
  c.prev_record = c.record;
  c.record = 0;
  c.prev_wflags = c.wflags;
  c.wflags = 0;
}

int32_t evtab_parent(int32_t table, int32_t value, bool set) {
  if (table_block(table) != 1) return 0;
  uint8_t* b = name_block(static_cast<uint32_t>(table));
  if (set) {
    le::put_u16(b, static_cast<uint16_t>(value));
    name_pin_data(static_cast<uint32_t>(table));
  }
  const int32_t parent = le::get_i16(b);
  return evtab_is_table(parent) ? parent : 0;
}

// ---- starting a call ----------------------------------------------------------------

ErrorCode vm_start_call(uint32_t binding, int32_t argc, bool split_args) {
  (void)split_args;  // DLL parameter lists belong to the DLL interface, which splits them
  std::span<const uint8_t> image;
  uint16_t offset = 0;
  if (const uint32_t module = binding >> 16; module != 0) {
    if (!(name_is_valid(module) & NF_MODULE)) return 1;
    const int e = name_load_data(module);
    if (e != 0) {
      vm_raise_fatal(e);
      return e;
    }
    image = {name_block(module), name_entry(module)->size};
    offset = static_cast<uint16_t>(binding & 0xFFFF);
  } else {
    VmCallable c;
    ErrorCode rc = vm_resolve_index(static_cast<int32_t>(binding), &c);
    if (rc == ERR_PROCEDURE_NOT_FOUND) rc = ERR_COMMAND_NOT_FOUND;  // msg_arg holds the name
    if (rc != ERR_OK) {
      vm_raise_fatal(rc);
      return rc;
    }
    if (c.kind == VmCallable::Kind::None) return ERR_OK;  // nothing to call
    if (c.kind == VmCallable::Kind::Dll) return vm_call_dll(static_cast<int32_t>(binding), argc);
    image = c.image;
    offset = c.offset;
  }
  return vm_call_proc_at(offset, image, argc);
}

// ---- built-ins ------------------------------------------------------------------------

namespace {

// |v|, with the one value that has no magnitude taken as 0 (no table).
int32_t magnitude(int32_t v) { return v == INT32_MIN ? 0 : (v < 0 ? -v : v); }

// A variable operand's value as an integer in lo..hi.
bool var_in_range(uint32_t var, int32_t lo, int32_t hi, int32_t* out) {
  lstr_number_error = 0;
  *out = lstr_to_long(var_value(var));
  return lstr_number_error == 0 && *out >= lo && *out <= hi;
}

}  // namespace

// Main 106: operands index, binding and table variables; pops the wanted
// names index, then table B, then table A. Finds the next key index after
// the index variable's value where B's binding (or, where B binds nothing,
// A's) is the wanted one or a prefix table.
void bi_find_binding() {
  const uint32_t index_var = vm_fetch_var_operand();
  if (index_var == 0) return;
  const uint32_t binding_var = vm_fetch_var_operand();
  if (binding_var == 0) return;
  const uint32_t table_var = vm_fetch_var_operand();
  if (table_var == 0 || !core_have(3)) return;
  int32_t wanted = 0, table_b = 0, table_a = 0, start = 0;
  if (!bi_arg_to_int(3, 2, &wanted) || !bi_arg_to_int(3, 1, &table_b) || !bi_arg_to_int(3, 0, &table_a))
    return bi_fail(3, ERR_INVALID_NUMBER_ARGUMENT);
  if (!evtab_is_table(table_a) || !evtab_is_table(table_b) || !var_in_range(index_var, -1, kKeyIndexCount - 1, &start))
    return bi_fail(3);
  core_drop(3);
  const auto reportable = [&](uint32_t w) { return w == static_cast<uint32_t>(wanted) || is_table_binding(w); };
  for (int32_t k = start + 1; k < kKeyIndexCount; ++k) {
    uint32_t w = evtab_word(table_b, k);
    int32_t holder = table_b;
    if (w == 0) {
      w = evtab_word(table_a, k);
      holder = table_a;
    }
    if (!reportable(w)) continue;
    var_store_int(index_var, k);
    var_store_int(binding_var, static_cast<int32_t>(w));
    var_store_int(table_var, holder);
    return;
  }
  var_store_int(index_var, -1);
  var_store_int(binding_var, 0);
  var_store_int(table_var, 0);
}

// Main 107: base table, table, key index [, "U"] -> the table's binding of
// the index, else the base table's (with "U": the table consulted last).
void bi_eventtab_index() {
  int32_t n = 0;
  if (!bi_count(3, 4, &n)) return;
  int32_t base = 0, table = 0, k = 0;
  if (!bi_arg_to_int(n, 0, &base) || !bi_arg_to_int(n, 1, &table) || !bi_arg_to_int(n, 2, &k))
    return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  char opt = 0;
  if (!evtab_is_table(base) || !evtab_is_table(table) || k < 0 || k >= kKeyIndexCount ||
      (n == 4 && val_option_letter(&opt, "U", bi_arg(n, 3)) != ERR_OK))
    return bi_fail(n);
  core_drop(n);
  uint32_t w = evtab_word(table, k);
  int32_t consulted = table;
  if (w == 0) {
    w = evtab_word(base, k);
    consulted = base;
  }
  vm_push_int(opt == 'U' ? consulted : static_cast<int32_t>(w));
}

// Main 108: table, key index, binding (0, a procedure, command or table).
void bi_set_eventtab_index() {
  if (!core_have(3)) return;
  int32_t table = 0, k = 0, binding = 0;
  if (!bi_arg_to_int(3, 0, &table) || !bi_arg_to_int(3, 1, &k) || !bi_arg_to_int(3, 2, &binding))
    return bi_fail(3, ERR_INVALID_NUMBER_ARGUMENT);
  const bool bindable =
      binding == 0 ||
      (binding > 0 && (name_is_valid(static_cast<uint32_t>(binding)) & (NF_CALLABLE | NF_EVENT_TABLE)) != 0);
  if (!evtab_is_table(table) || k < 0 || k >= kKeyIndexCount || !bindable) return bi_fail(3);
  core_drop(3);
  if (!store_word(table, k, static_cast<uint32_t>(binding))) vm_raise_error(ERR_INVALID_ARGUMENT);
}

// Ext 34: table [, parent] -> the parent word; a given parent is stored
// first (a negative one as its magnitude, which must name an event table).
void bi_eventtab_inherit() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n, true)) return;
  int32_t table = 0, given = 0;
  if (!bi_arg_to_int(n, 0, &table) || (n == 2 && !bi_arg_to_int(n, 1, &given)))
    return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT, true);
  table = magnitude(table);
  const bool negative = given < 0;
  const int32_t parent = magnitude(given);
  // The word is 16 bits: a larger value would name another table.
  const bool parent_ok = n == 1 || (parent <= INT16_MAX && (!negative || evtab_is_table(parent)));
  if (!evtab_is_table(table) || !parent_ok) return bi_fail(n, ERR_INVALID_ARGUMENT, true);
  core_drop(n);
  if (table_block(table) != 1) {
    vm_raise_fatal(ERR_INVALID_ARGUMENT);
    return;
  }
  if (n == 2) evtab_parent(table, parent, true);
  vm_push_int(le::get_i16(name_block(static_cast<uint32_t>(table))));
}
