// Names-table built-ins: how macros find, list, read and change names
// entries, their info strings, stored words and global variables; the
// registers of key dispatch; and the lookup the command executor uses to
// find a callable name.
//
// A lookup under a mask that holds both file-named types (modules,
// pictures, DLL modules, compared exactly) and the other types (compared
// without case, "_" equal to "-") tries the other types first, then the
// file-named ones, so "all types" finds either kind; a walk by prefix
// compares each entry by the rule of its own type.
//
// The index registers are the words of key dispatch (event_tables.h
// KeyDispatchState): the running command's and the one before it. Form
// templates and pictures are made by the forms layer (templates_port.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/lstr.h"

// Every type of entry, no object type of template (bits 11-15 clear).
inline constexpr uint32_t kAllNameTypes = 0x000F07FF;

// Looks name up under the mask (the caller's text is not changed). Unless
// no_record, a found entry becomes the current command of key dispatch
// (the current command, record flag and word first become the previous
// ones; record and word are cleared; the bindings stay). Returns 1 with
// *index set when the entry is callable and has code, else 0 (*index 0).
int name_find_callable(const LStr* name, uint32_t* index, uint32_t mask, bool no_record);

// The lookup described above: 0 when nothing matches.
uint32_t name_find_any(std::string_view name, uint32_t mask);
// The next index after `after` whose flags meet the mask and whose name
// begins with the prefix, compared by the rule of that entry's own type;
// with 0x400 in the mask and an object type in bits 11-15, only templates of
// that type. 0 at the end.
uint32_t name_next_any(std::string_view prefix, uint32_t after, uint32_t mask);

// Forgets the remembered position of name matching (tests).
void names_bi_reset();
