// Event tables: what runs when a key, mouse or object event arrives.
//
// A table is a names entry of type NF_EVENT_TABLE whose 2220-byte data block
// holds an i16 parent (names index of the table it inherits from, 0 none)
// and 554 u32 bindings, one per event-table index (event_codes.h), little-
// endian at byte 4 + 4k. A binding is 0 (unbound), a names index of a
// procedure, command or event table (a prefix key: the next key is looked up
// there), or (module names index << 16) | code offset. "default-keys" is the
// fallback of the binding queries.
//
// Blocks live in the code cache, which may drop an unlocked block whenever
// another is loaded, so bindings are read one word at a time through the
// table's index and no block address is kept across a load. A changed block
// is locked so the state file keeps it.
//
// A lookup also fills the pending KeyDispatchState for the command about to
// run; whoever runs the binding commits it (copies it to the current one).
#pragma once

#include <cstdint>
#include <string_view>

#include "base/lstr.h"
#include "base/messages.h"
#include "macro/event_codes.h"

// The command being run, and the previous one.
struct KeyDispatchState {
  int32_t key_table = 0;  // table the running key's binding came from; prefix lookups continue there
  int32_t command = 0;    // names index of the current command (or the binding that runs)
  int32_t prev_command = 0;
  uint32_t binding = 0;  // the binding as the lookup found it
  uint32_t prev_binding = 0;
  int32_t record = 0;  // 1 while the command is to be recorded as macro source
  int32_t prev_record = 0;
  int32_t wflags = 0;  // a word commands and macros set for the current command
  int32_t prev_wflags = 0;
};

// The prefix text shown while a multi-key binding is typed.
inline constexpr int32_t kPrefixTextCap = 30;
// Parents followed when a lookup walks the inheritance of a table.
inline constexpr int kMaxInheritance = 20;

struct KeyTables {
  KeyDispatchState current;
  KeyDispatchState pending;
  LStrBuf<kPrefixTextCap> prefix;
  bool no_prefix_wait = false;  // set by the window layer: a prefix key gives -1 at once
  bool prefix_mode = false;     // set by the call-key built-in: continue in current.key_table
  bool last_found = false;      // the last key lookup found a binding
};
extern KeyTables key_tables;

// Forgets the dispatch records and the prefix state (start-up and tests).
void key_tables_reset();

// Whether a names index is a live event table.
bool evtab_is_table(int32_t table);

// Binding of key index k of a table; 0 when the table is not an event
// table or its block cannot be made resident (*error then holds the cache's
// code when error is given).
uint32_t evtab_word(int32_t table, int32_t k, int32_t* error = nullptr);

// The binding of the event in the table when non-zero, else in
// "default-keys"; 0 when neither binds it. A table that is not an event
// table leaves only "default-keys".
uint32_t evtab_binding(EventCode event, int32_t table);
int32_t evtab_find_binding(EventCode event, uint32_t* out, int32_t table);
// The event is bound (in the table, else "default-keys") to the entry whose
// name equals `name` without case.
bool evtab_is_bound_to(EventCode event, std::string_view name, int32_t table);

// Key lookups with prefix keys. 0 (with *out the binding, 0 when unbound,
// 0xFFFFFFFF when a prefix key met the no-prefix-wait flag), 1 when the
// binding names a module that is not loaded, -3020 when the break key ended
// a prefix wait, or the code cache's error. A found names-index binding is
// recorded as the pending command.
int32_t evtab_lookup(EventCode event, uint32_t* out, int32_t table);
// first_table first (when it is an event table), then base_table; 0 without
// a lookup when base_table is not an event table.
int32_t evtab_lookup2(EventCode event, uint32_t* out, int32_t base_table, int32_t first_table);
// The core of both: in prefix mode the lookup continues in the current
// key_table.
int32_t evtab_lookup_key(EventCode event, uint32_t* out, bool prefix_mode, int32_t base_table, int32_t first_table);
// evtab_lookup on the table and, while the key is unbound there, on the
// tables it inherits from (at most kMaxInheritance).
int32_t evtab_lookup_inherited(EventCode event, uint32_t* out, int32_t table);

// Fills the pending record for a binding about to run (table 0 keeps the
// pending key_table); committing copies pending to current.
void evtab_set_pending_command(uint32_t binding, int32_t table);
void evtab_commit_pending();
// The command bookkeeping when a command is called: previous <- current,
// current command = index, record and wflags cleared.
void evtab_command_called(int32_t index);

// Reads the parent word, or with `set` stores value first; the parent when
// it names an event table, else 0.
int32_t evtab_parent(int32_t table, int32_t value, bool set);

// Starts running a binding with argc arguments on the stack: the procedure
// is entered (as a command: a returned value goes to rc) and the caller runs
// the interpreter. A DLL function is called at once. 0, 1 for a binding of
// a module that is not loaded, or the error (raised fatally).
ErrorCode vm_start_call(uint32_t binding, int32_t argc, bool split_args);

// Built-ins: main 106 (next binding), 107 (binding of an index), 108 (set a
// binding), ext 34 (inheritance).
void bi_find_binding();
void bi_eventtab_index();
void bi_set_eventtab_index();
void bi_eventtab_inherit();
