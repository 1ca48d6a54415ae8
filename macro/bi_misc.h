// The program's copy of the process environment, and the small built-ins
// that belong to no larger family: environment get, set and enumerate, and
// peek and poke.
//
// The copy is what macros read and change and what child processes are
// started with. Until start-up makes it (env_copy), readers see the process
// environment itself; the first change makes the copy, so the process
// environment is never edited in place. Invariant: while the copy exists,
// its array holds `count` entries of the form name "=" value, each a string
// the copy owns, followed by a null pointer.
//
// Peek and poke do not address the process's own memory: a macro could
// read or overwrite anything with them. They work on a private area of
// kPokeAreaBytes bytes instead, zero at start, so macros that use them as
// scratch storage keep working and nothing else can be touched.
#pragma once

#include <cstdint>

#include "base/messages.h"

// How env_find compares an entry's name part with the name it is given.
enum class EnvMatch : uint8_t {
  Exact,   // equal, case matters
  Prefix,  // the shorter of the two equals the beginning of the longer
};

// Copies the process environment (every string owned by the copy) and
// points the operating-system layer's environment lookups at it. 0, or
// -3002 when memory runs out (nothing changes then). A second call drops
// the old copy first.
ErrorCode env_copy();
// The copy when it exists, else the process environment; null-terminated.
char** env_block();
// Continues the search at the find cursor (restart, or no search so far:
// from the first entry): the first entry after it whose name part matches
// and is not empty, or null at the end. The cursor moves past each entry
// examined.
const char* env_find(const char* name, bool restart, EnvMatch match);
// The value of an exact match from the first entry (the text after "=", the
// end of the entry when it has none), or null.
const char* env_get(const char* name);
// Removes the variable when present; with a value, appends name=value at the
// end of the array. 0, or -3002 when memory runs out (the variable is then
// removed or unchanged, never half-written).
ErrorCode env_set(const char* name, const char* value);
// Drops the copy (tests and the end of the run); readers see the process
// environment again.
void env_drop_copy();
// Number of entries of the copy; -1 while there is none.
int32_t env_copy_count();

// The peek and poke area.
inline constexpr int32_t kPokeAreaBytes = 65536;
// Longest peek result.
inline constexpr int32_t kPeekMax = 1024;
// Clears the area (tests).
void poke_area_reset();
