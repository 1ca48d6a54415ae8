// Names table: one entry for every named thing of the macro runtime.
//
// Procedures, commands, global and buffer-local variables, event tables,
// loaded modules, form templates, pictures and DLL functions each own one
// NameEntry. Byte code, key bindings and forms refer to them by index, so an
// index stays valid for the life of its entry; a freed index goes on a free
// list and is reused by the next insert.
//
// Invariants: entry 0 is never used; 1 <= index < count for every live entry
// and an entry is live exactly when its flags are not 0. count never passes
// kNamesMaxEntries (inserts are refused with -3002 there rather than wrapping
// the 16-bit field). Names other than modules, pictures and DLL modules are
// kept in dash form ("_" stored as "-") and compare without case; those three
// are file names and compare exactly.
//
// The entry array is a file format (state-file record 4): it is written and
// read field by field through the little-endian helpers, never as a struct.
// Data blocks of entries (module images, event tables, ...) are held by the
// code cache (macro/code_cache.h), not in the entry's `data` word, because a
// 64-bit address does not fit there.
#pragma once

#include "base/messages.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Type flags of NameEntry::flags.
enum : uint32_t {
  NF_PROC = 0x1,
  NF_EXTERN_PROC = 0x2,  // link-kind type only
  NF_GLOBAL = 0x4,
  NF_EVENT_TABLE = 0x8,
  NF_COMMAND = 0x10,
  NF_PRIVATE_VAR = 0x20,   // link-kind type only
  NF_PRIVATE_PROC = 0x40,  // link-kind type only
  NF_MODULE = 0x80,
  NF_PICTURE = 0x100,
  NF_BUFLOCAL = 0x200,
  NF_TEMPLATE = 0x400,
  NF_INFO = 0x10000,
  NF_BINDING = 0x20000,  // link-kind type only
  NF_DLL_FUNC = 0x40000,
  NF_DLL_MODULE = 0x80000,
  NF_PURGE_MARK = 0x80000000u,
  NF_CALLABLE = NF_PROC | NF_COMMAND,
  NF_FILE_NAMED = NF_MODULE | NF_PICTURE | NF_DLL_MODULE,  // compared exactly
  NF_HAS_DATA = NF_EVENT_TABLE | NF_MODULE | NF_PICTURE | NF_TEMPLATE,
};

// Cache state bits of NameEntry::state (data entries).
enum : uint32_t {
  NS_RESIDENT = 1,
  NS_HAS_INIT = 2,
  NS_HAS_MAIN = 4,
  NS_LOCKED = 8,
  NS_STARTUP = 16,
};

// One entry; 24 bytes on disk in this field order.
struct NameEntry {
  uint32_t flags = 0;
  uint16_t name_id = 0;  // name-pool handle of the name text
  uint16_t info_id = 0;  // name-pool handle of the info string, 0 when none
  uint32_t stored = 0;   // event tables/templates: encoded record length; else a free word
  uint32_t size = 0;     // byte size of the data block
  uint32_t data = 0;     // callables: module << 16 | code offset; variables: slot;
                         // data entries: state-file offset while not resident
  uint32_t state = 0;    // cache state bits
};
constexpr size_t kNameEntryDiskSize = 24;

constexpr int kNamesGrowStep = 50;               // entries added when the array is full
constexpr int kNamesMaxEntries = 32767;          // count is a signed 16-bit field on disk
constexpr uint32_t kNamePoolMaxHandles = 65535;  // pool handles are 16-bit fields
constexpr uint32_t kNamePoolInitBytes = 20000;
constexpr uint32_t kNamePoolInitHandles = 1000;
constexpr uint32_t kEventTableBytes = 2220;  // inherited word + 554 binding words
constexpr int kEventBindings = 554;

// Sets up an empty table and name pool (dropping any previous contents and
// every cached block). 0, or -3002 when memory runs out.
int name_pool_init();

// Flags of a live entry (1 <= index < count), else 0.
uint32_t name_is_valid(uint32_t index);

// Flags of the entry a handle names; a template handle with a control part
// gives the control's object type from the forms layer (0 without one).
uint32_t name_type(uint32_t handle);

// The name of an entry; empty for an invalid handle. The view is valid until
// the next change of the name pool.
std::string_view name_text(uint32_t handle);
// The info string when the entry has NF_INFO, else empty.
std::string_view name_info(uint32_t handle);

// Exact lookup by name under a type mask (any flag of the mask must be set);
// 0 when none. Dash and case folding as described above; a mask with 0x400
// splits "form.control" and returns index << 16 | control.
uint32_t name_find(std::string_view name, uint32_t mask);

// Next index after `after` whose flags meet the mask and whose name begins
// with `prefix` (case-folded unless the mask holds 0x100); 0 at the end.
uint32_t name_next(std::string_view prefix, uint32_t after, uint32_t mask);

// Inserts a new entry with the image's flags, data and state (stored and size
// cleared) and the given info string. Returns the index, or -3002 when the
// pool or the array cannot grow (nothing is inserted then). The name is stored
// in dash form unless the flags say it is a file name.
int32_t name_insert(std::string_view name, const NameEntry& image, std::optional<std::string_view> info = std::nullopt);

// Creates an entry of one creatable type: procedure, command or event table;
// the forms layer makes templates and pictures (templates_port.h).
// Lower-cases the name (not a picture's). Returns the index (a template's
// handle) or -3015 / -3002.
int32_t name_create(std::string_view name, uint32_t flags, std::optional<std::string_view> info);

// Deletes an entry by its type's rules (see names.cpp); `force` deletes a
// callable even when a module link still refers to it. Index 1 ("rc") stays.
void name_delete(uint32_t handle, bool force);

// Sets, replaces or clears (nullopt or empty) the info string. 0, -3029 for an
// invalid index, -3002 when the pool is full (the old string stays).
int name_set_info(uint32_t index, std::optional<std::string_view> info);

// Replaces the name text (and info) of an entry in place; its index stays.
// 0 or -3002 (nothing changed).
int name_set_text_info(uint32_t index, std::string_view new_name, std::optional<std::string_view> info);

// The live entry, or null. The pointer is valid until the next insert.
NameEntry* name_entry(uint32_t index);

// Table header fields, for the state file and for tests.
int name_count();  // entries in use or freed, entry 0 included (>= 1 once used)
int name_capacity();
uint16_t name_free_head();

// Turns "_" into "-" (and back) in place.
void name_to_dash_form(std::string& s);
void name_to_underscore_form(std::string& s);

// True when two names are equal under the rules for `flags` (exact for file
// names, else without case and with "-" equal to "_").
bool name_equal(std::string_view a, std::string_view b, uint32_t flags);

// Exchanges the name and info strings of two live entries.
void name_swap_texts(uint32_t a, uint32_t b);

// Compacts the name pool.
void name_pool_compact();

// Check of every invariant above; tests call it after each step.
bool name_table_check();

// ---- State-file images of the table and the pool ---------------------------

// Record 1: the 12-byte table header; record 4: capacity x 24 bytes.
std::vector<uint8_t> name_table_header_record();
std::vector<uint8_t> name_table_entries_record();
// Records 15 (36-byte pool descriptor), 3 (pool area) and 16 (handle table),
// in the pool's offset form.
std::vector<uint8_t> name_pool_descriptor_record();
std::vector<uint8_t> name_pool_area_record();
std::vector<uint8_t> name_pool_table_record();

// Rebuilds table and pool from the five records of a state file. Every
// length, count, handle and offset is checked: anything that does not fit
// gives -3000 and leaves the table empty and consistent.
int name_table_restore(std::span<const uint8_t> rec1, std::span<const uint8_t> rec15, std::span<const uint8_t> rec3,
                       std::span<const uint8_t> rec16, std::span<const uint8_t> rec4);

// Counts the times the whole table was set up or read: what was known of
// an entry by its index holds only within one generation.
uint64_t name_table_generation();

// The cache of images made of picture entries, by names index (0 = none).
// Only picture entries have a slot; others are ignored and give 0.
void name_set_picture_cache(uint32_t index, uintptr_t image);
uintptr_t name_picture_cache(uint32_t index);
// Releases a picture's image (the forms layer made it) and clears its slot.
void name_picture_release(uint32_t index);

// ---- Purge and rename (names_purge.cpp) --------------------------------------

// Deletes every procedure and command without a definition, every global
// and buffer-local variable and every picture (but those named "_...") that
// no loaded module's links refer to; clears event-table bindings to deleted
// callables. "rc" stays. Returns the number of entries deleted.
int name_purge_unused();

// Renames an event table, template or picture. Tables and templates change
// their name in place (a template's event tables "form" and "form.control"
// follow); with `flag`, or for a picture, a new entry takes the name and the
// two exchange contents, so the old index lives on under the new name.
// 0, -3015 for another kind of entry, -3002.
int name_rename(std::string_view new_name, uint32_t handle, std::optional<std::string_view> info, bool flag);
