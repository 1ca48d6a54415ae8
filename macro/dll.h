// Extension libraries: macros call functions of shared libraries as if they
// were procedures or commands.
//
// A library is built into the program (the tag parser as "cparse.dll",
// found through dll_port.h) or loaded with dlopen. Right after loading, the
// editor calls its init ("zvx_dll_init" of a shared library) with the
// editor API table; the library declares its functions there through the
// table's first entry (dll_declare), and each declaration becomes a names
// entry with 0x40000 that names its library (a DLL-module entry, 0x80000)
// and keeps the parameter types (a DllExportRecord in the name pool). A
// call resolves the function on first use (the built-in library's proc, or
// dlsym), converts the macro arguments to the declared types and calls it
// through a thunk of its parameter count, with the call's arguments as the
// arg entry's.
//
// 64-bit: argument words are pointer-sized (intptr_t), so pointers pass
// whole; int and long values are 32-bit as declared. The names entry's
// 32-bit `state` and `data` words cannot hold a function address or a
// library handle, so those live in side tables here, keyed by names index;
// the words hold 1 while an address or handle is known and 0 otherwise.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/messages.h"

// Type words of declarations, by index; 255 for an unknown word.
enum DllType : uint8_t {
  DT_VOID = 0,
  DT_INT = 1,
  DT_LONG = 2,
  DT_PSZ = 3,      // pointer to a NUL-terminated copy of the value
  DT_PLSTR = 4,    // pointer to a counted copy {i32 length, bytes}
  DT_HVAR = 5,     // slot number of a local slot holding the value
  DT_HREFVAR = 6,  // slot number of the caller's variable itself
  DT_UNKNOWN = 255,
};
inline constexpr int kDllMaxParams = 14;

uint8_t dll_type_index(std::string_view word);  // exact, case matters

// Registers one function from a declaration such as
// "int lib:name(ZXPSZ text, int n)" or "_command name(ZXHREFVAR)".
// 0, or the raised code: -3061 (unknown type, fatal), -3064 (no name or a
// fifteenth parameter, fatal), -3002.
int32_t dll_declare(const char* declaration, const char* info, int32_t flags);

// Op 'L' loads (or reloads) a library by file name; 'U' unloads its module.
// 0, -2 when no library can be loaded, or -3002.
int32_t dll_load(const char* file_name, char op);

// The interpreter's call of a DLL function entry with argc arguments on the
// stack (installed as its dll_call hook).
ErrorCode dll_call(int32_t index, int32_t argc);

// Releases every loaded library (end of the run, tests).
void dll_unload_all();

// The editor API table handed to libraries: 53 pointer-sized words, word k
// at byte 8 * k (the 32-bit form's +4k), a binary interface libraries build
// against without linking the editor. The words at +52 and +124..+168 carry
// nothing: a library must not call them. Handles name window objects (0 the
// current one); a variable handle is a slot number.
struct LStr;
struct ApiVector {
  int (*declare)(const char* declaration, const char* info, int flags);  // +0
  int (*activate_window)(int window_id);                                 // +4: 0 or -3015
  int (*get_property_int)(int handle, int id);                           // +8: 0 on error
  int (*get_property_cstr)(int handle, int id, char* out, int size);     // +12: the length
  int (*set_property_int)(int handle, int id, int value);                // +16: 0 or a code
  int (*set_property_cstr)(int handle, int id, const char* text);        // +20
  int (*set_property)(int handle, int id, int value, const char* text);  // +24: the text when given
  int (*insert_line)(const char* text, int length);                      // +28: after the cursor line
  int (*get_line)(char* out, int size);                                  // +32: the cursor line
  int (*get_text)(int offset, int count, char* out);                     // +36: 0x7fffffff the cursor
  int (*edit)(const char* line);                                         // +40: the edit command
  const char* (*prompt)(const char* command, const char* options);       // +44: a command line run
  int (*find_name)(const char* name, int mask);                          // +48: names index or 0
  void* reserved_52;                                                     // +52
  const LStr* (*var_value)(int var);                                     // +56
  int (*var_int)(int var);                                               // +60
  void (*var_set_int)(int var, int value);                               // +64
  void (*var_set_bytes)(int var, const void* bytes, int length);         // +68
  void (*var_set_cstr)(int var, const char* text);                       // +72
  int (*push_window)(int window_id, void* save);                         // +76: save: kDllSaveArea bytes
  void (*pop_window)(const void* save);                                  // +80
  int (*get_property_bytes)(int handle, int id, char* out, int count);   // +84: the count copied
  int (*top)();                                                          // +88
  int (*bottom)();                                                       // +92
  int (*up)(int lines);                                                  // +96
  int (*down)(int lines);                                                // +100
  int (*file_open)(const char* path, int mode);                          // +104
  int (*file_close)(int handle);                                         // +108
  long (*file_read)(int handle, void* out, long count);                  // +112
  long (*file_write)(int handle, const void* bytes, long count);         // +116
  long (*file_seek)(int handle, long offset, int origin);                // +120
  void* reserved_124[12];                                                // +124..+168
  int (*var_slot)(int index);                                            // +172
  char* (*lstr_to_cstr)(char* out, const LStr* s, int size);             // +176
  int (*arg)(int n);                                                     // +180: n < 1 the count
  void* (*alloc)(long bytes);                                            // +184
  void (*release)(void* memory);                                         // +188
  void (*replace_line)(const char* text, int length);                    // +192
  int (*delete_line)();                                                  // +196
  void (*message)(const char* text);                                     // +200: on the message line
  int (*get_property_number)(int handle, int id);                        // +204: 0 on error
  int (*set_property_int2)(int handle, int id, int value);               // +208: as +16
};
static_assert(sizeof(ApiVector) == 53 * 8);
// The bytes a library keeps for push_window's save area (8-byte aligned).
inline constexpr int kDllSaveArea = 32;

// The table every library's init receives (the same table every time).
const ApiVector& dll_api_table();
// The 40 words that hold an operation, by name, for the wiring check.
struct DllApiEntry {
  const char* name;
  const void* address;
};
inline constexpr int kDllApiEntries = 40;
const DllApiEntry* dll_api_entries();

// Libraries built into the program: loading one of their file names (any
// directory, any case) takes the built-in instead of a shared library
// (dll_port.h finds them). init receives the API table as a shared
// library's "zvx_dll_init" would (its declarations go to the library being
// loaded); proc gives an entry point by name, null when it has none.
struct DllBuiltinLibrary {
  const char* file_name = nullptr;
  int (*init)(const ApiVector* api) = nullptr;
  void* (*proc)(const char* name) = nullptr;
};
