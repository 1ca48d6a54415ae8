// Extension libraries: macros call functions of shared libraries as if they
// were procedures or commands.
//
// A library is loaded with dlopen. Right after loading, the editor calls its
// function "zvx_dll_init" (when it has one) with the editor API table; the
// library declares its functions there through the table's first entry
// (dll_declare), and each declaration becomes a names entry with 0x40000
// that names its library (a DLL-module entry, 0x80000) and keeps the
// parameter types (a DllExportRecord in the name pool). A call resolves the
// function with dlsym on first use, converts the macro arguments to the
// declared types and calls it through a thunk of its parameter count.
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

// The editor API table handed to libraries. 53 pointer-sized words: word k
// sits at byte 8 * k (the 32-bit form's +4k); the words 13 (+52) and 31..42
// (+124..+168) carry nothing, and so do the operations whose layer is not
// built yet (window and property operations, the prompt): they are null.
struct ApiVector {
  void* word[53];
};
static_assert(sizeof(ApiVector) == 53 * 8);

// Fills the table (the same table every time).
const ApiVector& dll_api_table();

// Libraries built into the program: a higher layer registers one by its
// file name, and loading that name (any directory, any case) takes the
// built-in instead of a shared library. init receives the API table as a
// shared library's "zvx_dll_init" would (its declarations go to the library
// being loaded); proc gives an entry point by name, null when it has none.
struct DllBuiltinLibrary {
  const char* file_name = nullptr;
  int (*init)(const ApiVector* api) = nullptr;
  void* (*proc)(const char* name) = nullptr;
};
// Adds or replaces (same name) a built-in library. The record is copied.
void dll_register_builtin(const DllBuiltinLibrary& lib);
// Forgets every built-in library (tests).
void dll_clear_builtins();
