// State file and module files: typed records with 8-byte headers.
//
// A record is {i16 version 16001, u8 1, u8 type, u32 length} and `length`
// bytes of data, little-endian. A state file holds records 1, 15, 3, 16, 4,
// 2, 6, 9, then one data record per names entry with data, in names order:
// first the entries whose cache state has NS_HAS_INIT, NS_HAS_MAIN or
// NS_STARTUP, then the others. A module file holds 10 (its strings), 7 or 12
// (its image), then 11 + 8 per event table and 14 per template.
//
// The reader checks every length, count and offset against what it has: a
// truncated, corrupted or hostile file gives -3000 ("erase it and try
// again") and never reads or writes out of bounds. The writer writes a new
// file beside the target, syncs it and renames it over the target, so a crash
// or failure at any point leaves the old file as it was. A FIFO or character
// device named as the target is written into and never replaced.
#pragma once

#include "base/messages.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

constexpr int16_t kStateVersion = 16001;
constexpr uint32_t kStateHeaderSize = 8;

enum StateRecord : uint8_t {
  SR_NAMES_HEADER = 1,
  SR_VAR_HEADER = 2,
  SR_POOL_AREA = 3,
  SR_NAMES = 4,
  SR_UNUSED = 5,
  SR_VAR_AREA = 6,
  SR_MODULE = 7,
  SR_EVENT_TABLE = 8,
  SR_SETTINGS = 9,
  SR_STRINGS = 10,
  SR_TABLE_NAME = 11,
  SR_STARTUP_MODULE = 12,
  SR_PICTURE = 13,
  SR_TEMPLATE = 14,
  SR_POOL_DESCRIPTOR = 15,
  SR_POOL_TABLE = 16,
};

// Appends one record (header and data) to `out`.
void state_append_record(std::vector<uint8_t>& out, uint8_t type, std::span<const uint8_t> data);

// Reads a state file or a module file. For a module file `module_file` is set
// and `index` receives the module's names index. A state file replaces the
// whole names table; with the cache active (limit not 0) the second group of
// data records stays on disk and the file stays open for the cache.
// -3000 for a bad or corrupt file, for a second state file in one process, or
// for a record that does not fit its destination; -3002 for record type 5 or
// an unknown type; the error of opening the file.
int state_read(const std::string& name, uint32_t* index, bool* module_file);

// Writes the whole state. 0, or -5 (also for a directory, socket or block
// device), -3021, -8, -33, -34, or the error of creating or renaming the
// file; on any failure the old file is unchanged and the temporary file is
// removed.
int state_write(const std::string& name);

// Forgets that a state file has been read (start of a test or a tool run).
void state_reset_read_flag();

// Registers the settings block (record 9); null = none.
void state_register_settings(uint8_t* block, uint32_t size);

// The variable heap's records 2 (its 36-byte header) and 6 (slots and string
// heap). The interpreter sets these; without them the records are not written
// and are skipped on reading.
struct StateVarHooks {
  bool (*save)(std::vector<uint8_t>& rec2, std::vector<uint8_t>& rec6) = nullptr;          // false on failure
  int (*restore)(std::span<const uint8_t> rec2, std::span<const uint8_t> rec6) = nullptr;  // 0, -8, -3000
};
StateVarHooks& state_var_hooks();

// File operations of the writer, replaceable by tests to inject faults.
struct StateFileOps {
  int (*open_temp)(const std::string& dir, unsigned mode, std::string& path) = nullptr;
  long (*write)(int fd, const void* p, size_t n) = nullptr;
  int (*fsync)(int fd) = nullptr;
  int (*rename)(const char* from, const char* to) = nullptr;
};
StateFileOps& state_file_ops();  // the ops in use (defaults are the system calls)
void state_file_ops_reset();
