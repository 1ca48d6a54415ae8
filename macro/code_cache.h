// Code cache: residency of the data blocks of names entries.
//
// Module images, event tables, form templates and pictures need not all be
// in memory. While the state file is kept open, a block that is not resident
// is read from it on first use (entry `data` holds its file offset then).
// Resident blocks sit in a ring in order of last use; when the bytes of
// resident, unlocked blocks pass `cache_limit`, the least recently used ones
// that are not in use are dropped again. Locked blocks (changed in memory)
// and start-up modules are never dropped.
//
// Invariants: a block is resident exactly when its entry's state has
// NS_RESIDENT, and then it is on the ring; resident_total is the sum of the
// sizes of resident blocks whose state has neither NS_LOCKED nor NS_STARTUP.
// Block addresses are kept here, by names index, because a 64-bit address
// does not fit the entry's 32-bit `data` word.
#pragma once

#include "base/messages.h"

#include <cstdint>
#include <string>

constexpr int64_t kCacheMinLimit = 150 * 1024;  // the cache-size setting's floor

// Drops every block and forgets the state file; the limit stays as set
// (-1, no limit, until someone sets it).
void cache_reset();

// Makes the entry's block resident and the most recently used. 0, or -33 when
// the state file cannot be read, -3000 when the stored record is corrupt,
// -3002 / -8 when memory runs out.
int name_load_data(uint32_t index);

// The resident block of an entry, or null. Valid until the block is dropped
// (any name_load_data or name_data_alloc may drop unlocked blocks).
uint8_t* name_block(uint32_t index);

// Counts n bytes as resident, drops blocks as needed, then allocates a block
// of n bytes (n = 0 only drops). 0 or -3002.
int name_data_alloc(uint8_t** out, uint32_t n);
void name_data_block_free(uint8_t* block);

// Installs a block for an entry: sets `size`, `stored`, `state`, keeps the
// file offset, and puts the block at the front of the ring. The cache owns
// the block afterwards.
void cache_register(uint32_t index, uint8_t* block, uint32_t file_offset, uint32_t size, uint32_t stored,
                    uint32_t state);

// Locks a resident block: it is never dropped and is written from memory.
void name_pin_data(uint32_t index);
// Unlocks a locked block (not a start-up module) after the state file got its
// contents; its size counts towards the limit again.
void cache_unlock(uint32_t index);
// Drops the old block and installs `block` resident and locked.
void name_data_replace(uint32_t index, uint8_t* block, uint32_t size);
// Releases the entry's block (resident or not) and clears its state.
void name_data_free(uint32_t index);
// Drops a resident block back to its state-file offset.
void cache_evict(uint32_t index);
// Exchanges the blocks of two entries (used by rename).
void cache_swap(uint32_t a, uint32_t b);

// The file offset remembered for a resident block (0 when none).
uint32_t cache_file_offset(uint32_t index);
void cache_set_file_offset(uint32_t index, uint32_t offset);

// Limit in bytes: negative = none, 0 = inactive (everything read at once).
void cache_set_limit(int64_t limit);
int64_t cache_limit();
uint64_t cache_resident_total();

// The open state file that non-resident blocks are read from (-1 = none).
// The cache owns the descriptor and closes it on reset or replacement.
void cache_set_state_file(int fd, const std::string& absolute_name);
int cache_state_fd();
const std::string& cache_state_name();

// Number of reads from the state file so far (tests check "read once").
uint64_t cache_load_count();

// Asked before a module block is dropped: true while the module runs (a call
// frame or catch context is in its image). Default: never in use.
extern bool (*cache_module_in_use)(uint32_t index);

bool cache_check();  // invariants above
