// Form templates as the names table keeps them: an entry of type
// NF_TEMPLATE whose data block is a row of 120-byte records, each a
// PropertyBlock in its stored little-endian form. Record 0 is the form (or
// the one control, or the menu); the others hang below it in rings of
// siblings (`next`) under their parent's first child (`child`). A record
// whose type is 0 is free. In the names table a record is addressed by the
// handle index << 16 | record number.
//
// String properties of a record hold name-pool handles (0 = empty); the
// event-table properties (27, 76) and the picture (57) hold names indexes.
// In a module file a template comes in its module form instead: the records,
// then a strings area; record 0's name property holds the byte size of the
// records and every string, table and picture property a 1-based offset of
// a string (varint length and bytes) in that area.
//
// Every reader checks before it trusts: a block must hold whole records,
// every link must name a record that exists, rings must close, no record
// may be reached twice, types must fit, and string handles must be the
// template's own. A template that fails is refused with -3000 and never
// read past its end. The check runs whenever a block is new to us (stored,
// loaded, replaced, or of a table read since); writes through tpl_write
// are our own and are not checked again, so whoever walks the links of
// records checks the tree it walks (form creation does). Records are read into and written back from copies,
// never addressed in the block, since the code cache may drop an unlocked
// block at any load.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/prop_block.h"

inline constexpr uint32_t kTemplateRecordSize = 120;
// Records of a template in memory: numbers are u16 link words.
inline constexpr uint32_t kTemplateMaxRecords = 0xFFFF;
// The properties a template keeps as strings, in their stored order.
inline constexpr std::array<uint32_t, 11> kTemplateStringProps = {25, 26, 28, 29, 30, 52, 86, 92, 93, 162, 94};
inline constexpr uint32_t kTplEventTable = 27, kTplName = 28, kTplPicture = 57, kTplEventTable2 = 76;

// Whether property `id` holds a string in a record or object of `type`.
bool tpl_is_string_prop(uint32_t type, uint32_t id);

// Decoding and encoding one stored record.
void tpl_decode(const uint8_t* p, PropertyBlock* b);
void tpl_encode(const PropertyBlock& b, uint8_t* p);

// Structural check of a record array in memory form: whole records, at
// least one, record 0 of type 2..19, every record reachable from record 0
// of a type its parent may hold, links in range, rings that close, nothing
// reached twice. 0 or -3000.
int32_t tpl_check_records(std::span<const uint8_t> block);

// Whether the names index is a form template.
bool tpl_is_template(uint32_t index);
// Number of records; 0 when the block cannot be loaded or fails its check.
uint32_t tpl_record_count(uint32_t index);
// 0 when the template's block is loaded and sound; else its error (-3000
// for a damaged template, a load error, -3015 when not a template).
int32_t tpl_load(uint32_t index);
// Reads record `control`: false when past the end or unreadable.
bool tpl_read(uint32_t index, uint32_t control, PropertyBlock* out);
// Every record in order; false when unreadable.
bool tpl_read_all(uint32_t index, std::vector<PropertyBlock>* out);
// Writes it back and pins the block, so that the change is kept and goes
// into the state file. False when the record is gone.
bool tpl_write(uint32_t index, uint32_t control, const PropertyBlock& b);
// A zeroed free record: the first free one, else the block grows by 4
// zeroed records. Its number, or -2029 / -3000.
int32_t tpl_add_control(uint32_t index);
// The record named `name` (no case), or -1.
int32_t tpl_find_control(uint32_t index, std::string_view name);

// Strings of a record: the text of a pool handle, a new pool string
// (0 for empty; -3002 when the pool is full), replacing one.
std::string_view tpl_string(const PropertyBlock& b, uint32_t id);
int32_t tpl_set_string(PropertyBlock& b, uint32_t id, std::string_view s);
int32_t tpl_update_string(PropertyBlock& b, uint32_t id, std::string_view s);
// Releases every string of the record, zeroes them and frees the record.
void tpl_clear_strings(PropertyBlock& b);
// Copies records, each copy with pool strings of its own. 0 or -3002 (no
// string of the copies is left behind then).
int32_t tpl_copy_records(std::span<PropertyBlock> dest, std::span<const PropertyBlock> src);
// Releases the strings of every record of a template.
void tpl_release_strings(uint32_t index);

// Stores records (memory form: pool strings already made and owned by the
// records) as the template named by record 0's name; an existing template
// of that name keeps its index and info string and drops its old records.
// Returns the handle (index << 16), or a negative code; on failure the
// records' strings are released.
int32_t tpl_store(std::vector<PropertyBlock> records);
// Stores a template in module form (a module file's record, expanded). The
// handle, or -3000 when anything in it does not fit (nothing is made then).
int32_t tpl_store_module(std::span<const uint8_t> form);
// Turns records into their module form (zozu writes these); record 0 must
// have a name. Strings, tables and pictures are given by text:
// `strings[r][k]` is string property kTemplateStringProps[k] of record r,
// `tables[r]` the two event-table names and `pictures[r]` the picture file.
struct TplModuleRecord {
  PropertyBlock block{};
  std::array<std::string, kTemplateStringProps.size()> strings;
  std::string table, table2, picture;
};
bool tpl_module_form(std::span<const TplModuleRecord> records, std::vector<uint8_t>* out, std::string* err);
// A record of `type` with the type's defaults, its strings as texts.
TplModuleRecord tpl_default_record(uint32_t type);
// Reads a module form back into records (zozu's disassembler); false when
// it does not fit.
bool tpl_module_parse(std::span<const uint8_t> form, std::vector<TplModuleRecord>* out);

// A new template of the given records (tests and form saving); records
// hold pool strings or 0. Its index, or a negative code.
int32_t tpl_create(std::string_view name, std::span<const PropertyBlock> records);

// The template made when a macro inserts a template name: one record of
// `type` with its defaults, or copies of the source template's records.
// The handle or a negative code.
int32_t tpl_create_named(std::string_view name, std::optional<std::string_view> display, uint32_t type,
                         uint32_t source_handle, std::optional<std::string_view> info);

// A picture entry made from an image file along the macro path (XPM kept,
// BMP turned into XPM; an existing entry of that name is read again and
// its image released). Its index or the error.
int32_t tpl_picture_from_file(std::string_view name);
