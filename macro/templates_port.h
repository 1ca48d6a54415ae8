// What the names table, the state file and the module reader need of the
// form templates and pictures they hold.
//
// Templates and pictures are names entries like any other, but their
// records, their strings and the images made of pictures belong to the
// forms layer above, so the macro runtime declares here what it asks of
// them and the forms layer answers each. A program without forms holds no
// templates: it refuses to make them and finds no controls in them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Object type (2..19) of record `control` of template `index`, or -1 when
// the template cannot be loaded or has no such record. Without forms: -1.
int templates_control_type(uint32_t index, uint32_t control);
// Record number of the control named `name` in template `index`, or -1.
// Without forms: -1.
int templates_find_control(uint32_t index, std::string_view name);
// Name property of record `control` of template `index`; empty when none.
std::string templates_control_name(uint32_t index, uint32_t control);
// Releases what a template owns besides its block (strings, its event
// tables, module links to it). Without forms it owns nothing more.
void templates_release(uint32_t index);
// True when some template record names the picture. Without forms: none.
bool templates_picture_in_use(uint32_t index);
// An event table or picture is going: template records naming it forget it.
void templates_entry_deleted(uint32_t index, uint32_t flags);
// A module bound keys in a table: a template of the table's name takes it
// as its form's table.
void templates_table_bound(uint32_t table, std::string_view table_name);
// Makes a template (flags 0x400 | type << 11; `source` a template handle
// whose records are copied, or 0) or a picture (read from the file the name
// gives). The template handle or picture index, or a negative code. Without
// forms: -3015, nothing can be made.
int32_t templates_create_object(std::string_view name, uint32_t flags, std::optional<std::string_view> info,
                                uint32_t source);
// Releases the image made of a picture entry. Without forms none was made.
void templates_picture_release(uint32_t index);
// Stores a form template of a module file (record 14, its strings
// expanded): 0 or a negative code. Without forms: -3000, the module cannot
// be taken.
int templates_store_module(std::span<const uint8_t> expanded);
