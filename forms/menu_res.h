// Menu resources: menus kept in the names table as templates of 120-byte
// records, one per submenu (type 18) and per item (type 19). A record's
// children form a ring through `next`, entered at `child`; a record of type
// 0 is free. A resource handle is the template's names index << 16 | the
// record number of a menu record.
//
// Every walk is bounded by the record count and every link is checked
// against it, so a damaged template gives an error, never a loop or a read
// past its records.
#pragma once

#include <cstdint>
#include <string_view>

#include "forms/macro_menu.h"

// Handles of 65536 and more name menu resources in the menu built-ins.
inline constexpr int64_t kMenuResourceHandleMin = 65536;

// A new resource of one empty menu record; its handle (record 0), or a
// negative code.
int32_t menu_resource_create(std::string_view name);
// Whether the handle names a menu record.
bool menu_resource_is_menu(int64_t handle);
// The number of children of a menu record (-2055 when it is none).
int32_t menu_resource_child_count(int64_t handle);
// Adds a record (18 when flags & 16, else 19) as child number position (a
// negative one or one past the count appends). The new record's handle for
// a submenu, 0 for an item, or -2055, -2029.
int32_t menu_resource_insert(int64_t handle, int32_t position, uint32_t flags, const MenuStrings& s);
// Takes child number position out of the ring; its record number, or
// -2055, -3015.
int32_t menu_resource_unlink(int64_t handle, int32_t position);
// Unlinks the child and frees it and its subtree (strings released,
// records zeroed).
int32_t menu_resource_delete(int64_t handle, int32_t position);
// Moves an item between menus of one template: -2055, -3015 (different
// templates, bad positions, a target inside the moved subtree).
int32_t menu_resource_move(int64_t source, int32_t source_position, int64_t target, int32_t target_position);
// Key texts over every item record; the handle may be a bare names index.
// 0, or -3029 when the template has no records.
int32_t menu_resource_key_text(int64_t handle, std::string_view command, std::string_view key_text, char option);
// A live menu (kind 1 bar, 0 popup) built from the resource: its handle,
// or -2029, -3015, -33 (the new menu is destroyed again).
int32_t menu_load_resource(WindowObject* owner, int64_t handle, int32_t kind);
