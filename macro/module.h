// Modules: compiled macro files linked into the names table.
//
// A module image starts with a ModuleHeader; all offsets are from the image
// start. Its link table names every procedure, command, variable, event table
// and binding the code uses; linking resolves each link to a names index or
// slot and writes the result back into the image (fields a, b, c). A loaded
// module is a names entry with NF_MODULE whose code-cache block is the image.
//
// Every image is verified before it is linked (module_verify): header fields,
// link kinds and every string and code offset must lie inside their areas, so
// the run loop can trust them. A module that fails gives -3000.
#pragma once

#include "base/messages.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// ModuleHeader field offsets (28 bytes).
enum ModuleHeaderField : uint32_t {
  MH_SIZE = 0,        // u16 image size
  MH_LINKS = 2,       // u16 link-table offset
  MH_LAST_LINK = 4,   // i16 index of the last link entry (entries 3..last are used)
  MH_PENDING = 6,     // u16 run time: module index while a replacement is pending
  MH_NEXT = 8,        // u32 run time only
  MH_FILE = 12,       // u32 run time only
  MH_MAIN = 16,       // u16 main entry (one argument)
  MH_INIT = 18,       // u16 init entry
  MH_RESERVED = 20,   // u16 written as 0
  MH_LOAD = 22,       // u16 load entry
  MH_CONSTANTS = 24,  // u16 constants-area offset
  MH_INDEX = 26,      // u16 run time: the module's names index
};
constexpr uint32_t kModuleHeaderSize = 28;
constexpr uint32_t kLinkEntrySize = 8;
constexpr uint32_t kFirstLink = 3;
constexpr uint32_t kProcHeaderSize = 4;  // u8 locals, u8 params, u16 by-value mask

// LinkEntry kinds. Kinds 0..19 are templates of that object type.
enum LinkKind : uint16_t {
  LK_TEMPLATE_LAST = 19,
  LK_PROC = 34,         // procedure defined here at c
  LK_EXTERN = 35,       // procedure defined elsewhere
  LK_GLOBAL = 36,       // global variable
  LK_TABLE = 37,        // event table named in the constants
  LK_COMMAND = 38,      // command defined here at c
  LK_PRIVATE_VAR = 39,  // module-private variable
  LK_PRIVATE_PROC = 40,
  LK_BUFLOCAL = 43,
  LK_BINDING = 44,  // a: table name, b: binding index 0..553, c: code offset
  LK_INFO_BIT = 128,
  LK_GLOBAL_INIT = LK_GLOBAL + 128,            // 164, initial value at b
  LK_COMMAND_INFO = LK_COMMAND + 128,          // 166, info string in the constants at b
  LK_PRIVATE_VAR_INIT = LK_PRIVATE_VAR + 128,  // 167
  LK_BUFLOCAL_INIT = LK_BUFLOCAL + 128,        // 171, default value at b
};

// One link entry as it lies in the image.
struct LinkEntry {
  uint16_t a = 0, kind = 0, b = 0, c = 0;
};

// Reads a varint-length string at `off` of `area`; false when the length or
// the bytes run past the end.
bool module_string_at(std::span<const uint8_t> area, uint32_t off, std::string_view& out);

// Checks an image (and the strings area of its module file) as described
// above. 0 or -3000. When `code_check` is set, every procedure's instructions
// are decoded through the opcode table hook (module_code_verifier).
// With `linked` the image comes from a state file: its links hold names
// indexes and slots instead of string offsets, and those are checked.
int module_verify(std::span<const uint8_t> image, std::span<const uint8_t> strings, bool linked = false);

// Instruction checker for one procedure body (set by the interpreter side;
// default: none). Returns false when an opcode or operand is illegal.
extern bool (*module_code_verifier)(std::span<const uint8_t> image, uint32_t code_offset);

// Links a verified image (the cache takes `image`, allocated with
// name_data_alloc): inserts the module under `file_name` (without directory)
// and resolves its links. The module's names index, or a negative code (the
// module is unlinked and deleted again; the names table is as before).
int32_t mod_link(uint8_t* image, std::string_view file_name, std::span<const uint8_t> strings, bool startup);

// The loaded module's names index, or -2.
int32_t mod_find(std::string_view file_name);

void mod_unlink(uint32_t index);
// Whether a module may be unloaded now (not running, no replacement pending).
bool mod_can_unload(uint32_t index);
// Unloads a module (-3007 when it may not go now), or with `replace` queues
// `file_name` to replace it when it no longer runs.
int mod_unload(uint32_t index, bool replace, std::string_view file_name);

// True when a link of kind 35 of a loaded module refers to `index`.
bool mod_link_refers(uint32_t index);
// Clears the links of resident modules that resolved to a template going
// away (they are resolved again by name when the code runs).
void mod_unresolve_template(uint32_t index);

// Pending replacements (processed by the interpreter when its run ends).
struct PendingReplacement {
  uint32_t module_index;
  std::string file_name;
};
std::vector<PendingReplacement>& mod_pending();

// Source and compiled extensions (".e" and ".ex" unless configured).
void mod_set_extensions(std::string_view source_ext, std::string_view compiled_ext);
const std::string& mod_source_ext();
const std::string& mod_compiled_ext();

// Reads a module file (or state file) and links it. Outputs the module's names
// index and whether the file was a module file. -3006 with `check_loaded`
// when a module of that name is loaded already.
int mod_load_file(std::string_view name, uint32_t* index, bool* module_file, bool check_loaded);

// Runs the compiler when the source is newer than the compiled file, when
// the compiled file is missing, or when forced: "zozu -q -w <source>" through
// mod_run_compiler. Returns its result, 0 when nothing needed doing, or the
// error of taking the source's time.
int mod_compile_if_needed(std::string_view name, bool force, std::optional<std::string_view> source_ext);

// Runs a command line with the command executor's rules (flags 1027). The
// default runs the program found along ZORVEXPATH and PATH with an argument
// vector split at blanks (double quotes group) and returns its exit code,
// signal x 256 when it was killed, or -32 when it could not be started.
extern int (*mod_run_compiler)(const std::string& command_line);
int mod_run_compiler_default(const std::string& command_line);

// Loads a module file and runs its load and init entries; one forced
// recompile on -3000 when a source extension is given.
int mod_load_and_init(std::string_view name, uint32_t* index, std::optional<std::string_view> source_ext);

// Entry procedures of a module (set by the interpreter; default runs
// nothing): call the procedure at `offset` of module `index` with the given
// argument (nullopt: none) and run it to completion.
extern int (*mod_call_entry)(uint32_t index, uint16_t offset, std::optional<std::string_view> arg);

// ---- Variable slots --------------------------------------------------------
// The slot array belongs to the variable heap; these hooks reach it. The
// defaults keep values in a plain table, so tools without the interpreter
// (zozu's linker, tests) still link modules.
struct VarHooks {
  int32_t (*alloc_global)() = nullptr;  // a slot number or -3012
  void (*free_slot)(int32_t slot) = nullptr;
  int (*assign)(int32_t slot, std::string_view value) = nullptr;  // 0 or -3012
  std::string (*value)(int32_t slot) = nullptr;
};
VarHooks& var_hooks();
// Empties the default slot table (a fresh start for tests and tools).
void var_plain_slots_reset();
int32_t var_alloc_global();
void var_free_slot(int32_t slot);
int var_assign_slot(int32_t slot, std::string_view value);
std::string var_slot_value(int32_t slot);
// Inserts a global variable with a slot and value; its index or a code.
int32_t var_create_global(std::string_view name, std::optional<std::string_view> value);
int32_t var_slot_of(uint32_t index);      // slot of a variable entry, else 0
constexpr int32_t kMaxGlobalSlot = 8000;  // slot numbers above name stack entries
